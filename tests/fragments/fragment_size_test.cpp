// The size box's notations as a German, an English and a French system write numbers, and what the
// command line and the window do with them: a whole number of kBytes, a half rounded to even.

#include "fragments/fragment_size.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace fragments {
namespace {

using Readings = std::vector<std::pair<const char*, std::int32_t>>;
using Texts = std::vector<const char*>;

// Every text in `numbers` reads as its value, every one in `refused` as no number.
void expectReadings(std::string_view decimal, std::string_view group, const Readings& numbers,
                    const Texts& refused) {
    for (const auto& [text, kilobytes] : numbers) {
        EXPECT_EQ(parseFragmentSize(text, decimal, group), kilobytes) << '"' << text << "\" with " << group;
    }
    for (const char* text : refused) {
        EXPECT_EQ(parseFragmentSize(text, decimal, group), std::nullopt)
            << '"' << text << "\" with " << group;
    }
}

TEST(FragmentSize, GermanNotations) {
    // Signs and blanks ("\u2212" counts as "-"); halves to the even neighbour; groups of three after one to
    // three digits, the last may carry decimals; exponents, also after groups and decimals; the signed
    // 32-bit range after rounding.
    const Readings signs{{"1420", 1420},  {" 720\t", 720}, {"+5", 5}, {"-5", -5},
                         {"\u22125", -5}, {"007", 7},      {"0", 0}};
    const Readings halves{{" 2,5 ", 2}, {"3,5", 4}, {"-2,5", -2}, {"0,5", 0},
                          {",5", 0},    {"5,", 5},  {"1,6", 2}};
    const Readings groups{
        {"1.000", 1000}, {"1.000.000", 1000000}, {"1.000,5", 1000}, {"12.345,", 12345}, {"00.001", 1}};
    const Readings exponents{{"1e3", 1000}, {"1E+3", 1000},   {"1,5e3", 1500}, {"1.000e3", 1000000},
                             {"5,e2", 500}, {"1e\u22123", 0}, {"0e-1000", 0}};
    const Readings range{
        {"2147483647", INT32_MAX}, {"2147483647,4", INT32_MAX}, {"-2147483648,5", INT32_MIN}};
    const Texts refused{"1.00",    "1.0000",  "1.000.00",     "0000.000",    "1234.567",    "2.5",   "1 000",
                        "1,000.5", "1e",      "e3",           "1e 3",        "1ee3",        "1e++3", "1e3,5",
                        "1e1000",  "1e-1000", "2147483647,5", "-2147483649", "99999999999", "",      "  ",
                        "12a",     "- 5",     "+-5",          "--5",         "5-",          ",",     ".",
                        "-",       "inf",     "nan",          "0x10",        "\u0663",      "\uff15"};
    for (const Readings* numbers : {&signs, &halves, &groups, &exponents, &range}) {
        expectReadings(",", ".", *numbers, {});
    }
    expectReadings(",", ".", {}, refused);
}

TEST(FragmentSize, EnglishAndFrenchNotations) {
    const Readings english{{"1,000", 1000}, {"1.000", 1}, {"2.5", 2}, {"10,000.5", 10000}, {".5", 0}};
    expectReadings(".", ",", english, {"2,5", "1,00"});
    // A French system groups with a narrow no-break space, for which a plain blank may be typed.
    const Readings french{{"1\u202f000", 1000}, {"1 000", 1000}, {"1 000,5", 1000}};
    expectReadings(",", "\u202f", french, {"1\u00a0000"});
}

}  // namespace
}  // namespace fragments
