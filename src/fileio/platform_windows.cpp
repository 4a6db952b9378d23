#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <limits>

#include "fileio/paths.hpp"
#include "fileio/platform.hpp"

namespace fileio::platform {

namespace {

std::error_code lastError() {
    const DWORD code = ::GetLastError();
    // The join recognises a name already taken by comparing with errc::file_exists, which not every
    // library's system category maps from the Windows codes.
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
        return std::make_error_code(std::errc::file_exists);
    }
    return std::error_code(static_cast<int>(code), std::system_category());
}

HANDLE native(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::wstring wide(const std::string& path) {
    return pathFromUtf8(path).wstring();
}

// ReadFile and WriteFile take at most 4 GiB - 1 per call; a bounded chunk is plenty.
DWORD chunk(std::size_t size) {
    return static_cast<DWORD>(size < (std::size_t{1} << 30) ? size : std::size_t{1} << 30);
}

// Positioned reads and writes on a synchronous handle: the offset travels in the OVERLAPPED.
OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return position;
}

std::error_code opened(HANDLE handle, Descriptor& file) {
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    file = Descriptor(reinterpret_cast<Handle>(handle));
    return {};
}

}  // namespace

const std::size_t longestPath = MAX_PATH - 1;

std::size_t pathLength(const std::string& utf8) {
    return wide(utf8).size();
}

std::error_code openForReading(const std::string& path, Descriptor& file) {
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it is refused here already.
    return opened(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                  file);
}

std::error_code createForWriting(const std::string& path, bool mustBeNew, Descriptor& file) {
    return opened(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                mustBeNew ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
                  file);
}

std::error_code closeHandle(Handle handle) {
    return ::CloseHandle(native(handle)) ? std::error_code() : lastError();
}

std::error_code lengthOf(Handle handle, std::int64_t& length) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(native(handle), &size)) {
        return lastError();
    }
    length = size.QuadPart;
    return {};
}

std::error_code readAt(Handle handle, void* buffer, std::size_t size, std::int64_t offset,
                       std::size_t& done) {
    done = 0;
    OVERLAPPED position = at(offset);
    DWORD got = 0;
    if (!::ReadFile(native(handle), buffer, chunk(size), &got, &position)) {
        // Reading at or beyond the end fails with this code on a synchronous handle: the end of file.
        return ::GetLastError() == ERROR_HANDLE_EOF ? std::error_code() : lastError();
    }
    done = got;
    return {};
}

std::error_code writeAt(Handle handle, const void* buffer, std::size_t size, std::int64_t offset,
                        std::size_t& done) {
    done = 0;
    OVERLAPPED position = at(offset);
    DWORD put = 0;
    if (!::WriteFile(native(handle), buffer, chunk(size), &put, &position)) {
        return lastError();
    }
    done = put;
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
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = length;
    return ::SetFileInformationByHandle(native(handle), FileEndOfFileInfo, &end, sizeof end)
               ? std::error_code()
               : lastError();
}

std::error_code reserveSpace(Handle, std::int64_t) {
    return {};
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
    return ::SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL) ? std::error_code() : lastError();
}

std::error_code removeFile(const std::string& path) {
    return ::DeleteFileW(wide(path).c_str()) ? std::error_code() : lastError();
}

std::error_code renameReplacing(const std::string& from, const std::string& to) {
    return ::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? std::error_code()
               : lastError();
}

}  // namespace fileio::platform
