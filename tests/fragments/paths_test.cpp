#include "fragments/paths.hpp"
#include "fragments/size_text.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace fragments {
namespace {

TEST(Paths, WindowsExamplesOfTheThreePathFunctions) {
    struct Case {
        const char *input, *file, *base, *ext;
    };
    for (const Case& c : {Case{"C:\\Daten\\Beispiel.dat._001", "Beispiel.dat._001", "Beispiel", ".dat._001"},
                          Case{"Beispiel.dat", "Beispiel.dat", "Beispiel", ".dat"},
                          Case{"C:\\Projekt.alt\\Archiv", "Archiv", "Archiv", ".alt\\Archiv"},
                          Case{"C:\\Daten\\", "", "", "."}, Case{"a.b.c", "a.b.c", "a", ".b.c"},
                          Case{"C:\\Daten\\.versteckt", ".versteckt", "", ".versteckt"},
                          Case{"C:/Daten/x.y", "C:/Daten/x.y", "C:/Daten/x", ".y"}}) {
        EXPECT_EQ(Nurdatei(c.input, '\\'), c.file) << c.input;
        EXPECT_EQ(NurName(c.input, '\\'), c.base) << c.input;
        EXPECT_EQ(NurExt(c.input), c.ext) << c.input;
    }
    EXPECT_EQ(NurName("/home/u.v/Größe 1.tar.gz", '/'), "Größe 1");
    EXPECT_EQ(withTrailingSeparator("C:\\Daten", '\\'), "C:\\Daten\\");
    EXPECT_EQ(withTrailingSeparator("C:\\Daten\\", '\\'), "C:\\Daten\\");
}

TEST(Paths, FragmentNamesNumbersAndTheFragmentTest) {
    EXPECT_EQ(fragmentName("D:\\x.y", 1), "D:\\x.y._001");
    EXPECT_EQ(fragmentName("D:\\x.y", 999), "D:\\x.y._999");
    EXPECT_THROW(fragmentName("x", 0), std::out_of_range);
    EXPECT_THROW(fragmentName("x", 1000), std::out_of_range);
    EXPECT_EQ(fragmentNumber("Beispiel.dat._042"), 42);
    for (const char* name : {"Beispiel.dat._abc", "Beispiel.dat._0ü", "12"}) {
        EXPECT_EQ(fragmentNumber(name), std::nullopt) << name;
    }

    const char* reference = "C:\\Daten\\Beispiel.dat._001";
    for (const char* name : {"Beispiel.dat._003", "Beispiel.txt._001", "Beispiel.dat._abc", "Beispiel._001",
                             "Beispiel.dat.x_äöü"}) {
        EXPECT_TRUE(isFragmentOf(name, reference, '\\')) << name;
    }
    for (const char* name :
         {"Beispiel.dat", "Bsp.dat._001", "beispiel.dat._002", "Beispiel.dat._01", "_001"}) {
        EXPECT_FALSE(isFragmentOf(name, reference, '\\')) << name;
    }
    // A cancelled choice leaves a bare directory: only names beginning with "." share its empty base name.
    EXPECT_TRUE(isFragmentOf(".hidden._001", "C:\\Daten\\", '\\'));
}

// The listing's order: case ignored, umlauts too (Ä and ä are one letter, after z), and a strict order
// for std::sort.
TEST(Paths, OrderIgnoresCaseAndIsStrict) {
    const std::pair<const char*, const char*> ordered[] = {
        {"B._001", "b._002"}, {"b._001", "B._002"}, {"Zebra", "äpfel"}, {"Zebra", "Äpfel"}, {"ab", "ABC"},
        {"Äa", "äb"},         {"äa", "Äb"},         {"x.Öa", "x.öb"},   {"x.öa", "x.Öb"},   {"Üa", "üb"},
        {"üa", "Üb"},         {"Äz", "öa"},         {"öz", "Üa"}};
    for (const auto& [a, b] : ordered) {
        EXPECT_TRUE(lessIgnoringCase(a, b)) << a << " " << b;
        EXPECT_FALSE(lessIgnoringCase(b, a)) << a << " " << b;
    }
    EXPECT_FALSE(lessIgnoringCase("abc", "abc"));
    EXPECT_NE(lessIgnoringCase("ABC", "abc"), lessIgnoringCase("abc", "ABC"));
}

// The join script's lower-case names: ASCII and the Latin-1 capitals fold, nothing else changes (a byte
// that is no UTF-8 stays as it is). The join's progress number drops leading zeros only of digits.
TEST(Paths, LowerCaseNamesAndProgressNumbers) {
    EXPECT_EQ(lowerCase("PRÜFUNG mit Ärger.ÖL.Þ._001"), "prüfung mit ärger.öl.þ._001");
    EXPECT_EQ(lowerCase("ßÿ×÷ΣЖ\xC4Z"), "ßÿ×÷ΣЖ\xC4z");
    EXPECT_EQ(progressNumber("Beispiel.dat._007"), "7");
    EXPECT_EQ(progressNumber("Beispiel.dat._100"), "100");
    EXPECT_EQ(progressNumber("Beispiel.dat._a1b"), "a1b");
    EXPECT_EQ(progressNumber("Beispiel.dat.x_äöü"), "äöü");
}

TEST(SizeText, WholeTexts) {
    EXPECT_EQ(sizeText(0, "."), " = 0 KB");
    EXPECT_EQ(sizeText(1023, "."), "1.023 = 1 KB");
    EXPECT_EQ(sizeText(1024, "."), "1.024 = 1 KB");
    EXPECT_EQ(sizeText(1025, "."), "1.025 = 2 KB");
    EXPECT_EQ(sizeText(1234567, "."), "1.234.567 = 1206 KB");
    EXPECT_EQ(sizeText(4617089843LL, ","), "4,617,089,843 = 4508877 KB");
    EXPECT_EQ(numberPattern(1234, "\xC2\xA0"),
              "1\xC2\xA0"
              "234");
}

}  // namespace
}  // namespace fragments
