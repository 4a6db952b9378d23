#pragma once
// Joining fragments into one file, safely: the target appears only when every byte is there. First the
// list is checked (before a target is chosen), then the join is planned for the chosen target, then run.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

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
        Cancelled,         // the user did not go on: nothing to say
    };
    Kind kind = Kind::EmptyList;
    std::string path;
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
    std::int64_t totalBytes = 0;
};

// Plans the join of `names` (bare names in `directory`) into `targetPath`: the target is none of the
// fragments, and every fragment is a regular file (the first missing one, or the first that is none, is
// named). Changes no file.
std::variant<JoinProblem, JoinPlan> planJoin(const std::vector<std::string>& names,
                                             const std::string& directory, const std::string& targetPath);

// What the window does while a join runs.
struct JoinEvents {
    // Before fragment `index` (from 0, in plan order) is appended: the window yields to its event loop here.
    std::function<void(std::size_t index)> beforeFragment;
};

struct JoinResult {
    std::int64_t bytesWritten = 0;  // the size of the joined file
};

// Runs `plan`: reserves the joined size, appends every fragment and only then replaces the target (a
// read-only one too; a link itself, never its target). A target that is a folder, FIFO, socket or device
// is refused before anything is written, and a fragment whose size is no longer the planned one stops it
// (Errc::SizeChanged). Throws FileError; the target is then as it was and no temporary file remains.
JoinResult joinFragments(const JoinPlan& plan, const JoinEvents& events);

// The first number missing from 1, 2, ... n when every name ends in three digits and they do not
// run without a gap; nullopt otherwise.
std::optional<int> firstMissingNumber(const std::vector<std::string>& names);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// The joined output: written to a temporary file in the target's folder and moved onto the target
// by commit(). Destroyed without commit, it removes the temporary file and leaves the target alone.
class JoinOutput {
  public:
    // Throws FileError naming the target: CannotOpen, or Io (Errc::NotRegularFile) for a target that is a
    // folder, FIFO, socket or device.
    explicit JoinOutput(const std::string& targetPath);
    ~JoinOutput();
    JoinOutput(const JoinOutput&) = delete;
    JoinOutput& operator=(const JoinOutput&) = delete;

    // Reserves room for `bytes` of joined data up front (faster, and a full disk shows at once).
    // Throws FileError (Io) naming the target when the space is not there.
    void reserve(std::int64_t bytes);
    // Appends the whole fragment, which must hold `expectedBytes` before and after: otherwise FileError (Io,
    // Errc::SizeChanged) naming it. Throws FileError naming the fragment (read) or the target (write).
    void append(const std::string& fragmentPath, std::int64_t expectedBytes);
    // Replaces the target (a read-only one too) by the joined data. Throws FileError naming the target.
    void commit();
    // Bytes appended so far.
    std::int64_t bytesWritten() const;

  private:
    struct State;
    std::string targetPath_;
    std::string temporaryPath_;
    std::unique_ptr<State> state_;
};

}  // namespace fragments
