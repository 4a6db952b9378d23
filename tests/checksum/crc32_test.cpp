#include "checksum/crc32.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "crc_reference.hpp"
#include "support/TempDir.hpp"

struct clsCRC32TestAccess {
    static const std::array<std::int32_t, 256>& table(const clsCRC32& crc) { return crc.lngTabelle; }
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint32_t crcOf(clsCRC32& crc, const std::vector<std::uint8_t>& bytes, double length,
                    std::int32_t start = 0) {
    return static_cast<std::uint32_t>(crc.CRC32(start, bytes, length));
}

TEST(Crc32, CheckValuesAndTableFromThePolynomial) {
    clsCRC32 crc;
    const std::int32_t digits = crc.CRC32(0, bytesOf("123456789"), 8);
    EXPECT_EQ(digits, static_cast<std::int32_t>(0xCBF43926u));
    EXPECT_LT(digits, 0) << "the top bit comes back as a negative number";
    EXPECT_EQ(crc.CRC32(0, bytesOf("abc"), 2), 0x352441C2);

    const auto& table = clsCRC32TestAccess::table(crc);
    EXPECT_EQ(static_cast<std::uint32_t>(table[1]), 0x77073096u);
    EXPECT_EQ(static_cast<std::uint32_t>(table[128]), 0xEDB88320u);
    EXPECT_EQ(static_cast<std::uint32_t>(table[255]), 0x2D02EF8Du);
    for (std::size_t n = 0; n < 256; ++n) {
        // The entry is the raw register after the byte went in from a zero register.
        const auto byte = static_cast<std::uint8_t>(n);
        EXPECT_EQ(static_cast<std::uint32_t>(table[n]), ~bitwiseCrc32(&byte, 1, 0xFFFFFFFFu)) << n;
    }
}

TEST(Crc32, ChainingGivesTheSameResultAtEverySplitPoint) {
    clsCRC32 crc;
    const auto buffer = testsupport::patternBytes(64, 7);
    const std::uint32_t expected = bitwiseCrc32(buffer);
    ASSERT_EQ(crcOf(crc, buffer, 63), expected);
    for (std::ptrdiff_t cut = 1; cut < 64; ++cut) {
        const std::vector<std::uint8_t> head(buffer.begin(), buffer.begin() + cut);
        const std::vector<std::uint8_t> tail(buffer.begin() + cut, buffer.end());
        const std::int32_t running = crc.CRC32(0, head, static_cast<double>(cut - 1));
        EXPECT_EQ(crcOf(crc, tail, static_cast<double>(63 - cut), running), expected) << "cut at " << cut;
    }
}

TEST(Crc32, LengthIsTheLastIndexIncluded) {
    clsCRC32 crc;
    const auto bytes = testsupport::patternBytes(2048, 3);
    EXPECT_EQ(crcOf(crc, bytes, 2047), bitwiseCrc32(bytes));
    // A fractional length counts up to its integer part, also just below the array's end.
    EXPECT_EQ(crcOf(crc, bytes, 2.7), bitwiseCrc32(bytes.data(), 3));
    EXPECT_EQ(crcOf(crc, bytes, 2047.5), bitwiseCrc32(bytes));
    EXPECT_EQ(crcOf(crc, bytes, -0.0), bitwiseCrc32(bytes.data(), 1));
    // A negative length includes nothing and hands the running checksum back.
    for (double negative : {-1.0, -0.5, -1e300, -kInf}) {
        EXPECT_EQ(crc.CRC32(0x12345678, bytes, negative), 0x12345678) << negative;
    }
    // No elements at all: 0, whatever came in and whatever the length says.
    for (double length : {-1.0, 0.0, 5.0, kNaN}) {
        EXPECT_EQ(crc.CRC32(-559038737, {}, length), 0) << length;
    }
    for (double beyond : {2048.0, 2048.5, 1e19, kInf, kNaN}) {
        EXPECT_THROW(crc.CRC32(0, bytes, beyond), std::out_of_range) << beyond;
    }
}

}  // namespace
