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
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/join_script.hpp"
#include "fragments/paths.hpp"
#include "fragments/split.hpp"
#include "frmTessaron.hpp"

namespace {

// A number under the regional settings, rounded half to even; nullopt when the text is not numeric
// or its value does not fit a signed 32-bit integer.
std::optional<std::int32_t> parseFragmentSize(const QLocale& locale, const QString& text) {
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

// The folder of a source path with trailing separator; a bare name lies in the working directory.
QString folderOf(const QString& path) {
    const QString file = QString::fromStdString(fragments::Nurdatei(path.toStdString()));
    QString folder = path.left(path.size() - file.size());
    if (folder.isEmpty()) {
        folder = QDir::toNativeSeparators(QDir::currentPath());
    }
    return QString::fromStdString(fragments::withTrailingSeparator(folder.toStdString()));
}

QString scriptNameFor(const QString& sourcePath) {
    return QString::fromStdString(fragments::NurName(sourcePath.toStdString())) + QStringLiteral(".bat");
}

}  // namespace

void frmTessaron::Combo1_Change() {
    // The split reads the size once before it yields, so a change meanwhile cannot disturb it.
    if (const auto size = parseFragmentSize(regionalLocale(), Combo1->currentText())) {
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

    setCaption(Label11, texts::fragmentCount());
    setCaption(Label6, texts::fragmentCount());
    setCaption(Label12, QString());
    setCaption(Label5, QString());
    setCaption(Label14, QString());
    setCaption(Label15, QString());
    List2->clear();
    setCaption(Label9, QString());
    setCaption(Label10, QString());

    // A typed path may use "/" on Windows too; the path rules count only the native separator.
    const QString source = QDir::toNativeSeparators(Text1->text());
    if (source.isEmpty() || !fileio::fileExists(source.toStdString())) {
        showMessage(QMessageBox::Warning, texts::noSourceTitle(), texts::noSourceChosen());
        Command3->setFocus();
        return;
    }
    const std::string sourcePath = source.toStdString();
    const QString folder = folderOf(source);

    try {
        // A source named like its own script (Beispiel.bat) is never taken for an old script.
        const std::string oldScript = (folder + scriptNameFor(source)).toStdString();
        if (fileio::fileExists(oldScript) && !fragments::sameFile(oldScript, sourcePath)) {
            fileio::removeFile(oldScript);
        }
        // Old fragments are looked for where the new ones go, in a fresh listing of that folder.
        setFragmentDirectory(folder);
        clear_old(source);

        if (lngFragmentgroesse == 0) {
            showMessage(QMessageBox::NoIcon, windowTitle(), texts::invalidFragmentSize());
            Combo1->setFocus();
            return;
        }
        const auto fragmentBytes = fragments::fragmentBytesFor(lngFragmentgroesse);
        if (!fragmentBytes) {
            throw std::bad_alloc();
        }

        const std::int64_t length = fileio::fileSize(sourcePath);
        const fragments::SplitPlan plan = fragments::planSplit(length, *fragmentBytes);
        if (plan.fragmentCount > fragments::maxFragments) {
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        texts::tooManyFragments(plan.fragmentCount));
            return;
        }
        setCaption(Label9, texts::sourceSize(sizeText(length)));

        fragments::SplitEvents events;
        events.beforeFullFragment = [this](int) { yieldToEventLoop(); };
        events.fragmentNamed = [this, &plan](int number, const std::string& fileName, bool full) {
            List2->addItem(QString::fromStdString(fileName).toLower());
            if (full) {
                setCaption(Label11, texts::splitProgress(number, plan.fragmentCount));
                repaint();
            }
        };
        const fragments::SplitResult result =
            fragments::splitFile(sourcePath, plan, events, fragments::nativeSeparator);

        setCaption(Label10, texts::fragmentsSize(sizeText(result.bytesWritten)));
        setCaption(Label11, texts::splitProgress(result.fragmentsWritten, plan.fragmentCount));

        // A typed path may lie outside the listed folder; the list must show what was just written.
        setFragmentDirectory(folder);
        füllen2(source);
        if (List1->count() > 0) {
            Text2->setText(fragmentDirectory_ + List1->item(0)->text());
            setJoinEnabled(true);
        }

        if (Check1->isChecked()) {
            writeScriptAfterSplit(source, QString::fromStdString(result.lastFileName));
        }
    } catch (const std::bad_alloc&) {
        List2->clear();
        showMessage(QMessageBox::Critical, texts::memoryTitle(), texts::outOfMemory());
    } catch (const fileio::FileError& error) {
        if (error.kind() == fileio::FileError::Kind::CannotOpen) {
            List2->clear();
            showMessage(QMessageBox::Information, texts::infoTitle(), texts::cannotWriteFragments());
        } else {
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        texts::splitAborted(QString::fromStdString(error.path()),
                                            QString::fromStdString(error.reason())));
        }
    } catch (const std::exception& error) {
        showMessage(QMessageBox::Critical, texts::infoTitle(),
                    texts::splitAborted(QString::fromLocal8Bit(error.what())));
    }
}

void frmTessaron::writeScriptAfterSplit(const QString& sourcePath, const QString& lastFileName) {
    const QString targetName = QString::fromStdString(fragments::Nurdatei(sourcePath.toStdString()));
    if (fragments::hasCharacterForbiddenOnWindows(targetName.toStdString())) {
        showMessage(QMessageBox::Information, texts::infoTitle(), texts::noScriptForName(targetName));
        return;
    }

    const QString scriptName = scriptNameFor(sourcePath);
    const QString scriptPath = folderOf(sourcePath) + scriptName;
    if (fragments::sameFile(scriptPath.toStdString(), sourcePath.toStdString())) {
        showMessage(QMessageBox::Information, texts::infoTitle(), texts::noScriptNamedLikeSource(targetName));
        return;
    }

    fragments::JoinScriptInput input;
    input.targetName = targetName.toStdString();
    for (int row = 0; row < List2->count(); ++row) {
        input.fragmentNames.push_back(List2->item(row)->text().toStdString());
    }
    input.lastFragmentName = lastFileName.toStdString();
    input.sourceBytes = fileio::fileSize(sourcePath.toStdString());
    input.thousandsSeparator = thousandsSeparator().toStdString();
    input.dateText = regionalLocale().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();

    fragments::writeJoinScript(scriptPath.toStdString(), input);
    File1->refresh();
    showMessage(QMessageBox::Information, texts::infoTitle(), texts::scriptWritten(scriptName));
}
