#include "fragments/join_job.hpp"

#include <algorithm>

#include "fragments/checksum_file.hpp"
#include "fragments/events.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

std::variant<JoinProblem, JoinResult> runJoinJob(const std::vector<std::string>& names,
                                                 const std::string& directory, const JoinJobEvents& events) {
    const auto checked = checkJoinList(names);
    if (const auto* problem = std::get_if<JoinProblem>(&checked)) {
        return *problem;
    }
    const auto& list = std::get<JoinListCheck>(checked);
    // A set whose split did not finish is never joined: an old set half deleted or a new one half written.
    // While the split still runs, it holds the set.
    const auto unfinished = [&](bool locked) -> std::optional<JoinProblem> {
        if (!isUnfinished(directory, list.suggestedName)) {
            return std::nullopt;
        }
        if (!locked && !SetLock::forList(names, directory)) {
            return JoinProblem{JoinProblem::Kind::SetBusy, withTrailingSeparator(directory) + names.front()};
        }
        return JoinProblem{JoinProblem::Kind::UnfinishedSplit,
                           withTrailingSeparator(directory) + list.suggestedName};
    };
    if (auto problem = unfinished(false)) {
        return *problem;
    }
    // The set's checksum file speaks for the fragments it names: one of them not listed is missing (or
    // left out on purpose, when the user says so), and no gap is asked about then.
    SetChecksums checksums;
    const auto checkSums = [&](bool ask) -> std::optional<JoinProblem> {
        const std::string folder = withTrailingSeparator(directory);
        checksums = findSetChecksums(directory, list.suggestedName);
        using Found = SetChecksums::Found;
        if (checksums.found == Found::Unusable || checksums.found == Found::Disagree) {
            return JoinProblem{checksums.found == Found::Unusable ? JoinProblem::Kind::ChecksumFileUnusable
                                                                  : JoinProblem::Kind::ChecksumFilesDisagree,
                               folder + checksums.files.front(), folder + checksums.files.back()};
        }
        auto missing = missingChecked(names, directory, checksums.crcs);
        if (missing && events.joinUnverified && fileio::fileExists(missing->path)) {
            if (ask && !events.joinUnverified(Nurdatei(missing->path), checksums.files.front())) {
                return JoinProblem{JoinProblem::Kind::Cancelled, {}};
            }
            checksums.crcs.clear();
            return std::nullopt;
        }
        return missing;
    };
    if (auto problem = checkSums(true)) {
        return *problem;
    }
    if (list.firstGap && !(events.joinDespiteGap && events.joinDespiteGap(*list.firstGap))) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    // Chosen before the set is locked: an open dialog holds up no other operation on the set.
    const std::optional<std::string> target =
        events.chooseTarget ? events.chooseTarget(list.suggestedName) : std::nullopt;
    if (!target) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    // Held until the join has finished, so that no split, join or deletion of the set runs meanwhile;
    // what may have changed while the dialog was open is looked at again.
    const auto lock = SetLock::forList(names, directory);
    if (!lock) {
        return JoinProblem{JoinProblem::Kind::SetBusy, withTrailingSeparator(directory) + names.front()};
    }
    if (auto problem = unfinished(true)) {
        return *problem;
    }
    if (auto problem = checkSums(false)) {
        return *problem;
    }
    auto planned = planJoin(names, directory, *target, checksums.crcs);
    const auto* problem = std::get_if<JoinProblem>(&planned);
    if (problem && problem->kind == JoinProblem::Kind::TargetIsFragment) {
        return *problem;
    }
    notify(events.targetAccepted, *target);
    if (problem) {
        return *problem;
    }
    const auto& plan = std::get<JoinPlan>(planned);
    if (events.beforeRun && !events.beforeRun(plan)) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    auto joined = [&] {
        try {
            return joinFragments(plan, events.progress);
        } catch (const DamagedFragment& damaged) {
            // A checksum file older than every fragment was not written with them (a user's old one).
            const std::string sums = withTrailingSeparator(directory) + checksums.files.front();
            if (std::ranges::all_of(plan.fragmentPaths, [&sums](const auto& path) {
                    return fileio::changedBefore(sums, path);
                })) {
                throw DamagedFragment(damaged.name(), damaged.found(), damaged.expected(),
                                      checksums.files.front());
            }
            throw;
        }
    }();
    if (auto* refused = std::get_if<JoinProblem>(&joined)) {
        return *refused;
    }
    auto& result = std::get<JoinResult>(joined);
    result.verifiedFragments =
        static_cast<int>(std::ranges::count_if(plan.expectedCrcs, [](auto& crc) { return crc.has_value(); }));
    result.checksumFile = checksums.files.empty() ? "" : checksums.files.front();
    result.checksumFileIsLink = checksums.found == SetChecksums::Found::Link;
    return result;
}

}  // namespace fragments
