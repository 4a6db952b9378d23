#include "fragments/split.hpp"

#include <cerrno>
#include <fstream>

#include "core_test_support.hpp"
#include "fragments/join.hpp"

namespace fragments {
namespace {

using namespace testsupport;
using Kind = fileio::FileError::Kind;

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
        events.fragmentNamed = [&log](int n, const std::string& name, bool full) {
            log += std::to_string(n) + ":" + name + (full ? " " : ". ");
        };
        const SplitPlan plan = planSplit(static_cast<std::int64_t>(length), 1024);
        const SplitResult result = splitFile(source, plan, events, nativeSeparator);

        EXPECT_EQ(std::ssize(result.fileNames), plan.fragmentCount);
        EXPECT_EQ(result.bytesWritten, static_cast<std::int64_t>(length));
        std::string joined, expectedLog, name;
        for (int n = 1; n <= static_cast<int>(plan.fragmentCount); ++n) {
            name = Nurdatei(fragmentName(source, n), nativeSeparator);
            const bool full = n <= plan.fullFragments;
            const std::string piece = readFile(dir.file(name));
            EXPECT_EQ(piece.size(), full ? 1024u : static_cast<std::size_t>(plan.remainder)) << name;
            joined += piece;
            // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "+" + std::string at -O2.
            expectedLog.append(std::to_string(n)).append(":").append(name).append(full ? " " : ". ");
        }
        EXPECT_EQ(joined, std::string(bytes.begin(), bytes.end())) << length;
        EXPECT_EQ(log, expectedLog) << length;
        EXPECT_EQ(result.fileNames.empty() ? "" : result.fileNames.back(), name);
        EXPECT_EQ(filesIn(dir.path()).size(), static_cast<std::size_t>(plan.fragmentCount) + 1);
    }
    // Fragments above 2,147,483,647 bytes are refused.
    EXPECT_EQ(fragmentBytesFor(-1), std::nullopt);
    EXPECT_EQ(fragmentBytesFor(2097151), 2147482624);
    EXPECT_EQ(fragmentBytesFor(2097152), std::nullopt);
    EXPECT_THROW(planSplit(10, 0), std::invalid_argument);
}

// A full disk and a source shorter than planned, on both copy paths.
TEST(Split, FailuresNameTheFileAndKeepWhatWasWritten) {
    TempDir dir;
    const auto bytes = patternBytes(5000);
    for (bool readWrite : {false, true}) {
        fileio::testing::forceReadWriteCopy(readWrite);
        const std::string source = dir.file(readWrite ? "rw.dat" : "in.bin"),
                          second = fragmentName(source, 2);
        writeFile(source, bytes);
        fileio::testing::setWriteFault(
            [&](const std::string& path, std::size_t) { return path == second ? ENOSPC : 0; });
        expectFileError([&] { splitFile(source, planSplit(5000, 1024), {}, nativeSeparator); }, Kind::Io,
                        second);
        fileio::testing::setWriteFault({});
        EXPECT_EQ(readFile(fragmentName(source, 1)), std::string(bytes.begin(), bytes.begin() + 1024));
        EXPECT_FALSE(fileio::fileExists(fragmentName(source, 3)));
        expectFileError([&] { splitFile(source, planSplit(6000, 1024), {}, nativeSeparator); }, Kind::Io,
                        source);
    }
    fileio::testing::forceReadWriteCopy(false);
    const std::string source = dir.file("in.bin");
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
