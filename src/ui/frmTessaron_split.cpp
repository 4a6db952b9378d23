// The size box, the split and the join script written after it.

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <new>
#include <optional>
#include <variant>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "Utf8.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/fragment_size.hpp"
#include "fragments/join_script.hpp"
#include "fragments/paths.hpp"
#include "fragments/split_job.hpp"
#include "frmTessaron.hpp"

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
    showMessage(QMessageBox::Warning, texts::sizeBoxTitle(), texts::notNumeric());
}

void frmTessaron::Combo1_Click() {
    Combo1_Change();
}

void frmTessaron::Picture1_Click() {
    Command1_Click();
}

void frmTessaron::Command1_Click() {
    if (busy_) {
        return;
    }
    BusyGuard guard(*this);
    ui::WaitCursor wait(seam_);

    clearSplitResult();
    // The progress line counts from here.
    setCaption(Label11, texts::fragmentCount());
    clearJoinResult();
    setCaption(Label9, QString());
    setCaption(Label10, QString());

    // A typed path may use "/" on Windows too; the path rules count only the native separator.
    const QString source = QDir::toNativeSeparators(Text1->text());
    if (source.isEmpty() || !fileio::fileExists(toUtf8(source))) {
        showMessage(QMessageBox::Warning, texts::noSourceTitle(), texts::noSourceChosen());
        Command3->setFocus();
        return;
    }
    try {
        splitSource(source);
    } catch (const std::bad_alloc&) {
        showOutOfMemory();
    } catch (const fileio::FileError& error) {
        if (error.kind() == fileio::FileError::Kind::CannotOpen) {
            List2->clear();
            showMessage(QMessageBox::Information, texts::infoTitle(), texts::cannotWriteFragments());
        } else {
            showMessage(
                QMessageBox::Critical, texts::infoTitle(),
                texts::splitAborted(fromUtf8(error.path()), fromUtf8(texts::utf8::reason(error.code()))));
        }
    } catch (const std::exception& error) {
        showMessage(QMessageBox::Critical, texts::infoTitle(),
                    texts::splitAborted(QString::fromLocal8Bit(error.what())));
    }
}

void frmTessaron::splitSource(const QString& source) {
    std::optional<fragments::SplitPlan> plan;
    int named = 0;
    ui::ProgressPacer pacer(
        [this, &plan, &named] { setCaption(Label11, texts::splitProgress(named, plan->fragmentCount)); });
    fragments::SplitJobEvents events;
    events.inFolder = [this](const std::string& folder) { setFragmentDirectory(fromUtf8(folder)); };
    events.clearingOld = [this] { clear_old(); };
    events.writing = [this, &plan](const fragments::SplitPlan& planned) {
        plan = planned;
        setCaption(Label9, texts::sourceSize(sizeText(planned.length)));
    };
    events.progress.fragmentNamed = [this, &pacer, &named](int number, const std::string& fileName,
                                                           bool full) {
        List2->addItem(fromUtf8(fileName).toLower());
        if (full) {
            named = number;
            pacer.progress();
        }
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
    setCaption(Label10, texts::fragmentsSize(sizeText(result.bytesWritten)));
    setCaption(Label11, texts::splitProgress(result.fragmentsWritten, plan->fragmentCount));

    // A typed path may lie outside the listed folder; the list must show what was just written.
    const std::string sourcePath = toUtf8(source);
    setFragmentDirectory(fromUtf8(fragments::folderOf(sourcePath)));
    füllen2(source);
    // The join half names the new set's first fragment, or nothing when the split wrote none.
    Text2->setText(List1->count() > 0 ? fragmentDirectory_ + List1->item(0)->text() : QString());
    if (Check1->isChecked()) {
        writeScriptAfterSplit(sourcePath, result.fileNames);
    }
}

void frmTessaron::showSplitRefusal(const fragments::SplitRefusal& refusal, const QString& source) {
    using Kind = fragments::SplitRefusal::Kind;
    switch (refusal.kind) {
        case Kind::SetBusy:
            showMessage(QMessageBox::Information, texts::infoTitle(), texts::setBusy(source));
            break;
        case Kind::InvalidSize:
            showMessage(QMessageBox::NoIcon, windowTitle(), texts::invalidFragmentSize());
            Combo1->setFocus();
            break;
        case Kind::OutOfMemory:
            showOutOfMemory();
            break;
        case Kind::TooManyFragments:
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        texts::tooManyFragments(refusal.fragmentCount));
            break;
    }
}

void frmTessaron::showOutOfMemory() {
    List2->clear();
    showMessage(QMessageBox::Critical, texts::memoryTitle(), texts::outOfMemory());
}

void frmTessaron::writeScriptAfterSplit(const std::string& sourcePath,
                                        const std::vector<std::string>& fileNames) {
    const auto written = fragments::writeJoinScriptAfterSplit(
        sourcePath, fileNames, toUtf8(thousandsSeparator()),
        toUtf8(regionalLocale().toString(QDate::currentDate(), QLocale::ShortFormat)));
    const QString targetName = fromUtf8(fragments::Nurdatei(sourcePath));
    const fragments::JoinScriptLocation script = fragments::joinScriptLocation(sourcePath);
    if (const auto* refusal = std::get_if<fragments::NoJoinScript>(&written)) {
        showMessage(QMessageBox::Information, texts::infoTitle(),
                    texts::noScript(*refusal, targetName, fromUtf8(script.name)));
        return;
    }
    File1->refresh();
    showMessage(QMessageBox::Information, texts::infoTitle(), texts::scriptWritten(fromUtf8(script.name)));
}
