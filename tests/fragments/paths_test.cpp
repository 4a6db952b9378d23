#include "fragments/paths.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace fragments {
namespace {

struct PathCase {
    const char* input;
    const char* file;
    const char* base;
    const char* ext;
};

TEST(Paths, WindowsExamplesOfTheThreePathFunctions) {
    const PathCase cases[] = {
        {"C:\\Daten\\Beispiel.dat._001", "Beispiel.dat._001", "Beispiel", ".dat._001"},
        {"Beispiel.dat", "Beispiel.dat", "Beispiel", ".dat"},
        {"C:\\Projekt.alt\\Archiv", "Archiv", "Archiv", ".alt\\Archiv"},
        {"C:\\Daten\\", "", "", "."},
        {"", "", "", "."},
        {"a.b.c", "a.b.c", "a", ".b.c"},
        {"C:\\Daten\\.versteckt", ".versteckt", "", ".versteckt"},
        {"C:/Daten/x.y", "C:/Daten/x.y", "C:/Daten/x", ".y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Nurdatei(c.input, '\\'), c.file) << c.input;
        EXPECT_EQ(NurName(c.input, '\\'), c.base) << c.input;
        EXPECT_EQ(NurExt(c.input), c.ext) << c.input;
    }
    EXPECT_EQ(Nurdatei("/home/u/Größe 1.tar.gz", '/'), "Größe 1.tar.gz");
    EXPECT_EQ(NurName("/home/u.v/Größe 1.tar.gz", '/'), "Größe 1");
}

TEST(Paths, TrailingSeparatorAndFragmentNames) {
    EXPECT_EQ(withTrailingSeparator("C:\\Daten", '\\'), "C:\\Daten\\");
    EXPECT_EQ(withTrailingSeparator("C:\\Daten\\", '\\'), "C:\\Daten\\");
    EXPECT_EQ(withTrailingSeparator("", '\\'), "");
    EXPECT_EQ(withTrailingSeparator("/tmp", '/'), "/tmp/");

    EXPECT_EQ(fragmentName("D:\\x.y", 1), "D:\\x.y._001");
    EXPECT_EQ(fragmentName("D:\\x.y", 42), "D:\\x.y._042");
    EXPECT_EQ(fragmentName("D:\\x.y", 999), "D:\\x.y._999");
    EXPECT_THROW(fragmentName("x", 0), std::out_of_range);
    EXPECT_THROW(fragmentName("x", 1000), std::out_of_range);
}

TEST(Paths, FragmentTest) {
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
    EXPECT_FALSE(hasFragmentEnding("_00"));
    EXPECT_TRUE(hasFragmentEnding("_000"));
}

TEST(Paths, FragmentNumberAndCharacterCounts) {
    EXPECT_EQ(fragmentNumber("Beispiel.dat._007"), 7);
    EXPECT_EQ(fragmentNumber("Beispiel.dat._999"), 999);
    EXPECT_EQ(fragmentNumber("Beispiel.dat._abc"), std::nullopt);
    EXPECT_EQ(fragmentNumber("Beispiel.dat._0ü"), std::nullopt);
    EXPECT_EQ(fragmentNumber("12"), std::nullopt);

    EXPECT_EQ(lastCharacters("Beispiel.dat._001", 3), "001");
    EXPECT_EQ(lastCharacters("x_äöü", 3), "äöü");
    EXPECT_EQ(lastCharacters("ab", 3), "ab");
    EXPECT_EQ(withoutLastCharacters("Beispiel.dat._001", 5), "Beispiel.dat");
    EXPECT_EQ(withoutLastCharacters("Größe.dat._001", 5), "Größe.dat");
    EXPECT_EQ(withoutLastCharacters("ä._001", 5), "ä");
    EXPECT_EQ(withoutLastCharacters("ü_001", 5), "");
    EXPECT_EQ(withoutLastCharacters("_001", 5), "");
}

TEST(Paths, OrderIgnoresCaseAndUmlautsAndIsTotal) {
    std::vector<std::string> names = {"b._002",           "Beispiel.dat._010", "a._001",     "Äpfel._001",
                                      "B._001",           "beispiel.dat._002", "Zebra._001", "äpfel._001",
                                      "Beispiel.dat._001"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
    const std::vector<std::string> expected = {"a._001",
                                               "B._001",
                                               "b._002",
                                               "Beispiel.dat._001",
                                               "beispiel.dat._002",
                                               "Beispiel.dat._010",
                                               "Zebra._001",
                                               "Äpfel._001",
                                               "äpfel._001"};
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(lessIgnoringCase("abc", "abc"));
    EXPECT_NE(lessIgnoringCase("ABC", "abc"), lessIgnoringCase("abc", "ABC"));
    EXPECT_TRUE(lessIgnoringCase("ab", "ABC"));
}

TEST(Paths, Utf8RoundTripThroughPath) {
    const std::string name = "Größe über.dat._001";
    EXPECT_EQ(utf8FromPath(pathFromUtf8(name)), name);
    EXPECT_EQ(utf8FromPath(pathFromUtf8("dir/" + name).filename()), name);
}

}  // namespace
}  // namespace fragments
