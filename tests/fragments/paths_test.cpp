#include "fragments/paths.hpp"
#include "fragments/size_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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
    EXPECT_EQ(withTrailingSeparator("", '\\'), "");
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

    // Endings are counted in characters, not bytes.
    EXPECT_EQ(lastCharacters("x_äöü", 3), "äöü");
    EXPECT_EQ(lastCharacters("ab", 3), "ab");
    EXPECT_EQ(withoutLastCharacters("Größe.dat._001", 5), "Größe.dat");
    EXPECT_EQ(withoutLastCharacters("ü_001", 5), "");
}

TEST(Paths, OrderIgnoresCaseAndUmlautsAndIsTotal) {
    std::vector<std::string> names = {"b._002", "Äpfel._001", "B._001", "äpfel._001", "a._1", "Zebra"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
    EXPECT_EQ(names,
              (std::vector<std::string>{"a._1", "B._001", "b._002", "Zebra", "Äpfel._001", "äpfel._001"}));
    EXPECT_FALSE(lessIgnoringCase("abc", "abc"));
    EXPECT_NE(lessIgnoringCase("ABC", "abc"), lessIgnoringCase("abc", "ABC"));
    EXPECT_TRUE(lessIgnoringCase("ab", "ABC"));
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
