#pragma once
// The invisible file list of the main window: the fragment candidates ("*._*") of one folder,
// as last read. It does not follow later changes of the folder by itself.

#include <QListWidget>
#include <QString>
#include <string>
#include <vector>

namespace ui {

class FileListBox : public QListWidget {
  public:
    explicit FileListBox(QWidget* parent = nullptr);

    // Sets the folder and reads it.
    void setPath(const QString& directory);
    QString path() const { return path_; }
    // Reads the folder again.
    void refresh();
    // The names as last read, UTF-8, for the fragment core.
    std::vector<std::string> listing() const;

  private:
    QString path_;
};

}  // namespace ui
