#include "fragments/size_text.hpp"

#include <gtest/gtest.h>

namespace fragments {
namespace {

TEST(SizeText, NumberPatternGroupsInThrees) {
    EXPECT_EQ(numberPattern(0, "."), "");
    EXPECT_EQ(numberPattern(7, "."), "7");
    EXPECT_EQ(numberPattern(999, "."), "999");
    EXPECT_EQ(numberPattern(1000, "."), "1.000");
    EXPECT_EQ(numberPattern(1234567, "."), "1.234.567");
    EXPECT_EQ(numberPattern(2147483647, "."), "2.147.483.647");
    EXPECT_EQ(numberPattern(4611686018427387904LL, ","), "4,611,686,018,427,387,904");
    EXPECT_EQ(numberPattern(1234, "\xC2\xA0"),
              "1\xC2\xA0"
              "234");
}

TEST(SizeText, KilobytesRoundUp) {
    EXPECT_EQ(kilobytesRoundedUp(0), 0);
    EXPECT_EQ(kilobytesRoundedUp(1), 1);
    EXPECT_EQ(kilobytesRoundedUp(1024), 1);
    EXPECT_EQ(kilobytesRoundedUp(1025), 2);
    EXPECT_EQ(kilobytesRoundedUp(4617089843LL), 4508877);
}

TEST(SizeText, WholeTexts) {
    EXPECT_EQ(sizeText(0, "."), " = 0 KB");
    EXPECT_EQ(sizeText(1023, "."), "1.023 = 1 KB");
    EXPECT_EQ(sizeText(1024, "."), "1.024 = 1 KB");
    EXPECT_EQ(sizeText(1025, "."), "1.025 = 2 KB");
    EXPECT_EQ(sizeText(2500, "."), "2.500 = 3 KB");
    EXPECT_EQ(sizeText(1234567, "."), "1.234.567 = 1206 KB");
}

}  // namespace
}  // namespace fragments
