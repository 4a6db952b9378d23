// The main window's commands as the user drives them: split, join, deleting the fragments and the
// checksum, with their refusals, failures, files on disk, labels and script.

#include <sys/stat.h>

#include <QDate>
#include <cerrno>

#include "SplitFixture.hpp"
#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/files.hpp"
#include "support/SetScene.hpp"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
const QString kInfo = QStringLiteral("Tessaron-Info");
const QString kSplitAborted = QStringLiteral("Die Splittung wurde abgebrochen. Fehler bei Datei ");

QString crcOf(const std::string& path) {
    clsCRC32 calculator;
    return QString::fromStdString(checksum::crcText(checksum::fileCrc32(path, calculator)));
}

// Old fragments of the source go (five before, three after), strays stay listed until double-clicked
// away, and the join of what is left gives the source back; choosing the next source clears it all.
TEST_F(SplitWindowTest, SplitThenJoinGivesTheSourceBack) {
    const std::string whole = readFile(prepare("Beispiel.DAT", 2148));
    for (const char* old : {"._001", "._002", "._003", "._004", "._005"}) {
        writeFile(file("Beispiel.DAT") + old, std::string(5000, 'x'));
    }
    writeFile(file("Beispiel.txt._001"), std::string("fremd"));
    clickWhileBusy({"Command3", "Command8", "Command1", "Command7"});
    split();
    EXPECT_TRUE(yielded);
    EXPECT_EQ(picker.requests.size(), 1u);  // the source choice before the split
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.DAT", "Beispiel.DAT._001", "Beispiel.DAT._002",
                                          "Beispiel.DAT._003", "Beispiel.DAT.sfv", "Beispiel.txt._001"}));
    EXPECT_EQ(texts({"Label9", "Label10", "Label11", "Label6", "Label12", "Text2"}),
              "Quelldatei  (Byte): 2.148 = 3 KB | Fragmente (Byte): 2.148 = 3 KB | Dateifragmente: 3 von 3 | "
              "Dateifragmente:4 | Fragmente zusammen (Byte): 2.153 = 3 KB | " +
                  qfile("Beispiel.DAT._001"));
    EXPECT_EQ(entries("List2"), QStringList({"beispiel.dat._001", "beispiel.dat._002", "beispiel.dat._003"}));
    EXPECT_EQ(entries("List1"), QStringList({"Beispiel.DAT._001", "Beispiel.DAT._002", "Beispiel.DAT._003",
                                             "Beispiel.txt._001"}));
    EXPECT_TRUE(enabled("Command4") && enabled("Picture2") && enabled("Command1"));

    removeEntry("Beispiel.txt._001");
    EXPECT_EQ(texts({"Label6", "Label12"}), "Dateifragmente:3 | 3 Fragmente zusammen (Byte): 2.148 = 3 KB");
    join(file("joined.DAT"));
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(readFile(file("joined.DAT")), whole);
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}),
              "add Fragment: 3 von 3, fertig! | joined.DAT | 2.148 = 3 KB");
    EXPECT_TRUE(enabled("Command2"));
    EXPECT_EQ(fake.cursorChanges, (std::vector<bool>{true, false, true, false, true, false}));
    expectJoinFinished();

    // Cancelled, or chosen but gone before its size was read: no source, the join half stays.
    for (const std::string& path : {std::string(), file("weg.dat")}) {
        choose(path);
        EXPECT_EQ(texts({"Text1", "Label9", "Label15"}), " | Quelldatei  (Byte): | 2.148 = 3 KB");
        EXPECT_TRUE(enabled("Command4"));
    }
    expectMessage(QMessageBox::Warning, kInfo,
                  "Die Datei " + qfile("weg.dat") + " kann nicht gelesen werden: " + reason(ENOENT));
    // A new source empties the join half.
    choose(file("Beispiel.txt._001"));
    EXPECT_EQ(
        texts({"Text1", "Label9", "Label11", "Label6", "Label12", "Label5", "Label14", "Label15", "Text2"}),
        qfile("Beispiel.txt._001") +
            " | Quelldatei  (Byte): 5 = 1 KB | Erzeugte Dateifragmente: | Dateifragmente: |  |  |  |  | ");
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty());
    EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
}

// The sizes and sources the split refuses, and its limit of 999 fragments (where it lies is the core's),
// checked before anything is written; the old script of this program's goes all the same.
TEST_F(SplitWindowTest, SplitRefusals) {
    for (const std::string& path : {std::string(), file("fehlt.dat"), dir.utf8()}) {
        control<QLineEdit>("Text1")->setText(QString::fromStdString(path));
        split();
        expectMessage(QMessageBox::Warning, "Datei-Tessaron Nachricht !",
                      "Es wurde noch keine Datei ausgewählt ! Bitte die zu splittende Datei auswählen.");
        EXPECT_EQ(texts({"Label11", "Label9"}), "Dateifragmente: | ");
        EXPECT_EQ(fake.cursorChanges.back(), false);
    }
    fake.shown.clear();
    setSize("12a");
    EXPECT_FALSE(enabled("Command1"));
    expectMessage(QMessageBox::Warning, "Tessaron-Nachricht", "Fragmentgröße kein numerischer Wert !");

    // Zero asks for a valid size; negative or too large sizes are out of memory.
    prepare("Beispiel.dat", 4097, "0");
    writeOwnScript(file("Beispiel.dat"));
    split();
    expectMessage(QMessageBox::NoIcon, window.windowTitle(), "Ungültige Dateifragmentgröße !");
    EXPECT_EQ(filesIn(dir.path()), Names{"Beispiel.dat"});
    for (const QString& size : {QString("-5"), QString("2097152")}) {
        setSize(size);
        split();
        expectMessage(QMessageBox::Critical, "Tessaron - Info",
                      "Zu wenig Speicher. Fragmentgrösse zu gross gewählt!");
        EXPECT_EQ(filesIn(dir.path()), Names{"Beispiel.dat"});
    }

    // "2,5" rounds half to even: 2 kB. The icon still splits while the button is disabled, with the
    // last accepted size.
    setSize(" 2,5 ");
    setSize("12a");
    fake.shown.clear();
    click(control<QWidget>("Picture1"));
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(text("Label11"), "Dateifragmente: 3 von 3");
    EXPECT_EQ(readFile(file("Beispiel.dat._001")).size(), 2048u);
    EXPECT_FALSE(enabled("Command1"));

    prepare("gross.dat", 1022977);
    writeOwnScript(file("gross.dat"));
    split();
    expectMessage(
        QMessageBox::Critical, kInfo,
        "Die Anzahl der entstehenden Dateifragmente ist zu gross (1000). Die Anzahl der entstehenden "
        "Dateifragmente darf 999 nicht überschreiten. Bitte die Dateifragmentgrösse erhöhen.");
    EXPECT_FALSE(fs::exists(file("gross.dat._001")) || fs::exists(file("gross.bat")));
}

// The date line carries today in the German short form (dd.MM.yy), also when the day changes meanwhile.
TEST_F(SplitWindowTest, ScriptBesideTheFragmentsForWindowsNamesOnly) {
    control<QCheckBox>("Check1")->setChecked(true);
    prepare("Prüfung mit Leer.v1.2.dat", 1500);
    const QString dayBefore = QDate::currentDate().toString("dd.MM.yy");
    split();
    const QString dayAfter = QDate::currentDate().toString("dd.MM.yy");
    expectMessage(QMessageBox::Information, kInfo, "Batchdatei Prüfung mit Leer.bat wurde erzeugt !");
    EXPECT_EQ(entries("List2"),
              QStringList({"prüfung mit leer.v1.2.dat._001", "prüfung mit leer.v1.2.dat._002"}));
    // The console's code page 850 writes ü as 0x81.
    const auto lines = QByteArray::fromStdString(readFile(file("Prüfung mit Leer.bat"))).split('\n');
    EXPECT_TRUE(QStringList({"echo wurde am: " + dayBefore + " gesplittet.\r",
                             "echo wurde am: " + dayAfter + " gesplittet.\r"})
                    .contains(QString::fromLatin1(lines.value(9))))
        << lines.value(9).toStdString();
    EXPECT_EQ(lines.value(15).toStdString(),
              "copy /b \"pr\x81"
              "fung mit leer.v1.2.dat._001\"+\"pr\x81"
              "fung mit leer.v1.2.dat._002\"  \"Pr\x81"
              "fung mit Leer.v1.2.dat\"\r");

    // A name Windows cannot hold gets its fragments but no script. A batch file split with the box
    // ticked would be its own script: it is neither deleted as an old script nor overwritten.
    const std::pair<QString, QString> refused[] = {
        {"a?b.dat", "der Name enthält Zeichen, die unter Windows nicht erlaubt sind."},
        {"Beispiel.bat", "sie hätte denselben Namen wie die Datei selbst."}};
    for (const auto& [name, why] : refused) {
        const std::string source = prepare(name.toStdString(), 1500);
        split();
        expectMessage(QMessageBox::Information, kInfo,
                      "Für " + name + " kann keine Batchdatei erzeugt werden: " + why);
        EXPECT_EQ(readFile(source), readFile(file("Prüfung mit Leer.v1.2.dat")));
        EXPECT_EQ(entries("List1"), QStringList({name + "._001", name + "._002"}));
    }
    EXPECT_FALSE(fs::exists(file("a?b.bat")));
}

// Runs as nobody, where the folder's permission bits hold; the full disk comes from the file seam.
TEST_F(SplitWindowTest, WriteFailuresStopTheSplitWithTheirMessage) {
    RUN_AS_NOBODY();
    const std::string source = prepare("x.dat", 2148);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    split();
    expectMessage(QMessageBox::Information, kInfo,
                  "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. Bitte die zu "
                  "splittende Datei vor der Splittung auf einen beschreibbaren Datenträger kopieren!");
    EXPECT_TRUE(entries("List2").isEmpty());

    // An old script or old fragment that cannot be deleted stops the split before any writing.
    for (const char* old : {"x.bat", "x.dat._004"}) {
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        fs::remove(file("x.bat"));
        if (fs::path(old).extension() == ".bat") {
            writeOwnScript(source);
        } else {
            writeFile(file(old), std::string("alt"));
        }
        ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
        split();
        expectMessage(QMessageBox::Critical, kInfo, kSplitAborted + qfile(old) + ": " + reason(EACCES));
        EXPECT_FALSE(fs::exists(source + "._001"));
    }
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);

    fileio::testing::setWriteFault(
        [](const std::string& path, std::size_t) { return path.ends_with("._002") ? ENOSPC : 0; });
    split();
    fileio::testing::setWriteFault({});
    expectMessage(QMessageBox::Critical, kInfo, kSplitAborted + qfile("x.dat._002") + ": " + reason(ENOSPC));
    EXPECT_EQ(readFile(source + "._001").size(), 1024u);
    EXPECT_EQ(text("Label11"), "Dateifragmente: 2 von 3");
    EXPECT_EQ(fake.cursorChanges.back(), false);
}

// The join of fragments chosen with Command8 (or left by a split), and their deletion.
using JoinWindow = SplitWindowTest;

// Writes the fragments `name` of the given sizes, filled with distinct bytes; returns their concatenation.
std::string writeFragments(const TempDir& dir,
                           const std::vector<std::pair<std::string, std::size_t>>& files) {
    std::string all;
    for (const auto& [name, size] : files) {
        const auto bytes = patternBytes(size, static_cast<std::uint32_t>(all.size() + 7));
        writeFile(dir.file(name), bytes);
        all.append(bytes.begin(), bytes.end());
    }
    return all;
}

TEST_F(JoinWindow, RefusalsBeforeTheDialogAndCancelLeaveEverythingAsItWas) {
    const std::string all =
        writeFragments(dir, {{"Beispiel.dat._001", 10}, {"Beispiel.dat._002", 10}, {"Beispiel.dat._abc", 5}});
    writeFile(file("Beispiel.txt._001"), std::string("fremd"));
    chooseFirst("Beispiel.dat._001");

    join(file("alt.bin"));
    expectMessage(QMessageBox::Critical, "Tessaron Info",
                  "In der unteren ListBox befinden sich Dateifragmente von verschiedenen Dateien. "
                  "Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im Verzeichnis. "
                  "Überflüssige Fragmente in der unteren Dateifragmentliste müssen mit Doppelklick aus der "
                  "Liste entfernt, oder direkt im Verzeichnis gelöscht werden.");
    EXPECT_TRUE(picker.requests.empty());
    expectJoinFinished();

    removeEntry("Beispiel.txt._001");
    join("");  // cancel
    EXPECT_EQ(picker.requests.size(), 1u);
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}), " |  | ");
    expectJoinFinished();

    join(file("Beispiel.dat._002"));
    expectMessage(
        QMessageBox::Critical, kInfo,
        "Die Zieldatei " + qfile("Beispiel.dat._002") +
            " ist selbst ein Fragment der Dateifragmentliste. Bitte einen anderen Dateinamen wählen.");
    EXPECT_EQ(readFile(file("Beispiel.dat._002")).size(), 10u);
    expectJoinFinished();

    // A letter ending joins in list order and names the last step. While the join yields, nothing else
    // starts: each of these would open a dialog or drop an entry.
    clickWhileBusy({"Command7", "Command8"}, [this] {
        EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
        removeEntry("Beispiel.dat._001");
        EXPECT_EQ(entries("List1").size(), 3);
    });
    join(file("alt.bin"));
    EXPECT_TRUE(yielded);
    EXPECT_EQ(picker.requests.size(), 1u);  // the save-as dialog of the join
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(readFile(file("alt.bin")), all);
    EXPECT_EQ(text("Label5"), "add Fragment: abc von 3, fertig!");

    // Every entry removed by double-click: the join and its icon are disabled, a click does nothing.
    for (const char* name : {"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._abc"}) {
        EXPECT_TRUE(enabled("Command4") && enabled("Picture2")) << name;
        removeEntry(name);
    }
    EXPECT_EQ(texts({"Label6", "Label12"}), "Dateifragmente:0 | 0 Fragmente zusammen (Byte):  = 0 KB");
    EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
    join(file("alt.bin"));
    click(control<QWidget>("Picture2"));
    EXPECT_TRUE(fake.shown.empty() && picker.requests.empty());
    EXPECT_EQ(readFile(file("alt.bin")), all);
}

// Runs as nobody, where the folder's permission bits hold; the full disk comes from the file seam.
TEST_F(JoinWindow, FailuresLeaveNoTargetOrTheOldOne) {
    RUN_AS_NOBODY();
    writeFragments(dir, {{"Beispiel.dat._001", 3000}, {"Beispiel.dat._002", 3000}});
    const std::string locked = file("locked/joined.bin");
    fs::create_directory(dir.path() / "locked");
    ASSERT_EQ(chmod((dir.path() / "locked").c_str(), 0555), 0);
    chooseFirst("Beispiel.dat._001");
    const auto expectStopped = [this](QMessageBox::Icon icon, const QString& message) {
        expectMessage(icon, kInfo, message);
        EXPECT_FALSE(text("Label5").endsWith(", fertig!"));
        EXPECT_EQ(text("Label15"), "");
        EXPECT_TRUE(enabled("Command2"));
        expectJoinFinished();
    };
    const QString aborted = "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei ";

    int writes = 0;
    fileio::testing::setWriteFault(
        [&writes](const std::string&, std::size_t) { return ++writes > 1 ? ENOSPC : 0; });
    join(file("joined.bin"));
    fileio::testing::setWriteFault({});
    expectStopped(QMessageBox::Critical, aborted + qfile("joined.bin") + ": " + reason(ENOSPC));
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat._001", "Beispiel.dat._002"}));

    join(locked);
    expectStopped(QMessageBox::Critical, aborted + QString::fromStdString(locked) + ": " + reason(EACCES));
    EXPECT_TRUE(filesIn(dir.path() / "locked").empty());

    // A fragment gone since the listing stops the join before the old target is touched.
    writeFile(file("joined.bin"), std::string("old target"));
    fs::remove(file("Beispiel.dat._002"));
    join(file("joined.bin"));
    expectStopped(QMessageBox::Warning, "Fragmentdatei " + qfile("Beispiel.dat._002") +
                                            " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. "
                                            "Dateifragmentliste und Dateiverzeichnis überprüfen !");
    EXPECT_EQ(readFile(file("joined.bin")), "old target");
}

// Twelve fragments with a gap and a zero-byte one, into a read-only old target (as nobody, so that the
// mode holds): the gap is asked about; rows 0 to 6 are selected while copying, then the last.
TEST_F(JoinWindow, GapAndZeroBytesIntoAReadOnlyTarget) {
    RUN_AS_NOBODY();
    std::vector<std::pair<std::string, std::size_t>> files;
    for (const int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13}) {
        files.emplace_back(QString::asprintf("Beispiel.dat._%03d", i).toStdString(), i == 2 ? 0 : 20);
    }
    const std::string all = writeFragments(dir, files);
    writeFile(file("joined.bin"), std::string("read-only old content"));
    ASSERT_EQ(chmod(file("joined.bin").c_str(), 0444), 0);
    chooseFirst("Beispiel.dat._001");
    auto* list = control<QListWidget>("List1");
    list->setCurrentRow(-1);
    std::vector<int> rows;
    QObject::connect(list, &QListWidget::currentRowChanged, [&rows](int row) { rows.push_back(row); });

    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        fake.answers = {answer};
        join(file("joined.bin"));
        expectMessage(QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage",
                      "In der Dateifragmentliste fehlt Fragment 011. Trotzdem zusammenfügen ?",
                      QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(picker.requests.size(), answer == QMessageBox::Yes ? 1u : 0u);
        expectJoinFinished();
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 11}));
    EXPECT_EQ(readFile(file("joined.bin")), all);
    EXPECT_EQ(texts({"Label5", "Label15"}), "add Fragment: 13 von 12, fertig! | 220 = 1 KB");
}

// Runs as nobody, where the folder's permission bits hold. Which files go is the core's; here the
// question, the message and what the window shows afterwards.
TEST_F(JoinWindow, ClearDeletesTheListedFragmentsAfterYes) {
    RUN_AS_NOBODY();
    prepare("x.dat", 3000);
    split();
    join(file("joined.dat"));
    auto* clear = control<QPushButton>("Command2");
    ASSERT_TRUE(clear->isEnabled());

    fake.answers = {QMessageBox::No};
    click(clear);
    expectMessage(QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage", "Dateifragmente jetzt  löschen ?",
                  QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(filesIn(dir.path()),
              (Names{"joined.dat", "x.dat", "x.dat._001", "x.dat._002", "x.dat._003", "x.dat.sfv"}));
    // A read-only fragment goes like the others: its mode is never touched.
    ASSERT_EQ(chmod(file("x.dat._002").c_str(), 0444), 0);

    // A folder that forbids deleting stops with a message and keeps the lists.
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    fake.answers = {QMessageBox::Yes};
    click(clear);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(fake.shown.size(), 3u);
    fake.shown.erase(fake.shown.begin(), fake.shown.begin() + 2);
    expectMessage(
        QMessageBox::Critical, kInfo,
        "Das Löschen wurde abgebrochen. Fehler bei Datei " + qfile("x.dat._001") + ": " + reason(EACCES));
    EXPECT_EQ(entries("List1").size() + entries("List2").size(), 6);
    EXPECT_EQ(text("Label6"), "Dateifragmente:3");
    EXPECT_TRUE(clear->isEnabled());

    // While the deletion yields, no other command starts: each would ask, open a dialog or drop an entry.
    fake.shown.clear();
    picker.requests.clear();
    fake.answers = {QMessageBox::Yes, QMessageBox::Yes};
    clickWhileBusy({"Command2", "Command8", "Command7", "Command3"}, [this] {
        removeEntry("x.dat._003");
        EXPECT_EQ(entries("List1").size(), 3);
    });
    click(clear);
    EXPECT_TRUE(yielded);
    ASSERT_EQ(fake.shown.size(), 1u);
    EXPECT_TRUE(picker.requests.empty());
    EXPECT_EQ(filesIn(dir.path()), (Names{"joined.dat", "x.dat"}));
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty());
    EXPECT_EQ(texts({"Label11", "Label6", "Label12", "Label5", "Label14", "Label15", "Text2"}),
              "Erzeugte Dateifragmente: | Dateifragmente: |  |  | joined.dat | 3.000 = 3 KB | " +
                  qfile("x.dat._001"));
    EXPECT_FALSE(clear->isEnabled() || enabled("Command4") || enabled("Picture2"));
}

// A changed byte in one fragment is named with the stop icon before anything is written: the old target
// stays and no file appears. A fragment the checksum file names but the list lacks is missing, refused
// before the gap is asked about and before the target is.
TEST_F(JoinWindow, DamagedAndMissingFragmentsAreNamedBeforeAnythingIsWritten) {
    prepare("x.dat", 3000);
    split();
    writeFile(file("ziel"), std::string("alt"));
    const std::string second = file("x.dat._002");
    const QString expected = crcOf(second);
    std::string bytes = readFile(second);
    bytes[1000] = static_cast<char>(bytes[1000] ^ 1);
    writeFile(second, bytes);
    const Names before = filesIn(dir.path());

    join(file("ziel"));
    expectMessage(QMessageBox::Critical, kInfo,
                  "Das Fragment x.dat._002 ist beschädigt (CRC32 " + crcOf(second) + " statt " + expected +
                      "). Bitte das Fragment erneut kopieren.");
    EXPECT_EQ(readFile(file("ziel")), "alt");
    EXPECT_EQ(filesIn(dir.path()), before);
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}), "prüfe Fragment: 2 von 3 | ziel | ");
    expectJoinFinished();

    removeEntry("x.dat._002");
    join(file("ziel"));
    expectMessage(QMessageBox::Warning, kInfo,
                  "Fragmentdatei " + qfile("x.dat._002") +
                      " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateifragmentliste und "
                      "Dateiverzeichnis überprüfen !");
    EXPECT_TRUE(picker.requests.empty());
    EXPECT_EQ(filesIn(dir.path()), before);
    expectJoinFinished();
}

// A checksum file of the set's name that the user wrote is neither overwritten by the split nor read as
// the set's (it names no fragment) nor deleted by Clear; ours goes with the fragments.
TEST_F(JoinWindow, AUsersChecksumFileStays) {
    prepare("x.dat", 3000);
    const std::string own = "; von Hand\nx.dat 1234abcd\n";
    writeFile(file("x.dat.sfv"), own);
    split();
    join(file("joined.dat"));
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(readFile(file("joined.dat")), readFile(file("x.dat")));
    fake.answers = {QMessageBox::Yes};
    click(control<QPushButton>("Command2"));
    EXPECT_EQ(filesIn(dir.path()), (Names{"joined.dat", "x.dat", "x.dat.sfv"}));
    EXPECT_EQ(readFile(file("x.dat.sfv")), own);
}

// The list ignores case in umlauts as in plain letters: Ä and ä sort as one letter, after z.
TEST_F(JoinWindow, ListOrderIgnoresTheCaseOfUmlauts) {
    for (const char* name :
         {"x.üf._001", "x.Öc._001", "x.zz._001", "x.äb._001", "x.Üe._001", "x.öd._001", "x.Äa._001"}) {
        writeFile(file(name), std::string("x"));
    }
    chooseFirst("x.Äa._001");
    EXPECT_EQ(entries("List1"), QStringList({"x.zz._001", "x.Äa._001", "x.äb._001", "x.Öc._001", "x.öd._001",
                                             "x.Üe._001", "x.üf._001"}));
}

// The checksum command: its dialog, its message with the bare file name, or why it cannot. A file of
// several MiB is read while the event loop is served: a timer fires under the hourglass, before the
// result, and no other command starts (each would open a dialog or show a message).
TEST_F(SplitWindowTest, ChecksumCommand) {
    writeFile(file("ziffern.txt"), std::string("123456789"));
    writeFile(file("leer.bin"), std::string());
    writeFile(file("gross.bin"), patternBytes((5 << 20) + 3));
    const QString start = StdDialoge::currentDirectory(), title = "CRC32 - Prüfung";

    pick("Command7", "");  // cancel: no message, no hourglass
    const StdDialoge::Request& request = picker.requests.at(0);
    EXPECT_EQ(std::tuple(request.title, request.directory, request.initialName, request.filter,
                         request.defaultExtension, request.mode),
              std::tuple(QString("Die zu prüfende Datei wählen"), start, QString(),
                         QString("Alle Dateien|*.*"), QString("*.*"), 0));
    EXPECT_TRUE(fake.shown.empty() && fake.cursorChanges.empty());
    // The first turn of the event loop comes while the large file is read.
    clickWhileBusy({"Command7", "Command1", "Command3", "Command8"}, [this] {
        EXPECT_EQ(fake.cursorChanges, std::vector<bool>{true});
        EXPECT_TRUE(fake.shown.empty());
    });
    const std::pair<const char*, QString> files[] = {
        {"gross.bin", crcOf(file("gross.bin"))}, {"ziffern.txt", "CBF43926"}, {"leer.bin", "00000000"}};
    for (const auto& [name, crc] : files) {
        fake.shown.clear();
        fake.cursorChanges.clear();
        pick("Command7", file(name));
        expectMessage(QMessageBox::Information, title,
                      "Die CRC32 Prüfsumme der Datei " + QString(name) + " lautet: " + crc);
        EXPECT_EQ(fake.cursorChanges, (std::vector<bool>{true, false})) << name;
    }
    EXPECT_TRUE(yielded);
    EXPECT_EQ(picker.requests.size(), 4u);
    // The dialog only hands back a name; the file is gone by the time it is read.
    fake.shown.clear();
    pick("Command7", file("weg.bin"));
    expectMessage(QMessageBox::Warning, title,
                  "Die Datei weg.bin kann nicht gelesen werden: " + reason(ENOENT));
}

}  // namespace
}  // namespace testsupport
