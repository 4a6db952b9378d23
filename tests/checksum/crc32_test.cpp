// The CRC-32 calculator, its kernels and the file checksum, each against an independent bitwise CRC-32
// taken straight from the polynomial.

#include "checksum/crc32.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <system_error>

#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "support/TempDir.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace checksum;
using namespace testsupport;
using Bytes = std::vector<std::uint8_t>;

// The first `size` bytes, continuing from `crc`.
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

// The check value (its top bit comes back as a negative number), a running checksum continued at every
// cut, and the length as the last index included: a fraction cut off, a negative one hands the running
// checksum back, no elements give 0, beyond the end throws.
TEST(Crc32, CheckValueChainingAndTheLastIndexIncluded) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN(),
                     inf = std::numeric_limits<double>::infinity();
    clsCRC32 crc;
    EXPECT_EQ(crc.CRC32(0, {'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 8),
              static_cast<std::int32_t>(0xCBF43926u));
    EXPECT_EQ(crc.CRC32(0, {'a', 'b', 'c'}, 2), 0x352441C2);
    const auto bytes = patternBytes(2048, 3);
    const auto of = [&](double length) { return static_cast<std::uint32_t>(crc.CRC32(0, bytes, length)); };
    for (std::ptrdiff_t cut = 1; cut < 64; ++cut) {
        const std::int32_t running = crc.CRC32(0, Bytes(bytes.begin(), bytes.begin() + cut), double(cut - 1));
        EXPECT_EQ(static_cast<std::uint32_t>(
                      crc.CRC32(running, Bytes(bytes.begin() + cut, bytes.begin() + 64), double(63 - cut))),
                  bitwiseCrc32(bytes, 64))
            << cut;
    }
    EXPECT_EQ(of(2.7), bitwiseCrc32(bytes, 3));
    EXPECT_EQ(of(2047.5), bitwiseCrc32(bytes));
    EXPECT_EQ(of(-0.0), bitwiseCrc32(bytes, 1));
    for (double negative : {-1.0, -0.5, -1e300, -inf}) {
        EXPECT_EQ(crc.CRC32(0x12345678, bytes, negative), 0x12345678) << negative;
    }
    for (double length : {-1.0, 0.0, 5.0, nan}) {
        EXPECT_EQ(crc.CRC32(-559038737, {}, length), 0) << length;
    }
    for (double beyond : {2048.0, 2048.5, 1e19, inf, nan}) {
        EXPECT_THROW(crc.CRC32(0, bytes, beyond), std::out_of_range) << beyond;
    }
}

TEST(CrcKernels, EveryKernelEqualsTheTableAtEveryAlignmentAndLengthAndOnLargeBuffers) {
    EXPECT_NE(activeKernel(), Kernel::Table) << "the dispatcher prefers a faster kernel";
    const auto source = patternBytes(1024, 11);
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
        std::mt19937 random(20240611);
        for (int round = 0; round < 6 && kernelSupported(kernel); ++round) {
            const auto bytes =
                patternBytes(std::uniform_int_distribution<std::size_t>(1, 4u << 20)(random), round);
            EXPECT_EQ(crc32UpdateWith(kernel, start, bytes.data(), bytes.size()),
                      crc32UpdateWith(Kernel::Table, start, bytes.data(), bytes.size()))
                << kernelName(kernel) << " size " << bytes.size();
        }
    }
}

// The checksum of a whole from those of its pieces, empty ones included, and of runs of zeros, beyond 32 bits
// of length too, as the split's source line and holes need them.
TEST(CrcCombine, PiecesGiveTheWholeAndZerosNeedNoBytes) {
    const auto bytes = patternBytes(100000, 5);
    const std::uint32_t whole = bitwiseCrc32(bytes);
    for (const std::size_t cut : {0, 1, 4096, 99999, 100000}) {
        const std::uint32_t first = crc32UpdateWith(Kernel::Table, 0, bytes.data(), cut);
        const std::uint32_t second =
            crc32UpdateWith(Kernel::Table, 0, bytes.data() + cut, bytes.size() - cut);
        EXPECT_EQ(crc32Combine(first, second, static_cast<std::int64_t>(bytes.size() - cut)), whole) << cut;
    }
    const Bytes zeros(70001, 0);
    for (const std::size_t count : {0, 1, 70001}) {
        EXPECT_EQ(crc32Zeros(whole, static_cast<std::int64_t>(count)),
                  crc32UpdateWith(Kernel::Table, whole, zeros.data(), count))
            << count;
    }
    const std::int64_t large = (std::int64_t{5} << 30) + 3;
    EXPECT_EQ(crc32Zeros(crc32Zeros(whole, large), 70001), crc32Zeros(whole, large + 70001));
    EXPECT_EQ(crc32Combine(crc32Zeros(0, large), crc32Zeros(0, 70001), 70001), crc32Zeros(0, large + 70001));
}

// Sizes around the 2048-byte chunks of the original command and the reader's mebibyte blocks; the window
// serves its event loop after every block read, the short last one included.
TEST(FileChecksum, SizesAroundChunkAndBlockBoundaries) {
    TempDir dir;
    clsCRC32 calculator;
    for (std::size_t size : {0, 1, 2048, 2049, 2050, 4097, 1 << 20, (3 << 20) + 2049}) {
        const auto bytes = patternBytes(size, static_cast<std::uint32_t>(size));
        writeFile(dir.file("data.bin"), bytes);
        std::size_t blocks = 0;
        EXPECT_EQ(fileCrc32(dir.file("data.bin"), calculator, [&blocks] { ++blocks; }), bitwiseCrc32(bytes))
            << size;
        EXPECT_EQ(blocks, (size + (1 << 20) - 1) >> 20) << size;
    }
    writeFile(dir.file("ziffern.txt"), "123456789");
    EXPECT_EQ(crcText(fileCrc32(dir.file("ziffern.txt"), calculator)), "CBF43926");
    EXPECT_EQ(crcText(0x00ABCDEFu), "00ABCDEF");
}

// The error code fileCrc32 throws for `path`, or a default code when it throws none.
std::error_code failureOf(const std::string& path) {
    clsCRC32 calculator;
    try {
        fileCrc32(path, calculator);
    } catch (const std::system_error& error) {
        return error.code();
    }
    return {};
}

// A missing file and a folder fail with the system's reason; an empty file gives 0. A FIFO is refused, not
// waited on; a /proc file that reports 0 bytes is read to its end. As nobody, reading a locked file fails,
// an empty one too (its size alone proves nothing), and nothing is left open.
TEST(FileChecksum, MissingUnreadableAndOddFiles) {
    TempDir dir;
    clsCRC32 calculator;
    EXPECT_EQ(failureOf(dir.file("fehlt.dat")), std::errc::no_such_file_or_directory);
    EXPECT_EQ(failureOf(dir.utf8()), std::errc::is_a_directory);
    writeFile(dir.file("leer.bin"), "");
    EXPECT_EQ(fileCrc32(dir.file("leer.bin"), calculator), 0u);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.file("rohr").c_str(), 0644), 0);
    EXPECT_EQ(failureOf(dir.file("rohr")), fileio::Errc::NotRegularFile);
    const std::string version = readFile("/proc/version");
    ASSERT_EQ(std::filesystem::file_size("/proc/version"), 0u);
    EXPECT_EQ(fileCrc32("/proc/version", calculator), bitwiseCrc32(Bytes(version.begin(), version.end())));
    writeFile(dir.file("a.bin"), patternBytes(5000));
    writeFile(dir.file("gesperrt.bin"), "123456789");
    ::chmod(dir.file("gesperrt.bin").c_str(), 0);
    ::chmod(dir.file("leer.bin").c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const pid_t child = fork();
    if (child == 0) {
        const auto before = openFiles();
        _exit(setgid(65534) == 0 && setuid(65534) == 0 &&
                      failureOf(dir.file("gesperrt.bin")) == std::errc::permission_denied &&
                      !failureOf(dir.file("a.bin")) &&
                      failureOf(dir.file("leer.bin")) == std::errc::permission_denied && openFiles() == before
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
}

// A sparse file beyond 4 GiB: marks at both ends, zeros between, fed through one reused buffer for the
// expected value, so that no 64-bit length can wrap unnoticed.
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
    std::uint32_t expected = crc32Update(0, head.data(), head.size());
    const Bytes zeros(std::size_t{1} << 22);
    for (std::uint64_t left = size - head.size() - tail.size(); left != 0;) {
        const std::size_t chunk = left < zeros.size() ? static_cast<std::size_t>(left) : zeros.size();
        expected = crc32Update(expected, zeros.data(), chunk);
        left -= chunk;
    }
    expected = crc32Update(expected, reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size());
    clsCRC32 calculator;
    EXPECT_EQ(fileCrc32(path, calculator), expected);
}

}  // namespace
