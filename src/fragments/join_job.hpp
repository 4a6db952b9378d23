#pragma once
// The join as both front ends run it, step by step in one order: the list and the set's checksum file
// checked, the gap asked about, the target chosen, the set's lock, the join planned for it, then the join.
// What the front end asks and shows comes as events; a refusal comes back as a typed JoinProblem.

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "fragments/checksum_file.hpp"
#include "fragments/join.hpp"

namespace fragments {

struct JoinJobEvents {
    // The list lacks fragment `missingNumber`: true joins the others all the same.
    std::function<bool(int missingNumber)> joinDespiteGap;
    // The set's checksum file `checksumFile` names `fragment`, which is there but not listed: true joins
    // the list unverified (without it, such a fragment is missing).
    std::function<bool(const std::string& fragment, const std::string& checksumFile)> joinUnverified;
    // The target, offered the name the fragments carry; nullopt cancels.
    std::function<std::optional<std::string>(const std::string& suggestedName)> chooseTarget;
    // The target is none of the fragments: the join goes on with it (and may still be refused).
    std::function<void(const std::string& target)> targetAccepted;
    // Planned and about to write; false cancels (the command line asks before it replaces a target).
    std::function<bool(const JoinPlan& plan)> beforeRun;
    JoinEvents progress;
    // When given, the joined bytes go here instead of into a target (standard output): no target is
    // chosen, and the plan's target path is empty (see joinToStream).
    fileio::SeenBytes stream = {};
};

// The problem with the set's checksum files `checksums` found in `directory`, when they cannot be trusted
// (ChecksumFileUnusable, ChecksumFilesDisagree); nullopt otherwise.
std::optional<JoinProblem> untrustedChecksums(const SetChecksums& checksums, const std::string& directory);

// Joins the listed `names` (bare, in list order) from `directory`. A set whose split did not finish is
// refused. With the set's checksum file beside them (findSetChecksums), a fragment it names that the list
// lacks is refused as missing before the gap is asked about, and the fragments it names are verified. A
// refusal, a gap not to be joined or a cancelled choice comes back as a JoinProblem (Kind::Cancelled when
// nothing is to be said). Throws DamagedFragment and FileError as joinFragments does, and FileError when the
// checksum file cannot be read or the set's lock cannot be taken.
std::variant<JoinProblem, JoinResult> runJoinJob(const std::vector<std::string>& names,
                                                 const std::string& directory, const JoinJobEvents& events);

}  // namespace fragments
