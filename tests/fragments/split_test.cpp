#include "fragments/split.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core_test_support.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using namespace testsupport;
using Kind = fileio::FileError::Kind;

// Every test ends with the seams switched off.
class FileIo : public ::testing::Test {
  protected:
    void TearDown() override {
        fileio::testing::setWriteFault({});
        fileio::testing::setCopyFault({});
        fileio::testing::forceReadWriteCopy(false);
    }

    // Kernel copies of at most `limit` bytes; the `failAt`-th call fails with `error`.
    static void limitKernelCopies(std::size_t limit, int failAt = 0, int error = 0) {
        fileio::testing::setCopyFault([=, calls = 0](std::size_t& size) mutable {
            size = std::min(size, limit);
            return ++calls == failAt ? error : 0;
        });
    }

    TempDir dir;
    std::string source = dir.file("in.bin");
    std::string target = dir.file("out.bin");
};

// A source with data, a hole and data again, copied in part and then whole into one target.
TEST_F(FileIo, CopiesExactBytesOnEveryPath) {
    writeFile(source, patternBytes(1024 * 1024 + 17));
    std::filesystem::resize_file(pathOf(source), 4 * 1024 * 1024);
    std::ofstream(pathOf(source), std::ios::binary | std::ios::app) << "Daten";
    const std::string all = readFile(source);
    const auto check = [&](const char* path) {
        std::filesystem::remove(target);
        {
            fileio::InputFile in(source);
            fileio::OutputFile out(target);
            fileio::copyBytes(in, 1000, out, in.size() - 2000);
            fileio::copyBytes(in, 0, out, in.size());
            out.close();
        }
        EXPECT_EQ(readFile(target), all.substr(1000, all.size() - 2000) + all) << path;
    };
    check("kernel copy");
    fileio::testing::forceReadWriteCopy(true);
    check("read/write copy");
    fileio::testing::forceReadWriteCopy(false);
    limitKernelCopies(4099);
    check("short kernel copies");
    for (int error : {ENOSYS, EXDEV, EOPNOTSUPP, EINVAL, EBADF, EPERM, ETXTBSY, EIO}) {
        limitKernelCopies(100, 3, error);
        check("fallback after a kernel copy failed");
    }
    limitKernelCopies(0);
    check("kernel copy returning 0 before the end");
}

// Missing files and folders are covered where split and join open them.
TEST_F(FileIo, UnopenableFiles) {
    const std::string folder = dir.utf8();
    expectFileError([&] { fileio::InputFile in(folder); }, Kind::CannotOpen, folder);
    writeFile(source, "alt");
    expectFileError([&] { fileio::OutputFile out(source); }, Kind::CannotOpen, source);
    EXPECT_EQ(readFile(source), "alt") << "an existing file is left alone";
}

// Fragments above 2,147,483,647 bytes are refused; the 1000-fragment refusal is checked with the failures.
TEST(SplitPlanning, FragmentSizeLimit) {
    EXPECT_EQ(fragmentBytesFor(-1), std::nullopt);
    EXPECT_EQ(fragmentBytesFor(2097151), 2147482624);
    EXPECT_EQ(fragmentBytesFor(2097152), std::nullopt);
    EXPECT_THROW(planSplit(10, 0), std::invalid_argument);
}

// Empty, shorter than one fragment, an exact multiple, with a short rest, and 999 fragments; an old
// first fragment is replaced. The window hears "+n" before full fragment n, then "n:name" (full) or
// "n:name." (short).
TEST(Split, BoundariesWriteExactPiecesAndReportThemInOrder) {
    for (const std::size_t length : {0, 1000, 3072, 2500, 1022976}) {
        TempDir dir;
        const std::string source = dir.file("Größe 1.v2.DAT");
        const auto bytes = patternBytes(length, static_cast<std::uint32_t>(length));
        writeFile(source, bytes);
        if (length != 0) {
            writeFile(fragmentName(source, 1), std::string(3000, 'z'));
        }
        std::string log;
        SplitEvents events;
        events.beforeFullFragment = [&log](int n) { log.append("+").append(std::to_string(n)).append(" "); };
        events.fragmentNamed = [&log](int n, const std::string& name, bool full) {
            log += std::to_string(n) + ":" + name + (full ? " " : ". ");
        };
        const SplitPlan plan = planSplit(static_cast<std::int64_t>(length), 1024);
        const SplitResult result = splitFile(source, plan, events, nativeSeparator);

        EXPECT_EQ(result.fragmentsWritten, plan.fragmentCount);
        EXPECT_EQ(result.bytesWritten, static_cast<std::int64_t>(length));
        std::string joined, expectedLog, name;
        for (int n = 1; n <= static_cast<int>(plan.fragmentCount); ++n) {
            name = Nurdatei(fragmentName(source, n), nativeSeparator);
            const bool full = n <= plan.fullFragments;
            const std::string piece = readFile(dir.file(name));
            EXPECT_EQ(piece.size(), full ? 1024u : static_cast<std::size_t>(plan.remainder)) << name;
            joined += piece;
            // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "+" + std::string at -O2.
            if (full) {
                expectedLog.append("+").append(std::to_string(n)).append(" ");
            }
            expectedLog.append(std::to_string(n)).append(":").append(name).append(full ? " " : ". ");
        }
        EXPECT_EQ(joined, std::string(bytes.begin(), bytes.end())) << length;
        EXPECT_EQ(log, expectedLog) << length;
        EXPECT_EQ(result.lastFileName, name);
        EXPECT_EQ(filesIn(dir.path()).size(), static_cast<std::size_t>(plan.fragmentCount) + 1);
    }
}

// A full disk and a source shorter than planned, on both copy paths.
TEST_F(FileIo, SplitFailuresNameTheFileAndKeepWhatWasWritten) {
    const auto bytes = patternBytes(5000);
    for (bool readWrite : {false, true}) {
        fileio::testing::forceReadWriteCopy(readWrite);
        const std::string from = readWrite ? dir.file("rw.dat") : source, second = fragmentName(from, 2);
        writeFile(from, bytes);
        fileio::testing::setWriteFault(
            [&](const std::string& path, std::size_t) { return path == second ? ENOSPC : 0; });
        expectFileError([&] { splitFile(from, planSplit(5000, 1024), {}, nativeSeparator); }, Kind::Io,
                        second);
        fileio::testing::setWriteFault({});
        EXPECT_EQ(readFile(fragmentName(from, 1)), std::string(bytes.begin(), bytes.begin() + 1024));
        EXPECT_FALSE(fileio::fileExists(fragmentName(from, 3)));
        expectFileError([&] { splitFile(from, planSplit(6000, 1024), {}, nativeSeparator); }, Kind::Io, from);
    }
    expectFileError([&] { splitFile(dir.file("fehlt.dat"), planSplit(10, 1024), {}, nativeSeparator); },
                    Kind::CannotOpen, dir.file("fehlt.dat"));
    EXPECT_THROW(splitFile(source, planSplit(1022977, 1024), {}, nativeSeparator), std::invalid_argument);

#ifndef _WIN32
    // A sticky folder: nobody may add files, but not delete root's. Without the deletion first, the
    // old fragment would be opened for writing and fail as CannotOpen instead.
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    const std::string first = fragmentName(source, 1);
    EXPECT_EQ(failureAsNobody([&] { splitFile(source, planSplit(5000, 1024), {}, nativeSeparator); },
                              Kind::Io, first),
              0);
    EXPECT_EQ(readFile(first).size(), 1024u);
#endif
}

// Beyond 4 GiB: offsets and sums must not be cut to 32 bits. The sparse source keeps the disk quiet.
TEST(LargeFile, SplitsAndJoinsAboveFourGibibytes) {
    TempDir dir;
    const std::string source = dir.file("gross.bin");
    const std::int64_t length = (std::int64_t{43} << 30) / 10;
    const std::int64_t marks[] = {0, (std::int64_t{1} << 31) - 1, std::int64_t{1} << 32,
                                  (std::int64_t{1} << 32) + 5 * 1024 * 1024 + 3, length - 4};
    {
        std::ofstream out(pathOf(source), std::ios::binary);
        for (std::int64_t offset : marks) {
            out.seekp(offset);
            out.write("ABCD", 4);
        }
    }
    std::filesystem::resize_file(pathOf(source), static_cast<std::uintmax_t>(length));
    const SplitPlan plan = planSplit(length, *fragmentBytesFor(5 * 1024));
    EXPECT_EQ(splitFile(source, plan, {}, nativeSeparator).bytesWritten, length);
    EXPECT_EQ(fileio::fileSize(fragmentName(source, static_cast<int>(plan.fragmentCount))), plan.remainder);

    const std::string target = dir.file("wieder.bin");
    JoinOutput output(target);
    for (int n = 1; n <= static_cast<int>(plan.fragmentCount); ++n) {
        output.append(fragmentName(source, n), fileio::fileSize(fragmentName(source, n)));
        std::filesystem::remove(pathOf(fragmentName(source, n)));
    }
    output.commit();
    EXPECT_EQ(fileio::fileSize(target), length);
    std::ifstream in(pathOf(target), std::ios::binary);
    const auto bytesAt = [&](std::int64_t offset) {
        std::string data(4, '?');
        in.seekg(offset);
        in.read(data.data(), 4);
        return data;
    };
    for (std::int64_t offset : marks) {
        EXPECT_EQ(bytesAt(offset), "ABCD") << offset;
    }
    EXPECT_EQ(bytesAt(std::int64_t{3} << 30), std::string(4, '\0'));
}

}  // namespace
}  // namespace fragments
