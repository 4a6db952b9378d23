#pragma once
// Files as raw bytes, with failures as FileError. Every byte the program copies goes through here,
// so the copy strategy and the test seam for injected failures live in one place.

#include <cstdint>
#include <functional>
#include <string>

namespace fragments {

// True when a regular file (not a directory) exists at `path`.
bool fileExists(const std::string& path);

// Length of the file in bytes. Throws FileError (CannotOpen) when it cannot be read.
std::int64_t fileSize(const std::string& path);

// Deletes the file when it exists. `resetAttributesFirst` clears read-only first. Throws FileError (Io).
void removeFile(const std::string& path, bool resetAttributesFirst = false);

// A file open for reading as raw bytes, closed on destruction.
class InputFile {
  public:
    // Throws FileError (CannotOpen).
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const noexcept { return path_; }
    std::int64_t size() const;
    int handle() const noexcept { return fd_; }

  private:
    std::string path_;
    int fd_ = -1;
};

// A newly created (or emptied) file open for writing, closed on destruction.
class OutputFile {
  public:
    // Throws FileError (CannotOpen). With `mustBeNew` an existing file is not touched but refused
    // (its code compares equal to std::errc::file_exists).
    explicit OutputFile(const std::string& path, bool mustBeNew = false);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const noexcept { return path_; }
    int handle() const noexcept { return fd_; }
    // Writes all of `data`. Throws FileError (Io).
    void write(const void* data, std::size_t size);
    // Closes the file, reporting a failure of the close itself. Throws FileError (Io).
    void close();
    // Bytes written so far.
    std::int64_t written() const noexcept { return written_; }

  private:
    friend void copyBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t);
    std::string path_;
    int fd_ = -1;
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

}  // namespace fragments
