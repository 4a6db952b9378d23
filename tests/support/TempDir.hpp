#pragma once
// Fresh temporary folders and whole-file helpers for tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The tests' UTF-8 strings as paths and back: through char8_t, so that Windows never reads them in
// its ANSI code page.
std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

// A fresh, empty folder removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder's full path, UTF-8, without a trailing separator.
    std::string utf8() const { return utf8Of(path_); }
    // Full path of `name` (UTF-8, may hold the native separator) inside the folder, UTF-8.
    std::string file(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// Writes `bytes` to `path`, replacing the file.
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void writeFile(const std::string& path, const std::string& bytes);
// The whole content of `path` ("" when it cannot be read).
std::string readFile(const std::string& path);
// `size` deterministic pseudo-random bytes from `seed`.
std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed = 1);
// Bare names of the regular files in `dir`, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& dir);

}  // namespace testsupport
