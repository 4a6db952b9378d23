// The split as the user drives it: size box, refusals, files on disk, labels, lists, script, failures.

#include <sys/stat.h>

#include <QDate>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "SplitFixture.hpp"
#include "fragments/file_io.hpp"

namespace testsupport {
namespace {

using Names = std::vector<std::string>;
const QString kInfo = QStringLiteral("Tessaron-Info");
const QString kMemory = QStringLiteral("Zu wenig Speicher. Fragmentgrösse zu gross gewählt!");
const QString kNoSource =
    QStringLiteral("Es wurde noch keine Datei ausgewählt ! Bitte die zu splittende Datei auswählen.");
const QString kCannotWrite = QStringLiteral(
    "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. Bitte die zu splittende Datei "
    "vor der Splittung auf einen beschreibbaren Datenträger kopieren!");

QString tooMany(int count) {
    return QStringLiteral(
               "Die Anzahl der entstehenden Dateifragmente ist zu gross (%1). Die Anzahl der "
               "entstehenden Dateifragmente darf 999 nicht überschreiten. Bitte die "
               "Dateifragmentgrösse erhöhen.")
        .arg(count);
}

QString reason(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

TEST_F(SplitWindowTest, SplitWritesTheBytesAndFillsBothHalves) {
    const auto bytes = patternBytes(2148);
    writeFile(file("Beispiel.DAT"), bytes);
    choose(file("Beispiel.DAT"));
    setSize("1");
    fake.shown.clear();
    fake.cursorChanges.clear();

    split();

    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(filesIn(dir.path()),
              (Names{"Beispiel.DAT", "Beispiel.DAT._001", "Beispiel.DAT._002", "Beispiel.DAT._003"}));
    const std::string whole(bytes.begin(), bytes.end());
    EXPECT_EQ(readFile(file("Beispiel.DAT._001")), whole.substr(0, 1024));
    EXPECT_EQ(readFile(file("Beispiel.DAT._002")), whole.substr(1024, 1024));
    EXPECT_EQ(readFile(file("Beispiel.DAT._003")), whole.substr(2048));
    EXPECT_EQ(text("Label9"), "Quelldatei  (Byte): 2.148 = 3 KB");
    EXPECT_EQ(text("Label10"), "Fragmente (Byte): 2.148 = 3 KB");
    EXPECT_EQ(text("Label11"), "Dateifragmente: 3 von 3");
    EXPECT_EQ(text("Label6"), "Dateifragmente:3");
    EXPECT_EQ(text("Label12"), "Fragmente zusammen (Byte): 2.148 = 3 KB");
    EXPECT_EQ(entries("List2"), QStringList({"beispiel.dat._001", "beispiel.dat._002", "beispiel.dat._003"}));
    EXPECT_EQ(entries("List1"), QStringList({"Beispiel.DAT._001", "Beispiel.DAT._002", "Beispiel.DAT._003"}));
    EXPECT_EQ(control<QLineEdit>("Text2")->text(), qfile("Beispiel.DAT._001"));
    EXPECT_TRUE(enabled("Command4"));
    EXPECT_TRUE(enabled("Picture2"));
    EXPECT_TRUE(enabled("Command1"));
    EXPECT_EQ(fake.cursorChanges, (std::vector<bool>{true, false}));
}

TEST_F(SplitWindowTest, FragmentCountBoundaries) {
    // Empty source: nothing written, sizes without digits.
    prepare("leer.dat", 0);
    split();
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(text("Label9"), "Quelldatei  (Byte):  = 0 KB");
    EXPECT_EQ(text("Label10"), "Fragmente (Byte):  = 0 KB");
    EXPECT_EQ(text("Label11"), "Dateifragmente: 0 von 0");
    EXPECT_TRUE(entries("List1").isEmpty());
    EXPECT_FALSE(enabled("Command4"));

    // An exact multiple gives no short fragment.
    prepare("genau.dat", 3072);
    split();
    EXPECT_EQ(text("Label11"), "Dateifragmente: 3 von 3");
    EXPECT_EQ(readFile(file("genau.dat._003")).size(), 1024u);
    EXPECT_FALSE(std::filesystem::exists(file("genau.dat._004")));

    // 1000 fragments are refused before anything is written; 999 are fine.
    prepare("gross.dat", 1022977);
    writeFile(file("gross.bat"), std::string("alt"));
    split();
    expectMessage(QMessageBox::Critical, kInfo, tooMany(1000));
    EXPECT_FALSE(std::filesystem::exists(file("gross.dat._001")));
    EXPECT_FALSE(std::filesystem::exists(file("gross.bat")));
    EXPECT_TRUE(entries("List2").isEmpty());

    std::filesystem::resize_file(file("gross.dat"), 1022976);
    fake.shown.clear();
    split();
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(text("Label11"), "Dateifragmente: 999 von 999");
    EXPECT_EQ(entries("List2").size(), 999);
    EXPECT_EQ(readFile(file("gross.dat._999")).size(), 1024u);
    EXPECT_EQ(entries("List1").size(), 999);
}

TEST_F(SplitWindowTest, SourceBoxRefusals) {
    const auto expectRefused = [this] {
        expectMessage(QMessageBox::Warning, "Datei-Tessaron Nachricht !", kNoSource);
        EXPECT_TRUE(control<QPushButton>("Command3")->hasFocus());
        EXPECT_EQ(text("Label11"), "Dateifragmente:");
        EXPECT_EQ(text("Label9"), "");
        EXPECT_EQ(fake.cursorChanges.back(), false);
        fake.shown.clear();
    };
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* source = control<QLineEdit>("Text1");

    for (const std::string& path : {std::string(), file("fehlt.dat"), dir.path().string()}) {
        source->setText(QString::fromStdString(path));
        source->setFocus();
        split();
        expectRefused();
    }
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST_F(SplitWindowTest, SizeBoxAcceptsRegionalNumbersOnly) {
    auto* command1 = control<QPushButton>("Command1");
    const QString notNumeric = QStringLiteral("Fragmentgröße kein numerischer Wert !");
    for (const QString& bad : {QString("12a"), QString(), QString("99999999999"), QString("-3000000000")}) {
        setSize("1420");
        fake.shown.clear();
        setSize(bad);
        EXPECT_FALSE(command1->isEnabled()) << bad.toStdString();
        expectMessage(QMessageBox::Warning, "Tessaron-Nachricht", notNumeric);
    }

    // "2,5" rounds half to even: 2 kB, so 4097 bytes make three fragments.
    prepare("halb.dat", 4097, " 2,5 ");
    EXPECT_TRUE(command1->isEnabled());
    split();
    EXPECT_EQ(text("Label11"), "Dateifragmente: 3 von 3");

    // The icon still splits while the button is disabled, with the last accepted size.
    setSize("12a");
    fake.shown.clear();
    std::filesystem::remove(file("halb.dat._001"));
    click(control<QWidget>("Picture1"));
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(readFile(file("halb.dat._001")).size(), 2048u);
    EXPECT_FALSE(command1->isEnabled());
}

TEST_F(SplitWindowTest, SizeRefusalsDeleteTheOldScriptAndWriteNothing) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    prepare("Beispiel.dat", 3000, "0");
    EXPECT_TRUE(enabled("Command1"));
    EXPECT_TRUE(fake.shown.empty());
    writeFile(file("Beispiel.bat"), std::string("alt"));
    control<QLineEdit>("Text1")->setFocus();
    split();
    expectMessage(QMessageBox::NoIcon, window.windowTitle(), "Ungültige Dateifragmentgröße !");
    EXPECT_TRUE(control<QComboBox>("Combo1")->hasFocus());
    EXPECT_EQ(filesIn(dir.path()), Names{"Beispiel.dat"});

    for (const QString& size : {QString("-5"), QString("2097152")}) {
        setSize(size);
        fake.shown.clear();
        split();
        expectMessage(QMessageBox::Critical, "Tessaron - Info", kMemory);
        EXPECT_EQ(filesIn(dir.path()), Names{"Beispiel.dat"});
    }

    // The largest size the box accepts streams through a bounded buffer.
    setSize("2097151");
    fake.shown.clear();
    split();
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(text("Label11"), "Dateifragmente: 1 von 1");
}

TEST_F(SplitWindowTest, OldFragmentsOfTheSourceGoStraysStay) {
    const std::string source = prepare("Beispiel.dat", 2148);
    for (const char* old : {"._001", "._002", "._003", "._004", "._005"}) {
        writeFile(source + old, std::string(5000, 'x'));
    }
    writeFile(file("Beispiel.txt._001"), std::string("fremd"));
    writeFile(file("Anderes.dat._001"), std::string("fremd"));

    split();

    EXPECT_EQ(filesIn(dir.path()), (Names{"Anderes.dat._001", "Beispiel.dat", "Beispiel.dat._001",
                                          "Beispiel.dat._002", "Beispiel.dat._003", "Beispiel.txt._001"}));
    EXPECT_EQ(readFile(source + "._003").size(), 100u);
    EXPECT_EQ(entries("List1"), QStringList({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003",
                                             "Beispiel.txt._001"}));
    EXPECT_EQ(text("Label6"), "Dateifragmente:4");
}

TEST_F(SplitWindowTest, NoSecondCommandStartsWhileTheSplitYields) {
    prepare("lang.dat", 5000);
    bool fired = false;
    QTimer::singleShot(0, &window, [&] {
        fired = true;
        click(control<QPushButton>("Command3"));
        click(control<QPushButton>("Command8"));
        click(control<QPushButton>("Command1"));
    });
    split();
    EXPECT_TRUE(fired);
    EXPECT_EQ(picker.requests.size(), 1u);  // the source choice before the split
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(entries("List2").size(), 5);
    EXPECT_EQ(fake.cursorChanges, (std::vector<bool>{true, false}));
}

TEST_F(SplitWindowTest, ScriptIsWrittenBesideTheFragments) {
    prepare("Beispiel.DAT", 2148);
    control<QCheckBox>("Check1")->setChecked(true);
    split();
    expectMessage(QMessageBox::Information, kInfo, "Batchdatei Beispiel.bat wurde erzeugt !");
    const QStringList lines = QString::fromLatin1(readFile(file("Beispiel.bat"))).split("\r\n");
    ASSERT_GE(lines.size(), 16);
    EXPECT_EQ(lines[8], "echo Die Originaldatei \"Beispiel.DAT\" [2.148 Byte]");
    EXPECT_EQ(lines[9], "echo wurde am: " + QDate::currentDate().toString("dd.MM.yy") + " gesplittet.");
    EXPECT_EQ(lines[11], "@if NOT exist \"beispiel.dat._001\" goto Fehler");
    EXPECT_EQ(lines[12], "@if NOT exist \"Beispiel.DAT._003\" goto Fehler");
    EXPECT_EQ(lines[15],
              "copy /b \"beispiel.dat._001\"+\"beispiel.dat._002\"+\"beispiel.dat._003\"  \"Beispiel.DAT\"");
}

TEST_F(SplitWindowTest, NamesWithUmlautsBlanksAndDots) {
    const std::string source = prepare("Prüfung mit Leer.v1.2.dat", 1500);
    control<QCheckBox>("Check1")->setChecked(true);
    split();
    expectMessage(QMessageBox::Information, kInfo, "Batchdatei Prüfung mit Leer.bat wurde erzeugt !");
    EXPECT_EQ(entries("List2"),
              QStringList({"prüfung mit leer.v1.2.dat._001", "prüfung mit leer.v1.2.dat._002"}));
    EXPECT_EQ(readFile(source + "._002").size(), 476u);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(file("Prüfung mit Leer.bat"))));

    // A name Windows cannot hold gets its fragments but no script.
    prepare("a?b.dat", 100);
    split();
    expectMessage(QMessageBox::Information, kInfo,
                  "Für a?b.dat kann keine Batchdatei erzeugt werden: der Name enthält Zeichen, die unter "
                  "Windows nicht erlaubt sind.");
    EXPECT_TRUE(std::filesystem::exists(file("a?b.dat._001")));
    EXPECT_FALSE(std::filesystem::exists(file("a?b.bat")));
}

TEST_F(SplitWindowTest, WriteFailuresStopTheSplitWithTheirMessage) {
    // A full disk while fragment 2 is written: stop icon naming the file; fragment 1 stays.
    const std::string source = prepare("x.dat", 2148);
    fragments::testing::setWriteFault(
        [](const std::string& path, std::size_t) { return path.ends_with("._002") ? ENOSPC : 0; });
    split();
    fragments::testing::setWriteFault({});
    expectMessage(
        QMessageBox::Critical, kInfo,
        "Die Splittung wurde abgebrochen. Fehler bei Datei " + qfile("x.dat._002") + ": " + reason(ENOSPC));
    EXPECT_EQ(readFile(source + "._001").size(), 1024u);
    EXPECT_EQ(text("Label11"), "Dateifragmente: 2 von 3");
    EXPECT_EQ(fake.cursorChanges.back(), false);

    // A fragment that cannot be created: the message of an unwritable medium, List2 emptied.
    std::filesystem::create_directory(source + "._003");
    fake.shown.clear();
    split();
    expectMessage(QMessageBox::Information, kInfo, kCannotWrite);
    EXPECT_TRUE(entries("List2").isEmpty());
    EXPECT_EQ(readFile(source + "._002").size(), 1024u);
}

// Run as nobody through the test below.
TEST_F(SplitWindowTest, DISABLED_ProtectedFolder) {
    ASSERT_NE(geteuid(), 0u);
    const std::string source = prepare("x.dat", 2148);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    split();
    expectMessage(QMessageBox::Information, kInfo, kCannotWrite);
    EXPECT_TRUE(entries("List2").isEmpty());

    // An old script or old fragment that cannot be deleted stops the split before any writing.
    for (const char* old : {"x.bat", "x.dat._004"}) {
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        std::filesystem::remove(file("x.bat"));
        writeFile(file(old), std::string("alt"));
        ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
        fake.shown.clear();
        split();
        expectMessage(
            QMessageBox::Critical, kInfo,
            "Die Splittung wurde abgebrochen. Fehler bei Datei " + qfile(old) + ": " + reason(EACCES));
        EXPECT_FALSE(std::filesystem::exists(source + "._001"));
    }
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
}

TEST_F(SplitWindowTest, ProtectedFolderRefusesCleanly) {
    EXPECT_TRUE(passesUnprivileged("SplitWindowTest", "ProtectedFolder"));
}

}  // namespace
}  // namespace testsupport
