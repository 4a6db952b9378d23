// The main window's commands as the user clicks them: split, join, Clear and crc32, what each shows, each
// message once per kind, and that nothing else starts, nor the window closes, while one runs. Which files
// the core writes, keeps and deletes is the core's tests' business.

#include <sys/stat.h>

#include <QDate>

#include "FakeUi.hpp"
#include "fileio/files.hpp"
#include "support/SetScene.hpp"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
const Msg kAsk{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage", "Dateifragmente jetzt  löschen ?"};

// A stray stays listed until double-clicked away; the rest joins back; a new source empties the join half.
TEST_F(WindowTest, SplitListAndJoin) {
    const std::string whole = readFile(prepare("Beispiel.DAT", 2148));
    writeFile(file("Beispiel.txt._001"), std::string("fremd"));
    whileBusy([this] { clickAll({"Command3", "Command8", "Command1", "Command7"}); });
    click("Command1");
    EXPECT_TRUE(yielded && fake.requests.size() == 1);
    shows({});
    EXPECT_EQ(texts({"Label9", "Label10", "Label11", "Label6", "Label12", "Text2"}),
              "Quelldatei  (Byte): 2.148 = 3 KB | Fragmente (Byte): 2.148 = 3 KB | Dateifragmente: 3 von 3 | "
              "Dateifragmente:4 | Fragmente zusammen (Byte): 2.153 = 3 KB | " +
                  qfile("Beispiel.DAT._001"));
    EXPECT_EQ(entries("List2"), QStringList({"beispiel.dat._001", "beispiel.dat._002", "beispiel.dat._003"}));
    EXPECT_EQ(entries("List1").join(","),
              "Beispiel.DAT._001,Beispiel.DAT._002,Beispiel.DAT._003,Beispiel.txt._001");
    EXPECT_TRUE(enabled("Command4") && enabled("Picture2") && !enabled("Command2"));
    removeEntry("Beispiel.txt._001");
    EXPECT_EQ(texts({"Label6", "Label12"}), "Dateifragmente:3 | 3 Fragmente zusammen (Byte): 2.148 = 3 KB");
    pick("Command4", file("joined.DAT"));
    shows({});
    EXPECT_EQ(readFile(file("joined.DAT")), whole);
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}),
              "add Fragment: 3 von 3, fertig! | joined.DAT | 2.148 = 3 KB");
    EXPECT_TRUE(enabled("Command2") && enabled("Command4"));
    EXPECT_EQ(fake.cursor, (std::vector<bool>{true, false, true, false, true, false}));

    // Cancelled, or gone before its size was read: no source, the join half stays.
    for (const std::string& path : {std::string(), file("weg.dat")}) {
        pick("Command3", path);
        EXPECT_EQ(texts({"Text1", "Label9", "Label15"}), " | Quelldatei  (Byte): | 2.148 = 3 KB");
    }
    shows({{Warn, kInfo, "Die Datei " + qfile("weg.dat") + " kann nicht gelesen werden: " + reason(ENOENT)}});
    pick("Command3", file("Beispiel.txt._001"));
    EXPECT_EQ(texts({"Label9", "Label11", "Label6", "Label12", "Label5", "Label14", "Label15", "Text2"}),
              "Quelldatei  (Byte): 5 = 1 KB | Erzeugte Dateifragmente: | Dateifragmente: |  |  |  |  | ");
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty() && !enabled("Picture2"));
}

// Each refusal of the split once, before anything is written. The icon splits while the button is
// disabled, with the last accepted size.
TEST_F(WindowTest, SplitRefusals) {
    for (const std::string& path : {std::string(), file("fehlt.dat"), dir.utf8()}) {
        control<QLineEdit>("Text1")->setText(QString::fromStdString(path));
        click("Command1");
        shows({{Warn, "Datei-Tessaron Nachricht !",
                "Es wurde noch keine Datei ausgewählt ! Bitte die zu splittende Datei auswählen."}});
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
        EXPECT_TRUE(filesIn(dir.path()) == Names{"b.dat"} && entries("List2").isEmpty());
    }
    setSize("500");
    setSize("12a");
    shows({{Warn, "Tessaron-Nachricht", "Fragmentgröße kein numerischer Wert !"}});
    EXPECT_FALSE(enabled("Command1"));
    click("Picture1");
    EXPECT_EQ(texts({"Label11"}), "Dateifragmente: 2 von 2");
    EXPECT_EQ(readFile(source + "._001").size(), 512000u);
}

// The script is dated today in the German short form; each reason why there is none once.
TEST_F(WindowTest, ScriptAfterTheSplit) {
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
    writeFile(file("setup.bat"), std::string("@echo off\r\n"));
    const QString cannot = "kann keine Batchdatei erzeugt werden: ";
    const std::pair<std::string, QString> none[] = {
        {"a?b.dat", cannot + "der Name enthält Zeichen, die unter Windows nicht erlaubt sind."},
        {"Beispiel.bat", cannot + "sie hätte denselben Namen wie die Datei selbst."},
        {"\xE2\x82\xAC.dat",
         cannot + "das Zeichen „€“ kann die Eingabeaufforderung (Codepage 850) nicht darstellen."},
        {"setup.tar.gz",
         "wird keine Batchdatei erzeugt: die vorhandene Datei setup.bat gehört nicht zu dieser "
         "Datei und bleibt erhalten."}};
    for (const auto& [name, why] : none) {
        prepare(name, 1500);
        click("Command1");
        shows({{Info, kInfo, "Für " + QString::fromStdString(name) + " " + why}});
        EXPECT_EQ(entries("List1").size(), 2);
    }
    EXPECT_EQ(readFile(file("setup.bat")), "@echo off\r\n");
}

// As nobody, for whom the folder's permission bits hold; the full disk from the file seam. The progress
// line names the fragment the split stopped at.
TEST_F(WindowTest, SplitFailures) {
    RUN_AS_NOBODY();
    prepare("x.dat", 2148);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    click("Command1");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    shows({{Info, kInfo,
            "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. Bitte die zu splittende "
            "Datei vor der Splittung auf einen beschreibbaren Datenträger kopieren!"}});
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
            "der "
            "unteren Dateifragmentliste müssen mit Doppelklick aus der Liste entfernt, oder direkt im "
            "Verzeichnis gelöscht werden."}});
    EXPECT_TRUE(fake.requests.size() == 1 && enabled("Command4"));
    removeEntry("b.txt._001");
    const Msg gap{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage",
                  "In der Dateifragmentliste fehlt Fragment 011. Trotzdem zusammenfügen ?"};
    fake.answers = {QMessageBox::No, QMessageBox::Yes, QMessageBox::Yes};
    click("Command4");
    EXPECT_EQ(fake.shown.at(0).buttons, QMessageBox::Yes | QMessageBox::No);
    pick("Command4", "");  // cancel
    pick("Command4", file("b.dat._002"));
    shows({gap,
           gap,
           gap,
           {Stop, kInfo,
            "Die Zieldatei " + qfile("b.dat._002") +
                " ist selbst ein Fragment der Dateifragmentliste. Bitte einen anderen Dateinamen wählen."}});
    EXPECT_EQ(fake.requests.size(), 3u);
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}), " |  | ");

    std::vector<int> rows;
    QObject::connect(control<QListWidget>("List1"), &QListWidget::currentRowChanged,
                     [&rows](int row) { rows.push_back(row); });
    whileBusy([this] {
        EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
        clickAll({"Command7", "Command8"});
        removeEntry("b.dat._001");
    });
    fake.answers = {QMessageBox::Yes};
    pick("Command4", file("ziel"));
    EXPECT_TRUE(yielded && fake.requests.size() == 4);
    EXPECT_EQ(readFile(file("ziel")).size(), 220u);
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 10}));
    EXPECT_EQ(texts({"Label5", "Label15"}), "add Fragment: 12 von 11, fertig! | 220 = 1 KB");
    for (const QString& name : entries("List1")) {
        EXPECT_TRUE(enabled("Command4") && enabled("Picture2"));
        removeEntry(name);
    }
    EXPECT_EQ(texts({"Label6", "Label12"}), "Dateifragmente:0 | 0 Fragmente zusammen (Byte):  = 0 KB");
    EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
}

// Each way a join fails, once: the progress line shows the step it stopped at, the size stays empty,
// the join is usable again.
TEST_F(WindowTest, JoinFailures) {
    prepare("x.dat", 3000);
    click("Command1");
    const std::string second = file("x.dat._002"), good = readFile(second);
    std::string bad = good;
    bad[1000] = static_cast<char>(bad[1000] ^ 1);
    writeFile(second, bad);
    const auto joinStops = [&](const Msg& message, const QString& progress) {
        fake.take();
        pick("Command4", file("ziel"));
        shows({message});
        EXPECT_EQ(texts({"Label5", "Label15"}), progress + " | ");
        EXPECT_TRUE(enabled("Command4") && enabled("Picture2") && !fake.cursor.back());
    };
    joinStops({Stop, kInfo,
               "Das Fragment x.dat._002 ist beschädigt (CRC32 F2281351 statt 730D7676). Bitte das "
               "Fragment erneut kopieren."},
              "prüfe Fragment: 2 von 3");
    writeFile(second, good);
    fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    joinStops(
        {Stop, kInfo,
         "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei " + qfile("ziel") + ": " + reason(ENOSPC)},
        "add Fragment: 1 von 3");
    fileio::testing::setWriteFault({});
    fs::remove(second);
    joinStops({Warn, kInfo,
               "Fragmentdatei " + qfile("x.dat._002") +
                   " wurde nicht gefunden ! Zusammenfügen wurde "
                   "abgebrochen. Dateifragmentliste und Dateiverzeichnis überprüfen !"},
              "");
    ASSERT_EQ(::mkfifo(second.c_str(), 0644), 0);
    joinStops({Warn, kInfo,
               "Die Datei " + qfile("x.dat._002") + " kann nicht gelesen werden: keine gewöhnliche Datei"},
              "");
}

// As nobody, for whom the folder's permission bits hold. No keeps all; a deletion that fails says so and
// keeps the lists; after Yes, while nothing else starts, the lists and the split's labels are empty and
// the joined file's stay.
TEST_F(WindowTest, ClearAsksThenDeletes) {
    RUN_AS_NOBODY();
    prepare("x.dat", 3000);
    click("Command1");
    pick("Command4", file("joined.dat"));
    fake.answers = {QMessageBox::No};
    click("Command2");
    EXPECT_EQ(fake.shown.at(0).buttons, QMessageBox::Yes | QMessageBox::No);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    clear();
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    shows(
        {kAsk,
         kAsk,
         {Stop, kInfo,
          "Das Löschen wurde abgebrochen. Fehler bei Datei " + qfile("x.dat._001") + ": " + reason(EACCES)}});
    EXPECT_TRUE(entries("List1").size() + entries("List2").size() == 6 && enabled("Command2"));
    whileBusy([this] {
        clickAll({"Command2", "Command8", "Command7", "Command3"});
        removeEntry("x.dat._003");
    });
    clear();
    EXPECT_TRUE(yielded && fake.requests.size() == 2);
    shows({kAsk});
    EXPECT_EQ(filesIn(dir.path()), (Names{"joined.dat", "x.dat"}));
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty());
    EXPECT_EQ(texts({"Label11", "Label6", "Label12", "Label5", "Label14", "Label15"}),
              "Erzeugte Dateifragmente: | Dateifragmente: |  |  | joined.dat | 3.000 = 3 KB");
    EXPECT_FALSE(enabled("Command2") || enabled("Command4") || enabled("Picture2"));
}

// While another process works on the set, split, join and Clear each say so and change nothing; the
// join asks for no target.
TEST_F(WindowTest, AnotherProcessAtWorkOnTheSet) {
    const std::string source = prepare("x.dat", 3000);
    click("Command1");
    pick("Command4", file("ziel"));
    const LockHolder other(source);
    ASSERT_TRUE(other.held());
    const Snapshot before = snapshot(dir.path());
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
    EXPECT_EQ(snapshot(dir.path()), before);
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
    EXPECT_TRUE(fake.cursor.empty());
    whileBusy([this] {
        EXPECT_EQ(fake.cursor, std::vector<bool>{true});
        clickAll({"Command7", "Command1", "Command3", "Command8"});
    });
    for (const char* name : {"gross.bin", "ziffern.txt", "weg.bin"}) {
        pick("Command7", file(name));
    }
    const QString title = "CRC32 - Prüfung", result = "Die CRC32 Prüfsumme der Datei ";
    shows({{Info, title, result + "gross.bin lautet: 1F20DAF9"},
           {Info, title, result + "ziffern.txt lautet: CBF43926"},
           {Warn, title, "Die Datei weg.bin kann nicht gelesen werden: " + reason(ENOENT)}});
    EXPECT_TRUE(yielded && fake.requests.size() == 4);
    EXPECT_EQ(fake.cursor, (std::vector<bool>{true, false, true, false, true, false}));
}

// "End" during a split, join, checksum or deletion: the operation runs to its end, then the window closes.
TEST_F(WindowTest, CloseDuringAnOperationClosesWhenItEnds) {
    const std::pair<std::string, std::function<void()>> operations[] = {
        {"split", [this] { click("Command1"); }},
        {"join", [this] { pick("Command4", file("ziel")); }},
        {"crc", [this] { pick("Command7", file("x.dat")); }},
        {"clear", [this] { clear(); }}};
    for (const auto& [name, operation] : operations) {
        freshWindow();
        prepare("x.dat", (1 << 20) + 3, "256");
        if (name != "split") {
            click("Command1");
            pick("Command4", file("ziel"));
        }
        fake.take();
        whileBusy([this] {
            click("Command6");
            EXPECT_TRUE(win->isVisible());
        });
        QPointer<frmTessaron> closing = win;
        operation();
        EXPECT_TRUE(yielded) << name;
        EXPECT_EQ(fake.take().size(), name == "crc" || name == "clear" ? 1u : 0u) << name;
        EXPECT_EQ(fs::exists(file("x.dat._005")), name != "clear") << name;
        for (int turn = 0; turn < 3 && closing; ++turn) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_TRUE(closing.isNull()) << name;
    }
}

}  // namespace
}  // namespace testsupport
