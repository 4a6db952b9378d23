#include "fragments/join.hpp"

#include <cerrno>
#include <iterator>
#include <tuple>

#include "core_test_support.hpp"
#include "fragments/listing.hpp"
#include "fragments/split.hpp"

namespace fragments {
namespace {

using namespace testsupport;

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
    void TearDown() override {
        fileio::testing::setWriteFault({});
        fileio::testing::forceNamedPendingFiles(false);
    }

    TempDir dir;
    const std::string folder = dir.utf8();
    std::string source;
    Names fragments;
    const Names names{"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003", "Beispiel.dat._004"};
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
    const Names listing = listFragmentCandidates(folder);
    Names expected = names;
    expected.insert(expected.end(), {"beispiel.dat._005", "Beispiel.txt._001", "x._"});
#ifdef _WIN32
    // Only the hidden attribute hides a file on Windows, not a leading ".".
    expected.insert(expected.begin(), ".Beispiel.dat._006");
#endif
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

// Before the target is chosen: an empty list, entries cut from different files, the suggested name
// (characters, not bytes, are cut) and the first gap, which letter endings leave undecided.
TEST(JoinList, RefusalsSuggestedNameAndFirstGap) {
    const auto problem = [](const Names& names) {
        const auto checked = checkJoinList(names);
        const auto* found = std::get_if<JoinProblem>(&checked);
        return found ? std::optional(found->kind) : std::nullopt;
    };
    EXPECT_EQ(problem({}), JoinProblem::Kind::EmptyList);
    EXPECT_EQ(problem({"B.dat._001", "B.dat._002", "B.txt._001"}), JoinProblem::Kind::MixedSources);
    EXPECT_EQ(problem({"B.dat._001", "b.dat._002"}), JoinProblem::Kind::MixedSources);

    struct Case {
        Names names;
        std::string suggested;
        std::optional<int> gap;
    };
    for (const Case& c :
         {Case{{"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._004"}, "Beispiel.dat", 3},
          Case{{"Größe.dat._002", "Größe.dat._003"}, "Größe.dat", 1},
          Case{{"Beispiel.dat._001", "Beispiel.dat._002"}, "Beispiel.dat", std::nullopt},
          Case{{"Beispiel.dat._001", "Beispiel.dat._abc"}, "Beispiel.dat", std::nullopt},
          Case{{"a.ü_001"}, "a.", std::nullopt}, Case{{"._001"}, "", std::nullopt}}) {
        const auto checked = checkJoinList(c.names);
        ASSERT_TRUE(std::holds_alternative<JoinListCheck>(checked)) << c.names.front();
        EXPECT_EQ(std::get<JoinListCheck>(checked).suggestedName, c.suggested);
        EXPECT_EQ(std::get<JoinListCheck>(checked).firstGap, c.gap) << c.names.front();
    }
}

// For a chosen target: a target that is one of the fragments (under any spelling or link) comes first,
// then the first fragment that is missing or no regular file (a folder). Nothing changes.
TEST_F(FragmentFolder, PlanRefusesATargetAmongTheFragmentsAndNamesTheFirstMissing) {
    std::filesystem::create_hard_link(pathOf(fragments[2]), pathOf(dir.file("link")));
    std::filesystem::create_directory(pathOf(dir.file("Beispiel.dat._005")));
    const auto before = filesIn(dir.path());
    const auto problemOf = [&](const Names& listed, const std::string& target) {
        const auto planned = planJoin(listed, folder, target);
        const auto* problem = std::get_if<JoinProblem>(&planned);
        return problem ? std::pair(problem->kind, problem->path)
                       : std::pair(JoinProblem::Kind{}, std::string("-"));
    };
    for (const std::string& target : {folder + "/./Beispiel.dat._002", dir.file("link")}) {
        EXPECT_EQ(problemOf(names, target), std::pair(JoinProblem::Kind::TargetIsFragment, target));
    }
    Names gone = names;
    gone.insert(gone.begin() + 1, "Beispiel.dat._009");
    gone.push_back("Beispiel.dat._005");
    EXPECT_EQ(problemOf(gone, dir.file("neu.dat")),
              std::pair(JoinProblem::Kind::MissingFragment, dir.file("Beispiel.dat._009")));
    EXPECT_EQ(problemOf(gone, dir.file("link")).first, JoinProblem::Kind::TargetIsFragment);
    EXPECT_EQ(problemOf({"Beispiel.dat._005"}, dir.file("neu.dat")),
              std::pair(JoinProblem::Kind::NotRegularFile, dir.file("Beispiel.dat._005")));

    const auto planned = planJoin(names, withTrailingSeparator(folder), dir.file("neu.dat"));
    ASSERT_TRUE(std::holds_alternative<JoinPlan>(planned));
    const JoinPlan& plan = std::get<JoinPlan>(planned);
    EXPECT_EQ(plan.fragmentPaths, fragments);
    EXPECT_EQ(std::tuple(plan.targetPath, plan.totalBytes), std::tuple(dir.file("neu.dat"), 2500));
    EXPECT_EQ(plan.fragmentBytes, (std::vector<std::int64_t>{1024, 1024, 452, 0}));
    EXPECT_EQ(filesIn(dir.path()), before);
}

// The plan for `names` in `directory` ("" for full paths), which must pass.
JoinPlan planned(const Names& names, const std::string& target, const std::string& directory = "") {
    const auto plan = planJoin(names, directory, target);
    EXPECT_TRUE(std::holds_alternative<JoinPlan>(plan)) << target;
    return std::get<JoinPlan>(plan);
}

// The old target stays whole while the fragments are appended to a file without a name, or, where the
// file system has none, to a hidden one beside it; one event before each.
TEST_F(FragmentFolder, ReadOnlyTargetIsReplacedOnlyAfterTheLastFragment) {
    for (const bool named : {false, true}) {
        fileio::testing::forceNamedPendingFiles(named);
#ifdef __linux__
        const std::size_t files = named ? 6 : 5;
#else
        const std::size_t files = 6;  // no file without a name here
#endif
        const std::string target = dir.file("Größe neu.dat");
        std::filesystem::remove(pathOf(target));
        writeFile(target, "alt");
        std::filesystem::permissions(pathOf(target), std::filesystem::perms::owner_read);
        std::string log;
        JoinEvents events;
        events.beforeFragment = [&](std::size_t index) {
            log += std::to_string(index) + (readFile(target) == "alt" ? " " : "! ");
            EXPECT_EQ(filesIn(dir.path()).size(), files) << "a temporary file beside the target";
        };
        const JoinResult result = joinFragments(planned(fragments, target), events);
        EXPECT_EQ(result.bytesWritten, 2500);
        EXPECT_EQ(result.identity, fileio::identityOf(target));
        EXPECT_EQ(log, "0 1 2 3 ");
        EXPECT_EQ(readFile(target), source);
        Names expected = names;
        expected.push_back("Größe neu.dat");
        EXPECT_EQ(filesIn(dir.path()), expected);
    }
}

// A fragment gone after planning, a full disk, a folder that cannot take the target, and a final rename
// onto a folder of the target's name: each names its file and leaves no target and no temporary file.
TEST_F(FragmentFolder, FailuresLeaveNeitherTargetNorTemporaryFile) {
    const std::string target = dir.file("neu.dat");
    const JoinPlan plan = planned(fragments, target);
    JoinEvents events;
    events.beforeFragment = [&](std::size_t index) {
        if (index == 2) {
            std::filesystem::rename(fragments[2], dir.file("weg"));
        }
    };
    expectFileError([&] { joinFragments(plan, events); }, fileio::FileError::Kind::CannotOpen, fragments[2]);
    std::filesystem::rename(dir.file("weg"), fragments[2]);
    fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
    expectFileError([&] { joinFragments(plan, {}); }, fileio::FileError::Kind::Io, target);
    fileio::testing::setWriteFault({});
    EXPECT_EQ(filesIn(dir.path()), names);

    const std::string elsewhere = dir.file(std::string("fehlt") + nativeSeparator + "neu.dat");
    expectFileError([&] { joinFragments(planned(fragments, elsewhere), {}); },
                    fileio::FileError::Kind::CannotOpen, elsewhere);

    const std::string folderTarget = dir.file("ordner");
    std::filesystem::create_directory(pathOf(folderTarget));
    expectFileError([&] { joinFragments(planned(fragments, folderTarget), {}); }, fileio::FileError::Kind::Io,
                    folderTarget);
    EXPECT_TRUE(std::filesystem::is_empty(pathOf(folderTarget)));
    EXPECT_EQ(filesIn(dir.path()), names);
}

// The deletion after a join: in list order, read-only files too, vanished ones skipped; the first file
// that cannot go stops it and is named, the rest stay.
TEST_F(FragmentFolder, DeletesTheListedSet) {
    std::filesystem::permissions(pathOf(fragments[2]), std::filesystem::perms::owner_read);
    std::filesystem::remove(pathOf(fragments[1]));
    // The window serves its event loop after every listed name, the vanished one included.
    std::vector<Names> seen;
    deleteFragmentSet({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003"},
                      withTrailingSeparator(folder), [&] { seen.push_back(filesIn(dir.path())); });
    EXPECT_EQ(seen, (std::vector<Names>{{"Beispiel.dat._003", "Beispiel.dat._004"},
                                        {"Beispiel.dat._003", "Beispiel.dat._004"},
                                        {"Beispiel.dat._004"}}));
    EXPECT_EQ(filesIn(dir.path()), Names{"Beispiel.dat._004"});

#ifndef _WIN32
    for (const char* name : {"a._001", "a._002"}) {
        writeFile(dir.file(name), "x");
    }
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all |
                                                 std::filesystem::perms::others_exec |
                                                 std::filesystem::perms::others_read);
    const auto deletion = [&] { deleteFragmentSet({"fehlt._001", "a._001", "a._002"}, folder); };
    EXPECT_EQ(failureAsNobody(deletion, fileio::FileError::Kind::Io, dir.file("a._001")), 0);
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat._004", "a._001", "a._002"}));
#endif
}

#ifndef _WIN32
std::size_t openDescriptors() {
    const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// Every file the split, the join and the deletion open is closed again, 999 fragments long.
TEST(FileDescriptors, NoneStayOpenAfterSplitJoinAndDeletion) {
    TempDir dir;
    const std::string source = dir.file("viele.dat");
    writeFile(source, patternBytes(999 * 3));
    const std::size_t before = openDescriptors();
    splitFile(source, planSplit(999 * 3, 3), {}, nativeSeparator);
    EXPECT_EQ(openDescriptors(), before) << "split";

    Names listing = listFragmentCandidates(dir.path().string());
    ASSERT_EQ(listing.size(), 999u);
    joinFragments(planned(listing, dir.file("wieder.dat"), dir.path().string()), {});
    EXPECT_EQ(openDescriptors(), before) << "join";
    deleteFragmentSet(listing, dir.path().string());
    EXPECT_EQ(openDescriptors(), before) << "deletion";
    EXPECT_EQ(readFile(dir.file("wieder.dat")), readFile(source));
}
#endif

}  // namespace
}  // namespace fragments
