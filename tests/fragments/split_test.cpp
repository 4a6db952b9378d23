#include "fragments/split.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core_test_support.hpp"
#include "fragments/errors.hpp"
#include "fragments/file_io.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using testsupport::filesIn;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

// What the window is told, in order: "+n" before full fragment n, then "n:name" (full) or "n:name." (short).
SplitEvents recordInto(std::string& log) {
    SplitEvents events;
    events.beforeFullFragment = [&log](int n) { log.append("+").append(std::to_string(n)).append(" "); };
    events.fragmentNamed = [&log](int n, const std::string& name, bool full) {
        log.append(std::to_string(n)).append(":").append(name).append(full ? " " : ". ");
    };
    return events;
}

TEST(SplitPlanning, FragmentSizesAndCounts) {
    EXPECT_EQ(fragmentBytesFor(-1), std::nullopt);
    EXPECT_EQ(fragmentBytesFor(0), 0);
    EXPECT_EQ(fragmentBytesFor(1420), 1454080);
    EXPECT_EQ(fragmentBytesFor(2097151), 2147482624);
    EXPECT_EQ(fragmentBytesFor(2097152), std::nullopt);
    EXPECT_EQ(fragmentBytesFor(std::int64_t{1} << 60), std::nullopt);

    struct Case {
        std::int64_t length, full, count, remainder;
    };
    for (const Case c :
         {Case{0, 0, 0, 0}, Case{1, 0, 1, 1}, Case{3072, 3, 3, 0}, Case{1000000, 976, 977, 576},
          Case{1022976, 999, 999, 0}, Case{1022977, 999, 1000, 1}}) {
        const SplitPlan plan = planSplit(c.length, 1024);
        EXPECT_EQ(plan.fullFragments, c.full) << c.length;
        EXPECT_EQ(plan.fragmentCount, c.count) << c.length;
        EXPECT_EQ(plan.remainder, c.remainder) << c.length;
    }
    EXPECT_EQ(planSplit(std::int64_t{5} << 31, 2147482624).fragmentCount, 6);
    EXPECT_THROW(planSplit(10, 0), std::invalid_argument);
}

TEST(Split, BoundariesWriteExactPiecesAndReportThemInOrder) {
    for (const std::size_t length : {0, 1000, 3072, 2500, 1022976}) {
        TempDir dir;
        const std::string source = dir.file("Größe 1.v2.DAT");
        const auto bytes = patternBytes(length, static_cast<std::uint32_t>(length));
        writeFile(source, bytes);
        std::string log;
        const SplitPlan plan = planSplit(static_cast<std::int64_t>(length), 1024);
        const SplitResult result = splitFile(source, plan, recordInto(log), '/');

        EXPECT_EQ(result.fragmentsWritten, plan.fragmentCount);
        EXPECT_EQ(result.bytesWritten, static_cast<std::int64_t>(length));
        std::string joined;
        std::string expectedLog;
        std::string name;
        for (int n = 1; n <= static_cast<int>(plan.fragmentCount); ++n) {
            name = Nurdatei(fragmentName(source, n), '/');
            const bool full = n <= plan.fullFragments;
            const std::string piece = readFile(dir.file(name));
            EXPECT_EQ(piece.size(), full ? 1024u : static_cast<std::size_t>(plan.remainder)) << name;
            joined += piece;
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

TEST(Split, FailuresNameTheFileAndKeepWhatWasWritten) {
    TempDir dir;
    const std::string source = dir.file("Beispiel.dat");
    const auto bytes = patternBytes(5000);
    writeFile(source, bytes);
    const std::string second = dir.file("Beispiel.dat._002");
    testing::setWriteFault([&](const std::string& path, std::size_t) { return path == second ? ENOSPC : 0; });
    testsupport::expectFileError([&] { splitFile(source, planSplit(5000, 1024), {}, '/'); },
                                 FileError::Kind::Io, second);
    testing::setWriteFault({});
    EXPECT_EQ(readFile(dir.file("Beispiel.dat._001")), std::string(bytes.begin(), bytes.begin() + 1024));
    EXPECT_FALSE(fileExists(dir.file("Beispiel.dat._003")));

    testsupport::expectFileError([&] { splitFile(dir.file("fehlt.dat"), planSplit(10, 1024), {}, '/'); },
                                 FileError::Kind::CannotOpen, dir.file("fehlt.dat"));
    testsupport::expectFileError([&] { splitFile(source, planSplit(6000, 1024), {}, '/'); },
                                 FileError::Kind::Io, source);
    EXPECT_THROW(splitFile(source, planSplit(1022977, 1024), {}, '/'), std::invalid_argument);
}

TEST(Split, AnOldFragmentThatCannotBeDeletedStopsBeforeItIsOverwritten) {
    TempDir dir;
    const std::string source = dir.file("Beispiel.dat");
    writeFile(source, patternBytes(2500));
    const std::string old = dir.file("Beispiel.dat._002");
    writeFile(old, "alt");
    // A sticky folder: nobody may add files, but not delete root's. Without the deletion first, the
    // old file would be opened for writing and fail as CannotOpen instead.
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    const auto split = [&] { splitFile(source, planSplit(2500, 1024), {}, '/'); };
    EXPECT_EQ(testsupport::failureAsNobody(split, FileError::Kind::Io, old), 0);
    EXPECT_EQ(readFile(old), "alt");
    EXPECT_EQ(readFile(dir.file("Beispiel.dat._001")).size(), 1024u);
    EXPECT_FALSE(fileExists(dir.file("Beispiel.dat._003")));
}

// Beyond 4 GiB: offsets and sums must not be cut to 32 bits. The sparse source keeps the disk quiet.
TEST(LargeFile, SplitsAndJoinsAboveFourGibibytes) {
    TempDir dir;
    const std::string source = dir.file("gross.bin");
    const std::int64_t length = (std::int64_t{43} << 30) / 10;
    const std::int64_t samples[] = {0, (std::int64_t{1} << 31) - 1, std::int64_t{1} << 32,
                                    (std::int64_t{1} << 32) + 5 * 1024 * 1024 + 3, length - 4};
    {
        std::fstream out(source, std::ios::binary | std::ios::out | std::ios::trunc);
        for (std::int64_t offset : samples) {
            out.seekp(offset);
            out.write("ABCD", 4);
        }
    }
    std::filesystem::resize_file(source, static_cast<std::uintmax_t>(length));
    const SplitPlan plan = planSplit(length, *fragmentBytesFor(5 * 1024));
    ASSERT_LE(plan.fragmentCount, maxFragments);
    const SplitResult result = splitFile(source, plan, {}, '/');
    EXPECT_EQ(result.bytesWritten, length);
    EXPECT_EQ(fileSize(fragmentName(source, 1)), plan.fragmentBytes);
    EXPECT_EQ(fileSize(fragmentName(source, static_cast<int>(plan.fragmentCount))), plan.remainder);

    const std::string target = dir.file("wieder.bin");
    {
        JoinOutput output(target);
        for (int n = 1; n <= static_cast<int>(plan.fragmentCount); ++n) {
            output.append(fragmentName(source, n));
            std::filesystem::remove(fragmentName(source, n));
        }
        output.commit();
    }
    EXPECT_EQ(fileSize(target), length);
    std::ifstream in(target, std::ios::binary);
    for (std::int64_t offset : samples) {
        char data[5] = {};
        in.seekg(offset);
        in.read(data, 4);
        EXPECT_STREQ(data, "ABCD") << offset;
    }
    char zeros[4] = {1, 1, 1, 1};
    in.seekg(std::int64_t{3} << 30);
    in.read(zeros, 4);
    EXPECT_EQ(std::string(zeros, 4), std::string(4, '\0'));
}

}  // namespace
}  // namespace fragments
