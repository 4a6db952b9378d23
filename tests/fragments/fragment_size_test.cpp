// The size box's notations as a German, an English and a French system write numbers, and what the
// command line and the window do with them: a whole number of kBytes, a half rounded to even.

#include "fragments/fragment_size.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace fragments {
namespace {

struct Case {
    const char* text;
    std::optional<std::int32_t> kilobytes;
};

void expectReadings(std::string_view decimal, std::string_view group, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(parseFragmentSize(c.text, decimal, group), c.kilobytes)
            << '"' << c.text << "\" with " << decimal << " and " << group;
    }
}

constexpr std::nullopt_t no = std::nullopt;

TEST(FragmentSize, GermanNotations) {
    expectReadings(",", ".",
                   {// Whole numbers, signs and blanks around them; the minus sign "−" counts as "-".
                    {"1420", 1420},
                    {" 720\t", 720},
                    {"+5", 5},
                    {"-5", -5},
                    {"\u22125", -5},
                    {"007", 7},
                    {"0", 0},
                    // Halves go to the even neighbour.
                    {" 2,5 ", 2},
                    {"3,5", 4},
                    {"-2,5", -2},
                    {"0,5", 0},
                    {",5", 0},
                    {"5,", 5},
                    {"1,6", 2},
                    // Groups of three after one to three digits; the last group may carry decimals.
                    {"1.000", 1000},
                    {"1.000.000", 1000000},
                    {"1.000,5", 1000},
                    {"12.345,", 12345},
                    {"00.001", 1},
                    {"1.00", no},
                    {"1.0000", no},
                    {"1.000.00", no},
                    {"0000.000", no},
                    {"1234.567", no},
                    {"2.5", no},
                    {"1 000", no},
                    {"1,000.5", no},
                    // Exponents, also after groups and decimals.
                    {"1e3", 1000},
                    {"1E+3", 1000},
                    {"1,5e3", 1500},
                    {"1.000e3", 1000000},
                    {"5,e2", 500},
                    {"1e\u22123", 0},
                    {"0e-1000", 0},
                    {"1e", no},
                    {"e3", no},
                    {"1e 3", no},
                    {"1ee3", no},
                    {"1e++3", no},
                    {"1e3,5", no},
                    {"1e1000", no},
                    {"1e-1000", no},
                    // The signed 32-bit range, after rounding.
                    {"2147483647", 2147483647},
                    {"2147483647,4", 2147483647},
                    {"2147483647,5", no},
                    {"-2147483648,5", -2147483647 - 1},
                    {"-2147483649", no},
                    {"99999999999", no},
                    // No number at all.
                    {"", no},
                    {"  ", no},
                    {"12a", no},
                    {"- 5", no},
                    {"+-5", no},
                    {"--5", no},
                    {"5-", no},
                    {",", no},
                    {".", no},
                    {"-", no},
                    {"inf", no},
                    {"nan", no},
                    {"0x10", no},
                    {"\u0663", no},
                    {"\uff15", no}});
}

TEST(FragmentSize, EnglishAndFrenchNotations) {
    expectReadings(".", ",",
                   {{"1,000", 1000},
                    {"1.000", 1},
                    {"2.5", 2},
                    {"10,000.5", 10000},
                    {".5", 0},
                    {"2,5", no},
                    {"1,00", no}});
    // A French system groups with a narrow no-break space, for which a plain blank may be typed.
    expectReadings(",", "\u202f",
                   {{"1\u202f000", 1000}, {"1 000", 1000}, {"1 000,5", 1000}, {"1\u00a0000", no}});
}

}  // namespace
}  // namespace fragments
