// Nothing outside the fragment set changes, through the window: a split, join or deletion among links,
// FIFOs, the user's own files, odd names and a second process at work on the set, each refusal with its
// message. Each case runs in a folder of its own, snapshot before and after; "%1" in a message stands
// for that folder, with its separator.

#include <sys/stat.h>

#include <fstream>

#include "SplitFixture.hpp"
#include "support/SetScene.hpp"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Set = std::set<std::string>;
using Message = std::pair<QMessageBox::Icon, QString>;
constexpr auto Info = QMessageBox::Information;
constexpr auto Stop = QMessageBox::Critical;
const QString kAsk = QStringLiteral("Dateifragmente jetzt  löschen ?");
// A name with newline and tab, starting with a dash.
const std::string kOdd = "-a\tb\nc.dat";

class OutsideTheSet : public SplitWindowTest {
  protected:
    // A fresh folder for the next case with `files` of 2500, 1024 and 500 bytes in it ("" for none);
    // relative, with its separator.
    std::string nextFolder(const char* what, const std::vector<std::string>& files) {
        current = what;
        const std::string folder = "fall" + std::to_string(++cases) + "/";
        fs::create_directories(dir.path() / folder);
        std::size_t size = 2500;
        for (const std::string& name : files) {
            if (!name.empty()) {
                writeFile(file(folder + name), patternBytes(size, static_cast<std::uint32_t>(size)));
            }
            size = size == 2500 ? 1024 : 500;
        }
        return folder;
    }
    // What a case ends with: the messages shown and the entries of `folder` that changed but for `inside`.
    void expectOutcome(const std::string& folder, const Snapshot& before, std::vector<Message> expected,
                       const Set& inside) {
        std::vector<Message> shown;
        for (const ui::MessageRequest& request : fake.shown) {
            shown.emplace_back(request.icon, request.text);
        }
        for (auto& message : expected) {
            message.second.replace("%1", qfile(folder));
        }
        EXPECT_EQ(shown, expected) << current;
        EXPECT_EQ(changedOutside(before, snapshot(dir.path() / folder), inside), Set{}) << current;
    }
    // Splits `source` in `folder`, typed, not chosen: the path may hold what a dialog would not show. A
    // split refused with a stop message writes nothing; any other writes the fragments and their
    // checksum file, and nothing else.
    void expectSplit(const std::string& folder, const std::string& source, bool script,
                     std::vector<Message> messages = {}) {
        const Snapshot before = snapshot(dir.path() / folder);
        control<QCheckBox>("Check1")->setChecked(script);
        control<QLineEdit>("Text1")->setText(qfile(folder + source));
        setSize("1");
        split();
        Set written{source + ".sfv"};
        QStringList listed;
        for (const char* number : {"._001", "._002", "._003"}) {
            listed << QString::fromStdString(source + number);
            written.insert(source + number);
        }
        const bool stopped = !messages.empty() && messages[0].first == Stop;
        expectOutcome(folder, before, messages, stopped ? Set{} : written);
        if (!stopped) {
            EXPECT_EQ(entries("List1"), listed) << current;
        }
    }
    // Joins the listed set into "ziel" in `folder`, then deletes it when asked to.
    void expectJoin(const std::string& folder, bool thenDelete, const std::vector<Message>& messages,
                    const Set& inside) {
        const Snapshot before = snapshot(dir.path() / folder);
        join(file(folder + "ziel"));
        if (thenDelete) {
            fake.answers = {QMessageBox::Yes};
            click(control<QPushButton>("Command2"));
        }
        expectOutcome(folder, before, messages, inside);
    }
    void fifo(const std::string& name) {
        fs::remove(file(name));
        ASSERT_EQ(::mkfifo(file(name).c_str(), 0644), 0);
    }

    int cases = 0;
    // What the current case is about.
    std::string current;
};

TEST_F(OutsideTheSet, Split) {
    std::string f = nextFolder("the user's setup.bat stays, and no script replaces it", {"setup.tar.gz"});
    writeFile(file(f + "setup.bat"), std::string("@echo off\r\nsetup.exe\r\n"));
    expectSplit(f, "setup.tar.gz", true,
                {{Info,
                  "Für setup.tar.gz wird keine Batchdatei erzeugt: die vorhandene Datei setup.bat "
                  "gehört nicht zu dieser Datei und bleibt erhalten."}});

    f = nextFolder("a source that links to its first fragment, the only copy", {"data._001"});
    fs::create_symlink("data._001", file(f + "data"));
    expectSplit(f, "data", false,
                {{Stop,
                  "Die Splittung wurde abgebrochen. Fehler bei Datei %1data._001: die Datei ist die "
                  "zu splittende Datei selbst"}});

    f = nextFolder("a FIFO under a fragment's name stops it before it writes", {"a.dat"});
    fifo(f + "a.dat._002");
    expectSplit(f, "a.dat", false,
                {{Stop,
                  "Die Splittung wurde abgebrochen. Fehler bei Datei %1a.dat._002: keine "
                  "gewöhnliche Datei"}});

    f = nextFolder("a name that is not UTF-8 is neither listed nor deleted",
                   {"a.dat", std::string("a.dat._0") + '\xFF' + '1'});
    expectSplit(f, "a.dat", false);
    const std::string euro = "\xE2\x82\xACuro.dat";
    const std::pair<std::string, QString> noScript[] = {
        {euro, "das Zeichen „€“ kann die Eingabeaufforderung (Codepage 850) nicht darstellen."},
        {kOdd, "der Name enthält Zeichen, die unter Windows nicht erlaubt sind."}};
    for (const auto& [name, why] : noScript) {
        expectSplit(nextFolder("a name the console cannot show gets no script", {name}), name, true,
                    {{Info, "Für " + QString::fromStdString(name) +
                                " kann keine Batchdatei erzeugt werden: " + why}});
    }
}

// The join of a set of two into "ziel", and the deletion after it.
TEST_F(OutsideTheSet, JoinAndDeletion) {
    std::string f =
        nextFolder("a listed fragment that became a FIFO is not waited on", {"", "x.dat._001", "x.dat._002"});
    chooseFirst(f + "x.dat._001");
    fifo(f + "x.dat._002");
    expectJoin(
        f, false,
        {{QMessageBox::Warning, "Die Datei %1x.dat._002 kann nicht gelesen werden: keine gewöhnliche Datei"}},
        {});

    f = nextFolder("a fragment that grows while the join runs keeps the old target",
                   {"ziel", "x.dat._001", "x.dat._002"});
    chooseFirst(f + "x.dat._001");
    // Fires when the join first yields, before the first fragment.
    QTimer::singleShot(0, &window,
                       [this, f] { std::ofstream(file(f + "x.dat._002"), std::ios::app) << "!"; });
    expectJoin(f, false,
               {{Stop,
                 "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei %1x.dat._002: die Datei "
                 "hat sich während des Zusammenfügens geändert"}},
               {"x.dat._002"});

    f = nextFolder("newline, tab and a leading dash", {"", kOdd + "._001", kOdd + "._002"});
    chooseFirst(f + kOdd + "._001");
    expectJoin(f, true, {{QMessageBox::Question, kAsk}}, {"ziel", kOdd + "._001", kOdd + "._002"});
}

// While another process splits, joins or deletes the set, the window does none of it and says so.
TEST_F(OutsideTheSet, AnotherProcessAtWorkOnTheSet) {
    const std::string source = prepare("x.dat", 3000);
    split();
    join(file("ziel"));
    {
        const LockHolder other(source);
        ASSERT_TRUE(other.held());
        const Snapshot before = snapshot(dir.path());
        const QString busy = " wird gerade von einem anderen Vorgang bearbeitet.";
        split();
        expectOutcome("", before, {{Info, "Die Datei %1x.dat" + busy}}, {});
        join(file("ziel"));
        expectOutcome("", before, {{Info, "Die Datei %1x.dat._001" + busy}}, {});
        EXPECT_TRUE(picker.requests.empty()) << "refused before the target is asked for";
        fake.shown.clear();
        fake.answers = {QMessageBox::Yes};
        click(control<QPushButton>("Command2"));
        expectOutcome("", before, {{QMessageBox::Question, kAsk}, {Info, "Die Datei %1x.dat._001" + busy}},
                      {});
    }
    split();
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(filesIn(dir.path()),
              (Names{"x.dat", "x.dat._001", "x.dat._002", "x.dat._003", "x.dat.sfv", "ziel"}));
}

// A FIFO chosen as source, first fragment or file to check is never opened; a /proc file that reports
// 0 bytes is read for its checksum.
TEST_F(OutsideTheSet, AFifoChosenAnywhereIsRefused) {
    fifo("rohr._001");
    const QString unreadable = " kann nicht gelesen werden: keine gewöhnliche Datei";
    choose(file("rohr._001"));
    chooseFirst("rohr._001");
    pick("Command7", file("rohr._001"));
    std::vector<QString> shown;
    for (const ui::MessageRequest& request : fake.shown) {
        shown.push_back(request.title + ": " + request.text);
    }
    EXPECT_EQ(shown, (std::vector<QString>{"Tessaron-Info: Die Datei " + qfile("rohr._001") + unreadable,
                                           "Tessaron-Info: Die Datei " + qfile("rohr._001") + unreadable,
                                           "CRC32 - Prüfung: Die Datei rohr._001" + unreadable}));
    EXPECT_EQ(texts({"Text1", "Text2"}), " | ");
    EXPECT_TRUE(entries("List1").isEmpty());

    fake.shown.clear();
    pick("Command7", "/proc/version");
    ASSERT_EQ(fake.shown.size(), 1u);
    EXPECT_TRUE(fake.shown[0].text.startsWith("Die CRC32 Prüfsumme der Datei version lautet: "));
    EXPECT_FALSE(fake.shown[0].text.endsWith("00000000"));
}

}  // namespace
}  // namespace testsupport
