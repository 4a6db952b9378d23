// The CRC-32 calculator, its kernels and the file checksum against a bitwise CRC-32 from the polynomial.

#include "checksum/crc32.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>

#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "support/SetScene.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace checksum;
using namespace testsupport;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t bitwiseCrc32(const Bytes& bytes, std::size_t size = SIZE_MAX, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < std::min(size, bytes.size()); ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return ~crc;
}

// The check value (top bit as a negative number), chaining, and the length as the last index included.
TEST(Crc32, CheckValueChainingAndTheLastIndexIncluded) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN(),
                     inf = std::numeric_limits<double>::infinity();
    clsCRC32 crc;
    EXPECT_EQ(crc.CRC32(0, {'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 8),
              static_cast<std::int32_t>(0xCBF43926u));
    const auto bytes = patternBytes(2048, 3);
    const auto of = [&](double length) { return static_cast<std::uint32_t>(crc.CRC32(0, bytes, length)); };
    const std::int32_t running = crc.CRC32(0, Bytes(bytes.begin(), bytes.begin() + 17), 16);
    EXPECT_EQ(crc.CRC32(running, Bytes(bytes.begin() + 17, bytes.begin() + 64), 46),
              static_cast<std::int32_t>(bitwiseCrc32(bytes, 64)));
    EXPECT_EQ(of(2.7), bitwiseCrc32(bytes, 3));
    EXPECT_EQ(of(2047.5), bitwiseCrc32(bytes));
    EXPECT_EQ(of(-0.0), bitwiseCrc32(bytes, 1));
    EXPECT_EQ(crc.CRC32(0x12345678, bytes, -0.5) + crc.CRC32(0x12345678, bytes, -inf), 2 * 0x12345678);
    EXPECT_EQ(crc.CRC32(-559038737, {}, 5.0) + crc.CRC32(-559038737, {}, nan), 0);
    for (double beyond : {2048.0, 1e19, nan}) {
        EXPECT_THROW(crc.CRC32(0, bytes, beyond), std::out_of_range) << beyond;
    }
}

// Every kernel against the byte table at every alignment and length, and on large buffers.
TEST(CrcKernels, EveryKernelEqualsTheTable) {
    EXPECT_NE(activeKernel(), Kernel::Table) << "the dispatcher prefers a faster kernel";
    const auto source = patternBytes(1024, 11), large = patternBytes((4u << 20) + 77, 4);
    const std::uint32_t start = 0x9E3779B9u;
    std::vector<std::uint32_t> expected(source.size() + 1);
    for (std::size_t length = 0; length <= source.size(); ++length) {
        expected[length] = crc32UpdateWith(Kernel::Table, start, source.data(), length);
    }
    ASSERT_EQ(expected[source.size()], bitwiseCrc32(source, source.size(), start));
    Bytes shifted(source.size() + 64);
    for (Kernel kernel : {Kernel::Slice16, Kernel::Pclmul, Kernel::Vpclmul}) {
        for (std::size_t alignment = 0; alignment < 64 && kernelSupported(kernel); ++alignment) {
            std::copy(source.begin(), source.end(), shifted.begin() + static_cast<std::ptrdiff_t>(alignment));
            for (std::size_t length = 0; length <= source.size(); ++length) {
                if (crc32UpdateWith(kernel, start, shifted.data() + alignment, length) != expected[length]) {
                    FAIL() << kernelName(kernel) << " alignment " << alignment << " length " << length;
                }
            }
        }
        EXPECT_TRUE(!kernelSupported(kernel) ||
                    crc32UpdateWith(kernel, start, large.data(), large.size()) ==
                        crc32UpdateWith(Kernel::Table, start, large.data(), large.size()))
            << kernelName(kernel);
    }
}

// Runs of zeros, beyond 32 bits of length too, as holes and the split's source line need them.
TEST(CrcCombine, ZerosNeedNoBytes) {
    const Bytes zeros(70001, 0);
    EXPECT_EQ(crc32Zeros(0x12345678u, 70001),
              crc32UpdateWith(Kernel::Table, 0x12345678u, zeros.data(), 70001));
    const std::int64_t large = (std::int64_t{5} << 30) + 3;
    EXPECT_EQ(crc32Combine(crc32Zeros(0, large), crc32Zeros(0, 70001), 70001), crc32Zeros(0, large + 70001));
    // Any two pieces of a file give its CRC, as the checksum file's source line is made of the fragments'.
    Bytes data(70001);
    std::generate(data.begin(), data.end(),
                  [n = 0u]() mutable { return static_cast<std::uint8_t>(n++ * 7); });
    const auto crc = [&](std::size_t from, std::size_t to) {
        return crc32UpdateWith(Kernel::Table, 0, data.data() + from, to - from);
    };
    for (const std::size_t cut : {0, 1, 7, 4096, 70000, 70001}) {
        EXPECT_EQ(crc32Combine(crc(0, cut), crc(cut, 70001), static_cast<std::int64_t>(70001 - cut)),
                  crc(0, 70001))
            << cut;
    }
}

std::error_code failureOf(const std::string& path) {
    try {
        clsCRC32 calculator;
        return fileCrc32(path, calculator), std::error_code{};
    } catch (const std::system_error& error) {
        return error.code();
    }
}

// Sizes around chunks and blocks; missing, folder, FIFO, /proc and (as nobody) unreadable files.
TEST(FileChecksum, SizesAndOddFiles) {
    TempDir dir;
    clsCRC32 calculator;
    for (std::size_t size : {0, 2048, 2049, (3 << 20) + 2049}) {
        const auto bytes = patternBytes(size, static_cast<std::uint32_t>(size));
        writeFile(dir.file("data.bin"), bytes);
        std::size_t blocks = 0;
        EXPECT_EQ(fileCrc32(dir.file("data.bin"), calculator, [&blocks] { ++blocks; }), bitwiseCrc32(bytes))
            << size;
        EXPECT_EQ(blocks, (size + (1 << 20) - 1) >> 20) << size;
    }
    EXPECT_EQ(failureOf(dir.file("fehlt.dat")), std::errc::no_such_file_or_directory);
    EXPECT_EQ(failureOf(dir.utf8()), std::errc::is_a_directory);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.file("rohr").c_str(), 0644), 0);
    EXPECT_EQ(failureOf(dir.file("rohr")), fileio::Errc::NotRegularFile);
    const std::string version = readFile("/proc/version");
    EXPECT_EQ(fileCrc32("/proc/version", calculator), bitwiseCrc32(Bytes(version.begin(), version.end())));
    writeFile(dir.file("gesperrt.bin"), "123456789"), writeFile(dir.file("leer.bin"), "");
    ::chmod(dir.file("gesperrt.bin").c_str(), 0), ::chmod(dir.file("leer.bin").c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(asNobody([&] {
                  const auto before = openFiles();
                  return std::to_string(failureOf(dir.file("gesperrt.bin")) == std::errc::permission_denied) +
                         std::to_string(!failureOf(dir.file("data.bin"))) +
                         std::to_string(failureOf(dir.file("leer.bin")) == std::errc::permission_denied) +
                         std::to_string(openFiles() == before);
              }),
              "1111");
#endif
}

// A sparse file beyond 4 GiB, so that no 64-bit length can wrap unnoticed.
TEST(LargeFile, SparseFileChecksumAbove4GiB) {
#ifndef _WIN32
    // tmpfs hands out its shared zero page for holes instead of filling the page cache with gigabytes.
    if (std::filesystem::is_directory("/dev/shm")) {
        ::setenv("TMPDIR", "/dev/shm", 1);
    }
#endif
    TempDir dir;
    const std::string path = dir.file("gross.bin"), tail = "Ende der Datei";
    const std::uint64_t size = (std::uint64_t{1} << 32) + 4099;
    const auto head = patternBytes(1000, 1);
    writeFile(path, head);
    std::filesystem::resize_file(pathOf(path), size - tail.size());
    std::ofstream(pathOf(path), std::ios::binary | std::ios::app) << tail;
    const std::uint32_t expected =
        crc32Update(crc32Zeros(crc32Update(0, head.data(), head.size()), size - head.size() - tail.size()),
                    reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size());
    clsCRC32 calculator;
    EXPECT_EQ(fileCrc32(path, calculator), expected);
}

}  // namespace
