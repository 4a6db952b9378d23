// What only Windows has (run under Wine): UTF-16 names, long paths, the read-only attribute, sparse 4 GiB.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>

#include "core_test_support.hpp"
#include "fileio/paths.hpp"
#include "fragments/listing.hpp"
#include "fragments/split.hpp"

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

// Splits `source` into 3 fragments, lists and joins them into `target`: the same bytes, checksum and names.
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
        std::optional<fileio::InputFile> in(withTrailingSeparator(folder) + fragment);
        output.append(*in, in->size());
        in.reset();
        fileio::removeFile(withTrailingSeparator(folder) + fragment);
    }
    output.commit();
    EXPECT_EQ(fileCrc(target), textCrc(std::string(pattern.begin(), pattern.end())));
    fileio::removeFile(source);
    fileio::removeFile(target);
}

// Names beyond the ANSI code page reach the disk whole; a folder past MAX_PATH, with "/" and ".." too.
TEST(WindowsPaths, NamesBeyondTheAnsiCodePageAndLongPaths) {
    TempDir dir;
    roundTrip(dir.utf8(), "\xCE\xA9mega \xF0\x9F\x98\x80.dat");
    std::string folder = dir.utf8();
    while (folder.size() < 300) {
        folder += "\\Ordner mit einem recht langen Namen " + std::to_string(folder.size());
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + wide(folder)).c_str(), nullptr)) << folder;
    }
    roundTrip(folder,
              "Pr\xC3\xBC"
              "fung.dat",
              folder + "/../" + folder.substr(folder.rfind('\\') + 1) + "/./Ziel");
}

// The deletion and the join reset a read-only file (hidden, system) first; the split's clean-up does not.
TEST(WindowsAttributes, ReadOnlyFilesReset) {
    TempDir dir;
    const std::string locked = dir.file("B.dat._001"), other = dir.file("B.dat._002"),
                      target = dir.file("Ziel");
    put(locked, "alt", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(outcomeOf([&] {
                  return deleteOldFragments({"B.dat._001"}, dir.utf8(), dir.file("B.dat"), '\\'), "";
              }),
              failed(locked));
    put(other, "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    put(target, "alt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    JoinOutput output(target);
    std::optional<fileio::InputFile> in(other);
    output.append(*in, 1);
    in.reset();
    output.commit();
    EXPECT_EQ(readFile(target) + std::to_string(attributesOf(target) & FILE_ATTRIBUTE_READONLY), "x0");
    deleteFragmentSet({"B.dat._001", "B.dat._002"}, dir.utf8());
    EXPECT_FALSE(fileio::fileExists(locked) || fileio::fileExists(other));
}

// A sparse file beyond 4 GiB: lengths and read offsets above 32 bits, and the listing's total.
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
