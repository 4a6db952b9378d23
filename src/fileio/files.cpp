#include "fileio/files.hpp"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include "fileio/error.hpp"
#include "fileio/paths.hpp"
#include "fileio/platform.hpp"

namespace fileio {

namespace {

using Handle = Descriptor::Handle;

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

// An errno value (the fault seam's, or a write that stored nothing) as an error code on every platform.
std::error_code errnoError(int value) {
    return std::error_code(value, std::generic_category());
}

// Throws FileError of `kind` naming `path` when `code` is an error.
void check(std::error_code code, FileError::Kind kind, const std::string& path) {
    if (code) {
        fail(kind, path, code);
    }
}

// The fault seam: every write asks it first.
void checkWriteFault(const std::string& path, std::size_t size) {
    if (writeFault) {
        if (const int error = writeFault(path, size); error != 0) {
            fail(FileError::Kind::Io, path, errnoError(error));
        }
    }
}

std::size_t chunkOf(std::int64_t remaining, std::int64_t limit) {
    return static_cast<std::size_t>(std::min(remaining, limit));
}

// Copies with the kernel as far as it will; returns the bytes copied before it became unavailable.
std::int64_t copyWithKernel(Handle from, std::int64_t offset, Handle to, const std::string& toPath,
                            std::int64_t toOffset, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        std::size_t size = chunkOf(count - done, fastCopyChunk);
        const int injected = copyFault ? copyFault(size) : 0;
        checkWriteFault(toPath, size);
        std::size_t copied = 0;
        std::error_code error;
        const auto outcome =
            platform::fastCopy(from, offset + done, to, toOffset + done, size, injected, copied, error);
        if (outcome == platform::FastCopy::Unavailable) {
            break;
        }
        check(error, FileError::Kind::Io, toPath);
        done += static_cast<std::int64_t>(copied);
    }
    return done;
}

// Copies through memory, appending to what was written to `to`.
void copyWithBuffer(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count) {
    // One buffer for every copy of the thread: a fresh one per fragment costs more than its copy
    // when fragments are small, its pages being mapped and zeroed anew each time.
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(copyBufferSize);
    std::int64_t done = 0;
    while (done < count) {
        const std::size_t got = from.readAt(
            buffer.get(), chunkOf(count - done, static_cast<std::int64_t>(copyBufferSize)), offset + done);
        if (got == 0) {
            fail(FileError::Kind::Io, from.path(), platform::unexpectedEndOfFile());
        }
        to.write(buffer.get(), got);
        done += static_cast<std::int64_t>(got);
    }
}

}  // namespace

bool fileExists(const std::string& path) {
    return platform::isRegularFile(path);
}

std::int64_t fileSize(const std::string& path) {
    std::int64_t length = 0;
    check(platform::sizeOf(path, length), FileError::Kind::CannotOpen, path);
    return length;
}

std::vector<FolderEntry> regularFilesIn(const std::string& directory) {
    std::vector<FolderEntry> entries;
    check(platform::forEachFileIn(directory,
                                  [&entries](const std::string& name, bool hidden) {
                                      entries.push_back({name, hidden});
                                  }),
          FileError::Kind::CannotOpen, directory);
    return entries;
}

Entry entryAt(const std::string& path) {
    Entry entry;
    check(platform::entryAt(path, entry), FileError::Kind::Io, path);
    return entry;
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    FileIdentity identity;
    if (platform::identityAt(path, identity)) {
        return std::nullopt;
    }
    return identity;
}

void removeFile(const std::string& path, bool evenReadOnly) {
    const EntryType type = entryAt(path).type;
    switch (type) {
        case EntryType::None:
            return;
        case EntryType::Regular:
        case EntryType::Link:
            check(platform::removeEntry(path, evenReadOnly && type == EntryType::Regular),
                  FileError::Kind::Io, path);
            return;
        case EntryType::Directory:
        case EntryType::Other:
            fail(FileError::Kind::Io, path, Errc::NotRegularFile);
    }
}

void renameReplacing(const std::string& from, const std::string& to) {
    check(platform::renameReplacing(from, to), FileError::Kind::Io, to);
}

LockFile::~LockFile() {
    release();
}

LockFile::LockFile(LockFile&& other) noexcept
    : path_(std::move(other.path_)), file_(std::move(other.file_)) {}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        file_ = std::move(other.file_);
    }
    return *this;
}

std::optional<LockFile> LockFile::tryLock(const std::string& path) {
    LockFile lock;
    bool busy = false;
    check(platform::lock(path, lock.file_, busy), FileError::Kind::Io, path);
    if (busy) {
        return std::nullopt;
    }
    lock.path_ = path;
    return lock;
}

void LockFile::release() noexcept {
    if (file_.isOpen()) {
        platform::unlock(path_, file_);
    }
}

InputFile::InputFile(const std::string& path) : path_(path) {
    check(platform::openForReading(path, file_), FileError::Kind::CannotOpen, path);
}

FileIdentity InputFile::identity() const {
    FileIdentity identity;
    check(platform::identityOf(file_.get(), identity), FileError::Kind::Io, path_);
    return identity;
}

std::int64_t InputFile::size() const {
    std::int64_t length = 0;
    check(platform::lengthOf(file_.get(), length), FileError::Kind::Io, path_);
    return length;
}

std::size_t InputFile::readAt(void* buffer, std::size_t size, std::int64_t offset) {
    std::size_t got = 0;
    check(platform::readAt(file_.get(), buffer, size, offset, got), FileError::Kind::Io, path_);
    return got;
}

std::size_t InputFile::read(void* buffer, std::size_t size) {
    const std::size_t got = readAt(buffer, size, position_);
    position_ += static_cast<std::int64_t>(got);
    return got;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    check(platform::createNew(path, file_), FileError::Kind::CannotOpen, path);
}

void OutputFile::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        checkWriteFault(path_, size - done);
        std::size_t put = 0;
        check(platform::writeAt(file_.get(), bytes + done, size - done, written_, put), FileError::Kind::Io,
              path_);
        if (put == 0) {
            fail(FileError::Kind::Io, path_, errnoError(EIO));
        }
        done += put;
        written_ += static_cast<std::int64_t>(put);
    }
}

void OutputFile::reserve(std::int64_t bytes) {
    check(platform::reserveSpace(file_.get(), bytes), FileError::Kind::Io, path_);
}

void OutputFile::close() {
    check(file_.close(), FileError::Kind::Io, path_);
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
        platform::findData(from.file_.get(), offset + done, dataStart, dataEnd);
        // A hole in the source stays a hole in the copy: it reads back as the same zeros.
        if (const std::int64_t hole = std::min(dataStart - (offset + done), count - done); hole > 0) {
            done += hole;
            endsInHole = true;
            continue;
        }
        const std::int64_t run = std::min(dataEnd - (offset + done), count - done);
        const std::int64_t copied = kernelCopy ? copyWithKernel(from.file_.get(), offset + done,
                                                                to.file_.get(), to.path_, start + done, run)
                                               : 0;
        if (copied < run) {
            kernelCopy = false;
            to.written_ = start + done + copied;
            copyWithBuffer(from, offset + done + copied, to, run - copied);
        }
        done += run;
        endsInHole = false;
    }
    if (endsInHole) {
        checkWriteFault(to.path(), 0);
        check(platform::setLength(to.file_.get(), start + count), FileError::Kind::Io, to.path());
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

}  // namespace fileio
