#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "checksum/file_reader.hpp"

namespace checksum {

namespace {

[[noreturn]] void throwErrno(const std::string& what, const std::string& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path);
}

}  // namespace

std::uint64_t fileLength(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throwErrno("cannot examine", path);
    }
    if (S_ISDIR(info.st_mode)) {
        throw std::system_error(EISDIR, std::generic_category(), "cannot read " + path);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
    do {
        descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0) {
        throwErrno("cannot open", path);
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    ::close(descriptor_);
}

std::size_t ReadOnlyFile::read(std::uint8_t* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer, capacity);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throwErrno("cannot read", path_);
        }
    }
}

}  // namespace checksum
