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
#include "fragments/recovery_files.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

std::string setPathOf(const SplitRequest& request) {
    return request.outputFolder.empty()
               ? request.sourcePath
               : withTrailingSeparator(request.outputFolder) + Nurdatei(request.sourcePath);
}

namespace {

// The plan of the split `request` asks for; nullopt for a size it cannot take. A stream's length shows only
// at its end.
std::optional<SplitPlan> planOf(const SplitRequest& request) {
    const auto fragmentBytes = fragmentBytesFor(request.kilobytes);
    if (request.kilobytes == 0 || !fragmentBytes) {
        return std::nullopt;
    }
    return planSplit(request.input ? 0 : fileio::fileSize(request.sourcePath), *fragmentBytes);
}

// Writes the new set named after `setPath`: its fragments, its checksum file and, when asked for, its
// recovery files. Nullopt for a stream longer than 999 fragments.
std::optional<SplitResult> writeSet(const SplitRequest& request, const SplitPlan& plan,
                                    const SplitJobEvents& events, const std::string& setPath) {
    std::optional<SplitResult> written = request.input
                                             ? splitStream(request.input, plan.fragmentBytes, events.progress,
                                                           nativeSeparator, request.checksumFile, setPath)
                                             : splitFile(request.sourcePath, plan, events.progress,
                                                         nativeSeparator, request.checksumFile, setPath);
    if (written && request.recoveryPercent > 0 && !written->fileNames.empty()) {
        written->recoveryFiles =
            writeRecoveryFiles(setPath, written->fileNames, request.recoveryPercent, events.recoveryProgress);
    }
    return written;
}

}  // namespace

std::variant<SplitRefusal, SplitResult> runSplitJob(const SplitRequest& request,
                                                    const SplitJobEvents& events) {
    const std::string& source = request.sourcePath;
    // Reached through a descriptor (/dev/stdin, ...), the fragments would go into /dev or /proc.
    if (!request.input && fileio::isDescriptorPath(source)) {
        throw fileio::FileError(fileio::FileError::Kind::CannotOpen, source, fileio::Errc::NotRegularFile);
    }
    // The set's files are named after the source, in the output folder or beside the source.
    const std::string setPath = setPathOf(request);
    // One operation per set, in any process: a second one is refused before it changes anything.
    const auto lock = SetLock::forSource(setPath);
    if (!lock) {
        return SplitRefusal{SplitRefusal::Kind::SetBusy};
    }
    // Old fragments are looked for where the new ones go, in a fresh listing of that folder.
    const std::string folder = folderOf(setPath);
    const std::vector<std::string> listing = listFragmentCandidates(folder);
    const std::optional<SplitPlan> plan = planOf(request);
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
    checkSplitNames(listing, folder, source,
                    !writes         ? 0
                    : request.input ? maxFragments
                                    : plan->fragmentCount,
                    nativeSeparator, setPath);
    // From here until the new set is whole, what is beside the source may be part of a set: never joined.
    markUnfinished(setPath);
    // A source named like its own script (Beispiel.bat) is never taken for an old script.
    removeOldJoinScript(setPath);
    notify(events.clearingOld, folder);
    deleteOldFragments(listing, folder, setPath, nativeSeparator, events.clearingStep);
    removeOwnChecksumFile(checksumFilePath(setPath));
    removeOwnRecoveryFiles(setPath);
    removeSplitLeftovers(folder, setPath, nativeSeparator);

    if (refusal) {
        // The old set is gone and no new one begun: nothing is left to be joined.
        clearUnfinished(setPath);
        return *refusal;
    }
    notify(events.writing, *plan);
    // The recovery files are part of the set: it is finished only when they are in place too.
    std::optional<SplitResult> written = writeSet(request, *plan, events, setPath);
    if (!written) {
        return SplitRefusal{SplitRefusal::Kind::StreamTooLong};
    }
    SplitResult& result = *written;
    clearUnfinished(setPath);
    result.fragmentSet = collectFragmentSet(listFragmentCandidates(folder), folder, setPath, nativeSeparator);
    if (const auto style = events.joinScript ? events.joinScript() : std::nullopt) {
        try {
            result.joinScript = writeJoinScriptAfterSplit(setPath, result.fileNames,
                                                          style->thousandsSeparator, style->dateText);
        } catch (...) {
            result.joinScriptFailure = std::current_exception();
        }
    }
    return result;
}

}  // namespace fragments
