// The command line: split, join and crc with their output, each refusal once in its words and exit
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

namespace testsupport {
namespace {

using Names = std::vector<std::string>;

struct Result {
    int status;
    std::string out, err;
    bool operator==(const Result&) const = default;
};
void PrintTo(const Result& result, std::ostream* out) {
    *out << "status " << result.status << ", out \"" << result.out << "\", err \"" << result.err << '"';
}
Result refused(const std::string& message, int status = 1) {
    return {status, "", message + '\n'};
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
    TempDir dir;
    cli::Console console;  // German, no terminal
};

std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    return std::string(text, std::strftime(text, sizeof text, "%d.%m.%y", std::localtime(&now)));
}

const std::string kSplit3 =
    "Quelldatei  (Byte): 2.148 = 3 KB\nDateifragmente: 3 von 3\nFragmente (Byte): 2.148 = 3 KB\n";

// Split with the script dated today; the default target is the source, replaced only when asked to;
// crc names what it cannot read and goes on.
TEST_F(CommandLine, SplitJoinCrc) {
    const std::string source = make("Beispiel.DAT", 2148), whole = readFile(source), day = today();
    EXPECT_EQ(run({"split", "--size", "1", "--script", source}),
              (Result{0, kSplit3 + "Batchdatei Beispiel.bat wurde erzeugt !\n", ""}));
    const std::string script = readFile(dir.file("Beispiel.bat"));
    const auto dated = [&](const std::string& date) {
        return script.find("echo wurde am: " + date + " gesplittet.\r\n") != std::string::npos;
    };
    EXPECT_TRUE(dated(day) || dated(today())) << script;
    EXPECT_EQ(run({"join", source + "._002"}),
              refused("Die Zieldatei " + source + " existiert bereits. Mit --force wird sie ersetzt."));
    const std::string copy = dir.file("Kopie.dat");
    EXPECT_EQ(run({"join", "-o", copy, source + "._001"}),
              (Result{0, "Zusammengefügte Datei: " + copy + "\nDateigrösse (Byte): 2.148 = 3 KB\n", ""}));
    std::filesystem::remove(source);
    EXPECT_EQ(run({"join", source + "._001"}).status + run({"join", "-f", source + "._001"}).status, 0);
    EXPECT_EQ(std::pair(readFile(source), readFile(copy)), std::pair(whole, whole));
    const std::string digits = dir.file("ziffern"), gone = dir.file("fehlt");
    writeFile(digits, std::string("123456789"));
    EXPECT_EQ(run({"crc", digits, gone, digits}),
              (Result{1, "CBF43926  " + digits + "\nCBF43926  " + digits + '\n',
                      "Die Datei " + gone + " kann nicht gelesen werden: " + germanReason(ENOENT) + '\n'}));
    EXPECT_EQ(run({"split", "--no-sfv", "-s", "1", source}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(source + ".sfv"));
}

// The command line's own words for the join's refusals; of the texts it shares with the window (checked
// there), one of each way out: a refused split, a failed one, a set in use, a damaged fragment.
TEST_F(CommandLine, Refusals) {
    const std::string x = make("x.dat", 100), c = make("c.dat", 2148);
    EXPECT_EQ(run({"split", "-s", "0", x}), refused("Ungültige Dateifragmentgröße !"));
    fileio::testing::setWriteFault(
        [](const std::string& path, std::size_t) { return path.ends_with("._002") ? ENOSPC : 0; });
    EXPECT_EQ(run({"split", "-s", "1", c}), refused("Die Splittung wurde abgebrochen. Fehler bei Datei " + c +
                                                    "._002: " + germanReason(ENOSPC)));
    fileio::testing::setWriteFault({});
    {
        const LockHolder other(x);
        EXPECT_EQ(run({"split", x}),
                  refused("Die Datei " + x + " wird gerade von einem anderen Vorgang bearbeitet."));
    }
    EXPECT_EQ(run({"join", x}), refused("Keine Dateifragmente zu " + x +
                                        " gefunden ! Bitte das erste Dateifragment (*._001) angeben."));
    const std::string first = make("b.dat._001", 700), fourth = make("b.dat._004", 700);
    make("b.txt._001", 5);
    EXPECT_EQ(
        run({"join", "--allow-gap", first}),
        refused("Neben dem ersten Fragment liegen Dateifragmente von verschiedenen Dateien (b.dat._001, "
                "b.txt._001). Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im "
                "Verzeichnis. Überflüssige Fragmente müssen im Verzeichnis gelöscht oder in einen anderen "
                "Ordner verschoben werden."));
    std::filesystem::remove(dir.file("b.txt._001"));
    EXPECT_EQ(run({"join", first}),
              refused("In der Nummerierung fehlt Fragment 002 (b.dat._002). Mit --allow-gap "
                      "werden die übrigen Fragmente trotzdem zusammengefügt."));
    EXPECT_EQ(
        run({"join", "--allow-gap", "-f", "--output", fourth, first}),
        refused("Die Zieldatei " + fourth +
                " ist selbst eines der Fragmente. Bitte mit --output einen anderen Dateinamen angeben."));
    ASSERT_EQ(run({"split", "-s", "1", c}).status, 0);
    writeFile(c + "._003", std::string(100, 'x'));
    const Result bad = run({"join", "-f", c + "._001"});
    EXPECT_TRUE(bad.status == 1 && bad.err.starts_with("Das Fragment c.dat._003 ist beschädigt (CRC32 "))
        << bad.err;
    std::filesystem::remove(c + "._002");
    EXPECT_EQ(run({"join", c + "._001"}),
              refused("Fragmentdatei " + c +
                      "._002 wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. "
                      "Dateiverzeichnis überprüfen !"));
}

// On a terminal: the progress as one line each step overwrites, blanked at the end; the question before
// an existing target is replaced, asked only where it can be answered; no answer is no yes.
TEST_F(CommandLine, TerminalProgressAndQuestion) {
    console.errorIsTerminal = true;
    const std::string source = make("t.dat", 2148);
    EXPECT_EQ(run({"split", "-s1", source}),
              (Result{0, kSplit3,
                      "\rDateifragmente: 1 von 3\rDateifragmente: 2 von 3\r" + std::string(23, ' ') + '\r'}));
    std::istringstream typed("nein\nJa \n");
    console.input = &typed;
    EXPECT_EQ(run({"join", source + "._001"}).err,
              "Die Zieldatei " + source + " existiert bereits. Mit --force wird sie ersetzt.\n");
    console.inputIsTerminal = true;
    writeFile(source, std::string("alt"));
    const std::string question = "Die Zieldatei " + source + " existiert bereits. Ersetzen? (j/n) ";
    EXPECT_EQ(run({"join", source + "._001"}), (Result{1, "", question}));
    EXPECT_EQ(readFile(source), "alt");
    std::string progress;  // the checksum file's fragments are checked first; as wide as the widest text
    for (const char* step : {"prüfe Fragment: ", "add Fragment: "}) {
        for (const char* number : {"1", "2", "3"}) {
            const std::string text = step + std::string(number) + " von 3";
            progress += '\r' + text + std::string(progress.empty() ? 0 : 24 - text.size(), ' ');
        }
    }
    const Result yes = run({"join", source + "._001"});
    EXPECT_EQ(std::pair(yes.status, yes.err),
              std::pair(0, question + progress + '\r' + std::string(24, ' ') + '\r'));
    EXPECT_EQ(readFile(source).size(), 2148u);
    EXPECT_EQ(run({"join", source + "._001"}).status, 1);
}

TEST_F(CommandLine, UsageHelpAndLaunch) {
    const std::string f = make("u.dat", 10);
    const std::pair<Names, std::string> errors[] = {
        {{}, "Es fehlt der Befehl: split, join oder crc."},
        {{"--", "split"}, "Unbekannter Befehl: split"},
        {{"split", "--bogus", f}, "Unbekannte Option: --bogus"},
        {{"split", "--script=ja", f}, "Unbekannte Option: --script=ja"},
        {{"crc", "-s", "1", f}, "Unbekannte Option: -s"},
        {{"split", f, "-s"}, "Die Option -s braucht einen Wert."},
        {{"split", "--size=12a", f}, "Fragmentgröße kein numerischer Wert !"},
        {{"crc", "--"}, "Es fehlt der Dateiname."},
        {{"split", f, f}, "Es ist nur ein Dateiname erlaubt."}};
    for (const auto& [args, message] : errors) {
        EXPECT_EQ(run(args), refused(message + "\nHilfe: dodiveverazed --help", 2));
    }
    EXPECT_EQ(run({"split", f, "--no-sfv", "-s", "1"}).status, 0);  // options may follow the file
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

    // The window, with the file it is given ("" for none), or "cli".
    const std::pair<Names, std::string> launches[] = {{{}, ""},
                                                      {{"a.dat"}, "a.dat"},
                                                      {{"-"}, "-"},
                                                      {{"--", "-x"}, "-x"},
                                                      {{"--"}, ""},
                                                      {{"crc"}, "cli"},
                                                      {{"-h"}, "cli"},
                                                      {{"--version"}, "cli"},
                                                      {{"a", "b"}, "cli"},
                                                      {{"--", "a", "b"}, "cli"}};
    for (const auto& [args, expected] : launches) {
        const cli::Launch launch = cli::launchFor(args);
        EXPECT_EQ(launch.window ? launch.file.value_or("") : "cli", expected) << args.size();
    }
}

// Runs `program` in `folder` without a display (`platform` as Qt's platform when given).
Result runProgram(const std::string& program, const Names& args, const TempDir& folder,
                  const std::string& platform = {}) {
    const TempDir outputs;
    std::string command = "cd '" + folder.utf8() + "' && ulimit -c 0 && env -u DISPLAY -u WAYLAND_DISPLAY " +
                          "-u QT_QPA_PLATFORM " + (platform.empty() ? "" : "QT_QPA_PLATFORM=" + platform) +
                          " '" + program + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    const int status =
        std::system((command + " </dev/null >" + outputs.file("1") + " 2>" + outputs.file("2")).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outputs.file("1")),
            readFile(outputs.file("2"))};
}

// Help and version need no display; names are relative to the working directory, one after "--" may look
// like an option. What opens the window fails at once on a Qt platform that does not exist and names it.
TEST(Programs, AsAUserStartsThem) {
    const TempDir dir;
    writeFile(dir.file("split"), patternBytes(2148));
    writeFile(dir.file("-x"), std::string("123456789"));
    Names programs{CLI_PROGRAM};
#ifdef WINDOW_PROGRAM
    programs.emplace_back(WINDOW_PROGRAM);
    for (const Names& args : {Names{}, Names{"--", "split"}}) {
        const Result window = runProgram(WINDOW_PROGRAM, args, dir, "keine");
        EXPECT_TRUE(window.status != 0 && window.err.find("\"keine\"") != std::string::npos) << window.err;
    }
    EXPECT_EQ(runProgram(WINDOW_PROGRAM, {"-x", "split"}, dir, "keine"),
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
        EXPECT_EQ(readFile(dir.file("split")).size(), 2148u);
        EXPECT_EQ(runProgram(program, {"crc", "--", "-x"}, dir), (Result{0, "CBF43926  -x\n", ""}));
    }
}

}  // namespace
}  // namespace testsupport
