// Split and join of 256 MiB killed or stopped mid-way, and stopped by a full tmpfs (POSIX, slow).

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <array>
#include <sstream>

#include "core_test_support.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join_job.hpp"
#include "fragments/split_job.hpp"

namespace fragments {
namespace {

using namespace testsupport;
constexpr std::int64_t MiB = std::int64_t{1} << 20;

// Runs `work` in a child killed at `stop` ("STEP N", "+BYTES" written, "@MS"): "killed" or "done".
std::string inChild(const std::function<void()>& work, const std::string& stop) {
    std::istringstream words(stop);
    std::string step;
    std::int64_t number = -1;
    words >> step >> number;
    const std::int64_t bytes = step[0] == '+' ? std::stoll(step.substr(1)) : -1;
    // The child says when its work is done.
    int finished[2];
    EXPECT_EQ(::pipe(finished), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Hooks only where the stop needs them: without, a split writes in two lanes.
        if (number >= 0) {
            fileio::testing::setStepHook([&](std::string_view reached, std::int64_t n) {
                if (reached == step && n == number) {
                    ::raise(SIGKILL);
                }
            });
        }
        if (bytes >= 0) {
            fileio::testing::setWriteFault(
                [&, written = std::int64_t{0}](const std::string&, std::size_t size) mutable {
                    written += static_cast<std::int64_t>(size);
                    return written > bytes ? ::raise(SIGKILL) : 0;
                });
        }
        work();
        ::_exit(::write(finished[1], "x", 1) == 1 ? 0 : 1);
    }
    ::close(finished[1]);
    if (step[0] == '@') {
        ::usleep(static_cast<useconds_t>(std::stoi(step.substr(1))) * 1000);
        ::kill(child, SIGKILL);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    char done = 0;
    const bool said = ::read(finished[0], &done, 1) == 1;
    ::close(finished[0]);
    return said ? "done" : WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? "killed" : "?";
}

// A source of `bytes` in `folder`, split by `kilobytes` and joined into `target`, checked after any stop.
class FragmentSetScene {
  public:
    FragmentSetScene(const std::string& folder, const std::string& name, std::int64_t bytes,
                     std::int64_t kilobytes)
        : folder_(folder),
          source_(folder + "/" + name),
          kilobytes_(kilobytes),
          plan_(planSplit(bytes, kilobytes * 1024)) {
        std::filesystem::create_directories(pathOf(folder));
        const auto data = patternBytes(static_cast<std::size_t>(bytes), 11);
        writeFile(source_, data);
        std::vector<ChecksumEntry> entries;
        for (int n = 1; n <= plan_.fragmentCount; ++n) {
            const auto offset = static_cast<std::size_t>((n - 1) * plan_.fragmentBytes);
            names_.push_back(Nurdatei(fragmentName(source_, n)));
            crcs_.push_back(
                checksum::crc32Update(0, data.data() + offset, static_cast<std::size_t>(sizeOf(n))));
            entries.push_back({names_.back(), crcs_.back()});
        }
        sourceCrc_ = checksum::crc32Update(0, data.data(), data.size());
        checksumText_ = checksumFileText(name, bytes, sourceCrc_, entries);
    }

    const std::string& source() const { return source_; }
    std::string target() const { return folder_ + "/ziel"; }

    void split() const { std::get<SplitResult>(runSplitJob({source_, kilobytes_, true}, {})); }
    // Joins the fragments there are: "joined", or the problem's number.
    std::string join() const {
        JoinJobEvents events;
        events.chooseTarget = [this](const std::string&) { return std::optional(target()); };
        Names present;
        std::ranges::copy_if(names_, std::back_inserter(present),
                             [&](auto& name) { return fileio::fileExists(folder_ + "/" + name); });
        const auto result = runJoinJob(present, folder_, events);
        const auto* problem = std::get_if<JoinProblem>(&result);
        return problem ? std::to_string(static_cast<int>(problem->kind)) : "joined";
    }

    // Fragments whole, checksum file complete, at most `temporaries` left; the target `old` or the source.
    void expectConsistent(const std::string& what, int temporaries, const char* old = nullptr) const {
        if (old && !fileio::fileExists(target())) {
            EXPECT_EQ(*old, 0) << what << ": the old target went";
        } else if (old) {
            EXPECT_TRUE(fileio::fileSize(target()) == plan_.length ? fileCrc(target()) == sourceCrc_
                                                                   : readFile(target()) == old)
                << what;
        }
        int found = 0;
        for (const auto& name : filesIn(pathOf(folder_))) {
            const auto number = fragmentNumber(name);
            const std::string path = folder_ + "/" + name;
            if (number && name == names_.at(static_cast<std::size_t>(*number - 1))) {
                EXPECT_EQ(fileio::fileSize(path), sizeOf(*number)) << what << ": " << name;
                EXPECT_EQ(fileCrc(path), crcs_[static_cast<std::size_t>(*number - 1)])
                    << what << ": " << name;
            } else if (name == Nurdatei(source_) + ".sfv") {
                EXPECT_EQ(readFile(path), checksumText_) << what;
            } else if (name == unfinishedMarkName(Nurdatei(source_))) {
                continue;  // a failed split's mark
            } else if (finalNameOfTemporary(name, ".tmp") || finalNameOfTemporary(name, ".part")) {
                ++found;
            }
            EXPECT_TRUE(temporaries > 0 || name.front() != '.') << what << ": " << name;
        }
        EXPECT_LE(found, temporaries) << what;
    }

  private:
    std::int64_t sizeOf(int number) const {
        return number <= plan_.fullFragments ? plan_.fragmentBytes : plan_.remainder;
    }

    std::string folder_, source_, checksumText_;
    std::int64_t kilobytes_;
    SplitPlan plan_;
    Names names_;
    std::vector<std::uint32_t> crcs_;
    std::uint32_t sourceCrc_ = 0;
};

// 25 fragments of 10 MiB and one of 6 MiB.
class Crash : public ::testing::Test {
  protected:
    TempDir dir;
    FragmentSetScene scene{dir.utf8(), "gross.bin", 256 * MiB, 10 * 1024};
};

TEST_F(Crash, KilledSplitsLeaveWholeFragmentsOnly) {
    int killed = 0;
    for (const char* stop :
         {"fragment-written 1", "fragment-in-place 1", "fragment-written 13", "fragment-in-place 13",
          "fragment-written 26", "fragment-in-place 26", "checksum-file-written 0", "+0", "+5242880",
          "+10485760", "+10747904", "+134217735", "+268435455", "@20", "@80", "@150"}) {
        const std::string stopped = inChild([this] { scene.split(); }, stop);
        EXPECT_TRUE(stopped == "killed" || stopped == "done") << stopped;
        killed += stopped == "killed" ? 1 : 0;
        // Each run removes what the one before it left: a temporary file of each lane at most.
        scene.expectConsistent("split", 2);
        // What a killed split leaves is never joined as if it were whole: a set joins only once it is the
        // source's bytes (a timed kill may land after the set became whole, before the child could say so).
        const bool joined = scene.join() == "joined";
        EXPECT_TRUE(joined || stopped == "killed") << stop;
        scene.expectConsistent(stop + std::string(", joined"), 2, "");
    }
    EXPECT_GE(killed, 10) << "most points are reached";
    scene.split();
    scene.expectConsistent("split after the kills", 0);
}

// With no target before, over an old one, and over an old one with a named temporary file.
TEST_F(Crash, KilledJoinsKeepTheOldTargetOrGiveTheNew) {
    scene.split();
    for (const auto& [old, named, stops] :
         {std::tuple{"", false,
                     Names{"fragment-appended 1", "fragment-appended 12", "+0", "+262144000", "@50"}},
          {"alt", false,
           Names{"fragment-appended 0", "fragment-appended 25", "renaming 0", "+209715200", "@100"}},
          {"alt", true,
           Names{"fragment-appended 3", "fragment-appended 25", "renaming 0", "+134217728", "@150"}}}) {
        for (const std::string& stop : stops) {
            std::filesystem::remove(pathOf(scene.target()));
            if (*old != 0) {
                writeFile(scene.target(), old);
            }
            inChild(
                [&, named = named] {
                    fileio::testing::forceNamedPendingFiles(named);
                    scene.join();
                },
                stop);
            scene.expectConsistent(stop, 1, old);
        }
    }
    fileio::testing::forceNamedPendingFiles(true);
    EXPECT_EQ(scene.join(), "joined");
    fileio::testing::forceNamedPendingFiles(false);
    scene.expectConsistent("join after the kills", 0, "");
}

// SIGINT and SIGTERM mid-way: whole fragments only, no lock or temporary file left, the old target kept.
TEST_F(Crash, StoppedCommandLinesCleanUp) {
    // The command line with `args`, stopped by `signal` once it has read 64 MiB: status, last line on stderr.
    const auto stop = [this](const std::string& args, int signal) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl("/bin/sh", "sh", "-c", ("exec " CLI_PROGRAM " " + args + " 2>" + dir.file("err")).c_str(),
                    nullptr);
        }
        int status = 0;
        for (std::int64_t got = 0; got < 64 * MiB && !::waitpid(child, &status, WNOHANG); ::usleep(500)) {
            std::ifstream("/proc/" + std::to_string(child) + "/io").ignore(7) >> got;  // "rchar: N"
        }
        ::kill(child, signal), ::waitpid(child, &status, 0);
        const std::string err = readFile(dir.file("err"));
        EXPECT_EQ(std::to_string(WEXITSTATUS(status)) + " " + err.substr(err.rfind('\n', err.size() - 2) + 1),
                  std::to_string(128 + signal) + " Der Vorgang wurde abgebrochen.\n");
    };
    for (const int signal : {SIGINT, SIGTERM}) {
        stop("split -s 10240 " + scene.source(), signal);
        scene.expectConsistent("stopped split", 0);
        EXPECT_NE(scene.join(), "joined") << "a stopped split is never joined";
        scene.split(), writeFile(scene.target(), "alt");
        stop("join -f -o " + scene.target() + " " + scene.source() + "._001", signal);
        scene.expectConsistent("stopped join", 0);
        EXPECT_EQ(readFile(scene.target()), "alt");
    }
}

// Where the system gives no second thread (nobody under a limit of one process), the split writes every
// fragment itself, and a large file goes without one while a window's piece hook is set.
TEST(Threads, SplitInOneLaneWhereNoThreadIsGiven) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "root only: the split runs as nobody under a limit of one process";
    }
    TempDir dir;
    const std::string folder = dir.utf8() + "/frei";
    const FragmentSetScene scene(folder, "quelle.bin", 3 * MiB, 100);
    for (const auto& path : {dir.utf8(), folder}) {
        std::filesystem::permissions(pathOf(path), std::filesystem::perms::all);
    }
    const std::string large = folder + "/gross.bin";
    writeFile(large, "");
    std::filesystem::resize_file(pathOf(large), 64 * MiB);
    EXPECT_EQ(asNobody([&scene, &large] {
                  const rlimit one{1, 1};
                  const fileio::PieceHook turns([] {});
                  try {
                      return ::setrlimit(RLIMIT_NPROC, &one) == 0
                                 ? (scene.split(), fileio::removeFile(large), "")
                                 : "no limit";
                  } catch (const std::exception& error) {
                      return error.what();
                  }
              }),
              "");
    EXPECT_FALSE(fileio::fileExists(large));
    scene.expectConsistent("one lane", 0);
}

// A full tmpfs (as root): in the first fragment, later ones (in either lane, the last too), the checksum file
// and the join's target.
TEST(FullDisk, SmallFileSystem) {
    TempDir dir;
    const std::string mountPoint = dir.file("klein");
    std::filesystem::create_directory(pathOf(mountPoint));
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64m") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here (root only)";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    // 8 fragments of 4 MiB.
    const FragmentSetScene scene(mountPoint, "quelle.bin", 32 * MiB, 4 * 1024);
    // Run in a file system of `size` bytes and a page for the split's mark, `work` fails on `path` ("" for
    // none).
    const auto expectFull = [&](std::int64_t size, const std::string& path, const std::function<void()>& work,
                                const char* old = nullptr) {
        const std::string options = "size=" + std::to_string(size + 4096);
        ASSERT_EQ(::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_REMOUNT, options.c_str()), 0) << size;
        EXPECT_EQ(outcomeOf([&] {
                      work();
                      return "";
                  }),
                  path.empty() ? "" : failed(path));
        scene.expectConsistent(path, 0, old);
    };
    for (const auto& [room, stop] : {std::pair{std::int64_t{0}, 1}, std::pair{7 * MiB, 2},
                                     std::pair{13 * MiB, 4}, std::pair{29 * MiB, 8}}) {
        expectFull(32 * MiB + room, fragmentName(scene.source(), stop), [&scene] { scene.split(); });
    }
    expectFull(64 * MiB, scene.source() + ".sfv", [&scene] { scene.split(); });
    expectFull(96 * MiB, "", [&scene] { scene.split(); });
    writeFile(scene.target(), "alt");
    // The join's room is reserved before the first fragment: a full disk shows at once.
    fileio::testing::setStepHook([](auto step, auto) { EXPECT_NE(step, "fragment-appended"); });
    for (const bool named : {false, true}) {
        fileio::testing::forceNamedPendingFiles(named);
        expectFull(
            80 * MiB, scene.target(), [&scene] { scene.join(); }, "alt");
    }
    fileio::testing::setStepHook({});
    fileio::testing::forceNamedPendingFiles(false);
    expectFull(
        128 * MiB, "", [&scene] { scene.join(); }, "");
}

}  // namespace
}  // namespace fragments
