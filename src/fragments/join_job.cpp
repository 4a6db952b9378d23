#include "fragments/join_job.hpp"

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
    // The set's checksum file speaks for the fragments it names: one of them not listed is missing, and
    // no gap is asked about then.
    auto checksums = fragmentChecksums(directory, list.suggestedName);
    if (auto missing = missingChecked(names, directory, checksums)) {
        return *missing;
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
    checksums = fragmentChecksums(directory, list.suggestedName);
    if (auto missing = missingChecked(names, directory, checksums)) {
        return *missing;
    }
    auto planned = planJoin(names, directory, *target, checksums);
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
    return joinFragments(plan, events.progress);
}

}  // namespace fragments
