#include "FileListBox.hpp"

#include "fragments/listing.hpp"

namespace ui {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    // Never shown, so never in the tab order.
    setFocusPolicy(Qt::NoFocus);
}

void FileListBox::setPath(const QString& directory) {
    path_ = directory;
    refresh();
}

void FileListBox::refresh() {
    clear();
    for (const std::string& name : fragments::listFragmentCandidates(path_.toStdString())) {
        addItem(QString::fromStdString(name));
    }
}

std::vector<std::string> FileListBox::listing() const {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count()));
    for (int i = 0; i < count(); ++i) {
        names.push_back(item(i)->text().toStdString());
    }
    return names;
}

}  // namespace ui
