#include "fragments/join_job.hpp"

#include <algorithm>

#include "fragments/checksum_file.hpp"
#include "fragments/events.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

namespace {

// A set whose split did not finish is never joined: an old set half deleted or a new one half written.
// While the split still runs (the set not `locked` by the caller), it holds the set.
std::optional<JoinProblem> unfinishedSplit(const std::vector<std::string>& names,
                                           const std::string& directory, const std::string& sourceName,
                                           bool locked) {
    if (!isUnfinished(directory, sourceName)) {
        return std::nullopt;
    }
    if (!locked && !SetLock::forList(names, directory)) {
        return JoinProblem{JoinProblem::Kind::SetBusy, withTrailingSeparator(directory) + names.front()};
    }
    return JoinProblem{JoinProblem::Kind::UnfinishedSplit, withTrailingSeparator(directory) + sourceName};
}

// The set's checksum file, which speaks for the fragments it names: one of them not listed is missing, or
// left out on purpose when the user says so (`ask`; then nothing is verified), and no gap is asked about
// then. A problem, or nullopt with `checksums` found.
std::optional<JoinProblem> checkSums(const std::vector<std::string>& names, const std::string& directory,
                                     const std::string& sourceName, const JoinJobEvents& events, bool ask,
                                     SetChecksums& checksums) {
    checksums = findSetChecksums(directory, sourceName);
    if (auto untrusted = untrustedChecksums(checksums, directory)) {
        return untrusted;
    }
    auto missing = missingChecked(names, directory, checksums.crcs);
    if (!missing || !events.joinUnverified || !fileio::fileExists(missing->path)) {
        return missing;
    }
    if (ask && !events.joinUnverified(Nurdatei(missing->path), checksums.files.front())) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    checksums.crcs.clear();
    return std::nullopt;
}

// Runs `plan`; a damaged fragment against a checksum file (`checksumFile` in `directory`) older than every
// fragment names that file as the likelier stale part, as it was not written with them (a user's old one).
std::variant<JoinProblem, JoinResult> joinNaming(const JoinPlan& plan, const JoinJobEvents& events,
                                                 const std::string& directory,
                                                 const std::string& checksumFile) {
    try {
        if (events.stream) {
            return joinToStream(plan, events.progress, events.stream);
        }
        return joinFragments(plan, events.progress);
    } catch (const DamagedFragment& damaged) {
        const std::string sums = withTrailingSeparator(directory) + checksumFile;
        if (!checksumFile.empty() && std::ranges::all_of(plan.fragmentPaths, [&sums](const auto& path) {
                return fileio::changedBefore(sums, path);
            })) {
            throw DamagedFragment(damaged.name(), damaged.found(), damaged.expected(), checksumFile);
        }
        throw;
    }
}

}  // namespace

std::optional<JoinProblem> untrustedChecksums(const SetChecksums& checksums, const std::string& directory) {
    using Found = SetChecksums::Found;
    if (checksums.found != Found::Unusable && checksums.found != Found::Disagree) {
        return std::nullopt;
    }
    const std::string folder = withTrailingSeparator(directory);
    return JoinProblem{checksums.found == Found::Unusable ? JoinProblem::Kind::ChecksumFileUnusable
                                                          : JoinProblem::Kind::ChecksumFilesDisagree,
                       folder + checksums.files.front(), folder + checksums.files.back()};
}

std::variant<JoinProblem, JoinResult> runJoinJob(const std::vector<std::string>& names,
                                                 const std::string& directory, const JoinJobEvents& events) {
    const auto checked = checkJoinList(names);
    if (const auto* problem = std::get_if<JoinProblem>(&checked)) {
        return *problem;
    }
    const std::string& source = std::get<JoinListCheck>(checked).suggestedName;
    const auto firstGap = std::get<JoinListCheck>(checked).firstGap;
    SetChecksums checksums;
    if (auto problem = unfinishedSplit(names, directory, source, false)) {
        return *problem;
    }
    if (auto problem = checkSums(names, directory, source, events, true, checksums)) {
        return *problem;
    }
    if (firstGap && !(events.joinDespiteGap && events.joinDespiteGap(*firstGap))) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    // Chosen before the set is locked: an open dialog holds up no other operation on the set.
    const std::optional<std::string> target = events.stream         ? std::optional(std::string())
                                              : events.chooseTarget ? events.chooseTarget(source)
                                                                    : std::nullopt;
    if (!target) {
        return JoinProblem{JoinProblem::Kind::Cancelled, {}};
    }
    // Held until the join has finished, so that no split, join or deletion of the set runs meanwhile;
    // what may have changed while the dialog was open is looked at again.
    const auto lock = SetLock::forList(names, directory);
    if (!lock) {
        return JoinProblem{JoinProblem::Kind::SetBusy, withTrailingSeparator(directory) + names.front()};
    }
    if (auto problem = unfinishedSplit(names, directory, source, true)) {
        return *problem;
    }
    if (auto problem = checkSums(names, directory, source, events, false, checksums)) {
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
    auto joined = joinNaming(plan, events, directory,
                             checksums.files.empty() ? std::string() : checksums.files.front());
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
