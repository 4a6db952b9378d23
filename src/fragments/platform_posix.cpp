#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "fragments/paths.hpp"
#include "fragments/platform.hpp"

namespace fragments::platform {

namespace {
std::error_code lastError() {
    return std::error_code(errno, std::system_category());
}
}  // namespace

std::error_code openForReading(const std::string& path, Handle& handle) {
    do {
        handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        return lastError();
    }
    struct stat info {};
    if (::fstat(handle, &info) != 0 || S_ISDIR(info.st_mode)) {
        const auto error =
            S_ISDIR(info.st_mode) ? std::error_code(EISDIR, std::system_category()) : lastError();
        ::close(handle);
        handle = invalidHandle;
        return error;
    }
    return {};
}

std::error_code createForWriting(const std::string& path, bool mustBeNew, Handle& handle) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : O_TRUNC);
    do {
        handle = ::open(path.c_str(), flags, 0666);
    } while (handle < 0 && errno == EINTR);
    return handle < 0 ? lastError() : std::error_code();
}

std::error_code closeHandle(Handle handle) {
    // Linux closes the descriptor even when close reports EINTR, so it must not be retried.
    if (::close(handle) != 0 && errno != EINTR) {
        return lastError();
    }
    return {};
}

std::error_code lengthOf(Handle handle, std::int64_t& length) {
    struct stat info {};
    if (::fstat(handle, &info) != 0) {
        return lastError();
    }
    length = static_cast<std::int64_t>(info.st_size);
    return {};
}

std::error_code readAt(Handle handle, void* buffer, std::size_t size, std::int64_t offset,
                       std::size_t& done) {
    ssize_t result;
    do {
        result = ::pread(handle, buffer, size, static_cast<off_t>(offset));
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        done = 0;
        return lastError();
    }
    done = static_cast<std::size_t>(result);
    return {};
}

std::error_code writeAt(Handle handle, const void* buffer, std::size_t size, std::int64_t offset,
                        std::size_t& done) {
    ssize_t result;
    do {
        result = ::pwrite(handle, buffer, size, static_cast<off_t>(offset));
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        done = 0;
        return lastError();
    }
    done = static_cast<std::size_t>(result);
    return {};
}

FastCopy fastCopy(Handle from, std::int64_t fromOffset, Handle to, std::int64_t toOffset, std::size_t size,
                  int injectedError, std::size_t& done, std::error_code& error) {
    done = 0;
#ifdef __linux__
    auto in = static_cast<off_t>(fromOffset);
    auto out = static_cast<off_t>(toOffset);
    ssize_t result;
    int failure;
    do {
        if (injectedError != 0) {
            result = -1;
            failure = injectedError;
            injectedError = 0;
        } else {
            result = ::copy_file_range(from, &in, to, &out, size, 0);
            failure = result < 0 ? errno : 0;
        }
    } while (result < 0 && failure == EINTR);
    if (result > 0) {
        done = static_cast<std::size_t>(result);
        return FastCopy::Copied;
    }
    if (result == 0) {
        // Nothing copied before the expected end: some file systems report this instead of an error.
        return FastCopy::Unavailable;
    }
    switch (failure) {
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
    const off_t data = ::lseek(handle, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
        // ENXIO: nothing but a hole from here to the end; any other error: assume data.
        if (errno == ENXIO) {
            dataStart = dataEnd = end;
        }
        return;
    }
    dataStart = static_cast<std::int64_t>(data);
    const off_t hole = ::lseek(handle, data, SEEK_HOLE);
    if (hole > data) {
        dataEnd = static_cast<std::int64_t>(hole);
    }
#else
    (void)handle;
#endif
}

std::error_code setLength(Handle handle, std::int64_t length) {
    int result;
    do {
        result = ::ftruncate(handle, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    return result != 0 ? lastError() : std::error_code();
}

std::error_code reserveSpace(Handle handle, std::int64_t bytes) {
#ifdef __linux__
    if (bytes > 0 && ::fallocate(handle, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes)) != 0) {
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

void adviseSequential(Handle handle) {
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(handle, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    (void)handle;
#endif
}

std::error_code errorFromErrno(int value) {
    return std::error_code(value, std::system_category());
}

std::error_code unexpectedEndOfFile() {
    return std::error_code(EIO, std::system_category());
}

bool isHidden(const std::filesystem::path& path) {
    const std::string name = utf8FromPath(path.filename());
    return !name.empty() && name.front() == '.';
}

std::error_code resetAttributes(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return lastError();
    }
    if (::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) != 0) {
        return lastError();
    }
    return {};
}

std::error_code removeFile(const std::string& path) {
    return ::unlink(path.c_str()) != 0 ? lastError() : std::error_code();
}

std::error_code renameReplacing(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) != 0 ? lastError() : std::error_code();
}

}  // namespace fragments::platform
