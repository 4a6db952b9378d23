#pragma once
// The one error type of the file layer: what failed, on which file, and why.

#include <string>
#include <system_error>

namespace fileio {

// Failures the program finds itself rather than the system. Their messages are the reasons the
// window shows after "Fehler bei Datei <path>: ", so they are German.
enum class Errc {
    // A folder, FIFO, socket or device where a regular file (or a link) belongs.
    NotRegularFile = 1,
    // A fragment whose size changed between the check of the list and its copy.
    SizeChanged,
    // A name the split would delete or write that is the source it reads.
    IsSplitSource,
    // A listed fragment that is the file the fragments were cut from.
    IsOriginal,
};

const std::error_category& programCategory() noexcept;
std::error_code make_error_code(Errc error) noexcept;

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

template <>
struct std::is_error_code_enum<fileio::Errc> : std::true_type {};
