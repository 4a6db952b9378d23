// What only Windows has, on the Windows build itself (run under Wine here): names in UTF-16 beyond the ANSI
// code page, drive letters and backslashes, the read-only, hidden and system attributes, files above 4 GiB
// made sparse, and paths longer than MAX_PATH characters.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>

#include <random>

#include "core_test_support.hpp"
#include "fileio/paths.hpp"
#include "fragments/listing.hpp"
#include "fragments/split.hpp"
#include "texts/reasons.hpp"

namespace fragments {
namespace {

using namespace testsupport;

std::wstring wide(const std::string& utf8) {
    return pathOf(utf8).wstring();
}
DWORD attributesOf(const std::string& path) {
    return ::GetFileAttributesW(wide(path).c_str());
}
void put(const std::string& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    fileio::OutputFile out(path);  // the program's own file layer, which takes long paths
    out.write(bytes.data(), bytes.size());
    out.close();
    ASSERT_TRUE(::SetFileAttributesW(wide(path).c_str(), attributes)) << path;
}

// Writes `source` (3 fragments of 1 KiB), splits it, lists the set in its folder and joins it into `target`
// ("" for beside the source): the same bytes, the same checksum, the names as the folder lists them.
void roundTrip(const std::string& folder, const std::string& name, std::string target = "") {
    const std::string source = withTrailingSeparator(folder) + name;
    target = target.empty() ? source + ".neu" : target;
    const auto pattern = patternBytes(2500, 5);
    put(source, std::string(pattern.begin(), pattern.end()));
    splitFile(source, planSplit(2500, 1024), {}, nativeSeparator);
    const FragmentSet set =
        collectFragmentSet(listFragmentCandidates(folder), folder, source, nativeSeparator);
    EXPECT_EQ(set.names, (Names{name + "._001", name + "._002", name + "._003"}));
    JoinOutput output(target);
    for (const auto& fragment : set.names) {
        output.append(withTrailingSeparator(folder) + fragment,
                      fileio::fileSize(withTrailingSeparator(folder) + fragment));
        fileio::removeFile(withTrailingSeparator(folder) + fragment);
    }
    output.commit();
    EXPECT_EQ(fileCrc(target), fileCrc(source));
    EXPECT_EQ(fileCrc(target), textCrc(std::string(pattern.begin(), pattern.end())));
    fileio::removeFile(source);
    fileio::removeFile(target);
}

// Names reach the disk as UTF-16, whole ("ü" is in the ANSI code page, "Ω" and the emoji, a surrogate pair,
// are not); a folder longer than MAX_PATH, with "/" and ".." in the path too (the long form takes neither);
// the root of a drive, whose folder is the bare drive; only "\" separates.
TEST(WindowsPaths, NamesBeyondTheAnsiCodePageLongPathsAndDriveRoots) {
    TempDir dir;
    for (const std::string name : {"Pr\xC3\xBC"
                                   "fung.dat",
                                   "\xCE\xA9mega \xF0\x9F\x98\x80.dat"}) {
        roundTrip(dir.utf8(), name);
        put(dir.file(name), "x");
        EXPECT_NE(::GetFileAttributesW((dir.path().wstring() + L"\\" + wide(name)).c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
    std::string folder = dir.utf8();
    while (folder.size() < 300) {
        folder += "\\Ordner mit einem recht langen Namen " + std::to_string(folder.size());
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + wide(folder)).c_str(), nullptr)) << folder;
    }
    roundTrip(folder,
              "Pr\xC3\xBC"
              "fung.dat",
              folder + "/../" + folder.substr(folder.rfind('\\') + 1) + "/./Ziel");
    put(folder + "\\Ziel", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(fileio::isHidden(fileio::pathFromUtf8(folder + "\\Ziel")));
    fileio::removeFile(folder + "\\Ziel", true);
    EXPECT_FALSE(fileio::fileExists(folder + "\\Ziel"));

    EXPECT_EQ(nativeSeparator, '\\');
    EXPECT_EQ(Nurdatei("C:/Daten/x.y") + withTrailingSeparator("C:\\"), "C:/Daten/x.yC:\\");
    EXPECT_TRUE(isFragmentOf("Beispiel.dat._002", "C:\\Daten\\Beispiel.dat._001"));
    EXPECT_TRUE(isFragmentOf("Beispiel.dat._002", "C:\\Beispiel.dat"));
    const std::string root = utf8Of(dir.path().root_path()),
                      base = "Dodiveverazed-" + std::to_string(std::random_device{}());
    ASSERT_EQ(root.substr(1), ":\\");
    EXPECT_EQ(fragmentName(root + base, 2), root + base + "._002");
    try {
        put(root + base + ".probe", "x");
        fileio::removeFile(root + base + ".probe");
    } catch (const std::exception&) {
        GTEST_SKIP() << "the root of " << root << " is not writable here";
    }
    roundTrip(root, base + ".dat");
}

// The system's reasons are handed on as UTF-8, not in the ANSI code page.
TEST(WindowsNames, ReasonsAreUtf8) {
    for (const DWORD code : {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        const std::string reason =
            texts::utf8::reason(std::error_code(static_cast<int>(code), std::system_category()));
        EXPECT_NE(::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reason.data(),
                                        static_cast<int>(reason.size()), nullptr, 0),
                  0)
            << code << ": " << reason;
        if (PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_GERMAN && code == ERROR_DISK_FULL) {
            EXPECT_NE(reason.find("Datentr\xC3\xA4ger"), std::string::npos) << reason;
        }
    }
}

// Windows refuses to delete or replace a read-only file: the deletion of fragments and the join reset it
// first (hidden and system too), the split's removal of old fragments does not. Hidden and system files are
// left out of the listing, read-only and archived ones stay in. One holder of a set's lock at a time (a
// second handle is refused even in the same process), its file gone with the last; a link among the
// fragments is deleted itself, its read-only target stays.
TEST(WindowsAttributes, ReadOnlyHiddenSystemLocksAndLinks) {
    TempDir dir;
    const std::string locked = dir.file("B.dat._001"), other = dir.file("B.dat._002"),
                      target = dir.file("Ziel");
    put(locked, "alt", FILE_ATTRIBUTE_READONLY);
    for (const auto& action : std::vector<std::function<void()>>{
             [&] { fileio::removeFile(locked); },
             [&] { deleteOldFragments({"B.dat._001"}, dir.utf8(), dir.file("B.dat"), '\\'); }}) {
        EXPECT_EQ(outcomeOf([&] { return action(), std::string(); }), failed(locked));
    }
    put(other, "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    put(target, "alt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    JoinOutput output(target);
    output.append(other, 1);
    output.commit();
    EXPECT_EQ(readFile(target) + std::to_string(attributesOf(target) & FILE_ATTRIBUTE_READONLY), "x0");
    deleteFragmentSet({"B.dat._001", "B.dat._002"}, dir.utf8());
    EXPECT_FALSE(fileio::fileExists(locked) || fileio::fileExists(other));

    const std::pair<const char*, DWORD> files[] = {
        {"B.dat._001", FILE_ATTRIBUTE_NORMAL},
        {"B.dat._002", FILE_ATTRIBUTE_HIDDEN},
        {"B.dat._003", FILE_ATTRIBUTE_SYSTEM},
        {"B.dat._004", FILE_ATTRIBUTE_READONLY},
        {"B.dat._005", FILE_ATTRIBUTE_ARCHIVE},
        {"B.dat._006", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
        {".B.dat._007", FILE_ATTRIBUTE_ARCHIVE}};
    for (const auto& [name, attributes] : files) {
        put(dir.file(name), "x", attributes);
    }
    EXPECT_EQ(listFragmentCandidates(dir.utf8()),
              (Names{".B.dat._007", "B.dat._001", "B.dat._004", "B.dat._005"}));

    {
        const auto first = SetLock::forSource(dir.file("x.dat"));
        ASSERT_TRUE(first);
        EXPECT_FALSE(SetLock::forSource(dir.file("x.dat")) || SetLock::forList({"x.dat._001"}, dir.utf8()));
        EXPECT_TRUE(SetLock::forSource(dir.file("y.dat")));
    }
    EXPECT_TRUE(SetLock::forSource(dir.file("x.dat")));
    EXPECT_EQ(fileio::entryAt(dir.file(".x.dat.lock")).type, fileio::EntryType::None);
    const std::string link = dir.file("x.dat._001");
    put(dir.file("nur-lesen"), "alt", FILE_ATTRIBUTE_READONLY);
    // 2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, for a system in developer mode. Wine reports success
    // and makes no link.
    if (!::CreateSymbolicLinkW(wide(link).c_str(), wide(dir.file("nur-lesen")).c_str(), 2) ||
        attributesOf(link) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no symbolic links here";
    }
    EXPECT_EQ(fileio::entryAt(link).type, fileio::EntryType::Link);
    deleteFragmentSet({"x.dat._001"}, dir.utf8());
    EXPECT_EQ(fileio::entryAt(link).type, fileio::EntryType::None);
    EXPECT_EQ(readFile(dir.file("nur-lesen")) + std::to_string(attributesOf(dir.file("nur-lesen")) & 1),
              "alt1");
}

// A sparse file beyond 4 GiB: lengths and read offsets above 32 bits, and the listing's total. (Copying and
// writing beyond 4 GiB is the split and join test of large files, which runs here too.)
TEST(WindowsLargeFiles, SparseFileAboveFourGibibytes) {
    TempDir dir;
    const std::string path = dir.file("gross.dat._001");
    const std::int64_t four = std::int64_t{1} << 32, length = four + 3 * 1024 * 1024 + 7;
    const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    LARGE_INTEGER end{};
    end.QuadPart = length;
    const bool sparse =
        ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) &&
        ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(four - 2);
    EXPECT_TRUE(::WriteFile(file, "ABCD", 4, &returned, &at) && returned == 4);
    ::CloseHandle(file);
    if (!sparse) {
        GTEST_SKIP() << "this file system cannot make a sparse file of " << length << " bytes";
    }
    put(dir.file("gross.dat._002"), "12345");
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

}  // namespace
}  // namespace fragments
