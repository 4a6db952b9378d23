// The checksum command through the window: Command7, its dialog and its message box.
#include <QTimer>
#include <cerrno>
#include <vector>

#include "SplitFixture.hpp"
#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"

namespace {

using CrcCommand = testsupport::SplitWindowTest;

TEST_F(CrcCommand, ShowsTheChecksumWithTheBareFileNameOrWhyItCannot) {
    testsupport::writeFile(file("ziffern.txt"), std::string("123456789"));
    testsupport::writeFile(file("leer.bin"), std::string());
    const QString start = StdDialoge::currentDirectory(), title = "CRC32 - Prüfung";

    // Cancel shows nothing and leaves the pointer alone: each message below is the only one, and
    // three runs make three pairs of pointer changes.
    pick("Command7", "");
    const StdDialoge::Request& request = picker.requests.at(0);
    EXPECT_EQ(std::tuple(request.title, request.directory, request.initialName, request.filter,
                         request.defaultExtension, request.mode),
              std::tuple(QString("Die zu prüfende Datei wählen"), start, QString(),
                         QString("Alle Dateien|*.*"), QString("*.*"), 0));

    pick("Command7", file("ziffern.txt"));
    expectMessage(QMessageBox::Information, title,
                  "Die CRC32 Prüfsumme der Datei ziffern.txt lautet: CBF43926");
    fake.shown.clear();
    pick("Command7", file("leer.bin"));
    expectMessage(QMessageBox::Information, title, "Die CRC32 Prüfsumme der Datei leer.bin lautet: 00000000");
    fake.shown.clear();
    // The dialog only hands back a name; the file is gone by the time it is read.
    pick("Command7", file("weg.bin"));
    expectMessage(QMessageBox::Warning, title,
                  "Die Datei weg.bin kann nicht gelesen werden: " + testsupport::reason(ENOENT));
    EXPECT_EQ(fake.cursorChanges, (std::vector<bool>{true, false, true, false, true, false}));
}

// The checksum of a file of several MiB serves the event loop while it reads: a timer fires meanwhile,
// under the hourglass and before the result, and no other command starts (each would open a dialog or
// show a message).
TEST_F(CrcCommand, ServesTheEventLoopWhileItReadsAndNothingElseStarts) {
    const auto bytes = testsupport::patternBytes((5 << 20) + 3);
    testsupport::writeFile(file("gross.bin"), bytes);
    bool fired = false;
    QTimer::singleShot(0, &window, [&] {
        fired = true;
        EXPECT_EQ(fake.cursorChanges, std::vector<bool>{true});
        EXPECT_TRUE(fake.shown.empty());
        for (const char* button : {"Command7", "Command1", "Command3", "Command8"}) {
            testsupport::click(control<QPushButton>(button));
        }
    });
    pick("Command7", file("gross.bin"));

    EXPECT_TRUE(fired);
    EXPECT_EQ(picker.requests.size(), 1u);
    clsCRC32 calculator;
    const auto crc =
        static_cast<std::uint32_t>(calculator.CRC32(0, bytes, static_cast<double>(bytes.size() - 1)));
    expectMessage(
        QMessageBox::Information, "CRC32 - Prüfung",
        "Die CRC32 Prüfsumme der Datei gross.bin lautet: " + QString::fromStdString(checksum::crcText(crc)));
    EXPECT_EQ(fake.cursorChanges, (std::vector<bool>{true, false}));
}

TEST_F(CrcCommand, NothingElseStartsWhileAJoinYields) {
    testsupport::writeFile(file("Beispiel.dat._001"), std::string("eins"));
    testsupport::writeFile(file("Beispiel.dat._002"), std::string("zwei"));
    chooseFirst("Beispiel.dat._001");

    bool checked = false;
    QTimer::singleShot(0, &window, [&] {
        checked = true;
        EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
        // Each of these would open a dialog or drop an entry if it started.
        testsupport::click(control<QPushButton>("Command7"));
        testsupport::click(control<QPushButton>("Command8"));
        removeEntry("Beispiel.dat._001");
        EXPECT_EQ(entries("List1").size(), 2);
    });
    join(file("joined.bin"));

    EXPECT_TRUE(checked);
    EXPECT_EQ(picker.requests.size(), 1u);  // the save-as dialog of the join
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(testsupport::readFile(file("joined.bin")), "einszwei");
}

}  // namespace
