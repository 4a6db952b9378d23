#include "fragments/listing.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "core_test_support.hpp"
#include "fragments/errors.hpp"
#include "fragments/file_io.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using testsupport::filesIn;
using testsupport::TempDir;
using testsupport::writeFile;
using Names = std::vector<std::string>;

TEST(Listing, CandidatesMatchTheWildcardSkipHiddenAndSortIgnoringCase) {
    TempDir dir;
    for (const char* name :
         {"Beispiel.dat._002", "beispiel.dat._001", "Beispiel.txt._001", "Beispiel.dat", "x._",
          "kein_punkt_001", "a.b_001", ".Beispiel.dat._003", "Größe 1.x._001", "mehr.punkte.im.namen._010"}) {
        writeFile(dir.file(name), "");
    }
    std::filesystem::create_directory(dir.path() / "ordner._001");
    EXPECT_EQ(listFragmentCandidates(dir.path().string()),
              (Names{"beispiel.dat._001", "Beispiel.dat._002", "Beispiel.txt._001", "Größe 1.x._001",
                     "mehr.punkte.im.namen._010", "x._"}));
    EXPECT_EQ(listFragmentCandidates(dir.file("fehlt")), Names{});
}

TEST(Listing, FragmentSetAndTotals) {
    TempDir dir;
    const std::string folder = dir.path().string();
    writeFile(dir.file("Beispiel.dat._001"), std::string(1024, 'a'));
    writeFile(dir.file("Beispiel.dat._002"), std::string(1024, 'b'));
    writeFile(dir.file("Beispiel.dat._004"), std::string(452, 'c'));
    writeFile(dir.file("Beispiel.txt._001"), std::string(7, 'd'));
    writeFile(dir.file("Bsp.dat._001"), std::string(9, 'e'));
    writeFile(dir.file("Beispiel.dat"), std::string(2500, 'f'));
    const Names listing = listFragmentCandidates(folder);

    const FragmentSet set = collectFragmentSet(listing, folder, dir.file("Beispiel.dat._001"), '/');
    EXPECT_EQ(set.names,
              (Names{"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._004", "Beispiel.txt._001"}));
    EXPECT_EQ(set.totalBytes, 2507);
    // The folder may come with its separator already.
    EXPECT_EQ(collectFragmentSet(listing, folder + "/", dir.file("Beispiel.dat"), '/').totalBytes, 2507);

    const FragmentSet none = collectFragmentSet(listing, folder, folder + "/", '/');
    EXPECT_EQ(none.names, Names{});
    EXPECT_EQ(none.totalBytes, 0);

    // The recount after a double-click: fragment endings only, files that have gone count nothing.
    std::filesystem::remove(dir.file("Beispiel.dat._002"));
    EXPECT_EQ(totalOfExisting({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.txt._001", "Beispiel.dat"},
                              folder),
              1031);
    EXPECT_EQ(totalOfExisting({}, folder), 0);
}

TEST(Listing, DeletesOnlyTheSourcesOwnOldFragments) {
    TempDir dir;
    const std::string folder = dir.path().string();
    for (const char* name :
         {"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003", "Beispiel.dat._004",
          "Beispiel.dat._005", "Beispiel.dat._abc", "Beispiel.txt._001", "beispiel.dat._006",
          "Beispiel.dat._0001", "Beispiel.dat.._001", "Beispiel.dat"}) {
        writeFile(dir.file(name), "x");
    }
    const Names listing = listFragmentCandidates(folder);
    writeFile(dir.file("Beispiel.dat._007"), "not in the listing");
    std::filesystem::remove(dir.file("Beispiel.dat._005"));  // listed, but gone meanwhile

    deleteOldFragments(listing, folder, dir.file("Beispiel.dat"), '/');
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat", "Beispiel.dat.._001", "Beispiel.dat._0001",
                                          "Beispiel.dat._007", "Beispiel.txt._001", "beispiel.dat._006"}));

    // Windows form of the reference, names matched against its file name part.
    writeFile(dir.file("Größe 1.dat._001"), "x");
    deleteOldFragments(listFragmentCandidates(folder), folder, "C:\\Daten\\Größe 1.dat", '\\');
    EXPECT_FALSE(fileExists(dir.file("Größe 1.dat._001")));
}

TEST(Listing, AnOldFragmentThatCannotBeDeletedStopsTheDeletion) {
    TempDir dir;
    const std::string folder = dir.path().string();
    for (const char* name : {"Beispiel.dat._001", "Beispiel.dat._002"}) {
        writeFile(dir.file(name), "x");
    }
    const Names listing = listFragmentCandidates(folder);
    // Root owns the folder and nobody may not write there: deleting must fail and say which file.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all |
                                                 std::filesystem::perms::others_exec |
                                                 std::filesystem::perms::others_read);
    const auto deletion = [&] { deleteOldFragments(listing, folder, dir.file("Beispiel.dat"), '/'); };
    EXPECT_EQ(testsupport::failureAsNobody(deletion, FileError::Kind::Io, dir.file("Beispiel.dat._001")), 0);
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat._001", "Beispiel.dat._002"}));
}

}  // namespace
}  // namespace fragments
