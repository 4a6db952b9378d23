// The file layer's own promises: failures carry the path and the system's code, a new file appears only
// complete and a failed commit leaves nothing, interrupted writes are tried again, a lock is held on the
// file its name leads to, flushes report their failures, and every way of copying gives the same bytes.

#include "fileio/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <tuple>

#include "fileio/error.hpp"
#include "fileio/paths.hpp"
#include "fragments/set_files.hpp"
#include "support/TempDir.hpp"
#include "texts/reasons.hpp"

namespace fileio {
namespace {

using namespace testsupport;
using Names = std::vector<std::string>;

using Failure = std::tuple<FileError::Kind, std::string, std::error_condition>;

// The kind, path and portable code of the FileError `action` throws (a default when it throws none).
Failure failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& error) {
        return {error.kind(), error.path(), error.code().default_error_condition()};
    }
    return {};
}

Failure io(const std::string& path, std::errc error) {
    return {FileError::Kind::Io, path, std::make_error_condition(error)};
}

TEST(FileError, CarriesKindPathAndCodeWithAGermanReason) {
    TempDir dir;
    const std::string missing = dir.file("fehlt.dat");
    const auto notFound = std::make_error_condition(std::errc::no_such_file_or_directory);
    EXPECT_EQ(failureOf([&] { InputFile in(missing); }),
              std::tuple(FileError::Kind::CannotOpen, missing, notFound));
    EXPECT_EQ(failureOf([&] { regularFilesIn(missing); }),
              std::tuple(FileError::Kind::CannotOpen, missing, notFound));
    // The reasons a user meets are German in any locale; the rest keep the system's text.
    const std::error_code other = std::make_error_code(std::errc::bad_address);
    for (const auto& [code, text] : std::vector<std::pair<std::error_code, std::string>>{
             {std::make_error_code(std::errc::no_such_file_or_directory), "Datei oder Ordner nicht gefunden"},
             {std::make_error_code(std::errc::no_space_on_device), "kein Platz mehr auf dem Datenträger"},
             {Errc::NotRegularFile, "keine gewöhnliche Datei"},
             {fragments::Errc::SizeChanged, "die Datei hat sich während des Zusammenfügens geändert"},
             {other, other.message()}}) {
        EXPECT_EQ(texts::utf8::reason(code), text);
    }
}

// The folder listing under the fragment listing: regular files only, names in UTF-8, each with the
// platform's hidden flag (a leading "." on POSIX only).
TEST(RegularFilesIn, RegularFilesWithTheirHiddenFlag) {
    TempDir dir;
    const std::string umlaut = "Pr\u00FCfung.dat._001";
    writeFile(dir.file(umlaut), "x");
    writeFile(dir.file(".Beispiel.dat._001"), "x");
    std::filesystem::create_directory(pathOf(dir.file("ordner._001")));
    std::set<std::pair<std::string, bool>> listed;
    for (const FolderEntry& entry : regularFilesIn(dir.utf8())) {
        listed.emplace(entry.name, entry.hidden);
    }
#ifdef _WIN32
    const bool dotHides = false;
#else
    const bool dotHides = true;
#endif
    EXPECT_EQ(listed,
              (std::set<std::pair<std::string, bool>>{{".Beispiel.dat._001", dotHides}, {umlaut, false}}));
}

// A new file appears under its name only complete, unnamed (nothing at all in the folder) where the system
// can, else under the temporary names it is given, skipping those taken. Without commit, and after a commit
// that failed (a rename refused, a folder put at the name), nothing of it stays and the name is as it was.
TEST(PendingFile, NothingUnderTheNameUntilCommitAndNothingLeftWithout) {
    for (const bool named : {false, true}) {
        testing::forceNamedPendingFiles(named);
        TempDir dir;
        const std::string target = dir.file("ziel");
        writeFile(dir.file(".ziel.0.part"), "belegt");
        const auto write = [&](bool commit) {
            int next = 0;
            PendingFile file(
                target, [&] { return dir.file(".ziel." + std::to_string(next++) + ".part"); }, true);
#ifdef __linux__
            EXPECT_EQ(file.unnamed(), !named);
#endif
            file.file().write("neu", 3);
            Names whileWritten = filesIn(dir.path());
            std::erase(whileWritten, "ziel");
            EXPECT_EQ(whileWritten,
                      file.unnamed() ? Names{".ziel.0.part"} : (Names{".ziel.0.part", ".ziel.1.part"}));
            if (commit) {
                file.commit();
            }
        };
        testing::setOperationFault([&](std::string_view operation, const std::string& path) {
            return operation == "rename" && path == target ? EACCES : 0;
        });
        EXPECT_EQ(failureOf([&] { write(true); }), io(target, std::errc::permission_denied)) << named;
        EXPECT_EQ(filesIn(dir.path()), Names{".ziel.0.part"}) << named;
        testing::setOperationFault({});
        write(true);
        EXPECT_EQ(readFile(target), "neu") << "a new file";
        writeFile(target, "alt");
        write(false);
        EXPECT_EQ(readFile(target), "alt") << "not committed";
        write(true);
        EXPECT_EQ(readFile(target), "neu") << "over an existing file";
        EXPECT_EQ(filesIn(dir.path()), (Names{".ziel.0.part", "ziel"}));
        std::filesystem::remove(pathOf(target));
        std::filesystem::create_directories(pathOf(dir.file("ziel/drin")));
        EXPECT_EQ(std::get<1>(failureOf([&] { write(true); })), target) << "a folder is not replaced";
        EXPECT_EQ(filesIn(dir.path()), Names{".ziel.0.part"}) << named;
        EXPECT_TRUE(std::filesystem::is_directory(pathOf(dir.file("ziel/drin"))));
    }
    testing::forceNamedPendingFiles(false);
}

// A write or kernel copy interrupted by a signal is made again, not dropped nor reported.
TEST(OutputFile, InterruptedWritesAreTriedAgain) {
    TempDir dir;
    const std::string source = dir.file("quelle"), target = dir.file("ziel");
    writeFile(source, patternBytes(100000));
    int calls = 0;
    testing::setWriteFault([&](const std::string&, std::size_t) { return ++calls % 2 == 1 ? EINTR : 0; });
    {
        OutputFile out(target);
        out.write("abc", 3);
        InputFile in(source);
        copyBytes(in, 0, out, in.size());
        out.close();
    }
    testing::setWriteFault({});
    EXPECT_EQ(readFile(target), "abc" + readFile(source));
    EXPECT_GE(calls, 4);
}

#ifndef _WIN32
// The lock is only held on the file its name leads to: when the file opened is removed or replaced before
// its lock is taken, the lock is taken again on the current one. Released, it removes only the file it sits
// on, never one another holder put in its place.
TEST(LockFile, HeldOnTheCurrentFileAndRemovingOnlyItsOwn) {
    TempDir dir;
    const std::string path = dir.file(".x.lock"), other = dir.file("fremd");
    for (const bool replace : {false, true}) {
        bool first = true;
        testing::setStepHook([&](std::string_view step, std::int64_t) {
            if (step == "lock-opened" && std::exchange(first, false)) {
                writeFile(other, "fremd");
                std::filesystem::rename(pathOf(other), pathOf(replace ? path : dir.file("weg")));
                std::filesystem::remove(pathOf(replace ? other : path));
            }
        });
        auto lock = LockFile::tryLock(path);
        testing::setStepHook({});
        ASSERT_TRUE(lock && lock->held());
        EXPECT_FALSE(first);
        EXPECT_FALSE(LockFile::tryLock(path)) << "a second taker finds the current file locked: " << replace;
        lock.reset();
        EXPECT_EQ(entryAt(path).type, EntryType::None) << replace;
    }
    auto lock = LockFile::tryLock(path);
    writeFile(other, "fremd");
    std::filesystem::rename(pathOf(other), pathOf(path));
    lock.reset();
    EXPECT_EQ(readFile(path), "fremd");
    std::filesystem::remove(pathOf(path));
    testing::setOperationFault(
        [](std::string_view operation, const std::string&) { return operation == "lock" ? EIO : 0; });
    EXPECT_EQ(failureOf([&] { LockFile::tryLock(path); }), io(path, std::errc::io_error));
    testing::setOperationFault({});
    EXPECT_EQ(entryAt(path).type, EntryType::None);
}
#endif

// A flush in steps ends, reports a step that fails, and is only made while the name still leads to the
// file it was asked for.
TEST(Flush, StepsToTheEndOnlyForTheSameFile) {
    TempDir dir;
    const std::string path = dir.file("fertig.dat");
    writeFile(path, patternBytes((std::size_t{64} << 20) + 1));
    const auto identity = identityOf(path);
    // Two parts of the data, the rest of the file, the folder: each step that fails is reported.
    for (const int failing : {1, 3, 4, 5}) {
        int steps = 0;
        testing::setOperationFault([&](std::string_view operation, const std::string&) {
            return operation == "flush" && ++steps == failing ? EIO : 0;
        });
        auto flush = Flush::of(path, identity.value());
        const auto failure = failureOf([&] {
            while (flush.value().step()) {
            }
        });
        EXPECT_EQ(failure, failing < 5 ? io(path, std::errc::io_error) : decltype(failure){}) << failing;
        EXPECT_EQ(steps, std::min(failing, 4));
    }
    testing::setOperationFault({});
    writeFile(dir.file("neu.dat"), "neu");
    std::filesystem::rename(pathOf(dir.file("neu.dat")), pathOf(path));
    EXPECT_FALSE(Flush::of(path, *identity));
    std::filesystem::remove(pathOf(path));
    EXPECT_FALSE(Flush::of(path, *identity));
}

// A source with data, a hole and data again, copied in part and then whole into one target on every way
// the layer copies; with an observer it sees every byte it writes in order, holes as zeros it does not read.
TEST(CopyBytes, ExactBytesOnEveryPath) {
    TempDir dir;
    const std::string source = dir.file("quelle"), target = dir.file("kopie");
    writeFile(source, patternBytes(1024 * 1024 + 17));
    std::filesystem::resize_file(pathOf(source), 4u << 20);
    std::ofstream(pathOf(source), std::ios::binary | std::ios::app) << "Daten";
    const std::string all = readFile(source), expected = all.substr(1000, all.size() - 2000) + all;
    bool hole = false;
    const auto check = [&](const char* path, bool observed = false) {
        std::string seen;
        const SeenBytes observe = [&](const void* bytes, std::size_t size) {
            hole = hole || bytes == nullptr;
            seen += bytes ? std::string(static_cast<const char*>(bytes), size) : std::string(size, '\0');
        };
        std::filesystem::remove(pathOf(target));
        InputFile in(source);
        OutputFile out(target);
        copyBytes(in, 1000, out, in.size() - 2000, observed ? observe : SeenBytes{});
        copyBytes(in, 0, out, in.size(), observed ? observe : SeenBytes{});
        out.close();
        EXPECT_EQ(readFile(target), expected) << path;
        EXPECT_EQ(seen, observed ? expected : "") << path;
    };
    // Kernel copies of at most `limit` bytes; the `failAt`-th call fails with `error`.
    const auto limitKernelCopies = [](std::size_t limit, int failAt = 0, int error = 0) {
        testing::setCopyFault([=, calls = 0](std::size_t& size) mutable {
            size = std::min(size, limit);
            return ++calls == failAt ? error : 0;
        });
    };
    check("kernel copy");
    check("observed", true);
#ifdef __linux__
    EXPECT_TRUE(hole) << "the hole is shown, not read";
#endif
    testing::forceReadWriteCopy(true);
    check("read/write copy");
    testing::forceReadWriteCopy(false);
    limitKernelCopies(4099);
    check("short kernel copies");
    for (int error : {ENOSYS, EXDEV, EOPNOTSUPP, EINVAL, EBADF, EPERM, ETXTBSY, EIO}) {
        limitKernelCopies(100, 3, error);
        check("fallback after a kernel copy failed");
    }
    limitKernelCopies(0);
    check("kernel copy returning 0 before the end");
    testing::setCopyFault({});
}

// The longest path the system takes: PATH_MAX less its NUL, in bytes of UTF-8, on POSIX; on Windows
// 32767 less the NUL, in UTF-16 units of the "\\?\" form that the layer gives a long path.
TEST(PathLimit, CountsAsTheSystemDoes) {
#ifdef _WIN32
    const std::string root = "C:\\";
    const std::size_t longest = 32766, prefix = 4;
#else
    const std::string root = "/";
    const std::size_t longest = PATH_MAX - 1, prefix = 0;
#endif
    EXPECT_EQ(longestPath(), longest);
    EXPECT_FALSE(isTooLong(root + std::string(longest - root.size() - prefix, 'a')));
    EXPECT_TRUE(isTooLong(root + std::string(longest - root.size() - prefix + 1, 'a')));
}

}  // namespace
}  // namespace fileio
