#pragma once
// The one error type of the fragment core: what failed, on which file, and why.

#include <stdexcept>
#include <string>
#include <system_error>

namespace fragments {

class FileError : public std::runtime_error {
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
    const std::error_code& code() const noexcept { return code_; }
    // The reason as the system reports it.
    std::string reason() const;

  private:
    Kind kind_;
    std::string path_;
    std::error_code code_;
};

}  // namespace fragments
