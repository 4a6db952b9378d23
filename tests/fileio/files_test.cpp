// The file layer's own promises: owned files are closed exactly once on every way out, and its
// failures carry the path and the system's code and can be caught as std::system_error.

#include "fileio/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

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

#ifdef _WIN32

Handle openRaw(const std::string& path) {
    return reinterpret_cast<Handle>(::CreateFileW(pathOf(path).c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

void closeRaw(Handle handle) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool stillOpen(Handle handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(reinterpret_cast<HANDLE>(handle), &flags) != 0;
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

void closeRaw(Handle handle) {
    ::close(static_cast<int>(handle));
}

bool stillOpen(Handle handle) {
    return ::fcntl(static_cast<int>(handle), F_GETFD) != -1;
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
        const Handle other = openRaw(a);
        EXPECT_FALSE(second.close());
        OutputFile out(c);
        out.close();
        out.close();
        EXPECT_TRUE(stillOpen(other));
        closeRaw(other);
    }
    for (const auto& path : {a, b, c, d}) {
        EXPECT_FALSE(heldOpen(path)) << path;
    }
}

TEST(FileError, CarriesKindPathAndCodeAndIsASystemError) {
    TempDir dir;
    const std::string missing = dir.file("fehlt.dat");
    try {
        InputFile in(missing);
        FAIL() << "no failure";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(std::string(error.what()), missing + ": " + error.code().message());
        const auto* file = dynamic_cast<const FileError*>(&error);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->kind(), FileError::Kind::CannotOpen);
        EXPECT_EQ(file->path(), missing);
        EXPECT_EQ(file->reason(), "Datei oder Ordner nicht gefunden");
    }
    // The reasons a user meets are German in any locale; the rest keep the system's text.
    const auto reason = [](std::error_code code) {
        return FileError(FileError::Kind::Io, "x", code).reason();
    };
    EXPECT_EQ(reason(std::make_error_code(std::errc::no_space_on_device)),
              "kein Platz mehr auf dem Datenträger");
    EXPECT_EQ(reason(std::make_error_code(std::errc::bad_address)),
              std::make_error_code(std::errc::bad_address).message());
    const std::string folder = dir.file("ordner");
    std::filesystem::create_directory(pathOf(folder));
    writeFile(dir.file("a.bin"), "abc");
    try {
        renameReplacing(dir.file("a.bin"), folder);
        FAIL() << "a file moved onto a folder";
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::Io);
        EXPECT_EQ(error.path(), folder) << "the failure names the target";
#ifdef _WIN32
        EXPECT_EQ(error.code(), std::errc::permission_denied);
#else
        EXPECT_EQ(error.code(), std::errc::is_a_directory);
#endif
    }
}

// The folder listing under the fragment listing: regular files only, names in UTF-8, each with the
// platform's hidden flag (a leading "." on POSIX only); an unreadable folder is a failure naming it.
TEST(RegularFilesIn, RegularFilesWithTheirHiddenFlag) {
    TempDir dir;
    const std::string umlaut =
        "Pr\xC3\xBC"
        "fung.dat._001";
    writeFile(dir.file(umlaut), "x");
    writeFile(dir.file(".Beispiel.dat._001"), "x");
    std::filesystem::create_directory(pathOf(dir.file("ordner._001")));
    auto entries = regularFilesIn(dir.utf8());
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, ".Beispiel.dat._001");
#ifdef _WIN32
    EXPECT_FALSE(entries[0].hidden);
#else
    EXPECT_TRUE(entries[0].hidden);
#endif
    EXPECT_EQ(entries[1].name, umlaut);
    EXPECT_FALSE(entries[1].hidden);

    const std::string missing = dir.file("fehlt");
    try {
        regularFilesIn(missing);
        FAIL() << "a missing folder listed";
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::CannotOpen);
        EXPECT_EQ(error.path(), missing);
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
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

// What a copy shows is what it writes, holes as runs of zeros it does not read.
TEST(CopyBytes, ShowsEveryByteItCopiesInOrder) {
    TempDir dir;
    const std::string source = dir.file("quelle");
    const auto data = patternBytes(300000, 3);
    writeFile(source, data);
    std::filesystem::resize_file(pathOf(source), 5u << 20);
    { std::ofstream(pathOf(source), std::ios::binary | std::ios::app) << "Ende"; }
    std::string seen;
    bool hole = false;
    {
        InputFile in(source);
        OutputFile out(dir.file("kopie"));
        copyBytes(in, 7, out, in.size() - 7, [&](const void* bytes, std::size_t size) {
            hole = hole || bytes == nullptr;
            seen += bytes ? std::string(static_cast<const char*>(bytes), size) : std::string(size, '\0');
        });
        out.close();
    }
    const std::string all = readFile(source);
    EXPECT_EQ(seen, all.substr(7));
    EXPECT_EQ(readFile(dir.file("kopie")), all.substr(7));
#ifdef __linux__
    EXPECT_TRUE(hole) << "the hole is shown, not read";
#endif
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
