// The file layer's own promises: owned files are closed exactly once on every way out, and its
// failures carry the path and the system's code and can be caught as std::system_error.

#include "fileio/files.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "fileio/error.hpp"
#include "support/TempDir.hpp"

namespace fileio {
namespace {

using namespace testsupport;

long openFiles() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<long>(std::distance(begin(fds), end(fds)));
}

bool stillOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(Descriptor, ClosesOnEveryWayOutAndNeverTwice) {
    TempDir dir;
    const std::string path = dir.file("a.bin");
    writeFile(path, "abc");
    const long before = openFiles();
    EXPECT_THROW(InputFile{dir.path().string()}, FileError) << "a folder is opened, then refused";
    EXPECT_THROW(
        {
            InputFile in(path);
            OutputFile out(dir.file("b.bin"));
            throw std::runtime_error("unwinding");
        },
        std::runtime_error);
    {
        Descriptor first(::open(path.c_str(), O_RDONLY));
        Descriptor second(std::move(first));
        EXPECT_FALSE(first.isOpen());  // NOLINT(bugprone-use-after-move): moved-from is empty
        second = Descriptor(::open(path.c_str(), O_RDONLY));
        EXPECT_EQ(openFiles(), before + 1) << "the assigned-over file is closed";
        EXPECT_FALSE(second.close());
        // The number just freed goes to the next file opened: a second close would close that one.
        const int other = ::open(path.c_str(), O_RDONLY);
        EXPECT_FALSE(second.close());
        OutputFile out(dir.file("c.bin"));
        out.close();
        out.close();
        EXPECT_TRUE(stillOpen(other));
        ::close(other);
    }
    EXPECT_EQ(openFiles(), before);
}

TEST(FileError, CarriesKindPathAndCodeAndIsASystemError) {
    TempDir dir;
    const std::string missing = dir.file("fehlt.dat");
    try {
        InputFile in(missing);
        FAIL() << "no failure";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(std::string(error.what()), missing + ": " + error.code().message());
        const auto* file = dynamic_cast<const FileError*>(&error);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->kind(), FileError::Kind::CannotOpen);
        EXPECT_EQ(file->path(), missing);
        EXPECT_EQ(file->reason(), error.code().message());
    }
    const std::string folder = dir.file("ordner");
    std::filesystem::create_directory(folder);
    writeFile(dir.file("a.bin"), "abc");
    try {
        renameReplacing(dir.file("a.bin"), folder);
        FAIL() << "a file moved onto a folder";
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::Io);
        EXPECT_EQ(error.path(), folder) << "the failure names the target";
        EXPECT_EQ(error.code(), std::errc::is_a_directory);
    }
}

}  // namespace
}  // namespace fileio
