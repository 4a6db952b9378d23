#pragma once
// The split as both front ends run it, step by step in one order: the set's lock, every name it will
// change checked, the old script and the old fragments gone, the refusals of the size, the fragments.
// What the front end shows in between comes as events; a refusal comes back as a typed value.

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

#include "fragments/split.hpp"

namespace fragments {

struct SplitRequest {
    std::string sourcePath;
    // The fragment size as the size box holds it.
    std::int64_t kilobytes = 0;
    // The checksum file beside the fragments.
    bool checksumFile = true;
};

// Why a split writes no fragment.
struct SplitRefusal {
    enum class Kind {
        SetBusy,           // another split, join or deletion holds the set
        InvalidSize,       // a fragment size of 0
        OutOfMemory,       // a negative size, or one of more than 2,147,483,647 bytes
        TooManyFragments,  // more than 999 fragments: `fragmentCount`
    };
    Kind kind = Kind::SetBusy;
    std::int64_t fragmentCount = 0;
};

struct SplitJobEvents {
    // The folder the fragments go to, before anything in it changes: the window lists it.
    std::function<void(const std::string& folder)> inFolder;
    // Right before the old fragments of the source go: the window empties its fragment list.
    std::function<void()> clearingOld;
    // Every refusal passed: the fragments of `plan` are written now.
    std::function<void(const SplitPlan& plan)> writing;
    SplitEvents progress;
};

// Runs the split of `request.sourcePath`. Throws FileError (and std::bad_alloc) as splitFile does. The old
// script, the old fragments, the checksum file this program wrote for them and the temporary files of
// killed splits of the same source have gone also when the size is then refused.
std::variant<SplitRefusal, SplitResult> runSplitJob(const SplitRequest& request,
                                                    const SplitJobEvents& events);

}  // namespace fragments
