// The file layer's own promises: owned files are closed exactly once on every way out, and its
// failures carry the path and the system's code and can be caught as std::system_error.

#include "fileio/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <tuple>

#include "fileio/error.hpp"
#include "fileio/paths.hpp"
#include "support/TempDir.hpp"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#endif

namespace fileio {
namespace {

using namespace testsupport;
using Handle = Descriptor::Handle;

// The kind, path and portable code of the FileError `action` throws (a default when it throws none).
std::tuple<FileError::Kind, std::string, std::error_condition> failureOf(
    const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& error) {
        return {error.kind(), error.path(), error.code().default_error_condition()};
    }
    return {};
}

// A raw handle to `path`; whether this process holds `path` open.
#ifdef _WIN32
Handle openRaw(const std::string& path) {
    return reinterpret_cast<Handle>(::CreateFileW(pathOf(path).c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}
// An open handle to the file refuses an open that shares nothing.
bool heldOpen(const std::string& path) {
    const HANDLE probe = ::CreateFileW(pathOf(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    }
    ::CloseHandle(probe);
    return false;
}
#else
Handle openRaw(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY);
}
bool heldOpen(const std::string& path) {
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(fd.path(), ignored) == path) {
            return true;
        }
    }
    return false;
}
#endif

TEST(Descriptor, ClosesOnEveryWayOutAndNeverTwice) {
    TempDir dir;
    const std::string a = dir.file("a.bin"), b = dir.file("b.bin"), c = dir.file("c.bin"),
                      d = dir.file("d.bin");
    writeFile(a, "abc");
    writeFile(d, "def");
    EXPECT_THROW(InputFile{dir.utf8()}, FileError) << "a folder is opened, then refused";
    EXPECT_FALSE(heldOpen(dir.utf8()));
    EXPECT_THROW(
        {
            InputFile in(a);
            OutputFile out(b);
            throw std::runtime_error("unwinding");
        },
        std::runtime_error);
    EXPECT_FALSE(heldOpen(a));
    EXPECT_FALSE(heldOpen(b));
    {
        Descriptor first(openRaw(a));
        Descriptor second(std::move(first));
        EXPECT_FALSE(first.isOpen());  // NOLINT(bugprone-use-after-move): moved-from is empty
        second = Descriptor(openRaw(d));
        EXPECT_FALSE(heldOpen(a)) << "the assigned-over file is closed";
        EXPECT_TRUE(heldOpen(d));
        EXPECT_FALSE(second.close());
        // The number just freed goes to the next file opened: a second close would close that one.
        const Descriptor other(openRaw(a));
        EXPECT_FALSE(second.close());
        OutputFile out(c);
        out.close();
        out.close();
        EXPECT_TRUE(heldOpen(a));
    }
    for (const auto& path : {a, b, c, d}) {
        EXPECT_FALSE(heldOpen(path)) << path;
    }
}

TEST(FileError, CarriesKindPathAndCodeAndIsASystemError) {
    TempDir dir;
    const std::string missing = dir.file("fehlt.dat"), folder = dir.file("ordner");
    try {
        InputFile in(missing);
        FAIL() << "no failure";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(std::string(error.what()), missing + ": " + error.code().message());
        const auto* file = dynamic_cast<const FileError*>(&error);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(std::tuple(file->kind(), file->path(), file->reason()),
                  std::tuple(FileError::Kind::CannotOpen, missing,
                             std::string("Datei oder Ordner nicht gefunden")));
    }
    // The reasons a user meets are German in any locale; the rest keep the system's text.
    const auto reason = [](std::error_code code) {
        return FileError(FileError::Kind::Io, "x", code).reason();
    };
    EXPECT_EQ(reason(std::make_error_code(std::errc::no_space_on_device)),
              "kein Platz mehr auf dem Datenträger");
    EXPECT_EQ(reason(std::make_error_code(std::errc::bad_address)),
              std::make_error_code(std::errc::bad_address).message());
    // A file moved onto a folder: the failure names the target.
    std::filesystem::create_directory(pathOf(folder));
    writeFile(dir.file("a.bin"), "abc");
#ifdef _WIN32
    const auto onFolder = std::make_error_condition(std::errc::permission_denied);
#else
    const auto onFolder = std::make_error_condition(std::errc::is_a_directory);
#endif
    EXPECT_EQ(failureOf([&] { renameReplacing(dir.file("a.bin"), folder); }),
              std::tuple(FileError::Kind::Io, folder, onFolder));
    // An unreadable folder is a failure naming it.
    EXPECT_EQ(failureOf([&] { regularFilesIn(missing); }),
              std::tuple(FileError::Kind::CannotOpen, missing,
                         std::make_error_condition(std::errc::no_such_file_or_directory)));
}

// The folder listing under the fragment listing: regular files only, names in UTF-8, each with the
// platform's hidden flag (a leading "." on POSIX only).
TEST(RegularFilesIn, RegularFilesWithTheirHiddenFlag) {
    TempDir dir;
    const std::string umlaut =
        "Pr\xC3\xBC"
        "fung.dat._001";
    writeFile(dir.file(umlaut), "x");
    writeFile(dir.file(".Beispiel.dat._001"), "x");
    std::filesystem::create_directory(pathOf(dir.file("ordner._001")));
    std::vector<std::pair<std::string, bool>> listed;
    for (const FolderEntry& entry : regularFilesIn(dir.utf8())) {
        listed.emplace_back(entry.name, entry.hidden);
    }
    std::sort(listed.begin(), listed.end());
#ifdef _WIN32
    const bool dotHides = false;
#else
    const bool dotHides = true;
#endif
    EXPECT_EQ(listed,
              (std::vector<std::pair<std::string, bool>>{{".Beispiel.dat._001", dotHides}, {umlaut, false}}));
}

// A new file appears under its name only complete, unnamed (nothing at all in the folder) where the system
// can, else under the temporary names it is given, skipping those taken; without commit nothing stays.
TEST(PendingFile, NothingUnderTheNameUntilCommitAndNothingLeftWithout) {
    using Names = std::vector<std::string>;
    for (const bool named : {false, true}) {
        testing::forceNamedPendingFiles(named);
        TempDir dir;
        const std::string target = dir.file("ziel");
        writeFile(dir.file(".ziel.0.part"), "belegt");
        int next = 0;
        const auto temporaryName = [&] { return dir.file(".ziel." + std::to_string(next++) + ".part"); };
        const auto write = [&](bool commit) {
            next = 0;
            PendingFile file(target, temporaryName, true);
#ifdef __linux__
            EXPECT_EQ(file.unnamed(), !named);
#endif
            file.file().write("neu", 3);
            Names whileWritten = filesIn(dir.path());
            std::erase(whileWritten, "ziel");
            const Names expected =
                file.unnamed() ? Names{".ziel.0.part"} : Names{".ziel.0.part", ".ziel.1.part"};
            EXPECT_EQ(whileWritten, expected);
            if (commit) {
                file.commit();
            }
        };
        write(true);
        EXPECT_EQ(readFile(target), "neu") << "a new file";
        writeFile(target, "alt");
        write(false);
        EXPECT_EQ(readFile(target), "alt") << "not committed";
        write(true);
        EXPECT_EQ(readFile(target), "neu") << "over an existing file";
        EXPECT_EQ(filesIn(dir.path()), (Names{".ziel.0.part", "ziel"}));
        EXPECT_EQ(readFile(dir.file(".ziel.0.part")), "belegt");
    }
    testing::forceNamedPendingFiles(false);
}

// A flush in steps ends, and is only made while the name still leads to the file it was asked for.
TEST(Flush, StepsToTheEndOnlyForTheSameFile) {
    TempDir dir;
    const std::string path = dir.file("fertig.dat");
    writeFile(path, patternBytes((std::size_t{64} << 20) + 1));
    const auto identity = identityOf(path);
    ASSERT_TRUE(identity);
    auto flush = Flush::of(path, *identity);
    ASSERT_TRUE(flush);
    int steps = 1;
    while (flush->step()) {
        ++steps;
    }
    EXPECT_EQ(steps, 4) << "two parts of the data, the rest of the file, the folder";
    EXPECT_FALSE(flush->step());

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
    EXPECT_EQ(longestPath(), 32766u);
    const std::size_t room = longestPath() - root.size() - 4;
#else
    const std::string root = "/";
    EXPECT_EQ(longestPath(), static_cast<std::size_t>(PATH_MAX - 1));
    const std::size_t room = longestPath() - root.size();
#endif
    EXPECT_FALSE(isTooLong(root + std::string(room, 'a')));
    EXPECT_TRUE(isTooLong(root + std::string(room + 1, 'a')));
}

}  // namespace
}  // namespace fileio
