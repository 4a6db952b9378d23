// The checksum command: the CRC-32 of any chosen file in a message box.

#include <string>

#include "BusyGuard.hpp"
#include "MainWindowTexts.hpp"
#include "ProgressPacer.hpp"
#include "StdDialoge.hpp"
#include "Utf8.hpp"
#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "frmTessaron.hpp"

void frmTessaron::Command7_Click() {
    QString directory = StdDialoge::currentDirectory();
    const QString name = StdDialoge::DateiOeffnen(this, texts::chooseCheckedFileTitle, directory, QString(),
                                                  texts::allFilesFilter, texts::allFilesExtension);
    if (name.isEmpty()) {
        return;
    }
    const QString path = StdDialoge::withSeparator(directory) + name;

    // The computation yields to the event loop; nothing else starts meanwhile. The hourglass stays up
    // until the box is closed.
    const BusyGuard guard(*this, BusyGuard::Stop::OnRequest);
    const ui::WaitCursor wait(seam_);
    me_refresh();
    QString crc;
    try {
        crc = DateiCRC32(path);
    } catch (const fileio::FileError& error) {
        // A stop the user asked for is shown on the status line, not in a message box.
        if (error.code() == fileio::Errc::Cancelled) {
            setCaption(Label8, texts::stopped);
            return;
        }
        showMessage(
            QMessageBox::Warning, texts::crcTitle,
            ui::fromUtf8(texts::utf8::fileUnreadable(ui::toUtf8(name), texts::utf8::reason(error.code()))));
        return;
    }
    showMessage(QMessageBox::Information, texts::crcTitle, texts::crcResult(name, crc));
}

QString frmTessaron::DateiCRC32(const QString& path) {
    ui::ProgressPacer pacer;
    // A stop asked for while the events are served ends the computation at its next read.
    return ui::fromUtf8(
        checksum::crcText(checksum::fileCrc32(ui::toUtf8(path), *objCRC32, [&pacer] { pacer.progress(); })));
}

void frmTessaron::me_refresh() {
    repaint();
}
