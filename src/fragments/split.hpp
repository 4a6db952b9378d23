#pragma once
// Cutting a source file into numbered fragments beside it.

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "fragments/join_script.hpp"
#include "fragments/listing.hpp"

namespace fragments {

// How a source of `length` bytes falls into fragments of `fragmentBytes`.
struct SplitPlan {
    std::int64_t length = 0;
    std::int64_t fragmentBytes = 0;
    std::int64_t fullFragments = 0;  // length / fragmentBytes
    std::int64_t fragmentCount = 0;  // plus one for a short rest
    std::int64_t remainder = 0;      // bytes of the short last fragment, 0 when there is none
};

SplitPlan planSplit(std::int64_t length, std::int64_t fragmentBytes);

// Bytes of a fragment of `kilobytes`, or nullopt when the size is negative or its byte count
// exceeds 2,147,483,647 (the sizes the program refuses as too large for memory).
std::optional<std::int64_t> fragmentBytesFor(std::int64_t kilobytes);

// What the window does while a split runs.
struct SplitEvents {
    // Fragment `number` got its name (file name part, in the case of the source). For a full
    // fragment this comes before it is written (the window yields to its event loop here), for the short
    // last one after.
    std::function<void(int number, const std::string& fileName, bool full)> fragmentNamed;
};

struct SplitResult {
    SplitPlan plan;
    std::int64_t bytesWritten = 0;
    std::vector<std::string> fileNames;  // file name parts of the fragments written, as generated, in order
    bool checksumFileWritten = false;
    // One was due, but a file of its name that the program did not write stays there.
    bool checksumFileKept = false;
    // The recovery files written (bare names, the main file first), when they were asked for.
    std::vector<std::string> recoveryFiles = {};
    // Filled by runSplitJob (split_job.hpp): the source's fragment set in its folder, listed afresh after the
    // fragments; with the join script asked for, where it was written or why not, or what its writing threw
    // (the front end shows the set first, then this as the split's failure).
    FragmentSet fragmentSet;
    std::optional<std::variant<NoJoinScript, JoinScriptLocation>> joinScript;
    std::exception_ptr joinScriptFailure;
};

// Checks every name a split of `sourcePath` will delete or write, before it changes anything: the
// source's old fragments in `listing` (bare names in `directory`) and fragments 1 to `fragmentCount`, named
// after `setPath` when given (a set in another folder, see runSplitJob). Throws FileError (Io) naming the
// first that is a folder, FIFO, socket or device (fileio::Errc::NotRegularFile) or the source itself
// (Errc::IsSplitSource).
void checkSplitNames(const std::vector<std::string>& listing, const std::string& directory,
                     const std::string& sourcePath, std::int64_t fragmentCount, char separator,
                     const std::string& setPath = {});

// Writes the fragments of `sourcePath` as `plan` says (plan.fragmentCount at most 999). What was at a
// fragment's name goes first: a regular file or a link (the link itself); a folder, FIFO, socket or device
// there, or the source itself, stops the split (as checkSplitNames says). Each fragment is written under a
// hidden temporary name beside it and renamed to its name only when complete, so a file of a fragment's name
// is always whole. With `checksumFile`, the fragments' CRC-32s are taken as they are copied, and the
// checksum file (checksum_file.hpp) is written after the last one, unless a file of its name that this
// program did not write is there or the names do not fit one (fitsChecksumFile). On two CPUs or more, every
// other fragment is written by a second thread at the same time. Throws FileError, the failure of the lowest
// fragment that failed; fragments written before it stay (the one after it too, when that one was written at
// the same time), and the temporary files of the ones not finished go.
// With `setPath`, the fragments and the checksum file are named after it instead of the source (a set
// written into another folder).
SplitResult splitFile(const std::string& sourcePath, const SplitPlan& plan, const SplitEvents& events,
                      char separator, bool checksumFile = false, const std::string& setPath = {});

// Reads the next bytes of a stream (standard input) into `buffer`, up to `size`; 0 only at its end. Throws
// FileError.
using StreamReader = std::function<std::size_t(void* buffer, std::size_t size)>;

// Writes the fragments of the stream `read` gives, `fragmentBytes` each, named after `setPath`, as splitFile
// writes a file's: the length shows only at the stream's end, when the result's plan is made. Nullopt when
// the stream holds more than 999 fragments: the 999 written stay (the caller's unfinished mark keeps them
// from being joined). A full fragment is named when its first bytes have come. Throws FileError as splitFile
// does.
std::optional<SplitResult> splitStream(const StreamReader& read, std::int64_t fragmentBytes,
                                       const SplitEvents& events, char separator, bool checksumFile,
                                       const std::string& setPath);

// Removes from `directory` what killed splits of `sourcePath` left there: temporary files of exactly the
// shape of its fragments', its checksum file's and its join script's (see temporaryNameFor). Throws FileError
// (Io) when one cannot be removed.
void removeSplitLeftovers(const std::string& directory, const std::string& sourcePath, char separator);

}  // namespace fragments
