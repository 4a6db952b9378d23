// The fragment directory and list, the choice of source and first fragment, and the deletion.

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <string>
#include <vector>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "StdDialoge.hpp"
#include "Utf8.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"
#include "frmTessaron.hpp"

using ui::fromUtf8;
using ui::toUtf8;

void frmTessaron::setFragmentDirectory(const QString& directory) {
    fragmentDirectory_ = fromUtf8(fragments::withTrailingSeparator(toUtf8(directory)));
    File1->setPath(fragmentDirectory_);
}

void frmTessaron::füllen2(const QString& reference) {
    // A set named ".001" … is not among the file list's "*._*" candidates.
    füllen2(fragments::beginsNumberedSet(toUtf8(QFileInfo(reference).fileName()))
                ? fragments::setBeside(toUtf8(reference))
                : fragments::collectFragmentSet(File1->listing(), toUtf8(fragmentDirectory_),
                                                toUtf8(reference), fragments::nativeSeparator));
}

void frmTessaron::füllen2(const fragments::FragmentSet& set) {
    clearFragmentList();
    // In the listing's order, which is List1's: ascending, ignoring case.
    for (const std::string& name : set.names) {
        List1->addItem(fromUtf8(name));
    }
    setCaption(Label12, texts::setTotal(sizeText(set.totalBytes)));
    setCaption(Label6, texts::fragmentCount + QString::number(List1->count()));
    updateJoinButton();
}

void frmTessaron::clear_old(const QString& directory) {
    // The split's core deletes the old fragments of its source right after, in that folder: the list must
    // not name them meanwhile.
    fragmentDirectory_ = directory;
    clearFragmentList();
}

void frmTessaron::Command3_Click() {
    QString directory = StdDialoge::currentDirectory();
    const QString name = StdDialoge::DateiOeffnen(this, texts::chooseSourceTitle, directory, QString(),
                                                  texts::allFilesFilter, texts::allFilesExtension);
    directory = StdDialoge::withSeparator(directory);
    if (name.isEmpty()) {
        showNoSource();
        setFragmentDirectory(directory);
        return;
    }
    chooseSource(directory + name);
}

void frmTessaron::showNoSource() {
    Text1->clear();
    setCaption(Label9, texts::sourceSizeEmpty);
}

void frmTessaron::chooseSource(const QString& path) {
    const QString directory = chosenFolder(path);
    Text1->setText(path);
    setFragmentDirectory(directory);

    const auto size = readableSize(path);
    if (!size) {
        showNoSource();
        return;
    }
    setCaption(Label9, fromUtf8(texts::utf8::sourceSize(toUtf8(sizeText(*size)))));
    // A fresh cycle: nothing of an earlier split or join stays.
    clearSplitResult();
    clearJoinResult();
    clearFragmentList();
    Text2->clear();
}

void frmTessaron::Command2_Click() {
    const auto answer = showMessage(QMessageBox::Question, texts::questionTitle, texts::deleteQuestion,
                                    QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        return;
    }
    const std::vector<std::string> names = ui::namesOf(*List1);
    const auto lock = lockListedSet(names);
    if (!lock) {
        return;
    }
    // The flush and the deletion yield to the event loop; nothing else starts meanwhile.
    const BusyGuard guard(*this, BusyGuard::Stop::Never);
    ui::ProgressPacer pacer;
    // A large fragment takes a while to go: the event loop is served meanwhile.
    const fileio::PieceHook turns([&pacer] { pacer.progress(); });
    try {
        flushLastJoined(pacer);
        fragments::deleteFragmentSet(names, toUtf8(fragmentDirectory_), [&pacer] { pacer.progress(); });
    } catch (const fileio::FileError& error) {
        showMessage(
            QMessageBox::Critical, texts::infoTitle,
            texts::deleteAborted(fromUtf8(error.path()), fromUtf8(texts::utf8::reason(error.code()))));
        return;
    }
    clearFragmentList();
    File1->refresh();
    clearSplitResult();
    // The joined file's name and size stay: only the progress line went with the fragments.
    setCaption(Label5, QString());
    Command2->setEnabled(false);
}

void frmTessaron::flushLastJoined(ui::ProgressPacer& pacer) {
    if (!lastJoined_) {
        return;
    }
    if (auto flush = fileio::Flush::of(lastJoined_->path, lastJoined_->identity)) {
        while (flush->step()) {
            pacer.progress();
        }
    }
    lastJoined_.reset();
}

void frmTessaron::Command8_Click() {
    clearFragmentList();
    QString directory = StdDialoge::currentDirectory();
    const QString name = StdDialoge::DateiOeffnen(this, texts::chooseFirstFragmentTitle, directory, QString(),
                                                  texts::firstFragmentFilter, texts::firstFragmentExtension);
    directory = StdDialoge::withSeparator(directory);
    if (name.isEmpty() || !readableSize(directory + name)) {
        // Cancelled, or a FIFO, socket or device of a fragment's name, which is neither listed nor read.
        Text2->clear();
        setFragmentDirectory(directory);
        // The bare folder as reference: its base name is empty.
        füllen2(directory);
        return;
    }
    chooseFirstFragment(directory + name);
}

void frmTessaron::chooseFirstFragment(const QString& path) {
    List1->clear();
    const QString directory = chosenFolder(path);
    Text2->setText(path);
    setFragmentDirectory(directory);
    füllen2(path);
}

std::optional<fragments::SetLock> frmTessaron::lockListedSet(const std::vector<std::string>& names) {
    try {
        if (auto lock = fragments::SetLock::forList(names, toUtf8(fragmentDirectory_))) {
            return lock;
        }
        showMessage(QMessageBox::Information, texts::infoTitle,
                    fromUtf8(texts::utf8::setBusy(toUtf8(fragmentDirectory_) + names.front())));
    } catch (const fileio::FileError& error) {
        showMessage(
            QMessageBox::Critical, texts::infoTitle,
            texts::deleteAborted(fromUtf8(error.path()), fromUtf8(texts::utf8::reason(error.code()))));
    }
    return std::nullopt;
}

void frmTessaron::chooseFile(const QString& path) {
    const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const std::string name = toUtf8(QFileInfo(full).fileName());
    if (!fragments::hasFragmentEnding(name) && !fragments::beginsNumberedSet(name)) {
        chooseSource(full);
    } else if (readableSize(full)) {
        // Unlike the dialog, a command line can name a fragment that is not there.
        chooseFirstFragment(full);
    }
}

std::optional<std::int64_t> frmTessaron::readableSize(const QString& path) {
    try {
        return fileio::fileSize(toUtf8(path));
    } catch (const fileio::FileError& error) {
        showMessage(QMessageBox::Warning, texts::infoTitle,
                    fromUtf8(texts::utf8::fileUnreadable(toUtf8(path), texts::utf8::reason(error.code()))));
        return std::nullopt;
    }
}

QString frmTessaron::chosenFolder(const QString& path) {
    QString directory = fromUtf8(fragments::folderOf(toUtf8(path)));
    // The next open dialog starts where this file lies, as after choosing it in a dialog.
    StdDialoge::setCurrentDirectory(directory);
    return directory;
}

void frmTessaron::List1_DblClick() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (!selected.isEmpty()) {
        delete List1->takeItem(List1->row(selected.front()));
    }
    updateJoinButton();
    setCaption(Label6, texts::fragmentCount + QString::number(List1->count()));
    const std::int64_t total = fragments::totalOfExisting(ui::namesOf(*List1), toUtf8(fragmentDirectory_));
    setCaption(Label12, texts::recountedTotal(List1->count(), sizeText(total)));
}

void frmTessaron::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void frmTessaron::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void frmTessaron::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        return;
    }
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    QString path;
    if (urls.size() == 1 && urls.front().isLocalFile() && !QFileInfo(urls.front().toLocalFile()).isDir()) {
        path = QDir::toNativeSeparators(urls.front().toLocalFile());
    }
    const bool onSplitHalf = event->position().y() < Line1->geometry().center().y();
    // Later, once the drop is over: the program the file came from waits for the drop to end, not for
    // the message boxes the choice may show.
    QTimer::singleShot(0, this, [this, path, onSplitHalf] {
        if (path.isEmpty()) {
            showMessage(QMessageBox::Information, texts::infoTitle, texts::dropOneFile);
        } else {
            command(
                [this, &path, onSplitHalf] { onSplitHalf ? chooseSource(path) : chooseFirstFragment(path); });
        }
    });
}
