// The main window's commands as the user clicks them: what each shows, each message once per kind, and
// that nothing else starts, nor the window closes, while one runs. Which files the core writes, keeps and
// deletes is the core's tests' business.

#include <sys/stat.h>

#include <QDate>

#include "FakeUi.hpp"
#include "fileio/files.hpp"
#include "support/SetScene.hpp"

namespace testsupport {
namespace {

const Msg kAsk{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage", "Dateifragmente jetzt  löschen ?"};
const QString kUnreadable = " kann nicht gelesen werden: ";

// A stray stays listed (in the listing's order, case ignored) until double-clicked away; the rest joins
// back; a source cancelled or gone keeps the join half, a new one empties it.
TEST_F(WindowTest, SplitListAndJoin) {
    const std::string whole = readFile(prepare("Beispiel.dat", 2148));
    writeFile(file("Beispiel.Ex._001"), std::string("fremd"));
    whileBusy([this] { click("Command3", "Command8", "Command1", "Command7"); });
    click("Command1");
    EXPECT_EQ(std::pair(yielded, fake.requests.size()), std::pair(true, std::size_t{1}));
    EXPECT_EQ(texts({"Label9", "Label10", "Label11", "Label6", "Label12", "Text2"}),
              "Quelldatei  (Byte): 2.148 = 3 KB | Fragmente (Byte): 2.148 = 3 KB | Dateifragmente: 3 von 3 | "
              "Dateifragmente:4 | Fragmente zusammen (Byte): 2.153 = 3 KB | " +
                  qfile("Beispiel.dat._001"));
    EXPECT_EQ(entries("List2"), "beispiel.dat._001,beispiel.dat._002,beispiel.dat._003");
    EXPECT_EQ(entries("List1"), "Beispiel.dat._001,Beispiel.dat._002,Beispiel.dat._003,Beispiel.Ex._001");
    EXPECT_TRUE(enabled("Command4") && enabled("Picture2") && !enabled("Command2"));
    removeEntry("Beispiel.Ex._001");
    EXPECT_EQ(texts({"Label6", "Label12"}), "Dateifragmente:3 | 3 Fragmente zusammen (Byte): 2.148 = 3 KB");
    pick("Command4", file("joined.DAT"));
    EXPECT_EQ(readFile(file("joined.DAT")), whole);
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}),
              "add Fragment: 3 von 3, fertig! | joined.DAT | 2.148 = 3 KB");
    EXPECT_TRUE(enabled("Command2") && enabled("Command4"));
    EXPECT_EQ(fake.cursor, (std::vector<bool>{true, false, true, false, true, false}));
    for (const std::string& path : {std::string(), file("weg.dat")}) {
        pick("Command3", path);
        EXPECT_EQ(texts({"Text1", "Label9", "Label15"}), " | Quelldatei  (Byte): | 2.148 = 3 KB");
    }
    shows({{Warn, kInfo, "Die Datei " + qfile("weg.dat") + kUnreadable + reason(ENOENT)}});
    pick("Command3", file("Beispiel.Ex._001"));
    EXPECT_EQ(texts({"Label9", "Label11", "Label6", "Label12", "Label5", "Label14", "Label15", "Text2"}),
              "Quelldatei  (Byte): 5 = 1 KB | Erzeugte Dateifragmente: | Dateifragmente: |  |  |  |  | ");
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty() && !enabled("Picture2"));
}

// Each refusal of the split once, before anything is written; the icon splits with the last accepted size
// while the button is disabled. As nobody, for whom a folder's permission bits hold, an unwritable folder
// first.
TEST_F(WindowTest, SplitRefusalsAndFailures) {
    if (reranAsNobody()) {
        return;
    }
    prepare("a.dat", 2148);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    click("Command1");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    shows({{Info, kInfo,
            "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. Bitte die zu splittende "
            "Datei vor der Splittung auf einen beschreibbaren Datenträger kopieren!"}});
    const Msg noFile{Warn, "Datei-Tessaron Nachricht !",
                     "Es wurde noch keine Datei ausgewählt ! Bitte die zu splittende Datei auswählen."};
    for (const std::string& path : {std::string(), file("fehlt.dat"), dir.utf8()}) {
        control<QLineEdit>("Text1")->setText(QString::fromStdString(path));
        click("Command1");
        shows({noFile});
    }
    const std::string source = prepare("b.dat", 1022977);
    const Msg memory{Stop, "Tessaron - Info", "Zu wenig Speicher. Fragmentgrösse zu gross gewählt!"};
    const std::pair<QString, Msg> refused[] = {
        {"0", {QMessageBox::NoIcon, win->windowTitle(), "Ungültige Dateifragmentgröße !"}},
        {"-5", memory},
        {"2097152", memory},
        {"1",
         {Stop, kInfo,
          "Die Anzahl der entstehenden Dateifragmente ist zu gross (1000). Die Anzahl der entstehenden "
          "Dateifragmente darf 999 nicht überschreiten. Bitte die Dateifragmentgrösse erhöhen."}}};
    for (const auto& [size, message] : refused) {
        setSize(size);
        click("Command1");
        shows({message});
        EXPECT_TRUE(filesIn(dir.path()) == Names({"a.dat", "b.dat"}) && entries("List2").isEmpty());
    }
    setSize("500");
    setSize("12a");
    shows({{Warn, "Tessaron-Nachricht", "Fragmentgröße kein numerischer Wert !"}});
    EXPECT_FALSE(enabled("Command1"));
    click("Picture1");
    EXPECT_EQ(texts({"Label11"}), "Dateifragmente: 2 von 2");
    EXPECT_EQ(readFile(source + "._001").size(), 512000u);
}

// The script is dated today in the German short form; a reason why there is none, and the full disk,
// where the progress line names the fragment the split stopped at.
TEST_F(WindowTest, ScriptAndFullDisk) {
    control<QCheckBox>("Check1")->setChecked(true);
    prepare("Prüfung.v1.dat", 1500);
    const QDate before = QDate::currentDate();
    click("Command1");
    shows({{Info, kInfo, "Batchdatei Prüfung.bat wurde erzeugt !"}});
    const QString script = QString::fromLatin1(readFile(file("Prüfung.bat")));
    const auto dated = [&](const QDate& day) {
        return script.contains(" " + day.toString("dd.MM.yy") + " gesplittet.\r\n");
    };
    EXPECT_TRUE(dated(before) || dated(QDate::currentDate())) << script.toStdString();
    prepare("Beispiel.bat", 1500);
    click("Command1");
    shows({{Info, kInfo,
            "Für Beispiel.bat kann keine Batchdatei erzeugt werden: sie hätte denselben Namen wie die Datei "
            "selbst."}});
    EXPECT_EQ(entries("List1"), "Beispiel.bat._001,Beispiel.bat._002");
    prepare("x.dat", 2148);
    fileio::testing::setWriteFault(
        [](const std::string& path, std::size_t) { return path.ends_with("._002") ? ENOSPC : 0; });
    click("Command1");
    fileio::testing::setWriteFault({});
    shows({{Stop, kInfo,
            "Die Splittung wurde abgebrochen. Fehler bei Datei " + qfile("x.dat._002") + ": " +
                reason(ENOSPC)}});
    EXPECT_EQ(texts({"Label11"}), "Dateifragmente: 2 von 3");
    EXPECT_FALSE(fake.cursor.back());
}

// Eleven fragments with a gap: the mixed list, the gap question and a target among the fragments are
// refused before any writing. Nothing else starts meanwhile; rows 0 to 6 are selected while copying,
// then the last. With every entry removed the join is disabled.
TEST_F(WindowTest, JoinQuestionsAndRefusals) {
    for (const int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}) {
        writeFile(file(QString::asprintf("b.dat._%03d", i).toStdString()), patternBytes(20, i));
    }
    writeFile(file("b.txt._001"), std::string("fremd"));
    pick("Command8", file("b.dat._001"));
    pick("Command4", file("ziel"));
    shows({{Stop, "Tessaron Info",
            "In der unteren ListBox befinden sich Dateifragmente von verschiedenen Dateien. Wahrscheinlich "
            "befinden sich noch Fragmente von früheren Splittungen im Verzeichnis. Überflüssige Fragmente in "
            "der unteren Dateifragmentliste müssen mit Doppelklick aus der Liste entfernt, oder direkt im "
            "Verzeichnis gelöscht werden."}});
    EXPECT_TRUE(fake.requests.size() == 1 && enabled("Command4"));
    removeEntry("b.txt._001");
    const Msg gap{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage",
                  "In der Dateifragmentliste fehlt Fragment 011. Trotzdem zusammenfügen ?"};
    fake.answers = {QMessageBox::No, QMessageBox::Yes, QMessageBox::Yes};
    click("Command4");
    pick("Command4", "");
    pick("Command4", file("b.dat._002"));
    shows({gap,
           gap,
           gap,
           {Stop, kInfo,
            "Die Zieldatei " + qfile("b.dat._002") +
                " ist selbst ein Fragment der Dateifragmentliste. Bitte einen anderen Dateinamen wählen."}});
    EXPECT_TRUE(fake.requests.size() == 3 && !enabled("Command2"));
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}), " |  | ");

    std::vector<int> rows;
    QObject::connect(control<QListWidget>("List1"), &QListWidget::currentRowChanged,
                     [&rows](int row) { rows.push_back(row); });
    whileBusy([this] {
        EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
        click("Command7", "Command8");
        removeEntry("b.dat._001");
    });
    fake.answers = {QMessageBox::Yes};
    pick("Command4", file("ziel"));
    EXPECT_TRUE(yielded && fake.requests.size() == 4);
    EXPECT_EQ(readFile(file("ziel")).size(), 220u);
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 10}));
    EXPECT_EQ(texts({"Label5", "Label15"}), "add Fragment: 12 von 11, fertig! | 220 = 1 KB");
    for (const QString& name : entries("List1").split(',')) {
        EXPECT_TRUE(enabled("Command4") && enabled("Picture2"));
        removeEntry(name);
    }
    EXPECT_EQ(texts({"Label6", "Label12"}), "Dateifragmente:0 | 0 Fragmente zusammen (Byte):  = 0 KB");
    EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
}

// Each way a join fails, once: the progress line shows the step it stopped at, the size stays empty,
// the join is usable again, and so is Clear, since a target was named.
TEST_F(WindowTest, JoinFailures) {
    prepare("x.dat", 3000);
    click("Command1");
    const std::string second = file("x.dat._002"), good = readFile(second);
    writeFile(second, good.substr(0, 1000) + static_cast<char>(good[1000] ^ 1) + good.substr(1001));
    const auto joinStops = [&](const Msg& message, const QString& progress) {
        pick("Command4", file("ziel"));
        fileio::testing::setWriteFault({});
        shows({message});
        EXPECT_EQ(texts({"Label5", "Label15"}), progress + " | ");
        EXPECT_EQ(
            std::tuple(enabled("Command4"), enabled("Picture2"), enabled("Command2"), fake.cursor.back()),
            std::tuple(true, true, true, false));
    };
    joinStops({Stop, kInfo,
               "Das Fragment x.dat._002 ist beschädigt (CRC32 F2281351 statt 730D7676). Bitte das Fragment "
               "erneut kopieren."},
              "prüfe Fragment: 2 von 3");
    writeFile(second, good);
    fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    joinStops(
        {Stop, kInfo,
         "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei " + qfile("ziel") + ": " + reason(ENOSPC)},
        "add Fragment: 1 von 3");
    std::filesystem::remove(second);
    joinStops({Warn, kInfo,
               "Fragmentdatei " + qfile("x.dat._002") +
                   " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateifragmentliste und "
                   "Dateiverzeichnis überprüfen !"},
              "");
    ASSERT_EQ(::mkfifo(second.c_str(), 0644), 0);
    joinStops({Warn, kInfo, "Die Datei " + qfile("x.dat._002") + kUnreadable + "keine gewöhnliche Datei"},
              "");
}

// No keeps all; when the joined file cannot be put on the disk it says so and deletes nothing; after
// Yes, while nothing else starts, the lists and the split's labels are empty and the joined file's stay.
TEST_F(WindowTest, ClearAsksThenDeletes) {
    prepare("x.dat", 3000);
    click("Command1");
    pick("Command4", file("joined.dat"));
    const Snapshot before = snapshot(dir.path());
    fake.answers = {QMessageBox::No};
    click("Command2");
    fileio::testing::setOperationFault(
        [](std::string_view operation, const std::string&) { return operation == "flush" ? ENOSPC : 0; });
    clear();
    fileio::testing::setOperationFault({});
    shows(
        {kAsk,
         kAsk,
         {Stop, kInfo,
          "Das Löschen wurde abgebrochen. Fehler bei Datei " + qfile("joined.dat") + ": " + reason(ENOSPC)}});
    EXPECT_EQ(snapshot(dir.path()), before);
    const QString set = "x.dat._001,x.dat._002,x.dat._003";
    EXPECT_EQ(entries("List1") + entries("List2"), set + set);
    EXPECT_TRUE(enabled("Command2"));
    whileBusy([this] {
        click("Command2", "Command8", "Command7", "Command3");
        removeEntry("x.dat._003");
    });
    clear();
    EXPECT_EQ(std::pair(yielded, fake.requests.size()), std::pair(true, std::size_t{2}));
    shows({kAsk});
    EXPECT_EQ(filesIn(dir.path()), (Names{"joined.dat", "x.dat"}));
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty());
    EXPECT_EQ(texts({"Label11", "Label6", "Label12", "Label5", "Label14", "Label15"}),
              "Erzeugte Dateifragmente: | Dateifragmente: |  |  | joined.dat | 3.000 = 3 KB");
    EXPECT_FALSE(enabled("Command2") || enabled("Command4") || enabled("Picture2"));
}

// While another process works on the set, split, join and Clear each say so; the join asks for no target.
TEST_F(WindowTest, AnotherProcessAtWorkOnTheSet) {
    const std::string source = prepare("x.dat", 3000);
    click("Command1");
    pick("Command4", file("ziel"));
    const LockHolder other(source);
    const QString busy = " wird gerade von einem anderen Vorgang bearbeitet.";
    fake.take();
    click("Command1");
    pick("Command4", file("ziel2"));
    clear();
    shows({{Info, kInfo, "Die Datei " + qfile("x.dat") + busy},
           {Info, kInfo, "Die Datei " + qfile("x.dat._001") + busy},
           kAsk,
           {Info, kInfo, "Die Datei " + qfile("x.dat._001") + busy}});
    EXPECT_EQ(fake.requests.size(), 2u);
}

// The dialog; the result with the bare name, under the hourglass while the event loop is served and no
// other command starts; why it cannot.
TEST_F(WindowTest, Checksum) {
    writeFile(file("ziffern.txt"), std::string("123456789"));
    writeFile(file("gross.bin"), patternBytes((1 << 20) + 3));
    pick("Command7", "");
    const StdDialoge::Request& asked = fake.requests.at(0);
    EXPECT_EQ(std::tuple(asked.title, asked.directory, asked.filter, asked.defaultExtension, asked.mode),
              std::tuple(QString("Die zu prüfende Datei wählen"), StdDialoge::currentDirectory(),
                         QString("Alle Dateien|*.*"), QString("*.*"), 0));
    whileBusy([this] {
        EXPECT_EQ(fake.cursor, std::vector<bool>{true});
        click("Command7", "Command1", "Command3", "Command8");
    });
    for (const char* name : {"gross.bin", "ziffern.txt", "weg.bin"}) {
        pick("Command7", file(name));
    }
    const QString title = "CRC32 - Prüfung", result = "Die CRC32 Prüfsumme der Datei ";
    shows({{Info, title, result + "gross.bin lautet: 1F20DAF9"},
           {Info, title, result + "ziffern.txt lautet: CBF43926"},
           {Warn, title, "Die Datei weg.bin" + kUnreadable + reason(ENOENT)}});
    EXPECT_TRUE(yielded && fake.requests.size() == 4);
    EXPECT_EQ(fake.cursor, (std::vector<bool>{true, false, true, false, true, false}));
}

// "End" during a split, join, checksum or deletion: the operation runs to its end, then the window closes.
TEST_F(WindowTest, CloseDuringAnOperationClosesWhenItEnds) {
    for (const char* operation : {"Command1", "Command4", "Command7", "Command2"}) {
        freshWindow();
        prepare("x.dat", (1 << 20) + 3, "256");
        if (operation != std::string("Command1")) {
            click("Command1");
            pick("Command4", file("ziel"));
        }
        fake.take();
        whileBusy([this] {
            click("Command6");
            EXPECT_TRUE(win->isVisible());
        });
        QPointer<frmTessaron> closing = win;
        fake.paths = {qfile(operation == std::string("Command7") ? "x.dat" : "ziel")};
        fake.answers = {QMessageBox::Yes};
        click(operation);
        EXPECT_TRUE(yielded) << operation;
        EXPECT_EQ(std::filesystem::exists(file("x.dat._005")), operation != std::string("Command2"));
        for (int turn = 0; turn < 3 && closing; ++turn) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_TRUE(closing.isNull()) << operation;
    }
}

}  // namespace
}  // namespace testsupport
