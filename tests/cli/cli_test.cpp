// The command line in a fresh folder: output, exit status, terminal, executables; shared texts: window tests.

#include "cli/cli.hpp"
#include "dodiveverazed/project.hpp"
#include "fileio/files.hpp"
#include "fragments/set_files.hpp"
#include "texts/reasons.hpp"
#include "texts/texts.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iterator>
#include <sstream>

#include "support/Reasons.hpp"
#include "support/SetScene.hpp"

namespace testsupport {
namespace {

struct Result {
    int status;
    std::string out, err;
    bool operator==(const Result&) const = default;
};
void PrintTo(const Result& result, std::ostream* out) {
    *out << "status " << result.status << ", out \"" << result.out << "\", err \"" << result.err << '"';
}
std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

class CommandLine : public ::testing::Test {
  protected:
    CommandLine() { std::filesystem::current_path(dir.path()); }
    ~CommandLine() override { std::filesystem::current_path(previous); }
    Result run(const std::string& line) {
        std::ostringstream out, err;
        const int status = cli::run(words(line), out, err, console);
        return {status, out.str(), err.str()};
    }
    std::string exists() const { return "Die Zieldatei " + dir.file("t.dat") + " existiert bereits. "; }
    const std::filesystem::path previous = std::filesystem::current_path();
    TempDir dir;
    cli::Console console;  // German, no terminal
};

const std::string kSplit3 =
    "Quelldatei  (Byte): 2.148 = 3 KB\nDateifragmente: 3 von 3\nFragmente (Byte): 2.148 = 3 KB\n";

// The default target is the source, replaced only when asked to; crc names what it cannot read and goes on.
TEST_F(CommandLine, SplitJoinCrc) {
    writeFile("t.dat", patternBytes(2148));
    EXPECT_EQ(run("split --size 1 --script t.dat"),
              (Result{0, kSplit3 + "Batchdatei t.bat wurde erzeugt !\n", ""}));
    EXPECT_EQ(run("join -o Kopie.dat t.dat._001"),
              (Result{0,
                      "Zusammengefügte Datei: Kopie.dat\nDateigrösse (Byte): 2.148 = 3 KB\nCRC32 von 3 "
                      "Fragmenten geprüft (t.dat.sfv)\n",
                      ""}));
    std::filesystem::remove("t.dat");
    EXPECT_EQ(run("join t.dat._001").status + run("join -f t.dat._001").status, 0);
    EXPECT_TRUE(std::filesystem::exists("t.dat") && std::filesystem::exists("Kopie.dat"));
    // The set checked without joining: by its first fragment or its checksum file.
    writeFile("t.dat._002", std::string(1024, 'x'));
    std::filesystem::remove("t.dat._003");
    EXPECT_EQ(run("check t.dat.sfv"),
              (Result{1,
                      "t.dat._001: OK\nt.dat._002: beschädigt (CRC32 48D7F063 statt 730D7676)\n"
                      "t.dat._003: fehlt\n",
                      "t.dat: nicht vollständig\n"}));
    EXPECT_EQ(run("check Kopie.dat._001").status + run("split -s 1 Kopie.dat").status, 1);
    EXPECT_EQ(run("check Kopie.dat._003").out.substr(57),
              "Kopie.dat: vollständig, CRC32 von 3 Fragmenten geprüft (Kopie.dat.sfv)\n");
    EXPECT_EQ(texts::utf8::reason(fragments::Errc::IsOriginal), "die Datei ist die Originaldatei selbst");
    writeFile("ziffern", std::string("123456789"));
    writeFile("zwei\nZeilen\\", std::string("123456789"));
    std::istringstream piped("123456789");
    console.input = &piped;  // "-", escaped names as sha256sum writes them
    std::ostringstream out, err;
    const int status = cli::run({"crc", "ziffern", "fehlt", "-", "zwei\nZeilen\\"}, out, err, console);
    EXPECT_EQ(std::tuple(status, out.str(), err.str()),
              std::tuple(1, "CBF43926  ziffern\nCBF43926  -\n\\CBF43926  zwei\\nZeilen\\\\\n",
                         "Die Datei fehlt kann nicht gelesen werden: " + germanReason(ENOENT) + '\n'));
}

// Each refusal and usage error with its exit status; options may follow the file.
TEST_F(CommandLine, RefusalsAndUsageErrors) {
    for (const char* name : {"x.dat", "n.dat", "h.dat", "y\xff._001", "l.dat", "b.dat", "u.dat._001",
                             ".u.dat.unfertig", "g.dat._001", "g.dat._004", "m.dat._001", "m.txt._001"}) {
        writeFile(name, patternBytes(2148));
    }
    for (const char* name : {"c.dat", "d.dat"}) {
        writeFile(name, patternBytes(2148));
        ASSERT_EQ(run("split -s 1 " + std::string(name)).status, 0);
    }
    writeFile("c.dat._003", std::string(100, 'x'));
    std::filesystem::remove("d.dat._002");
    const int held = ::open("x.dat", O_RDONLY);  // a regular file reached through a descriptor
    std::filesystem::create_directory("aus");
    const std::tuple<std::string, int, std::string> rows[] = {
        // Refused before the old set goes: c.dat's fragments are joined below.
        {"split -s 0 c.dat", 1, "Ungültige Dateifragmentgröße !\n"},
        {"split -s 2g c.dat", 1,
         "Die Fragmentgröße muss zwischen 1 und 2.097.151 kBytes liegen (unter 2 GByte).\n"},
        {"split -n 3 n.dat", 0, ""},
        // Into another folder, and joined from there into a folder.
        {"split -o aus -s 1 n.dat", 0, ""},
        {"join -o aus aus/n.dat._001", 0, ""},
        {"split --output-dir=- n.dat", 1, "Der Ausgabeordner - ist kein vorhandener Ordner. Bitte einen"},
        {"split -o x.dat n.dat", 1, "Der Ausgabeordner x.dat ist kein vorhandener Ordner. Bitte einen"},
        {"check -", 2,
         "\"-\" steht für die Standardein- oder -ausgabe: crc - und split --name NAME - lesen die "
         "Standardeingabe, join -o - schreibt in die Standardausgabe. Eine Datei dieses Namens bitte als ./- "
         "angeben."},
        {"split --name a/b -", 2, "Der Name \"a/b\" für --name muss ein Dateiname ohne Ordner sein."},
        {"split --name .. -", 2, "Der Name \"..\" für --name muss ein Dateiname ohne Ordner sein."},
        {"split --recovery 101 n.dat", 2,
         "Der Anteil für --recovery muss eine ganze Zahl von 0 bis 100 (Prozent) sein, nicht \"101\"."},
        {"split --recovery 100 -s 1 h.dat", 0, ""},
        {"split --name a n.dat", 2,
         "--name gilt nur für die Standardeingabe: split --name NAME - schreibt NAME._001 usw."},
        {"split -n 2 --name a -", 2,
         "--parts braucht eine Datei: die Länge der Standardeingabe ist vorher nicht bekannt."},
        {"split /proc/self/fd/" + std::to_string(held), 1,
         "Die Datei /proc/self/fd/" + std::to_string(held) +
             " kann nicht gelesen werden: keine gewöhnliche Datei\n"},
        {"split -n 3 -s 1 n.dat", 2, "Es geht nur entweder --size oder --parts."},
        {"split --parts=1000 n.dat", 2,
         "Die Anzahl der Teile muss eine ganze Zahl von 1 bis 999 sein, nicht \"1000\"."},
        {"split l.dat", 1, "Die Datei l.dat wird gerade von einem anderen Vorgang bearbeitet. Bitte warten"},
        {"join -f c.dat._001", 1, "Das Fragment c.dat._003 ist beschädigt (CRC32 "},
        {"join d.dat._001", 1,
         "Fragmentdatei " + dir.file("d.dat._002") +
             " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateiverzeichnis überprüfen !\n"},
        {"join -f u.dat._001", 1,
         "Die Splittung von " + dir.file("u.dat") +
             " wurde nicht beendet: die Dateifragmente sind unvollständig und werden nicht zusammengefügt. "
             "Bitte "
             "die Quelldatei erneut splitten.\n"},
        {"join x.dat", 1,
         "Keine Dateifragmente zu x.dat gefunden ! Bitte das erste Dateifragment (*._001 oder *.001) "
         "angeben.\n"},
        {"join --allow-gap m.dat._001", 1,
         "Neben dem ersten Fragment liegen Dateifragmente von verschiedenen Dateien (m.dat._001, "
         "m.txt._001). "
         "Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im Verzeichnis. Überflüssige "
         "Fragmente müssen im Verzeichnis gelöscht oder in einen anderen Ordner verschoben werden.\n"},
        {"join g.dat._001", 1,
         "In der Nummerierung fehlt Fragment 002 (g.dat._002). Mit --allow-gap werden die übrigen Fragmente "
         "trotzdem zusammengefügt.\n"},
        {"join --allow-gap -f --output g.dat._004 g.dat._001", 1,
         "Die Zieldatei g.dat._004 ist selbst eines der Fragmente. Bitte mit --output einen anderen "
         "Dateinamen "
         "angeben.\n"},
        {"", 2, "Es fehlt der Befehl: split, join oder crc."},
        {"split --bogus x.dat", 2, "Unbekannte Option: --bogus"},
        {"x", 2, "Unbekannter Befehl: x"},
        {"split x.dat -s", 2, "Die Option -s braucht einen Wert."},
        {"split --size=12a x.dat", 2, "Fragmentgröße kein numerischer Wert !"},
        {"split x.dat x.dat", 2, "Es ist nur ein Dateiname erlaubt."},
        {"split x.dat --no-sfv -s 1", 0, ""},
        {"join -o k.dat y\xff._001", 0, ""},
        {"split --script -s 9 b.dat", 1,
         "Die Splittung wurde abgebrochen. Fehler bei Datei " + dir.file("b.bat") + ": " +
             germanReason(ENOSPC) + "\n"}};
    fileio::testing::setOperationFault([](auto, auto& to) { return to.ends_with(".bat") ? ENOSPC : 0; });
    const LockHolder other("l.dat");
    for (const auto& [line, status, message] : rows) {
        const Result got = run(line);
        const std::string expected = message + (status == 2 ? "\nHilfe: dodiveverazed --help\n" : "");
        EXPECT_EQ(std::tuple(got.status, got.err.substr(0, expected.size()),
                             got.err.size() > expected.size() && expected.ends_with('\n')),
                  std::tuple(status, expected, false))
            << line << ": " << got.err;
    }
    fileio::testing::setOperationFault({});
    ::close(held);
    EXPECT_EQ(fileio::fileSize("n.dat._003"), 100);
    EXPECT_EQ(filesIn("aus"),
              (std::vector<std::string>{"n.dat", "n.dat._001", "n.dat._002", "n.dat._003", "n.dat.sfv"}));
    EXPECT_EQ(readFile("aus/n.dat"), readFile("n.dat"));
}

// A set named as other splitters name it (x.iso.001 …), with cksfv's checksum file: joined, checked, gaps
// named.
TEST_F(CommandLine, SetsNamedLikeOtherSplitters) {
    if (std::system("command -v cksfv >/dev/null") != 0) {
        GTEST_SKIP() << "cksfv is not installed";
    }
    const auto pattern = patternBytes(5000);
    const std::string bytes(pattern.begin(), pattern.end());
    writeFile("x.iso", bytes);
    ASSERT_EQ(std::system("split -a 3 --numeric-suffixes=1 -b 2048 x.iso x.iso. && cksfv -b x.iso.0* "
                          ">x.iso.sfv && mv x.iso x.iso.001.alt && mv x.iso.sfv x.sfv"),
              0);
    EXPECT_EQ(run("join x.iso.001"),
              (Result{0,
                      "Zusammengefügte Datei: " + dir.file("x.iso") +
                          "\nDateigrösse (Byte): 5.000 = 5 KB\nCRC32 von 3 Fragmenten geprüft (x.sfv)\n",
                      ""}));
    EXPECT_EQ(readFile("x.iso"), bytes);
    writeFile("x.iso2.001", std::string("fremd"));  // another set's, not this one's
    const std::string whole = run("crc x.iso.002").out.substr(0, 8);
    writeFile("x.iso.002", std::string(2048, 'x'));
    EXPECT_EQ(run("check x.iso.001").out, "x.iso.001: OK\nx.iso.002: beschädigt (CRC32 " +
                                              run("crc x.iso.002").out.substr(0, 8) + " statt " + whole +
                                              ")\nx.iso.003: OK\n");
    EXPECT_EQ(run("join -f x.iso.001").status, 1);
    std::filesystem::remove("x.iso.002"), std::filesystem::remove("x.sfv");
    EXPECT_EQ(run("join -f x.iso.001").err,
              "In der Nummerierung fehlt Fragment 002 (x.iso.002). Mit --allow-gap werden die übrigen "
              "Fragmente trotzdem zusammengefügt.\n");
    EXPECT_EQ(readFile("x.iso"), bytes);
}

// Through pipes: split from standard input as it comes, join to standard output only what was verified.
TEST_F(CommandLine, StandardInputAndOutput) {
    const auto pattern = patternBytes(5000);
    std::istringstream piped(std::string(pattern.begin(), pattern.end()));
    console.input = &piped;
    EXPECT_EQ(
        run("split --name p.dat -s 1 -"),
        (Result{0,
                "Quelldatei  (Byte): 5.000 = 5 KB\nDateifragmente: 5 von 5\nFragmente (Byte): 5.000 = 5 "
                "KB\n",
                ""}));
    EXPECT_EQ(run("join -o - p.dat._001"), (Result{0, std::string(pattern.begin(), pattern.end()), ""}));
    writeFile("p.src", std::string(pattern.begin(), pattern.end()));
    EXPECT_NE(readFile("p.dat.sfv").find("; source \"p.dat\" 5000 " + run("crc p.src").out.substr(0, 8)),
              std::string::npos);
    writeFile("p.dat._005", std::string(904, 'x'));
    const Result damaged = run("join -o - p.dat._001");
    EXPECT_EQ(std::tuple(damaged.status, damaged.out, damaged.err.substr(0, 39)),
              std::tuple(1, "", "Das Fragment p.dat._005 ist beschädigt"));
    // One byte more than 999 fragments hold: the 999 stay, marked unfinished.
    std::istringstream tooLong(std::string(999 * 1024 + 1, 'y'));
    console.input = &tooLong;
    EXPECT_EQ(run("split --name q.dat -s 1 -"), (Result{1, "", texts::utf8::streamTooLong + "\n"}));
    EXPECT_EQ(run("join q.dat._001").err.substr(0, 24), "Die Splittung von " + dir.file("q").substr(0, 6));
    EXPECT_EQ(fileio::fileSize("q.dat._999"), 1024);
}

// Recovery files: written with the set, rebuilding what they can as a whole or touching nothing.
TEST_F(CommandLine, RecoveryFilesRebuildLostFragments) {
    const auto pattern = patternBytes(20 * 1024 - 7);
    const std::string bytes(pattern.begin(), pattern.end());
    writeFile("r.dat", bytes), writeFile("r.dat.vol09+01.par2", std::string("fremd"));
    writeFile(fragments::temporaryNameFor(dir.file("r.dat.vol00+01.par2"), ".tmp"), std::string("alt"));
    const std::string made = run("split --recovery 10 -s 1 r.dat").out;
    EXPECT_EQ(made.substr(made.find("Wieder")), "Wiederherstellungsdaten: r.dat.par2 und 2 Volumedateien\n");
    std::filesystem::rename("r.dat", "r.orig");
    const std::string fifth = readFile("r.dat._005");
    std::filesystem::remove("r.dat._004"), std::filesystem::remove("r.dat._005");
    writeFile("r.dat._010", std::string(1024, 'x'));
    const Snapshot before = snapshot(dir.path());
    EXPECT_EQ(run("join --repair r.dat._001"),
              (Result{1, "",
                      "Die Dateifragmente sind nicht reparierbar: 3 Blöcke fehlen, r.dat.par2 hat nur 2 "
                      "brauchbare Wiederherstellungsblöcke. Es wurde nichts geändert.\n"}));
    EXPECT_EQ(snapshot(dir.path()), before);
    writeFile("r.dat._005", fifth);
    {
        const LockHolder other("r.dat");
        EXPECT_EQ(run("join --repair r.dat._001").status, 1);
        EXPECT_FALSE(std::filesystem::exists("r.dat._004"));
    }
    const Result check = run("check r.dat._001");
    EXPECT_EQ(std::tuple(check.status, check.out.substr(check.out.rfind("r.dat.par2")), check.err),
              std::tuple(1, "r.dat.par2: reparierbar (2 von 2 Wiederherstellungsblöcken gebraucht)\n",
                         "Mit --repair werden die beschädigten und fehlenden Fragmente aus r.dat.par2 neu "
                         "erstellt.\nr.dat: nicht vollständig\n"));
    EXPECT_EQ(run("join --repair -o - r.dat._001"),
              (Result{0, bytes, "r.dat._004: wiederhergestellt\nr.dat._010: wiederhergestellt\n"}));
    // A new split removes the old set's recovery files and their leftovers, not another program's.
    std::filesystem::rename("r.orig", "r.dat");
    EXPECT_EQ(run("split -s 2 r.dat").status, 0);
    EXPECT_EQ(filesIn(dir.path()).size(), std::size_t{13});
    EXPECT_TRUE(std::filesystem::exists("r.dat.vol09+01.par2"));
    // Recovery files that cannot be written leave the set unfinished.
    fileio::testing::setWriteFault(
        [](const std::string& path, auto) { return path.ends_with("1.par2") ? ENOSPC : 0; });
    EXPECT_EQ(run("split --recovery 50 -s 1 r.dat").status + run("join -o k.dat r.dat._001").status, 2);
    fileio::testing::setWriteFault({});
    EXPECT_TRUE(std::filesystem::exists(".r.dat.unfertig"));
}

// A lock file another user left keeps the set from this one: its owner is named.
TEST_F(CommandLine, ForeignLockNamesItsOwner) {
    writeFile("o.dat", patternBytes(2148)), writeFile(".o.dat.lock", "");
    std::filesystem::permissions(dir.path(), std::filesystem::perms(01777));
    EXPECT_EQ(
        asNobody([&] { return run("split -s 1 o.dat").err; }),
        "Die Sperrdatei " + dir.file(".o.dat.lock") +
            " gehört dem Benutzer root: Solange sie besteht, kann niemand sonst diese Dateifragmente "
            "bearbeiten. Bitte root bitten, seinen Vorgang zu beenden oder die Sperrdatei zu löschen.\n");
}

// On a terminal: one progress line, blanked at the end; the question before replacing; no answer is no.
TEST_F(CommandLine, TerminalProgressAndQuestion) {
    console.errorIsTerminal = true;
    writeFile("t.dat", patternBytes(2148));
    EXPECT_EQ(run("split -s1 t.dat"),
              (Result{0, kSplit3,
                      "\rDateifragmente: 1 von 3\rDateifragmente: 2 von 3\r" + std::string(23, ' ') + '\r'}));
    std::istringstream typed("nein\nJa \ny\n");
    console.regional.yesExpression = "^[+1jJyY]";  // a German locale's
    console.input = &typed;
    EXPECT_EQ(run("join t.dat._001").err, exists() + "Mit --force wird sie ersetzt.\n");
    console.inputIsTerminal = true;
    writeFile("t.dat", std::string("alt"));
    const std::string question = exists() + "Ersetzen? (j/n) ";
    EXPECT_EQ(run("join t.dat._001"), (Result{1, "", question}));
    EXPECT_EQ(readFile("t.dat"), "alt");
    const std::string progress = "\radd Fragment: 1 von 3\radd Fragment: 2 von 3\radd Fragment: 3 von 3";
    const Result yes = run("join t.dat._001");
    EXPECT_EQ(std::pair(yes.status, yes.err),
              std::pair(0, question + progress + '\r' + std::string(21, ' ') + '\r'));
    EXPECT_EQ(run("join t.dat._001").status, 0);
    EXPECT_EQ(run("join t.dat._001").status, 1);
}

// Which arguments open the window (the file it is given, then ";").
TEST_F(CommandLine, WhichArgumentsOpenTheWindow) {
    std::string launches;
    for (const char* line : {"", "a.dat", "-", "-- -x", "--", "crc", "-h", "--version", "a b"}) {
        const cli::Launch launch = cli::launchFor(words(line));
        launches += launch.window ? launch.file.value_or("") + "; " : "cli ";
    }
    EXPECT_EQ(launches, "; a.dat; -; -x; ; cli cli cli cli ");
}

Result start(const std::string& program, const std::string& args) {
    const TempDir outputs;
    const int status =
        std::system(("ulimit -c 0 && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=keine '" + program +
                     "' " + args + " </dev/null >" + outputs.file("1") + " 2>" + outputs.file("2"))
                        .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outputs.file("1")),
            readFile(outputs.file("2"))};
}

// A name after "--" may look like an option; the window fails at once on a Qt platform that does not exist.
TEST_F(CommandLine, ProgramsAsAUserStartsThem) {
    writeFile("-x", std::string("123456789"));
    EXPECT_EQ(start(CLI_PROGRAM, "crc -- -x"), (Result{0, "CBF43926  -x\n", ""}));
    EXPECT_EQ(start(CLI_PROGRAM, "--version"),
              (Result{0, "dodiveverazed " + std::string(dodiveverazed::version) + '\n', ""}));
    const Result help = start(CLI_PROGRAM, "--help");
    EXPECT_TRUE(help.status == 0 && help.err.empty() &&
                help.out.starts_with("Aufruf:\n  dodiveverazed-cli split") &&
                help.out.find(" check [--repair] ERSTES_FRAGMENT") != std::string::npos)
        << help.out;
    // A round trip through real pipes: the bytes come back as they went in.
    const std::string cli = std::string("'") + CLI_PROGRAM + "' ";
    EXPECT_EQ(std::system(("head -c 3000000 /dev/urandom | tee quelle | " + cli +
                           "split --name p -s 1m - >/dev/null && " + cli + "join -o - p._001 | cmp - quelle")
                              .c_str()),
              0);
#ifdef WINDOW_PROGRAM
    const Result window = start(WINDOW_PROGRAM, "-- -x");
    EXPECT_TRUE(window.status == 1 && window.err.find("\"keine\"") != std::string::npos &&
                window.err.ends_with(texts::utf8::noDisplay + '\n'))
        << window.err;
#endif
}

}  // namespace
}  // namespace testsupport
