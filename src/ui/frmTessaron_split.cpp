// The size box, and the split with the join script written after it.

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <exception>
#include <iterator>
#include <optional>
#include <variant>

#include "BusyGuard.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "Utf8.hpp"
#include "fileio/files.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/fragment_size.hpp"
#include "fragments/paths.hpp"
#include "fragments/split_job.hpp"
#include "frmTessaron.hpp"
#include "texts/failure.hpp"

namespace says = texts::utf8;
using ui::fromUtf8;
using ui::toUtf8;

void frmTessaron::Combo1_Change() {
    // The split reads the size once before it yields, so a change meanwhile cannot disturb it.
    const QLocale locale = regionalLocale();
    if (const auto size =
            fragments::parseFragmentSize(toUtf8(Combo1->currentText().trimmed()),
                                         toUtf8(locale.decimalPoint()), toUtf8(locale.groupSeparator()))) {
        lngFragmentgroesse = *size;
        Command1->setEnabled(true);
        return;
    }
    Command1->setEnabled(false);
    showMessage(QMessageBox::Warning, texts::sizeBoxTitle, fromUtf8(says::notNumeric));
}

void frmTessaron::Combo1_Click() {
    Combo1_Change();
}

void frmTessaron::Picture1_Click() {
    Command1_Click();
}

void frmTessaron::Command1_Click() {
    BusyGuard guard(*this, BusyGuard::Stop::OnRequest);
    ui::WaitCursor wait(seam_);

    clearSplitResult();
    // The progress line counts from here.
    setCaption(Label11, texts::fragmentCount);
    clearJoinResult();
    setCaption(Label9, QString());
    setCaption(Label10, QString());

    // A typed path may use "/" on Windows too; the path rules count only the native separator.
    const QString source = QDir::toNativeSeparators(Text1->text());
    if (source.isEmpty() || !fileio::fileExists(toUtf8(source))) {
        showMessage(QMessageBox::Warning, texts::noSourceTitle, texts::noSourceChosen);
        Command3->setFocus();
        return;
    }
    try {
        splitSource(source);
    } catch (...) {
        if (BusyGuard::stoppedOnRequest(std::current_exception())) {
            setCaption(Label11, texts::stopped);
            return;
        }
        const auto failure = texts::splitFailure(std::current_exception(), toUtf8(source));
        using Kind = texts::SplitFailure::Kind;
        if (failure.kind == Kind::OutOfMemory) {
            showOutOfMemory();
        } else if (failure.kind == Kind::CannotOpen) {
            // Whichever file it was, the source too: the fragments cannot be written.
            List2->clear();
            showMessage(QMessageBox::Information, texts::infoTitle, fromUtf8(says::cannotWriteFragments));
        } else {
            showMessage(QMessageBox::Critical, texts::infoTitle, fromUtf8(failure.text));
        }
    }
}

void frmTessaron::splitSource(const QString& source) {
    std::optional<fragments::SplitPlan> plan;
    int named = 0;
    ui::ProgressPacer pacer([this, &plan, &named] {
        if (plan) {
            setCaption(Label11, fromUtf8(says::splitProgress(named, plan->fragmentCount)));
        }
    });
    // A large fragment serves the event loop while its bytes are copied.
    const fileio::PieceHook turns([&pacer] { pacer.progress(); });
    fragments::SplitJobEvents events;
    events.clearingOld = [this](const std::string& folder) { clear_old(fromUtf8(folder)); };
    ui::ProgressPacer clearing;
    events.clearingStep = [&clearing] { clearing.progress(); };
    events.writing = [this, &plan](const fragments::SplitPlan& planned) {
        plan = planned;
        setCaption(Label9, fromUtf8(says::sourceSize(toUtf8(sizeText(planned.length)))));
    };
    events.progress.fragmentNamed = [this, &pacer, &named](int number, const std::string& fileName,
                                                           bool full) {
        List2->addItem(fromUtf8(fileName).toLower());
        if (full) {
            named = number;
            pacer.progress();
        }
    };
    // Check1 is read once the set is listed: it may be ticked while the fragments are written.
    events.joinScript = [this]() -> std::optional<fragments::JoinScriptStyle> {
        if (!Check1->isChecked()) {
            return std::nullopt;
        }
        return fragments::JoinScriptStyle{
            toUtf8(thousandsSeparator()),
            toUtf8(regionalLocale().toString(QDate::currentDate(), QLocale::ShortFormat))};
    };
    std::variant<fragments::SplitRefusal, fragments::SplitResult> outcome;
    try {
        outcome = fragments::runSplitJob({toUtf8(source), lngFragmentgroesse, true}, events);
    } catch (...) {
        // The progress line names the fragment the split stopped at.
        pacer.catchUp();
        throw;
    }
    if (const auto* refusal = std::get_if<fragments::SplitRefusal>(&outcome)) {
        showSplitRefusal(*refusal, source);
        return;
    }
    const auto& result = std::get<fragments::SplitResult>(outcome);
    setCaption(Label10, fromUtf8(says::fragmentsSize(toUtf8(sizeText(result.bytesWritten)))));
    setCaption(Label11, fromUtf8(says::splitProgress(std::ssize(result.fileNames), plan->fragmentCount)));
    füllen2(result.fragmentSet);
    // The join half names the new set's first fragment, or nothing when the split wrote none.
    Text2->setText(List1->count() > 0 ? fragmentDirectory_ + List1->item(0)->text() : QString());
    if (result.checksumFileKept) {
        showMessage(QMessageBox::Information, texts::infoTitle,
                    fromUtf8(says::checksumFileKept(
                        fragments::Nurdatei(fragments::checksumFilePath(toUtf8(source))))));
    }
    if (result.joinScriptFailure) {
        std::rethrow_exception(result.joinScriptFailure);
    }
    if (result.joinScript) {
        const std::string sourcePath = toUtf8(source);
        const std::string scriptName = fragments::joinScriptLocation(sourcePath).name;
        const auto* refusal = std::get_if<fragments::NoJoinScript>(&*result.joinScript);
        showMessage(QMessageBox::Information, texts::infoTitle,
                    fromUtf8(refusal ? says::noScript(*refusal, fragments::Nurdatei(sourcePath), scriptName)
                                     : says::scriptWritten(scriptName)));
    }
}

void frmTessaron::showSplitRefusal(const fragments::SplitRefusal& refusal, const QString& source) {
    using Kind = fragments::SplitRefusal::Kind;
    switch (refusal.kind) {
        case Kind::SetBusy:
            showMessage(QMessageBox::Information, texts::infoTitle, fromUtf8(says::setBusy(toUtf8(source))));
            break;
        case Kind::InvalidSize:
            showMessage(QMessageBox::NoIcon, windowTitle(), fromUtf8(says::invalidFragmentSize));
            Combo1->setFocus();
            break;
        case Kind::OutOfMemory:
            showOutOfMemory();
            break;
        case Kind::TooManyFragments:
        case Kind::StreamTooLong:  // the window splits no stream
            showMessage(QMessageBox::Critical, texts::infoTitle,
                        fromUtf8(says::tooManyFragments(refusal.fragmentCount)));
            break;
    }
}

void frmTessaron::showOutOfMemory() {
    List2->clear();
    showMessage(QMessageBox::Critical, texts::memoryTitle, fromUtf8(says::outOfMemory));
}
