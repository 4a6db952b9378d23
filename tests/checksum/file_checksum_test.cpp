#include "checksum/file_checksum.hpp"

#include <gtest/gtest.h>

#include <filesystem>
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

// Sizes around the 2048-byte chunks of the original command and the reader's mebibyte blocks.
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
        EXPECT_EQ(fileCrc32(path, calculator), bitwiseCrc32(bytes)) << size;
    }
    const std::string digits = dir.file("ziffern.txt");
    testsupport::writeFile(digits, "123456789");
    EXPECT_EQ(crcText(fileCrc32(digits, calculator)), "CBF43926");
    EXPECT_EQ(crcText(0x00ABCDEFu), "00ABCDEF");
    EXPECT_EQ(crcText(0), "00000000");
}

TEST(FileChecksum, MissingFileOrFolderThrowsWithTheSystemsReason) {
    testsupport::TempDir dir;
    EXPECT_EQ(failureOf(dir.file("fehlt.dat")), std::errc::no_such_file_or_directory);
    EXPECT_EQ(failureOf(dir.path().string()), std::errc::is_a_directory);
}

#ifndef _WIN32

TEST(FileChecksum, FileIsClosedAfterwards) {
    const auto openDescriptors = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    testsupport::TempDir dir;
    clsCRC32 calculator;
    const std::string path = dir.file("a.bin");
    testsupport::writeFile(path, testsupport::patternBytes(5000));
    const auto before = openDescriptors();
    fileCrc32(path, calculator);
    EXPECT_EQ(openDescriptors(), before);
}

// Run as nobody, so that the mode of the files counts: reading the locked one fails, the empty
// one gives 0 because it is not even opened.
TEST(FileChecksum, UnreadableFileThrowsButAnEmptyOneIsNotEvenOpened) {
    testsupport::TempDir dir;
    const std::string locked = dir.file("gesperrt.bin");
    const std::string empty = dir.file("leer.bin");
    testsupport::writeFile(locked, "123456789");
    testsupport::writeFile(empty, "");
    ::chmod(locked.c_str(), 0);
    ::chmod(empty.c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(100);
        }
        clsCRC32 calculator;
        if (failureOf(locked) != std::errc::permission_denied) {
            _exit(1);
        }
        _exit(failureOf(empty) || fileCrc32(empty, calculator) != 0 ? 2 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

#endif

}  // namespace
