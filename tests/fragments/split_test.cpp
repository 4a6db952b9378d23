// The split as both front ends run it, case by case on a fresh scene (core_test_support.hpp). A whole split
// also shows that its fragments give the source back, each named as the window lists it (a full one before
// it is written, the short last one after) while the set's lock is held, and its checksum file is right.

#include <cerrno>
#include <fstream>

#include "core_test_support.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join_job.hpp"
#include "fragments/split_job.hpp"

#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>

namespace {
int interruptedReads = 0;
int interruptedWrites = 0;
}  // namespace

// Reads and writes of this program interposed: the ones testsupport asks for fail with EINTR.
extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    if (interruptedWrites > 0) {
        --interruptedWrites;
        errno = EINTR;
        return -1;
    }
    return ::syscall(SYS_pwrite64, fd, data, size, offset);
}
extern "C" ssize_t pread(int fd, void* data, size_t size, off_t offset) {
    if (interruptedReads > 0) {
        --interruptedReads;
        errno = EINTR;
        return -1;
    }
    return ::syscall(SYS_pread64, fd, data, size, offset);
}
void testsupport::interruptNextCalls(int count) {
    interruptedReads = interruptedWrites = count;
}
#endif

namespace fragments {
namespace {

using namespace testsupport;
using Kind = SplitRefusal::Kind;

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
    const auto result = runSplitJob({source, s.kilobytes, s.checksumFile}, events);
    if (const auto* refusal = std::get_if<SplitRefusal>(&result)) {
        return "refused " + std::to_string(static_cast<int>(refusal->kind)) + " " +
               std::to_string(refusal->fragmentCount);
    }
    const auto& done = std::get<SplitResult>(result);
    std::string joined;
    std::vector<ChecksumEntry> sums;
    for (const auto& name : done.fileNames) {
        EXPECT_EQ(fileio::entryAt(folder + name).type, fileio::EntryType::Regular) << name;
        joined += readFile(folder + name);
        sums.push_back({name, fileCrc(folder + name)});
    }
    EXPECT_EQ(done.fileNames, named);
    EXPECT_EQ(joined, readFile(source));
    EXPECT_EQ(done.bytesWritten, static_cast<std::int64_t>(joined.size()));
    if (done.checksumFileWritten) {
        EXPECT_EQ(readFile(checksumFilePath(source)),
                  checksumFileText(Nurdatei(source), done.bytesWritten, textCrc(joined), sums));
    }
    return std::to_string(done.fileNames.size()) + (done.checksumFileWritten ? " +sfv" : "");
}

std::string refused(Kind kind, std::int64_t count = 0) {
    return "refused " + std::to_string(static_cast<int>(kind)) + " " + std::to_string(count);
}

// The names of fragments `from` to `to` of set/a.dat, and its checksum file with `sfv`.
NameSet made(int to, bool sfv = true, int from = 1) {
    NameSet names;
    for (int n = from; n <= to; ++n) {
        names.insert(fragmentName("set/a.dat", n));
    }
    if (sfv) {
        names.insert("set/a.dat.sfv");
    }
    return names;
}

// What an earlier split of a.dat into 5 fragments left: its fragments, script and checksum file, and
// the temporary files of a killed one; beside files of other names and shapes.
const Names leftovers{".a.dat._001.Ab9zQ0.tmp",
                      ".a.dat._999.zzzzzz.tmp",
                      ".a.dat.sfv.000000.tmp",
                      "a.dat._004",
                      "a.dat._005",
                      "a.dat._abc"};
void earlierSplit(Scene& s) {
    for (const char* other : {".a.dat._01.Ab9zQ0.tmp", ".a.dat._0a1.Ab9zQ0.tmp", ".a.dat._001.Ab9zQ0.part",
                              ".a.txt._001.Ab9zQ0.tmp", ".a.dat._001.Ab9zQ.tmp", ".a.dat._001.Ab9zQ00.tmp",
                              ".a.dat._001.Ab-zQ0.tmp", ".a.dat._001_Ab9zQ0.tmp", "a.dat._001.Ab9zQ0.tmp",
                              "a.txt._001", "b.dat._001", "a.dat.._001", "a.dat._0001"}) {
        s.put("set/" + std::string(other), 10);
    }
    for (const auto& name : leftovers) {
        s.put("set/" + name, 10);
    }
    writeOwnScript(s.p("set/a.dat"));
    writeFile(s.p("set/a.dat.sfv"), checksumFileText("a.dat", 1, 0, {}));
}
NameSet leftBehind() {
    NameSet names{"set/a.bat", "set/a.dat.sfv"};
    for (const auto& name : leftovers) {
        names.insert("set/" + name);
    }
    return names;
}

const auto none = [](Scene&) {};

TEST(Split, Scenes) {
    std::vector<Case> cases{
        {"a short rest", none, "3 +sfv", made(3)},
        {"an exact multiple", [](Scene& s) { s.put("set/a.dat", 3072); }, "3 +sfv", made(3)},
        {"less than one fragment", [](Scene& s) { s.put("set/a.dat", 1000); }, "1 +sfv", made(1)},
        {"an empty source: no fragment, no set, no checksum file", [](Scene& s) { s.put("set/a.dat", 0); },
         "0"},
        {"999 fragments", [](Scene& s) { s.put("set/a.dat", 999 * 1024); }, "999 +sfv", made(999)},
        {"without a checksum file", [](Scene& s) { s.checksumFile = false; }, "3", made(3, false)},
        {"the largest fragment", [](Scene& s) { s.kilobytes = 2097151; }, "1 +sfv", made(1)},
        {"what an earlier split left goes, only that", earlierSplit, "3 +sfv", made(3) + leftBehind()},
        {"a size of 0 is refused after that",
         [](Scene& s) {
             earlierSplit(s);
             s.kilobytes = 0;
         },
         refused(Kind::InvalidSize), leftBehind()},
        {"a negative size", [](Scene& s) { s.kilobytes = -1; }, refused(Kind::OutOfMemory)},
        {"a fragment above 2,147,483,647 bytes", [](Scene& s) { s.kilobytes = 2097152; },
         refused(Kind::OutOfMemory)},
        {"1000 fragments", [](Scene& s) { s.put("set/a.dat", 999 * 1024 + 1); },
         refused(Kind::TooManyFragments, 1000)},
        {"another operation holds the set, nothing changes",
         [](Scene& s) {
             earlierSplit(s);
             s.lock = SetLock::forSource(s.p("set/a.dat"));
         },
         refused(Kind::SetBusy)},
        {"a user's checksum file stays, and none is written",
         [](Scene& s) { writeFile(s.p("set/a.dat.sfv"), "; von Hand\r\na.dat 12345678\r\n"); }, "3",
         made(3, false)},
        {"a folder of the checksum file's name likewise", [](Scene& s) { s.folder("set/a.dat.sfv"); }, "3",
         made(3, false)},
        {"a user's checksum file appearing while it is written stays",
         [](Scene& s) {
             fileio::testing::setStepHook([&s](std::string_view step, std::int64_t) {
                 if (step == "checksum-file-written") {
                     writeFile(s.p("set/a.dat.sfv"), "; von Hand\r\n");
                 }
             });
         },
         "3", made(3)},
        {"a folder appearing at a fragment's name before its rename",
         [](Scene& s) {
             fileio::testing::setStepHook([&s, renames = 0](std::string_view step, std::int64_t) mutable {
                 if (step == "renaming" && ++renames == 2) {
                     s.folder("set/a.dat._002");
                 }
             });
         },
         failed("set/a.dat._002"), made(2, false)},
        {"a full disk at the second fragment",
         [](Scene& s) {
             fileio::testing::setWriteFault([&s](const std::string& path, std::size_t) {
                 return path == s.p("set/a.dat._002") ? ENOSPC : 0;
             });
         },
         failed("set/a.dat._002"), made(1, false)},
        {"the same through reads and writes",
         [](Scene& s) {
             fileio::testing::forceReadWriteCopy(true);
             fileio::testing::setWriteFault([&s](const std::string& path, std::size_t) {
                 return path == s.p("set/a.dat._002") ? ENOSPC : 0;
             });
         },
         failed("set/a.dat._002"), made(1, false)},
        {"a source cut short after the first fragment",
         [](Scene& s) {
             fileio::testing::setStepHook([&s](std::string_view step, std::int64_t number) {
                 if (step == "fragment-in-place" && number == 1) {
                     std::filesystem::resize_file(pathOf(s.p("set/a.dat")), 1500);
                 }
             });
         },
         failed("set/a.dat"), made(1, false) + NameSet{"set/a.dat"}},
        {"an old script of the source goes", [](Scene& s) { writeOwnScript(s.p("set/a.dat")); }, "3 +sfv",
         made(3) + NameSet{"set/a.bat"}},
        {"also for a name with % and an umlaut",
         [](Scene& s) {
             s.put(s.source = "set/100% Gr\xC3\xBCn.dat", 100);
             writeOwnScript(s.p(s.source));
         },
         "1 +sfv",
         {"set/100% Gr\xC3\xBCn.bat", "set/100% Gr\xC3\xBCn.dat._001", "set/100% Gr\xC3\xBCn.dat.sfv"}},
        {"the user's setup.bat beside setup.tar.gz stays",
         [](Scene& s) {
             s.put(s.source = "set/setup.tar.gz", 100);
             writeFile(s.p("set/setup.bat"), "@echo off\r\necho.\r\nsetup.exe /S\r\n");
         },
         "1 +sfv",
         {"set/setup.tar.gz._001", "set/setup.tar.gz.sfv"}},
        {"the script of a.dat stays when a.txt is split",
         [](Scene& s) {
             writeOwnScript(s.p("set/a.dat"));
             s.put(s.source = "set/a.txt", 100);
         },
         "1 +sfv",
         {"set/a.txt._001", "set/a.txt.sfv"}},
        {"the fixed lines without the source's name stay",
         [](Scene& s) {
             writeOwnScript(s.p("set/a.dat"));
             const std::string text = readFile(s.p("set/a.bat"));
             std::size_t end = 0;
             for (int line = 0; line < 8; ++line) {
                 end = text.find("\r\n", end) + 2;
             }
             writeFile(s.p("set/a.bat"), text.substr(0, end));
         },
         "3 +sfv", made(3)},
#ifdef __linux__
        {"interrupted reads and writes are made again", [](Scene&) { interruptNextCalls(3); }, "3 +sfv",
         made(3)},
#endif
#ifndef _WIN32
        {"another process holds the set",
         [](Scene& s) { s.holder = std::make_unique<LockHolder>(s.p("set/a.dat")); }, refused(Kind::SetBusy)},
        {"a link at the lock file's name is refused, its target not made",
         [](Scene& s) { s.link("set/.a.dat.lock", "../aussen/lock"); },
         failed("set/.a.dat.lock", notRegular)},
        {"a FIFO appearing at a fragment's name while it is written stays",
         [](Scene& s) {
             fileio::testing::setStepHook([&s](std::string_view step, std::int64_t number) {
                 if (step == "fragment-written" && number == 2) {
                     s.fifo("set/a.dat._002");
                 }
             });
         },
         failed("set/a.dat._002", notRegular), made(2, false)},
        {"hard-linked twins of an old and a new fragment keep their names and modes",
         [](Scene& s) {
             s.readOnlyTwin("set/a.dat._001", "aussen/zwilling1");
             s.readOnlyTwin("set/a.dat._004", "aussen/zwilling4");
         },
         "3 +sfv", made(4)},
        {"a dangling link gives way, its target is not made",
         [](Scene& s) { s.link("set/a.dat._002", "../aussen/neu"); }, "3 +sfv", made(3)},
        {"a link to a read-only file gives way, the file stays",
         [](Scene& s) {
             s.readOnly("aussen/nur-lesen");
             s.link("set/a.dat._003", "../aussen/nur-lesen");
         },
         "3 +sfv", made(3)},
        {"a source that links to its first fragment, the only copy",
         [](Scene& s) {
             s.put("set/data._001", 2500);
             s.link(s.source = "set/data", "data._001");
         },
         failed("set/data._001", isSplitSource)},
        {"a hard link of the source under a fragment's name",
         [](Scene& s) { s.hardLink("set/a.dat._002", "set/a.dat"); },
         failed("set/a.dat._002", isSplitSource)},
        {"a folder under a fragment's name stops it before anything goes",
         [](Scene& s) {
             earlierSplit(s);
             s.folder("set/a.dat._002");
         },
         failed("set/a.dat._002", notRegular)},
        {"a FIFO likewise", [](Scene& s) { s.fifo("set/a.dat._002"); }, failed("set/a.dat._002", notRegular)},
        {"a source linked from another folder is cut beside the link",
         [](Scene& s) {
             s.put("aussen/quelle.dat", 2500);
             s.link(s.source = "set/q.dat", "../aussen/quelle.dat");
         },
         "3 +sfv",
         {"set/q.dat._001", "set/q.dat._002", "set/q.dat._003", "set/q.dat.sfv"}},
        {"an old script that is a FIFO stays and is not waited on", [](Scene& s) { s.fifo("set/a.bat"); },
         "3 +sfv", made(3)},
        {"a link to this program's script elsewhere stays, and so does the script",
         [](Scene& s) {
             writeOwnScript(s.p("aussen/a.dat"));
             s.link("set/a.bat", "../aussen/a.bat");
         },
         "3 +sfv", made(3)},
        {"nobody in a sticky folder cannot delete root's old fragment, and must not open it",
         [](Scene& s) {
             s.put("set/a.dat._001", 10);
             std::filesystem::permissions(s.p("set"), std::filesystem::perms(01777));
             s.nobody = true;
         },
         failed("set/a.dat._001")},
#endif
    };
    runCases(cases, split);
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
    const auto split = runSplitJob({source, 5 * 1024, false}, {});
    ASSERT_EQ(std::get<SplitResult>(split).bytesWritten, length);
    JoinJobEvents events;
    const std::string target = dir.file("wieder.bin");
    events.chooseTarget = [&](const std::string&) { return std::optional(target); };
    EXPECT_EQ(std::get<JoinResult>(runJoinJob(std::get<SplitResult>(split).fileNames, dir.utf8(), events))
                  .bytesWritten,
              length);
    std::ifstream in(pathOf(target), std::ios::binary);
    for (std::int64_t offset : {marks[0], marks[1], marks[2], marks[3], marks[4], std::int64_t{3} << 30}) {
        std::string data(4, '?');
        in.seekg(offset);
        in.read(data.data(), 4);
        EXPECT_EQ(data, offset == std::int64_t{3} << 30 ? std::string(4, '\0') : "ABCD") << offset;
    }
}

}  // namespace
}  // namespace fragments
