// The split, case by case; a whole split gives the source back, lists its names in order, holds the lock.

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "core_test_support.hpp"
#include "fragments/join_job.hpp"
#include "fragments/split_job.hpp"

#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>

// The program's reads interposed: the ones a scene asks for fail with EINTR.
extern "C" ssize_t pread(int fd, void* data, size_t size, off_t offset) {
    return testsupport::interruptedReads > 0 ? (--testsupport::interruptedReads, errno = EINTR, -1)
                                             : ::syscall(SYS_pread64, fd, data, size, offset);
}
#endif

namespace fragments {
namespace {

using namespace testsupport;
using Kind = SplitRefusal::Kind;

std::string refused(Kind kind, std::int64_t count = 0) {
    return "refused " + std::to_string(static_cast<int>(kind)) + " " + std::to_string(count);
}

std::string split(Scene& s) {
    const std::string source = s.p(s.source), folder = folderOf(source);
    Names named;
    SplitJobEvents events;
    events.progress.fragmentNamed = [&](int number, const std::string& name, bool full) {
        EXPECT_EQ(fileio::fileExists(folder + name), !full) << name;
        EXPECT_FALSE(SetLock::forSource(source)) << "the set's lock is held";
        named.push_back(name);
        EXPECT_EQ(name, Nurdatei(fragmentName(source, number)));
    };
    // The window serves its events after each old fragment checked and each deleted.
    const auto old = 2 * oldFragmentsOf(listFragmentCandidates(folder), source, nativeSeparator).size();
    std::size_t steps = 0;
    events.clearingStep = [&steps] { ++steps; };
    // A failed split leaves its mark, which the join's scenes and the kill runs look at.
    const auto result = [&] {
        try {
            return runSplitJob({source, s.kilobytes, s.checksumFile}, events);
        } catch (...) {
            std::filesystem::remove(pathOf(folder + unfinishedMarkName(Nurdatei(source))));
            throw;
        }
    }();
    if (const auto* refusal = std::get_if<SplitRefusal>(&result)) {
        return refused(refusal->kind, refusal->fragmentCount);
    }
    const auto& done = std::get<SplitResult>(result);
    EXPECT_EQ(steps, old);
    std::string joined;
    std::vector<ChecksumEntry> sums;
    for (const auto& name : done.fileNames) {
        EXPECT_EQ(fileio::entryAt(folder + name).type, fileio::EntryType::Regular) << name;
        joined += readFile(folder + name);
        sums.push_back({name, fileCrc(folder + name)});
    }
    EXPECT_EQ(done.fileNames, named);
    EXPECT_EQ(done.fragmentSet.names, done.fileNames) << "the old set is gone";
    EXPECT_EQ(joined, readFile(source));
    EXPECT_EQ(done.bytesWritten, static_cast<std::int64_t>(joined.size()));
    if (done.checksumFileWritten) {
        EXPECT_EQ(readFile(checksumFilePath(source)),
                  checksumFileText(Nurdatei(source), done.bytesWritten, textCrc(joined), sums));
    }
    return std::to_string(done.fileNames.size()) + (done.checksumFileWritten ? " +sfv" : "");
}

// The names of fragments 1 to `to` of `source`, and its checksum file with `sfv`.
NameSet made(int to, bool sfv = true, const std::string& source = "set/a.dat") {
    NameSet names{sfv ? source + ".sfv" : source + "._001"};
    for (int n = 1; n <= to; ++n) {
        names.insert(fragmentName(source, n));
    }
    return names;
}

// An earlier split's leftovers (fragments, script, checksum file, temporaries) beside files that stay.
const std::string leftovers =
                      ".a.dat._001.Ab9zQ0.tmp .a.dat._999.zzzzzz.tmp .a.dat.sfv.000000.tmp a.dat._004 "
                      "a.dat._005 a.dat._abc ",
                  others =
                      ".a.dat._01.Ab9zQ0.tmp .a.dat._001.Ab9zQ0.part .a.txt._001.Ab9zQ0.tmp "
                      ".a.dat._001.Ab9zQ.tmp a.dat._001.Ab9zQ0.tmp b.dat._001 a.dat._0001";
// The names of a blank-separated list in set/.
NameSet inSet(const std::string& names) {
    std::istringstream words(names);
    NameSet set;
    std::transform(std::istream_iterator<std::string>(words), {}, std::inserter(set, set.end()),
                   [](const std::string& name) { return "set/" + name; });
    return set;
}
const std::string earlier = [] {
    std::string commands = "script set/a.dat; ours set/a.dat; ";
    for (const auto& name : inSet(leftovers + others)) {
        commands += "put 10 " + name + "; ";
    }
    return commands;
}();
const NameSet leftBehind = inSet(leftovers + "a.bat a.dat.sfv");

TEST(Split, Scenes) {
    std::vector<Case> cases{
        {"", "3 +sfv", made(3)},
        {"put 3072 set/a.dat", "3 +sfv", made(3)},
        {"put 0 set/a.dat", "0"},  // no fragment, no set, no checksum file
        {"put 1022976 set/a.dat", "999 +sfv", made(999)},
        {"nosfv", "3", made(3, false)},
        {earlier, "3 +sfv", made(3) + leftBehind},
        {earlier + "kb 0", refused(Kind::InvalidSize), leftBehind},
        {"kb 2097152", refused(Kind::OutOfMemory)},
        {"kb 2097151", "1 +sfv", made(1)},
        {"put 1022977 set/a.dat", refused(Kind::TooManyFragments, 1000)},
        {earlier + "lock", refused(Kind::SetBusy)},
        // A user's checksum file or a folder at its name stays, also one that appears while it is written.
        {"user set/a.dat.sfv", "3", made(3, false)},
        {"folder set/a.dat.sfv", "3", made(3, false)},
        {"at checksum-file-written#1 user set/a.dat.sfv", "3", made(3)},
        {"at renaming#2 folder set/a.dat._002", failed("set/a.dat._002"), made(2, false)},
        {"full set/a.dat._002", failed("set/a.dat._002"), made(1, false)},
        {"rw; full set/a.dat._002", failed("set/a.dat._002"), made(1, false)},
        {"fail rename", failed("set/a.dat._001"), made(1, false)},
        {"fail close", failed("set/.a.dat.unfertig")},
        {"at fragment-in-place#2 cancel", failed("set/a.dat", fileio::Errc::Cancelled), made(2, false)},
        {"at fragment-in-place#1 resize 1500 set/a.dat", failed("set/a.dat", fileio::Errc::EndedEarly),
         made(1, false) + NameSet{"set/a.dat"}},
        // Only this program's own script of the source goes.
        {"script set/a.dat", "3 +sfv", made(3) + NameSet{"set/a.bat"}},
        {"put 100 set/setup.tar.gz; source set/setup.tar.gz; user set/setup.bat", "1 +sfv",
         made(1, true, "set/setup.tar.gz")},
        {"script set/a.dat; put 100 set/a.txt; source set/a.txt", "1 +sfv", made(1, true, "set/a.txt")},
#ifdef __linux__
        {"eintr 3", "3 +sfv", made(3)},
#endif
#ifndef _WIN32
        {"holder", refused(Kind::SetBusy)},
        {"put 2500 set/\xff; put 9 set/\xff._004; source set/\xff", "3 +sfv", made(4, true, "set/\xff")},
        {"link ../aussen/lock set/.a.dat.lock", failed("set/.a.dat.lock", notRegular)},
        {"at fragment-written#2 fifo set/a.dat._002", failed("set/a.dat._002", notRegular), made(2, false)},
        // Links and hard-linked twins give way, their targets stay.
        {"twin aussen/zwilling1 set/a.dat._001; twin aussen/zwilling4 set/a.dat._004", "3 +sfv", made(4)},
        {"ro aussen/nur-lesen; link ../aussen/nur-lesen set/a.dat._003", "3 +sfv", made(3)},
        {"put 2500 set/data._001; link data._001 set/data; source set/data",
         failed("set/data._001", Errc::IsSplitSource)},
        {"hard set/a.dat set/a.dat._002", failed("set/a.dat._002", Errc::IsSplitSource)},
        {"folder set/a.dat._002", failed("set/a.dat._002", notRegular)},
        {"fifo set/a.dat._003", failed("set/a.dat._003", notRegular)},
        {"put 2500 aussen/q.dat; link ../aussen/q.dat set/q.dat; source set/q.dat", "3 +sfv",
         made(3, true, "set/q.dat")},
        {"fifo set/a.bat", "3 +sfv", made(3)},
        {"script aussen/a.dat; link ../aussen/a.bat set/a.bat", "3 +sfv", made(3)},
        // In a sticky folder nobody cannot delete root's old fragment, and must not open it.
        {"put 10 set/a.dat._001; chmod 1777 set; nobody", failed("set/a.dat._001")},
        {"user set/a.dat.sfv; chmod 0 set/a.dat.sfv; chmod 1777 set; nobody", "3", made(3, false)},
#endif
    };
    runCases(cases, split);
}

#ifndef _WIN32
// Another tool reads the checksum file as this program writes it, and finds a damaged fragment by it.
TEST(Split, ChecksumFileCheckedByCksfv) {
    if (std::system("command -v cksfv >/dev/null") != 0) {
        GTEST_SKIP() << "cksfv is not installed";
    }
    Scene s;
    ASSERT_EQ(split(s), "3 +sfv");
    const std::string check = "cd '" + s.p("set") + "' && cksfv -q -f a.dat.sfv >/dev/null";
    EXPECT_EQ(std::system(check.c_str()), 0);
    s.run("flip set/a.dat._002");
    EXPECT_NE(std::system(check.c_str()), 0);
}
#endif

// A source whose fragment names just fit: its hidden names fit too, and a killed split's leftover goes.
TEST(Split, LongNames) {
    TempDir dir;
    const std::string source = dir.file(std::string(250, 'a'));
    const std::string leftover = temporaryNameFor(fragmentName(source, 2), ".tmp");
    writeFile(source, patternBytes(2500)), writeFile(leftover, "x");
    fileio::testing::forceNamedPendingFiles(true);
    EXPECT_EQ(std::get<SplitResult>(runSplitJob({source, 1, true}, {})).fileNames.size(), 3u);
    fileio::testing::forceNamedPendingFiles(false);
    EXPECT_EQ(std::pair(Nurdatei(leftover).size(), fileio::fileExists(leftover)),
              std::pair(std::size_t{255}, false));
}

// Beyond 4 GiB: offsets and sums must not be cut to 32 bits. The sparse source keeps the disk quiet.
TEST(LargeFile, SplitsAndJoinsAboveFourGibibytes) {
    TempDir dir;
    const std::string source = dir.file("gross.bin"), target = dir.file("wieder.bin");
    const std::int64_t length = (std::int64_t{43} << 30) / 10, hole = std::int64_t{3} << 30;
    const std::int64_t marks[] = {0, (std::int64_t{1} << 31) - 1, std::int64_t{1} << 32,
                                  (std::int64_t{1} << 32) + 5 * 1024 * 1024 + 3, length - 4};
    {
        std::ofstream out(pathOf(source), std::ios::binary);
        for (std::int64_t offset : marks) {
            out.seekp(offset).write("ABCD", 4);
        }
    }
    std::filesystem::resize_file(pathOf(source), static_cast<std::uintmax_t>(length));
    const auto split = std::get<SplitResult>(runSplitJob({source, 5 * 1024, false}, {}));
    ASSERT_EQ(split.bytesWritten, length);
    JoinJobEvents events;
    events.chooseTarget = [&](const std::string&) { return std::optional(target); };
    EXPECT_EQ(std::get<JoinResult>(runJoinJob(split.fileNames, dir.utf8(), events)).bytesWritten, length);
    std::ifstream in(pathOf(target), std::ios::binary);
    for (std::int64_t offset : {marks[0], marks[1], marks[2], marks[3], marks[4], hole}) {
        std::string data(4, '?');
        in.seekg(offset).read(data.data(), 4);
        EXPECT_EQ(data, offset == hole ? std::string(4, '\0') : "ABCD") << offset;
    }
}

}  // namespace
}  // namespace fragments
