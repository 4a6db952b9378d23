#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

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

// Throws the last error, naming `path`, when it says the file cannot grow (a full disk, the user's quota, the
// largest file size): a copy, clone or reservation that failed for any other reason is left to the next way.
void failWhenNoRoom(const std::string& path) {
    if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
        fail(path, lastError());
    }
}

int fd(Handle handle) {
    return static_cast<int>(handle);
}

// Makes `call` (a system call failing with a negative result and errno) again for as long as a
// signal interrupts it, and returns its last result. Every call that can be interrupted goes here.
template <class Call>
auto retryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
}

// `result` of a call failing with a negative result and errno; the error thrown naming `path`.
template <class Result>
Result checked(Result result, const std::string& path, FileError::Kind kind = FileError::Kind::Io) {
    if (result < 0) {
        fail(path, lastError(), kind);
    }
    return result;
}

// A test's fault (an errno, 0 for none) as the failed system call it stands for.
bool faulted(int error) {
    errno = error != 0 ? error : errno;
    return error != 0;
}

FileIdentity identityFrom(const struct stat& info) {
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

struct stat statOf(Handle handle, const std::string& path) {
    struct stat info {};
    checked(::fstat(fd(handle), &info), path);
    return info;
}

// How often a lock file that vanished under our lock is opened again before the set counts as busy.
constexpr int lockAttempts = 10;

// Opens the lock file `path` for its lock, creating it when it is missing; never through a link and
// never anything but a regular file. Where the folder takes no new file, nothing is opened: nullopt when
// the file is there all the same (another user's, who holds or left it), else no lock is possible.
std::optional<Descriptor> openLockFile(const std::string& path) {
    constexpr int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    Descriptor opened(retryInterrupted([&] { return ::open(path.c_str(), flags, 0600); }));
    if (!opened.isOpen()) {
        const int error = errno;
        if (error == ELOOP || error == EISDIR || error == ENXIO) {
            fail(path, Errc::NotRegularFile);
        }
        if (error == EACCES || error == EPERM || error == EROFS) {
            // None there: a folder the program cannot write to, where nothing can change through it. One of
            // another user, which may outlive that user's operation: a failure that can name its owner.
            struct stat info {};
            if (::lstat(path.c_str(), &info) != 0) {
                return Descriptor();
            }
            if (info.st_uid != ::geteuid()) {
                fail(path, std::error_code(error, std::system_category()));
            }
            return std::nullopt;
        }
        fail(path, std::error_code(error, std::system_category()));
    }
    if (!S_ISREG(statOf(opened.get(), path).st_mode)) {
        fail(path, Errc::NotRegularFile);
    }
    return opened;
}

}  // namespace

std::size_t pathLength(const std::string& utf8) {
    return utf8.size();
}

void readAhead(Handle handle, std::int64_t offset, std::int64_t length) {
#ifdef POSIX_FADV_WILLNEED
    ::posix_fadvise(fd(handle), static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
#else
    (void)handle, (void)offset, (void)length;
#endif
}

Descriptor openForReading(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer. It stays set: regular files ignore it,
    // and a /proc file that would never answer (kmsg) fails its read instead of hanging the program.
    Descriptor opened(
        checked(retryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }),
                path, FileError::Kind::CannotOpen));
    const auto mode = statOf(opened.get(), path).st_mode;
    if (!S_ISREG(mode)) {
        fail(path, S_ISDIR(mode) ? std::error_code(EISDIR, std::system_category()) : Errc::NotRegularFile,
             FileError::Kind::CannotOpen);
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd(opened.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return opened;
}

std::error_code createNew(const std::string& path, Descriptor& file) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    file = Descriptor(retryInterrupted([&] { return ::open(path.c_str(), flags, 0666); }));
    return file.isOpen() ? std::error_code() : lastError();
}

std::error_code closeHandle(Handle handle) {
    // Linux closes the descriptor even when close reports an interruption, so close is never retried.
    const bool closed = ::close(fd(handle)) == 0 || errno == EINTR;
    if (faulted(operationFault("close", {})) || !closed) {
        return lastError();
    }
    return {};
}

std::int64_t lengthOf(Handle handle, const std::string& path) {
    return static_cast<std::int64_t>(statOf(handle, path).st_size);
}

std::size_t readAt(Handle handle, const std::string& path, void* buffer, std::size_t size,
                   std::int64_t offset) {
    return static_cast<std::size_t>(checked(
        retryInterrupted([&] { return ::pread(fd(handle), buffer, size, static_cast<off_t>(offset)); }),
        path));
}

std::size_t writeAt(Handle handle, const std::string& path, const void* buffer, std::size_t size,
                    std::int64_t offset) {
    return static_cast<std::size_t>(checked(retryInterrupted([&] {
                                                return faulted(writeFault(path, size))
                                                           ? ssize_t{-1}
                                                           : ::pwrite(fd(handle), buffer, size,
                                                                      static_cast<off_t>(offset));
                                            }),
                                            path));
}

std::size_t fastCopy(Handle from, std::int64_t fromOffset, Handle to, const std::string& toPath,
                     std::int64_t toOffset, std::size_t size) {
#ifdef __linux__
    auto in = static_cast<off_t>(fromOffset);
    auto out = static_cast<off_t>(toOffset);
    int injected = copyFault(size);
    const ssize_t result = retryInterrupted([&] {
        if (injected != 0) {
            errno = std::exchange(injected, 0);
            return ssize_t{-1};
        }
        // A test's fault for the write fails the copy as a failed write would.
        if (const int error = writeFault(toPath, size); error != 0) {
            if (error != EINTR) {
                fail(toPath, std::error_code(error, std::generic_category()));
            }
            errno = EINTR;
            return ssize_t{-1};
        }
        return ::copy_file_range(fd(from), &in, fd(to), &out, size, 0);
    });
    // 0: nothing copied before the expected end, which some file systems report instead of an error.
    if (result >= 0) {
        return static_cast<std::size_t>(result);
    }
    failWhenNoRoom(toPath);
    // The kernel cannot copy between these files (ENOSYS, EXDEV, EOPNOTSUPP, ...), or it is not clear which
    // file failed: the plain reads and writes will tell.
    return 0;
#else
    (void)from, (void)fromOffset, (void)to, (void)toPath, (void)toOffset, (void)size;
    return 0;
#endif
}

Clone cloneRange(Handle from, std::int64_t fromOffset, Handle to, const std::string& toPath,
                 std::int64_t toOffset, std::int64_t size) {
#ifdef FICLONERANGE
    file_clone_range range{};
    range.src_fd = fd(from);
    range.src_offset = static_cast<std::uint64_t>(fromOffset);
    range.src_length = static_cast<std::uint64_t>(size);
    range.dest_offset = static_cast<std::uint64_t>(toOffset);
    int result = -1;
    if (const int injected = operationFault("clone", toPath); injected != 0) {
        errno = injected;
    } else {
        result = retryInterrupted([&] { return ::ioctl(fd(to), FICLONERANGE, &range); });
    }
    if (result == 0) {
        return Clone::Made;
    }
    failWhenNoRoom(toPath);
    // EINVAL: offsets off the block size, a range beyond the end of `from`; the copy does this one.
    // EOPNOTSUPP, EXDEV, ENOTTY, ...: nothing is cloned into `to`.
    return errno == EINVAL ? Clone::NotThisRange : Clone::NotHere;
#else
    (void)from, (void)fromOffset, (void)to, (void)toPath, (void)toOffset, (void)size;
    return Clone::NotHere;
#endif
}

ChangeStamp changeStampOf(Handle handle, const std::string& path) {
    const auto status = statOf(handle, path);
    // Any write changes the change time, and nobody can set it back.
    return {static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec,
            static_cast<std::int64_t>(status.st_size)};
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

void setLength(Handle handle, const std::string& path, std::int64_t length) {
    checked(retryInterrupted([&] {
                return faulted(writeFault(path, 0)) ? -1
                                                    : ::ftruncate(fd(handle), static_cast<off_t>(length));
            }),
            path);
}

void reserveSpace(Handle handle, const std::string& path, std::int64_t offset, std::int64_t bytes) {
#ifdef __linux__
    if (bytes > 0 && retryInterrupted([&] {
                         return ::fallocate(fd(handle), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                                            static_cast<off_t>(bytes));
                     }) != 0) {
        failWhenNoRoom(path);
    }
#else
    (void)handle, (void)path, (void)offset, (void)bytes;
#endif
}

void renameReplacing(const std::string& from, const std::string& to) {
    checked(faulted(operationFault("rename", to)) ? -1 : ::rename(from.c_str(), to.c_str()), to);
}

FileIdentity identityOf(Handle handle, const std::string& path) {
    return identityFrom(statOf(handle, path));
}

std::error_code removeEntry(const std::string& path, bool /*clearAttributes*/) {
    // unlink needs no write permission on the file itself, and removes a link, never its target.
    return ::unlink(path.c_str()) != 0 ? lastError() : std::error_code();
}

// The name through which an unnamed file can be linked.
std::string procPath(Handle handle) {
    return "/proc/self/fd/" + std::to_string(fd(handle));
}

Descriptor createUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
    const std::string where = folder.empty() ? std::string(".") : folder;
    Descriptor created(
        retryInterrupted([&] { return ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); }));
    // Any failure (old kernels, vfat and exFAT, a missing folder) leaves it to the named file, which
    // then reports a real one; so does a system without /proc, through which the file gets its name.
    if (created.isOpen() && ::access(procPath(created.get()).c_str(), F_OK) == 0) {
        return created;
    }
#else
    (void)folder;
#endif
    return {};
}

std::error_code linkUnnamed(Handle handle, const std::string& path) {
    const int result = retryInterrupted([&] {
        return ::linkat(AT_FDCWD, procPath(handle).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    });
    return result != 0 ? lastError() : std::error_code();
}

Descriptor openForFlush(const std::string& path) {
    try {
        return openForReading(path);
    } catch (const FileError& error) {
        fail(path, error.code());
    }
}

void flushRange(Handle handle, const std::string& path, std::int64_t offset, std::int64_t length) {
#ifdef __linux__
    constexpr unsigned int flags =
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    checked(retryInterrupted([&] {
                return faulted(operationFault("flush", path))
                           ? -1
                           : ::sync_file_range(fd(handle), static_cast<off_t>(offset),
                                               static_cast<off_t>(length), flags);
            }),
            path);
#else
    (void)handle, (void)offset, (void)length;
    checked(faulted(operationFault("flush", path)) ? -1 : 0, path);
#endif
}

void flushData(Handle handle, const std::string& path) {
    checked(retryInterrupted(
                [&] { return faulted(operationFault("flush", path)) ? -1 : ::fdatasync(fd(handle)); }),
            path);
}

void flushFolder(const std::string& path) {
    const std::string folder = utf8FromPath(pathFromUtf8(path).parent_path());
    const std::string where = folder.empty() ? std::string(".") : folder;
    Descriptor opened(checked(
        retryInterrupted([&] { return ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }), path));
    // Some file systems cannot flush a folder on its own and say so; their entries go with the data.
    if (retryInterrupted(
            [&] { return faulted(operationFault("flush", path)) ? -1 : ::fsync(fd(opened.get())); }) != 0 &&
        errno != EINVAL) {
        fail(path, lastError());
    }
    if (const auto error = opened.close()) {
        fail(path, error);
    }
}

std::optional<Descriptor> lock(const std::string& path) {
    // Another holder may remove the file between our open and our lock: the lock then sits on a
    // file nobody else will find, so it is only ours once the name still leads to the file we locked.
    for (int attempt = 0; attempt < lockAttempts; ++attempt) {
        auto opened = openLockFile(path);
        if (!opened || !opened->isOpen()) {
            return opened;
        }
        testing::stepReached("lock-opened", attempt);
        if (retryInterrupted([&] { return ::flock(fd(opened->get()), LOCK_EX | LOCK_NB); }) != 0) {
            if (errno == EWOULDBLOCK) {
                return std::nullopt;
            }
            fail(path, lastError());
        }
        const Entry named = entryAt(path);
        if (named.type == EntryType::Regular && named.identity == identityOf(opened->get(), path)) {
            return opened;
        }
    }
    return std::nullopt;
}

void unlock(const std::string& path, Descriptor& file) {
    // Only the file this lock sits on goes, never one somebody put in its place.
    struct stat locked {};
    struct stat named {};
    if (::fstat(fd(file.get()), &locked) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        S_ISREG(named.st_mode) && identityFrom(named) == identityFrom(locked)) {
        ::unlink(path.c_str());
    }
    (void)file.close();
}

}  // namespace fileio::platform

namespace fileio {

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::int64_t fileSize(const std::string& path) {
    struct stat info {};
    platform::checked(::stat(path.c_str(), &info), path, FileError::Kind::CannotOpen);
    if (!S_ISREG(info.st_mode)) {
        platform::fail(
            path,
            S_ISDIR(info.st_mode) ? std::error_code(EISDIR, std::system_category()) : Errc::NotRegularFile,
            FileError::Kind::CannotOpen);
    }
    return static_cast<std::int64_t>(info.st_size);
}

std::vector<FolderEntry> regularFilesIn(const std::string& directory) {
    std::vector<FolderEntry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(pathFromUtf8(directory), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored)) {
            entries.push_back({utf8FromPath(it->path().filename()), isHidden(it->path())});
        }
    }
    if (error) {
        platform::fail(directory, error, FileError::Kind::CannotOpen);
    }
    return entries;
}

bool isHidden(const std::filesystem::path& path) {
    const std::string name = utf8FromPath(path.filename());
    return !name.empty() && name.front() == '.';
}

Entry entryAt(const std::string& path) {
    Entry entry;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return entry;
        }
        platform::fail(path, platform::lastError());
    }
    entry.identity = platform::identityFrom(info);
    if (S_ISREG(info.st_mode)) {
        entry.type = EntryType::Regular;
    } else if (S_ISLNK(info.st_mode)) {
        entry.type = EntryType::Link;
    } else if (S_ISDIR(info.st_mode)) {
        entry.type = EntryType::Directory;
    } else {
        entry.type = EntryType::Other;
    }
    return entry;
}

bool isDescriptorPath(const std::string& path) {
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
    return absolute == "/dev/stdin" || absolute == "/dev/stdout" || absolute == "/dev/stderr" ||
           absolute.starts_with("/dev/fd/") ||
           (absolute.starts_with("/proc/") && absolute.find("/fd/") != std::string::npos);
}

bool takesLessRoomThanItsLength(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && static_cast<std::int64_t>(info.st_blocks) * 512 < info.st_size;
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return platform::identityFrom(info);
}

std::optional<std::string> otherOwnerOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || info.st_uid == ::geteuid()) {
        return std::nullopt;
    }
    passwd entry{}, *found = nullptr;
    std::string buffer(16384, '\0');
    if (::getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::to_string(info.st_uid);
    }
    return std::string(entry.pw_name);
}

std::size_t longestPath() {
    return PATH_MAX - 1;
}

std::optional<std::errc> conditionOf(std::error_code code) {
    if (code.category() == std::system_category() || code.category() == std::generic_category()) {
        return static_cast<std::errc>(code.value());
    }
    return std::nullopt;
}

std::string systemText(std::error_code code) {
    return code.message();
}

}  // namespace fileio
