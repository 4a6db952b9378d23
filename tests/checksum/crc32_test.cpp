#include "checksum/crc32.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "checksum/crc32_core.hpp"
#include "crc_reference.hpp"
#include "support/TempDir.hpp"

struct clsCRC32TestAccess {
    static const std::array<std::int32_t, 256>& table(const clsCRC32& crc) { return crc.lngTabelle; }
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint32_t whole(clsCRC32& crc, const std::vector<std::uint8_t>& bytes) {
    return static_cast<std::uint32_t>(crc.CRC32(0, bytes, static_cast<double>(bytes.size()) - 1));
}

TEST(Crc32, KnownValuesAndTopBitAsNegativeNumber) {
    clsCRC32 crc;
    const std::int32_t digits = crc.CRC32(0, bytesOf("123456789"), 8);
    EXPECT_EQ(digits, static_cast<std::int32_t>(0xCBF43926u));
    EXPECT_LT(digits, 0);
    EXPECT_EQ(crc.CRC32(0, bytesOf("abc"), 2), 0x352441C2);
    EXPECT_EQ(whole(crc, bytesOf("The quick brown fox jumps over the lazy dog")), 0x414FA339u);
}

TEST(Crc32, TableEntriesFromThePolynomial) {
    clsCRC32 crc;
    const auto& table = clsCRC32TestAccess::table(crc);
    EXPECT_EQ(static_cast<std::uint32_t>(table[0]), 0u);
    EXPECT_EQ(static_cast<std::uint32_t>(table[1]), 0x77073096u);
    EXPECT_EQ(static_cast<std::uint32_t>(table[128]), 0xEDB88320u);
    EXPECT_EQ(static_cast<std::uint32_t>(table[255]), 0x2D02EF8Du);
    for (std::size_t n = 0; n < 256; ++n) {
        const std::uint8_t byte = static_cast<std::uint8_t>(n);
        // The entry is the raw register after the byte went in from a zero register.
        EXPECT_EQ(static_cast<std::uint32_t>(table[n]), ~bitwiseCrc32(&byte, 1, 0xFFFFFFFFu)) << n;
        EXPECT_EQ(static_cast<std::uint32_t>(table[n]), checksum::kCrcTable[n]) << n;
    }
}

TEST(Crc32, ChainingGivesTheSameResultAtEverySplitPoint) {
    clsCRC32 crc;
    const std::vector<std::uint8_t> first = bytesOf("1234"), second = bytesOf("56789");
    EXPECT_EQ(crc.CRC32(crc.CRC32(0, first, 3), second, 4), static_cast<std::int32_t>(0xCBF43926u));

    const auto buffer = testsupport::patternBytes(64, 7);
    const std::uint32_t expected = bitwiseCrc32(buffer);
    ASSERT_EQ(whole(crc, buffer), expected);
    for (std::size_t cut = 1; cut < buffer.size(); ++cut) {
        const std::vector<std::uint8_t> head(buffer.begin(),
                                             buffer.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::vector<std::uint8_t> tail(buffer.begin() + static_cast<std::ptrdiff_t>(cut), buffer.end());
        const std::int32_t running = crc.CRC32(0, head, static_cast<double>(head.size() - 1));
        EXPECT_EQ(static_cast<std::uint32_t>(crc.CRC32(running, tail, static_cast<double>(tail.size() - 1))),
                  expected)
            << "cut at " << cut;
    }
}

TEST(Crc32, EveryLengthRule) {
    clsCRC32 crc;
    const auto bytes = testsupport::patternBytes(2048, 3);
    // The byte at index dblLength is included.
    EXPECT_EQ(static_cast<std::uint32_t>(crc.CRC32(0, bytes, 2047)), bitwiseCrc32(bytes));
    // A fractional length counts up to its integer part, also just below the array's end.
    EXPECT_EQ(static_cast<std::uint32_t>(crc.CRC32(0, bytes, 2.7)), bitwiseCrc32(bytes.data(), 3));
    EXPECT_EQ(static_cast<std::uint32_t>(crc.CRC32(0, bytes, 2047.5)), bitwiseCrc32(bytes));
    EXPECT_EQ(static_cast<std::uint32_t>(crc.CRC32(0, bytes, 0.0)), bitwiseCrc32(bytes.data(), 1));
    EXPECT_EQ(static_cast<std::uint32_t>(crc.CRC32(0, bytes, -0.0)), bitwiseCrc32(bytes.data(), 1));
    // A negative length includes nothing and hands the running checksum back.
    for (double negative : {-1.0, -0.5, -1e300, -kInf}) {
        EXPECT_EQ(crc.CRC32(0x12345678, bytes, negative), 0x12345678) << negative;
    }
    // No elements at all: 0, whatever came in and whatever the length says.
    for (double length : {-1.0, 0.0, 5.0, kNaN}) {
        EXPECT_EQ(crc.CRC32(-559038737, {}, length), 0) << length;
    }
}

TEST(Crc32, IndexBeyondTheArrayIsRefused) {
    clsCRC32 crc;
    const auto bytes = testsupport::patternBytes(16);
    for (double length : {16.0, 16.5, 1e19, 1e300, kInf, kNaN}) {
        EXPECT_THROW(crc.CRC32(0, bytes, length), std::out_of_range) << length;
    }
}

TEST(Crc32, NoSingleByteGivesZero) {
    clsCRC32 crc;
    for (int value = 0; value < 256; ++value) {
        EXPECT_NE(crc.CRC32(0, {static_cast<std::uint8_t>(value)}, 0), 0) << value;
    }
}

}  // namespace
