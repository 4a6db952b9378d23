// The command line on real files, in the test's own process: split, join and crc with their results,
// refusals and exit statuses, and what a terminal sees.

#include "cli/cli.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "dodiveverazed/project.hpp"
#include "fileio/files.hpp"
#include "support/Reasons.hpp"
#include "support/SetScene.hpp"
#include "support/TempDir.hpp"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::string reason(int error) {
    return testsupport::germanReason(error);
}

std::string cannotRead(const std::string& path, int error) {
    return "Die Datei " + path + " kann nicht gelesen werden: " + reason(error);
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    return std::string(text, std::strftime(text, sizeof text, "%d.%m.%y", std::localtime(&now)));
}

std::string crcOf(const std::string& path) {
    clsCRC32 calculator;
    return checksum::crcText(checksum::fileCrc32(path, calculator));
}

// Results compare whole: status, standard output and standard error.
struct Result {
    int status;
    std::string out;
    std::string err;
    bool operator==(const Result&) const = default;
};
void PrintTo(const Result& result, std::ostream* out) {
    *out << "status " << result.status << ", out \"" << result.out << "\", err \"" << result.err << '"';
}

Result refused(int status, const std::string& message) {
    return {status, "", message + '\n'};
}
Result usage(const std::string& message) {
    return refused(2, message + "\nHilfe: dodiveverazed --help");
}

class CommandLine : public ::testing::Test {
  protected:
    Result run(const Names& args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::run(args, out, err, console);
        return {status, out.str(), err.str()};
    }
    std::string file(const std::string& name) const { return dir.file(name); }
    std::string make(const std::string& name, std::size_t size) {
        writeFile(file(name), patternBytes(size, static_cast<std::uint32_t>(name.size())));
        return file(name);
    }
    // What a split of 2148 bytes into 1 kB fragments prints.
    const std::string splitResult =
        "Quelldatei  (Byte): 2.148 = 3 KB\nDateifragmente: 3 von 3\nFragmente (Byte): 2.148 = 3 KB\n";

    TempDir dir;
    // German settings, no terminal.
    cli::Console console;
};

// Split with the script, join beside and under another name, and the CRCs of source and copy agree.
TEST_F(CommandLine, SplitJoinCrcRoundTrip) {
    const std::string source = make("Beispiel.DAT", 2148);
    for (const char* old : {"._004", "._005"}) {
        writeFile(source + old, std::string("alt"));
    }
    const std::string day = today();
    EXPECT_EQ(run({"split", "--size", "1", "--script", source}),
              (Result{0, splitResult + "Batchdatei Beispiel.bat wurde erzeugt !\n", ""}));
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.DAT", "Beispiel.DAT._001", "Beispiel.DAT._002",
                                          "Beispiel.DAT._003", "Beispiel.DAT.sfv", "Beispiel.bat"}));
    // The script's date line, in the German short form.
    const std::string script = readFile(file("Beispiel.bat"));
    const auto dated = [&](const std::string& date) {
        return script.find("]\r\necho wurde am: " + date + " gesplittet.\r\n") != std::string::npos;
    };
    EXPECT_TRUE(dated(day) || dated(today())) << script;

    // The default target is the source itself: replaced only when asked to.
    const std::string whole = readFile(source);
    EXPECT_EQ(run({"join", source + "._002"}),
              refused(1, "Die Zieldatei " + source + " existiert bereits. Mit --force wird sie ersetzt."));
    const std::string copy = file("Kopie.dat");
    EXPECT_EQ(run({"join", "-o", copy, source + "._001"}),
              (Result{0, "Zusammengefügte Datei: " + copy + "\nDateigrösse (Byte): 2.148 = 3 KB\n", ""}));
    EXPECT_EQ(readFile(copy), whole);
    fs::remove(source);
    EXPECT_EQ(run({"join", source + "._001"}).status, 0);
    EXPECT_EQ(run({"join", "-f", source + "._001"}).status, 0);
    EXPECT_EQ(readFile(source), whole);

    // A file that cannot be read is reported, the others still get their line.
    writeFile(file("ziffern.txt"), std::string("123456789"));
    EXPECT_EQ(run({"crc", source, file("fehlt"), copy, file("ziffern.txt")}),
              (Result{1,
                      crcOf(source) + "  " + source + '\n' + crcOf(source) + "  " + copy + "\nCBF43926  " +
                          file("ziffern.txt") + '\n',
                      cannotRead(file("fehlt"), ENOENT) + '\n'}));
}

// The window's refusals, in its order: the old script and old fragments go even when the size is then
// refused. The sizes themselves are read as the size box reads them.
TEST_F(CommandLine, SplitRefusals) {
    EXPECT_EQ(run({"split", file("fehlt.dat")}), refused(1, cannotRead(file("fehlt.dat"), ENOENT)));
    const std::string source = make("Beispiel.dat", 4097);
    writeOwnScript(source);
    writeFile(source + "._001", std::string("alt"));
    EXPECT_EQ(run({"split", "-s", "0", source}), refused(1, "Ungültige Dateifragmentgröße !"));
    EXPECT_EQ(filesIn(dir.path()), Names{"Beispiel.dat"});
    for (const char* size : {"-5", "2097152"}) {
        EXPECT_EQ(run({"split", "-s", size, source}),
                  refused(1, "Zu wenig Speicher. Fragmentgrösse zu gross gewählt!"));
    }
    for (const char* size : {"12a", "", "99999999999"}) {
        EXPECT_EQ(run({"split", "--size=" + std::string(size), source}),
                  usage("Fragmentgröße kein numerischer Wert !"))
            << size;
    }
    // While another process works on the set, nothing changes.
    writeFile(source + "._001", std::string("alt"));
    {
        const LockHolder other(source);
        ASSERT_TRUE(other.held());
        const std::string busy = " wird gerade von einem anderen Vorgang bearbeitet.";
        EXPECT_EQ(run({"split", source}), refused(1, "Die Datei " + source + busy));
        EXPECT_EQ(run({"join", source + "._001"}), refused(1, "Die Datei " + source + "._001" + busy));
    }
    EXPECT_EQ(readFile(source + "._001"), "alt");

    const std::string large = make("gross.dat", 1022977);
    EXPECT_EQ(
        run({"split", "-s", "1", large}),
        refused(1,
                "Die Anzahl der entstehenden Dateifragmente ist zu gross (1000). Die Anzahl der "
                "entstehenden Dateifragmente darf 999 nicht überschreiten. Bitte die Dateifragmentgrösse "
                "erhöhen."));
    EXPECT_FALSE(fs::exists(large + "._001"));

    // No script for a name Windows cannot hold (the window's tests have every reason's words); the
    // fragments are written all the same.
    const std::string odd = make("a?b.dat", 100);
    EXPECT_EQ(
        run({"split", "--script", odd}),
        (Result{1, "Quelldatei  (Byte): 100 = 1 KB\nDateifragmente: 1 von 1\nFragmente (Byte): 100 = 1 KB\n",
                "Für a?b.dat kann keine Batchdatei erzeugt werden: der Name enthält Zeichen, die unter "
                "Windows nicht erlaubt sind.\n"}));
    EXPECT_TRUE(fs::exists(odd + "._001"));
}

// A full disk stops the split with the failing fragment named; a folder that cannot be written gets its
// own words (checked as nobody, where permission bits hold).
TEST_F(CommandLine, SplitFailures) {
    const std::string source = make("x.dat", 2148);
    fileio::testing::setWriteFault(
        [](const std::string& path, std::size_t) { return path.ends_with("._002") ? ENOSPC : 0; });
    const Result full = run({"split", "-s", "1", source});
    fileio::testing::setWriteFault({});
    EXPECT_EQ(full, refused(1, "Die Splittung wurde abgebrochen. Fehler bei Datei " + source +
                                   "._002: " + reason(ENOSPC)));
    for (const std::string& name : filesIn(dir.path())) {
        if (name != "x.dat") {
            fs::remove(file(name));
        }
    }
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 &&
                      run({"split", "-s", "1", source}) ==
                          refused(1,
                                  "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. "
                                  "Bitte die zu splittende Datei vor der Splittung auf einen beschreibbaren "
                                  "Datenträger kopieren!")
                  ? 0
                  : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    EXPECT_EQ(filesIn(dir.path()), Names{"x.dat"});
}

// The checksum file beside the fragments unless --no-sfv (which also takes our old one away); a damaged
// fragment and one it names that is missing are refused before anything is written.
TEST_F(CommandLine, ChecksumFileRefusesDamagedAndMissingFragments) {
    const std::string source = make("c.dat", 2148);
    EXPECT_EQ(run({"split", "-s", "1", source}).status, 0);
    const std::string third = source + "._003";
    const std::string expected = crcOf(third), good = readFile(third);
    std::string damaged = good;
    damaged[99] = static_cast<char>(damaged[99] ^ 0x10);
    writeFile(third, damaged);
    EXPECT_EQ(run({"join", "-o", file("kopie"), source + "._001"}),
              refused(1, "Das Fragment c.dat._003 ist beschädigt (CRC32 " + crcOf(third) + " statt " +
                             expected + "). Bitte das Fragment erneut kopieren."));
    writeFile(third, good);
    fs::remove(source + "._002");
    EXPECT_EQ(run({"join", "-o", file("kopie"), source + "._001"}),
              refused(1, "Fragmentdatei " + source +
                             "._002 wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateiverzeichnis "
                             "überprüfen !"));
    EXPECT_EQ(filesIn(dir.path()), (Names{"c.dat", "c.dat._001", "c.dat._003", "c.dat.sfv"}));
    EXPECT_EQ(run({"split", "--no-sfv", "-s", "1", source}).status, 0);
    EXPECT_EQ(filesIn(dir.path()), (Names{"c.dat", "c.dat._001", "c.dat._002", "c.dat._003"}));
}

// The set beside the first fragment, refused as the window refuses it, with the command line's words.
TEST_F(CommandLine, JoinRefusals) {
    EXPECT_EQ(run({"join", file("fehlt._001")}), refused(1, cannotRead(file("fehlt._001"), ENOENT)));
    make("Notiz.txt", 10);
    EXPECT_EQ(run({"join", file("Notiz.txt")}),
              refused(1, "Keine Dateifragmente zu " + file("Notiz.txt") +
                             " gefunden ! Bitte das erste Dateifragment (*._001) angeben."));

    std::string expected;
    for (const char* number : {"001", "002", "004"}) {
        expected += readFile(make("Beispiel.dat._" + std::string(number), 700));
    }
    const std::string first = file("Beispiel.dat._001");
    make("Beispiel.txt._001", 5);
    EXPECT_EQ(
        run({"join", "--allow-gap", first}),
        refused(1,
                "Neben dem ersten Fragment liegen Dateifragmente von verschiedenen Dateien "
                "(Beispiel.dat._001, Beispiel.txt._001). Wahrscheinlich befinden sich noch Fragmente von "
                "früheren Splittungen im Verzeichnis. Überflüssige Fragmente müssen im Verzeichnis "
                "gelöscht oder in einen anderen Ordner verschoben werden."));
    fs::remove(file("Beispiel.txt._001"));

    EXPECT_EQ(
        run({"join", first}),
        refused(1,
                "In der Nummerierung fehlt Fragment 003 (Beispiel.dat._003). Mit --allow-gap werden die "
                "übrigen Fragmente trotzdem zusammengefügt."));
    for (const char* target : {"Beispiel.dat._002", "./Beispiel.dat._004"}) {
        EXPECT_EQ(
            run({"join", "--allow-gap", "--force", "--output", file(target), first}),
            refused(1, "Die Zieldatei " + file(target) +
                           " ist selbst eines der Fragmente. Bitte mit --output einen anderen Dateinamen "
                           "angeben."));
    }
    fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    const Result full = run({"join", "--allow-gap", first});
    fileio::testing::setWriteFault({});
    EXPECT_EQ(full, refused(1, "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei " +
                                   file("Beispiel.dat") + ": " + reason(ENOSPC)));
    EXPECT_EQ(filesIn(dir.path()),
              (Names{"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._004", "Notiz.txt"}));

    EXPECT_EQ(run({"join", "--allow-gap", first}).status, 0);
    EXPECT_EQ(readFile(file("Beispiel.dat")), expected);
}

// On a terminal: the progress as one line that each step overwrites and that is blanked at the end,
// and the question before an existing target is replaced.
TEST_F(CommandLine, TerminalProgressAndQuestion) {
    console.errorIsTerminal = true;
    const std::string source = make("t.dat", 2148);
    EXPECT_EQ(run({"split", "-s1", source}),
              (Result{0, splitResult,
                      "\rDateifragmente: 1 von 3\rDateifragmente: 2 von 3\r" + std::string(23, ' ') + '\r'}));

    std::istringstream typed("nein\nJa \n");
    console.input = &typed;
    const std::string question = "Die Zieldatei " + source + " existiert bereits. Ersetzen? (j/n) ";
    EXPECT_EQ(run({"join", source + "._001"}),
              refused(1, "Die Zieldatei " + source + " existiert bereits. Mit --force wird sie ersetzt."));
    console.inputIsTerminal = true;
    writeFile(source, std::string("alt"));
    EXPECT_EQ(run({"join", source + "._001"}), (Result{1, "", question}));
    EXPECT_EQ(readFile(source), "alt");
    const Result yes = run({"join", source + "._001"});
    EXPECT_EQ(yes.status, 0);
    // The checksum file's fragments are checked first; the line is as wide as its widest text.
    std::string progress;
    for (const char* step : {"prüfe Fragment: ", "add Fragment: "}) {
        for (const char* number : {"1", "2", "3"}) {
            const std::string text = step + std::string(number) + " von 3";
            progress += '\r' + text + std::string(progress.empty() ? 0 : 24 - text.size(), ' ');
        }
    }
    EXPECT_EQ(yes.err, question + progress + '\r' + std::string(24, ' ') + '\r');
    EXPECT_EQ(readFile(source).size(), 2148u);
    // No answer at all is no yes.
    EXPECT_EQ(run({"join", source + "._001"}).status, 1);
}

TEST_F(CommandLine, UsageErrorsHelpAndVersion) {
    const std::string source = make("u.dat", 10);
    const std::pair<Names, std::string> errors[] = {
        {{}, "Es fehlt der Befehl: split, join oder crc."},
        {{"teilen", source}, "Unbekannter Befehl: teilen"},
        {{"--", "split"}, "Unbekannter Befehl: split"},
        {{"split", "--bogus", source}, "Unbekannte Option: --bogus"},
        {{"split", "--script=ja", source}, "Unbekannte Option: --script=ja"},
        {{"join", "-x", source}, "Unbekannte Option: -x"},
        {{"crc", "-s", "1", source}, "Unbekannte Option: -s"},
        {{"split", source, "-s"}, "Die Option -s braucht einen Wert."},
        {{"join", "--output"}, "Die Option --output braucht einen Wert."},
        {{"split"}, "Es fehlt der Dateiname."},
        {{"crc", "--"}, "Es fehlt der Dateiname."},
        {{"split", source, source}, "Es ist nur ein Dateiname erlaubt."},
    };
    for (const auto& [args, message] : errors) {
        EXPECT_EQ(run(args), usage(message));
    }
    EXPECT_TRUE(filesIn(dir.path()) == Names{"u.dat"});

    // --no-sfv is taken; options may follow the file.
    EXPECT_EQ(run({"split", source, "--no-sfv", "-s", "1"}).status, 0);
    for (const Names& args :
         {Names{"--help"}, Names{"-h"}, Names{"join", "--help"}, Names{"crc", "--help", "a"}}) {
        const Result help = run(args);
        EXPECT_EQ(std::pair(help.status, help.err), std::pair(0, std::string()));
        EXPECT_TRUE(help.out.starts_with("Aufruf:\n  dodiveverazed [DATEI]    öffnet das Fenster"))
            << help.out;
    }
    console.program = "dodiveverazed-cli";
    console.opensWindow = false;
    EXPECT_TRUE(run({"-h"}).out.starts_with(
        "Aufruf:\n  dodiveverazed-cli split [-s KB] [--script] [--no-sfv] DATEI\n"));
    EXPECT_EQ(run({"--version"}),
              (Result{0, "dodiveverazed " + std::string(dodiveverazed::version) + '\n', ""}));
    EXPECT_EQ(run({"x"}), refused(2, "Unbekannter Befehl: x\nHilfe: dodiveverazed-cli --help"));
}

TEST(Launch, WindowOrCommandLine) {
    using Launch = std::pair<bool, std::optional<std::string>>;
    const auto launch = [](const Names& args) {
        const cli::Launch found = cli::launchFor(args);
        return Launch{found.window, found.file};
    };
    EXPECT_EQ(launch({}), Launch(true, std::nullopt));
    EXPECT_EQ(launch({"Beispiel.dat"}), Launch(true, "Beispiel.dat"));
    EXPECT_EQ(launch({"-"}), Launch(true, "-"));
    EXPECT_EQ(launch({"--", "split"}), Launch(true, "split"));
    EXPECT_EQ(launch({"--", "-x"}), Launch(true, "-x"));
    EXPECT_EQ(launch({"--"}), Launch(true, std::nullopt));
    for (const Names& args : {Names{"split"}, Names{"crc", "a"}, Names{"join"}, Names{"-h"}, Names{"--help"},
                              Names{"--version"}, Names{"-x"}, Names{"--", "a", "b"}, Names{"a", "b"}}) {
        EXPECT_EQ(launch(args), Launch(false, std::nullopt)) << args.front();
    }
}

}  // namespace
}  // namespace testsupport
