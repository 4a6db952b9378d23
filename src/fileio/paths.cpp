#include "fileio/paths.hpp"

#include "fileio/platform.hpp"

namespace fileio {

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string workingFolder() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : utf8FromPath(current);
}

bool isTooLong(const std::string& utf8) {
    return platform::pathLength(utf8) > longestPath();
}

}  // namespace fileio
