#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "support/TempDir.hpp"

namespace {

// A sparse file beyond 4 GiB: marks at both ends, zeros between. The expected value chains the
// marks with the zeros fed through one reused buffer, so no 64-bit length can wrap unnoticed.
TEST(FileChecksumLarge, SparseFileAbove4GiB) {
#ifndef _WIN32
    // Reading holes on a disk file fills the page cache with gigabytes of zeros; tmpfs hands out
    // its shared zero page instead, which keeps this test at about a second.
    if (std::filesystem::is_directory("/dev/shm")) {
        ::setenv("TMPDIR", "/dev/shm", 1);
    }
#endif
    testsupport::TempDir dir;
    const std::string path = dir.file("gross.bin");
    const std::uint64_t size = (std::uint64_t{1} << 32) + 4099;
    const auto head = testsupport::patternBytes(1000, 1);
    const std::string tail = "Ende der Datei";
    testsupport::writeFile(path, head);
    std::filesystem::resize_file(testsupport::pathOf(path), size - tail.size());
    std::ofstream(testsupport::pathOf(path), std::ios::binary | std::ios::app) << tail;
    ASSERT_EQ(std::filesystem::file_size(testsupport::pathOf(path)), size);

    std::uint32_t expected = checksum::crc32Update(0, head.data(), head.size());
    const std::vector<std::uint8_t> zeros(std::size_t{1} << 22);
    for (std::uint64_t left = size - head.size() - tail.size(); left != 0;) {
        const std::size_t chunk = left < zeros.size() ? static_cast<std::size_t>(left) : zeros.size();
        expected = checksum::crc32Update(expected, zeros.data(), chunk);
        left -= chunk;
    }
    expected =
        checksum::crc32Update(expected, reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size());

    clsCRC32 calculator;
    EXPECT_EQ(checksum::fileCrc32(path, calculator), expected);
}

}  // namespace
