#pragma once
// The open and save-as file dialogs. The result is the bare file name (empty on cancel); on success
// the directory argument becomes the chosen file's directory with a trailing separator. A path longer
// than the system takes is refused with a message and then counts as a cancel.

#include <QFileIconProvider>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QFileDialog;
class QWidget;

namespace StdDialoge {

// Opens an existing file (the dialog insists that it exists).
QString DateiOeffnen(QWidget* owner, const QString& title, QString& directory, const QString& initialName,
                     const QString& filter, const QString& defaultExtension);

// Chooses a file to write, asking before an existing one is replaced.
QString DateiSpeichern(QWidget* owner, const QString& title, QString& directory, const QString& initialName,
                       const QString& filter, const QString& defaultExtension);

// Common worker. `mode`: 0 open, 1 save-as with overwrite question, 2 save-as without it.
// `filter` holds description and pattern pairs, every part separated by "|"; the first pair is selected.
QString DateiDialog(QWidget* owner, const QString& title, QString& directory, const QString& initialName,
                    const QString& filter, const QString& defaultExtension, std::int16_t mode);

// The directory a dialog returned, as every caller uses it: native separators and a trailing
// separator (a cancelled dialog leaves the starting directory, which has none).
QString withSeparator(const QString& directory);

// Where open dialogs start: the folder of the last file chosen in any dialog, at first the
// process's working directory. Without trailing separator, like a working directory.
QString currentDirectory();
// Moves where the next open dialog starts, as choosing a file in `directory` does.
void setCurrentDirectory(const QString& directory);

// What a dialog is asked to show; tests read it back.
struct Request {
    QWidget* owner = nullptr;
    QString title;
    QString directory;
    QString initialName;
    QString filter;
    QString defaultExtension;
    std::int16_t mode = 0;
};

// Test seam: replaces the platform dialog. Returns the chosen full path, or "" for cancel.
// An empty function restores the real dialog.
void setPicker(std::function<QString(const Request&)> picker);

// Qt name filters for `filter`: each pair becomes "description (patterns)", "*.*" matching every
// name as on Windows; shown with the details hidden, so the user sees the descriptions as given.
QStringList nameFilters(const QString& filter);

// Applies a request to a Qt file dialog: title, folder, name, filters, extension, mode options, and
// the icon provider below.
void configureDialog(QFileDialog& dialog, const Request& request);

// Icons and types for the dialogs' listings, told from the name alone. Qt's own provider reads the
// start of a file without an extension to guess its type, which waits for ever on a /proc file that
// never answers (/proc/kmsg).
class NameOnlyIconProvider : public QFileIconProvider {
  public:
    using QFileIconProvider::icon;
    // The style's folder or file icon.
    QIcon icon(const QFileInfo& info) const override;
    // The type of a file by its name's extension; folders and the rest as Qt names them.
    QString type(const QFileInfo& info) const override;
};

}  // namespace StdDialoge
