#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "checksum/file_reader.hpp"

namespace checksum {

namespace {

std::wstring widePath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
}

[[noreturn]] void throwErrno(const std::string& what, const std::string& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path);
}

}  // namespace

std::uint64_t fileLength(const std::string& path) {
    struct _stat64 info {};
    if (::_wstat64(widePath(path).c_str(), &info) != 0) {
        throwErrno("cannot examine", path);
    }
    if ((info.st_mode & _S_IFDIR) != 0) {
        throw std::system_error(EISDIR, std::generic_category(), "cannot read " + path);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
    descriptor_ = ::_wopen(widePath(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (descriptor_ < 0) {
        throwErrno("cannot open", path);
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    ::_close(descriptor_);
}

std::size_t ReadOnlyFile::read(std::uint8_t* buffer, std::size_t capacity) {
    const auto request = static_cast<unsigned int>(capacity < INT_MAX ? capacity : INT_MAX);
    const int got = ::_read(descriptor_, buffer, request);
    if (got < 0) {
        throwErrno("cannot read", path_);
    }
    return static_cast<std::size_t>(got);
}

}  // namespace checksum
