// The checksum command through the window: Command7, its dialog and its message box.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "FakeUi.hpp"
#include "support/TempDir.hpp"
#include "ui/StdDialoge.hpp"
#include "ui/frmTessaron.hpp"

namespace {

using testsupport::TempDir;
using testsupport::writeFile;

struct CrcWindow {
    testsupport::FakeSeam seam;
    testsupport::FakePicker picker;
    frmTessaron window{&seam};

    CrcWindow() { window.show(); }
    QPushButton* button(const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    // Clicks Command7 and answers its dialog with `path` ("" cancels).
    void check(const std::string& path) {
        picker.answers.push_back(QString::fromStdString(path));
        testsupport::click(button("Command7"));
    }
};

TEST(CrcCommand, ShowsTheChecksumWithTheBareFileName) {
    TempDir dir;
    writeFile(dir.file("ziffern.txt"), std::string("123456789"));
    writeFile(dir.file("leer.bin"), std::string());
    CrcWindow w;
    const QString startDirectory = StdDialoge::currentDirectory();

    w.check(dir.file("ziffern.txt"));
    ASSERT_EQ(w.picker.requests.size(), 1u);
    const auto& request = w.picker.requests[0];
    EXPECT_EQ(request.title, QStringLiteral("Die zu prüfende Datei wählen"));
    EXPECT_EQ(request.directory, startDirectory);
    EXPECT_EQ(request.initialName, QString());
    EXPECT_EQ(request.filter, QStringLiteral("Alle Dateien|*.*"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("*.*"));
    EXPECT_EQ(request.mode, 0);

    w.check(dir.file("leer.bin"));
    ASSERT_EQ(w.seam.shown.size(), 2u);
    for (const auto& shown : w.seam.shown) {
        EXPECT_EQ(shown.icon, QMessageBox::Information);
        EXPECT_EQ(shown.title, QStringLiteral("CRC32 - Prüfung"));
    }
    EXPECT_EQ(w.seam.shown[0].text,
              QStringLiteral("Die CRC32 Prüfsumme der Datei ziffern.txt lautet: CBF43926"));
    EXPECT_EQ(w.seam.shown[1].text,
              QStringLiteral("Die CRC32 Prüfsumme der Datei leer.bin lautet: 00000000"));
    EXPECT_EQ(w.seam.cursorChanges, (std::vector<bool>{true, false, true, false}));
}

TEST(CrcCommand, CancelShowsNothingAndAVanishedFileIsReported) {
    TempDir dir;
    CrcWindow w;

    w.check("");
    EXPECT_TRUE(w.seam.shown.empty());
    EXPECT_TRUE(w.seam.cursorChanges.empty());

    // The dialog only hands back a name; the file is gone by the time it is read.
    w.check(dir.file("weg.bin"));
    ASSERT_EQ(w.seam.shown.size(), 1u);
    EXPECT_EQ(w.seam.shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(w.seam.shown[0].title, QStringLiteral("CRC32 - Prüfung"));
    EXPECT_EQ(w.seam.shown[0].text, QStringLiteral("Die Datei weg.bin kann nicht gelesen werden: ") +
                                        QString::fromStdString(std::system_category().message(ENOENT)));
    EXPECT_EQ(w.seam.cursorChanges, (std::vector<bool>{true, false}));
}

TEST(CrcCommand, NothingElseStartsWhileAJoinYields) {
    TempDir dir;
    writeFile(dir.file("Beispiel.dat._001"), std::string("eins"));
    writeFile(dir.file("Beispiel.dat._002"), std::string("zwei"));
    CrcWindow w;
    w.picker.answers.push_back(QString::fromStdString(dir.file("Beispiel.dat._001")));
    testsupport::click(w.button("Command8"));
    auto* list = w.window.findChild<QListWidget*>(QStringLiteral("List1"));
    ASSERT_EQ(list->count(), 2);

    bool checked = false;
    QTimer::singleShot(0, &w.window, [&] {
        checked = true;
        EXPECT_FALSE(w.button("Command4")->isEnabled());
        EXPECT_FALSE(w.window.findChild<QWidget*>(QStringLiteral("Picture2"))->isEnabled());
        // Each of these would take the queued dialog answer or drop an entry if it started.
        w.picker.answers.push_back(QString::fromStdString(dir.file("Beispiel.dat._001")));
        testsupport::click(w.button("Command7"));
        testsupport::click(w.button("Command8"));
        const QPoint at = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(w.picker.answers.size(), 1u);
        EXPECT_EQ(list->count(), 2);
        w.picker.answers.clear();
    });
    w.picker.answers.push_back(QString::fromStdString(dir.file("joined.bin")));
    testsupport::click(w.button("Command4"));

    EXPECT_TRUE(checked);
    EXPECT_TRUE(w.seam.shown.empty());
    EXPECT_EQ(testsupport::readFile(dir.file("joined.bin")), "einszwei");
}

}  // namespace
