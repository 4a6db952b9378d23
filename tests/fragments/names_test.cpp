// The core's texts and names: paths, order, size notations, checksum lines, whole scripts (CRC-32), listings.

#include <cerrno>

#include "core_test_support.hpp"
#include "dodiveverazed/project.hpp"
#include "fileio/paths.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/fragment_size.hpp"
#include "fragments/join_script.hpp"
#include "fragments/listing.hpp"
#include "fragments/recovery_files.hpp"
#include "fragments/size_text.hpp"

namespace fragments {
namespace {

using namespace testsupport;

TEST(Names, PathPartsFragmentNamesAndTheFragmentTest) {
    for (const auto& [input, file, base, ext] :
         {std::tuple{"C:\\Daten\\Beispiel.dat._001", "Beispiel.dat._001", "Beispiel", ".dat._001"},
          {"Beispiel.dat", "Beispiel.dat", "Beispiel", ".dat"},
          {"C:\\Projekt.alt\\Archiv", "Archiv", "Archiv", ".alt\\Archiv"},
          {"C:\\Daten\\.versteckt", ".versteckt", "", ".versteckt"},
          {"C:/Daten/x.y", "C:/Daten/x.y", "C:/Daten/x", ".y"}}) {
        EXPECT_EQ(Nurdatei(input, '\\') + "|" + NurName(input, '\\') + "|" + NurExt(input),
                  std::string(file) + "|" + base + "|" + ext);
    }
    EXPECT_EQ(NurName("/home/u.v/Größe 1.tar.gz", '/'), "Größe 1");
    EXPECT_EQ(withTrailingSeparator("C:\\Daten", '\\') + withTrailingSeparator("C:\\", '\\'),
              "C:\\Daten\\C:\\");
    EXPECT_EQ(fragmentName("D:\\x.y", 1) + fragmentName("D:\\x.y", 999), "D:\\x.y._001D:\\x.y._999");
    EXPECT_THROW(fragmentName("x", 1000), std::out_of_range);
    EXPECT_EQ(fragmentNumber("Beispiel.dat._042").value_or(0) + fragmentNumber("B._0ü").value_or(0), 42);
    for (const char* name : {"Beispiel.txt._001", "Beispiel.dat.x_äöü", "Beispiel._\x80\xbf\xff"}) {
        EXPECT_TRUE(isFragmentOf(name, "C:\\Daten\\Beispiel.dat._001", '\\')) << name;
    }
    for (const char* name : {"Bsp.dat._001", "beispiel.dat._002", "Beispiel.dat._01"}) {
        EXPECT_FALSE(isFragmentOf(name, "C:\\Daten\\Beispiel.dat._001", '\\')) << name;
    }
    // Other splitters' volumes and the recovery files of a set are its own, not a longer name's.
    EXPECT_EQ(sourceNameOf("x.iso.001") + memberName("x.iso.001", 12) + memberName("x._001", 12),
              "x.isox.iso.012x._012");
    for (const auto& [name, ours] : {std::pair("a.par2", true),
                                     {"a.vol00+01.par2", true},
                                     {"a.b.par2", false},
                                     {"a.vol3.par2", false},
                                     {"ab.par2", false}}) {
        EXPECT_EQ(isRecoveryFileOf(name, "a"), ours) << name;
    }
    // A cancelled choice leaves a bare folder: only names beginning with "." share its empty base name.
    EXPECT_TRUE(isFragmentOf(".hidden._001", "C:\\Daten\\", '\\'));
    // The script's lower case folds ASCII and the Latin-1 capitals only; the join's progress number.
    EXPECT_EQ(lowerCase("PRÜFUNG Ärger.ÖL.Þ ßÿ×÷ΣЖ\xC4Z"), "prüfung ärger.öl.þ ßÿ×÷ΣЖ\xC4z");
    EXPECT_EQ(progressNumber("a._007") + progressNumber("a._100") + progressNumber("a._a1b") +
                  progressNumber("a.x_äöü"),
              "7100a1bäöü");
}

// The listing's order: case ignored, umlauts too (Ä and ä are one letter, after z), strict for std::sort.
TEST(Names, OrderIgnoresCaseAndIsStrict) {
    for (const std::string pair : {"B._001<b._002", "b._001<B._002", "Zebra<Äpfel", "ab<ABC", "Äa<äb",
                                   "äa<Äb", "x.Öa<x.öb", "Üa<üb", "Äz<öa", "öz<Üa"}) {
        const std::string a = pair.substr(0, pair.find('<')), b = pair.substr(pair.find('<') + 1);
        EXPECT_TRUE(lessIgnoringCase(a, b) && !lessIgnoringCase(b, a)) << pair;
    }
    EXPECT_FALSE(lessIgnoringCase("abc", "abc"));
    EXPECT_EQ(
        sizeText(0, ".") + "|" + sizeText(1023, ".") + "|" + sizeText(1024, ".") + "|" + sizeText(1025, "."),
        " = 0 KB|1.023 = 1 KB|1.024 = 1 KB|1.025 = 2 KB");
    EXPECT_EQ(sizeText(4617089843LL, ","), "4,617,089,843 = 4508877 KB");
}

// As a German, an English and a French system write numbers: whole kBytes, a half to the even neighbour.
TEST(Names, FragmentSizeNotations) {
    for (const std::string notation : {" 720\t=720", "\u22125=-5", " 2,5 =2", "3,5=4", "-2,5=-2", ",5=0",
                                       "1.000.000=1000000", "1.000,5=1000", "1,5e3=1500", "1e\u22123=0",
                                       "2147483647,4=2147483647", "-2147483648,5=-2147483648"}) {
        const std::size_t is = notation.rfind('=');
        EXPECT_EQ(parseFragmentSize(notation.substr(0, is), ",", "."), std::stoi(notation.substr(is + 1)))
            << notation;
    }
    for (const char* text : {"1.00", "1.000.00", "1234.567", "1 000", "1e", "1e3,5", "1e1000", "2147483647,5",
                             "-2147483649", "", "+-5", "5-", "inf", "0x10", "\uff15"}) {
        EXPECT_EQ(parseFragmentSize(text, ",", "."), std::nullopt) << text;
    }
    EXPECT_EQ(parseFragmentSize("10,000.5", ".", ","), 10000);
    EXPECT_EQ(parseFragmentSize("2,5", ".", ","), std::nullopt);
    // A French system groups with a narrow no-break space, for which a plain blank may be typed.
    EXPECT_EQ(parseFragmentSize("1\u202f000", ",", "\u202f"), 1000);
    EXPECT_EQ(parseFragmentSize("1 000,5", ",", "\u202f"), 1000);
    EXPECT_EQ(parseFragmentSize("1\u00a0000", ",", "\u202f"), std::nullopt);
    // The command line's units, binary; at most N parts of whole kBytes.
    for (const std::string notation :
         {"1420=1420", " 700 M=716800", "1,5m=1536", "2G=2097152", "0,4k=0", "1e3K=1000"}) {
        const std::size_t is = notation.rfind('=');
        EXPECT_EQ(parseSizeWithUnit(notation.substr(0, is), ",", "."), std::stoll(notation.substr(is + 1)));
    }
    EXPECT_EQ(std::tuple(parseSizeWithUnit("1kb", ",", "."), parseSizeWithUnit("m", ",", "."),
                         parseSizeWithUnit("1e30g", ",", ".")),
              std::tuple(std::nullopt, std::nullopt, std::nullopt));
    EXPECT_EQ(std::tuple(kilobytesForParts(2148, 3), kilobytesForParts(0, 5), kilobytesForParts(3 << 20, 3)),
              std::tuple(1, 1, 1024));
}

TEST(Names, ChecksumFileLines) {
    const std::vector<ChecksumEntry> entries{{"Bei spiel.dat._001", 0x0000ABCDu},
                                             {"Bei spiel.dat._002", 0xCBF43926u}};
    const std::string text = checksumFileText("Bei spiel.dat", 2148, 0xDEADBEEFu, entries);
    EXPECT_EQ(text, "; Dodiveverazed " + std::string(dodiveverazed::version) +
                        "\r\n; source \"Bei spiel.dat\" 2148 DEADBEEF\r\nBei spiel.dat._001 0000ABCD\r\n"
                        "Bei spiel.dat._002 CBF43926\r\n");
    EXPECT_EQ(parseChecksumFile(text), entries);
    // Another tool's: LF, lower case, comments, blanks; a line without 8 hex digits at its end is no entry.
    EXPECT_EQ(parseChecksumFile(
                  "; tool\n\na b  c.bin\t0123abcd  \n; a.bin 11111111\nkurz.bin 1234567\n"
                  "lang.bin 123456789\nkein-hex.bin 1234567g\n12345678\nx.bin 89ABCDEF\r\nende FFFFFFFF"),
              (std::vector<ChecksumEntry>{
                  {"a b  c.bin", 0x0123ABCDu}, {"x.bin", 0x89ABCDEFu}, {"ende", 0xFFFFFFFFu}}));
    // A name a line cannot give back gets no checksum file.
    for (const char* name : {"a\nb._001", ";x._001", ""}) {
        EXPECT_FALSE(fitsChecksumFile(name)) << name;
    }
    EXPECT_TRUE(fitsChecksumFile("x;y  z.dat._001"));
    // A temporary name is hidden, never a fragment candidate, and gives its final name back.
    const std::string temporary = Nurdatei(temporaryNameFor("x.dat._001", ".tmp"));
    EXPECT_EQ(temporary.size(), std::string(".x.dat._001.abcdef.tmp").size());
    EXPECT_FALSE(hasFragmentEnding(temporary));
    EXPECT_EQ(finalNameOfTemporary(temporary, ".tmp"), "x.dat._001");
}

// Whole scripts for `count` fragments of `target` (or one fragment `only`), by the CRC-32 of their bytes.
TEST(Names, JoinScripts) {
    const std::string x507(507, 'x');
    for (const auto& [target, count, bytes, only, crc] :
         {std::tuple{"Beispiel.dat", 3, 1234567, std::string(), 0xD8A7B8BCu},
          {"Beispiel.dat", 1, 999, "", 0xE03E4158u},       // one fragment, tested twice
          {"100% sicher.dat", 2, 0, "", 0xECF38E46u},      // "%" doubled, size 0 shown empty
          {"Leer.dat", 0, 0, "", 0x8030ACAEu},             // an empty target, no existence checks
          {"Beispiel.dat", 25, 1234567, "", 0xF8715041u},  // 500 argument characters: short
          {"Beispiel.dat", 26, 1234567, "", 0xB0265D24u},  // 520: one copy per fragment
          {"Prüfung.dat", 2, 2048, "", 0xC5DBE513u},       // code page 850
          {"t", 0, 1234567, x507 + "x", 0x13323B12u},      // 511 characters: short
          {"t", 0, 1234567, x507 + "xx", 0x1A3ECCBCu},     // 512: long
          {"t", 0, 1234567, x507 + "ü", 0x08AB5100u},      // an umlaut counts one
          {"t", 0, 1234567, x507 + "%", 0x5AFE79B8u}}) {   // a "%" two
        JoinScriptInput in{target, {}, only, bytes, ".", "06.12.2025"};
        for (int i = 1; i <= count; ++i) {
            in.lastFragmentName = fragmentName(target, i);
            in.fragmentNames.push_back(lowerCase(in.lastFragmentName.substr(0, 1)) +
                                       in.lastFragmentName.substr(1));
        }
        if (!only.empty()) {
            in.fragmentNames = {only};
        }
        TempDir dir;
        writeJoinScript(dir.file("j.bat"), in);
        EXPECT_EQ(textCrc(readFile(dir.file("j.bat"))), crc) << joinScriptText(in);
        // What is there already stays: the split has removed an old script of its own before.
        EXPECT_EQ(outcomeOf([&] {
                      writeJoinScript(dir.file("j.bat"), in);
                      return "";
                  }),
                  failed(dir.file("j.bat"), {}, true));
    }
    TempDir dir;
    fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    EXPECT_EQ(outcomeOf([&] {
                  writeJoinScript(dir.file("j.bat"), {"a", {"a._001"}, "a._001", 1, ".", "1.1.26"});
                  return "";
              }),
              failed(dir.file("j.bat")));
    fileio::testing::setWriteFault({});
    EXPECT_EQ(filesIn(dir.path()), Names{}) << "a failure leaves no script";
    EXPECT_EQ(toCodePage850("a\xE2\x82\xAC-\xF0\x9F\x98\x80-\x80-\xC3 \xC2\xA0\xE2\x96\xA0~\x7F"),
              "a?-?-?-? \xFF\xFE~\x7F");
    for (const char* bad : {"a\"b", "a|b", "12:30", "a\\b", "a\x1Fz"}) {
        EXPECT_TRUE(hasCharacterForbiddenOnWindows(bad)) << bad;
    }
    EXPECT_FALSE(hasCharacterForbiddenOnWindows("100% & mehr (1) Prüf^!;,=+'.dat"));
}

// The script lies beside the source under its base name; why a split gets none, in the order checked.
TEST(Names, WhereTheScriptGoesAndWhyThereIsNone) {
    EXPECT_EQ(joinScriptLocation("C:\\Daten.alt\\Beispiel.v2.dat", '\\').path, "C:\\Daten.alt\\Beispiel.bat");
    TempDir dir;
    const auto why = [&](const std::string& name) {
        const auto refusal =
            whyNoJoinScript(dir.file(name), {name, {name + "._001"}, name + "._001", 1, ".", "1.1.26"});
        return refusal ? std::to_string(static_cast<int>(refusal->kind)) + refusal->character : "script";
    };
    using Kind = NoJoinScript::Kind;
    const auto kind = [](Kind k) { return std::to_string(static_cast<int>(k)); };
    EXPECT_EQ(why("€uro?.bat"), kind(Kind::ForbiddenCharacter));
    EXPECT_EQ(why("€uro.bat"), kind(Kind::NotInCodePage850) + "€");
    EXPECT_EQ(why("Gross.dat"), "script");
    writeFile(dir.file("Beispiel.bat"), "quelle");
    EXPECT_EQ(why("Beispiel.bat"), kind(Kind::NamedLikeSource));
    EXPECT_EQ(why("Beispiel.dat"), kind(Kind::ForeignFile));
}

// Candidates ("*._*", hidden ones left out), a reference's set and total, the recount after a double-click.
TEST(Names, ListingFragmentSetAndTotals) {
    Scene s;
    s.run(
        "put 7 set/x.dat._003; put 7 set/X.dat._004; put 7 set/x.dat; put 7 set/.x.dat._006; put 7 set/x._; "
        "put 7 set/kein_punkt_001; put 7 set/x.txt._001; chmod 400 set/x.txt._001; folder set/ordner._001");
    const Names listing = listFragmentCandidates(s.p("set"));
    Names expected{"x._", "x.dat._001", "x.dat._002", "x.dat._003", "X.dat._004", "x.txt._001"};
#ifdef _WIN32
    expected.insert(expected.begin(), ".x.dat._006");  // only the hidden attribute hides a file here
#endif
    EXPECT_EQ(listing, expected);
    EXPECT_EQ(listFragmentCandidates(s.p("fehlt")), Names{});
    const FragmentSet set = collectFragmentSet(listing, s.p("set/"), s.p("set/x.dat._001"), nativeSeparator);
    EXPECT_EQ(set.names, (Names{"x.dat._001", "x.dat._002", "x.dat._003", "x.txt._001"}));
    EXPECT_EQ(set.totalBytes, 1024 + 500 + 7 + 7);
    s.run("rm set/x.dat._002");
    EXPECT_EQ(totalOfExisting({"x.dat._001", "x.dat._002", "x.txt._001", "x.dat"}, s.p("set")), 1031);
}

}  // namespace
}  // namespace fragments
