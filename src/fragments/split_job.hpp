#pragma once
// The split as both front ends run it, step by step in one order: the set's lock, every name it will
// change checked, the old script and the old fragments gone, the refusals of the size, the fragments, the new
// set listed, the join script. What the front end shows in between comes as events; a refusal comes back as
// a typed value.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "fragments/split.hpp"

namespace fragments {

// How the join script shows its numbers and today's date.
struct JoinScriptStyle {
    std::string thousandsSeparator;
    std::string dateText;  // in the regional short form
};

struct SplitRequest {
    std::string sourcePath;
    std::int64_t kilobytes = 0;  // The fragment size as the size box holds it.
    bool checksumFile = true;    // The checksum file beside the fragments.
    // A refused size deletes nothing (the command line); else the old set goes first (the window).
    bool refuseBeforeDeleting = false;
    // An existing folder the set goes into (the command line's --output-dir); empty: beside the source.
    std::string outputFolder = {};
    // When given, the bytes to split come from this stream (standard input) and `sourcePath` only names the
    // set; the 999 limit is checked as they come.
    StreamReader input = {};
    // Recovery files (NAME.par2 …) that rebuild this share of the fragments, in per cent; 0: none.
    int recoveryPercent = 0;
};

// The path the set's files are named after: the source's name in the output folder, or the source itself.
std::string setPathOf(const SplitRequest& request);

// Why a split writes no fragment.
struct SplitRefusal {
    enum class Kind {
        SetBusy,           // another split, join or deletion holds the set
        InvalidSize,       // a fragment size of 0
        OutOfMemory,       // a negative size, or one of more than 2,147,483,647 bytes
        TooManyFragments,  // more than 999 fragments: `fragmentCount`
        StreamTooLong,  // the input stream held more than 999 fragments; those written stay marked unfinished
    };
    Kind kind = Kind::SetBusy;
    std::int64_t fragmentCount = 0;
};

struct SplitJobEvents {
    // Right before the old fragments of the source go: the window takes the source's folder as its fragment
    // folder and empties its fragment list.
    std::function<void(const std::string& folder)> clearingOld;
    // After each old fragment checked and each deleted: the window serves its event loop.
    std::function<void()> clearingStep;
    // Every refusal passed: the fragments of `plan` are written now.
    std::function<void(const SplitPlan& plan)> writing;
    // Asked once the new set is listed (the window reads its check box then): whether the join script
    // follows, and how; nullopt (or no function) for none.
    std::function<std::optional<JoinScriptStyle>()> joinScript;
    SplitEvents progress;
    // While the recovery files are made: bytes done of all.
    std::function<void(std::int64_t done, std::int64_t total)> recoveryProgress;
};

// Runs the split of `request.sourcePath`. Throws FileError (and std::bad_alloc) as splitFile does. The old
// script, the old fragments, the checksum file this program wrote for them and the temporary files of
// killed splits of the same source have gone also when the size is then refused.
std::variant<SplitRefusal, SplitResult> runSplitJob(const SplitRequest& request,
                                                    const SplitJobEvents& events);

}  // namespace fragments
