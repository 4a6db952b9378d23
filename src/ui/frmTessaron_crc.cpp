// The checksum command: the CRC-32 of any chosen file in a message box.

#include <string>
#include <system_error>

#include "MainWindowTexts.hpp"
#include "StdDialoge.hpp"
#include "Utf8.hpp"
#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "frmTessaron.hpp"

void frmTessaron::Command7_Click() {
    if (busy_) {
        return;
    }
    QString directory = StdDialoge::currentDirectory();
    const QString name = StdDialoge::DateiOeffnen(this, texts::chooseCheckedFileTitle(), directory, QString(),
                                                  texts::allFilesFilter(), texts::allFilesExtension());
    if (name.isEmpty()) {
        return;
    }
    const QString path = StdDialoge::withSeparator(directory) + name;

    // Stays up until the box is closed: the computation does not yield.
    const ui::WaitCursor wait(seam_);
    me_refresh();
    QString crc;
    try {
        crc = DateiCRC32(path);
    } catch (const std::system_error& error) {
        showMessage(QMessageBox::Warning, texts::crcTitle(),
                    texts::fileUnreadable(name, ui::fromUtf8(error.code().message())));
        return;
    }
    showMessage(QMessageBox::Information, texts::crcTitle(), texts::crcResult(name, crc));
}

QString frmTessaron::DateiCRC32(const QString& path) {
    return ui::fromUtf8(checksum::crcText(checksum::fileCrc32(ui::toUtf8(path), *objCRC32)));
}

void frmTessaron::me_refresh() {
    repaint();
}
