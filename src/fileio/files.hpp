#pragma once
// Files as raw bytes, with failures as FileError. Every byte the program reads or copies goes
// through here, so the copy strategy and the test seam for injected failures live in one place.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fileio/descriptor.hpp"

namespace fileio {

// True when a regular file (not a directory) exists at `path`.
bool fileExists(const std::string& path);

// Length of the file in bytes, found without opening it. Throws FileError (CannotOpen) when it
// cannot be read: a folder gives is_a_directory, anything else that is no regular file
// Errc::NotRegularFile.
std::int64_t fileSize(const std::string& path);

// A regular file directly in a folder, as a listing sees it.
struct FolderEntry {
    std::string name;     // bare name, UTF-8
    bool hidden = false;  // left out of listings (see isHidden)
};

// The regular files directly in `directory`, in the order the system gives them; long paths work on
// Windows too. Throws FileError (CannotOpen) naming the folder when it cannot be read.
std::vector<FolderEntry> regularFilesIn(const std::string& directory);

// The identity of a file: the same for every name and hard link that leads to it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What a name is in its folder, links not followed.
enum class EntryType {
    None,       // nothing of that name (or no folder on the way)
    Regular,    // a regular file
    Link,       // a symbolic link, whatever it points to (or nothing)
    Directory,  // a folder
    Other,      // a FIFO, socket or device
};

struct Entry {
    EntryType type = EntryType::None;
    FileIdentity identity;  // Of the name itself: for a link the link's own, never its target's.
};

// What is at `path` itself. Throws FileError (Io) when the system cannot tell.
Entry entryAt(const std::string& path);

// True when the file `path` leads to takes less room on the disk than its length: it has holes (which read
// as zeros; copyBytes keeps them), or the file system compresses it. False where that cannot be told.
bool takesLessRoomThanItsLength(const std::string& path);

// True for a path through which a process's open descriptors are reached (/dev/stdin, /dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N, /proc/PID/fd/N), even when it leads to a regular file: its
// folder is no folder of the user's. False on Windows.
bool isDescriptorPath(const std::string& path);

// The identity of the file `path` leads to, links followed; nullopt when it leads nowhere.
std::optional<FileIdentity> identityOf(const std::string& path);

// True when the file `older` leads to was last changed before the one `newer` leads to; false when that
// cannot be told.
bool changedBefore(const std::string& older, const std::string& newer);

// The login name (or number) of the user who owns `path` itself, when that is not the user the program runs
// as; nullopt otherwise, or where owners do not apply.
std::optional<std::string> otherOwnerOf(const std::string& path);

// Removes the name `path` itself when it is a regular file or a link; a link goes, its target
// stays. Nothing there: nothing happens. Throws FileError (Io): Errc::NotRegularFile for a folder,
// FIFO, socket or device, which are never touched. A read-only file goes on POSIX, where no mode is
// ever changed (a change would reach hard-linked twins outside the folder); Windows refuses to delete
// one unless `evenReadOnly` clears its read-only, hidden and system attributes first (on the file
// itself, never through a link).
void removeFile(const std::string& path, bool evenReadOnly = false);

// An advisory lock held by one holder at a time, in any process, on a lock file that exists only while
// it is held. Released (and its file removed) when the object goes.
class LockFile {
  public:
    LockFile() noexcept = default;
    ~LockFile();
    LockFile(LockFile&& other) noexcept = default;
    LockFile& operator=(LockFile&& other) noexcept;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Takes the lock of `path` without waiting; nullopt when another holder has it. Where the folder
    // takes no new file (read-only for this user or medium), nothing can change there through this
    // program either: the lock returned then holds nothing. Throws FileError (Io) naming `path` when
    // it is no regular file (Errc::NotRegularFile; links are not followed) or cannot be opened (one of
    // another user, which may outlive that user's operation, with that access error: see otherOwnerOf).
    static std::optional<LockFile> tryLock(const std::string& path);

    bool held() const noexcept { return file_.isOpen(); }

  private:
    void release() noexcept;
    std::string path_;
    Descriptor file_;
};

class OutputFile;
class PendingFile;

// What a copy saw: each run of `size` bytes it copied, in order; null `data` stands for `size` zero bytes
// (a hole, which the copy does not read).
using SeenBytes = std::function<void(const void* data, std::size_t size)>;

// A file open for reading as raw bytes, closed on destruction.
class InputFile {
  public:
    // Opens the regular file `path` leads to (links are followed: reading changes nothing). Never
    // waits: a folder is refused with is_a_directory, a FIFO, socket or device with Errc::NotRegularFile.
    // Throws FileError (CannotOpen).
    explicit InputFile(const std::string& path);

    const std::string& path() const noexcept { return path_; }
    // Throws FileError (Io).
    std::int64_t size() const;
    // Throws FileError (Io).
    FileIdentity identity() const;
    // Asks the system to read `length` bytes at `offset` (0: to the end) into memory in the background, so
    // that reads of them soon after wait less for the disk.
    void readAhead(std::int64_t offset = 0, std::int64_t length = 0);
    // Reads up to `size` bytes at `offset` into `buffer`; 0 only at the end of the file.
    // Throws FileError (Io).
    std::size_t readAt(void* buffer, std::size_t size, std::int64_t offset);
    // Reads up to `size` bytes from where the last read() stopped (the start at first); 0 only at
    // the end of the file. Throws FileError (Io).
    std::size_t read(void* buffer, std::size_t size);

  private:
    friend void copyBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t, const SeenBytes&);
    friend bool cloneBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t, const SeenBytes&);
    std::string path_;
    Descriptor file_;
    std::int64_t position_ = 0;
    bool cloneless_ = false;  // see OutputFile
};

// A newly created file open for writing, closed on destruction.
class OutputFile {
  public:
    // Creates `path` as a new regular file. Whatever is there already, a link (even a dangling one)
    // included, is not touched but refused with a code equal to std::errc::file_exists: the caller
    // removes an old file first. Throws FileError (CannotOpen).
    explicit OutputFile(const std::string& path);

    const std::string& path() const noexcept { return path_; }
    // Writes all of `data` after what was written so far. Throws FileError (Io).
    void write(const void* data, std::size_t size);
    // Writes all of `data` at `offset`, for a file whose pieces are made out of order; what was written
    // so far then reaches at least to its end. Throws FileError (Io).
    void writeAt(const void* data, std::size_t size, std::int64_t offset);
    // Reserves disk space for the `bytes` after what was written so far, up front (faster, and a full disk
    // shows at once); the file's length stays. Throws FileError (Io) only when the space is not there.
    void reserve(std::int64_t bytes);
    // Closes the file, reporting a failure of the close itself. Throws FileError (Io).
    void close();
    // Bytes written so far.
    std::int64_t written() const noexcept { return written_; }
    // Throws FileError (Io).
    FileIdentity identity() const;

  private:
    friend void copyBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t, const SeenBytes&);
    friend bool cloneBytes(InputFile&, std::int64_t, OutputFile&, std::int64_t, const SeenBytes&);
    friend class PendingFile;
    OutputFile(std::string path, Descriptor file) : path_(std::move(path)), file_(std::move(file)) {}
    std::string path_;
    Descriptor file_;
    std::int64_t written_ = 0;
    // The file systems said they make no clones between this file and the other one of a cloneBytes.
    bool cloneless_ = false;
};

// Copies `count` bytes from `from` at `offset` to the end of what was written to `to`. Memory stays
// bounded whatever `count` is. Holes in `from` stay holes. With `seen`, every byte passes through memory
// once on its way and is shown to it before it is written, while it is still in the CPU's cache (the
// kernel's file-to-file copy is not used then). Throws FileError naming the file that failed; a source
// that ends early is a failure too.
void copyBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count,
               const SeenBytes& seen = {});

// Makes the `count` bytes of `from` at `offset` the next bytes of `to` by sharing their blocks, where the
// file system can clone them (btrfs, XFS, ...): nothing is copied and no room is taken. With `seen`, the
// bytes are then read from `from` once and shown to it in order, and a write to `from` meanwhile is a failure
// (Errc::ChangedWhileRead), so that what `seen` saw is what `to` holds. False, with `to` unchanged, where no
// clone can be made (another file system or one without shared blocks, a position off the file system's
// block size, Windows): copyBytes does it then. Throws FileError as copyBytes does.
bool cloneBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count,
                const SeenBytes& seen = {});

// Reads up to `limit` bytes of `from` from where its last read stopped; fewer only at the end of the file.
// Throws FileError (Io).
std::string readUpTo(InputFile& from, std::size_t limit);

// Reads `count` bytes of `from` from `offset` through memory, showing them to `seen` piece by piece in
// order. Throws FileError (Io) naming `from`; a file that ends early is a failure too.
void readBytes(InputFile& from, std::int64_t offset, std::int64_t count, const SeenBytes& seen);

// A new file that appears under its final name only once it is complete: written without a name where
// the system can (a crash then leaves nothing behind), else under a temporary name beside its final
// name, and put in place by commit(). Destroyed without commit, it leaves nothing and changes nothing.
class PendingFile {
  public:
    // `temporaryName` gives a fresh temporary path beside `finalPath` at each call; names already taken
    // are skipped. `unnamed` tries a file without a name first. Throws FileError (CannotOpen) naming
    // `finalPath`.
    PendingFile(std::string finalPath, std::function<std::string()> temporaryName, bool unnamed);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The file to write; failures name the final path.
    OutputFile& file() noexcept { return *file_; }
    const OutputFile& file() const noexcept { return *file_; }
    // True while the file has no name.
    bool unnamed() const noexcept { return unnamed_; }
    // Closes the file and puts it under its final name, replacing what is there (a link itself, never
    // its target; the caller has checked that it may go). Throws FileError naming the final path.
    void commit();

  private:
    // A fresh temporary name that the open file is linked to; throws like commit.
    std::string linkToTemporaryName();
    void removeTemporary() noexcept;
    std::string finalPath_;
    std::function<std::string()> temporaryName_;
    std::string temporaryPath_;
    std::optional<OutputFile> file_;
    bool unnamed_ = false;
    bool committed_ = false;
};

// A file written to the disk, and its name in its folder, in steps: so that a window can serve its events
// between them while a large file goes to a slow disk.
class Flush {
  public:
    // The flush of the file at `path` while it is still the file `identity`; nullopt when the name leads
    // elsewhere or nowhere. Throws FileError (Io) when it cannot be opened.
    static std::optional<Flush> of(const std::string& path, const FileIdentity& identity);
    // Does the next step: the next 64 MiB of data, then the rest of what the file needs, then its folder.
    // False once all is done. Throws FileError (Io) naming the file.
    bool step();

  private:
    Flush(std::string path, Descriptor file, std::int64_t length)
        : path_(std::move(path)), file_(std::move(file)), length_(length) {}
    std::string path_;
    Descriptor file_;
    std::int64_t length_ = 0;
    std::int64_t flushed_ = 0;
    int stage_ = 0;
};

// While it exists, every copy and read of the thread that made it calls `hook` after each piece (at most
// 64 MiB apart, about every 20 ms on a fast disk), so that a window can serve its events while one large file
// is copied. The hook the thread had before comes back when it goes.
class PieceHook {
  public:
    explicit PieceHook(std::function<void()> hook);
    ~PieceHook();
    PieceHook(const PieceHook&) = delete;
    PieceHook& operator=(const PieceHook&) = delete;

  private:
    std::function<void()> hook_;
    const std::function<void()>* before_;
};
// Calls the thread's piece hook, when it has one: for work of its own between pieces (a wait, say).
void pieceDone();

// Frees the buffers the calling thread's copies and reads keep for the next ones: a thread that copies calls
// it before it ends (the process's first thread need not).
void releaseThreadBuffers() noexcept;

// Asks the running operation to stop: every read, write and copy of a file checks at its next block and
// then throws FileError (Io, Errc::Cancelled) naming the file, which unwinds as any failure does (a
// temporary goes, a lock is released). Safe to call from a signal handler or another thread.
void requestCancel() noexcept;
// Forgets a request, before the next operation starts.
void clearCancel() noexcept;
// Whether a stop was asked for since the last clearCancel.
bool cancelRequested() noexcept;

namespace testing {
// Fault injection for tests: called before every write to `path` of `size` bytes; a non-zero
// return fails the write with that errno, EINTR as an interrupted call (tried again). Reset with an
// empty function.
void setWriteFault(std::function<int(const std::string& path, std::size_t size)> fault);
// Called before each "rename" (every rename or link into a final name, as PendingFile::commit makes
// them), each "clone" (of a range into `path`), each "flush" (each step of Flush::step) and each "lock"
// (LockFile::tryLock, its file locked) of `path`; a non-zero return fails that call with that errno, thrown
// as FileError naming `path`. Each "close" of a descriptor (path empty) closes it and then reports that
// errno. Reset with an empty function.
void setOperationFault(std::function<int(std::string_view operation, const std::string& path)> fault);
// Called before every kernel copy of `size` bytes (where the platform has one); may lower `size` (0 makes
// the kernel copy look unavailable, as some file systems do) and returns an errno to fail the call with.
// Reset with an empty function.
void setCopyFault(std::function<int(std::size_t& size)> fault);
// Makes copyBytes use plain reads and writes only, and cloneBytes clone nothing. Off again with false.
void forceReadWriteCopy(bool on);
// Makes PendingFile always name its file, as on file systems without unnamed files. Off again with false.
void forceNamedPendingFiles(bool on);
// Where a test may stop the program (with SIGKILL, say) or look at its files: the file layer and the
// core call stepReached at each such point, which does nothing unless a test has set a hook. Reset with
// an empty function.
void setStepHook(std::function<void(std::string_view step, std::int64_t number)> hook);
void stepReached(std::string_view step, std::int64_t number = 0);
// True while a test has set a fault or a step hook: the core then works in one thread, so that faults and
// steps come in the order of the program's steps, as the test expects them.
bool hooksSet();
}  // namespace testing

}  // namespace fileio
