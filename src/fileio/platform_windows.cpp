// The standard library may have defined these already (the library is then compiled as one unit).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <optional>

#include "fileio/error.hpp"
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

// The path as the wide file functions take it (never the ANSI ones: every name is UTF-16 here). An
// absolute path too long for the classic limit of MAX_PATH characters gets the "\\?\" form, which
// lifts the limit but takes every character literally: its "/" are made "\" and its "." and ".."
// resolved first, as Windows itself does for a short path.
std::wstring wide(const std::string& path) {
    const std::filesystem::path native = pathFromUtf8(path);
    std::wstring text = native.wstring();
    if (text.size() < MAX_PATH || !native.is_absolute() || text.starts_with(L"\\\\?\\") ||
        text.starts_with(L"\\\\.\\")) {
        return text;
    }
    text = native.lexically_normal().wstring();
    if (text.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + text.substr(2);
    }
    return L"\\\\?\\" + text;
}

std::string utf8(const wchar_t* text) {
    return utf8FromPath(std::filesystem::path(text));
}

bool hiddenByAttributes(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

// What the system knows of the file or folder at `path` without opening it.
bool attributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return ::GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data) != 0;
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

// A test's fault for `operation` on `path` as the failure of the call it stands for.
void checkFault(std::string_view operation, const std::string& path) {
    if (const int error = operationFault(operation, path); error != 0) {
        fail(path, std::error_code(error, std::generic_category()));
    }
}

std::error_code opened(HANDLE handle, Descriptor& file) {
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    file = Descriptor(reinterpret_cast<Handle>(handle));
    return {};
}

// Throws the last error naming `path` unless `succeeded`.
void check(bool succeeded, const std::string& path, FileError::Kind kind = FileError::Kind::Io) {
    if (!succeeded) {
        fail(path, lastError(), kind);
    }
}

FileIdentity identityFrom(const BY_HANDLE_FILE_INFORMATION& information) {
    return {information.dwVolumeSerialNumber,
            (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

bool isMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// The identity of what `path` names; `flags` FILE_FLAG_OPEN_REPARSE_POINT for a link itself.
std::error_code identityAtPath(const std::string& path, DWORD flags, FileIdentity& identity) {
    Descriptor file;
    if (const auto error =
            opened(::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr),
                   file)) {
        return error;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(native(file.get()), &information)) {
        return lastError();
    }
    identity = identityFrom(information);
    return {};
}

// Clears the read-only, hidden and system attributes of the regular file `path` itself, which stop
// its deletion or replacement; links and missing names stay as they are.
std::error_code clearAttributes(const std::string& path) {
    constexpr DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const std::wstring name = wide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & blocking) == 0 ||
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return {};
    }
    return ::SetFileAttributesW(name.c_str(), (attributes & ~blocking) | FILE_ATTRIBUTE_NORMAL)
               ? std::error_code()
               : lastError();
}

struct FindCloser {
    void operator()(HANDLE find) const { ::FindClose(find); }
};

}  // namespace

std::size_t pathLength(const std::string& utf8) {
    return wide(utf8).size();
}

Descriptor openForReading(const std::string& path) {
    constexpr auto cannotOpen = FileError::Kind::CannotOpen;
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it is refused here already.
    Descriptor reading;
    if (const auto error = opened(
            ::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
            reading)) {
        // The system says "access denied" for a folder.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (attributesOf(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            fail(path, std::make_error_code(std::errc::is_a_directory), cannotOpen);
        }
        fail(path, error, cannotOpen);
    }
    // Pipes and character devices (CON, COM1, ...) are no files to read from start to end.
    if (::GetFileType(native(reading.get())) != FILE_TYPE_DISK) {
        fail(path, Errc::NotRegularFile, cannotOpen);
    }
    return reading;
}

std::error_code createNew(const std::string& path, Descriptor& file) {
    return opened(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
                  file);
}

std::error_code closeHandle(Handle handle) {
    const bool closed = ::CloseHandle(native(handle)) != 0;
    if (const int error = operationFault("close", {}); error != 0) {
        return {error, std::generic_category()};
    }
    return closed ? std::error_code() : lastError();
}

std::int64_t lengthOf(Handle handle, const std::string& path) {
    LARGE_INTEGER size{};
    check(::GetFileSizeEx(native(handle), &size), path);
    return size.QuadPart;
}

std::size_t readAt(Handle handle, const std::string& path, void* buffer, std::size_t size,
                   std::int64_t offset) {
    OVERLAPPED position = at(offset);
    DWORD got = 0;
    // Reading at or beyond the end fails with ERROR_HANDLE_EOF on a synchronous handle: the end of file.
    check(::ReadFile(native(handle), buffer, chunk(size), &got, &position) ||
              ::GetLastError() == ERROR_HANDLE_EOF,
          path);
    return got;
}

std::size_t writeAt(Handle handle, const std::string& path, const void* buffer, std::size_t size,
                    std::int64_t offset) {
    // Windows has no interrupted calls: a test's EINTR stands for one that was tried again.
    int fault = EINTR;
    while (fault == EINTR) {
        fault = writeFault(path, size);
    }
    if (fault != 0) {
        fail(path, std::error_code(fault, std::generic_category()));
    }
    OVERLAPPED position = at(offset);
    DWORD put = 0;
    check(::WriteFile(native(handle), buffer, chunk(size), &put, &position), path);
    return put;
}

std::size_t fastCopy(Handle, std::int64_t, Handle, const std::string&, std::int64_t, std::size_t) {
    return 0;
}

void readAhead(Handle, std::int64_t, std::int64_t) {}

Clone cloneRange(Handle, std::int64_t, Handle, const std::string&, std::int64_t, std::int64_t) {
    return Clone::NotHere;
}

ChangeStamp changeStampOf(Handle handle, const std::string& path) {
    return {0, lengthOf(handle, path)};
}

void findData(Handle, std::int64_t offset, std::int64_t& dataStart, std::int64_t& dataEnd) {
    dataStart = offset;
    dataEnd = std::numeric_limits<std::int64_t>::max();
}

void setLength(Handle handle, const std::string& path, std::int64_t length) {
    if (const int fault = writeFault(path, 0); fault != 0) {
        fail(path, std::error_code(fault, std::generic_category()));
    }
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = length;
    check(::SetFileInformationByHandle(native(handle), FileEndOfFileInfo, &end, sizeof end), path);
}

void reserveSpace(Handle, const std::string&, std::int64_t, std::int64_t) {}

void renameReplacing(const std::string& from, const std::string& to) {
    checkFault("rename", to);
    // MoveFileEx refuses to replace a read-only file; a link is replaced itself and keeps its target's.
    if (const auto error = clearAttributes(to)) {
        fail(to, error);
    }
    check(::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
          to);
}

FileIdentity identityOf(Handle handle, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION information{};
    check(::GetFileInformationByHandle(native(handle), &information), path);
    return identityFrom(information);
}

std::error_code removeEntry(const std::string& path, bool clearFirst) {
    // DeleteFile removes a link itself.
    if (clearFirst) {
        if (const auto error = clearAttributes(path)) {
            return error;
        }
    }
    return ::DeleteFileW(wide(path).c_str()) ? std::error_code() : lastError();
}

Descriptor createUnnamed(const std::string&) {
    // Windows has no file without a name: the caller creates a named one.
    return {};
}

std::error_code linkUnnamed(Handle, const std::string&) {
    return std::make_error_code(std::errc::operation_not_supported);
}

Descriptor openForFlush(const std::string& path) {
    // FlushFileBuffers needs write access; nothing is written through it.
    Descriptor file;
    if (const auto error = opened(::CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                                  file)) {
        fail(path, error);
    }
    return file;
}

void flushRange(Handle, const std::string& path, std::int64_t, std::int64_t) {
    checkFault("flush", path);
}

void flushData(Handle handle, const std::string& path) {
    checkFault("flush", path);
    check(::FlushFileBuffers(native(handle)), path);
}

// The renames that name files are written through (MOVEFILE_WRITE_THROUGH); NTFS keeps no folder
// state of its own to flush.
void flushFolder(const std::string& path) {
    checkFault("flush", path);
}

std::optional<Descriptor> lock(const std::string& path) {
    // Deleted by the system when its last handle closes, so no later holder ever finds a stale one.
    const HANDLE handle = ::CreateFileW(
        wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT) {
            // A file about to be deleted cannot be opened again: its holder is just finishing. A
            // folder that takes no file at all cannot be changed through this program either.
            if (::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
                return std::nullopt;
            }
            return Descriptor();
        }
        fail(path, lastError());
    }
    Descriptor locking(reinterpret_cast<Handle>(handle));
    BY_HANDLE_FILE_INFORMATION information{};
    check(::GetFileInformationByHandle(handle, &information), path);
    if ((information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        ::GetFileType(handle) != FILE_TYPE_DISK) {
        fail(path, Errc::NotRegularFile);
    }
    OVERLAPPED whole = at(0);
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        check(::GetLastError() == ERROR_LOCK_VIOLATION, path);
        return std::nullopt;
    }
    return locking;
}

void unlock(const std::string&, Descriptor& file) {
    OVERLAPPED whole = at(0);
    ::UnlockFileEx(native(file.get()), 0, 1, 0, &whole);
    (void)file.close();
}

}  // namespace fileio::platform

namespace fileio {

bool fileExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return platform::attributesOf(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::int64_t fileSize(const std::string& path) {
    constexpr auto cannotOpen = FileError::Kind::CannotOpen;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    platform::check(platform::attributesOf(path, data), path, cannotOpen);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        platform::fail(path, std::make_error_code(std::errc::is_a_directory), cannotOpen);
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        platform::fail(path, Errc::NotRegularFile, cannotOpen);
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A symbolic link: the attributes are the link's own, the size is that of the file it leads to.
        Descriptor file;
        if (const auto error =
                platform::opened(::CreateFileW(platform::wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, 0, nullptr),
                                 file)) {
            platform::fail(path, error, cannotOpen);
        }
        return platform::lengthOf(file.get(), path);
    }
    return static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}

std::vector<FolderEntry> regularFilesIn(const std::string& directory) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found{};
    const std::string pattern = directory.empty() || directory.back() == '\\' || directory.back() == '/'
                                    ? directory + "*"
                                    : directory + "\\*";
    const std::unique_ptr<void, platform::FindCloser> find(::FindFirstFileExW(
        platform::wide(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (find.get() == INVALID_HANDLE_VALUE) {
        // Nothing at all is found only in the empty root of a drive: other folders hold "." and "..".
        platform::check(::GetLastError() == ERROR_FILE_NOT_FOUND, directory, FileError::Kind::CannotOpen);
        return entries;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            entries.push_back(
                {platform::utf8(found.cFileName), platform::hiddenByAttributes(found.dwFileAttributes)});
        }
    } while (::FindNextFileW(find.get(), &found));
    platform::check(::GetLastError() == ERROR_NO_MORE_FILES, directory, FileError::Kind::CannotOpen);
    return entries;
}

bool isHidden(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(platform::wide(utf8FromPath(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && platform::hiddenByAttributes(attributes);
}

Entry entryAt(const std::string& path) {
    Entry entry;
    const DWORD attributes = ::GetFileAttributesW(platform::wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        platform::check(platform::isMissing(::GetLastError()), path);
        return entry;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        entry.type = EntryType::Directory;
    } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        entry.type = EntryType::Link;
    } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        entry.type = EntryType::Other;
    } else {
        entry.type = EntryType::Regular;
    }
    if (const auto error = platform::identityAtPath(path, FILE_FLAG_OPEN_REPARSE_POINT, entry.identity)) {
        platform::fail(path, error);
    }
    return entry;
}

bool isDescriptorPath(const std::string&) {
    return false;
}

bool takesLessRoomThanItsLength(const std::string&) {
    // Nothing is reserved here (reserveSpace), so nothing asks.
    return false;
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    FileIdentity identity;
    return platform::identityAtPath(path, 0, identity) ? std::nullopt : std::optional(identity);
}

std::optional<std::string> otherOwnerOf(const std::string&) {
    return std::nullopt;  // a file's owner keeps no other user out of a folder here
}

std::size_t longestPath() {
    return 32767 - 1;
}

namespace {

// The condition of the Windows errors a user meets, for the program's own text of it.
std::optional<std::errc> windowsCondition(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::errc::no_such_file_or_directory;
        case ERROR_ACCESS_DENIED:
            return std::errc::permission_denied;
        case ERROR_WRITE_PROTECT:
            return std::errc::read_only_file_system;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::errc::no_space_on_device;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::errc::file_exists;
        case ERROR_FILENAME_EXCED_RANGE:
            return std::errc::filename_too_long;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return std::errc::device_or_resource_busy;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return std::errc::not_enough_memory;
        case ERROR_TOO_MANY_OPEN_FILES:
            return std::errc::too_many_files_open;
        case ERROR_NOT_READY:
            return std::errc::no_such_device;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return std::errc::io_error;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<std::errc> conditionOf(std::error_code code) {
    if (code.category() == std::generic_category()) {
        return static_cast<std::errc>(code.value());
    }
    return code.category() == std::system_category() ? windowsCondition(static_cast<DWORD>(code.value()))
                                                     : std::nullopt;
}

std::string systemText(std::error_code code) {
    if (code.category() != std::system_category()) {
        return code.message();
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code.value()), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return code.message();
    }
    std::wstring message(text, length);
    ::LocalFree(text);
    // The system's texts end in a full stop and a line break, which the messages around them add.
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return utf8FromPath(std::filesystem::path(message));
}

}  // namespace fileio
