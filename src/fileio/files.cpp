#include "fileio/files.hpp"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include "fileio/buffer.hpp"
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
bool namedPendingFiles = false;
std::function<void(std::string_view, std::int64_t)> stepHook;

// How many temporary names are tried before a PendingFile gives up.
constexpr int temporaryNameAttempts = 100;
// The data a Flush writes out per step.
constexpr std::int64_t flushStep = std::int64_t{64} << 20;

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

// The folder `path` lies in; "" for a bare name (the working directory).
std::string folderOf(const std::string& path) {
    return utf8FromPath(pathFromUtf8(path).parent_path());
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

// Reads `count` bytes of `from` from `offset` through one buffer, handing each piece to `piece`.
template <typename Piece>
void readPieces(InputFile& from, std::int64_t offset, std::int64_t count, const Piece& piece) {
    // One buffer for every copy of the thread: a fresh one per fragment costs more than its copy
    // when fragments are small, its pages being mapped and zeroed anew each time.
    thread_local ReadBuffer<char> buffer(copyBufferSize);
    std::int64_t done = 0;
    while (done < count) {
        const std::size_t got = from.readAt(
            buffer.data(), chunkOf(count - done, static_cast<std::int64_t>(copyBufferSize)), offset + done);
        if (got == 0) {
            fail(FileError::Kind::Io, from.path(), platform::unexpectedEndOfFile());
        }
        piece(buffer.data(), got);
        done += static_cast<std::int64_t>(got);
    }
}

// Copies through memory, appending to what was written to `to`; `seen` (when set) sees each piece first.
void copyWithBuffer(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count,
                    const SeenBytes& seen) {
    readPieces(from, offset, count, [&](const char* data, std::size_t size) {
        if (seen) {
            seen(data, size);
        }
        to.write(data, size);
    });
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

FileIdentity OutputFile::identity() const {
    FileIdentity identity;
    check(platform::identityOf(file_.get(), identity), FileError::Kind::Io, path_);
    return identity;
}

PendingFile::PendingFile(std::string finalPath, std::function<std::string()> temporaryName, bool unnamed)
    : finalPath_(std::move(finalPath)), temporaryName_(std::move(temporaryName)) {
    Descriptor created;
    if (unnamed && !namedPendingFiles) {
        bool supported = false;
        check(platform::createUnnamed(folderOf(finalPath_), created, supported), FileError::Kind::CannotOpen,
              finalPath_);
        unnamed_ = supported;
    }
    for (int attempt = 0; !created.isOpen(); ++attempt) {
        temporaryPath_ = temporaryName_();
        const std::error_code error = platform::createNew(temporaryPath_, created);
        if (error && (error != std::errc::file_exists || attempt == temporaryNameAttempts)) {
            temporaryPath_.clear();
            fail(FileError::Kind::CannotOpen, finalPath_, error);
        }
    }
    file_.emplace(OutputFile(finalPath_, std::move(created)));
}

PendingFile::~PendingFile() {
    if (!committed_) {
        file_.reset();
        removeTemporary();
    }
}

void PendingFile::removeTemporary() noexcept {
    if (!temporaryPath_.empty()) {
        // A leftover the removal cannot reach is the best that can be done; the next run removes it.
        (void)platform::removeEntry(temporaryPath_, false);
        temporaryPath_.clear();
    }
}

std::string PendingFile::linkToTemporaryName() {
    for (int attempt = 0;; ++attempt) {
        std::string path = temporaryName_();
        const std::error_code error = platform::linkUnnamed(file_->file_.get(), path);
        if (!error) {
            return path;
        }
        if (error != std::errc::file_exists || attempt == temporaryNameAttempts) {
            fail(FileError::Kind::Io, finalPath_, error);
        }
    }
}

void PendingFile::commit() {
    if (unnamed_) {
        // Straight under its final name when that is free; else beside it first, then moved onto it in one
        // step.
        const std::error_code error = platform::linkUnnamed(file_->file_.get(), finalPath_);
        if (!error) {
            // Should the close fail, the name goes again.
            temporaryPath_ = finalPath_;
        } else if (error == std::errc::file_exists) {
            temporaryPath_ = linkToTemporaryName();
        } else {
            fail(FileError::Kind::Io, finalPath_, error);
        }
        unnamed_ = false;
    }
    file_->close();
    if (temporaryPath_ != finalPath_) {
        testing::stepReached("renaming");
        check(platform::renameReplacing(temporaryPath_, finalPath_), FileError::Kind::Io, finalPath_);
    }
    temporaryPath_.clear();
    committed_ = true;
}

std::optional<Flush> Flush::of(const std::string& path, const FileIdentity& identity) {
    if (identityOf(path) != identity) {
        return std::nullopt;
    }
    Descriptor file;
    check(platform::openForFlush(path, file), FileError::Kind::Io, path);
    FileIdentity opened;
    std::int64_t length = 0;
    check(platform::identityOf(file.get(), opened), FileError::Kind::Io, path);
    check(platform::lengthOf(file.get(), length), FileError::Kind::Io, path);
    if (!(opened == identity)) {
        return std::nullopt;
    }
    return Flush(path, std::move(file), length);
}

bool Flush::step() {
    if (flushed_ < length_) {
        const std::int64_t size = std::min(flushStep, length_ - flushed_);
        check(platform::flushRange(file_.get(), flushed_, size), FileError::Kind::Io, path_);
        flushed_ += size;
        return true;
    }
    switch (stage_++) {
        case 0:
            check(platform::flushData(file_.get()), FileError::Kind::Io, path_);
            return true;
        case 1:
            check(platform::flushFolder(folderOf(path_)), FileError::Kind::Io, path_);
            check(file_.close(), FileError::Kind::Io, path_);
            return false;
        default:
            return false;
    }
}

void copyBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count,
               const SeenBytes& seen) {
    if (from.size() < offset + count) {
        fail(FileError::Kind::Io, from.path(), platform::unexpectedEndOfFile());
    }
    const std::int64_t start = to.written_;
    bool kernelCopy = !readWriteOnly && !seen;
    bool endsInHole = false;
    std::int64_t done = 0;
    while (done < count) {
        std::int64_t dataStart = 0;
        std::int64_t dataEnd = 0;
        platform::findData(from.file_.get(), offset + done, dataStart, dataEnd);
        // A hole in the source stays a hole in the copy: it reads back as the same zeros.
        if (const std::int64_t hole = std::min(dataStart - (offset + done), count - done); hole > 0) {
            if (seen) {
                seen(nullptr, static_cast<std::size_t>(hole));
            }
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
            copyWithBuffer(from, offset + done + copied, to, run - copied, seen);
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

std::string readUpTo(InputFile& from, std::size_t limit) {
    std::string text(limit, '\0');
    std::size_t got = 0;
    for (std::size_t part; got < limit && (part = from.read(text.data() + got, limit - got)) != 0;) {
        got += part;
    }
    text.resize(got);
    return text;
}

void readBytes(InputFile& from, std::int64_t offset, std::int64_t count, const SeenBytes& seen) {
    readPieces(from, offset, count, seen);
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
void forceNamedPendingFiles(bool on) {
    namedPendingFiles = on;
}
void setStepHook(std::function<void(std::string_view step, std::int64_t number)> hook) {
    stepHook = std::move(hook);
}
void stepReached(std::string_view step, std::int64_t number) {
    if (stepHook) {
        stepHook(step, number);
    }
}
}  // namespace testing

}  // namespace fileio
