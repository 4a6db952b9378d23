// Nothing outside a fragment set changes: the split, the join, the deletion of a set and the removal of an
// old script on real files among links, hard links, FIFOs and folders. Each case is checked against a
// snapshot of the folder of the set ("set") and of the user's other files ("aussen"). One operation per set
// is tried from a second process.

#include <sys/stat.h>

#include "core_test_support.hpp"
#include "fragments/join.hpp"
#include "fragments/listing.hpp"
#include "fragments/set_files.hpp"
#include "fragments/split.hpp"
#include "support/SetScene.hpp"

namespace fragments {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;
using Names = std::set<std::string>;
using fragments::Errc;

// The set's folder holds the source a.dat (2500 bytes) and the fragments x.dat._001 and ._002 (1024 and
// 500 bytes); "aussen" is empty. Paths are relative to the scene.
struct Scene {
    Scene() {
        fs::create_directories(dir.path() / "set");
        fs::create_directories(dir.path() / "aussen");
        writeFile(path("set/a.dat"), patternBytes(2500));
        writeFile(path("set/x.dat._001"), patternBytes(1024, 2));
        writeFile(path("set/x.dat._002"), patternBytes(500, 3));
    }
    std::string path(const std::string& name) const { return dir.file(name); }
    // `name` replaced by a symbolic link to `target`, a hard link to `existing`, a FIFO or a folder.
    void link(const std::string& name, const std::string& target) {
        fs::remove(path(name));
        fs::create_symlink(target, path(name));
    }
    void hardLink(const std::string& name, const std::string& existing) {
        fs::remove(path(name));
        fs::create_hard_link(path(existing), path(name));
    }
    void fifo(const std::string& name) {
        fs::remove(path(name));
        ASSERT_EQ(::mkfifo(path(name).c_str(), 0644), 0);
    }
    void folder(const std::string& name) {
        fs::remove(path(name));
        fs::create_directory(path(name));
    }
    // `name` as a link to, or a hard-linked twin of, a read-only file of the user's elsewhere.
    void linkToReadOnly(const std::string& name, const std::string& content = "alt") {
        readOnly("aussen/nur-lesen", content);
        link(name, "../aussen/nur-lesen");
    }
    void readOnlyTwin(const std::string& name, const std::string& twin = "aussen/zwilling") {
        readOnly(twin, "alt");
        hardLink(name, twin);
    }
    void readOnly(const std::string& name, const std::string& content) {
        writeFile(path(name), content);
        fs::permissions(path(name), fs::perms(0444));
    }

    TempDir dir;
    std::string subject;
};

// What an operation may change (`inside`), and the file it fails on and why (none: it succeeds).
struct Outcome {
    Names inside;
    std::string failing = {};
    std::error_code failure = {};
};
template <class... Name>
Outcome changes(Name... inside) {
    return {{std::string(inside)...}};
}
template <class... Name>
Outcome fails(const std::string& path, std::error_code why, Name... inside) {
    return {{std::string(inside)...}, path, why};
}

// What is there before (the setup may name the operation's subject, a source), and the outcome.
struct Case {
    const char* what;
    std::function<void(Scene&)> setup;
    Outcome outcome = {};
};

// Runs `operation` on a fresh scene for every case: it fails as the case says, and nothing outside
// the case's names changes.
void runScene(const std::vector<Case>& cases, const std::function<void(Scene&, const Case&)>& operation) {
    for (const Case& c : cases) {
        Scene scene;
        c.setup(scene);
        const Snapshot before = snapshot(scene.dir.path());
        std::pair<std::string, std::error_code> failure;
        try {
            operation(scene, c);
        } catch (const fileio::FileError& e) {
            failure = {e.path(), e.code()};
        }
        const std::string failing = c.outcome.failing.empty() ? "" : scene.path(c.outcome.failing);
        EXPECT_EQ(failure, std::pair(failing, c.outcome.failure))
            << c.what << ": " << failure.second.message();
        EXPECT_EQ(changedOutside(before, snapshot(scene.dir.path()), c.outcome.inside), Names{}) << c.what;
    }
}

Names fragmentsOf(const std::string& name, int count) {
    Names names;
    for (int n = 1; n <= count; ++n) {
        names.insert(fragmentName("set/" + name, n));
    }
    return names;
}

TEST(OutsideTheSet, Split) {
    runScene(
        {
            {"hard-linked twins of an old and a new fragment keep their names and modes",
             [](Scene& s) {
                 s.readOnlyTwin("set/a.dat._001", "aussen/zwilling1");
                 s.readOnlyTwin("set/a.dat._004", "aussen/zwilling4");
             },
             fragmentsOf("a.dat", 4)},
            {"a dangling link gives way, its target is not created",
             [](Scene& s) { s.link("set/a.dat._002", "../aussen/neu"); }, fragmentsOf("a.dat", 3)},
            {"a source that links to its first fragment, the only copy",
             [](Scene& s) {
                 writeFile(s.path("set/data._001"), patternBytes(2500, 5));
                 s.link("set/data", "data._001");
                 s.subject = "data";
             },
             fails("set/data._001", Errc::IsSplitSource)},
            {"a FIFO under a fragment's name", [](Scene& s) { s.fifo("set/a.dat._002"); },
             fails("set/a.dat._002", fileio::Errc::NotRegularFile)},
            {"a link to a read-only file gives way, the file stays",
             [](Scene& s) { s.linkToReadOnly("set/a.dat._003"); }, fragmentsOf("a.dat", 3)},
            {"a hard link of the source under a fragment's name",
             [](Scene& s) { s.hardLink("set/a.dat._002", "set/a.dat"); },
             fails("set/a.dat._002", Errc::IsSplitSource)},
            {"a folder under a fragment's name stops it before anything goes",
             [](Scene& s) { s.folder("set/a.dat._002"); },
             fails("set/a.dat._002", fileio::Errc::NotRegularFile)},
            {"a source linked from another folder is cut beside the link, the file it leads to stays",
             [](Scene& s) {
                 writeFile(s.path("aussen/quelle.dat"), patternBytes(2500, 7));
                 s.link("set/q.dat", "../aussen/quelle.dat");
                 s.subject = "q.dat";
             },
             fragmentsOf("q.dat", 3)},
        },
        // What the window does, in its order.
        [](Scene& s, const Case& c) {
            const std::string source = s.path("set/" + (s.subject.empty() ? "a.dat" : s.subject));
            const std::string folder = s.path("set/");
            const auto lock = SetLock::forSource(source, '/');
            ASSERT_TRUE(lock);
            const auto listing = listFragmentCandidates(folder);
            const SplitPlan plan = planSplit(fileio::fileSize(source), 1024);
            checkSplitNames(listing, folder, source, plan.fragmentCount, '/');
            removeOldJoinScript(source, '/');
            deleteOldFragments(listing, folder, source, '/');
            splitFile(source, plan, {}, '/');
            std::string joined;
            for (int n = 1; n <= plan.fragmentCount; ++n) {
                EXPECT_EQ(fileio::entryAt(fragmentName(source, n)).type, fileio::EntryType::Regular);
                joined += readFile(fragmentName(source, n));
            }
            EXPECT_EQ(joined, readFile(source)) << c.what;
        });
}

TEST(OutsideTheSet, Join) {
    runScene(
        {
            {"a target that links to a read-only file elsewhere is replaced itself",
             [](Scene& s) { s.linkToReadOnly("set/x.dat"); }, changes("set/x.dat")},
            {"a target's read-only hard-linked twin keeps its content and mode",
             [](Scene& s) { s.readOnlyTwin("set/x.dat"); }, changes("set/x.dat")},
            {"a FIFO as the target", [](Scene& s) { s.fifo("set/x.dat"); },
             fails("set/x.dat", fileio::Errc::NotRegularFile)},
            {"a fragment that links to a file elsewhere is read through the link, which stays",
             [](Scene& s) {
                 writeFile(s.path("aussen/teil2"), patternBytes(500, 3));
                 s.link("set/x.dat._002", "../aussen/teil2");
             },
             changes("set/x.dat")},
        },
        [](Scene& s, const Case& c) {
            const std::string target = s.path("set/x.dat");
            const auto planned = planJoin({"x.dat._001", "x.dat._002"}, s.path("set"), target);
            ASSERT_TRUE(std::holds_alternative<JoinPlan>(planned)) << c.what;
            joinFragments(std::get<JoinPlan>(planned), {});
            EXPECT_EQ(fileio::entryAt(target).type, fileio::EntryType::Regular);
            EXPECT_EQ(readFile(target),
                      readFile(s.path("set/x.dat._001")) + readFile(s.path("set/x.dat._002")));
        });
}

TEST(OutsideTheSet, Deletion) {
    const Names set{"set/x.dat._001", "set/x.dat._002"};
    runScene(
        {
            {"a fragment that links to a read-only file elsewhere goes itself",
             [](Scene& s) { s.linkToReadOnly("set/x.dat._002"); }, set},
            {"a fragment's read-only hard-linked twin keeps its mode",
             [](Scene& s) { s.readOnlyTwin("set/x.dat._001"); }, set},
            {"a folder of a listed name stops it before anything goes",
             [](Scene& s) { s.folder("set/x.dat._002"); },
             fails("set/x.dat._002", fileio::Errc::NotRegularFile)},
            {"a FIFO of a listed name likewise", [](Scene& s) { s.fifo("set/x.dat._002"); },
             fails("set/x.dat._002", fileio::Errc::NotRegularFile)},
            {"the file the fragments were cut from, a link to the first",
             [](Scene& s) { s.link("set/x.dat", "x.dat._001"); }, fails("set/x.dat._001", Errc::IsOriginal)},
        },
        [](Scene& s, const Case& c) {
            deleteFragmentSet({"x.dat._001", "x.dat._002"}, s.path("set"));
            EXPECT_EQ(fileio::entryAt(s.path("set/x.dat._001")).type, fileio::EntryType::None) << c.what;
        });
}

// Root owns the set's fragments, read-only, in a folder everybody may write to: nobody deletes them
// without changing their mode (which would fail for him, and reach their twins).
TEST(OutsideTheSet, ReadOnlyFragmentsGoForAnUnprivilegedUser) {
    Scene s;
    s.readOnlyTwin("set/x.dat._001");
    fs::permissions(s.path("set/x.dat._002"), fs::perms(0444));
    fs::permissions(s.path("set"), fs::perms::all);
    const Snapshot before = snapshot(s.dir.path());
    const auto deletion = [&] { deleteFragmentSet({"x.dat._001", "x.dat._002"}, s.path("set")); };
    EXPECT_EQ(failureAsNobody(deletion, fileio::FileError::Kind::Io, ""), 1);
    EXPECT_EQ(changedOutside(before, snapshot(s.dir.path()), {"set/x.dat._001", "set/x.dat._002"}), Names{});
    EXPECT_EQ(fileio::entryAt(s.path("set/x.dat._002")).type, fileio::EntryType::None);
}

// The script an earlier split of the source wrote goes; any other file of its name stays.
TEST(OutsideTheSet, OldScript) {
    const auto truncated = [](Scene& s) {
        writeOwnScript(s.path("set/Beispiel.dat"));
        std::string text = readFile(s.path("set/Beispiel.bat"));
        std::size_t end = 0;
        for (int line = 0; line < 8; ++line) {
            end = text.find("\r\n", end) + 2;
        }
        writeFile(s.path("set/Beispiel.bat"), text.substr(0, end));
    };
    const auto own = [](Scene& s) { writeOwnScript(s.path("set/Beispiel.dat")); };
    runScene(
        {
            {"this program's script for the source goes", own, changes("set/Beispiel.bat")},
            {"for a name with % and an umlaut too",
             [](Scene& s) {
                 s.subject = "100% Gr\xC3\xBCn.dat";
                 writeOwnScript(s.path("set/" + s.subject));
             },
             changes("set/100% Gr\xC3\xBCn.bat")},
            {"the user's setup.bat beside setup.tar.gz stays",
             [](Scene& s) {
                 s.subject = "setup.tar.gz";
                 writeFile(s.path("set/setup.bat"), "@echo off\r\necho.\r\nsetup.exe /S\r\n");
             }},
            {"the script for Beispiel.dat stays when Beispiel.txt is split",
             [&own](Scene& s) {
                 own(s);
                 s.subject = "Beispiel.txt";
             }},
            {"a link to this program's script elsewhere stays, and so does the script",
             [](Scene& s) {
                 writeOwnScript(s.path("aussen/Beispiel.dat"));
                 s.link("set/Beispiel.bat", "../aussen/Beispiel.bat");
             }},
            {"a FIFO stays and is not waited on", [](Scene& s) { s.fifo("set/Beispiel.bat"); }},
            {"the fixed lines without the source's name stay", truncated},
        },
        [](Scene& s, const Case& c) {
            const std::string source = s.path("set/" + (s.subject.empty() ? "Beispiel.dat" : s.subject));
            removeOldJoinScript(source, '/');
            EXPECT_EQ(fileio::entryAt(joinScriptLocation(source, '/').path).type == fileio::EntryType::None,
                      !c.outcome.inside.empty())
                << c.what;
        });
}

// A second process holds the lock of a.dat's set: neither a split of it nor a join or deletion of its
// fragments may start; other sets may. The lock file goes with the lock, and is never a link.
TEST(OutsideTheSet, OneOperationPerSetInAnyProcess) {
    Scene s;
    const std::string source = s.path("set/a.dat"), lockFile = s.path("set/.a.dat.lock");
    {
        const LockHolder other(source);
        ASSERT_TRUE(other.held());
        EXPECT_FALSE(SetLock::forSource(source, '/'));
        EXPECT_FALSE(SetLock::forList({"a.dat._001", "a.dat._002"}, s.path("set")));
        EXPECT_TRUE(SetLock::forList({"x.dat._001"}, s.path("set")));
    }
    {
        const auto lock = SetLock::forSource(source, '/');
        EXPECT_TRUE(lock && fs::exists(lockFile));
    }
    EXPECT_FALSE(fs::exists(lockFile));

    s.link("set/.a.dat.lock", "../aussen/lock");
    expectFileError([&] { SetLock::forSource(source, '/'); }, fileio::FileError::Kind::Io, lockFile);
    EXPECT_FALSE(fs::exists(s.path("aussen/lock")));
    fs::remove(lockFile);

    // A folder that takes no lock file cannot be changed through the program either: the join reads
    // from it all the same.
    fs::permissions(s.path("set"), fs::perms(0755));
    const auto lockAsNobody = [&] {
        if (!SetLock::forSource(source, '/')) {
            throw fileio::FileError(fileio::FileError::Kind::Io, "busy", {});
        }
    };
    EXPECT_EQ(failureAsNobody(lockAsNobody, fileio::FileError::Kind::Io, ""), 1);
}

}  // namespace
}  // namespace fragments
