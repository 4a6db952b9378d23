// A join stopped by a damaged or missing fragment: the set rebuilt from its recovery files, when the user
// says so, before the join runs once more.

#include <QLabel>
#include <QListWidget>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "Utf8.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/recovery_files.hpp"
#include "fragments/set_files.hpp"
#include "frmTessaron.hpp"
#include "texts/failure.hpp"

namespace {

namespace says = texts::utf8;
using ui::fromUtf8;
using ui::toUtf8;

// What the window says when the recovery files of `mainFile` (bare) could not be read: why.
QString diagnosisFailure(const std::exception_ptr& failure, const std::string& mainFile) {
    try {
        std::rethrow_exception(failure);
    } catch (const recovery::RecoveryError&) {
        return fromUtf8(says::recoveryUnusable(mainFile));
    } catch (const fileio::FileError& error) {
        return fromUtf8(says::fileUnreadable(error.path(), says::reason(error.code())));
    } catch (...) {
        return fromUtf8(texts::joinFailure(failure, mainFile));
    }
}

// What the window says when the repair from `mainFile` (bare) failed; nothing was renamed then.
QString repairFailure(const std::exception_ptr& failure, const std::string& mainFile) {
    try {
        std::rethrow_exception(failure);
    } catch (const recovery::RecoveryError& error) {
        if (error.kind() == recovery::RecoveryError::Kind::RebuiltWrong) {
            return fromUtf8(says::rebuiltWrong(mainFile));
        }
        return fromUtf8(texts::joinFailure(failure, mainFile));
    } catch (...) {
        return fromUtf8(texts::joinFailure(failure, mainFile));
    }
}

}  // namespace

std::optional<std::vector<std::string>> frmTessaron::offerRepair(const std::vector<std::string>& names,
                                                                 const std::function<void()>& showProblem) {
    const std::string directory = toUtf8(fragmentDirectory_);
    const std::string mainPath = fragments::recoveryFilePath(fragments::withTrailingSeparator(directory) +
                                                             fragments::sourceNameOf(names.front()));
    const std::string mainFile = fragments::Nurdatei(mainPath);
    setJoinEnabled(false);
    // Reading and rebuilding a large set takes a while: the progress line shows how far, the event loop is
    // served on the pacer's budget, and a stop asked for meanwhile ends the work at its next step.
    std::int64_t percent = 0;
    ui::ProgressPacer pacer(
        [this, &percent] { setCaption(Label5, fromUtf8(says::recoveryProgress(percent))); });
    const recovery::Progress progress = [&percent, &pacer, &mainPath](std::int64_t done, std::int64_t total) {
        percent = total > 0 ? done * 100 / total : 100;
        pacer.progress();
        if (fileio::cancelRequested()) {
            throw fileio::FileError(fileio::FileError::Kind::Io, mainPath,
                                    fileio::make_error_code(fileio::Errc::Cancelled));
        }
    };
    // The progress line is empty again once the work is over, but after a stop, which it shows.
    const auto ended = [this](const std::exception_ptr& failure) {
        const bool stopped = failure && BusyGuard::stoppedOnRequest(failure);
        setCaption(Label5, stopped ? texts::stopped : QString());
        return stopped;
    };

    std::optional<recovery::Diagnosis> diagnosis;
    try {
        diagnosis = fragments::diagnoseSet(directory, fragments::sourceNameOf(names.front()), progress);
    } catch (...) {
        if (!ended(std::current_exception())) {
            showProblem();
            showMessage(QMessageBox::Warning, texts::infoTitle,
                        diagnosisFailure(std::current_exception(), mainFile));
        }
        return std::nullopt;
    }
    ended(nullptr);
    if (!diagnosis || diagnosis->intact()) {
        showProblem();
        return std::nullopt;
    }
    if (!diagnosis->repairable()) {
        showProblem();
        showMessage(
            QMessageBox::Information, texts::infoTitle,
            fromUtf8(says::notRepairable(mainFile, diagnosis->missingBlocks, diagnosis->recoveryBlocks)));
        return std::nullopt;
    }
    const auto lost = std::ranges::count_if(
        diagnosis->files, [](const auto& file) { return file.state != recovery::FileState::Intact; });
    if (showMessage(QMessageBox::Question, texts::questionTitle,
                    fromUtf8(says::repairQuestion(static_cast<std::size_t>(lost), mainFile,
                                                  diagnosis->missingBlocks, diagnosis->recoveryBlocks)),
                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        showProblem();
        return std::nullopt;
    }

    std::vector<std::string> rebuilt;
    try {
        // No split, join or deletion of the set while its fragments are rebuilt.
        const auto lock = fragments::SetLock::forList(names, directory);
        if (!lock) {
            showMessage(QMessageBox::Information, texts::infoTitle,
                        fromUtf8(says::setBusy(fragments::withTrailingSeparator(directory) + names.front())));
            return std::nullopt;
        }
        rebuilt = fragments::repairSet(*diagnosis, progress);
    } catch (...) {
        if (!ended(std::current_exception())) {
            showMessage(QMessageBox::Critical, texts::infoTitle,
                        repairFailure(std::current_exception(), mainFile));
        }
        return std::nullopt;
    }
    ended(nullptr);
    File1->refresh();
    listRebuilt(rebuilt);
    return rebuilt;
}

void frmTessaron::listRebuilt(const std::vector<std::string>& rebuilt) {
    const std::vector<std::string> listed = ui::namesOf(*List1);
    bool added = false;
    for (const std::string& name : rebuilt) {
        // A fragment of the listed set only (recovery files may protect other files too), in its naming.
        const auto number = fragments::fragmentNumber(name);
        if (!number || fragments::memberName(listed.front(), *number) != name ||
            std::ranges::find(listed, name) != listed.end()) {
            continue;
        }
        int row = 0;
        while (row < List1->count() && fragments::lessIgnoringCase(toUtf8(List1->item(row)->text()), name)) {
            ++row;
        }
        List1->insertItem(row, fromUtf8(name));
        added = true;
    }
    if (added) {
        setCaption(Label6, texts::fragmentCount + QString::number(List1->count()));
        setCaption(Label12, texts::setTotal(sizeText(fragments::totalOfExisting(
                                ui::namesOf(*List1), toUtf8(fragmentDirectory_)))));
    }
}
