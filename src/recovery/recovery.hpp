#pragma once
// Recovery files for a set of files, in the PAR 2.0 format other tools read: written beside the set, they
// let a damaged or lost file be rebuilt from the others. Files are written whole or not at all.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "recovery/stripes.hpp"

namespace recovery {

// A failure of the recovery data itself (the files' own failures are fileio::FileError).
class RecoveryError : public std::runtime_error {
  public:
    enum class Kind {
        // No intact description of a set was found in the recovery files.
        NoRecoverySet,
        // More blocks are missing than intact recovery blocks can rebuild.
        NotRepairable,
        // A rebuilt file did not match its checksum (the recovery data itself was wrong).
        RebuiltWrong,
    };
    RecoveryError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }

  private:
    Kind kind_;
};

// Gives a fresh temporary name beside `finalPath` at each call.
using TemporaryName = std::function<std::string(const std::string& finalPath)>;

// The main file's path of a set whose recovery files are named after `base` (a path without ".par2").
std::string mainFileOf(const std::string& base);

// Writes recovery files for `files` (all in the folder of `mainPath`, in any order, none empty) that rebuild
// `percent` % (1..100) of their blocks, at least one: `mainPath` (ending in ".par2") with the set's
// description and volume files beside it (NAME.vol00+01.par2, NAME.vol01+02.par2, ... for NAME.par2)
// holding the recovery blocks. A block is the largest file's size rounded up to a multiple of 4, so each
// lost file costs one block. Written under temporary names (`temporaryName`, or hidden ones of its own)
// and renamed only when all are complete; on any failure nothing is left under a final name. Returns the
// paths written, the main file first. Throws FileError, std::invalid_argument, or what `progress` throws.
std::vector<std::string> createRecoveryFiles(const std::vector<std::string>& files, int percent,
                                             const std::string& mainPath, const Progress& progress = {},
                                             const TemporaryName& temporaryName = {});

enum class FileState { Intact, Damaged, Missing };

// One protected file as the set describes and the folder holds it.
struct ProtectedFile {
    std::string name;
    std::string path;
    std::int64_t length = 0;
    FileState state = FileState::Intact;
    std::int64_t blocks = 0;
    // Blocks of the file that are not intact where they belong.
    std::int64_t missingBlocks = 0;
};

struct SetDetails;

// What the recovery files say about the set and what the folder holds of it.
struct Diagnosis {
    std::string mainPath;
    std::int64_t blockSize = 0;
    std::vector<ProtectedFile> files;  // in the set's order
    std::int64_t sourceBlocks = 0;
    std::int64_t missingBlocks = 0;
    // Intact recovery blocks of distinct exponents.
    std::int64_t recoveryBlocks = 0;
    std::shared_ptr<const SetDetails> details;

    // True when nothing is damaged or missing.
    bool intact() const;
    bool repairable() const { return recoveryBlocks >= missingBlocks; }
};

// Reads every recovery file of the set of `mainPath` (its NAME.par2 and NAME.*.par2 beside it; damaged
// packets are skipped) and checks the protected files beside it, slice by slice (CRC-32 and MD5) and
// whole (MD5). Throws RecoveryError (NoRecoverySet), FileError, or what `progress` throws.
Diagnosis diagnose(const std::string& mainPath, const Progress& progress = {});

// Rebuilds the damaged and missing files of `diagnosis`, each under a temporary name, checked against its
// MD5 and then renamed over its name; returns their paths. When the set is not repairable, throws
// RecoveryError (NotRepairable) and touches nothing; when a rebuilt file does not match, RebuiltWrong and
// nothing is renamed. Throws FileError, or what `progress` throws (nothing is renamed then either).
std::vector<std::string> repair(const Diagnosis& diagnosis, const Progress& progress = {},
                                const TemporaryName& temporaryName = {});

}  // namespace recovery
