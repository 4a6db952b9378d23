// The join as both front ends run it and the deletion of a set, case by case on a fresh scene
// (core_test_support.hpp). A whole join also shows that the target holds the listed fragments in order,
// and that until the last fragment the old target stayed as it was and the set's lock was held.

#include <cerrno>

#include "core_test_support.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join_job.hpp"
#include "fragments/listing.hpp"

namespace fragments {
namespace {

using namespace testsupport;
using Kind = JoinProblem::Kind;

std::string join(Scene& s) {
    const std::string folder = s.p("set"), target = s.p(s.target), old = contentOf(target);
    std::string expected;
    for (const auto& name : s.names) {
        expected += readFile(s.p("set/" + name));
    }
    JoinJobEvents events;
    events.joinDespiteGap = [&](int number) {
        s.log += "gap " + std::to_string(number) + ", ";
        return s.joinDespiteGap;
    };
    events.chooseTarget = [&](const std::string&) {
        return s.target.empty() ? std::nullopt : std::optional(target);
    };
    events.targetAccepted = [&](const std::string&) { s.log += "accepted, "; };
    events.beforeRun = [&](const JoinPlan&) { return s.confirm; };
    events.progress.beforeVerifying = [&](std::size_t index) {
        s.log += "verify " + std::to_string(index) + ", ";
    };
    events.progress.beforeFragment = [&](std::size_t index) {
        EXPECT_EQ(contentOf(target), old) << "the old target stays until the end";
        EXPECT_TRUE(s.nobody || !SetLock::forList(s.names, folder)) << "the set's lock is held";
#ifndef _WIN32
        if (index + 1 == s.names.size() && !s.nobody) {
            EXPECT_FALSE(LockHolder(folder + "/" + withoutLastCharacters(s.names[0], 5)).held())
                << "up to the last fragment, in any process";
        }
#endif
        if (s.beforeFragment) {
            s.beforeFragment(index);
        }
    };
    const auto result = runJoinJob(s.names, folder, events);
    if (const auto* problem = std::get_if<JoinProblem>(&result)) {
        const std::string path = problem->path.starts_with(s.dir.utf8())
                                     ? problem->path.substr(s.dir.utf8().size() + 1)
                                     : problem->path;
        return "problem " + std::to_string(static_cast<int>(problem->kind)) + " " + path;
    }
    EXPECT_EQ(readFile(target), expected);
    EXPECT_EQ(std::get<JoinResult>(result).bytesWritten, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(std::get<JoinResult>(result).identity, fileio::identityOf(target));
    return "joined";
}

std::string problem(Kind kind, std::string path = "") {
    std::replace(path.begin(), path.end(), '/', nativeSeparator);
    return "problem " + std::to_string(static_cast<int>(kind)) + " " + path;
}

// The set's checksum file as this program writes it, `text` (another tool's) instead when given.
void checksums(Scene& s, const std::string& text = "") {
    std::vector<ChecksumEntry> entries;
    for (const char* name : {"x.dat._001", "x.dat._002"}) {
        entries.push_back({name, fileCrc(s.p(std::string("set/") + name))});
    }
    writeFile(s.p("set/x.dat.sfv"), text.empty() ? checksumFileText("x.dat", 1524, 0, entries) : text);
}
void flipByte(Scene& s, const std::string& name) {
    std::string bytes = readFile(s.p(name));
    bytes[300] = static_cast<char>(bytes[300] ^ 0x20);
    writeFile(s.p(name), bytes);
}
void onStep(const std::string& wanted, const std::function<void()>& action) {
    fileio::testing::setStepHook([wanted, action](std::string_view step, std::int64_t) {
        if (step == wanted) {
            action();
        }
    });
}

const auto none = [](Scene&) {};
const NameSet target{"set/x.dat"};

TEST(Join, Scenes) {
    const std::vector<Case> cases{
        {"a new target", none, "accepted, joined", target},
        {"a read-only target is replaced only after the last fragment",
         [](Scene& s) { s.readOnly("set/x.dat"); }, "accepted, joined", target},
        {"the same where the file system has no file without a name",
         [](Scene& s) {
             s.readOnly("set/x.dat");
             fileio::testing::forceNamedPendingFiles(true);
         },
         "accepted, joined", target},
        {"an empty list", [](Scene& s) { s.names = {}; }, problem(Kind::EmptyList)},
        {"fragments of two files",
         [](Scene& s) {
             s.names = {"x.dat._001", "X.dat._002"};
         },
         problem(Kind::MixedSources, "X.dat._002")},
        {"a gap not to be joined",
         [](Scene& s) {
             s.names = {"x.dat._002"};
             s.joinDespiteGap = false;
         },
         "gap 1, " + problem(Kind::Cancelled)},
        {"a gap joined all the same", [](Scene& s) { s.names = {"x.dat._002"}; }, "gap 1, accepted, joined",
         target},
        {"the target is a fragment, by another spelling", [](Scene& s) { s.target = "set/./x.dat._002"; },
         problem(Kind::TargetIsFragment, "set/./x.dat._002")},
        {"a missing fragment, the first named",
         [](Scene& s) {
             s.names = {"x.dat._001", "x.dat._004", "x.dat._003"};
         },
         "gap 2, accepted, " + problem(Kind::MissingFragment, "set/x.dat._004")},
        {"a folder among the fragments",
         [](Scene& s) {
             s.folder("set/x.dat._003");
             s.names.push_back("x.dat._003");
         },
         "accepted, " + problem(Kind::NotRegularFile, "set/x.dat._003")},
        {"another operation holds the set", [](Scene& s) { s.lock = SetLock::forList(s.names, s.p("set")); },
         problem(Kind::SetBusy, "set/x.dat._001")},
        {"no target chosen", [](Scene& s) { s.target = ""; }, problem(Kind::Cancelled)},
        {"the replacement not confirmed", [](Scene& s) { s.confirm = false; },
         "accepted, " + problem(Kind::Cancelled)},
        {"a fragment gone meanwhile",
         [](Scene& s) {
             s.beforeFragment = [&s](std::size_t index) {
                 if (index == 1) {
                     s.remove("set/x.dat._002");
                 }
             };
         },
         "accepted, " + failed("set/x.dat._002", {}, true),
         {"set/x.dat._002"}},
        {"a fragment that grows while it is copied",
         [](Scene& s) {
             s.beforeFragment = [&s](std::size_t index) {
                 fileio::testing::setWriteFault([&s, index](const std::string&, std::size_t) {
                     if (index == 1) {
                         s.put("set/x.dat._002", 600);
                     }
                     return 0;
                 });
             };
         },
         "accepted, " + failed("set/x.dat._002", sizeChanged),
         {"set/x.dat._002"}},
        {"a full disk",
         [](Scene&) {
             fileio::testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
         },
         "accepted, " + failed("set/x.dat")},
        {"a target in a folder that is not there", [](Scene& s) { s.target = "set/fehlt/x.dat"; },
         "accepted, " + failed("set/fehlt/x.dat", {}, true)},
        {"a folder as the target", [](Scene& s) { s.folder("set/x.dat"); },
         "accepted, " + failed("set/x.dat", notRegular)},
        {"a folder appearing at the target's name before the rename",
         [](Scene& s) {
             s.put("set/x.dat", 3);
             onStep("renaming", [&s] { s.folder("set/x.dat"); });
         },
         "accepted, " + failed("set/x.dat"), target},
        {"leftovers of killed joins to the target go, only those",
         [](Scene& s) {
             for (const char* name : {".x.dat.Ab9zQ0.part", ".x.dat.Ab9zQ0.part2", ".x.dat.Ab9zQ0.tmp"}) {
                 s.put("set/" + std::string(name), 10);
             }
         },
         "accepted, joined",
         {"set/x.dat", "set/.x.dat.Ab9zQ0.part"}},
        {"a damaged fragment is named before anything is written",
         [](Scene& s) {
             checksums(s);
             flipByte(s, "set/x.dat._002");
         },
         "accepted, verify 0, verify 1, damaged x.dat._002"},
        {"a fragment the checksum file names and the list lacks is missing, before the gap is asked about",
         [](Scene& s) {
             checksums(s);
             s.names = {"x.dat._002"};
         },
         problem(Kind::MissingFragment, "set/x.dat._001")},
        {"one it does not name is joined unchecked",
         [](Scene& s) {
             checksums(s);
             s.put("set/x.dat._003", 10);
             s.names.push_back("x.dat._003");
         },
         "accepted, verify 0, verify 1, joined", target},
        {"another tool's checksum file speaks for the fragments it names",
         [](Scene& s) {
             char text[80];
             std::snprintf(text, sizeof text, "; elsewhere\nx.dat 12345678\nx.dat._002 %08x\n",
                           fileCrc(s.p("set/x.dat._002")));
             checksums(s, text);
             flipByte(s, "set/x.dat._002");
             s.names = {"x.dat._002"};
         },
         "gap 1, accepted, verify 0, damaged x.dat._002"},
#ifdef __linux__
        {"interrupted reads and writes are made again",
         [](Scene&) {
             fileio::testing::forceReadWriteCopy(true);
             interruptNextCalls(3);
         },
         "accepted, joined", target},
#endif
#ifndef _WIN32
        {"a target that links to a read-only file elsewhere is replaced itself",
         [](Scene& s) {
             s.readOnly("aussen/nur-lesen");
             s.link("set/x.dat", "../aussen/nur-lesen");
         },
         "accepted, joined", target},
        {"a target's read-only hard-linked twin keeps its content and mode",
         [](Scene& s) { s.readOnlyTwin("set/x.dat"); }, "accepted, joined", target},
        {"the target a hard link of a fragment", [](Scene& s) { s.hardLink("set/x.dat", "set/x.dat._002"); },
         problem(Kind::TargetIsFragment, "set/x.dat")},
        {"a FIFO as the target", [](Scene& s) { s.fifo("set/x.dat"); },
         "accepted, " + failed("set/x.dat", notRegular)},
        {"a fragment that links to a file elsewhere is read through the link, which stays",
         [](Scene& s) {
             s.put("aussen/teil2", 500);
             s.link("set/x.dat._002", "../aussen/teil2");
         },
         "accepted, joined", target},
        {"a folder that takes no lock file cannot change through the program: it is read all the same",
         [](Scene& s) {
             std::filesystem::permissions(s.p("aussen"), std::filesystem::perms::all);
             s.target = "aussen/x.dat";
             s.nobody = true;
         },
         "accepted, joined",
         {"aussen/x.dat"}},
#endif
    };
    runCases(cases, join);
}

// In list order, read-only ones too, vanished ones skipped, the window served after each; the set's own
// checksum file goes with it.
std::string deletion(Scene& s) {
    deleteFragmentSet(s.names, s.p("set"),
                      [&] { s.log += std::to_string(filesIn(pathOf(s.p("set"))).size()) + " "; });
    return "deleted";
}

TEST(Deletion, Scenes) {
    const NameSet set{"set/x.dat._001", "set/x.dat._002"};
    const std::vector<Case> cases{
        {"the listed set, and the checksum file this program wrote",
         [](Scene& s) {
             checksums(s);
             std::filesystem::permissions(s.p("set/x.dat._002"), std::filesystem::perms::owner_read);
             s.names = {"x.dat._002", "x.dat._005", "x.dat._001"};
         },
         "3 3 2 deleted", set + NameSet{"set/x.dat.sfv"}},
        {"a user's checksum file stays", [](Scene& s) { checksums(s, "x.dat._001 12345678\n"); },
         "3 2 deleted", set},
#ifndef _WIN32
        {"a fragment that links to a read-only file elsewhere goes itself",
         [](Scene& s) {
             s.readOnly("aussen/nur-lesen");
             s.link("set/x.dat._002", "../aussen/nur-lesen");
         },
         "2 1 deleted", set},
        {"a fragment's read-only hard-linked twin keeps its mode",
         [](Scene& s) { s.readOnlyTwin("set/x.dat._001"); }, "2 1 deleted", set},
        {"a folder of a listed name stops it before anything goes",
         [](Scene& s) { s.folder("set/x.dat._002"); }, failed("set/x.dat._002", notRegular)},
        {"a FIFO likewise", [](Scene& s) { s.fifo("set/x.dat._002"); }, failed("set/x.dat._002", notRegular)},
        {"the file the fragments were cut from, a link to the first",
         [](Scene& s) { s.link("set/x.dat", "x.dat._001"); }, failed("set/x.dat._001", isOriginal)},
        {"root's read-only fragments go for nobody in a folder everybody may write to",
         [](Scene& s) {
             s.readOnlyTwin("set/x.dat._001");
             std::filesystem::permissions(s.p("set/x.dat._002"), std::filesystem::perms(0444));
             std::filesystem::permissions(s.p("set"), std::filesystem::perms::all);
             s.nobody = true;
         },
         "2 1 deleted", set},
        {"in root's folder nobody is stopped at the first, and nothing after it is touched",
         [](Scene& s) {
             s.names = {"x.dat._009", "x.dat._001", "x.dat._002"};
             s.nobody = true;
         },
         "3 " + failed("set/x.dat._001")},
#endif
    };
    runCases(cases, deletion);
}

// Before the target is chosen: the name the fragments carry (characters, not bytes, are cut) and the first
// gap, which letter endings leave undecided.
TEST(JoinList, SuggestedNameAndFirstGap) {
    for (const auto& [names, suggested, gap] :
         {std::tuple{Names{"B.dat._001", "B.dat._002", "B.dat._004"}, "B.dat", std::optional(3)},
          {Names{"Größe.dat._002", "Größe.dat._003"}, "Größe.dat", 1},
          {Names{"B.dat._001", "B.dat._abc"}, "B.dat", std::nullopt},
          {Names{"a.ü_001"}, "a.", std::nullopt},
          {Names{"._001"}, "", std::nullopt}}) {
        const auto checked = std::get<JoinListCheck>(checkJoinList(names));
        EXPECT_EQ(checked.suggestedName, suggested);
        EXPECT_EQ(checked.firstGap, gap) << names.front();
    }
}

}  // namespace
}  // namespace fragments
