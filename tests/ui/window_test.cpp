// The main window driven through its controls, with scripted dialogs; CTest runs DisplayScale at scale 2 too.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <cmath>
#include <functional>
#include <map>

#include "fileio/files.hpp"
#include "fragments/recovery_files.hpp"
#include "support/Reasons.hpp"
#include "support/SetScene.hpp"
#include "ui/ClickablePicture.hpp"
#include "ui/StdDialoge.hpp"
#include "ui/UiSeam.hpp"
#include "ui/frmInfo.hpp"
#include "ui/frmTessaron.hpp"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testsupport {
namespace {

using Msg = std::tuple<QMessageBox::Icon, QString, QString>;  // icon, title, text
constexpr auto Info = QMessageBox::Information, Warn = QMessageBox::Warning, Stop = QMessageBox::Critical;
const QString kInfo = QStringLiteral("Tessaron-Info");

const auto reason = [](int error) { return QString::fromStdString(germanReason(error)); };

// Answers message boxes from a queue (Ok when empty), file dialogs with the next queued path ("" cancels).
class FakeSeam : public ui::UiSeam {
  public:
    FakeSeam() {
        ui::setDefaultSeam(this);
        StdDialoge::setPicker([this](const StdDialoge::Request& request) {
            requests.push_back(request);
            return paths.isEmpty() ? QString() : paths.takeFirst();
        });
    }
    ~FakeSeam() override {
        ui::setDefaultSeam(nullptr);
        StdDialoge::setPicker({});
    }
    QMessageBox::StandardButton message(QWidget*, const ui::MessageRequest& request) override {
        EXPECT_EQ(request.buttons, request.icon == QMessageBox::Question ? QMessageBox::Yes | QMessageBox::No
                                                                         : QMessageBox::Ok);
        shown.emplace_back(request.icon, request.title, request.text);
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    }
    void setWaitCursor(bool on) override { cursor.push_back(on); }
    std::vector<Msg> take() { return std::exchange(shown, {}); }

    std::vector<Msg> shown;
    QList<QMessageBox::StandardButton> answers;
    std::vector<bool> cursor;  // true: hourglass on
    QStringList paths;
    std::vector<StdDialoge::Request> requests;
};

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() { freshWindow(); }
    ~WindowTest() override { delete win.data(); }
    void freshWindow() {
        delete win.data();
        win = new frmTessaron(&fake);
        win->show();
    }
    template <typename T = QWidget>
    T* control(const char* name) {
        T* found = win->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString texts(std::initializer_list<const char*> names) {
        QStringList all;
        for (const char* name : names) {
            all << control(name)->property("text").toString();
        }
        return all.join(" | ");
    }
    QString entries(const char* list) {
        QStringList names;
        for (int i = 0; i < control<QListWidget>(list)->count(); ++i) {
            names << control<QListWidget>(list)->item(i)->text();
        }
        return names.join(",");
    }
    bool enabled(const char* name) { return control(name)->isEnabled(); }
    template <typename... Name>
    void click(Name... names) {
        (QTest::mouseClick(control(names), Qt::LeftButton), ...);
    }
    void shows(const std::vector<Msg>& expected) { EXPECT_EQ(fake.take(), expected); }
    void pick(const char* button, const std::string& path) {
        fake.paths = {QString::fromStdString(path)};
        click(button);
    }
    std::string file(const std::string& name) const { return dir.file(name); }
    QString qfile(const std::string& name) const { return QString::fromStdString(dir.file(name)); }
    void setSize(const QString& kilobytes) { control<QComboBox>("Combo1")->setEditText(kilobytes); }
    std::string prepare(const std::string& name, std::size_t size, const QString& kilobytes = "1") {
        writeFile(file(name), patternBytes(size));
        pick("Command3", file(name));
        setSize(kilobytes);
        fake.shown.clear();
        return file(name);
    }
    void whileBusy(std::function<void()> inside) {
        yielded = false;
        QTimer::singleShot(0, win, [this, inside] { yielded = (inside(), true); });
    }
    void removeEntry(const QString& name) {
        auto* list = control<QListWidget>("List1");
        const QPoint at = list->visualItemRect(list->findItems(name, Qt::MatchExactly).value(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    bool yielded = false;
    TempDir dir;
    FakeSeam fake;
    QPointer<frmTessaron> win;
};

const Msg kAsk{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage", "Dateifragmente jetzt  löschen ?"};

// A stray stays listed until double-clicked away; the rest joins back; a new source empties the join half.
TEST_F(WindowTest, SplitListAndJoin) {
    prepare("Beispiel.dat", 2148);
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
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}),
              "add Fragment: 3 von 3, fertig! | joined.DAT | 2.148 = 3 KB");
    EXPECT_TRUE(enabled("Command2") && enabled("Command4"));
    EXPECT_EQ(fake.cursor, (std::vector<bool>{true, false, true, false, true, false}));
    pick("Command3", file("Beispiel.Ex._001"));
    EXPECT_EQ(texts({"Label9", "Label11", "Label6", "Label12", "Label5", "Label14", "Label15", "Text2"}),
              "Quelldatei  (Byte): 5 = 1 KB | Erzeugte Dateifragmente: | Dateifragmente: |  |  |  |  | ");
    EXPECT_TRUE(entries("List1").isEmpty() && entries("List2").isEmpty() && !enabled("Picture2"));
}

// Each refusal of the split once, before anything is written; the icon splits with the last accepted size.
TEST_F(WindowTest, SplitRefusalsAndFailures) {
    if (geteuid() == 0) {  // root ignores permission bits: the test runs again as user nobody
        EXPECT_EQ(std::system(("setpriv --reuid=65534 --regid=65534 --clear-groups " +
                               std::filesystem::read_symlink("/proc/self/exe").string() +
                               " --gtest_filter=WindowTest.SplitRefusalsAndFailures")
                                  .c_str()),
                  0);
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
    prepare("b.dat", 1022977);
    const std::pair<QString, Msg> refused[] = {
        {"0", {QMessageBox::NoIcon, win->windowTitle(), "Ungültige Dateifragmentgröße !"}},
        {"2097152", {Stop, "Tessaron - Info", "Zu wenig Speicher. Fragmentgrösse zu gross gewählt!"}},
        {"1",
         {Stop, kInfo,
          "Die Anzahl der entstehenden Dateifragmente ist zu gross (1000). Die Anzahl der entstehenden "
          "Dateifragmente darf 999 nicht überschreiten. Bitte die Dateifragmentgrösse erhöhen."}}};
    for (const auto& [size, message] : refused) {
        setSize(size);
        click("Command1");
        shows({message});
        EXPECT_TRUE((filesIn(dir.path()) == std::vector<std::string>{"a.dat", "b.dat"}) &&
                    entries("List2").isEmpty());
    }
    setSize("500");
    setSize("12a");
    shows({{Warn, "Tessaron-Nachricht", "Fragmentgröße kein numerischer Wert !"}});
    EXPECT_FALSE(enabled("Command1"));
    click("Picture1");
    EXPECT_EQ(texts({"Label11"}), "Dateifragmente: 2 von 2");
}

// The script; why there is none; the full disk, where the progress stops.
TEST_F(WindowTest, ScriptAndFullDisk) {
    control<QCheckBox>("Check1")->setChecked(true);
    prepare("Prüfung.v1.dat", 1500);
    click("Command1");
    shows({{Info, kInfo, "Batchdatei Prüfung.bat wurde erzeugt !"}});
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
}

// Eleven fragments with a gap: the mixed list, the gap question, a target among the fragments.
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
    fake.answers = {QMessageBox::No, QMessageBox::Yes};
    click("Command4");
    pick("Command4", file("b.dat._002"));
    shows({gap,
           gap,
           {Stop, kInfo,
            "Die Zieldatei " + qfile("b.dat._002") +
                " ist selbst ein Fragment der Dateifragmentliste. Bitte einen anderen Dateinamen wählen."}});
    EXPECT_TRUE(fake.requests.size() == 2 && !enabled("Command2"));
    whileBusy([this] {
        EXPECT_FALSE(enabled("Command4") || enabled("Picture2"));
        click("Command7", "Command8");
        removeEntry("b.dat._001");
    });
    fake.answers = {QMessageBox::Yes};
    pick("Command4", file("ziel"));
    EXPECT_TRUE(yielded && fake.requests.size() == 3);
    EXPECT_EQ(texts({"Label5", "Label15"}), "add Fragment: 12 von 11, fertig! | 220 = 1 KB");
    writeFile(file("b.dat.sfv"), "b.dat._001 00000000\r\n");  // names the fragment left out on purpose
    fake.answers = {QMessageBox::Yes, QMessageBox::Yes};
    fake.shown.clear();
    removeEntry("b.dat._001");
    pick("Command4", file("ziel"));
    EXPECT_EQ(fake.take().front(), Msg(QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage",
                                       "Fragment b.dat._001 steht in b.dat.sfv, aber nicht in der "
                                       "Dateifragmentliste. Liste ungeprüft zusammenfügen ?"));
    EXPECT_EQ(control("Label5")->toolTip(), "nicht geprüft: ohne b.dat.sfv zusammengefügt");
}

// Each way a join ends, once: its message; a join that does not end writes no target, leaves no progress
// behind and stays usable; Clear is offered only where a joined file stands or a listed fragment is gone,
// whatever another set's join offered. Escape when idle asks nothing; during a join No goes on, Yes stops it.
TEST_F(WindowTest, JoinOutcomesAndClear) {
    for (const char* name : {"y.dat", "x.dat"}) {
        prepare(name, 3000);
        click("Command1");
    }
    {  // another process at work on the set: split and join each say so, the join once its target is chosen
        const LockHolder other(file("x.dat"));
        click("Command1");
        pick("Command4", file("ziel"));
        EXPECT_EQ(fake.paths.size(), 0);
        const QString busy =
            " wird gerade von einem anderen Vorgang bearbeitet. Bitte warten, bis der andere "
            "Vorgang beendet ist, und es dann erneut versuchen.";
        shows({{Info, kInfo, "Die Datei " + qfile("x.dat") + busy},
               {Info, kInfo, "Die Datei " + qfile("x.dat._001") + busy}});
    }
    const std::string second = file("x.dat._002"), good = readFile(second);
    std::string damaged = good;
    damaged[1000] ^= 1;
    const Msg stop{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage", "Vorgang abbrechen ?"};
    const QString done = "add Fragment: 3 von 3, fertig!";
    // clang-format off
    const auto aborted = [this](int error) { return Msg{Stop, kInfo, "Das Zusammenfügen wurde abgebrochen. "
        "Fehler bei Datei " + qfile("ziel") + ": " + reason(error)}; };
    const auto escape = [this](QMessageBox::StandardButton answer) { return [this, answer] {
        fake.answers = {answer}; whileBusy([this] { QTest::keyClick(win, Qt::Key_Escape); }); }; };
    const auto writeFails = [] { fileio::testing::setWriteFault([](auto&&...) { return ENOSPC; }); };
    const auto renameFails = [] { fileio::testing::setOperationFault([](auto at, auto&&) {
        return at == "rename" ? EACCES : 0; }); };
    const std::tuple<const char*, std::function<void()>, std::vector<Msg>, QString, bool> scenes[] = {
        {"y", [this] { QTest::keyClick(win, Qt::Key_Escape); }, {}, done, true},  // idle: Escape asks nothing
        {"x", [&] { writeFile(second, damaged); }, {{Stop, kInfo, "Das Fragment x.dat._002 ist beschädigt "
            "(CRC32 F2281351 statt 730D7676). Bitte das Fragment erneut kopieren."}}, "", false},
        {"y", [] {}, {}, done, true},
        {"x", writeFails, {aborted(ENOSPC)}, "", false},
        {"x", escape(QMessageBox::No), {stop}, done, true},
        {"x", escape(QMessageBox::Yes), {stop}, "abgebrochen", false},
        {"x", [] {}, {}, done, true},
        {"x", renameFails, {aborted(EACCES)}, "", false},
        {"x", [&] { std::filesystem::remove(second); }, {{Warn, kInfo, "Fragmentdatei " + qfile("x.dat._002") +
            " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateifragmentliste und Dateiverzeichnis "
            "überprüfen !"}}, "", true},
    };
    // clang-format on
    for (const auto& [set, scene, messages, progress, clear] : scenes) {
        std::filesystem::remove(file("ziel"));
        pick("Command8", file(set + std::string(".dat._001")));
        scene();
        pick("Command4", file("ziel"));
        fileio::testing::setWriteFault({});
        fileio::testing::setOperationFault({});
        writeFile(second, good);
        shows(messages);
        EXPECT_EQ(std::tuple(texts({"Label5"}), std::filesystem::exists(file("ziel")), enabled("Command4"),
                             enabled("Command2"), fake.cursor.back()),
                  std::tuple(progress, progress == done, true, clear, false))
            << set << messages.size();
    }
}

// A set with recovery files for two of its ten fragments: after the question the damaged or missing ones are
// rebuilt (and listed) and the join goes on to the same target; No, a stop, a failed rename, too much lost or
// unusable recovery files say the join's problem or why not, and change nothing.
TEST_F(WindowTest, JoinRepairsFromRecoveryFiles) {
    const std::string source = prepare("r.dat", 10 * 1024);
    click("Command1");
    std::map<std::string, std::string> intact;
    for (const std::string& name : filesIn(dir.path())) {
        intact[name] = readFile(file(name));
    }
    std::vector<std::string> names;
    for (int i = 1; i <= 10; ++i) {
        names.push_back(QString::asprintf("r.dat._%03d", i).toStdString());
    }
    fragments::writeRecoveryFiles(source, names, 20, {});
    const auto damage = [this](const char* name) {
        std::string bytes = readFile(file(name));
        writeFile(file(name), bytes.replace(7, 1, "?"));
    };
    const auto remove = [this](auto... name) { (std::filesystem::remove(file(name)), ...); };
    const auto Yes = QMessageBox::Yes, No = QMessageBox::No;
    const QString ask = "Dodiveverazed Kontroll-Abfrage",
                  repair = " Die Wiederherstellungsdaten r.dat.par2 können ",
                  done = "add Fragment: 10 von 10, fertig!";
    // clang-format off
    const Msg one{QMessageBox::Question, ask, "1 Dateifragment ist beschädigt oder fehlt." + repair + "es neu "
                  "erstellen (1 von 2 Wiederherstellungsblöcken). Jetzt reparieren und dann zusammenfügen ?"},
        two{QMessageBox::Question, ask, "2 Dateifragmente sind beschädigt oder fehlen." + repair + "sie neu "
            "erstellen (2 von 2 Wiederherstellungsblöcken). Jetzt reparieren und dann zusammenfügen ?"},
        damaged{Stop, kInfo, "Das Fragment r.dat._005 ist beschädigt (CRC32 EDC0AB3B statt 7C8903EA). Bitte das "
                "Fragment erneut kopieren."};
    const std::tuple<std::function<void()>, QList<QMessageBox::StandardButton>, std::vector<Msg>, QString> scenes[] = {
        {[&] { damage("r.dat._005"); }, {No}, {one, damaged}, ""},
        {[&] { damage("r.dat._005"); }, {Yes}, {one}, done},  // the target chosen once
        {[&] { remove("r.dat._002"); damage("r.dat._007"); }, {Yes}, {two}, done},  // not listed, then listed
        {[&] { remove("r.dat._002"); whileBusy([this] { QTest::keyClick(win, Qt::Key_Escape); }); }, {Yes},
         {{QMessageBox::Question, ask, "Vorgang abbrechen ?"}}, "abgebrochen"},
        {[&] { damage("r.dat._005"); fileio::testing::setOperationFault([](auto at, auto&&) {
             return at == "rename" ? EACCES : 0; }); }, {Yes}, {one, {Stop, kInfo, "Das Zusammenfügen wurde "
             "abgebrochen. Fehler bei Datei " + qfile("r.dat._005") + ": " + reason(EACCES)}}, ""},
        {[&] { remove("r.dat._002", "r.dat._003", "r.dat._004"); }, {}, {{Warn, kInfo, "Fragmentdatei " +
            qfile("r.dat._002") + " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateifragmentliste "
            "und Dateiverzeichnis überprüfen !"}, {Info, kInfo, "Die Dateifragmente sind nicht reparierbar: 3 "
            "Blöcke fehlen, r.dat.par2 hat nur 2 brauchbare Wiederherstellungsblöcke. Es wurde nichts geändert."}},
         ""},
        {[&] { damage("r.dat._005"); for (const auto& name : filesIn(dir.path())) { if (name.ends_with(".par2")) {
            writeFile(file(name), std::string(100, 'x')); } } }, {}, {damaged, {Warn, kInfo, "Die "
            "Wiederherstellungsdaten r.dat.par2 sind unbrauchbar: Sie beschreiben keinen Satz von Dateifragmenten."}},
         ""},
    };
    // clang-format on
    for (const auto& [scene, answers, messages, progress] : scenes) {
        std::filesystem::remove(file("ziel"));
        scene();
        pick("Command8", file("r.dat._001"));
        const Snapshot before = snapshot(dir.path());
        fake.answers << answers;
        pick("Command4", file("ziel"));
        fileio::testing::setOperationFault({});
        shows(messages);
        EXPECT_EQ(std::pair(texts({"Label5"}), bool(fake.cursor.back())), std::pair(progress, false))
            << messages.size();
        if (progress == done) {
            EXPECT_EQ(readFile(file("ziel")), readFile(source));
            EXPECT_EQ(entries("List1").count(','), 9);
            EXPECT_EQ(control("Label5")->toolTip().count(": wiederhergestellt"),
                      messages.front() == one ? 1 : 2);
        } else {
            EXPECT_EQ(snapshot(dir.path()), before);
        }
        for (const auto& [name, bytes] : intact) {  // only those changed: the checksum file stays the newer
            if (!std::filesystem::exists(file(name)) || readFile(file(name)) != bytes) {
                writeFile(file(name), bytes);
            }
        }
    }
}

// No keeps all; a joined file that cannot be put on the disk deletes nothing; Yes empties the lists.
TEST_F(WindowTest, ClearAsksThenDeletes) {
    prepare("x.dat", 3000);
    click("Command1");
    pick("Command4", file("joined.dat"));
    const Snapshot before = snapshot(dir.path());
    fake.answers = {QMessageBox::No, QMessageBox::Yes};
    click("Command2");
    fileio::testing::setOperationFault(
        [](std::string_view operation, const std::string&) { return operation == "flush" ? ENOSPC : 0; });
    click("Command2");
    fileio::testing::setOperationFault({});
    shows(
        {kAsk,
         kAsk,
         {Stop, kInfo,
          "Das Löschen wurde abgebrochen. Fehler bei Datei " + qfile("joined.dat") + ": " + reason(ENOSPC)}});
    EXPECT_EQ(snapshot(dir.path()), before);
    const QString set = "x.dat._001,x.dat._002,x.dat._003";
    EXPECT_EQ(entries("List1") + entries("List2") + QString::number(enabled("Command2")), set + set + "1");
    whileBusy([this] {
        EXPECT_FALSE(LockHolder(file("x.dat")).held()) << "the set stays locked while it is deleted";
        click("Command2", "Command8", "Command7", "Command3");
        removeEntry("x.dat._003");
    });
    fake.answers = {QMessageBox::Yes};
    click("Command2");
    EXPECT_EQ(std::pair(yielded, fake.requests.size()), std::pair(true, std::size_t{2}));
    shows({kAsk});
    EXPECT_EQ(entries("List1") + entries("List2") +
                  texts({"Label11", "Label6", "Label12", "Label5", "Label14", "Label15"}),
              "Erzeugte Dateifragmente: | Dateifragmente: |  |  | joined.dat | 3.000 = 3 KB");
    EXPECT_FALSE(enabled("Command2") || enabled("Command4") || enabled("Picture2"));
}

// The result with the bare name, under the hourglass; why it cannot.
TEST_F(WindowTest, Checksum) {
    writeFile(file("gross.bin"), patternBytes((1 << 20) + 3));
    pick("Command7", file("gross.bin"));
    pick("Command7", file("weg.bin"));
    const QString title = "CRC32 - Prüfung", result = "Die CRC32 Prüfsumme der Datei ";
    shows({{Info, title, result + "gross.bin lautet: 1F20DAF9"},
           {Warn, title, "Die Datei weg.bin kann nicht gelesen werden: " + reason(ENOENT)}});
    EXPECT_EQ(fake.cursor, (std::vector<bool>{true, false, true, false}));
}

// "End" during a split, join or checksum stops it, during a deletion waits for its end; then the window
// closes.
TEST_F(WindowTest, CloseDuringAnOperationClosesWhenItEnds) {
    for (const std::string operation : {"Command1", "Command4", "Command7", "Command2"}) {
        freshWindow();
        prepare("x.dat", (1 << 20) + 3, "256");
        if (operation != "Command1") {
            click("Command1");
            pick("Command4", file("ziel"));
        }
        whileBusy([this] {
            click("Command6");
            EXPECT_TRUE(win->isVisible());
        });
        QPointer<frmTessaron> closing = win;
        fake.paths = {qfile(operation == "Command7" ? "x.dat" : "ziel")};
        fake.answers = {QMessageBox::Yes};
        click(operation.c_str());
        EXPECT_TRUE(yielded) << operation;
        EXPECT_EQ(std::filesystem::exists(file("x.dat._005")),
                  operation == "Command4" || operation == "Command7");
        shows(operation == "Command2" ? std::vector<Msg>{kAsk} : std::vector<Msg>{});
        for (int turn = 0; turn < 3 && closing; ++turn) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_TRUE(closing.isNull()) << operation;
    }
}

// Qt's own icon provider would read a FIFO or /proc/kmsg and wait for ever: a hang ends the run by the alarm.
// The chosen path is cut into name and folder, where the next open dialog starts; a cancel changes
// nothing; a path longer than the system takes (PATH_MAX less its NUL, in bytes) is refused as a cancel.
TEST(FileDialogs, CutThePathAndRefuseOverlongOnes) {
    FakeSeam fake;
    const QString umlauts(PATH_MAX / 2 - 2, u'ä');  // PATH_MAX - 1 bytes with "/d/"
    const std::tuple<bool, QString, QString, QString, QString> steps[] = {
        {false, "/start", "/daten/test.bin", "test.bin", "/daten/"},
        {false, "/bleibt", "", "", "/bleibt"},
        {true, "", "/Wurzel.txt", "Wurzel.txt", "/"},
        {false, "/x", "/d/" + umlauts, umlauts, "/d/"},
        {true, "/x", "/d/" + umlauts + "a", "", "/x"}};
    for (const auto& [save, start, answer, name, directory] : steps) {
        fake.paths = {answer};
        QString chosen = start;
        const auto dialog = save ? StdDialoge::DateiSpeichern : StdDialoge::DateiOeffnen;
        EXPECT_EQ(std::pair(dialog(nullptr, "Titel", chosen, "i", "A|*.a", "*.*"), chosen),
                  std::pair(name, directory));
    }
    EXPECT_EQ(StdDialoge::currentDirectory(), "/d");
    EXPECT_EQ(fake.take(),
              (std::vector<Msg>{
                  {Warn, kInfo, QString("Der Pfad ist zu lang (mehr als %1 Zeichen).").arg(PATH_MAX - 1)}}));
}

TEST(FileDialogs, ListingsAndChoicesReadNoFile) {
    TempDir temp;
    ASSERT_EQ(::mkfifo(temp.file("rohr").c_str(), 0644), 0);
    ::alarm(60);
    QFileDialog dialog;
    StdDialoge::configureDialog(dialog, {});
    for (const QString& path : {QStringLiteral("/proc/kmsg"), QString::fromStdString(temp.file("rohr"))}) {
        dialog.iconProvider()->type(QFileInfo(path));
        dialog.iconProvider()->icon(QFileInfo(path));
    }
    QString directory = QString::fromStdString(temp.utf8());
    QTimer::singleShot(0, [] {
        if (auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            open->selectFile("rohr");
            QMetaObject::invokeMethod(open, "accept", Qt::QueuedConnection);
        }
    });
    EXPECT_EQ(StdDialoge::DateiOeffnen(nullptr, "Offen", directory, "", "Alle Dateien|*.*", ""), "rohr");
    ::alarm(0);
}

// A drop below Line1 chooses the first fragment; a command line's name is relative to the working folder.
TEST_F(WindowTest, DropAndCommandLineChoose) {
    for (const char* name : {"a.dat", "a.dat._001", "a.dat._002"}) {
        writeFile(file(name), std::string(1500, 'x'));
    }
    const auto drop = [this](const QList<QUrl>& urls) {
        QWidget* over = control("List1");
        const QPoint at = win->mapFromGlobal(over->mapToGlobal(over->rect().center()));
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(win->windowHandle(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(win->windowHandle(), &dropped);
        QCoreApplication::processEvents();
    };
    const auto url = [this](const char* name) { return QUrl::fromLocalFile(qfile(name)); };
    drop({url("a.dat._001"), url("a.dat")});
    shows({{Info, kInfo, "Bitte genau eine Datei ablegen."}});
    drop({url("a.dat._002")});
    EXPECT_EQ(texts({"Text1", "Text2", "Label6"}) + " " + entries("List1"),
              " | " + qfile("a.dat._002") + " | Dateifragmente:2 a.dat._001,a.dat._002");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.utf8())));
    win->chooseFile("a.dat");
    QDir::setCurrent(previous);
    EXPECT_EQ(texts({"Text1", "Label9"}), qfile("a.dat") + " | Quelldatei  (Byte): 1.500 = 2 KB");
    // Another splitter's set, by its first volume: listed and joined under the name less ".001".
    for (const char* name : {"b.iso.001", "b.iso.002", "b.iso.000", "b.iso.0001"}) {
        writeFile(file(name), std::string(name));
    }
    drop({url("b.iso.001")});
    EXPECT_EQ(entries("List1"), "b.iso.001,b.iso.002");
    pick("Command4", file("b.iso"));
    EXPECT_EQ(std::pair(fake.requests.back().initialName, readFile(file("b.iso"))),
              std::pair(QStringLiteral("b.iso"), std::string("b.iso.001b.iso.002")));
}

using DisplayScale = WindowTest;

// Tab order skips disabled buttons; uncaptioned controls have own names; the size box never completes "1".
TEST_F(WindowTest, StartTabOrderNamesHintsAndSizeBox) {
    // The window's size at scale 1; the icons lie above their buttons; the lists follow the width, but
    // never below the margin measured at load.
    EXPECT_EQ(win->size(), QSize(389, 385));
    for (const char* icon : {"Picture1", "Picture2"}) {
        EXPECT_EQ(win->childAt(control(icon)->geometry().center()), control(icon)) << icon;
    }
    for (const auto& [width, list] : {std::pair(449, 201), std::pair(200, 201), std::pair(349, 101)}) {
        win->resize(width, 385);
        EXPECT_EQ(std::pair(control("List1")->width(), control("List2")->width()), std::pair(list, list))
            << width;
    }
    win->resize(389, 385);
    QStringList names;
    for (QWidget* child : win->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden() &&
            ((child->focusPolicy() & Qt::TabFocus) || qobject_cast<ui::ClickablePicture*>(child)) &&
            child->property("text").toString().isEmpty()) {
            auto* combo = qobject_cast<QComboBox*>(child);
            names << QAccessible::queryAccessibleInterface(combo ? combo->lineEdit() : child)
                         ->text(QAccessible::Name);
            EXPECT_FALSE(names.back().isEmpty() || names.count(names.back()) > 1)
                << qPrintable(child->objectName());
        }
    }
    EXPECT_EQ(names.size(), 10);
    QTest::mouseMove(win, control("Command1")->geometry().center());
    EXPECT_EQ(texts({"Label8"}), "Zerlegt die ausgewählte Datei in Dateifragmente.");
    // Centred within the few pixels of a frame that is only known once the window is on the screen.
    const QPoint off = win->frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(std::max(std::abs(off.x()), std::abs(off.y())), 3) << off.x() << "," << off.y();
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win));
    QStringList seen;
    for (const bool enable : {false, true}) {
        control("Command4")->setEnabled(enable);
        control("Command2")->setEnabled(enable);
        for (int i = 0; i < (enable ? 8 : 12); ++i) {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }
    EXPECT_EQ(seen.join(","),
              "Command3,Combo1,List1,Command5,Command6,Check1,List2,Command7,Text2,Command8,Text1,Command1,"
              "Command3,Combo1,List1,Command4,Command5,Command6,Command2,Check1");
    prepare("Beispiel.dat", 3000, "1420");
    auto* edit = control<QComboBox>("Combo1")->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "1");
    EXPECT_EQ(edit->text() + edit->selectedText(), "1");
    QTest::keyClick(edit, Qt::Key_Return);
    click("Command1");
    EXPECT_EQ(readFile(file("Beispiel.dat._001")).size(), 1024u);
}

// Each caption fits up to the nearest overlapping control on its right; a box's to its box, a button's in it.
TEST_F(DisplayScale, EveryCaptionFitsItsRoom) {
    ASSERT_DOUBLE_EQ(win->devicePixelRatioF(), qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? 2.0 : 1.0);
    const auto children = win->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    int checked = 0;
    for (QWidget* control : children) {
        const QString caption = control->property("text").toString();
        const bool checkBox = qobject_cast<QCheckBox*>(control), button = qobject_cast<QPushButton*>(control);
        if (caption.isEmpty() ||
            !(checkBox || button ||
              (qobject_cast<QLabel*>(control) && !qobject_cast<ui::ClickablePicture*>(control)))) {
            continue;
        }
        int right = button     ? control->geometry().right()
                    : checkBox ? control->geometry().right() + 1 -
                                     control->style()->pixelMetric(QStyle::PM_IndicatorWidth)
                               : win->width();
        for (const QWidget* other : children) {
            if (!button && !checkBox && other != control && other->isVisible() && other->x() > control->x() &&
                other->y() <= control->geometry().bottom() && control->y() <= other->geometry().bottom()) {
                right = std::min(right, other->x());
            }
        }
        EXPECT_LE(QFontMetricsF(control->font()).horizontalAdvance(caption), right - control->x())
            << qPrintable(control->objectName());
        ++checked;
    }
    EXPECT_EQ(checked, 18);
    EXPECT_EQ(QFontInfo(control("Label13")->font()).family() + QFontInfo(control("Label4")->font()).family(),
              "Liberation SansLiberation Serif");
}

// The contrast of a widget as it is drawn: its commonest colour (the background) against the pixel most
// unlike it.
double drawnContrast(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    const auto luminance = [](QRgb c) {
        const auto linear = [](int v) {
            return v <= 10 ? v / 3294.6 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4);
        };
        return 0.05 + 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
    };
    std::map<QRgb, int> counts;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        ++counts[image.pixel(i % image.width(), i / image.width())];
    }
    const double back =
        luminance(std::ranges::max_element(counts, {}, &std::pair<const QRgb, int>::second)->first);
    double most = 1;
    for (const auto& entry : counts) {
        most = std::max({most, luminance(entry.first) / back, back / luminance(entry.first)});
    }
    return most;
}

// Under a dark desktop theme both windows keep their own light colours: every heading and list reads.
TEST_F(WindowTest, ReadableUnderADarkTheme) {
    const QPalette before = QApplication::palette();
    QApplication::setPalette(QPalette(QColor(53, 53, 53)));
    freshWindow();
    frmInfo::open();
    control<QLabel>("Label8")->setText(QStringLiteral("Hinweis"));
    for (const char* name : {"List1", "List2"}) {
        control<QListWidget>(name)->addItem(QStringLiteral("x.dat._001"));
    }
    for (QWidget* widget : {control("Label3"), control("Label4"), control("Label8"), control("List1"),
                            control("List2"), frmInfo::instance()->findChild<QWidget*>("Label1")}) {
        EXPECT_GE(drawnContrast(widget), 4.5) << widget->objectName().toStdString();
    }
    frmInfo::instance()->close();
    QApplication::setPalette(before);
}

// "End" leaves the help window open: its 46 lines (SHA-256 joined by line ends), afresh when reopened.
TEST_F(WindowTest, EndAndTheHelpWindow) {
    click("Command5", "Command6");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(win.isNull());
    QPointer<frmInfo> help = frmInfo::instance();
    ASSERT_TRUE(help && help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Dodiveverazed - Info");
    auto* list = help->findChild<QListWidget*>("List1");
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    EXPECT_EQ(QCryptographicHash::hash(lines.join('\n').toUtf8(), QCryptographicHash::Sha256).toHex(),
              "08a1c627bb3ca974634aa2d6428a87c8a001dce1b9f11968ba65f437b02c1991");
    list->setCurrentRow(4);
    frmInfo::open();  // open already: raised as it is
    EXPECT_EQ(list->currentRow(), 4);
    QTest::keyClick(list, Qt::Key_Escape);  // as the close box
    frmInfo::open();
    EXPECT_EQ(std::tuple(frmInfo::instance(), help->isVisible(), list->currentRow(), list->count()),
              std::tuple(help.data(), true, -1, 46));
    // Enter on the focused button closes it for good.
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    EXPECT_EQ(QApplication::focusWidget(), help->findChild<QPushButton*>("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frmInfo::instance() == nullptr && help.isNull());
}

}  // namespace
}  // namespace testsupport
