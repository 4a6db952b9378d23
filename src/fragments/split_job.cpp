#include "fragments/split_job.hpp"

#include <optional>
#include <vector>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/events.hpp"
#include "fragments/join_script.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

std::variant<SplitRefusal, SplitResult> runSplitJob(const SplitRequest& request,
                                                    const SplitJobEvents& events) {
    const std::string& source = request.sourcePath;
    // Reached through a descriptor (/dev/stdin, ...), the fragments would go into /dev or /proc.
    if (fileio::isSystemPath(source)) {
        throw fileio::FileError(fileio::FileError::Kind::CannotOpen, source, fileio::Errc::NotRegularFile);
    }
    // One operation per set, in any process: a second one is refused before it changes anything.
    const auto lock = SetLock::forSource(source);
    if (!lock) {
        return SplitRefusal{SplitRefusal::Kind::SetBusy};
    }
    // Old fragments are looked for where the new ones go, in a fresh listing of that folder.
    const std::string folder = folderOf(source);
    const std::vector<std::string> listing = listFragmentCandidates(folder);
    const auto fragmentBytes = fragmentBytesFor(request.kilobytes);
    std::optional<SplitPlan> plan;
    if (request.kilobytes != 0 && fragmentBytes) {
        plan = planSplit(fileio::fileSize(source), *fragmentBytes);
    }
    const bool writes = plan && plan->fragmentCount <= maxFragments;
    const auto refusal = [&]() -> std::optional<SplitRefusal> {
        if (request.kilobytes == 0) {
            return SplitRefusal{SplitRefusal::Kind::InvalidSize};
        }
        if (!plan) {
            return SplitRefusal{SplitRefusal::Kind::OutOfMemory};
        }
        if (!writes) {
            return SplitRefusal{SplitRefusal::Kind::TooManyFragments, plan->fragmentCount};
        }
        return std::nullopt;
    }();
    if (refusal && request.refuseBeforeDeleting) {
        return *refusal;
    }
    // Every name the split deletes or writes is checked before the first of them changes.
    checkSplitNames(listing, folder, source, writes ? plan->fragmentCount : 0, nativeSeparator);
    // From here until the new set is whole, what is beside the source may be part of a set: never joined.
    markUnfinished(source);
    // A source named like its own script (Beispiel.bat) is never taken for an old script.
    removeOldJoinScript(source);
    notify(events.clearingOld, folder);
    deleteOldFragments(listing, folder, source, nativeSeparator, events.clearingStep);
    removeOwnChecksumFile(checksumFilePath(source));
    removeSplitLeftovers(folder, source, nativeSeparator);

    if (refusal) {
        // The old set is gone and no new one begun: nothing is left to be joined.
        clearUnfinished(source);
        return *refusal;
    }
    notify(events.writing, *plan);
    SplitResult result = splitFile(source, *plan, events.progress, nativeSeparator, request.checksumFile);
    clearUnfinished(source);
    result.fragmentSet = collectFragmentSet(listFragmentCandidates(folder), folder, source, nativeSeparator);
    if (const auto style = events.joinScript ? events.joinScript() : std::nullopt) {
        try {
            result.joinScript = writeJoinScriptAfterSplit(source, result.fileNames, style->thousandsSeparator,
                                                          style->dateText);
        } catch (...) {
            result.joinScriptFailure = std::current_exception();
        }
    }
    return result;
}

}  // namespace fragments
