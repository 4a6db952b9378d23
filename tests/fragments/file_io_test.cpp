#include "fragments/file_io.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core_test_support.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using testsupport::expectFileError;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::writeFile;
using Kind = FileError::Kind;

// Every test ends with the seams switched off.
class FileIo : public ::testing::Test {
  protected:
    void TearDown() override {
        testing::setWriteFault({});
        testing::setCopyFault({});
        testing::forceReadWriteCopy(false);
    }

    // Copies [offset, offset+count) of `source`, then all of it again, to out.bin; returns its content.
    std::string copyTwice(const std::string& source, std::int64_t offset, std::int64_t count) {
        InputFile in(source);
        OutputFile out(target);
        copyBytes(in, offset, out, count);
        copyBytes(in, 0, out, in.size());
        EXPECT_EQ(out.written(), count + in.size());
        out.close();
        return readFile(target);
    }

    // Kernel copies of at most `limit` bytes; the `failAt`-th call fails with `error`.
    static void limitKernelCopies(std::size_t limit, int failAt = 0, int error = 0) {
        testing::setCopyFault([=, calls = 0](std::size_t& size) mutable {
            size = std::min(size, limit);
            return ++calls == failAt ? error : 0;
        });
    }

    testsupport::TempDir dir;
    std::string source = dir.file("in.bin");
    std::string target = dir.file("out.bin");
};

TEST_F(FileIo, CopiesExactBytesOnEveryPath) {
    const auto bytes = patternBytes(3 * 1024 * 1024 + 17);
    writeFile(source, bytes);
    const std::string all(bytes.begin(), bytes.end());
    const std::string expected = all.substr(1000, 2 * 1024 * 1024 + 5) + all;
    const auto check = [&](const char* path) {
        EXPECT_EQ(copyTwice(source, 1000, 2 * 1024 * 1024 + 5), expected) << path;
    };
    check("kernel copy");
    testing::forceReadWriteCopy(true);
    check("read/write copy");
    testing::forceReadWriteCopy(false);
    limitKernelCopies(4099);
    check("short kernel copies");
    for (int error : {ENOSYS, EXDEV, EOPNOTSUPP, EINVAL, EBADF, EPERM, ETXTBSY, EIO}) {
        limitKernelCopies(100, 3, error);
        check("fallback after a kernel copy failed");
    }
    limitKernelCopies(0);
    check("kernel copy returning 0 before the end");
}

TEST_F(FileIo, HolesInTheSourceReadBackAsZeros) {
    const std::int64_t hole = 3 << 20;
    {
        std::ofstream out(source, std::ios::binary);
        out.seekp(hole);
        out << "Daten";
    }
    std::filesystem::resize_file(source, 2 * hole);
    std::string expected = std::string(hole, '\0') + "Daten" + std::string(hole - 5, '\0');
    expected = expected.substr(10, 2 * hole - 20) + expected;
    for (bool readWrite : {false, true}) {
        testing::forceReadWriteCopy(readWrite);
        EXPECT_EQ(copyTwice(source, 10, 2 * hole - 20), expected) << "readWrite=" << readWrite;
    }
}

TEST_F(FileIo, FullDiskAndShortSourceNameTheFileConcerned) {
    writeFile(source, patternBytes(3 * 1024 * 1024));
    for (bool readWrite : {false, true}) {
        testing::forceReadWriteCopy(readWrite);
        limitKernelCopies(1 << 20);
        testing::setWriteFault([&, allowed = 2](const std::string& path, std::size_t) mutable {
            return path == target && allowed-- <= 0 ? ENOSPC : 0;
        });
        InputFile in(source);
        OutputFile out(target);
        expectFileError([&] { copyBytes(in, 0, out, in.size()); }, Kind::Io, target);
        expectFileError([&] { out.write("x", 1); }, Kind::Io, target);
        testing::setWriteFault({});
        expectFileError([&] { copyBytes(in, 1000, out, in.size() - 999); }, Kind::Io, source);
    }
    // A full disk reported by the kernel copy itself.
    testing::forceReadWriteCopy(false);
    limitKernelCopies(100, 2, ENOSPC);
    InputFile in(source);
    OutputFile out(target);
    expectFileError([&] { copyBytes(in, 0, out, 1000); }, Kind::Io, target);
}

TEST_F(FileIo, UnopenableFilesAndRemoval) {
    const std::string missing = dir.file("fehlt.bin");
    const std::string folder = dir.path().string();
    expectFileError([&] { InputFile in(missing); }, Kind::CannotOpen, missing);
    expectFileError([&] { fileSize(missing); }, Kind::CannotOpen, missing);
    expectFileError([&] { InputFile in(folder); }, Kind::CannotOpen, folder);
    expectFileError([&] { OutputFile out(dir.file("nicht/da.bin")); }, Kind::CannotOpen,
                    dir.file("nicht/da.bin"));
    writeFile(source, "alt");
    expectFileError([&] { OutputFile out(source, true); }, Kind::CannotOpen, source);
    EXPECT_EQ(readFile(source), "alt") << "mustBeNew leaves an existing file alone";

    const std::string file = dir.file("Größe 1.dat._001");
    EXPECT_FALSE(fileExists(file));
    writeFile(file, "abc");
    EXPECT_TRUE(fileExists(file));
    EXPECT_EQ(fileSize(file), 3);
    EXPECT_FALSE(fileExists(folder)) << "a folder is no file";
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    removeFile(file, true);
    EXPECT_FALSE(fileExists(file));
    EXPECT_NO_THROW(removeFile(file)) << "a file that is already gone";
}

}  // namespace
}  // namespace fragments
