#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <string>
#include <utility>

#include "fileio/error.hpp"
#include "fileio/paths.hpp"
#include "fileio/platform.hpp"

namespace fileio::platform {

namespace {

std::error_code lastError() {
    return std::error_code(errno, std::system_category());
}

int fd(Handle handle) {
    return static_cast<int>(handle);
}

// True when the call that just failed was interrupted by a signal before it did anything.
bool interrupted() {
    return errno == EINTR;
}

// Makes `call` (a system call failing with a negative result and errno) again for as long as a
// signal interrupts it, and returns its last result. Every call that can be interrupted goes here.
template <class Call>
auto retryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && interrupted()) {
        result = call();
    }
    return result;
}

FileIdentity identityFrom(const struct stat& info) {
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// How often a lock file that vanished under our lock is opened again before the set counts as busy.
constexpr int lockAttempts = 10;

// Opens the lock file `path` for its lock, creating it when it is missing; never through a link and
// never anything but a regular file. Where the folder takes no new file, nothing is opened: `busy` when
// the file is there all the same (another user's, who holds or left it), else no lock is possible.
std::error_code openLockFile(const std::string& path, Descriptor& file, bool& busy) {
    constexpr int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    Descriptor opened(retryInterrupted([&] { return ::open(path.c_str(), flags, 0600); }));
    if (!opened.isOpen()) {
        const int error = errno;
        if (error == ELOOP || error == EISDIR || error == ENXIO) {
            return Errc::NotRegularFile;
        }
        if (error == EACCES || error == EPERM || error == EROFS) {
            struct stat info {};
            busy = ::lstat(path.c_str(), &info) == 0;
            return {};
        }
        return std::error_code(error, std::system_category());
    }
    struct stat info {};
    if (::fstat(fd(opened.get()), &info) != 0) {
        return lastError();
    }
    if (!S_ISREG(info.st_mode)) {
        return Errc::NotRegularFile;
    }
    file = std::move(opened);
    return {};
}

}  // namespace

const std::size_t longestPath = PATH_MAX - 1;

std::size_t pathLength(const std::string& utf8) {
    return utf8.size();
}

bool isRegularFile(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(pathFromUtf8(path), ignored);
}

std::error_code sizeOf(const std::string& path, std::int64_t& length) {
    length = 0;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return lastError();
    }
    if (S_ISDIR(info.st_mode)) {
        return std::error_code(EISDIR, std::system_category());
    }
    if (!S_ISREG(info.st_mode)) {
        return Errc::NotRegularFile;
    }
    length = static_cast<std::int64_t>(info.st_size);
    return {};
}

std::error_code forEachFileIn(const std::string& directory,
                              const std::function<void(const std::string& name, bool hidden)>& entry) {
    std::error_code error;
    std::filesystem::directory_iterator it(pathFromUtf8(directory), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored)) {
            entry(utf8FromPath(it->path().filename()), isHidden(it->path()));
        }
    }
    return error;
}

std::string describe(std::error_code code) {
    if (code.category() == std::system_category() || code.category() == std::generic_category()) {
        if (const char* text = germanReason(static_cast<std::errc>(code.value()))) {
            return text;
        }
    }
    return code.message();
}

std::error_code openForReading(const std::string& path, Descriptor& file) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer. It stays set: regular files ignore it,
    // and a /proc file that would never answer (kmsg) fails its read instead of hanging the program.
    Descriptor opened(
        retryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
    if (!opened.isOpen()) {
        return lastError();
    }
    struct stat info {};
    if (::fstat(fd(opened.get()), &info) != 0) {
        return lastError();
    }
    if (S_ISDIR(info.st_mode)) {
        return std::error_code(EISDIR, std::system_category());
    }
    if (!S_ISREG(info.st_mode)) {
        return Errc::NotRegularFile;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd(opened.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    file = std::move(opened);
    return {};
}

std::error_code createNew(const std::string& path, Descriptor& file) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    Descriptor created(retryInterrupted([&] { return ::open(path.c_str(), flags, 0666); }));
    if (!created.isOpen()) {
        return lastError();
    }
    file = std::move(created);
    return {};
}

std::error_code closeHandle(Handle handle) {
    // Linux closes the descriptor even when close reports an interruption, so close is never retried.
    if (::close(fd(handle)) != 0 && !interrupted()) {
        return lastError();
    }
    return {};
}

std::error_code lengthOf(Handle handle, std::int64_t& length) {
    struct stat info {};
    if (::fstat(fd(handle), &info) != 0) {
        return lastError();
    }
    length = static_cast<std::int64_t>(info.st_size);
    return {};
}

std::error_code readAt(Handle handle, void* buffer, std::size_t size, std::int64_t offset,
                       std::size_t& done) {
    const ssize_t result =
        retryInterrupted([&] { return ::pread(fd(handle), buffer, size, static_cast<off_t>(offset)); });
    done = result < 0 ? 0 : static_cast<std::size_t>(result);
    return result < 0 ? lastError() : std::error_code();
}

std::error_code writeAt(Handle handle, const void* buffer, std::size_t size, std::int64_t offset,
                        std::size_t& done) {
    const ssize_t result =
        retryInterrupted([&] { return ::pwrite(fd(handle), buffer, size, static_cast<off_t>(offset)); });
    done = result < 0 ? 0 : static_cast<std::size_t>(result);
    return result < 0 ? lastError() : std::error_code();
}

FastCopy fastCopy(Handle from, std::int64_t fromOffset, Handle to, std::int64_t toOffset, std::size_t size,
                  int injectedError, std::size_t& done, std::error_code& error) {
    done = 0;
#ifdef __linux__
    auto in = static_cast<off_t>(fromOffset);
    auto out = static_cast<off_t>(toOffset);
    const ssize_t result = retryInterrupted([&] {
        if (injectedError != 0) {
            errno = std::exchange(injectedError, 0);
            return ssize_t{-1};
        }
        return ::copy_file_range(fd(from), &in, fd(to), &out, size, 0);
    });
    if (result > 0) {
        done = static_cast<std::size_t>(result);
        return FastCopy::Copied;
    }
    if (result == 0) {
        // Nothing copied before the expected end: some file systems report this instead of an error.
        return FastCopy::Unavailable;
    }
    switch (const int failure = errno) {
        case ENOSYS:
        case EXDEV:
        case EOPNOTSUPP:
        case EINVAL:
        case EBADF:
        case EPERM:
        case ETXTBSY:
            return FastCopy::Unavailable;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            error = std::error_code(failure, std::system_category());
            return FastCopy::Failed;
        default:
            // Not clear which file failed: the plain reads and writes will tell.
            return FastCopy::Unavailable;
    }
#else
    (void)from, (void)fromOffset, (void)to, (void)toOffset, (void)size, (void)injectedError, (void)error;
    return FastCopy::Unavailable;
#endif
}

void findData(Handle handle, std::int64_t offset, std::int64_t& dataStart, std::int64_t& dataEnd) {
    constexpr std::int64_t end = std::numeric_limits<std::int64_t>::max();
    dataStart = offset;
    dataEnd = end;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    const off_t data = ::lseek(fd(handle), static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
        // ENXIO: nothing but a hole from here to the end; any other error: assume data.
        if (errno == ENXIO) {
            dataStart = dataEnd = end;
        }
        return;
    }
    dataStart = static_cast<std::int64_t>(data);
    const off_t hole = ::lseek(fd(handle), data, SEEK_HOLE);
    if (hole > data) {
        dataEnd = static_cast<std::int64_t>(hole);
    }
#else
    (void)handle;
#endif
}

std::error_code setLength(Handle handle, std::int64_t length) {
    const int result = retryInterrupted([&] { return ::ftruncate(fd(handle), static_cast<off_t>(length)); });
    return result != 0 ? lastError() : std::error_code();
}

std::error_code reserveSpace(Handle handle, std::int64_t bytes) {
#ifdef __linux__
    if (bytes > 0 && retryInterrupted([&] {
                         return ::fallocate(fd(handle), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
                     }) != 0) {
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
            return lastError();
        }
    }
#else
    (void)handle;
    (void)bytes;
#endif
    return {};
}

std::error_code unexpectedEndOfFile() {
    return std::error_code(EIO, std::system_category());
}

bool isHidden(const std::filesystem::path& path) {
    const std::string name = utf8FromPath(path.filename());
    return !name.empty() && name.front() == '.';
}

std::error_code renameReplacing(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) != 0 ? lastError() : std::error_code();
}

std::error_code entryAt(const std::string& path, Entry& entry) {
    entry = Entry{};
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? std::error_code() : lastError();
    }
    entry.identity = identityFrom(info);
    if (S_ISREG(info.st_mode)) {
        entry.type = EntryType::Regular;
    } else if (S_ISLNK(info.st_mode)) {
        entry.type = EntryType::Link;
    } else if (S_ISDIR(info.st_mode)) {
        entry.type = EntryType::Directory;
    } else {
        entry.type = EntryType::Other;
    }
    return {};
}

std::error_code identityAt(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return lastError();
    }
    identity = identityFrom(info);
    return {};
}

std::error_code identityOf(Handle handle, FileIdentity& identity) {
    struct stat info {};
    if (::fstat(fd(handle), &info) != 0) {
        return lastError();
    }
    identity = identityFrom(info);
    return {};
}

std::error_code removeEntry(const std::string& path, bool /*clearAttributes*/) {
    // unlink needs no write permission on the file itself, and removes a link, never its target.
    return ::unlink(path.c_str()) != 0 ? lastError() : std::error_code();
}

// The name through which an unnamed file can be linked.
std::string procPath(Handle handle) {
    return "/proc/self/fd/" + std::to_string(fd(handle));
}

std::error_code createUnnamed(const std::string& folder, Descriptor& file, bool& supported) {
    supported = false;
#ifdef O_TMPFILE
    const std::string where = folder.empty() ? std::string(".") : folder;
    Descriptor created(
        retryInterrupted([&] { return ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); }));
    // Any failure (old kernels, vfat and exFAT, a missing folder) leaves it to the named file, which
    // then reports a real one; so does a system without /proc, through which the file gets its name.
    if (created.isOpen() && ::access(procPath(created.get()).c_str(), F_OK) == 0) {
        file = std::move(created);
        supported = true;
    }
#else
    (void)folder, (void)file;
#endif
    return {};
}

std::error_code linkUnnamed(Handle handle, const std::string& path) {
    const int result = retryInterrupted([&] {
        return ::linkat(AT_FDCWD, procPath(handle).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    });
    return result != 0 ? lastError() : std::error_code();
}

std::error_code openForFlush(const std::string& path, Descriptor& file) {
    return openForReading(path, file);
}

std::error_code flushRange(Handle handle, std::int64_t offset, std::int64_t length) {
#ifdef __linux__
    constexpr unsigned int flags =
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (retryInterrupted([&] {
            return ::sync_file_range(fd(handle), static_cast<off_t>(offset), static_cast<off_t>(length),
                                     flags);
        }) != 0) {
        return lastError();
    }
#else
    (void)handle, (void)offset, (void)length;
#endif
    return {};
}

std::error_code flushData(Handle handle) {
    return retryInterrupted([&] { return ::fdatasync(fd(handle)); }) != 0 ? lastError() : std::error_code();
}

std::error_code flushFolder(const std::string& folder) {
    const std::string where = folder.empty() ? std::string(".") : folder;
    Descriptor opened(
        retryInterrupted([&] { return ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!opened.isOpen()) {
        return lastError();
    }
    // Some file systems cannot flush a folder on its own and say so; their entries go with the data.
    if (retryInterrupted([&] { return ::fsync(fd(opened.get())); }) != 0 && errno != EINVAL) {
        return lastError();
    }
    return opened.close();
}

std::error_code lock(const std::string& path, Descriptor& file, bool& busy) {
    busy = false;
    // Another holder may remove the file between our open and our lock: the lock then sits on a
    // file nobody else will find, so it is only ours once the name still leads to the file we locked.
    for (int attempt = 0; attempt < lockAttempts; ++attempt) {
        Descriptor opened;
        if (const auto error = openLockFile(path, opened, busy); error || !opened.isOpen()) {
            return error;
        }
        if (retryInterrupted([&] { return ::flock(fd(opened.get()), LOCK_EX | LOCK_NB); }) != 0) {
            busy = errno == EWOULDBLOCK;
            return busy ? std::error_code() : lastError();
        }
        FileIdentity locked;
        Entry named;
        if (const auto error = identityOf(opened.get(), locked)) {
            return error;
        }
        if (const auto error = entryAt(path, named)) {
            return error;
        }
        if (named.type == EntryType::Regular && named.identity == locked) {
            file = std::move(opened);
            return {};
        }
    }
    busy = true;
    return {};
}

void unlock(const std::string& path, Descriptor& file) {
    FileIdentity locked;
    Entry named;
    // Only the file this lock sits on goes, never one somebody put in its place.
    if (!identityOf(file.get(), locked) && !entryAt(path, named) && named.type == EntryType::Regular &&
        named.identity == locked) {
        ::unlink(path.c_str());
    }
    (void)file.close();
}

}  // namespace fileio::platform
