// The join: the listed fragments, in list order, into one file chosen in the save-as dialog.

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QStringList>
#include <exception>
#include <map>
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
#include "fileio/files.hpp"
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

bool isDamagedFragment(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const fragments::DamagedFragment&) {
        return true;
    } catch (...) {
        return false;
    }
}

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
    // Each question once: the join that follows a repair takes the answers and the target already given.
    std::map<QString, bool> answers;
    const auto ask = [this, &answers](const QString& question) {
        const auto [answer, fresh] = answers.try_emplace(question, false);
        if (fresh) {
            answer->second = showMessage(QMessageBox::Question, texts::questionTitle, question,
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        }
        return answer->second;
    };
    events.joinDespiteGap = [&ask](int missingNumber) {
        return ask(texts::missingNumberQuestion(missingNumber));
    };
    // A fragment left out of the list on purpose: the rest only unverified, and only when the user says so.
    events.joinUnverified = [&ask](const std::string& fragment, const std::string& checksumFile) {
        return ask(fromUtf8(says::joinUnverifiedQuestion(fragment, checksumFile)));
    };
    std::optional<std::string> target;
    events.chooseTarget = [this, &wait, &target](const std::string& suggestedName) {
        if (!target) {
            // The dialog gets the normal pointer; the hourglass returns once a target is chosen.
            wait.reset();
            target = chooseJoinTarget(suggestedName);
            if (target) {
                wait.emplace(seam_);
            }
        }
        return target;
    };
    events.beforeRun = [this](const fragments::JoinPlan&) {
        setJoinEnabled(false);
        return true;
    };
    if (const auto rebuilt = runJoin(events)) {
        runJoin(events, rebuilt);
    }
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

std::optional<std::vector<std::string>> frmTessaron::runJoin(
    fragments::JoinJobEvents events, const std::optional<std::vector<std::string>>& rebuilt) {
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
    // A large fragment serves the event loop while its bytes are copied.
    const fileio::PieceHook turns([&pacer] { pacer.progress(); });
    events.progress.beforeFragment = [this, &pacer, &current](std::size_t index) {
        current = index;
        const int row = static_cast<int>(index);
        if (row < selectedWhileCopying) {
            List1->setCurrentRow(row);
        }
        pacer.progress();
    };
    std::optional<fragments::JoinProblem> refused;
    std::exception_ptr failure;
    try {
        const auto outcome = fragments::runJoinJob(names, toUtf8(fragmentDirectory_), events);
        pacer.catchUp();
        if (const auto* problem = std::get_if<fragments::JoinProblem>(&outcome)) {
            refused = *problem;
        } else {
            showJoined(std::get<fragments::JoinResult>(outcome), rebuilt);
            offerClear = true;
            return std::nullopt;
        }
    } catch (...) {
        // No progress stays behind a failed join; a stop the user asked for is shown there instead of a
        // message.
        if (BusyGuard::stoppedOnRequest(std::current_exception())) {
            setCaption(Label5, texts::stopped);
            return std::nullopt;
        }
        setCaption(Label5, QString());
        failure = std::current_exception();
    }
    const bool missing = refused && refused->kind == fragments::JoinProblem::Kind::MissingFragment;
    offerClear = missing;
    const auto showProblem = [this, &refused, &failure, &target] {
        if (refused) {
            showJoinProblem(*refused);
        } else {
            showMessage(QMessageBox::Critical, texts::infoTitle,
                        fromUtf8(texts::joinFailure(failure, target)));
        }
    };
    // Once per click: a set rebuilt and still failing says so as any join does.
    if (!rebuilt && (missing || (failure && isDamagedFragment(failure)))) {
        return offerRepair(names, showProblem);
    }
    showProblem();
    return std::nullopt;
}

void frmTessaron::showJoined(const fragments::JoinResult& result,
                             const std::optional<std::vector<std::string>>& rebuilt) {
    lastJoined_ = JoinedFile{result.targetPath, result.identity};
    List1->setCurrentRow(List1->count() - 1);
    setCaption(Label5, Label5->text() + fromUtf8(says::joinDone));
    setCaption(Label15, sizeText(result.bytesWritten));
    // What was verified, where the hints are (they may take the line later) and on the progress line,
    // whose tooltip also names the fragments rebuilt before.
    const QString verified = fromUtf8(
        says::verification(result.verifiedFragments, result.checksumFile, result.checksumFileIsLink));
    setCaption(Label8, verified);
    QStringList details{verified};
    for (const std::string& name : rebuilt.value_or(std::vector<std::string>())) {
        details << fromUtf8(says::fragmentRebuilt(name));
    }
    Label5->setToolTip(details.join(QLatin1Char('\n')));
}
