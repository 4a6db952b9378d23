#include "fragments/file_io.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <utility>

#include "fragments/errors.hpp"
#include "fragments/paths.hpp"
#include "fragments/platform.hpp"

namespace fragments {

namespace {

// Large enough to keep the system calls rare, small enough that the copy in and out of it stays in
// the CPU's cache (1 MiB buffers copied at half the speed), and memory never depends on the fragment size.
constexpr std::size_t copyBufferSize = std::size_t{256} << 10;
// One kernel copy per call stays well below what every kernel accepts in one go.
constexpr std::int64_t fastCopyChunk = std::int64_t{1} << 30;

std::function<int(const std::string&, std::size_t)> writeFault;
std::function<int(std::size_t&)> copyFault;
bool readWriteOnly = false;

[[noreturn]] void fail(FileError::Kind kind, const std::string& path, std::error_code code) {
    throw FileError(kind, path, code);
}

// The fault seam: every write asks it first.
void checkWriteFault(const std::string& path, std::size_t size) {
    if (writeFault) {
        if (const int error = writeFault(path, size); error != 0) {
            fail(FileError::Kind::Io, path, platform::errorFromErrno(error));
        }
    }
}

std::size_t chunkOf(std::int64_t remaining, std::int64_t limit) {
    return static_cast<std::size_t>(std::min(remaining, limit));
}

// Copies with the kernel as far as it will; returns the bytes copied before it became unavailable.
std::int64_t copyWithKernel(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t toOffset,
                            std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        std::size_t size = chunkOf(count - done, fastCopyChunk);
        const int injected = copyFault ? copyFault(size) : 0;
        checkWriteFault(to.path(), size);
        std::size_t copied = 0;
        std::error_code error;
        const auto outcome = platform::fastCopy(from.handle(), offset + done, to.handle(), toOffset + done,
                                                size, injected, copied, error);
        if (outcome == platform::FastCopy::Unavailable) {
            break;
        }
        if (outcome == platform::FastCopy::Failed) {
            fail(FileError::Kind::Io, to.path(), error);
        }
        done += static_cast<std::int64_t>(copied);
    }
    return done;
}

void copyWithBuffer(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t toOffset,
                    std::int64_t count) {
    // One buffer for every copy of the thread: a fresh one per fragment costs more than its copy
    // when fragments are small, its pages being mapped and zeroed anew each time.
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(copyBufferSize);
    std::int64_t done = 0;
    while (done < count) {
        std::size_t got = 0;
        if (auto error = platform::readAt(from.handle(), buffer.get(),
                                          chunkOf(count - done, static_cast<std::int64_t>(copyBufferSize)),
                                          offset + done, got)) {
            fail(FileError::Kind::Io, from.path(), error);
        }
        if (got == 0) {
            fail(FileError::Kind::Io, from.path(), platform::unexpectedEndOfFile());
        }
        std::size_t written = 0;
        while (written < got) {
            checkWriteFault(to.path(), got - written);
            std::size_t put = 0;
            if (auto error = platform::writeAt(to.handle(), buffer.get() + written, got - written,
                                               toOffset + done + static_cast<std::int64_t>(written), put)) {
                fail(FileError::Kind::Io, to.path(), error);
            }
            if (put == 0) {
                fail(FileError::Kind::Io, to.path(), platform::errorFromErrno(EIO));
            }
            written += put;
        }
        done += static_cast<std::int64_t>(got);
    }
}

}  // namespace

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(pathFromUtf8(path), ignored);
}

std::int64_t fileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(pathFromUtf8(path), error);
    if (error) {
        fail(FileError::Kind::CannotOpen, path, error);
    }
    return static_cast<std::int64_t>(size);
}

void removeFile(const std::string& path, bool resetAttributesFirst) {
    if (!fileExists(path)) {
        return;
    }
    if (resetAttributesFirst) {
        if (auto error = platform::resetAttributes(path)) {
            fail(FileError::Kind::Io, path, error);
        }
    }
    if (auto error = platform::removeFile(path)) {
        fail(FileError::Kind::Io, path, error);
    }
}

InputFile::InputFile(const std::string& path) : path_(path) {
    if (auto error = platform::openForReading(path, fd_)) {
        fail(FileError::Kind::CannotOpen, path, error);
    }
    platform::adviseSequential(fd_);
}

InputFile::~InputFile() {
    if (fd_ != platform::invalidHandle) {
        platform::closeHandle(fd_);
    }
}

std::int64_t InputFile::size() const {
    std::int64_t length = 0;
    if (auto error = platform::lengthOf(fd_, length)) {
        fail(FileError::Kind::Io, path_, error);
    }
    return length;
}

OutputFile::OutputFile(const std::string& path, bool mustBeNew) : path_(path) {
    if (auto error = platform::createForWriting(path, mustBeNew, fd_)) {
        fail(FileError::Kind::CannotOpen, path, error);
    }
}

OutputFile::~OutputFile() {
    if (fd_ != platform::invalidHandle) {
        platform::closeHandle(fd_);
    }
}

void OutputFile::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        checkWriteFault(path_, size - done);
        std::size_t put = 0;
        if (auto error = platform::writeAt(fd_, bytes + done, size - done, written_, put)) {
            fail(FileError::Kind::Io, path_, error);
        }
        if (put == 0) {
            fail(FileError::Kind::Io, path_, platform::errorFromErrno(EIO));
        }
        done += put;
        written_ += static_cast<std::int64_t>(put);
    }
}

void OutputFile::close() {
    if (fd_ == platform::invalidHandle) {
        return;
    }
    const int handle = std::exchange(fd_, platform::invalidHandle);
    if (auto error = platform::closeHandle(handle)) {
        fail(FileError::Kind::Io, path_, error);
    }
}

void copyBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count) {
    if (from.size() < offset + count) {
        fail(FileError::Kind::Io, from.path(), platform::unexpectedEndOfFile());
    }
    const std::int64_t start = to.written_;
    bool kernelCopy = !readWriteOnly;
    bool endsInHole = false;
    std::int64_t done = 0;
    while (done < count) {
        std::int64_t dataStart = 0;
        std::int64_t dataEnd = 0;
        platform::findData(from.handle(), offset + done, dataStart, dataEnd);
        // A hole in the source stays a hole in the copy: it reads back as the same zeros.
        if (const std::int64_t hole = std::min(dataStart - (offset + done), count - done); hole > 0) {
            done += hole;
            endsInHole = true;
            continue;
        }
        const std::int64_t run = std::min(dataEnd - (offset + done), count - done);
        std::int64_t copied = kernelCopy ? copyWithKernel(from, offset + done, to, start + done, run) : 0;
        if (copied < run) {
            kernelCopy = false;
            copyWithBuffer(from, offset + done + copied, to, start + done + copied, run - copied);
        }
        done += run;
        endsInHole = false;
    }
    if (endsInHole) {
        checkWriteFault(to.path(), 0);
        if (auto error = platform::setLength(to.handle(), start + count)) {
            fail(FileError::Kind::Io, to.path(), error);
        }
    }
    to.written_ = start + count;
}

namespace testing {
void setWriteFault(std::function<int(const std::string& path, std::size_t size)> fault) {
    writeFault = std::move(fault);
}
void setCopyFault(std::function<int(std::size_t& size)> fault) {
    copyFault = std::move(fault);
}
void forceReadWriteCopy(bool on) {
    readWriteOnly = on;
}
}  // namespace testing

}  // namespace fragments
