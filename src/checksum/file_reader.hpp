#pragma once
// Reading a file's bytes, read access only; the one place where the platform's file calls live.

#include <cstddef>
#include <cstdint>
#include <string>

namespace checksum {

// Length in bytes of the file at `path` (UTF-8), found without opening it.
// Throws std::system_error carrying the system's error code.
std::uint64_t fileLength(const std::string& path);

// A file opened for reading only; closed when the object goes. Throws std::system_error
// carrying the system's error code when the file cannot be opened or read.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Reads up to `capacity` bytes into `buffer`; 0 only at the end of the file.
    std::size_t read(std::uint8_t* buffer, std::size_t capacity);

  private:
    std::string path_;
    int descriptor_ = -1;
};

}  // namespace checksum
