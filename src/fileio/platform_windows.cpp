#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

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

std::error_code opened(HANDLE handle, Descriptor& file) {
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    file = Descriptor(reinterpret_cast<Handle>(handle));
    return {};
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
    return identityOf(file.get(), identity);
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

const std::size_t longestPath = 32767 - 1;

std::size_t pathLength(const std::string& utf8) {
    return wide(utf8).size();
}

bool isRegularFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return attributesOf(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::error_code sizeOf(const std::string& path, std::int64_t& length) {
    length = 0;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributesOf(path, data)) {
        return lastError();
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return Errc::NotRegularFile;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A symbolic link: the attributes are the link's own, the size is that of the file it leads to.
        Descriptor file;
        if (const auto error = opened(::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                    nullptr, OPEN_EXISTING, 0, nullptr),
                                      file)) {
            return error;
        }
        return lengthOf(file.get(), length);
    }
    length = static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    return {};
}

std::error_code forEachFileIn(const std::string& directory,
                              const std::function<void(const std::string& name, bool hidden)>& entry) {
    WIN32_FIND_DATAW found{};
    const std::string pattern = directory.empty() || directory.back() == '\\' || directory.back() == '/'
                                    ? directory + "*"
                                    : directory + "\\*";
    const std::unique_ptr<void, FindCloser> find(::FindFirstFileExW(
        wide(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (find.get() == INVALID_HANDLE_VALUE) {
        // Nothing at all is found only in the empty root of a drive: other folders hold "." and "..".
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? std::error_code() : lastError();
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            entry(utf8(found.cFileName), hiddenByAttributes(found.dwFileAttributes));
        }
    } while (::FindNextFileW(find.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES ? std::error_code() : lastError();
}

namespace {

// The condition of the Windows errors a user meets, for the program's own text of it.
std::optional<std::errc> conditionOf(DWORD error) {
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

std::string describe(std::error_code code) {
    if (code.category() == std::generic_category()) {
        if (const char* text = germanReason(static_cast<std::errc>(code.value()))) {
            return text;
        }
    }
    if (code.category() != std::system_category()) {
        return code.message();
    }
    if (const auto condition = conditionOf(static_cast<DWORD>(code.value()))) {
        return germanReason(*condition);
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
    return utf8(message.c_str());
}

std::error_code openForReading(const std::string& path, Descriptor& file) {
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it is refused here already.
    Descriptor reading;
    if (const auto error = opened(
            ::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
            reading)) {
        // The system says "access denied" for a folder.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (attributesOf(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return std::make_error_code(std::errc::is_a_directory);
        }
        return error;
    }
    // Pipes and character devices (CON, COM1, ...) are no files to read from start to end.
    if (::GetFileType(native(reading.get())) != FILE_TYPE_DISK) {
        return Errc::NotRegularFile;
    }
    file = std::move(reading);
    return {};
}

std::error_code createNew(const std::string& path, Descriptor& file) {
    return opened(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
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
    const DWORD attributes = ::GetFileAttributesW(wide(utf8FromPath(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && hiddenByAttributes(attributes);
}

std::error_code renameReplacing(const std::string& from, const std::string& to) {
    // MoveFileEx refuses to replace a read-only file; a link is replaced itself and keeps its target's.
    if (const auto error = clearAttributes(to)) {
        return error;
    }
    return ::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? std::error_code()
               : lastError();
}

std::error_code entryAt(const std::string& path, Entry& entry) {
    entry = Entry{};
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return isMissing(::GetLastError()) ? std::error_code() : lastError();
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
    return identityAtPath(path, FILE_FLAG_OPEN_REPARSE_POINT, entry.identity);
}

std::error_code identityAt(const std::string& path, FileIdentity& identity) {
    return identityAtPath(path, 0, identity);
}

std::error_code identityOf(Handle handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(native(handle), &information)) {
        return lastError();
    }
    identity.device = information.dwVolumeSerialNumber;
    identity.index = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    return {};
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

std::error_code createUnnamed(const std::string&, Descriptor&, bool& supported) {
    // Windows has no file without a name: the caller creates a named one.
    supported = false;
    return {};
}

std::error_code linkUnnamed(Handle, const std::string&) {
    return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code openForFlush(const std::string& path, Descriptor& file) {
    // FlushFileBuffers needs write access; nothing is written through it.
    return opened(::CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                  file);
}

std::error_code flushRange(Handle, std::int64_t, std::int64_t) {
    return {};
}

std::error_code flushData(Handle handle) {
    return ::FlushFileBuffers(native(handle)) ? std::error_code() : lastError();
}

std::error_code flushFolder(const std::string&) {
    // The renames that name files are written through (MOVEFILE_WRITE_THROUGH); NTFS keeps no folder
    // state of its own to flush.
    return {};
}

std::error_code lock(const std::string& path, Descriptor& file, bool& busy) {
    busy = false;
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
            busy = ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
            return {};
        }
        return lastError();
    }
    Descriptor locking(reinterpret_cast<Handle>(handle));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        return lastError();
    }
    if ((information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        ::GetFileType(handle) != FILE_TYPE_DISK) {
        return Errc::NotRegularFile;
    }
    OVERLAPPED whole = at(0);
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        busy = ::GetLastError() == ERROR_LOCK_VIOLATION;
        return busy ? std::error_code() : lastError();
    }
    file = std::move(locking);
    return {};
}

void unlock(const std::string&, Descriptor& file) {
    OVERLAPPED whole = at(0);
    ::UnlockFileEx(native(file.get()), 0, 1, 0, &whole);
    (void)file.close();
}

}  // namespace fileio::platform
