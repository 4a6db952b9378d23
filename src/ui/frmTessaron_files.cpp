// The fragment directory and list, the choice of source and first fragment, and the deletion.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <string>
#include <vector>

#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "StdDialoge.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "frmTessaron.hpp"

void frmTessaron::setFragmentDirectory(const QString& directory) {
    fragmentDirectory_ = QString::fromStdString(fragments::withTrailingSeparator(directory.toStdString()));
    File1->setPath(fragmentDirectory_);
}

void frmTessaron::addToFragmentList(const QString& name) {
    const std::string key = name.toStdString();
    int row = 0;
    for (int end = List1->count(); row < end; ++row) {
        if (fragments::lessIgnoringCase(key, List1->item(row)->text().toStdString())) {
            break;
        }
    }
    List1->insertItem(row, name);
}

void frmTessaron::füllen2(const QString& reference) {
    List1->clear();
    const fragments::FragmentSet set =
        fragments::collectFragmentSet(File1->listing(), fragmentDirectory_.toStdString(),
                                      reference.toStdString(), fragments::nativeSeparator);
    for (const std::string& name : set.names) {
        addToFragmentList(QString::fromStdString(name));
    }
    setCaption(Label12, texts::setTotal(sizeText(set.totalBytes)));
    setCaption(Label6, texts::fragmentCount(List1->count()));
    if (List1->count() > 0) {
        setJoinEnabled(true);
    }
}

void frmTessaron::clear_old(const QString& reference) {
    List1->clear();
    fragments::deleteOldFragments(File1->listing(), fragmentDirectory_.toStdString(), reference.toStdString(),
                                  fragments::nativeSeparator);
}

void frmTessaron::Command3_Click() {
    if (busy_) {
        return;
    }
    QString directory = StdDialoge::currentDirectory();
    const QString name = StdDialoge::DateiOeffnen(this, texts::chooseSourceTitle(), directory, QString(),
                                                  texts::allFilesFilter(), texts::allFilesExtension());
    directory = StdDialoge::withSeparator(directory);
    const QString path = directory + name;

    const auto showNoSource = [this] {
        Text1->clear();
        setCaption(Label9, texts::sourceSizeEmpty());
    };
    if (name.isEmpty()) {
        showNoSource();
    } else {
        Text1->setText(path);
    }
    setFragmentDirectory(directory);
    if (name.isEmpty()) {
        return;
    }

    std::int64_t size = 0;
    try {
        size = fileio::fileSize(path.toStdString());
    } catch (const fileio::FileError& error) {
        showNoSource();
        showMessage(QMessageBox::Warning, texts::infoTitle(),
                    texts::fileUnreadable(path, QString::fromStdString(error.reason())));
        return;
    }
    setCaption(Label9, texts::sourceSize(sizeText(size)));
    setCaption(Label11, texts::writtenFragmentsHeading());
    setCaption(Label6, texts::fragmentCount());
    setCaption(Label12, QString());
    setCaption(Label5, QString());
    List2->clear();
    List1->clear();
    setCaption(Label14, QString());
    setCaption(Label15, QString());
    Text2->clear();
    setJoinEnabled(false);
}

void frmTessaron::Command2_Click() {
    if (busy_) {
        return;
    }
    const auto answer = showMessage(QMessageBox::Question, texts::questionTitle(), texts::deleteQuestion(),
                                    QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        return;
    }
    for (int row = 0; row < List1->count(); ++row) {
        const QString path = fragmentDirectory_ + List1->item(row)->text();
        try {
            if (fileio::fileExists(path.toStdString())) {
                fileio::removeFile(path.toStdString(), true);
            }
        } catch (const fileio::FileError& error) {
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        texts::deleteAborted(path, QString::fromStdString(error.reason())));
            return;
        }
    }
    List1->clear();
    File1->refresh();
    setCaption(Label11, texts::writtenFragmentsHeading());
    setCaption(Label6, texts::fragmentCount());
    setCaption(Label12, QString());
    setCaption(Label5, QString());
    List2->clear();
    Command2->setEnabled(false);
}

void frmTessaron::Command8_Click() {
    if (busy_) {
        return;
    }
    List1->clear();
    QString directory = StdDialoge::currentDirectory();
    const QString name =
        StdDialoge::DateiOeffnen(this, texts::chooseFirstFragmentTitle(), directory, QString(),
                                 texts::firstFragmentFilter(), texts::firstFragmentExtension());
    directory = StdDialoge::withSeparator(directory);
    const QString path = directory + name;
    if (name.isEmpty()) {
        Text2->clear();
    } else {
        Text2->setText(path);
    }
    setFragmentDirectory(directory);
    füllen2(path);
}

void frmTessaron::List1_DblClick() {
    if (busy_) {
        return;
    }
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (!selected.isEmpty()) {
        delete List1->takeItem(List1->row(selected.front()));
    }
    setCaption(Label6, texts::fragmentCount(List1->count()));
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(List1->count()));
    for (int row = 0; row < List1->count(); ++row) {
        names.push_back(List1->item(row)->text().toStdString());
    }
    const std::int64_t total = fragments::totalOfExisting(names, fragmentDirectory_.toStdString());
    setCaption(Label12, texts::recountedTotal(List1->count(), sizeText(total)));
}
