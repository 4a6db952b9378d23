#include "fragments/join_script.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "fragments/errors.hpp"
#include "fragments/file_io.hpp"
#include "support/TempDir.hpp"

using fragments::JoinScriptInput;
using fragments::joinScriptText;

namespace {

const std::string head =
    "@echo off\r\n"
    "echo.\r\n"
    "echo *******************************************************\r\n"
    "echo *                                                     *\r\n"
    "echo *        Gesplittet mit Brisko's Dodiveverazed.       *\r\n"
    "echo *                                                     *\r\n"
    "echo *******************************************************\r\n"
    "echo.\r\n";

const std::string tailAfterCopy =
    "echo.\r\n"
    "echo.\r\n"
    "GoTo OK\r\n"
    ":Fehler\r\n"
    "echo Abbruch: Eine oder mehrere Fragmentdateien fehlen oder befinden sich\r\n"
    "echo          in einem anderen Ordner !\r\n"
    "goto end\r\n"
    "echo.\r\n"
    ":OK\r\n";

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

// What the split hands over for `count` fragments of `target`.
JoinScriptInput inputFor(const std::string& target, int count, std::int64_t bytes = 1234567) {
    JoinScriptInput in;
    in.targetName = target;
    for (int i = 1; i <= count; ++i) {
        const std::string number = std::to_string(1000 + i).substr(1);
        in.fragmentNames.push_back(lower(target) + "._" + number);
        in.lastFragmentName = target + "._" + number;
    }
    in.sourceBytes = bytes;
    in.thousandsSeparator = ".";
    in.dateText = "06.12.2025";
    return in;
}

// The whole script with `copyBlock` between the fixed head and tail lines.
std::string expectedScript(const std::string& target, const std::string& size, const std::string& first,
                           const std::string& last, const std::string& copyBlock) {
    return head + "echo Die Originaldatei \"" + target + "\" [" + size + " Byte]\r\n" +
           "echo wurde am: 06.12.2025 gesplittet.\r\n" + "echo.\r\n" + "@if NOT exist \"" + first +
           "\" goto Fehler\r\n" + "@if NOT exist \"" + last + "\" goto Fehler\r\n" +
           "echo Zusammengefuegt werden folgende Fragmente:   \r\n" + "echo.\r\n" + copyBlock +
           tailAfterCopy + "echo Zusammenfuegen von \"" + target + "\" beendet.\r\n" + ":End\r\n";
}

std::string longCopyBlock(const std::string& target, const std::vector<std::string>& names) {
    std::string block = "echo.\r\necho \"" + target + "\"\r\necho \"" + names[0] + "\"\r\ncopy /b \"" +
                        names[0] + "\" \"" + target + "\"\r\n";
    for (std::size_t k = 1; k < names.size(); ++k) {
        block += "copy /b \"" + target + "\"+\"" + names[k] + "\" \"" + target + "\"\r\n";
    }
    return block;
}

}  // namespace

TEST(JoinScriptText, ThreeFragmentsOfBeispielGiveTheShortForm) {
    EXPECT_EQ(joinScriptText(inputFor("Beispiel.dat", 3)),
              expectedScript("Beispiel.dat", "1.234.567", "beispiel.dat._001", "Beispiel.dat._003",
                             "copy /b \"beispiel.dat._001\"+\"beispiel.dat._002\"+\"beispiel.dat._003\"  "
                             "\"Beispiel.dat\"\r\n"));
}

TEST(JoinScriptText, OneFragmentIsTestedTwiceAndCopiedAlone) {
    EXPECT_EQ(joinScriptText(inputFor("Beispiel.dat", 1, 999)),
              expectedScript("Beispiel.dat", "999", "beispiel.dat._001", "Beispiel.dat._001",
                             "copy /b \"beispiel.dat._001\"  \"Beispiel.dat\"\r\n"));
}

TEST(JoinScriptText, TwentyFiveFragmentsStayShortTwentySixGoLong) {
    const auto in25 = inputFor("Beispiel.dat", 25);
    std::string argument;
    for (const auto& name : in25.fragmentNames) {
        argument += "\"" + name + "\"+";
    }
    argument.back() = ' ';
    ASSERT_EQ(argument.size(), 500u);
    EXPECT_EQ(joinScriptText(in25),
              expectedScript("Beispiel.dat", "1.234.567", "beispiel.dat._001", "Beispiel.dat._025",
                             "copy /b " + argument + " \"Beispiel.dat\"\r\n"));

    const auto in26 = inputFor("Beispiel.dat", 26);
    EXPECT_EQ(joinScriptText(in26),
              expectedScript("Beispiel.dat", "1.234.567", "beispiel.dat._001", "Beispiel.dat._026",
                             longCopyBlock("Beispiel.dat", in26.fragmentNames)));
}

// One fragment adds its name plus 3 characters to the argument text, so a name of 508 characters
// gives exactly 511. Characters are counted as the file holds them: an umlaut is one, a "%" two.
TEST(JoinScriptText, ArgumentLengthBoundaryCountsCharactersAsWritten) {
    auto script = [](const std::string& fragment) {
        JoinScriptInput in = inputFor("t", 0);
        in.fragmentNames = {fragment};
        in.lastFragmentName = fragment;
        return joinScriptText(in);
    };
    const std::string shortLine = "\r\ncopy /b \"";
    const std::string longLine = "\r\necho \"t\"\r\n";

    const std::string name508(508, 'x');
    EXPECT_NE(script(name508).find(shortLine + name508 + "\"  \"t\"\r\n"), std::string::npos);
    const std::string name509(509, 'x');
    EXPECT_NE(
        script(name509).find(longLine + "echo \"" + name509 + "\"\r\ncopy /b \"" + name509 + "\" \"t\"\r\n"),
        std::string::npos);

    // 507 letters and one umlaut: 509 bytes of UTF-8 but 508 characters, still the short form.
    const std::string umlautName = std::string(507, 'x') + "\xC3\xBC";
    EXPECT_NE(script(umlautName).find(shortLine + umlautName + "\"  \"t\"\r\n"), std::string::npos);

    // 507 letters and one "%", doubled to 509 characters: the long form.
    const std::string percentName = std::string(507, 'x') + "%";
    EXPECT_NE(script(percentName).find(longLine + "echo \"" + std::string(507, 'x') + "%%\"\r\n"),
              std::string::npos);
}

TEST(JoinScriptText, PercentIsDoubledInEveryNameButNotElsewhere) {
    auto in = inputFor("100% sicher.dat", 2, 0);
    in.dateText = "6.12.25";
    const std::string text = joinScriptText(in);
    EXPECT_EQ(text, head +
                        "echo Die Originaldatei \"100%% sicher.dat\" [ Byte]\r\n"
                        "echo wurde am: 6.12.25 gesplittet.\r\n"
                        "echo.\r\n"
                        "@if NOT exist \"100%% sicher.dat._001\" goto Fehler\r\n"
                        "@if NOT exist \"100%% sicher.dat._002\" goto Fehler\r\n"
                        "echo Zusammengefuegt werden folgende Fragmente:   \r\n"
                        "echo.\r\n"
                        "copy /b \"100%% sicher.dat._001\"+\"100%% sicher.dat._002\"  "
                        "\"100%% sicher.dat\"\r\n" +
                        tailAfterCopy + "echo Zusammenfuegen von \"100%% sicher.dat\" beendet.\r\n:End\r\n");
}

TEST(JoinScriptText, EmptySourceMakesAnEmptyTargetWithoutExistenceChecks) {
    const std::string text = joinScriptText(inputFor("Leer.dat", 0, 0));
    EXPECT_EQ(text, head +
                        "echo Die Originaldatei \"Leer.dat\" [ Byte]\r\n"
                        "echo wurde am: 06.12.2025 gesplittet.\r\n"
                        "echo.\r\n"
                        "echo Zusammengefuegt werden folgende Fragmente:   \r\n"
                        "echo.\r\n"
                        "type nul > \"Leer.dat\"\r\n" +
                        tailAfterCopy + "echo Zusammenfuegen von \"Leer.dat\" beendet.\r\n:End\r\n");
}

TEST(CodePage850, MapsGermanLettersAndMarksWhatItLacks) {
    EXPECT_EQ(fragments::toCodePage850("Pr\xC3\xBC"
                                       "fung \xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\x9F"),
              "Pr\x81"
              "fung \x8E\x99\x9A\x84\x94\xE1");
    // The euro sign and a character beyond the basic plane are not in the code page; a lone
    // continuation byte and a truncated sequence are not UTF-8. Each becomes one "?".
    EXPECT_EQ(fragments::toCodePage850("a\xE2\x82\xAC"
                                       "b\xF0\x9F\x98\x80"
                                       "c\x80"
                                       "d\xC3"),
              "a?b?c?d?");
    EXPECT_EQ(fragments::toCodePage850("\xC2\xA0\xE2\x96\xA0 ~\x7F"), "\xFF\xFE ~\x7F");
}

TEST(ForbiddenCharacters, AreTheWindowsOnesAndControlCharacters) {
    for (const char* bad : {"a\"b", "a<b", "a>b", "a|b", "a*b", "a?b", "a\tb",
                            "a\x1F"
                            "b",
                            "\x01"}) {
        EXPECT_TRUE(fragments::hasCharacterForbiddenOnWindows(bad)) << bad;
    }
    for (const char* good : {"100% & mehr (1).dat",
                             "Pr\xC3\xBC"
                             "fung.dat",
                             "a^b!c;d,e=f+g'h", ""}) {
        EXPECT_FALSE(fragments::hasCharacterForbiddenOnWindows(good)) << good;
    }
}

TEST(WriteJoinScript, WritesCodePage850AndReplacesAnOldFile) {
    testsupport::TempDir dir;
    const std::string path = dir.file(
        "Pr\xC3\xBC"
        "fung.bat");
    testsupport::writeFile(path, std::string(5000, 'z'));

    const auto in = inputFor(
        "Pr\xC3\xBC"
        "fung.dat",
        2, 2048);
    fragments::writeJoinScript(path, in);

    const std::string bytes = testsupport::readFile(path);
    EXPECT_EQ(bytes, fragments::toCodePage850(joinScriptText(in)));
    EXPECT_NE(bytes.find("copy /b \"pr\x81"
                         "fung.dat._001\"+\"pr\x81"
                         "fung.dat._002\"  \"Pr\x81"
                         "fung.dat\"\r\n"),
              std::string::npos);
    EXPECT_EQ(testsupport::filesIn(dir.path()), std::vector<std::string>{"Pr\xC3\xBC"
                                                                         "fung.bat"});
}

TEST(WriteJoinScript, FailuresLeaveNoScript) {
    testsupport::TempDir dir;
    const std::string path = dir.file("Beispiel.bat");
    fragments::testing::setWriteFault(
        [&](const std::string& p, std::size_t) { return p == path ? ENOSPC : 0; });
    try {
        fragments::writeJoinScript(path, inputFor("Beispiel.dat", 3));
        ADD_FAILURE() << "a full disk went unnoticed";
    } catch (const fragments::FileError& e) {
        EXPECT_EQ(e.kind(), fragments::FileError::Kind::Io);
        EXPECT_EQ(e.path(), path);
    }
    fragments::testing::setWriteFault({});
    EXPECT_TRUE(testsupport::filesIn(dir.path()).empty());

    const std::string inMissingFolder = dir.file("fehlt") + "/Beispiel.bat";
    try {
        fragments::writeJoinScript(inMissingFolder, inputFor("Beispiel.dat", 3));
        ADD_FAILURE() << "a script in a missing folder went unnoticed";
    } catch (const fragments::FileError& e) {
        EXPECT_EQ(e.kind(), fragments::FileError::Kind::CannotOpen);
    }
}
