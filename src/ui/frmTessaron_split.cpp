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
#include "fragments/set_files.hpp"
#include "fragments/split.hpp"
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
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        texts::splitAborted(fromUtf8(error.path()), fromUtf8(error.reason())));
        }
    } catch (const std::exception& error) {
        showMessage(QMessageBox::Critical, texts::infoTitle(),
                    texts::splitAborted(QString::fromLocal8Bit(error.what())));
    }
}

void frmTessaron::splitSource(const QString& source) {
    const std::string sourcePath = toUtf8(source);
    // One operation per set, in any process: a second one is refused before it changes anything.
    const auto lock = fragments::SetLock::forSource(sourcePath);
    if (!lock) {
        showMessage(QMessageBox::Information, texts::infoTitle(), texts::setBusy(source));
        return;
    }
    // Old fragments are looked for where the new ones go, in a fresh listing of that folder.
    const QString folder = fromUtf8(fragments::folderOf(sourcePath));
    setFragmentDirectory(folder);
    const auto fragmentBytes = fragments::fragmentBytesFor(lngFragmentgroesse);
    std::optional<fragments::SplitPlan> plan;
    if (lngFragmentgroesse != 0 && fragmentBytes) {
        plan = fragments::planSplit(fileio::fileSize(sourcePath), *fragmentBytes);
    }
    // Every name the split deletes or writes is checked before the first of them changes.
    const bool writes = plan && plan->fragmentCount <= fragments::maxFragments;
    fragments::checkSplitNames(File1->listing(), toUtf8(fragmentDirectory_), sourcePath,
                               writes ? plan->fragmentCount : 0, fragments::nativeSeparator);
    // A source named like its own script (Beispiel.bat) is never taken for an old script.
    fragments::removeOldJoinScript(sourcePath);
    clear_old(source);

    if (lngFragmentgroesse == 0) {
        showMessage(QMessageBox::NoIcon, windowTitle(), texts::invalidFragmentSize());
        Combo1->setFocus();
        return;
    }
    if (!plan) {
        showOutOfMemory();
        return;
    }
    if (!writes) {
        showMessage(QMessageBox::Critical, texts::infoTitle(), texts::tooManyFragments(plan->fragmentCount));
        return;
    }
    splitInto(source, *plan);
}

void frmTessaron::splitInto(const QString& source, const fragments::SplitPlan& plan) {
    const std::string sourcePath = toUtf8(source);
    setCaption(Label9, texts::sourceSize(sizeText(plan.length)));

    int named = 0;
    ui::ProgressPacer pacer(
        [this, &plan, &named] { setCaption(Label11, texts::splitProgress(named, plan.fragmentCount)); });
    fragments::SplitEvents events;
    events.fragmentNamed = [this, &pacer, &named](int number, const std::string& fileName, bool full) {
        List2->addItem(fromUtf8(fileName).toLower());
        if (full) {
            named = number;
            pacer.progress();
        }
    };
    fragments::SplitResult result;
    try {
        result = fragments::splitFile(sourcePath, plan, events, fragments::nativeSeparator);
    } catch (...) {
        // The progress line names the fragment the split stopped at.
        pacer.catchUp();
        throw;
    }
    setCaption(Label10, texts::fragmentsSize(sizeText(result.bytesWritten)));
    setCaption(Label11, texts::splitProgress(result.fragmentsWritten, plan.fragmentCount));

    // A typed path may lie outside the listed folder; the list must show what was just written.
    setFragmentDirectory(fromUtf8(fragments::folderOf(sourcePath)));
    füllen2(source);
    // The join half names the new set's first fragment, or nothing when the split wrote none.
    Text2->setText(List1->count() > 0 ? fragmentDirectory_ + List1->item(0)->text() : QString());
    if (Check1->isChecked()) {
        writeScriptAfterSplit(sourcePath, result.lastFileName);
    }
}

void frmTessaron::showOutOfMemory() {
    List2->clear();
    showMessage(QMessageBox::Critical, texts::memoryTitle(), texts::outOfMemory());
}

void frmTessaron::writeScriptAfterSplit(const std::string& sourcePath, const std::string& lastFileName) {
    const QString targetName = fromUtf8(fragments::Nurdatei(sourcePath));
    fragments::JoinScriptInput input;
    input.targetName = toUtf8(targetName);
    input.fragmentNames = ui::namesOf(*List2);
    input.lastFragmentName = lastFileName;
    input.sourceBytes = fileio::fileSize(sourcePath);
    input.thousandsSeparator = toUtf8(thousandsSeparator());
    input.dateText = toUtf8(regionalLocale().toString(QDate::currentDate(), QLocale::ShortFormat));

    const fragments::JoinScriptLocation script = fragments::joinScriptLocation(sourcePath);
    if (const auto refusal = fragments::whyNoJoinScript(sourcePath, input)) {
        showMessage(QMessageBox::Information, texts::infoTitle(),
                    texts::noScript(*refusal, targetName, fromUtf8(script.name)));
        return;
    }
    fragments::writeJoinScript(script.path, input);
    File1->refresh();
    showMessage(QMessageBox::Information, texts::infoTitle(), texts::scriptWritten(fromUtf8(script.name)));
}
