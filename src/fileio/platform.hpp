#pragma once
// What differs between operating systems, behind one small interface: opening, reading and writing
// at an offset, the kernel's file-to-file copy, holes, hidden files, what a name is, removing,
// replacing rename and the lock file. Internal to the file layer: only its own sources include it,
// and each system has one source file implementing it. Paths are UTF-8. Failures are thrown as
// FileError naming the `path` given (Io unless said otherwise).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "fileio/descriptor.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"

namespace fileio::platform {

using Handle = Descriptor::Handle;

[[noreturn]] inline void fail(const std::string& path, std::error_code code,
                              FileError::Kind kind = FileError::Kind::Io) {
    throw FileError(kind, path, code);
}

// The tests' faults (see fileio::testing): the errno a write of `size` bytes to `path` fails with (EINTR
// as an interrupted call), 0 for none; the errno a kernel copy fails with, which may lower its `size`.
int writeFault(const std::string& path, std::size_t size);
int copyFault(std::size_t& size);
// The errno the test's fault fails `operation` ("rename", "flush", ...) on `path` with, 0 for none.
int operationFault(std::string_view operation, const std::string& path);

// Opens an existing regular file for one pass of reads from start to end without ever waiting; a
// folder is refused (is_a_directory), so is a FIFO, socket or device (Errc::NotRegularFile). CannotOpen.
Descriptor openForReading(const std::string& path);
// Creates a new regular file; anything already at `path`, a link included, is an error (file_exists).
std::error_code createNew(const std::string& path, Descriptor& file);
std::error_code closeHandle(Handle handle);
std::int64_t lengthOf(Handle handle, const std::string& path);

// Starts reading `length` bytes at `offset` (0: to the end) into memory in the background; does nothing
// where the system cannot.
void readAhead(Handle handle, std::int64_t offset, std::int64_t length);
// Reads up to `size` bytes at `offset`; 0 means end of file.
std::size_t readAt(Handle handle, const std::string& path, void* buffer, std::size_t size,
                   std::int64_t offset);
// Writes up to `size` bytes at `offset`; may be short.
std::size_t writeAt(Handle handle, const std::string& path, const void* buffer, std::size_t size,
                    std::int64_t offset);
// One kernel copy of at most `size` bytes to `toPath`; 0 when the kernel cannot copy between these
// files now (use reads and writes from here on).
std::size_t fastCopy(Handle from, std::int64_t fromOffset, Handle to, const std::string& toPath,
                     std::int64_t toOffset, std::size_t size);

// Whether a clone was made, and if not, whether one could be made into the same file elsewhere.
enum class Clone {
    Made,
    NotThisRange,  // offsets off the file system's block size, a range beyond the end, ...
    NotHere,       // another file system, one without shared blocks, Windows
};
// Makes the `size` bytes (more than 0) of `from` at `fromOffset` the bytes of `to` at `toOffset` by sharing
// their blocks, where the file system can (a clone: nothing is read or written); `to` is unchanged where it
// cannot. A lack of space is a failure naming `toPath`.
Clone cloneRange(Handle from, std::int64_t fromOffset, Handle to, const std::string& toPath,
                 std::int64_t toOffset, std::int64_t size);
// What any write to a file changes: its change time (in nanoseconds; 0 where the platform has none) and
// its length.
using ChangeStamp = std::pair<std::int64_t, std::int64_t>;
ChangeStamp changeStampOf(Handle handle, const std::string& path);

// Where the next data at or after `offset` begins and where it ends (the next hole). Holes read as
// zeros and need not be copied; where the platform cannot tell, everything counts as data.
void findData(Handle handle, std::int64_t offset, std::int64_t& dataStart, std::int64_t& dataEnd);
// Sets the file's length, extending it with zeros (a hole) where it grows.
void setLength(Handle handle, const std::string& path, std::int64_t length);
// Reserves disk space for the `bytes` at `offset` without changing the file's length, so that they are
// laid out in one go. Only a lack of space is reported; where the platform cannot reserve, nothing happens.
void reserveSpace(Handle handle, const std::string& path, std::int64_t offset, std::int64_t bytes);

// The length of a path in the units longestPath counts.
std::size_t pathLength(const std::string& utf8);

// Moves `from` onto `to`, replacing an existing `to` (a read-only one too; a link itself); names `to`.
void renameReplacing(const std::string& from, const std::string& to);

FileIdentity identityOf(Handle handle, const std::string& path);
// Removes the regular file or link `path` itself. `clearAttributes` (for a regular file): Windows
// clears read-only, hidden and system first; POSIX needs and changes nothing.
std::error_code removeEntry(const std::string& path, bool clearAttributes);

// A file in `folder` that no name leads to until linkUnnamed gives it one, so that nothing is left of it
// when the program ends first; not open where the system or the file system has none (the caller then
// creates a named file, which reports any real failure).
Descriptor createUnnamed(const std::string& folder);
// Gives the open unnamed file the name `path`; a name already there is an error (file_exists).
std::error_code linkUnnamed(Handle handle, const std::string& path);

// Opens the existing regular file `path` (links followed) so that it can be flushed to the disk.
Descriptor openForFlush(const std::string& path);
// Writes the file's data from `offset` on for `length` bytes to the disk and waits for it; nothing where
// the system cannot flush a part of a file (flushData does all of it).
void flushRange(Handle handle, const std::string& path, std::int64_t offset, std::int64_t length);
// Writes the file's data, and what is needed to read it back, to the disk and waits for it.
void flushData(Handle handle, const std::string& path);
// Writes the entries of the folder of `path` to the disk, so that a new name in it survives a power cut;
// nothing where the system keeps no such separate state (Windows).
void flushFolder(const std::string& path);

// Opens or creates the lock file `path` (never through a link) and takes its lock without waiting.
// nullopt: another holder has it. Not open: the folder takes no lock file.
std::optional<Descriptor> lock(const std::string& path);
// Removes the lock file while its lock is still held, then releases it.
void unlock(const std::string& path, Descriptor& file);

}  // namespace fileio::platform
