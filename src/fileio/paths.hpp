#pragma once
// The program's UTF-8 path strings and the platform's path type.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace fileio {

// Conversions between the program's UTF-8 strings and the platform's path type.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// The process's working folder, UTF-8; "" when the system cannot tell.
std::string workingFolder();

// The longest path the system takes, without the terminating NUL, counted as it counts (bytes of UTF-8
// on POSIX, PATH_MAX; UTF-16 units on Windows, 32767 for a path in the "\\?\" form that the file layer
// gives long paths, counted with that prefix); messages call them characters.
std::size_t longestPath();
// True when `utf8` is longer than the system takes.
bool isTooLong(const std::string& utf8);

// True for a file that listings leave out: a name beginning with "." on POSIX, the hidden or system
// attribute on Windows.
bool isHidden(const std::filesystem::path& path);

}  // namespace fileio
