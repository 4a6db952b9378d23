// What only Windows has, on the Windows build itself (run under Wine here): names in UTF-16 beyond
// the ANSI code page, drive letters and backslashes, the read-only, hidden and system attributes,
// files above 4 GiB made sparse, and paths longer than MAX_PATH characters.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <random>

#include "core_test_support.hpp"
#include "fileio/paths.hpp"
#include "fragments/join.hpp"
#include "fragments/listing.hpp"
#include "fragments/set_files.hpp"
#include "fragments/split.hpp"
#include "texts/reasons.hpp"

namespace fragments {
namespace {

using namespace testsupport;
using Kind = fileio::FileError::Kind;

const std::string ue = "\xC3\xBC";  // ü

void expectFileError(const std::function<void()>& action, Kind kind, const std::string& path) {
    EXPECT_EQ(outcomeOf([&] {
                  action();
                  return std::string();
              }),
              failed(path, {}, kind == Kind::CannotOpen));
}

std::wstring wide(const std::string& utf8) {
    return pathOf(utf8).wstring();
}

DWORD attributesOf(const std::string& path) {
    return ::GetFileAttributesW(wide(path).c_str());
}

void setAttributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(wide(path).c_str(), attributes)) << path;
}

// Writes `bytes` to the new file `path` through the program's own file layer (which takes long paths).
void writeNew(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    fileio::OutputFile out(path);
    out.write(bytes.data(), bytes.size());
    out.close();
}

// Splits `source` into fragments of 1 KiB beside it, lists the set in `folder` and joins it into
// `target`; returns the listed names.
Names splitListAndJoin(const std::string& source, const std::string& folder, const std::string& target) {
    const SplitPlan plan = planSplit(fileio::fileSize(source), 1024);
    splitFile(source, plan, {}, nativeSeparator);
    const FragmentSet set =
        collectFragmentSet(listFragmentCandidates(folder), folder, source, nativeSeparator);
    JoinOutput output(target);
    for (const auto& name : set.names) {
        const std::string path = withTrailingSeparator(folder) + name;
        output.append(path, fileio::fileSize(path));
    }
    output.commit();
    return set.names;
}

// The names reach the disk as UTF-16, whole: "ü" is in the ANSI code page, "Ω" and the emoji (a
// surrogate pair) are not. Every byte comes back and the checksums agree.
TEST(WindowsNames, UmlautsAndCharactersBeyondTheAnsiCodePage) {
    for (const std::string& name :
         {"Pr" + ue + "fung.dat", std::string("\xCE\xA9mega \xF0\x9F\x98\x80.dat")}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string source = dir.file(name), target = dir.file("neu " + name);
        const auto bytes = patternBytes(2500, 5);
        writeNew(source, bytes);
        EXPECT_NE(::GetFileAttributesW((dir.path().wstring() + L"\\" + wide(name)).c_str()),
                  INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(splitListAndJoin(source, dir.utf8(), target),
                  (Names{name + "._001", name + "._002", name + "._003"}));
        EXPECT_EQ(readFile(target), std::string(bytes.begin(), bytes.end()));
        Names expected{name, name + "._001", name + "._002", name + "._003", "neu " + name};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(filesIn(dir.path()), expected);
        EXPECT_EQ(fileCrc(target), fileCrc(source));
    }
}

// The system's reasons are handed on as UTF-8, not in the ANSI code page.
TEST(WindowsNames, ReasonsAreUtf8) {
    for (const DWORD code : {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        const std::error_code error(static_cast<int>(code), std::system_category());
        const std::string reason = texts::utf8::reason(error);
        const int size = static_cast<int>(reason.size());
        EXPECT_NE(::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reason.data(), size, nullptr, 0), 0)
            << code << ": " << reason;
        if (PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_GERMAN && code == ERROR_DISK_FULL) {
            EXPECT_NE(reason.find("Datentr\xC3\xA4ger"), std::string::npos) << reason;
        }
    }
}

// Only "\" separates; a fragment of C:\Daten\Beispiel.dat lies beside it, and a file in the root of a
// drive has the bare drive as its folder.
TEST(WindowsPaths, BackslashAndDriveLetterForms) {
    EXPECT_EQ(nativeSeparator, '\\');
    EXPECT_EQ(Nurdatei("C:/Daten/x.y"), "C:/Daten/x.y");
    EXPECT_EQ(withTrailingSeparator("C:\\"), "C:\\");
    EXPECT_TRUE(isFragmentOf("Beispiel.dat._002", "C:\\Daten\\Beispiel.dat._001"));
    EXPECT_TRUE(isFragmentOf("Beispiel.dat._002", "C:\\Beispiel.dat"));

    // The root of the drive that holds the temporary folder.
    const std::string root = utf8Of(TempDir().path().root_path());
    ASSERT_EQ(root.size(), 3u) << root;
    ASSERT_EQ(root.substr(1), ":\\");
    const std::string base = "Dodiveverazed-" + std::to_string(std::random_device{}());
    const std::string source = root + base + ".dat", target = root + base + " neu.dat";
    const auto bytes = patternBytes(2100, 9);
    try {
        writeFile(source, bytes);
    } catch (const std::exception&) {
        GTEST_SKIP() << "the root of " << root << " is not writable here";
    }
    const Names names = splitListAndJoin(source, root, target);
    EXPECT_EQ(names, (Names{base + ".dat._001", base + ".dat._002", base + ".dat._003"}));
    EXPECT_EQ(fragmentName(source, 2), root + names[1]);
    EXPECT_EQ(readFile(target), std::string(bytes.begin(), bytes.end()));
    for (const auto& name : names) {
        fileio::removeFile(root + name);
    }
    fileio::removeFile(source);
    fileio::removeFile(target);
    EXPECT_FALSE(fileio::fileExists(source));
}

// Windows refuses to delete or replace a read-only file; the deletion of fragments and the join reset
// it first, clearing hidden and system too, while the split's removal of old fragments does not.
// Reading needs no reset.
TEST(WindowsAttributes, ReadOnlyIsResetBeforeDeletionAndBeforeReplacingATarget) {
    TempDir dir;
    const std::string locked = dir.file("Beispiel.dat._001");
    writeFile(locked, "alt");
    setAttributes(locked, FILE_ATTRIBUTE_READONLY);
    expectFileError([&] { fileio::removeFile(locked); }, Kind::Io, locked);
    expectFileError(
        [&] { deleteOldFragments({"Beispiel.dat._001"}, dir.utf8(), dir.file("Beispiel.dat"), '\\'); },
        Kind::Io, locked);
    EXPECT_TRUE(fileio::fileExists(locked));
    fileio::removeFile(locked, true);
    EXPECT_FALSE(fileio::fileExists(locked));

    const std::string other = dir.file("Beispiel.dat._002");
    writeFile(other, "x");
    setAttributes(other, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const std::string target = dir.file("Ziel.dat");
    writeFile(target, "alt");
    setAttributes(target, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    JoinOutput output(target);
    output.append(other, 1);
    output.commit();
    EXPECT_EQ(readFile(target), "x");
    EXPECT_EQ(attributesOf(target) & FILE_ATTRIBUTE_READONLY, 0u);
    deleteFragmentSet({"Beispiel.dat._002"}, dir.utf8());
    EXPECT_FALSE(fileio::fileExists(other));
}

// One holder of a set's lock at a time (a second handle is refused even in the same process), its
// file gone with the last; a link among the fragments is deleted itself, its read-only target stays.
TEST(WindowsLinks, OneLockHolderPerSetAndALinkGoesItself) {
    TempDir dir;
    {
        const auto first = SetLock::forSource(dir.file("x.dat"));
        ASSERT_TRUE(first);
        EXPECT_FALSE(SetLock::forSource(dir.file("x.dat")));
        EXPECT_FALSE(SetLock::forList({"x.dat._001"}, dir.utf8()));
        EXPECT_TRUE(SetLock::forSource(dir.file("y.dat")));
    }
    EXPECT_TRUE(SetLock::forSource(dir.file("x.dat")));
    EXPECT_EQ(fileio::entryAt(dir.file(".x.dat.lock")).type, fileio::EntryType::None);

    const std::string target = dir.file("nur-lesen.bin"), link = dir.file("x.dat._001");
    writeFile(target, "alt");
    setAttributes(target, FILE_ATTRIBUTE_READONLY);
    // 2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, for a system in developer mode.
    // Wine reports success and makes no link.
    if (!::CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), 2) ||
        attributesOf(link) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no symbolic links here";
    }
    EXPECT_EQ(fileio::entryAt(link).type, fileio::EntryType::Link);
    deleteFragmentSet({"x.dat._001"}, dir.utf8());
    EXPECT_EQ(fileio::entryAt(link).type, fileio::EntryType::None);
    EXPECT_EQ(readFile(target), "alt");
    EXPECT_NE(attributesOf(target) & FILE_ATTRIBUTE_READONLY, 0u);
}

// Hidden and system files are left out of the listing; read-only and archived ones stay in.
TEST(WindowsAttributes, HiddenAndSystemFilesAreNotListed) {
    TempDir dir;
    const std::pair<const char*, DWORD> files[] = {
        {"Beispiel.dat._001", FILE_ATTRIBUTE_NORMAL},
        {"Beispiel.dat._002", FILE_ATTRIBUTE_HIDDEN},
        {"Beispiel.dat._003", FILE_ATTRIBUTE_SYSTEM},
        {"Beispiel.dat._004", FILE_ATTRIBUTE_READONLY},
        {"Beispiel.dat._005", FILE_ATTRIBUTE_ARCHIVE},
        {"Beispiel.dat._006", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
        {".Beispiel.dat._007", FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const auto& [name, attributes] : files) {
        writeFile(dir.file(name), "x");
        setAttributes(dir.file(name), attributes);
    }
    EXPECT_EQ(listFragmentCandidates(dir.utf8()),
              (Names{".Beispiel.dat._007", "Beispiel.dat._001", "Beispiel.dat._004", "Beispiel.dat._005"}));
}

// A sparse file beyond 4 GiB: lengths and read offsets above 32 bits, and the listing's total. (Copying
// and writing beyond 4 GiB is the split and join test of large files, which runs here too.)
TEST(WindowsLargeFiles, SparseFileAboveFourGibibytes) {
    TempDir dir;
    const std::string path = dir.file("gross.dat._001");
    const std::int64_t four = std::int64_t{1} << 32, length = four + 3 * 1024 * 1024 + 7;
    {
        const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD returned = 0;
        const bool sparse =
            ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
        LARGE_INTEGER end{};
        end.QuadPart = length;
        const bool sized = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
        for (const std::int64_t offset : {four - 2, four + 1024 * 1024}) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD put = 0;
            ASSERT_TRUE(::WriteFile(file, "ABCD", 4, &put, &at) && put == 4);
        }
        ::CloseHandle(file);
        if (!sparse || !sized) {
            GTEST_SKIP() << "this file system cannot make a sparse file of " << length << " bytes";
        }
    }
    writeFile(dir.file("gross.dat._002"), "12345");

    EXPECT_EQ(fileio::fileSize(path), length);
    fileio::InputFile in(path);
    EXPECT_EQ(in.size(), length);
    std::string data(8, '?');
    ASSERT_EQ(in.readAt(data.data(), 8, four - 4), 8u);
    EXPECT_EQ(data, std::string("\0\0ABCD\0\0", 8));
    ASSERT_EQ(in.readAt(data.data(), 8, length - 4), 4u) << "a read stops at the end";
    EXPECT_EQ(in.readAt(data.data(), 8, length), 0u);

    const FragmentSet set =
        collectFragmentSet(listFragmentCandidates(dir.utf8()), dir.utf8(), dir.file("gross.dat"), '\\');
    EXPECT_EQ(set.names, (Names{"gross.dat._001", "gross.dat._002"}));
    EXPECT_EQ(set.totalBytes, length + 5);
}

// A folder whose path is longer than MAX_PATH: every file operation works in it, with "/" and ".."
// in the path too (the long form takes neither, so they must be resolved first).
TEST(WindowsPaths, LongerThanMaxPath) {
    TempDir dir;
    std::string folder = dir.utf8();
    while (folder.size() < 300) {
        folder += "\\Ordner mit einem recht langen Namen " + std::to_string(folder.size());
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + wide(folder)).c_str(), nullptr)) << folder;
    }
    const std::string source = folder + "\\Pr" + ue + "fung.dat", target = folder + "\\Ziel.dat";
    ASSERT_GT(source.size(), static_cast<std::size_t>(MAX_PATH));
    const auto bytes = patternBytes(3000, 3);
    writeNew(source, bytes);
    EXPECT_TRUE(fileio::fileExists(source));
    const std::string last = folder.substr(folder.rfind('\\') + 1);
    const std::string detour = folder + "/../" + last + "/./Pr" + ue + "fung.dat";
    EXPECT_EQ(fileio::fileSize(detour), 3000);
    const std::string name = "Pr" + ue + "fung.dat";
    EXPECT_EQ(splitListAndJoin(source, folder, target),
              (Names{name + "._001", name + "._002", name + "._003"}));
    {
        // Closed before the deletion below: Windows deletes no file that is open without sharing that.
        fileio::InputFile joined(target);
        std::string content(4000, '?');
        content.resize(joined.readAt(content.data(), content.size(), 0));
        EXPECT_EQ(content, std::string(bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(fileCrc(target), fileCrc(detour));

    setAttributes(target, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(fileio::isHidden(fileio::pathFromUtf8(target)));
    fileio::removeFile(target, true);
    EXPECT_FALSE(fileio::fileExists(target));
}

}  // namespace
}  // namespace fragments
