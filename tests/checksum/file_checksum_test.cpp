#include "checksum/file_checksum.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <system_error>

#include "checksum/crc32.hpp"
#include "crc_reference.hpp"
#include "support/TempDir.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using checksum::crcText;
using checksum::fileCrc32;

// The chunking the checksum command was first designed with: 2048-byte chunks, the last 1..2049 bytes.
std::uint32_t crcIn2048ByteChunks(const std::vector<std::uint8_t>& bytes) {
    clsCRC32 calculator;
    std::int32_t crc = 0;
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t left = bytes.size() - position;
        const std::size_t chunk = left > 2049 ? 2048 : left;
        const std::vector<std::uint8_t> array(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                                              bytes.begin() + static_cast<std::ptrdiff_t>(position + chunk));
        crc = calculator.CRC32(crc, array, static_cast<double>(chunk - 1));
        position += chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

TEST(FileChecksum, SizesAroundChunkAndBlockBoundaries) {
    testsupport::TempDir dir;
    clsCRC32 calculator;
    const std::size_t mebibyte = std::size_t{1} << 20;
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{2048}, std::size_t{2049}, std::size_t{2050},
          std::size_t{4097}, mebibyte - 1, mebibyte, mebibyte + 1, 3 * mebibyte + 2049}) {
        const auto bytes = testsupport::patternBytes(size, static_cast<std::uint32_t>(size));
        const std::string path = dir.file("data" + std::to_string(size) + ".bin");
        testsupport::writeFile(path, bytes);
        const std::uint32_t crc = fileCrc32(path, calculator);
        EXPECT_EQ(crc, bitwiseCrc32(bytes)) << size;
        EXPECT_EQ(crc, crcIn2048ByteChunks(bytes)) << size;
        if (size != 0) {
            EXPECT_NE(crc, 0u) << size;
        }
    }
}

TEST(FileChecksum, DigitsFileAndTextForm) {
    testsupport::TempDir dir;
    clsCRC32 calculator;
    const std::string path = dir.file("ziffern.txt");
    testsupport::writeFile(path, "123456789");
    EXPECT_EQ(crcText(fileCrc32(path, calculator)), "CBF43926");
    EXPECT_EQ(crcText(0), "00000000");
    EXPECT_EQ(crcText(0x352441C2u), "352441C2");
    EXPECT_EQ(crcText(0x00ABCDEFu), "00ABCDEF");
    EXPECT_EQ(crcText(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(FileChecksum, MissingFileOrFolderThrowsWithTheSystemsReason) {
    testsupport::TempDir dir;
    clsCRC32 calculator;
    try {
        fileCrc32(dir.file("fehlt.dat"), calculator);
        FAIL() << "no exception";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
    try {
        fileCrc32(dir.path().string(), calculator);
        FAIL() << "no exception";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::is_a_directory);
    }
}

#ifndef _WIN32

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

TEST(FileChecksum, FileIsClosedAfterwards) {
    testsupport::TempDir dir;
    clsCRC32 calculator;
    const std::string path = dir.file("a.bin");
    testsupport::writeFile(path, testsupport::patternBytes(5000));
    const std::size_t before = openDescriptors();
    fileCrc32(path, calculator);
    EXPECT_EQ(openDescriptors(), before);
}

// Runs `body` in a child process without the right to read other users' files; its exit status.
int runUnprivileged(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(100);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST(FileChecksum, UnreadableFileThrowsButAnEmptyOneIsNotEvenOpened) {
    testsupport::TempDir dir;
    const std::string locked = dir.file("gesperrt.bin");
    const std::string empty = dir.file("leer.bin");
    testsupport::writeFile(locked, "123456789");
    testsupport::writeFile(empty, "");
    ::chmod(locked.c_str(), 0);
    ::chmod(empty.c_str(), 0);
    // The folder must be passable for the unprivileged child.
    ::chmod(dir.path().c_str(), 0755);

    const int lockedResult = runUnprivileged([&] {
        clsCRC32 calculator;
        try {
            fileCrc32(locked, calculator);
            return 1;
        } catch (const std::system_error& error) {
            return error.code() == std::errc::permission_denied ? 0 : 2;
        }
    });
    EXPECT_EQ(lockedResult, 0);
    const int emptyResult = runUnprivileged([&] {
        clsCRC32 calculator;
        try {
            return fileCrc32(empty, calculator) == 0 ? 0 : 1;
        } catch (const std::system_error&) {
            return 2;
        }
    });
    EXPECT_EQ(emptyResult, 0);
}

#endif

}  // namespace
