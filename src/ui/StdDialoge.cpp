#include "StdDialoge.hpp"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QStringList>

#include "MainWindowTexts.hpp"
#include "UiSeam.hpp"
#include "fileio/paths.hpp"

namespace StdDialoge {

namespace {

std::function<QString(const Request&)>& picker() {
    static std::function<QString(const Request&)> function;
    return function;
}

QString& lastDirectory() {
    static QString directory = QDir::toNativeSeparators(QDir::currentPath());
    return directory;
}

// Windows wildcards in Qt's notation: ";" separates patterns, and "*.*" also matches names without a dot.
QString qtPatterns(const QString& pattern) {
    QStringList patterns;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return patterns.isEmpty() ? QStringLiteral("*") : patterns.join(QLatin1Char(' '));
}

// A default extension the dialog can append: no wildcard, no leading dot.
QString usableSuffix(const QString& extension) {
    QString suffix = extension.trimmed();
    while (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?'))) {
        return {};
    }
    return suffix;
}

// The save-as dialog stays open for a file in a folder that does not exist, as the open dialog does
// for a file that does not exist; Qt's own dialog would accept the name.
class FileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        const QString chosen = selectedFiles().value(0);
        if (acceptMode() == AcceptSave && !chosen.isEmpty() && !QFileInfo(chosen).absoluteDir().exists()) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("Der Ordner ") +
                                     QDir::toNativeSeparators(QFileInfo(chosen).absolutePath()) +
                                     QStringLiteral(" existiert nicht."));
            return;
        }
        QFileDialog::accept();
    }
};

NameOnlyIconProvider& nameOnlyIconProvider() {
    static NameOnlyIconProvider provider;
    return provider;
}

QString showDialog(const Request& request) {
    FileDialog dialog(request.owner);
    configureDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles().value(0);
}

}  // namespace

QStringList nameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters << parts[i] + QStringLiteral(" (") + qtPatterns(parts[i + 1]) + QLatin1Char(')');
    }
    if (filters.isEmpty()) {
        filters << QStringLiteral("(*)");
    }
    return filters;
}

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    if (!info.isFile()) {
        return QFileIconProvider::type(info);
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

void configureDialog(QFileDialog& dialog, const Request& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // The dialog keeps the pointer: the provider lives as long as the program.
    dialog.setIconProvider(&nameOnlyIconProvider());
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setWindowTitle(request.title);
    if (!request.directory.isEmpty()) {
        dialog.setDirectory(request.directory);
    }
    const QStringList filters = nameFilters(request.filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix(usableSuffix(request.defaultExtension));
    switch (request.mode) {
        case 0:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            break;
        case 1:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
            break;
        default:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
            break;
    }
    if (!request.initialName.isEmpty()) {
        dialog.selectFile(request.initialName);
    }
}

QString DateiDialog(QWidget* owner, const QString& title, QString& directory, const QString& initialName,
                    const QString& filter, const QString& defaultExtension, std::int16_t mode) {
    const Request request{owner, title, directory, initialName.left(255), filter, defaultExtension, mode};
    const QString chosen = picker() ? picker()(request) : showDialog(request);
    if (chosen.isEmpty()) {
        return {};
    }
    // The caller could not open or create a file of that path: say so, then it is a cancel.
    if (fileio::isTooLong(chosen.toStdString())) {
        ui::defaultSeam().message(owner, {QMessageBox::Warning, texts::infoTitle,
                                          texts::pathTooLong(static_cast<qint64>(fileio::longestPath()))});
        return {};
    }
    const QString path = QDir::toNativeSeparators(chosen);
    const qsizetype nameStart = path.lastIndexOf(QDir::separator()) + 1;
    if (nameStart == 0 || nameStart == path.size()) {
        return {};
    }
    directory = path.left(nameStart);
    setCurrentDirectory(directory);
    return path.mid(nameStart);
}

QString DateiOeffnen(QWidget* owner, const QString& title, QString& directory, const QString& initialName,
                     const QString& filter, const QString& defaultExtension) {
    return DateiDialog(owner, title, directory, initialName, filter, defaultExtension, 0);
}

QString DateiSpeichern(QWidget* owner, const QString& title, QString& directory, const QString& initialName,
                       const QString& filter, const QString& defaultExtension) {
    return DateiDialog(owner, title, directory, initialName, filter, defaultExtension, 1);
}

QString withSeparator(const QString& directory) {
    QString native = QDir::toNativeSeparators(directory);
    if (!native.isEmpty() && !native.endsWith(QDir::separator())) {
        native += QDir::separator();
    }
    return native;
}

QString currentDirectory() {
    return lastDirectory();
}

void setCurrentDirectory(const QString& directory) {
    lastDirectory() = QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(directory)));
}

void setPicker(std::function<QString(const Request&)> function) {
    picker() = std::move(function);
}

}  // namespace StdDialoge
