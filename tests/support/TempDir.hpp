#pragma once
// Temporary folders and file helpers; UTF-8 strings become paths through char8_t (never the ANSI code page).

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A fresh, empty folder removed with everything in it (read-only files too) when the object goes.
class TempDir {
  public:
    TempDir() {
        static std::mt19937_64 random{std::random_device{}()};
        do {
            path_ =
                std::filesystem::temp_directory_path() / ("dodiveverazed-test-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TempDir() {
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                        ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string utf8() const { return utf8Of(path_); }  // without a trailing separator
    // Full path of `name` (UTF-8, may hold the native separator) inside the folder, UTF-8.
    std::string file(const std::string& name) const { return utf8Of(path_ / pathOf(name)); }

  private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    if (!(std::ofstream(pathOf(path), std::ios::binary | std::ios::trunc) << bytes)) {
        throw std::runtime_error("cannot write " + path);
    }
}
inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}
inline std::string readFile(const std::string& path) {
    std::ostringstream content;
    content << std::ifstream(pathOf(path), std::ios::binary).rdbuf();
    return content.str();
}
inline std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed = 1) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}
inline std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            names.push_back(utf8Of(entry.path().filename()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testsupport
