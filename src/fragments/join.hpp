#pragma once
// Joining fragments into one file, safely: the target appears only when every byte is there. First the
// list is checked (before a target is chosen), then the join is planned for the chosen target, then run.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "fileio/files.hpp"

namespace fragments {

// Why a list of fragments is not joined.
struct JoinProblem {
    enum class Kind {
        EmptyList,         // nothing is listed
        MixedSources,      // the entries were cut from different files; `path` is the first not cut from the
                           // first entry's file
        TargetIsFragment,  // the chosen target is one of the listed fragments; `path` is the target
        MissingFragment,   // a listed fragment is not there; `path` is the first one missing
        NotRegularFile,    // a listed fragment is a folder, FIFO, socket or device; `path` is the first
        SetBusy,           // another split, join or deletion holds the set; `path` is the first fragment
                           // (or the target, which another join is writing)
        UnfinishedSplit,   // the split of the set did not finish (see markUnfinished); `path` is its source
        ChecksumFileUnusable,   // `path`, the set's checksum file, is too large or gives a fragment two CRCs
        ChecksumFilesDisagree,  // `path` and `otherPath`, both the set's checksum file, disagree
        Cancelled,              // the user did not go on: nothing to say
    };
    Kind kind = Kind::EmptyList;
    std::string path;
    std::string otherPath = {};
};

// A list fit to be joined, before the target is chosen.
struct JoinListCheck {
    // The first entry less its last five characters: the name of the file the fragments were cut from.
    std::string suggestedName;
    // The first number missing from 1, 2, ... n, which the user is asked about; nullopt without a gap.
    std::optional<int> firstGap;
};

// Checks the listed names (bare, in list order): at least one, and all cut from the same file (their
// names less the last five characters agree).
std::variant<JoinProblem, JoinListCheck> checkJoinList(const std::vector<std::string>& names);

// A join ready to run.
struct JoinPlan {
    std::string targetPath;
    std::vector<std::string> fragmentPaths;   // in list order
    std::vector<std::int64_t> fragmentBytes;  // the size of each, as measured by the plan
    // The CRC-32 each must have, where the set's checksum file gives one.
    std::vector<std::optional<std::uint32_t>> expectedCrcs;
    std::int64_t totalBytes = 0;
};

// The first fragment that `checksums` (by bare name, see fragmentChecksums) name and the listed `names`
// lack, as a MissingFragment problem with its path in `directory`; nullopt when none is missing.
std::optional<JoinProblem> missingChecked(const std::vector<std::string>& names, const std::string& directory,
                                          const std::map<std::string, std::uint32_t>& checksums);

// Plans the join of `names` (bare names in `directory`) into `targetPath`: the target is none of the
// fragments, and every fragment is a regular file (the first missing one, or the first that is none, is
// named). The fragments `checksums` name are to be verified. Changes no file.
std::variant<JoinProblem, JoinPlan> planJoin(const std::vector<std::string>& names,
                                             const std::string& directory, const std::string& targetPath,
                                             const std::map<std::string, std::uint32_t>& checksums = {});

// A fragment whose CRC-32 is not the one the set's checksum file gives.
class DamagedFragment : public std::runtime_error {
  public:
    DamagedFragment(std::string name, std::uint32_t found, std::uint32_t expected, std::string staleBy = {});
    // Its bare name.
    const std::string& name() const noexcept { return name_; }
    std::uint32_t found() const noexcept { return found_; }
    std::uint32_t expected() const noexcept { return expected_; }
    // The checksum file (bare name) that gave `expected`, when it is older than every fragment and so more
    // likely out of date than the fragment damaged; empty otherwise.
    const std::string& staleBy() const noexcept { return staleBy_; }

  private:
    std::string name_;
    std::string staleBy_;
    std::uint32_t found_;
    std::uint32_t expected_;
};

// What the window does while a join runs.
struct JoinEvents {
    // Before fragment `index` (from 0, in plan order) is appended: the window yields to its event loop here.
    std::function<void(std::size_t index)> beforeFragment;
};

struct JoinResult {
    std::int64_t bytesWritten = 0;  // the size of the joined file
    fileio::FileIdentity identity;  // the joined file, as it was put in place
    std::string targetPath;         // where it was put
    // What was verified: the fragments whose CRC-32 the checksum file (bare name, or the link or nothing
    // found, see SetChecksums) gave.
    int verifiedFragments = 0;
    std::string checksumFile = {};
    bool checksumFileIsLink = false;
};

// Runs `plan`, which the caller holds the set's lock for (SetLock::forList): appends every fragment to a
// file without a name (or a hidden temporary one where the file system has none) and only then puts it in
// place of the target (a read-only one too; a link itself, never its target). Each fragment is read once: one
// with an expected CRC-32 goes through memory, its CRC taken from the very bytes written, and one that
// differs throws DamagedFragment. Holes in the fragments stay holes in the target. Refused before anything is
// touched: a target another join writes (its lock, that of a set cut from it, is held), as SetBusy. Refused
// before anything is written: a target that is a folder, FIFO, socket or device. A fragment whose size is no
// longer the planned one stops it (Errc::SizeChanged). Throws FileError and DamagedFragment; the target is
// then as it was and no temporary file remains.
std::variant<JoinProblem, JoinResult> joinFragments(const JoinPlan& plan, const JoinEvents& events);

// Runs `plan` into `sink` instead of a target (standard output, a pipe), with the set's lock held as for
// joinFragments. Where an expected CRC-32 is given, every such fragment is read and checked before the first
// byte goes out (DamagedFragment), and each of its pieces is compared again as it goes, so that a fragment
// changed meanwhile stops the output before a byte of it differs from what was checked (FileError,
// fileio::Errc::ChangedWhileRead). Throws FileError and DamagedFragment; what `sink` throws passes through.
JoinResult joinToStream(const JoinPlan& plan, const JoinEvents& events, const fileio::SeenBytes& sink);

// The first number missing from 1, 2, ... n when every name ends in three digits and they do not
// run without a gap; nullopt otherwise.
std::optional<int> firstMissingNumber(const std::vector<std::string>& names);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// The joined output: written to a file without a name in the target's folder (or, where the file system
// has none, a hidden ".<target name>.XXXXXX.part" beside it) and put in place of the target by commit().
// Destroyed without commit, it leaves no file behind and the target alone.
class JoinOutput {
  public:
    // Removes what killed joins to the same target left beside it first: the caller holds the target's lock
    // (see joinFragments), so that none of them is running. Throws FileError naming the
    // target: CannotOpen, or Io (fileio::Errc::NotRegularFile) for a target that is a folder, FIFO, socket or
    // device.
    explicit JoinOutput(const std::string& targetPath);
    ~JoinOutput() = default;
    JoinOutput(const JoinOutput&) = delete;
    JoinOutput& operator=(const JoinOutput&) = delete;

    // The joined data will be the `bytes` of `fragmentPaths`: room for what of it is copied is reserved in
    // one go at the first fragment that cannot be cloned (faster, and a full disk shows at once), unless one
    // of them has holes, which would take room then. A clone takes none: a disk with less room than the
    // target still takes a join made of clones.
    void reserve(const std::vector<std::string>& fragmentPaths, std::int64_t bytes);
    // Appends the whole fragment, which must hold `expectedBytes` before and after: otherwise FileError (Io,
    // Errc::SizeChanged) naming it. Its blocks are shared where the file system can (fileio::cloneBytes),
    // else copied. With `seen`, every byte is read once and shown to it (see fileio::copyBytes). Throws
    // FileError naming the fragment (read) or the target (write; a lack of room for the rest). True when its
    // bytes were cloned.
    bool append(fileio::InputFile& fragment, std::int64_t expectedBytes, const fileio::SeenBytes& seen = {});
    // Replaces the target (a read-only one too) by the joined data and gives the identity of the file now
    // there. Throws FileError naming the target.
    fileio::FileIdentity commit();
    // Bytes appended so far.
    std::int64_t bytesWritten() const;

  private:
    // Reserves room for the bytes not yet appended, as reserve says; once.
    void reserveRest();
    std::string targetPath_;
    std::optional<fileio::PendingFile> file_;
    std::vector<std::string> fragmentPaths_;
    std::int64_t reserved_ = 0;
};

}  // namespace fragments
