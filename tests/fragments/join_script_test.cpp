#include "fragments/join_script.hpp"

#include <cctype>
#include <cerrno>

#include "core_test_support.hpp"
#include "fileio/paths.hpp"

namespace fragments {
namespace {

using namespace testsupport;

const std::string ue = "\xC3\xBC";

// What the split hands over for `count` fragments of `target`: listed names in the case the folder
// reported, here with a lower-case first letter.
JoinScriptInput inputFor(const std::string& target, int count, std::int64_t bytes = 1234567) {
    JoinScriptInput in{target, {}, "", bytes, ".", "06.12.2025"};
    for (int i = 1; i <= count; ++i) {
        in.lastFragmentName = target + "._" + std::to_string(1000 + i).substr(1);
        in.fragmentNames.push_back(in.lastFragmentName);
        in.fragmentNames.back()[0] = static_cast<char>(std::tolower(target[0]));
    }
    return in;
}

// The whole script; without `first` it has no existence checks.
std::string script(const std::string& target, const std::string& size, const std::string& first,
                   const std::string& last, const std::string& copyBlock) {
    const std::string frame = "echo " + std::string(55, '*') + "\r\n";
    const std::string blank = "echo *" + std::string(53, ' ') + "*\r\n";
    const std::string checks =
        first.empty()
            ? ""
            : "@if NOT exist \"" + first + "\" goto Fehler\r\n@if NOT exist \"" + last + "\" goto Fehler\r\n";
    return "@echo off\r\necho.\r\n" + frame + blank +
           "echo *        Gesplittet mit Brisko's Dodiveverazed.       *\r\n" + blank + frame +
           "echo.\r\necho Die Originaldatei \"" + target + "\" [" + size + " Byte]\r\n" +
           "echo wurde am: 06.12.2025 gesplittet.\r\necho.\r\n" + checks +
           "echo Zusammengefuegt werden folgende Fragmente:   \r\necho.\r\n" + copyBlock +
           "echo.\r\necho.\r\nGoTo OK\r\n:Fehler\r\n"
           "echo Abbruch: Eine oder mehrere Fragmentdateien fehlen oder befinden sich\r\n"
           "echo          in einem anderen Ordner !\r\ngoto end\r\necho.\r\n:OK\r\n"
           "echo Zusammenfuegen von \"" +
           target + "\" beendet.\r\n:End\r\n";
}

std::string shortCopy(const std::string& target, const Names& names) {
    std::string line = "copy /b ";
    for (const auto& name : names) {
        line += "\"" + name + "\"+";
    }
    line.back() = ' ';
    return line + " \"" + target + "\"\r\n";
}

std::string longCopy(const std::string& target, const Names& names) {
    std::string block = "echo.\r\necho \"" + target + "\"\r\necho \"" + names[0] + "\"\r\ncopy /b \"" +
                        names[0] + "\" \"" + target + "\"\r\n";
    for (std::size_t k = 1; k < names.size(); ++k) {
        block += "copy /b \"" + target + "\"+\"" + names[k] + "\" \"" + target + "\"\r\n";
    }
    return block;
}

TEST(JoinScriptText, WholeScriptsOfTheExamples) {
    EXPECT_EQ(joinScriptText(inputFor("Beispiel.dat", 3)),
              script("Beispiel.dat", "1.234.567", "beispiel.dat._001", "Beispiel.dat._003",
                     "copy /b \"beispiel.dat._001\"+\"beispiel.dat._002\"+\"beispiel.dat._003\"  "
                     "\"Beispiel.dat\"\r\n"));
    // One fragment is tested twice and copied alone.
    EXPECT_EQ(joinScriptText(inputFor("Beispiel.dat", 1, 999)),
              script("Beispiel.dat", "999", "beispiel.dat._001", "Beispiel.dat._001",
                     "copy /b \"beispiel.dat._001\"  \"Beispiel.dat\"\r\n"));
    // "%" is doubled in every name; an empty size shows as nothing.
    EXPECT_EQ(
        joinScriptText(inputFor("100% sicher.dat", 2, 0)),
        script("100%% sicher.dat", "", "100%% sicher.dat._001", "100%% sicher.dat._002",
               "copy /b \"100%% sicher.dat._001\"+\"100%% sicher.dat._002\"  \"100%% sicher.dat\"\r\n"));
    // An empty source makes an empty target without existence checks.
    EXPECT_EQ(joinScriptText(inputFor("Leer.dat", 0, 0)),
              script("Leer.dat", "", "", "", "type nul > \"Leer.dat\"\r\n"));
}

// The short form holds up to 511 characters of arguments, counted as the file holds them: 25
// fragments of Beispiel.dat give 500, 26 go long; a name of 508 characters gives 511, one of 509
// goes long; an umlaut counts one, a "%" two.
TEST(JoinScriptText, ShortFormUpTo511ArgumentCharacters) {
    for (int count : {25, 26}) {
        const auto in = inputFor("Beispiel.dat", count);
        EXPECT_EQ(joinScriptText(in),
                  script("Beispiel.dat", "1.234.567", "beispiel.dat._001", in.lastFragmentName,
                         (count == 25 ? shortCopy : longCopy)("Beispiel.dat", in.fragmentNames)));
    }
    const std::string x507(507, 'x');
    for (const auto& [name, shown, isShort] : {std::tuple{x507 + "x", x507 + "x", true},
                                               {x507 + "xx", x507 + "xx", false},
                                               {x507 + ue, x507 + ue, true},
                                               {x507 + "%", x507 + "%%", false}}) {
        JoinScriptInput in = inputFor("t", 0);
        in.fragmentNames = {name};
        in.lastFragmentName = name;
        EXPECT_EQ(joinScriptText(in), script("t", "1.234.567", shown, shown,
                                             isShort ? shortCopy("t", {shown}) : longCopy("t", {shown})))
            << name.size();
    }
}

TEST(JoinScriptText, CodePage850AndForbiddenCharacters) {
    EXPECT_EQ(toCodePage850("Gr\xC3\xBCn \xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\x9F"),
              "Gr\x81n \x8E\x99\x9A\x84\x94\xE1");
    // The euro sign and a character beyond the basic plane are not in the code page; a lone
    // continuation byte and a truncated sequence are not UTF-8. Each becomes one "?".
    EXPECT_EQ(toCodePage850("a\xE2\x82\xAC-\xF0\x9F\x98\x80-\x80-\xC3"), "a?-?-?-?");
    EXPECT_EQ(toCodePage850("\xC2\xA0\xE2\x96\xA0 ~\x7F"), "\xFF\xFE ~\x7F");
    for (const char* bad :
         {"a\"b", "a<b", "a>b", "a|b", "a*b", "a?b", "12:30", "a\\b", "a\tb", "a\x1Fz", "\x01"}) {
        EXPECT_TRUE(hasCharacterForbiddenOnWindows(bad)) << bad;
    }
    for (const char* good : {"100% & mehr (1).dat", "Pr\xC3\xBCz.dat", "a^b!c;d,e=f+g'h"}) {
        EXPECT_FALSE(hasCharacterForbiddenOnWindows(good)) << good;
    }
}

TEST(WriteJoinScript, WritesANewFileInCodePage850AndLeavesNothingOnFailure) {
    TempDir dir;
    const std::string path = dir.file("Pr" + ue + "fung.bat");
    const auto in = inputFor("Pr" + ue + "fung.dat", 2, 2048);
    writeJoinScript(path, in);
    const std::string written = toCodePage850(joinScriptText(in));
    EXPECT_EQ(readFile(path), written);
    // What is there already stays: the split has removed an old script of its own before.
    expectFileError([&] { writeJoinScript(path, inputFor("x.dat", 1)); }, fileio::FileError::Kind::CannotOpen,
                    path);
    EXPECT_EQ(readFile(path), written);

    const std::string failing = dir.file("Beispiel.bat");
    fileio::testing::setWriteFault(
        [&](const std::string& p, std::size_t) { return p == failing ? ENOSPC : 0; });
    expectFileError([&] { writeJoinScript(failing, in); }, fileio::FileError::Kind::Io, failing);
    fileio::testing::setWriteFault({});
    EXPECT_EQ(filesIn(dir.path()), Names{"Pr" + ue + "fung.bat"});
}

// The script lies beside the source under its base name (a bare source name lies in the working
// directory). Why a split gets none, in the order the reasons are checked: a name Windows cannot hold, a
// character the console lacks (in any name the script holds), a source that would be its own script, and
// any file left at the script's name.
TEST(JoinScriptLocation, BesideTheSourceAndWhyThereIsNone) {
    const JoinScriptLocation windows = joinScriptLocation("C:\\Daten.alt\\Beispiel.v2.dat", '\\');
    EXPECT_EQ(windows.name, "Beispiel.bat");
    EXPECT_EQ(windows.path, "C:\\Daten.alt\\Beispiel.bat");
    EXPECT_EQ(joinScriptLocation("Beispiel.dat").path,
              withTrailingSeparator(fileio::utf8FromPath(std::filesystem::current_path())) + "Beispiel.bat");

    TempDir dir;
    const auto why = [&](const std::string& name, const JoinScriptInput& in) {
        const auto refusal = whyNoJoinScript(dir.file(name), in);
        return refusal ? std::pair(refusal->kind, refusal->character)
                       : std::pair(NoJoinScript::Kind{-1}, std::string("-"));
    };
    using Kind = NoJoinScript::Kind;
    const std::string euro = "\xE2\x82\xAC";
    writeFile(dir.file("Beispiel.bat"), "quelle");
    EXPECT_EQ(why("Beispiel.dat", inputFor("Beispiel.dat", 2)), std::pair(Kind::ForeignFile, std::string()));
    for (const std::string& spelling :
         {std::string("Beispiel.bat"), std::string(".") + nativeSeparator + "Beispiel.bat"}) {
        EXPECT_EQ(why(spelling, inputFor("Beispiel.bat", 2)),
                  std::pair(Kind::NamedLikeSource, std::string()));
    }
    EXPECT_EQ(why(euro + "uro?.bat", inputFor(euro + "uro?.bat", 2)).first, Kind::ForbiddenCharacter);
    EXPECT_EQ(why(euro + "uro.bat", inputFor(euro + "uro.bat", 2)), std::pair(Kind::NotInCodePage850, euro));
    JoinScriptInput lowered = inputFor("Gross.dat", 2);
    lowered.fragmentNames[1] = "gross.dat\xFF_002";
    EXPECT_EQ(why("Gross.dat", lowered), std::pair(Kind::NotInCodePage850, std::string("\xEF\xBF\xBD")));
    EXPECT_EQ(why("Gross.dat", inputFor("Gross.dat", 2)).second, "-");
    EXPECT_EQ(firstCharacterNotInCodePage850("a" + ue + "\xC2\xA0~"), std::nullopt);
}

}  // namespace
}  // namespace fragments
