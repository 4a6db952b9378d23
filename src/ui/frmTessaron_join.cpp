// The join: the listed fragments, in list order, into one file chosen in the save-as dialog.

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "StdDialoge.hpp"
#include "Utf8.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fragments/join_job.hpp"
#include "fragments/paths.hpp"
#include "frmTessaron.hpp"

namespace {

using ui::fromUtf8;
using ui::toUtf8;

// Runs `action` when the scope is left, however it is left.
template <typename Action>
class ScopeExit {
  public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    Action action_;
};

// Entries from the eighth on are not selected while they are copied.
constexpr int selectedWhileCopying = 7;

}  // namespace

void frmTessaron::Picture2_Click() {
    Command4_Click();
}

void frmTessaron::Command4_Click() {
    if (busy_) {
        return;
    }
    BusyGuard guard(*this);
    std::optional<ui::WaitCursor> wait;
    // The finish of every way out: default pointer, fresh listing, the join button as the list has it.
    const ScopeExit finish([this, &wait] {
        wait.reset();
        File1->refresh();
        updateJoinButton();
    });
    wait.emplace(seam_);
    clearJoinResult();

    // Taken once: while the copy yields, the busy guard keeps the list as it is.
    const std::vector<std::string> names = ui::namesOf(*List1);
    std::string target;
    fragments::JoinJobEvents events;
    events.joinDespiteGap = [this](int missingNumber) { return joinDespiteGap(missingNumber); };
    events.chooseTarget = [this, &wait](const std::string& suggestedName) {
        // The dialog gets the normal pointer; the hourglass returns once a target is chosen.
        wait.reset();
        auto chosen = chooseJoinTarget(suggestedName);
        if (chosen) {
            wait.emplace(seam_);
        }
        return chosen;
    };
    events.targetAccepted = [this, &target](const std::string& accepted) {
        target = accepted;
        setCaption(Label14, fromUtf8(fragments::Nurdatei(accepted)));
    };
    events.beforeRun = [this](const fragments::JoinPlan&) {
        setJoinEnabled(false);
        return true;
    };
    runJoin(names, events, target);
    // After a join and after a refusal once the target was accepted alike.
    if (!target.empty()) {
        Command2->setEnabled(true);
    }
}

bool frmTessaron::joinDespiteGap(int missingNumber) {
    return showMessage(QMessageBox::Question, texts::questionTitle(),
                       texts::missingNumberQuestion(missingNumber),
                       QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> frmTessaron::chooseJoinTarget(const std::string& suggestedName) {
    // The dialog starts beside the first fragment, so that Enter on the suggested name saves there.
    const QString firstFragment = QDir::toNativeSeparators(Text2->text());
    QString directory =
        firstFragment.isEmpty() ? fragmentDirectory_ : fromUtf8(fragments::folderOf(toUtf8(firstFragment)));
    const QString name =
        StdDialoge::DateiSpeichern(this, texts::saveJoinedTitle(), directory, fromUtf8(suggestedName),
                                   texts::allFilesFilter(), QString());
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return toUtf8(StdDialoge::withSeparator(directory) + name);
}

void frmTessaron::showJoinProblem(const fragments::JoinProblem& problem) {
    using Kind = fragments::JoinProblem::Kind;
    switch (problem.kind) {
        case Kind::EmptyList:
            showMessage(QMessageBox::Warning, texts::infoTitle(), texts::emptyFragmentList());
            break;
        case Kind::MixedSources:
            showMessage(QMessageBox::Critical, texts::mixedListTitle(), texts::mixedFragmentList());
            break;
        case Kind::TargetIsFragment:
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        texts::targetIsFragment(fromUtf8(problem.path)));
            break;
        case Kind::MissingFragment:
            showMessage(QMessageBox::Warning, texts::infoTitle(),
                        texts::fragmentNotFound(fromUtf8(problem.path)));
            break;
        case Kind::NotRegularFile:
            showMessage(QMessageBox::Warning, texts::infoTitle(),
                        texts::fileUnreadable(fromUtf8(problem.path),
                                              fromUtf8(texts::utf8::reason(fileio::Errc::NotRegularFile))));
            break;
        case Kind::SetBusy:
            showMessage(QMessageBox::Information, texts::infoTitle(), texts::setBusy(fromUtf8(problem.path)));
            break;
        case Kind::Cancelled:
            break;
    }
}

void frmTessaron::runJoin(const std::vector<std::string>& names, fragments::JoinJobEvents events,
                          const std::string& target) {
    // The progress line and the selection follow the fragment at hand, repainted on the pacer's budget.
    std::size_t current = 0;
    bool verifying = false;
    ui::ProgressPacer pacer([this, &names, &current, &verifying] {
        const QString number = fromUtf8(fragments::progressNumber(names[current]));
        setCaption(Label5, verifying ? texts::verifyProgress(number, List1->count())
                                     : texts::joinProgress(number, List1->count()));
    });
    events.progress.beforeVerifying = [&pacer, &current, &verifying](std::size_t index) {
        current = index;
        verifying = true;
        pacer.progress();
    };
    events.progress.beforeFragment = [this, &pacer, &current, &verifying](std::size_t index) {
        current = index;
        verifying = false;
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
            return;
        }
        const auto& result = std::get<fragments::JoinResult>(outcome);
        lastJoined_ = JoinedFile{target, result.identity};
        List1->setCurrentRow(List1->count() - 1);
        setCaption(Label5, Label5->text() + texts::joinDone());
        setCaption(Label15, sizeText(result.bytesWritten));
    } catch (const fragments::DamagedFragment& damaged) {
        pacer.catchUp();
        showMessage(
            QMessageBox::Critical, texts::infoTitle(),
            texts::damagedFragment(fromUtf8(damaged.name()), fromUtf8(checksum::crcText(damaged.found())),
                                   fromUtf8(checksum::crcText(damaged.expected()))));
    } catch (const fileio::FileError& error) {
        pacer.catchUp();
        showMessage(QMessageBox::Critical, texts::infoTitle(),
                    texts::joinAborted(fromUtf8(error.path()), fromUtf8(texts::utf8::reason(error.code()))));
    } catch (const std::exception& error) {
        pacer.catchUp();
        showMessage(QMessageBox::Critical, texts::infoTitle(),
                    texts::joinAborted(fromUtf8(target), fromUtf8(error.what())));
    }
}
