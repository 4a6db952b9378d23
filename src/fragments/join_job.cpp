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
    // The set's checksum file speaks for the fragments it names: one of them not listed is missing, and
    // no gap is asked about then.
    const auto checksums = fragmentChecksums(directory, list.suggestedName);
    if (auto missing = missingChecked(names, directory, checksums)) {
        return *missing;
    }
    if (list.firstGap && !(events.joinDespiteGap && events.joinDespiteGap(*list.firstGap))) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    // Held until the join has finished, so that no split, join or deletion of the set runs meanwhile.
    const auto lock = SetLock::forList(names, directory);
    if (!lock) {
        return JoinProblem{JoinProblem::Kind::SetBusy, withTrailingSeparator(directory) + names.front()};
    }
    const std::optional<std::string> target =
        events.chooseTarget ? events.chooseTarget(list.suggestedName) : std::nullopt;
    if (!target) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
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
