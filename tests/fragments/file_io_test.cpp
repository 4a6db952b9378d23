#include "fragments/file_io.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "fragments/errors.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

std::string asText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Every test starts and ends with the seams switched off.
class FileIo : public ::testing::Test {
  protected:
    void TearDown() override {
        testing::setWriteFault({});
        testing::setCopyFault({});
        testing::forceReadWriteCopy(false);
    }

    // Copies [offset, offset+count) of `source` and then all of it again to a new file; returns its content.
    std::string copyTwice(const std::string& source, std::int64_t offset, std::int64_t count) {
        const std::string target = dir.file("out.bin");
        InputFile in(source);
        OutputFile out(target);
        copyBytes(in, offset, out, count);
        copyBytes(in, 0, out, in.size());
        EXPECT_EQ(out.written(), count + in.size());
        out.close();
        return readFile(target);
    }

    TempDir dir;
};

TEST_F(FileIo, CopiesExactBytesOnEveryPath) {
    const auto bytes = patternBytes(3 * 1024 * 1024 + 17);
    const std::string source = dir.file("in.bin");
    writeFile(source, bytes);
    const std::string all = asText(bytes);
    const std::string expected = all.substr(1000, 2 * 1024 * 1024 + 5) + all;

    EXPECT_EQ(copyTwice(source, 1000, 2 * 1024 * 1024 + 5), expected) << "kernel copy";

    testing::forceReadWriteCopy(true);
    EXPECT_EQ(copyTwice(source, 1000, 2 * 1024 * 1024 + 5), expected) << "read/write copy";
    testing::forceReadWriteCopy(false);

    int calls = 0;
    testing::setCopyFault([&](std::size_t& size) {
        ++calls;
        size = std::min<std::size_t>(size, 4099);
        return 0;
    });
    EXPECT_EQ(copyTwice(source, 1000, 2 * 1024 * 1024 + 5), expected) << "short kernel copies";
    EXPECT_GT(calls, 1000);

    for (int fallbackError : {ENOSYS, EXDEV, EOPNOTSUPP, EINVAL, EBADF, EPERM, ETXTBSY, EIO}) {
        calls = 0;
        testing::setCopyFault([&](std::size_t& size) {
            size = std::min<std::size_t>(size, 100);
            return ++calls == 3 ? fallbackError : 0;
        });
        EXPECT_EQ(copyTwice(source, 1000, 2 * 1024 * 1024 + 5), expected)
            << "fallback after " << fallbackError;
    }

    // A kernel copy that returns 0 before the end hands over to reads and writes.
    testing::setCopyFault([](std::size_t& size) {
        size = 0;
        return 0;
    });
    EXPECT_EQ(copyTwice(source, 1000, 2 * 1024 * 1024 + 5), expected) << "zero-length kernel copy";
}

TEST_F(FileIo, HolesInTheSourceReadBackAsZeros) {
    const std::string source = dir.file("sparse.bin");
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

TEST_F(FileIo, FullDiskNamesTheTargetOnEveryPath) {
    const std::string source = dir.file("in.bin");
    const std::string target = dir.file("out.bin");
    writeFile(source, patternBytes(3 * 1024 * 1024));
    for (bool readWrite : {false, true}) {
        testing::forceReadWriteCopy(readWrite);
        std::size_t allowed = 2;
        testing::setWriteFault([&](const std::string& path, std::size_t) {
            return path == target && allowed-- == 0 ? ENOSPC : 0;
        });
        testing::setCopyFault([](std::size_t& size) {
            size = std::min<std::size_t>(size, 1 << 20);
            return 0;
        });
        InputFile in(source);
        OutputFile out(target);
        try {
            copyBytes(in, 0, out, in.size());
            ADD_FAILURE() << "no failure reported, readWrite=" << readWrite;
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), FileError::Kind::Io);
            EXPECT_EQ(e.path(), target);
            EXPECT_EQ(e.code().value(), ENOSPC);
            EXPECT_EQ(e.reason(), std::strerror(ENOSPC));
        }
    }
    testing::setCopyFault([](std::size_t&) { return ENOSPC; });
    testing::setWriteFault({});
    testing::forceReadWriteCopy(false);
    InputFile in(source);
    OutputFile out(target);
    EXPECT_THROW(copyBytes(in, 0, out, 10), FileError) << "a full disk during a kernel copy";

    testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    EXPECT_THROW(out.write("x", 1), FileError);
}

TEST_F(FileIo, ShortSourceAndUnopenableFilesAreReported) {
    const std::string source = dir.file("in.bin");
    writeFile(source, patternBytes(5000));
    for (bool readWrite : {false, true}) {
        testing::forceReadWriteCopy(readWrite);
        InputFile in(source);
        OutputFile out(dir.file("out.bin"));
        try {
            copyBytes(in, 1000, out, 4001);
            ADD_FAILURE() << "a source ending early went unnoticed";
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), FileError::Kind::Io);
            EXPECT_EQ(e.path(), source);
        }
    }

    const std::string missing = dir.file("fehlt.bin");
    const auto expectCannotOpen = [&](auto&& action, const std::string& path) {
        try {
            action();
            ADD_FAILURE() << "no failure for " << path;
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), FileError::Kind::CannotOpen);
            EXPECT_EQ(e.path(), path);
            EXPECT_FALSE(e.reason().empty());
        }
    };
    expectCannotOpen([&] { InputFile in(missing); }, missing);
    expectCannotOpen([&] { fileSize(missing); }, missing);
    expectCannotOpen([&] { InputFile in(dir.path().string()); }, dir.path().string());
    const std::string inMissingFolder = dir.file("nicht/da.bin");
    expectCannotOpen([&] { OutputFile out(inMissingFolder); }, inMissingFolder);
    expectCannotOpen([&] { OutputFile out(source, true); }, source);
    EXPECT_EQ(readFile(source).size(), 5000u) << "mustBeNew left the existing file alone";
}

TEST_F(FileIo, ExistenceSizeAndRemoval) {
    const std::string file = dir.file("Größe 1.dat._001");
    EXPECT_FALSE(fileExists(file));
    writeFile(file, "");
    EXPECT_TRUE(fileExists(file));
    EXPECT_EQ(fileSize(file), 0);
    writeFile(file, "abc");
    EXPECT_EQ(fileSize(file), 3);
    EXPECT_FALSE(fileExists(dir.path().string())) << "a folder is no file";

    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    removeFile(file, true);
    EXPECT_FALSE(fileExists(file));
    EXPECT_NO_THROW(removeFile(file)) << "a file that is already gone";
}

}  // namespace
}  // namespace fragments
