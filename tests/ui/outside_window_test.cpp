// Nothing outside the fragment set changes, through the window: a split, join or deletion among links,
// hard links, FIFOs, folders, the user's own scripts, odd names and a second process at work on the set.
// Each case runs in a folder of its own, snapshot before and after; "%1" in a message stands for that
// folder, with its separator.

#include <sys/stat.h>

#include <QTimer>
#include <fstream>
#include <functional>

#include "SplitFixture.hpp"
#include "support/SetScene.hpp"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Set = std::set<std::string>;
using Messages = std::vector<std::pair<QMessageBox::Icon, QString>>;
constexpr auto Info = QMessageBox::Information;
constexpr auto Stop = QMessageBox::Critical;
constexpr auto Warn = QMessageBox::Warning;

class OutsideTheSet : public SplitWindowTest {
  protected:
    // What a case ends with: the messages shown and the entries of `folder` that changed but for `inside`.
    void expectOutcome(const char* what, const std::string& folder, const Snapshot& before,
                       const Messages& messages, const Set& inside) {
        Messages shown;
        for (const ui::MessageRequest& request : fake.shown) {
            shown.emplace_back(request.icon, request.text);
        }
        Messages expected = messages;
        for (auto& message : expected) {
            message.second = message.second.arg(qfile(folder));
        }
        EXPECT_EQ(shown, expected) << what;
        EXPECT_EQ(changedOutside(before, snapshot(dir.path() / folder), inside), Set{}) << what;
    }
    void link(const std::string& name, const std::string& target) {
        fs::remove(file(name));
        fs::create_symlink(target, file(name));
    }
    void readOnly(const std::string& name, const std::string& content) {
        writeFile(file(name), content);
        fs::permissions(file(name), fs::perms(0444));
    }
    void fifo(const std::string& name) {
        fs::remove(file(name));
        ASSERT_EQ(::mkfifo(file(name).c_str(), 0644), 0);
    }
};

Set fragmentsOf(const std::string& name, int count = 3) {
    Set names;
    for (int n = 1; n <= count; ++n) {
        names.insert(name + "._00" + std::to_string(n));
    }
    return names;
}

TEST_F(OutsideTheSet, Split) {
    struct Case {
        const char* what;
        std::string source;
        std::function<void(const std::string& folder)> setup;
        bool script;
        Messages messages;
        Set inside;
    };
    const auto none = [](const std::string&) {};
    const std::string odd = "-a\tb\nc.dat", euro =
                                                "\xE2\x82\xAC"
                                                "uro.dat";
    const Case cases[] = {
        {"the user's setup.bat stays, and nothing is said",
         "setup.tar.gz",
         [&](const std::string& f) {
             writeFile(file(f + "setup.bat"), std::string("@echo off\r\nsetup.exe\r\n"));
         },
         false,
         {},
         fragmentsOf("setup.tar.gz")},
        {"asked for, no script replaces it",
         "setup.tar.gz",
         [&](const std::string& f) {
             writeFile(file(f + "setup.bat"), std::string("@echo off\r\nsetup.exe\r\n"));
         },
         true,
         {{Info,
           "Für setup.tar.gz wird keine Batchdatei erzeugt: die vorhandene Datei setup.bat gehört nicht "
           "zu dieser Datei und bleibt erhalten."}},
         fragmentsOf("setup.tar.gz")},
        {"the script for Beispiel.dat stays when Beispiel.txt is split",
         "Beispiel.txt",
         [&](const std::string& f) { writeOwnScript(file(f + "Beispiel.dat")); },
         false,
         {},
         fragmentsOf("Beispiel.txt")},
        {"a source that links to its first fragment, the only copy",
         "data",
         [&](const std::string& f) {
             writeFile(file(f + "data._001"), patternBytes(2500, 4));
             link(f + "data", "data._001");
         },
         false,
         {{Stop,
           "Die Splittung wurde abgebrochen. Fehler bei Datei %1data._001: die Datei ist die zu "
           "splittende Datei selbst"}},
         {}},
        {"a dangling link gives way, its target is not created",
         "a.dat",
         [&](const std::string& f) { link(f + "a.dat._002", "aussen/neu"); },
         false,
         {},
         fragmentsOf("a.dat")},
        {"a FIFO under a fragment's name stops it before it writes",
         "a.dat",
         [&](const std::string& f) { fifo(f + "a.dat._002"); },
         false,
         {{Stop, "Die Splittung wurde abgebrochen. Fehler bei Datei %1a.dat._002: keine gewöhnliche Datei"}},
         {}},
        {"a folder likewise",
         "a.dat",
         [&](const std::string& f) { fs::create_directory(file(f + "a.dat._003")); },
         false,
         {{Stop, "Die Splittung wurde abgebrochen. Fehler bei Datei %1a.dat._003: keine gewöhnliche Datei"}},
         {}},
        {"a read-only hard-linked twin of an old fragment keeps its mode",
         "a.dat",
         [&](const std::string& f) {
             readOnly(f + "aussen/zwilling", "alt");
             fs::create_hard_link(file(f + "aussen/zwilling"), file(f + "a.dat._001"));
         },
         false,
         {},
         fragmentsOf("a.dat")},
        {"a source linked from another folder is split beside the link",
         "b.dat",
         [&](const std::string& f) {
             fs::rename(file(f + "b.dat"), file(f + "aussen/b.dat"));
             link(f + "b.dat", "aussen/b.dat");
         },
         false,
         {},
         fragmentsOf("b.dat")},
        {"a name the console cannot show gets no script",
         euro,
         none,
         true,
         {{Info, "Für " + QString::fromStdString(euro) +
                     " kann keine Batchdatei erzeugt werden: das Zeichen „€“ kann die Eingabeaufforderung "
                     "(Codepage 850) nicht darstellen."}},
         fragmentsOf(euro)},
        {"newline, tab and a leading dash",
         odd,
         none,
         true,
         {{Info,
           "Für " + QString::fromStdString(odd) +
               " kann keine Batchdatei erzeugt werden: der Name enthält Zeichen, die unter Windows nicht "
               "erlaubt sind."}},
         fragmentsOf(odd)},
        {"a name that is not UTF-8 is neither listed nor deleted",
         "a.dat",
         [&](const std::string& f) {
             writeFile(file(f + "a.dat._0\xFF"
                                "1"),
                       std::string("fremd"));
         },
         false,
         {},
         fragmentsOf("a.dat")},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string folder = "fall" + std::to_string(++index) + "/";
        fs::create_directories(dir.path() / folder / "aussen");
        writeFile(file(folder + c.source), patternBytes(2500));
        c.setup(folder);
        const Snapshot before = snapshot(dir.path() / folder);
        control<QCheckBox>("Check1")->setChecked(c.script);
        // Typed, not chosen: the path may hold what a dialog would not show.
        control<QLineEdit>("Text1")->setText(qfile(folder + c.source));
        setSize("1");
        split();
        // A split that writes fragments writes their checksum file too.
        Set written = c.inside;
        if (!written.empty()) {
            written.insert(c.source + ".sfv");
        }
        expectOutcome(c.what, folder, before, c.messages, written);
        if (!c.inside.empty()) {
            QStringList listed;
            for (const auto& name : c.inside) {
                listed << QString::fromStdString(name);
            }
            EXPECT_EQ(entries("List1"), listed) << c.what;
        }
    }
}

// The join of x.dat._001 (1024 bytes) and ._002 (500 bytes) into "ziel", and the deletion after it.
TEST_F(OutsideTheSet, JoinAndDeletion) {
    // `setup` runs before the set is listed, `beforeJoin` after; the fragments are named after `set`.
    struct Case {
        const char* what;
        std::function<void(const std::string& folder)> setup;
        std::function<void(const std::string& folder)> beforeJoin;
        bool thenDelete;
        Messages messages;
        Set inside;
        std::string set = "x.dat";
    };
    const auto none = [](const std::string&) {};
    const std::string odd = "-a\tb\nc.dat";
    const QString changed =
        "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei %1x.dat._002: die Datei hat "
        "sich während des Zusammenfügens geändert";
    const Case cases[] = {
        {"a target that links to a read-only file elsewhere is replaced itself",
         [&](const std::string& f) {
             readOnly(f + "aussen/nur-lesen", "alt");
             link(f + "ziel", "aussen/nur-lesen");
         },
         none,
         false,
         {},
         {"ziel"}},
        {"a fragment that links to a read-only file elsewhere is read through it and deleted itself",
         [&](const std::string& f) {
             readOnly(f + "aussen/nur-lesen", "teil");
             link(f + "x.dat._002", "aussen/nur-lesen");
         },
         none,
         true,
         {{QMessageBox::Question, "Dateifragmente jetzt  löschen ?"}},
         {"ziel", "x.dat._001", "x.dat._002"}},
        {"a listed fragment that became a FIFO is not waited on",
         none,
         [&](const std::string& f) { fifo(f + "x.dat._002"); },
         false,
         {{Warn, "Die Datei %1x.dat._002 kann nicht gelesen werden: keine gewöhnliche Datei"}},
         {}},
        {"a fragment that grows while the join runs keeps the old target",
         [&](const std::string& f) { writeFile(file(f + "ziel"), std::string("alt")); },
         // Fires when the join first yields, before the first fragment.
         [&](const std::string& f) {
             QTimer::singleShot(0, &window,
                                [this, f] { std::ofstream(file(f + "x.dat._002"), std::ios::app) << "!"; });
         },
         false,
         {{Stop, changed}},
         {"x.dat._002"}},
        {"newline, tab and a leading dash",
         none,
         none,
         true,
         {{QMessageBox::Question, "Dateifragmente jetzt  löschen ?"}},
         {"ziel", odd + "._001", odd + "._002"},
         odd},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string folder = "fall" + std::to_string(++index) + "/";
        fs::create_directories(dir.path() / folder / "aussen");
        writeFile(file(folder + c.set + "._001"), patternBytes(1024, 1));
        writeFile(file(folder + c.set + "._002"), patternBytes(500, 2));
        c.setup(folder);
        chooseFirst(folder + c.set + "._001");
        c.beforeJoin(folder);
        const Snapshot before = snapshot(dir.path() / folder);
        join(file(folder + "ziel"));
        if (c.thenDelete) {
            fake.answers = {QMessageBox::Yes};
            click(control<QPushButton>("Command2"));
        }
        expectOutcome(c.what, folder, before, c.messages, c.inside);
    }
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
        expectOutcome("split", "", before, {{Info, "Die Datei %1x.dat" + busy}}, {});
        join(file("ziel"));
        expectOutcome("join", "", before, {{Info, "Die Datei %1x.dat._001" + busy}}, {});
        EXPECT_TRUE(picker.requests.empty()) << "refused before the target is asked for";
        fake.shown.clear();
        fake.answers = {QMessageBox::Yes};
        click(control<QPushButton>("Command2"));
        expectOutcome("deletion", "", before,
                      {{QMessageBox::Question, "Dateifragmente jetzt  löschen ?"},
                       {Info, "Die Datei %1x.dat._001" + busy}},
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
    ASSERT_EQ(::mkfifo(file("rohr._001").c_str(), 0644), 0);
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
