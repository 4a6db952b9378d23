#pragma once
// The one error type of the file layer: what failed, on which file, and why.

#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace fileio {

// Failures the file layer finds itself rather than the system.
enum class Errc {
    // A folder, FIFO, socket or device where a regular file (or a link) belongs.
    NotRegularFile = 1,
    // The operation was asked to stop (requestCancel) and did, at its next block.
    Cancelled = 2,
    // A file ended before the length it had when the operation began: it became shorter meanwhile.
    EndedEarly = 3,
    // A file was written to while its bytes were read.
    ChangedWhileRead = 4,
};

std::error_code make_error_code(Errc error) noexcept;

// The portable condition of `code` where it has one: every errno, and on Windows the system's errors a
// user meets (a full disk, a missing file, no permission, ...); nullopt for the rest.
std::optional<std::errc> conditionOf(std::error_code code);
// The system's own text for `code`, UTF-8 (std::system_error::what() is in the ANSI code page on Windows).
std::string systemText(std::error_code code);

// A std::system_error, so that a caller that only wants the system's code can catch it as one.
class FileError : public std::system_error {
  public:
    enum class Kind {
        // A file could not be opened or created (missing, no permission, read-only medium).
        CannotOpen,
        // Anything else: reading, writing, deleting, renaming (disk full, file in use, ...).
        Io,
    };

    FileError(Kind kind, std::string path, std::error_code code)
        : std::system_error(code, path), kind_(kind), path_(std::move(path)) {}

    Kind kind() const noexcept { return kind_; }
    // Full path of the file the failure concerns, UTF-8.
    const std::string& path() const noexcept { return path_; }

  private:
    Kind kind_;
    std::string path_;
};

}  // namespace fileio

template <>
struct std::is_error_code_enum<fileio::Errc> : std::true_type {};
