// The file layer: whole files, retried writes, locks on the named file, flush failures, exact copies.

#include "fileio/files.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <fstream>

#include "fileio/error.hpp"
#include "fileio/paths.hpp"
#include "fragments/set_files.hpp"
#include "support/TempDir.hpp"
#include "texts/reasons.hpp"

namespace fileio {

using namespace testsupport;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using Failure = std::tuple<FileError::Kind, std::string, std::error_condition>;
// The program is built for Linux and Windows.
constexpr bool onWindows = fs::path::preferred_separator == L'\\';

// The kind, path and portable code of the FileError `action` throws (a default when it throws none).
static Failure failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& error) {
        return {error.kind(), error.path(), error.code().default_error_condition()};
    }
    return {};
}
static Failure io(const std::string& path, std::errc error) {
    return {FileError::Kind::Io, path, std::make_error_condition(error)};
}
// Fails every `operation` with `error`.
static void failOperation(const std::string& operation, int error) {
    testing::setOperationFault([=](auto op, auto&) { return op == operation ? error : 0; });
}

// Failures name kind, path, code and a German reason; the listing gives regular files only, in UTF-8.
TEST(FileError, KindPathCodeAndGermanReasonAndTheListing) {
    TempDir dir;
    const std::string missing = dir.file("fehlt.dat"), umlaut = "Pr\u00FCfung.dat._001";
    const Failure notFound{FileError::Kind::CannotOpen, missing, std::errc::no_such_file_or_directory};
    EXPECT_EQ(failureOf([&] { InputFile in(missing); }), notFound);
    EXPECT_EQ(failureOf([&] { regularFilesIn(missing); }), notFound);
    const std::error_code other = std::make_error_code(std::errc::bad_address);
    for (const auto& [code, text] : std::vector<std::pair<std::error_code, std::string>>{
             {std::make_error_code(std::errc::no_such_file_or_directory), "Datei oder Ordner nicht gefunden"},
             {std::make_error_code(std::errc::no_space_on_device), "kein Platz mehr auf dem Datenträger"},
             {Errc::NotRegularFile, "keine gewöhnliche Datei"},
             {fragments::Errc::SizeChanged, "die Datei hat sich während des Zusammenfügens geändert"},
             {Errc::ChangedWhileRead, "die Datei wurde geändert, während sie gelesen wurde"},
             {other, other.message()}}) {
        EXPECT_EQ(texts::utf8::reason(code), text);
    }
    writeFile(dir.file(umlaut), "x");
    writeFile(dir.file(".Beispiel.dat._001"), "x");
    fs::create_directory(pathOf(dir.file("ordner._001")));
    std::set<std::pair<std::string, bool>> listed;
    for (const FolderEntry& entry : regularFilesIn(dir.utf8())) {
        listed.emplace(entry.name, entry.hidden);
    }
    EXPECT_EQ(listed, (decltype(listed){{".Beispiel.dat._001", !onWindows}, {umlaut, false}}));
}

// A new file appears only complete; uncommitted or after a failed commit, nothing of it stays.
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
            file.file().write("neu", 3);
            Names whileWritten = filesIn(dir.path());
            std::erase(whileWritten, "ziel");
            EXPECT_EQ(whileWritten,
                      (named || onWindows ? Names{".ziel.0.part", ".ziel.1.part"} : Names{".ziel.0.part"}));
            if (commit) {
                file.commit();
            }
        };
        failOperation("rename", EACCES);
        EXPECT_EQ(failureOf([&] { write(true); }), io(target, std::errc::permission_denied)) << named;
        EXPECT_EQ(filesIn(dir.path()), Names{".ziel.0.part"}) << named;
        testing::setOperationFault({});
        for (const auto& [commit, content] : {std::pair{true, "neu"}, {false, "alt"}, {true, "neu"}}) {
            write(commit);
            EXPECT_EQ(readFile(target), content) << "a new file, not committed, over an existing file";
            writeFile(target, "alt");
        }
        fs::remove(pathOf(target));  // a folder is not replaced
        fs::create_directories(pathOf(dir.file("ziel/drin")));
        EXPECT_EQ(std::get<1>(failureOf([&] { write(true); })), target);
        EXPECT_EQ(filesIn(dir.path()), Names{".ziel.0.part"}) << named;
    }
    testing::forceNamedPendingFiles(false);
}

#ifndef _WIN32
// The lock sits on the file its name leads to (retaken if replaced); released, it removes only its own.
// While a window's piece hook is set, a large file is freed on a thread of its own: removed, or replaced by a
// commit, whose failure still reaches the caller.
TEST(PieceHook, LargeFilesRemovedAndReplacedOnTheSide) {
    TempDir dir;
    const std::string big = dir.file("gross"), target = dir.file("ziel");
    for (const auto& path : {big, target}) {
        writeFile(path, "alt");
        fs::resize_file(pathOf(path), 64u << 20);
    }
    const PieceHook turns([] {});
    removeFile(big);
    EXPECT_FALSE(fileio::fileExists(big));
    for (const int fault : {EIO, 0}) {
        testing::setOperationFault(
            [fault](auto operation, auto&) { return operation == "rename" ? fault : 0; });
        PendingFile file(
            target, [&] { return dir.file(".ziel.part"); }, false);
        file.file().write("neu", 3);
        std::string failedAt;
        try {
            file.commit();
        } catch (const FileError& error) {
            failedAt = error.path();
        }
        EXPECT_EQ(failedAt, fault ? target : "") << fault;
    }
    testing::setOperationFault({});
    EXPECT_EQ(readFile(target), "neu");
    EXPECT_EQ(filesIn(dir.path()), Names{"ziel"});
}

TEST(LockFile, HeldOnTheCurrentFileAndRemovingOnlyItsOwn) {
    TempDir dir;
    const std::string path = dir.file(".x.lock"), other = dir.file("fremd");
    for (const bool replace : {false, true}) {
        bool first = true;
        testing::setStepHook([&](std::string_view step, std::int64_t) {
            if (step == "lock-opened" && std::exchange(first, false)) {
                writeFile(other, "fremd");
                fs::rename(pathOf(other), pathOf(replace ? path : dir.file("weg")));
                fs::remove(pathOf(replace ? other : path));
            }
        });
        auto lock = LockFile::tryLock(path);
        testing::setStepHook({});
        ASSERT_TRUE(lock && lock->held() && !first);
        EXPECT_FALSE(LockFile::tryLock(path)) << "a second taker finds the current file locked: " << replace;
        lock.reset();
        EXPECT_EQ(entryAt(path).type, EntryType::None) << replace;
    }
    auto lock = LockFile::tryLock(path);
    writeFile(other, "fremd");
    fs::rename(pathOf(other), pathOf(path));
    lock.reset();
    EXPECT_EQ(readFile(path), "fremd");
    fs::remove(pathOf(path));
    failOperation("lock", EIO);
    EXPECT_EQ(failureOf([&] { LockFile::tryLock(path); }), io(path, std::errc::io_error));
    testing::setOperationFault({});
    EXPECT_EQ(entryAt(path).type, EntryType::None);
}
#endif

// A flush in steps reports a failing step, and runs only while the name leads to the same file.
TEST(Flush, StepsToTheEndOnlyForTheSameFile) {
    TempDir dir;
    const std::string path = dir.file("fertig.dat");
    writeFile(path, patternBytes((std::size_t{64} << 20) + 1));
    const auto identity = identityOf(path);
    for (const int failing : {1, 3, 4, 5}) {
        int steps = 0;
        testing::setOperationFault(
            [&](auto op, auto&) { return op == "flush" && ++steps == failing ? EIO : 0; });
        auto flush = Flush::of(path, identity.value());
        const Failure failure = failureOf([&] {
            while (flush.value().step()) {
            }
        });
        EXPECT_EQ(failure, failing < 5 ? io(path, std::errc::io_error) : Failure{}) << failing;
        EXPECT_EQ(steps, std::min(failing, 4));
    }
    testing::setOperationFault({});
    writeFile(dir.file("neu.dat"), "neu");
    fs::rename(pathOf(dir.file("neu.dat")), pathOf(path));
    EXPECT_FALSE(Flush::of(path, *identity));
    fs::remove(pathOf(path));
    EXPECT_FALSE(Flush::of(path, *identity));
}

// Data, a hole, data: copied on every path, interrupted too; the observer sees every byte in order.
TEST(CopyBytes, ExactBytesOnEveryPathEvenInterrupted) {
    TempDir dir;
    const std::string source = dir.file("quelle"), target = dir.file("kopie");
    writeFile(source, patternBytes(1024 * 1024 + 17));
    fs::resize_file(pathOf(source), 4u << 20);
    std::ofstream(pathOf(source), std::ios::binary | std::ios::app) << "Daten";
    const std::string all = readFile(source), expected = "abc" + all.substr(1000, all.size() - 2000) + all;
    bool hole = false;
    int interrupted = 0;
    // Kernel copies of at most `limit` bytes (0: none); the `failAt`-th call fails with `error`.
    const auto check = [&](const char* path, std::size_t limit = SIZE_MAX, int failAt = 0, int error = 0,
                           bool observed = false) {
        testing::setCopyFault([=, calls = 0](std::size_t& size) mutable {
            size = std::min(size, limit);
            return ++calls == failAt ? error : 0;
        });
        std::string seen = observed ? "abc" : "";
        const SeenBytes observe = [&](const void* bytes, std::size_t size) {
            hole = hole || bytes == nullptr;
            seen += bytes ? std::string(static_cast<const char*>(bytes), size) : std::string(size, '\0');
        };
        fs::remove(pathOf(target));
        InputFile in(source);
        OutputFile out(target);
        out.write("abc", 3);
        copyBytes(in, 1000, out, in.size() - 2000, observed ? observe : SeenBytes{});
        copyBytes(in, 0, out, in.size(), observed ? observe : SeenBytes{});
        out.close();
        EXPECT_EQ(readFile(target), expected) << path;
        EXPECT_EQ(seen, observed ? expected : "") << path;
    };
    testing::setWriteFault([&](const std::string&, std::size_t) { return ++interrupted % 2 ? EINTR : 0; });
    check("interrupted kernel copy");
    testing::forceReadWriteCopy(true);
    check("interrupted read/write copy, observed", SIZE_MAX, 0, 0, true);
    testing::setWriteFault({});
    testing::forceReadWriteCopy(false);
    EXPECT_GE(interrupted, 8);
    EXPECT_TRUE(hole || onWindows) << "the hole is shown, not read";
    // Each piece turns the thread's piece hook (a window's event loop), the innermost one only.
    int pieces = 0, outer = 0;
    {
        const PieceHook counting([&outer] { ++outer; });
        {
            const PieceHook inner([&pieces] { ++pieces; });
            check("short kernel copies", 4099);
        }
        pieceDone();
    }
    pieceDone();
    EXPECT_GE(pieces, onWindows ? 8 : 500);
    EXPECT_EQ(outer, 1);
    for (int error : {ENOSYS, EXDEV, EOPNOTSUPP, EINVAL, EBADF, EPERM, ETXTBSY, EIO}) {
        check("fallback after a kernel copy failed", 100, 3, error);
    }
    check("kernel copy returning 0 before the end", 0);
    testing::setCopyFault({});
}

// Shared blocks where the file system has them (scripts/cow-tests.sh runs this on btrfs and XFS): aligned
// ranges only, their bytes read once for the observer, and a write to the source meanwhile is refused.
TEST(CloneBytes, SharedWhereAlignedAndAChangeMeanwhileRefused) {
    TempDir dir;
    const std::string source = dir.file("quelle"), target = dir.file("kopie");
    writeFile(source, patternBytes(1 << 20));
    const std::string all = readFile(source);
    InputFile in(source);
    OutputFile out(target);
    if (!cloneBytes(in, 0, out, 65536)) {
        GTEST_SKIP() << "no shared blocks on this file system";
    }
    failOperation("clone", ENOSPC);
    EXPECT_EQ(failureOf([&] { cloneBytes(in, 0, out, 4096); }), io(target, std::errc::no_space_on_device));
    testing::setOperationFault({});
    EXPECT_FALSE(cloneBytes(in, 1, out, 4096));  // off the block size; the next one is cloned again
    std::string seen;
    EXPECT_TRUE(cloneBytes(in, 65536, out, in.size() - 65536, [&](const void* bytes, std::size_t size) {
        seen.append(static_cast<const char*>(bytes), size);
    }));
    EXPECT_EQ(seen, all.substr(65536));
    // A write to the source just before its clone, or while its bytes are read, is refused.
    for (const bool whileRead : {false, true}) {
        const auto write = [&] {
            std::ofstream(pathOf(source), std::ios::in | std::ios::out | std::ios::binary) << "x";
        };
        testing::setOperationFault(
            [&](auto op, auto&) { return op == "clone" && !whileRead ? (write(), 0) : 0; });
        EXPECT_EQ(failureOf([&] {
                      cloneBytes(in, 0, out, 4096,
                                 [&](const void*, std::size_t) { whileRead ? write() : void(); });
                  }),
                  Failure(FileError::Kind::Io, source,
                          make_error_code(Errc::ChangedWhileRead).default_error_condition()));
    }
    failOperation("clone", EOPNOTSUPP);
    EXPECT_FALSE(cloneBytes(in, 0, out, 4096));
    testing::setOperationFault({});
    out.close();
    EXPECT_EQ(readFile(target), all + "x" + all.substr(1, 4095) + "x" + all.substr(1, 4095));
}

// The longest path: PATH_MAX less the NUL in UTF-8 bytes; on Windows 32767 less the NUL, in UTF-16 units.
TEST(PathLimit, CountsAsTheSystemDoes) {
    const std::string root = onWindows ? "C:\\" : "/";
    const std::size_t longest = onWindows ? 32766 : PATH_MAX - 1,
                      free = longest - root.size() - (onWindows ? 4 : 0);
    EXPECT_EQ(longestPath(), longest);
    EXPECT_FALSE(isTooLong(root + std::string(free, 'a')));
    EXPECT_TRUE(isTooLong(root + std::string(free + 1, 'a')));
}

}  // namespace fileio
