// The command line: split, join and crc with their output, each refusal once with its words and exit
// status, what a terminal sees, usage errors; and the executables as a user starts them.

#include "cli/cli.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <sstream>

#include "dodiveverazed/project.hpp"
#include "fileio/files.hpp"
#include "support/Reasons.hpp"
#include "support/SetScene.hpp"
#include "support/TempDir.hpp"

namespace testsupport {
namespace {

using Names = std::vector<std::string>;

struct Result {
    int status;
    std::string out;
    std::string err;
    bool operator==(const Result&) const = default;
};
void PrintTo(const Result& result, std::ostream* out) {
    *out << "status " << result.status << ", out \"" << result.out << "\", err \"" << result.err << '"';
}
Result refused(const std::string& message, int status = 1) {
    return {status, "", message + '\n'};
}
Result usage(const std::string& message) {
    return refused(message + "\nHilfe: dodiveverazed --help", 2);
}

class CommandLine : public ::testing::Test {
  protected:
    Result run(const Names& args) {
        std::ostringstream out, err;
        const int status = cli::run(args, out, err, console);
        return {status, out.str(), err.str()};
    }
    std::string make(const std::string& name, std::size_t size) {
        writeFile(dir.file(name), patternBytes(size, static_cast<std::uint32_t>(name.size())));
        return dir.file(name);
    }
    const std::string splitResult =
        "Quelldatei  (Byte): 2.148 = 3 KB\nDateifragmente: 3 von 3\nFragmente (Byte): 2.148 = 3 KB\n";
    TempDir dir;
    cli::Console console;  // German, no terminal
};

std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    return std::string(text, std::strftime(text, sizeof text, "%d.%m.%y", std::localtime(&now)));
}

// Split with the script, join beside and under another name, and the CRCs of source and copy agree.
TEST_F(CommandLine, SplitJoinCrc) {
    const std::string source = make("Beispiel.DAT", 2148), whole = readFile(source), day = today();
    EXPECT_EQ(run({"split", "--size", "1", "--script", source}),
              (Result{0, splitResult + "Batchdatei Beispiel.bat wurde erzeugt !\n", ""}));
    const std::string script = readFile(dir.file("Beispiel.bat"));
    const auto dated = [&](const std::string& date) {
        return script.find("\r\necho wurde am: " + date + " gesplittet.\r\n") != std::string::npos;
    };
    EXPECT_TRUE(dated(day) || dated(today())) << script;
    // The default target is the source itself, replaced only when asked to.
    EXPECT_EQ(run({"join", source + "._002"}),
              refused("Die Zieldatei " + source + " existiert bereits. Mit --force wird sie ersetzt."));
    const std::string copy = dir.file("Kopie.dat");
    EXPECT_EQ(run({"join", "-o", copy, source + "._001"}),
              (Result{0, "Zusammengefügte Datei: " + copy + "\nDateigrösse (Byte): 2.148 = 3 KB\n", ""}));
    std::filesystem::remove(source);
    EXPECT_EQ(run({"join", source + "._001"}).status, 0);
    EXPECT_EQ(run({"join", "-f", source + "._001"}).status, 0);
    EXPECT_EQ(std::pair(readFile(source), readFile(copy)), std::pair(whole, whole));
    writeFile(dir.file("ziffern"), std::string("123456789"));
    EXPECT_EQ(run({"crc", dir.file("ziffern"), dir.file("fehlt"), dir.file("ziffern")}),
              (Result{1, "CBF43926  " + dir.file("ziffern") + "\nCBF43926  " + dir.file("ziffern") + '\n',
                      "Die Datei " + dir.file("fehlt") +
                          " kann nicht gelesen werden: " + germanReason(ENOENT) + '\n'}));
    EXPECT_EQ(run({"split", "--no-sfv", "-s", "1", source}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(source + ".sfv"));
}

// Each refusal of split and join once, in the command line's words; nothing is written by a refused one.
TEST_F(CommandLine, Refusals) {
    const std::string big = make("gross.dat", 1022977), x = make("x.dat", 100), c = make("c.dat", 2148);
    const std::string busy = " wird gerade von einem anderen Vorgang bearbeitet.";
    const std::string tooMany =
        "Die Anzahl der entstehenden Dateifragmente ist zu gross (1000). Die Anzahl der "
        "entstehenden Dateifragmente darf 999 nicht überschreiten. Bitte die "
        "Dateifragmentgrösse erhöhen.";
    const std::pair<Names, Result> splits[] = {
        {{"split", dir.file("fehlt")},
         refused("Die Datei " + dir.file("fehlt") + " kann nicht gelesen werden: " + germanReason(ENOENT))},
        {{"split", "-s", "0", x}, refused("Ungültige Dateifragmentgröße !")},
        {{"split", "-s", "-5", x}, refused("Zu wenig Speicher. Fragmentgrösse zu gross gewählt!")},
        {{"split", "-s", "2097152", x}, refused("Zu wenig Speicher. Fragmentgrösse zu gross gewählt!")},
        {{"split", "-s", "1", big}, refused(tooMany)}};
    for (const auto& [args, expected] : splits) {
        EXPECT_EQ(run(args), expected) << args[2];
        EXPECT_EQ(filesIn(dir.path()), (Names{"c.dat", "gross.dat", "x.dat"}));
    }
    {
        const LockHolder other(x);
        ASSERT_TRUE(other.held());
        EXPECT_EQ(run({"split", x}), refused("Die Datei " + x + busy));
    }
    const std::string odd = make("a?b.dat", 100);
    EXPECT_EQ(
        run({"split", "--script", odd}),
        (Result{1, "Quelldatei  (Byte): 100 = 1 KB\nDateifragmente: 1 von 1\nFragmente (Byte): 100 = 1 KB\n",
                "Für a?b.dat kann keine Batchdatei erzeugt werden: der Name enthält Zeichen, die unter "
                "Windows nicht erlaubt sind.\n"}));
    fileio::testing::setWriteFault(
        [](const std::string& path, std::size_t) { return path.ends_with("._002") ? ENOSPC : 0; });
    EXPECT_EQ(run({"split", "-s", "1", c}), refused("Die Splittung wurde abgebrochen. Fehler bei Datei " + c +
                                                    "._002: " + germanReason(ENOSPC)));
    fileio::testing::setWriteFault({});

    const std::string first = make("b.dat._001", 700);
    make("b.dat._002", 700);
    make("b.dat._004", 700);
    make("b.txt._001", 5);
    EXPECT_EQ(run({"join", x}), refused("Keine Dateifragmente zu " + x +
                                        " gefunden ! Bitte das erste Dateifragment (*._001) angeben."));
    EXPECT_EQ(
        run({"join", "--allow-gap", first}),
        refused("Neben dem ersten Fragment liegen Dateifragmente von verschiedenen Dateien (b.dat._001, "
                "b.txt._001). Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im "
                "Verzeichnis. Überflüssige Fragmente müssen im Verzeichnis gelöscht oder in einen anderen "
                "Ordner verschoben werden."));
    std::filesystem::remove(dir.file("b.txt._001"));
    EXPECT_EQ(run({"join", first}),
              refused("In der Nummerierung fehlt Fragment 003 (b.dat._003). Mit --allow-gap "
                      "werden die übrigen Fragmente trotzdem zusammengefügt."));
    const std::string fourth = dir.file("./b.dat._004");
    EXPECT_EQ(run({"join", "--allow-gap", "-f", "--output", fourth, first}),
              refused("Die Zieldatei " + fourth +
                      " ist selbst eines der Fragmente. Bitte mit --output einen "
                      "anderen Dateinamen angeben."));
    {
        const LockHolder other(dir.file("b.dat"));
        ASSERT_TRUE(other.held());
        EXPECT_EQ(run({"join", "--allow-gap", first}), refused("Die Datei " + first + busy));
    }
    fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    EXPECT_EQ(run({"join", "--allow-gap", first}),
              refused("Das Zusammenfügen wurde abgebrochen. Fehler bei Datei " + dir.file("b.dat") + ": " +
                      germanReason(ENOSPC)));
    fileio::testing::setWriteFault({});
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.dat")));

    // With a checksum file: a damaged fragment, and one it names that is missing.
    ASSERT_EQ(run({"split", "-s", "1", c}).status, 0);
    std::string damaged = readFile(c + "._003");
    damaged[99] = static_cast<char>(damaged[99] ^ 0x10);
    writeFile(c + "._003", damaged);
    const Result bad = run({"join", "-o", dir.file("kopie"), c + "._001"});
    EXPECT_TRUE(bad.status == 1 && bad.err.starts_with("Das Fragment c.dat._003 ist beschädigt (CRC32 ") &&
                bad.err.ends_with("). Bitte das Fragment erneut kopieren.\n"))
        << bad.err;
    std::filesystem::remove(c + "._002");
    EXPECT_EQ(run({"join", "-o", dir.file("kopie"), c + "._001"}),
              refused("Fragmentdatei " + c +
                      "._002 wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. "
                      "Dateiverzeichnis überprüfen !"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("kopie")));
}

// A folder that cannot be written gets its own words (as nobody, where permission bits hold).
TEST_F(CommandLine, UnwritableFolder) {
    const std::string source = make("x.dat", 2148);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 &&
                      run({"split", "-s", "1", source}) ==
                          refused(
                              "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. Bitte "
                              "die zu splittende Datei vor der Splittung auf einen beschreibbaren "
                              "Datenträger kopieren!")
                  ? 0
                  : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
}

// On a terminal: the progress as one line that each step overwrites and that is blanked at the end,
// and the question before an existing target is replaced; no answer is no yes.
TEST_F(CommandLine, TerminalProgressAndQuestion) {
    console.errorIsTerminal = true;
    const std::string source = make("t.dat", 2148);
    EXPECT_EQ(run({"split", "-s1", source}),
              (Result{0, splitResult,
                      "\rDateifragmente: 1 von 3\rDateifragmente: 2 von 3\r" + std::string(23, ' ') + '\r'}));
    std::istringstream typed("nein\nJa \n");
    console.input = &typed;
    const std::string question = "Die Zieldatei " + source + " existiert bereits. Ersetzen? (j/n) ";
    EXPECT_EQ(run({"join", source + "._001"}).err,
              "Die Zieldatei " + source + " existiert bereits. Mit --force wird sie ersetzt.\n");
    console.inputIsTerminal = true;
    writeFile(source, std::string("alt"));
    EXPECT_EQ(run({"join", source + "._001"}), (Result{1, "", question}));
    EXPECT_EQ(readFile(source), "alt");
    const Result yes = run({"join", source + "._001"});
    std::string progress;  // the checksum file's fragments are checked first; as wide as the widest text
    for (const char* step : {"prüfe Fragment: ", "add Fragment: "}) {
        for (const char* number : {"1", "2", "3"}) {
            const std::string text = step + std::string(number) + " von 3";
            progress += '\r' + text + std::string(progress.empty() ? 0 : 24 - text.size(), ' ');
        }
    }
    EXPECT_EQ(std::pair(yes.status, yes.err),
              std::pair(0, question + progress + '\r' + std::string(24, ' ') + '\r'));
    EXPECT_EQ(readFile(source).size(), 2148u);
    EXPECT_EQ(run({"join", source + "._001"}).status, 1);
}

TEST_F(CommandLine, UsageHelpVersionAndLaunch) {
    const std::string source = make("u.dat", 10);
    const std::pair<Names, std::string> errors[] = {
        {{}, "Es fehlt der Befehl: split, join oder crc."},
        {{"teilen", source}, "Unbekannter Befehl: teilen"},
        {{"--", "split"}, "Unbekannter Befehl: split"},
        {{"split", "--bogus", source}, "Unbekannte Option: --bogus"},
        {{"split", "--script=ja", source}, "Unbekannte Option: --script=ja"},
        {{"crc", "-s", "1", source}, "Unbekannte Option: -s"},
        {{"split", source, "-s"}, "Die Option -s braucht einen Wert."},
        {{"join", "--output"}, "Die Option --output braucht einen Wert."},
        {{"split", "--size=12a", source}, "Fragmentgröße kein numerischer Wert !"},
        {{"crc", "--"}, "Es fehlt der Dateiname."},
        {{"split", source, source}, "Es ist nur ein Dateiname erlaubt."}};
    for (const auto& [args, message] : errors) {
        EXPECT_EQ(run(args), usage(message));
    }
    EXPECT_EQ(filesIn(dir.path()), Names{"u.dat"});
    EXPECT_EQ(run({"split", source, "--no-sfv", "-s", "1"}).status, 0);  // options may follow the file
    for (const Names& args : {Names{"-h"}, Names{"join", "--help"}, Names{"crc", "--help", "a"}}) {
        const Result help = run(args);
        EXPECT_TRUE(help.status == 0 && help.err.empty() &&
                    help.out.starts_with("Aufruf:\n  dodiveverazed [DATEI]    öffnet das Fenster"))
            << help.out;
    }
    console.program = "dodiveverazed-cli";
    console.opensWindow = false;
    EXPECT_TRUE(run({"-h"}).out.starts_with(
        "Aufruf:\n  dodiveverazed-cli split [-s KB] [--script] [--no-sfv] DATEI\n"));
    EXPECT_EQ(run({"x"}), refused("Unbekannter Befehl: x\nHilfe: dodiveverazed-cli --help", 2));

    using Launch = std::pair<bool, std::optional<std::string>>;
    const std::pair<Names, Launch> launches[] = {{{}, {true, std::nullopt}},
                                                 {{"a.dat"}, {true, "a.dat"}},
                                                 {{"-"}, {true, "-"}},
                                                 {{"--", "split"}, {true, "split"}},
                                                 {{"--"}, {true, std::nullopt}},
                                                 {{"split"}, {false, std::nullopt}},
                                                 {{"-h"}, {false, std::nullopt}},
                                                 {{"--version"}, {false, std::nullopt}},
                                                 {{"-x"}, {false, std::nullopt}},
                                                 {{"--", "a", "b"}, {false, std::nullopt}},
                                                 {{"a", "b"}, {false, std::nullopt}}};
    for (const auto& [args, expected] : launches) {
        const cli::Launch found = cli::launchFor(args);
        EXPECT_EQ(Launch(found.window, found.file), expected) << args.size();
    }
}

// Runs `program` in `folder` without a display (`platform` as Qt's platform when given): status, out, err.
Result runProgram(const std::string& program, const Names& args, const TempDir& folder,
                  const std::string& platform = {}) {
    const TempDir outputs;
    std::string command = "cd '" + folder.utf8() +
                          "' && ulimit -c 0 && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                          (platform.empty() ? "" : "QT_QPA_PLATFORM=" + platform) + " '" + program + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    const int status = std::system(
        (command + " </dev/null >'" + outputs.file("out") + "' 2>'" + outputs.file("err") + "'").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outputs.file("out")),
            readFile(outputs.file("err"))};
}

// Help and version need no display; names are taken as given, relative to the working directory. With a
// Qt platform that does not exist, what opens the window fails at once and names it; the rest never
// gets that far.
TEST(Programs, AsAUserStartsThem) {
    const TempDir dir;
    writeFile(dir.file("split"), patternBytes(2148));
    writeFile(dir.file("-x"), std::string("123456789"));
    Names programs{CLI_PROGRAM};
#ifdef WINDOW_PROGRAM
    programs.emplace_back(WINDOW_PROGRAM);
    for (const Names& args : {Names{}, Names{"--", "split"}}) {
        const Result window = runProgram(WINDOW_PROGRAM, args, dir, "dodiveverazed-none");
        EXPECT_TRUE(window.status != 0 && window.err.find("\"dodiveverazed-none\"") != std::string::npos)
            << window.err;
    }
    EXPECT_EQ(runProgram(WINDOW_PROGRAM, {"-x", "split"}, dir, "dodiveverazed-none"),
              refused("Unbekannte Option: -x\nHilfe: dodiveverazed --help", 2));
#endif
    for (const std::string& program : programs) {
        const Result help = runProgram(program, {"--help"}, dir);
        EXPECT_TRUE(help.status == 0 && help.err.empty() && help.out.starts_with("Aufruf:\n") &&
                    help.out.ends_with("Exit-Status: 0 Erfolg, 1 Fehler, 2 falscher Aufruf.\n"))
            << help.out;
        EXPECT_EQ(runProgram(program, {"--version"}, dir),
                  (Result{0, "dodiveverazed " + std::string(dodiveverazed::version) + '\n', ""}));
        EXPECT_EQ(runProgram(program, {"split", "-s", "1", "split"}, dir).status, 0);
        EXPECT_EQ(runProgram(program, {"join", "-f", "split._001"}, dir).status, 0);
        EXPECT_EQ(readFile(dir.file("split")), readFile(dir.file("split._001")) +
                                                   readFile(dir.file("split._002")) +
                                                   readFile(dir.file("split._003")));
        EXPECT_EQ(runProgram(program, {"crc", "--", "-x"}, dir), (Result{0, "CBF43926  -x\n", ""}));
    }
}

}  // namespace
}  // namespace testsupport
