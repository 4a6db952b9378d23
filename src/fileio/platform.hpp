#pragma once
// What differs between operating systems, behind one small interface: opening, reading and writing
// at an offset, the kernel's file-to-file copy, holes, hidden files, what a name is, removing,
// replacing rename and the lock file. Internal to the file layer: only its own sources include it,
// and each system has one source file implementing it. Paths are UTF-8.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "fileio/descriptor.hpp"
#include "fileio/files.hpp"

namespace fileio::platform {

using Handle = Descriptor::Handle;

// True when a regular file (not a folder) is at `path`.
bool isRegularFile(const std::string& path);
// Length of the regular file at `path`; a folder is an error (is_a_directory), anything else that is
// no regular file Errc::NotRegularFile.
std::error_code sizeOf(const std::string& path, std::int64_t& length);
// Calls `entry` with the bare name of every regular file directly in `directory` and whether
// listings leave it out (see isHidden), in the order the system gives them.
std::error_code forEachFileIn(const std::string& directory,
                              const std::function<void(const std::string& name, bool hidden)>& entry);

// The reason for `code` in German, UTF-8: the program's own text for the failures a user meets (a full
// disk, a missing file, no permission, ...), else the system's text.
std::string describe(std::error_code code);
// The program's German text for `error`; null for the conditions it has no text of its own for.
const char* germanReason(std::errc error) noexcept;

// Opens an existing regular file for one pass of reads from start to end without ever waiting; a
// folder is refused (is_a_directory), so is a FIFO, socket or device (Errc::NotRegularFile).
std::error_code openForReading(const std::string& path, Descriptor& file);
// Creates a new regular file; anything already at `path`, a link included, is an error (file_exists).
std::error_code createNew(const std::string& path, Descriptor& file);
std::error_code closeHandle(Handle handle);
std::error_code lengthOf(Handle handle, std::int64_t& length);

// Reads up to `size` bytes at `offset`; `done` 0 means end of file.
std::error_code readAt(Handle handle, void* buffer, std::size_t size, std::int64_t offset, std::size_t& done);
// Writes up to `size` bytes at `offset`; `done` may be short.
std::error_code writeAt(Handle handle, const void* buffer, std::size_t size, std::int64_t offset,
                        std::size_t& done);

enum class FastCopy {
    Copied,       // `done` bytes (more than 0) were copied
    Unavailable,  // the kernel cannot copy between these files now: use reads and writes from here on
    Failed,       // the copy failed with `error`, which concerns the target
};
// One kernel copy of at most `size` bytes. `injectedError` (tests) makes the call fail with that errno.
FastCopy fastCopy(Handle from, std::int64_t fromOffset, Handle to, std::int64_t toOffset, std::size_t size,
                  int injectedError, std::size_t& done, std::error_code& error);

// Where the next data at or after `offset` begins and where it ends (the next hole). Holes read as
// zeros and need not be copied; where the platform cannot tell, everything counts as data.
void findData(Handle handle, std::int64_t offset, std::int64_t& dataStart, std::int64_t& dataEnd);
// Sets the file's length, extending it with zeros (a hole) where it grows.
std::error_code setLength(Handle handle, std::int64_t length);

// Reserves disk space for the first `bytes` of the file without changing its length, so that it is
// laid out in one go. Only a lack of space is reported; where the platform cannot reserve, nothing happens.
std::error_code reserveSpace(Handle handle, std::int64_t bytes);

// Error code for a file that ended before the expected length.
std::error_code unexpectedEndOfFile();

// The longest path the system takes, without the terminating NUL, in the units it counts: bytes of
// UTF-8 on POSIX (PATH_MAX), UTF-16 units on Windows (32767 for a path in the "\\?\" form that the
// file layer gives long paths; counted with that prefix).
extern const std::size_t longestPath;
// The length of a path in those units.
std::size_t pathLength(const std::string& utf8);

bool isHidden(const std::filesystem::path& path);
// Moves `from` onto `to`, replacing an existing `to` (a read-only one too; a link itself).
std::error_code renameReplacing(const std::string& from, const std::string& to);

// What is at `path` itself, links not followed; a missing name is EntryType::None, no error.
std::error_code entryAt(const std::string& path, Entry& entry);
// The identity of the file `path` leads to, links followed.
std::error_code identityAt(const std::string& path, FileIdentity& identity);
std::error_code identityOf(Handle handle, FileIdentity& identity);
// Removes the regular file or link `path` itself. `clearAttributes` (for a regular file): Windows
// clears read-only, hidden and system first; POSIX needs and changes nothing.
std::error_code removeEntry(const std::string& path, bool clearAttributes);

// Creates a file in `folder` that no name leads to until linkUnnamed gives it one, so that nothing is
// left of it when the program ends first. `supported` false, with no error, where the system or the
// file system has none: the caller creates a named file instead (which reports any real failure).
std::error_code createUnnamed(const std::string& folder, Descriptor& file, bool& supported);
// Gives the open unnamed file the name `path`; a name already there is an error (file_exists).
std::error_code linkUnnamed(Handle handle, const std::string& path);

// Opens the existing regular file `path` (links followed) so that it can be flushed to the disk.
std::error_code openForFlush(const std::string& path, Descriptor& file);
// Writes the file's data from `offset` on for `length` bytes to the disk and waits for it; nothing where
// the system cannot flush a part of a file (flushData does all of it).
std::error_code flushRange(Handle handle, std::int64_t offset, std::int64_t length);
// Writes the file's data, and what is needed to read it back, to the disk and waits for it.
std::error_code flushData(Handle handle);
// Writes the folder's entries to the disk, so that a new name in it survives a power cut; nothing where
// the system keeps no such separate state (Windows).
std::error_code flushFolder(const std::string& folder);

// Opens or creates the lock file `path` (never through a link) and takes its lock without waiting.
// `busy`: another holder has it. Neither `busy` nor `file` open: the folder takes no lock file.
std::error_code lock(const std::string& path, Descriptor& file, bool& busy);
// Removes the lock file while its lock is still held, then releases it.
void unlock(const std::string& path, Descriptor& file);

}  // namespace fileio::platform
