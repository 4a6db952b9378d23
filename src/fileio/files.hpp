#pragma once
// Files as raw bytes, with failures as FileError. Every byte the program reads or copies goes
// through here, so the copy strategy and the test seam for injected failures live in one place.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fileio/descriptor.hpp"

namespace fileio {

// True when a regular file (not a directory) exists at `path`.
bool fileExists(const std::string& path);

// Length of the file in bytes, found without opening it. Throws FileError (CannotOpen) when it
// cannot be read, for a folder or anything else that is no regular file too.
std::int64_t fileSize(const std::string& path);

// A regular file directly in a folder, as a listing sees it.
struct FolderEntry {
    std::string name;     // bare name, UTF-8
    bool hidden = false;  // left out of listings (see isHidden)
};

// The regular files directly in `directory`, in the order the system gives them; long paths work on
// Windows too. Throws FileError (CannotOpen) naming the folder when it cannot be read.
std::vector<FolderEntry> regularFilesIn(const std::string& directory);

// Deletes the file when it exists. `resetAttributesFirst` clears read-only first. Throws FileError (Io).
void removeFile(const std::string& path, bool resetAttributesFirst = false);

// Makes the file an ordinary writable file (clears read-only). Throws FileError (Io).
void resetAttributes(const std::string& path);

// Moves `from` onto `to`, replacing an existing `to` in one step. Throws FileError (Io) naming `to`.
void renameReplacing(const std::string& from, const std::string& to);

class OutputFile;

// A file open for reading as raw bytes, closed on destruction.
class InputFile {
  public:
    // Throws FileError (CannotOpen).
    explicit InputFile(const std::string& path);

    const std::string& path() const noexcept { return path_; }
    // Throws FileError (Io).
    std::int64_t size() const;
    // Reads up to `size` bytes at `offset` into `buffer`; 0 only at the end of the file.
    // Throws FileError (Io).
    std::size_t readAt(void* buffer, std::size_t size, std::int64_t offset);
    // Reads up to `size` bytes from where the last read() stopped (the start at first); 0 only at
    // the end of the file. Throws FileError (Io).
    std::size_t read(void* buffer, std::size_t size);

  private:
    friend void copyBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t);
    std::string path_;
    Descriptor file_;
    std::int64_t position_ = 0;
};

// A newly created (or emptied) file open for writing, closed on destruction.
class OutputFile {
  public:
    // Throws FileError (CannotOpen). With `mustBeNew` an existing file is not touched but refused
    // (its code compares equal to std::errc::file_exists).
    explicit OutputFile(const std::string& path, bool mustBeNew = false);

    const std::string& path() const noexcept { return path_; }
    // Writes all of `data` after what was written so far. Throws FileError (Io).
    void write(const void* data, std::size_t size);
    // Reserves disk space for the first `bytes` of the file up front (faster, and a full disk shows
    // at once); the file's length stays. Throws FileError (Io) only when the space is not there.
    void reserve(std::int64_t bytes);
    // Closes the file, reporting a failure of the close itself. Throws FileError (Io).
    void close();
    // Bytes written so far.
    std::int64_t written() const noexcept { return written_; }

  private:
    friend void copyBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t);
    std::string path_;
    Descriptor file_;
    std::int64_t written_ = 0;
};

// Copies `count` bytes from `from` at `offset` to the end of what was written to `to`. Memory stays
// bounded whatever `count` is. Throws FileError naming the file that failed; a source that ends early
// is a failure too.
void copyBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count);

namespace testing {
// Fault injection for tests: called before every write to `path` of `size` bytes; a non-zero
// return is taken as that errno. Reset with an empty function.
void setWriteFault(std::function<int(const std::string& path, std::size_t size)> fault);
// Called before every kernel copy of `size` bytes (where the platform has one); may lower `size` (0 makes
// the kernel copy look unavailable, as some file systems do) and returns an errno to fail the call with.
// Reset with an empty function.
void setCopyFault(std::function<int(std::size_t& size)> fault);
// Makes copyBytes use plain reads and writes only. Off again with false.
void forceReadWriteCopy(bool on);
}  // namespace testing

}  // namespace fileio
