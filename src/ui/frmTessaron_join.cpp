// The join: the listed fragments, in list order, into one file chosen in the save-as dialog.

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <exception>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "StdDialoge.hpp"
#include "Utf8.hpp"
#include "fileio/error.hpp"
#include "fragments/join_job.hpp"
#include "fragments/paths.hpp"
#include "frmTessaron.hpp"
#include "texts/failure.hpp"

namespace {

namespace says = texts::utf8;
using ui::fromUtf8;
using ui::toUtf8;

// Entries from the eighth on are not selected while they are copied.
constexpr int selectedWhileCopying = 7;

}  // namespace

void frmTessaron::Picture2_Click() {
    Command4_Click();
}

void frmTessaron::Command4_Click() {
    BusyGuard guard(*this, BusyGuard::Stop::OnRequest);
    std::optional<ui::WaitCursor> wait;
    // The finish of every way out: default pointer, fresh listing, the join button as the list has it.
    const auto finish = qScopeGuard([this, &wait] {
        wait.reset();
        File1->refresh();
        updateJoinButton();
    });
    wait.emplace(seam_);
    clearJoinResult();

    fragments::JoinJobEvents events;
    events.joinDespiteGap = [this](int missingNumber) { return joinDespiteGap(missingNumber); };
    // A fragment left out of the list on purpose: the rest only unverified, and only when the user says so.
    events.joinUnverified = [this](const std::string& fragment, const std::string& checksumFile) {
        return showMessage(QMessageBox::Question, texts::questionTitle,
                           fromUtf8(says::joinUnverifiedQuestion(fragment, checksumFile)),
                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    events.chooseTarget = [this, &wait](const std::string& suggestedName) {
        // The dialog gets the normal pointer; the hourglass returns once a target is chosen.
        wait.reset();
        auto chosen = chooseJoinTarget(suggestedName);
        if (chosen) {
            wait.emplace(seam_);
        }
        return chosen;
    };
    events.beforeRun = [this](const fragments::JoinPlan&) {
        setJoinEnabled(false);
        return true;
    };
    runJoin(events);
}

bool frmTessaron::joinDespiteGap(int missingNumber) {
    return showMessage(QMessageBox::Question, texts::questionTitle,
                       texts::missingNumberQuestion(missingNumber),
                       QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> frmTessaron::chooseJoinTarget(const std::string& suggestedName) {
    // The dialog starts beside the first fragment, so that Enter on the suggested name saves there.
    const QString firstFragment = QDir::toNativeSeparators(Text2->text());
    QString directory =
        firstFragment.isEmpty() ? fragmentDirectory_ : fromUtf8(fragments::folderOf(toUtf8(firstFragment)));
    const QString name = StdDialoge::DateiSpeichern(
        this, texts::saveJoinedTitle, directory, fromUtf8(suggestedName), texts::allFilesFilter, QString());
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return toUtf8(StdDialoge::withSeparator(directory) + name);
}

void frmTessaron::showJoinProblem(const fragments::JoinProblem& problem) {
    using Kind = fragments::JoinProblem::Kind;
    switch (problem.kind) {
        case Kind::EmptyList:
            showMessage(QMessageBox::Warning, texts::infoTitle, texts::emptyFragmentList);
            break;
        case Kind::MixedSources:
            showMessage(QMessageBox::Critical, texts::mixedListTitle, texts::mixedFragmentList);
            break;
        case Kind::TargetIsFragment:
            showMessage(QMessageBox::Critical, texts::infoTitle,
                        texts::targetIsFragment(fromUtf8(problem.path)));
            break;
        case Kind::MissingFragment:
            showMessage(QMessageBox::Warning, texts::infoTitle,
                        texts::fragmentNotFound(fromUtf8(problem.path)));
            break;
        case Kind::NotRegularFile:
            showMessage(QMessageBox::Warning, texts::infoTitle,
                        fromUtf8(says::fileUnreadable(problem.path,
                                                      texts::utf8::reason(fileio::Errc::NotRegularFile))));
            break;
        case Kind::SetBusy:
            showMessage(QMessageBox::Information, texts::infoTitle, fromUtf8(says::setBusy(problem.path)));
            break;
        case Kind::ChecksumFileUnusable:
            showMessage(QMessageBox::Warning, texts::infoTitle,
                        fromUtf8(says::checksumFileUnusable(problem.path)));
            break;
        case Kind::ChecksumFilesDisagree:
            showMessage(QMessageBox::Warning, texts::infoTitle,
                        fromUtf8(says::checksumFilesDisagree(problem.path, problem.otherPath)));
            break;
        case Kind::UnfinishedSplit:
            showMessage(QMessageBox::Warning, texts::infoTitle,
                        fromUtf8(says::unfinishedSplit(problem.path)));
            break;
        case Kind::Cancelled:
            break;
    }
}

void frmTessaron::runJoin(fragments::JoinJobEvents events) {
    // "Clear" deletes the listed set: offered after a complete join, and after a join that stopped because
    // a listed fragment is gone, never after one that wrote nothing from a whole set.
    bool offerClear = false;
    const auto clearOffered = qScopeGuard([this, &offerClear] { Command2->setEnabled(offerClear); });
    // Taken once: while the copy yields, the busy guard keeps the list as it is.
    const std::vector<std::string> names = ui::namesOf(*List1);
    // The progress line and the selection follow the fragment at hand, repainted on the pacer's budget.
    std::size_t current = 0;
    ui::ProgressPacer pacer([this, &names, &current] {
        setCaption(Label5,
                   fromUtf8(says::joinProgress(fragments::progressNumber(names[current]), List1->count())));
    });
    // The target once accepted, for a failure's message; the joined file's name shows from then on.
    std::string target;
    events.targetAccepted = [this, &target](const std::string& accepted) {
        target = accepted;
        setCaption(Label14, fromUtf8(fragments::Nurdatei(accepted)));
    };
    events.progress.beforeFragment = [this, &pacer, &current](std::size_t index) {
        current = index;
        const int row = static_cast<int>(index);
        if (row < selectedWhileCopying) {
            List1->setCurrentRow(row);
        }
        pacer.progress();
    };
    try {
        const auto outcome = fragments::runJoinJob(names, toUtf8(fragmentDirectory_), events);
        pacer.catchUp();
        if (const auto* problem = std::get_if<fragments::JoinProblem>(&outcome)) {
            showJoinProblem(*problem);
            offerClear = problem->kind == fragments::JoinProblem::Kind::MissingFragment;
            return;
        }
        const auto& result = std::get<fragments::JoinResult>(outcome);
        lastJoined_ = JoinedFile{result.targetPath, result.identity};
        List1->setCurrentRow(List1->count() - 1);
        setCaption(Label5, Label5->text() + fromUtf8(says::joinDone));
        setCaption(Label15, sizeText(result.bytesWritten));
        // What was verified, where the hints are (they may take the line later) and on the progress line.
        const QString verified = fromUtf8(
            says::verification(result.verifiedFragments, result.checksumFile, result.checksumFileIsLink));
        setCaption(Label8, verified);
        Label5->setToolTip(verified);
        offerClear = true;
    } catch (...) {
        // No progress stays behind a failed join; a stop the user asked for is shown there instead of a
        // message.
        if (BusyGuard::stoppedOnRequest(std::current_exception())) {
            setCaption(Label5, texts::stopped);
            return;
        }
        setCaption(Label5, QString());
        showMessage(QMessageBox::Critical, texts::infoTitle,
                    fromUtf8(texts::joinFailure(std::current_exception(), target)));
    }
}
