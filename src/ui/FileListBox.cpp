#include "FileListBox.hpp"

#include "Utf8.hpp"
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
    for (const std::string& name : fragments::listFragmentCandidates(toUtf8(path_))) {
        addItem(fromUtf8(name));
    }
}

std::vector<std::string> FileListBox::listing() const {
    return namesOf(*this);
}

}  // namespace ui
