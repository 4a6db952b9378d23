#pragma once
// The one error type of the file layer: what failed, on which file, and why.

#include <string>
#include <system_error>

namespace fileio {

// A std::system_error, so that a caller that only wants the system's code can catch it as one.
class FileError : public std::system_error {
  public:
    enum class Kind {
        // A file could not be opened or created (missing, no permission, read-only medium).
        CannotOpen,
        // Anything else: reading, writing, deleting, renaming (disk full, file in use, ...).
        Io,
    };

    FileError(Kind kind, std::string path, std::error_code code);

    Kind kind() const noexcept { return kind_; }
    // Full path of the file the failure concerns, UTF-8.
    const std::string& path() const noexcept { return path_; }
    // The reason as the system reports it, UTF-8 (std::system_error::what() is in the ANSI code page
    // on Windows).
    std::string reason() const;

  private:
    Kind kind_;
    std::string path_;
};

}  // namespace fileio
