#include "fragments/join.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "core_test_support.hpp"
#include "fileio/files.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using namespace testsupport;
using Names = std::vector<std::string>;

// Beispiel.dat._001 to ._003 hold 2500 bytes, ._004 is empty.
class FragmentFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto bytes = patternBytes(2500);
        source.assign(bytes.begin(), bytes.end());
        for (std::size_t n = 0; n < 4; ++n) {
            fragments.push_back(dir.file("Beispiel.dat._00" + std::to_string(n + 1)));
            writeFile(fragments.back(), source.substr(std::min<std::size_t>(n * 1024, 2500), 1024));
        }
    }
    void TearDown() override { fileio::testing::setWriteFault({}); }

    TempDir dir;
    const std::string folder = dir.utf8();
    std::string source;
    Names fragments;
};

TEST_F(FragmentFolder, CandidatesFragmentSetAndTotals) {
    for (const char* name :
         {"beispiel.dat._005", "Beispiel.dat", ".Beispiel.dat._006", "x._", "kein_punkt_001", "a.b_001"}) {
        writeFile(dir.file(name), "x");
    }
    writeFile(dir.file("Beispiel.txt._001"), std::string(7, 'd'));
    // Read-only files are listed too.
    std::filesystem::permissions(pathOf(dir.file("Beispiel.txt._001")), std::filesystem::perms::owner_read);
    std::filesystem::create_directory(dir.path() / "ordner._001");
    Names expected{"Beispiel.dat._001",
                   "Beispiel.dat._002",
                   "Beispiel.dat._003",
                   "Beispiel.dat._004",
                   "beispiel.dat._005",
                   "Beispiel.txt._001",
                   "x._"};
#ifdef _WIN32
    // Only the hidden attribute hides a file on Windows, not a leading ".".
    expected.insert(expected.begin(), ".Beispiel.dat._006");
#endif
    const Names listing = listFragmentCandidates(folder);
    EXPECT_EQ(listing, expected);
    EXPECT_EQ(listFragmentCandidates(dir.file("fehlt")), Names{});

    const FragmentSet set = collectFragmentSet(listing, folder, fragments[0], nativeSeparator);
    EXPECT_EQ(set.names, (Names{"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003",
                                "Beispiel.dat._004", "Beispiel.txt._001"}));
    EXPECT_EQ(set.totalBytes, 2507);
    // The folder may come with its separator already.
    EXPECT_EQ(
        collectFragmentSet(listing, withTrailingSeparator(folder), dir.file("Beispiel.dat"), nativeSeparator)
            .totalBytes,
        2507);

    // The recount after a double-click: fragment endings only, files that have gone count nothing.
    std::filesystem::remove(pathOf(fragments[1]));
    EXPECT_EQ(totalOfExisting({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.txt._001", "Beispiel.dat"},
                              folder),
              1031);
}

TEST_F(FragmentFolder, DeletesOnlyTheSourcesOwnOldFragments) {
    for (const char* name : {"Beispiel.dat._abc", "Beispiel.txt._001", "beispiel.dat._006",
                             "Beispiel.dat._0001", "Beispiel.dat.._001", "Beispiel.dat"}) {
        writeFile(dir.file(name), "x");
    }
    const Names listing = listFragmentCandidates(folder);
    writeFile(dir.file("Beispiel.dat._007"), "not in the listing");
    std::filesystem::remove(pathOf(fragments[1]));  // listed, but gone meanwhile
    deleteOldFragments(listing, folder, dir.file("Beispiel.dat"), nativeSeparator);
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat", "Beispiel.dat.._001", "Beispiel.dat._0001",
                                          "Beispiel.dat._007", "Beispiel.txt._001", "beispiel.dat._006"}));

#ifndef _WIN32
    // Root owns the folder and nobody may not write there: deleting must fail and say which file.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all |
                                                 std::filesystem::perms::others_exec |
                                                 std::filesystem::perms::others_read);
    const auto deletion = [&] {
        deleteOldFragments({"Beispiel.dat._007"}, folder, dir.file("Beispiel.dat"), nativeSeparator);
    };
    EXPECT_EQ(failureAsNobody(deletion, fileio::FileError::Kind::Io, dir.file("Beispiel.dat._007")), 0);
    EXPECT_TRUE(fileio::fileExists(dir.file("Beispiel.dat._007")));
#endif
}

TEST_F(FragmentFolder, GapsAndSameFile) {
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._002", "B.dat._004"}), 3);
    EXPECT_EQ(firstMissingNumber({"B.dat._002", "B.dat._003"}), 1);
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._002", "B.txt._001"}), 3);
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._002"}), std::nullopt);
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._abc"}), std::nullopt);

    std::filesystem::create_hard_link(pathOf(fragments[0]), pathOf(dir.file("link")));
    EXPECT_TRUE(
        sameFile(fragments[0], withTrailingSeparator(folder) + "." + nativeSeparator + "Beispiel.dat._001"));
    EXPECT_TRUE(sameFile(fragments[0], dir.file("link")));
    EXPECT_FALSE(sameFile(fragments[0], fragments[1]));
    EXPECT_FALSE(sameFile(dir.file("fehlt"), dir.file("fehlt")));
}

TEST_F(FragmentFolder, ReadOnlyTargetIsReplacedWholeOnlyOnCommit) {
    const std::string target = dir.file("Größe neu.dat");
    writeFile(target, "alt");
    std::filesystem::permissions(pathOf(target), std::filesystem::perms::owner_read);
    {
        JoinOutput output(target);
        for (const auto& fragment : fragments) {
            output.append(fragment);
        }
        EXPECT_EQ(readFile(target), "alt") << "the target is untouched until commit";
        EXPECT_EQ(filesIn(dir.path()).size(), 6u) << "a temporary file beside it";
        output.commit();
    }
    EXPECT_EQ(readFile(target), source);
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003",
                                          "Beispiel.dat._004", "Größe neu.dat"}));
}

TEST_F(FragmentFolder, FailuresLeaveNeitherTargetNorTemporaryFile) {
    const std::string target = dir.file("neu.dat");
    {
        JoinOutput output(target);
        output.append(fragments[0]);
        const std::string missing = dir.file("Beispiel.dat._009");
        expectFileError([&] { output.append(missing); }, fileio::FileError::Kind::CannotOpen, missing);
        fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
        expectFileError([&] { output.append(fragments[1]); }, fileio::FileError::Kind::Io, target);
    }
    EXPECT_EQ(filesIn(dir.path()).size(), 4u) << "no target and no temporary file";

    const std::string elsewhere = dir.file(std::string("fehlt") + nativeSeparator + "neu.dat");
    expectFileError([&] { JoinOutput output(elsewhere); }, fileio::FileError::Kind::CannotOpen, elsewhere);
}

}  // namespace
}  // namespace fragments
