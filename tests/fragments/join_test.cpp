// The join and the deletion, case by case; a whole join keeps the old target and the set's lock to its end.

#include <cerrno>

#include "core_test_support.hpp"
#include "fragments/join_job.hpp"
#include "fragments/listing.hpp"

namespace fragments {
namespace {

using namespace testsupport;
using Problem = JoinProblem::Kind;

// The content of the regular file at `path`; "" for anything else (a FIFO is not waited on).
std::string contentOf(const std::string& path) {
    return std::filesystem::is_regular_file(pathOf(path)) ? readFile(path) : "";
}

std::string join(Scene& s) {
    const std::string folder = s.p("set"), target = s.p(s.target), old = contentOf(target);
    std::string expected;
    for (const auto& name : s.names) {
        expected += readFile(s.p("set/" + name));
    }
    JoinJobEvents events;
    events.joinDespiteGap = [&](int number) {
        s.log += "gap " + std::to_string(number) + ", ";
        return true;
    };
    events.chooseTarget = [&](const std::string&) {
        s.reached("target");
        return s.target.empty() ? std::nullopt : std::optional(target);
    };
    events.targetAccepted = [&](const std::string&) { s.log += "accepted, "; };
    events.joinUnverified = [&](const std::string& fragment, const std::string& checksumFile) {
        s.log += "unverified " + fragment + " " + checksumFile + ", ";
        return s.confirm;
    };
    events.beforeRun = [&](const JoinPlan&) { return s.confirm; };
    events.progress.beforeFragment = [&]([[maybe_unused]] std::size_t index) {
        EXPECT_EQ(contentOf(target), old) << "the old target stays until the end";
        EXPECT_TRUE(s.nobody || !SetLock::forList(s.names, folder)) << "the set's lock is held";
#ifndef _WIN32
        if (index + 1 == s.names.size() && !s.nobody) {
            EXPECT_FALSE(LockHolder(folder + "/" + withoutLastCharacters(s.names[0], 5)).held())
                << "up to the last fragment, in any process";
        }
#endif
        s.reached("fragment");
    };
    std::string streamed;
    if (s.stream) {
        events.stream = [&](const void* data, std::size_t size) {
            streamed.append(static_cast<const char*>(data), size);
            s.log += "out " + std::to_string(size) + ", ";
        };
    }
    const auto result = runJoinJob(s.names, folder, events);
    if (const auto* problem = std::get_if<JoinProblem>(&result)) {
        const std::string path = problem->path.starts_with(s.dir.utf8())
                                     ? problem->path.substr(s.dir.utf8().size() + 1)
                                     : problem->path;
        return "problem " + std::to_string(static_cast<int>(problem->kind)) + " " + path;
    }
    if (s.stream) {
        EXPECT_EQ(streamed, expected);
        return "streamed";
    }
    EXPECT_EQ(readFile(target), expected);
    EXPECT_EQ(std::get<JoinResult>(result).bytesWritten, static_cast<std::int64_t>(expected.size()));
    const auto& done = std::get<JoinResult>(result);
    EXPECT_EQ(done.identity, fileio::identityOf(target));
#ifndef _WIN32
    struct stat info[2]{};
    ::stat(target.c_str(), &info[0]), ::stat(s.p("set/" + s.names.back()).c_str(), &info[1]);
    EXPECT_EQ(info[0].st_blocks * 1024 < info[0].st_size, info[1].st_blocks * 1024 < info[1].st_size);
#endif
    return "joined" + (done.checksumFile.empty()
                           ? ""
                           : " " + std::to_string(done.verifiedFragments) + " by " + done.checksumFile +
                                 (done.checksumFileIsLink ? " (link)" : ""));
}

std::string problem(Problem kind, std::string path = "") {
    std::replace(path.begin(), path.end(), '/', nativeSeparator);
    return "problem " + std::to_string(static_cast<int>(kind)) + " " + path;
}

TEST(Join, Scenes) {
    const NameSet target{"set/x.dat"};
    const std::string three = "names x.dat._001 x.dat._002 x.dat._003";
    const std::vector<Case> cases{
        {"", "accepted, joined", target},
        // A read-only target is replaced only after the last fragment, also with a named temporary file.
        {"ro set/x.dat; named", "accepted, joined", target},
        {"names", problem(Problem::EmptyList)},
        {"names x.dat._001 X.dat._002", problem(Problem::MixedSources, "X.dat._002")},
        {"names x.dat._002", "gap 1, accepted, joined", target},
        {"target set/./x.dat._002", problem(Problem::TargetIsFragment, "set/./x.dat._002")},
        {"names x.dat._001 x.dat._004 x.dat._003",
         "gap 2, accepted, " + problem(Problem::MissingFragment, "set/x.dat._004")},
        {"folder set/x.dat._003; " + three,
         "accepted, " + problem(Problem::NotRegularFile, "set/x.dat._003")},
        {"source set/x.dat; lock", problem(Problem::SetBusy, "set/x.dat._001")},
        // A split that did not finish: refused, and busy while it still runs; a mark made during the dialog.
        {"put 0 set/.x.dat.unfertig", problem(Problem::UnfinishedSplit, "set/x.dat")},
        {"put 0 set/.x.dat.unfertig; source set/x.dat; lock", problem(Problem::SetBusy, "set/x.dat._001")},
        {"at target#1 put 0 set/.x.dat.unfertig",
         problem(Problem::UnfinishedSplit, "set/x.dat"),
         {"set/.x.dat.unfertig"}},
        {"target aussen/y.dat; source aussen/y.dat; lock; put 1 aussen/.y.dat.Ab9zQ0.part",
         "accepted, " + problem(Problem::SetBusy, "aussen/y.dat")},  // another join's temporary stays
        {"target set/./x.dat; named", "accepted, joined", target},   // the set's own lock covers it
        {"noconfirm", "accepted, " + problem(Problem::Cancelled)},
        // Gone before it is opened (the one after the fragment at hand, which is read ahead).
        {"put 5 set/x.dat._003; at fragment#2 rm set/x.dat._003; " + three,
         "accepted, " + failed("set/x.dat._003", {}, true),
         {"set/x.dat._003"}},
        // A fragment that grows while it is copied.
        {"at fragment#2 at write#1 put 600 set/x.dat._002",
         "accepted, " + failed("set/x.dat._002", Errc::SizeChanged),
         {"set/x.dat._002"}},
        {"full *", "accepted, " + failed("set/x.dat")},
        {"fail rename", "accepted, " + failed("set/x.dat")},  // as a new name and named
        {"named; fail rename", "accepted, " + failed("set/x.dat")},
        {"folder set/x.dat", "accepted, " + failed("set/x.dat", notRegular)},
        {"put 3 set/x.dat; at renaming#1 folder set/x.dat", "accepted, " + failed("set/x.dat"), target},
        // Only the leftovers of killed joins to the target go.
        {"put 1 set/.x.dat.Ab9zQ0.part; put 1 set/.x.dat.Ab9zQ0.part2; put 1 set/.x.dat.Ab9zQ0.tmp",
         "accepted, joined",
         {"set/x.dat", "set/.x.dat.Ab9zQ0.part"}},
        // The checksum file: the CRC is taken from the bytes written; a damaged fragment keeps the old
        // target.
        {"sfv; flip set/x.dat._002", "accepted, damaged x.dat._002"},
        {"sfv; age set/x.dat.sfv; flip set/x.dat._002", "accepted, damaged x.dat._002 by x.dat.sfv"},
        {"sfv; age set/x.dat._001; flip set/x.dat._002", "accepted, damaged x.dat._002"},
        {"sfv; put 3 set/x.dat; named; at fragment-appended#1 flip set/x.dat._002",
         "accepted, damaged x.dat._002",
         {"set/x.dat._002"}},
        {"sfv; rm set/x.dat._001; names x.dat._002", problem(Problem::MissingFragment, "set/x.dat._001")},
        {"sfv; names x.dat._002", "unverified x.dat._001 x.dat.sfv, gap 1, accepted, joined 0 by x.dat.sfv",
         target},
        {"sfv; names x.dat._002; noconfirm",
         "unverified x.dat._001 x.dat.sfv, " + problem(Problem::Cancelled)},
        {"sfv; put 10 set/x.dat._003; " + three, "accepted, joined 2 by x.dat.sfv", target},
        // Where the checksum file is looked for; one that cannot be trusted stops the join.
        {"sfv X.DAT.SFV; flip set/x.dat._002", "accepted, damaged x.dat._002"},
        {"sfv x.Sfv; flip set/x.dat._002", "accepted, damaged x.dat._002"},
        {"sfv; user set/x.sfv", problem(Problem::ChecksumFilesDisagree, "set/x.dat.sfv")},
        {"put 1048577 set/x.dat.sfv", problem(Problem::ChecksumFileUnusable, "set/x.dat.sfv")},
        {"sfv; user set/y.sfv", "accepted, joined 2 by x.dat.sfv", target},
        {"foreign; flip set/x.dat._002; names x.dat._002", "gap 1, accepted, damaged x.dat._002"},
        {"foreign; flip set/x.dat._002", "accepted, damaged x.dat._002"},  // past one it does not name
        // Into a stream: nothing goes out before every fragment is verified, nor any piece changed since.
        {"stream", "accepted, out 1024, out 500, streamed"},
        {"put 2621440 set/x.dat._001; sfv; stream",
         "accepted, out 1048576, out 1048576, out 524288, out 500, streamed"},
        {"stream; sfv; flip set/x.dat._002", "accepted, damaged x.dat._002"},
        {"stream; sfv; at fragment#2 flip set/x.dat._002",
         "accepted, out 1024, " + failed("set/x.dat._002", fileio::Errc::ChangedWhileRead),
         {"set/x.dat._002"}},
        {"resize 8000000 set/x.dat._002; sfv", "accepted, joined 2 by x.dat.sfv",
         target},  // holes stay holes
#ifdef __linux__
        {"rw; eintr 3", "accepted, joined", target},
#endif
#ifndef _WIN32
        // A target that links elsewhere is replaced itself; a read-only twin keeps its content and mode.
        {"ro aussen/nur-lesen; link ../aussen/nur-lesen set/x.dat", "accepted, joined", target},
        {"twin aussen/zwilling set/x.dat", "accepted, joined", target},
        {"sfv y.sfv; link y.sfv set/x.dat.sfv; flip set/x.dat._002", "accepted, joined 0 by x.dat.sfv (link)",
         target},
        {"hard set/x.dat._002 set/x.dat", problem(Problem::TargetIsFragment, "set/x.dat")},
        {"fifo set/x.dat", "accepted, " + failed("set/x.dat", notRegular)},
        // A folder that takes no lock file cannot change through the program: it is read all the same.
        {"chmod 777 aussen; target aussen/x.dat; nobody", "accepted, joined", {"aussen/x.dat"}},
#endif
    };
    runCases(cases, join);
}

// In list order, read-only ones too, vanished ones skipped; our checksum file goes, a user's stays.
TEST(Deletion, Scenes) {
    const NameSet set{"set/x.dat._001", "set/x.dat._002"};
    const std::vector<Case> cases{
        {"sfv; chmod 400 set/x.dat._002; names x.dat._002 x.dat._005 x.dat._001", "3 2 deleted",
         set + NameSet{"set/x.dat.sfv"}},
        {"user set/x.dat.sfv", "3 2 deleted +sfv", set},
#ifndef _WIN32
        {"ro aussen/nur-lesen; link ../aussen/nur-lesen set/x.dat._002", "2 1 deleted", set},
        {"twin aussen/zwilling set/x.dat._001", "2 1 deleted", set},
        {"folder set/x.dat._002", failed("set/x.dat._002", notRegular)},  // before anything goes
        {"fifo set/x.dat._002", failed("set/x.dat._002", notRegular)},
        {"link x.dat._001 set/x.dat", failed("set/x.dat._001", Errc::IsOriginal)},
        // As nobody: root's read-only fragments go in a shared folder; in root's folder nothing is touched.
        {"twin aussen/zwilling set/x.dat._001; chmod 444 set/x.dat._002; chmod 777 set; nobody",
         "2 1 deleted", set},
        {"names x.dat._009 x.dat._001 x.dat._002; nobody", failed("set/x.dat._001")},
#endif
    };
    runCases(cases, [](Scene& s) {
        // The files left after each deletion (the checks before them delete nothing).
        auto left = filesIn(pathOf(s.p("set"))).size();
        deleteFragmentSet(s.names, s.p("set"), [&] {
            if (const auto now = filesIn(pathOf(s.p("set"))).size(); now != left) {
                s.log += std::to_string(left = now) + " ";
            }
        });
        return std::string("deleted") + (std::filesystem::exists(s.f("set/x.dat.sfv")) ? " +sfv" : "");
    });
}

}  // namespace
}  // namespace fragments
