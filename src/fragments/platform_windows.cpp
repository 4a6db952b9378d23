#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <limits>

#include "fragments/paths.hpp"
#include "fragments/platform.hpp"

namespace fragments::platform {

namespace {
std::error_code crtError() {
    return std::error_code(errno, std::generic_category());
}
std::error_code win32Error() {
    return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}
std::wstring wide(const std::string& path) {
    return pathFromUtf8(path).wstring();
}
// The C library reads and writes at most UINT_MAX bytes per call; a bounded chunk is plenty.
constexpr std::size_t maxChunk = 1u << 30;
}  // namespace

std::error_code openForReading(const std::string& path, Handle& handle) {
    if (::_wsopen_s(&handle, wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_SEQUENTIAL | _O_NOINHERIT,
                    _SH_DENYNO, 0) != 0) {
        handle = invalidHandle;
        return crtError();
    }
    return {};
}

std::error_code createForWriting(const std::string& path, bool mustBeNew, Handle& handle) {
    const int flags = _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT | (mustBeNew ? _O_EXCL : _O_TRUNC);
    if (::_wsopen_s(&handle, wide(path).c_str(), flags, _SH_DENYWR, _S_IREAD | _S_IWRITE) != 0) {
        handle = invalidHandle;
        return crtError();
    }
    return {};
}

std::error_code reserveSpace(Handle, std::int64_t) {
    return {};
}

std::error_code closeHandle(Handle handle) {
    return ::_close(handle) != 0 ? crtError() : std::error_code();
}

std::error_code lengthOf(Handle handle, std::int64_t& length) {
    const __int64 result = ::_filelengthi64(handle);
    if (result < 0) {
        return crtError();
    }
    length = result;
    return {};
}

std::error_code readAt(Handle handle, void* buffer, std::size_t size, std::int64_t offset,
                       std::size_t& done) {
    done = 0;
    if (::_lseeki64(handle, offset, SEEK_SET) < 0) {
        return crtError();
    }
    const int result = ::_read(handle, buffer, static_cast<unsigned>(size < maxChunk ? size : maxChunk));
    if (result < 0) {
        return crtError();
    }
    done = static_cast<std::size_t>(result);
    return {};
}

std::error_code writeAt(Handle handle, const void* buffer, std::size_t size, std::int64_t offset,
                        std::size_t& done) {
    done = 0;
    if (::_lseeki64(handle, offset, SEEK_SET) < 0) {
        return crtError();
    }
    const int result = ::_write(handle, buffer, static_cast<unsigned>(size < maxChunk ? size : maxChunk));
    if (result < 0) {
        return crtError();
    }
    done = static_cast<std::size_t>(result);
    return {};
}

FastCopy fastCopy(Handle, std::int64_t, Handle, std::int64_t, std::size_t, int, std::size_t& done,
                  std::error_code&) {
    done = 0;
    return FastCopy::Unavailable;
}

void findData(Handle, std::int64_t offset, std::int64_t& dataStart, std::int64_t& dataEnd) {
    dataStart = offset;
    dataEnd = std::numeric_limits<std::int64_t>::max();
}

std::error_code setLength(Handle handle, std::int64_t length) {
    const errno_t result = ::_chsize_s(handle, length);
    return result != 0 ? std::error_code(result, std::generic_category()) : std::error_code();
}

void adviseSequential(Handle) {}

std::error_code errorFromErrno(int value) {
    return std::error_code(value, std::generic_category());
}

std::error_code unexpectedEndOfFile() {
    return std::error_code(ERROR_HANDLE_EOF, std::system_category());
}

bool isHidden(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

std::error_code resetAttributes(const std::string& path) {
    return ::SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL) ? std::error_code() : win32Error();
}

std::error_code removeFile(const std::string& path) {
    return ::DeleteFileW(wide(path).c_str()) ? std::error_code() : win32Error();
}

std::error_code renameReplacing(const std::string& from, const std::string& to) {
    return ::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? std::error_code()
               : win32Error();
}

}  // namespace fragments::platform
