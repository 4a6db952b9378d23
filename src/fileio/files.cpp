#include "fileio/files.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <system_error>
#include <utility>

#include "fileio/buffer.hpp"
#include "fileio/error.hpp"
#include "fileio/paths.hpp"
#include "fileio/platform.hpp"

namespace fileio {

namespace {

using Handle = Descriptor::Handle;
using Kind = FileError::Kind;
using platform::fail;

// Large enough to keep the system calls rare, small enough that the copy in and out of it stays in
// the CPU's cache (1 MiB buffers copied at half the speed), and memory never depends on the fragment size.
constexpr std::size_t copyBufferSize = std::size_t{256} << 10;
// Bytes only read (for a checksum) leave the cache once: larger pieces keep the system calls rarer.
constexpr std::size_t readBufferSize = std::size_t{1} << 20;
// One kernel copy per call stays well below what every kernel accepts in one go, and short enough that a
// piece hook between two calls keeps a window alive.
constexpr std::int64_t fastCopyChunk = std::int64_t{64} << 20;

std::function<int(const std::string&, std::size_t)> writeFault;
std::function<int(std::size_t&)> copyFault;
std::function<int(std::string_view, const std::string&)> operationFault;
bool readWriteOnly = false;
std::atomic<bool> cancelAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "requestCancel must be safe in a signal handler");

// Throws when a stop was asked for, naming `path`.
void checkCancel(const std::string& path) {
    if (cancelAsked.load(std::memory_order_relaxed)) {
        fail(path, Errc::Cancelled);
    }
}
bool namedPendingFiles = false;
// The thread's innermost PieceHook's function. Thread storage holds plain pointers only: MinGW frees a
// thread's storage before the destructors of objects there run, which then crash at the thread's end.
thread_local const std::function<void()>* pieceHook = nullptr;

// The calling thread's buffers for copies and reads, made at first use and kept for its next ones (a fresh
// one per fragment costs more than its copy when fragments are small, its pages mapped and zeroed anew each
// time); freed by releaseThreadBuffers.
struct ThreadBuffers {
    char* copy = nullptr;
    char* read = nullptr;
};
thread_local ThreadBuffers threadBuffers;
std::function<void(std::string_view, std::int64_t)> stepHook;

// How many temporary names are tried before a PendingFile gives up.
constexpr int temporaryNameAttempts = 100;
// The data a Flush writes out per step.
constexpr std::int64_t flushStep = std::int64_t{64} << 20;

// An errno value (a test's fault, a write that stored nothing) as an error code on every platform.
std::error_code errnoError(int value) {
    return std::error_code(value, std::generic_category());
}

// The test's fault for `operation` on `path` as the error it stands for; none without one.
std::error_code faultOf(std::string_view operation, const std::string& path) {
    const int error = operationFault ? operationFault(operation, path) : 0;
    return error != 0 ? errnoError(error) : std::error_code();
}

std::size_t chunkOf(std::int64_t remaining, std::int64_t limit) {
    return static_cast<std::size_t>(std::min(remaining, limit));
}

// Copies with the kernel as far as it will; returns the bytes copied before it became unavailable.
std::int64_t copyWithKernel(Handle from, std::int64_t offset, Handle to, const std::string& toPath,
                            std::int64_t toOffset, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        checkCancel(toPath);
        const std::size_t copied = platform::fastCopy(from, offset + done, to, toPath, toOffset + done,
                                                      chunkOf(count - done, fastCopyChunk));
        if (copied == 0) {
            break;
        }
        done += static_cast<std::int64_t>(copied);
        pieceDone();
    }
    return done;
}

// Files this large take long to free (on a disk that is told of every freed block, 0.15 s for 500 MB):
// removing or replacing one serves the piece hook meanwhile.
constexpr std::int64_t slowToFree = std::int64_t{64} << 20;

// True when `path` itself is a regular file of at least slowToFree bytes.
bool largeFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path native = pathFromUtf8(path);
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(native, error))) {
        return false;
    }
    const auto size = std::filesystem::file_size(native, error);
    return !error && size >= static_cast<std::uintmax_t>(slowToFree);
}

// Runs `call`, which frees the file at `path` when that is its last name, and returns what it returns: on a
// thread of its own when this thread has a piece hook and the file is large (and a thread is to be had),
// turning the hook every 20 ms until it is done.
template <typename Call>
auto freeing(const std::string& path, const Call& call) {
    if (pieceHook == nullptr || !largeFile(path)) {
        return call();
    }
    std::future<decltype(call())> result;
    try {
        result = std::async(std::launch::async, call);
    } catch (const std::system_error&) {
        // No thread to be had (a limit on processes): here then, without turns.
        return call();
    }
    while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        pieceDone();
    }
    return result.get();
}

// Reads `count` bytes of `from` from `offset` through one buffer of `BufferSize` bytes, handing each piece to
// `piece`.
template <std::size_t BufferSize = copyBufferSize, typename Piece>
void readPieces(InputFile& from, std::int64_t offset, std::int64_t count, const Piece& piece) {
    static_assert(BufferSize == copyBufferSize || BufferSize == readBufferSize);
    char*& buffer = BufferSize == copyBufferSize ? threadBuffers.copy : threadBuffers.read;
    if (buffer == nullptr) {
        buffer = static_cast<char*>(::operator new (BufferSize, std::align_val_t{bufferAlignment}));
    }
    std::int64_t done = 0;
    while (done < count) {
        checkCancel(from.path());
        const std::size_t got =
            from.readAt(buffer, chunkOf(count - done, static_cast<std::int64_t>(BufferSize)), offset + done);
        if (got == 0) {
            fail(from.path(), Errc::EndedEarly);
        }
        piece(buffer, got);
        done += static_cast<std::int64_t>(got);
        pieceDone();
    }
}

}  // namespace

namespace platform {
int writeFault(const std::string& path, std::size_t size) {
    return fileio::writeFault ? fileio::writeFault(path, size) : 0;
}
int copyFault(std::size_t& size) {
    return fileio::copyFault ? fileio::copyFault(size) : 0;
}
int operationFault(std::string_view operation, const std::string& path) {
    return fileio::operationFault ? fileio::operationFault(operation, path) : 0;
}
}  // namespace platform

void removeFile(const std::string& path, bool evenReadOnly) {
    const EntryType type = entryAt(path).type;
    if (type == EntryType::Directory || type == EntryType::Other) {
        fail(path, Errc::NotRegularFile);
    }
    if (type != EntryType::None) {
        const bool clear = evenReadOnly && type == EntryType::Regular;
        if (const auto error = freeing(path, [&] { return platform::removeEntry(path, clear); })) {
            fail(path, error);
        }
    }
}

LockFile::~LockFile() {
    release();
}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        file_ = std::move(other.file_);
    }
    return *this;
}

std::optional<LockFile> LockFile::tryLock(const std::string& path) {
    auto file = platform::lock(path);
    if (!file) {
        return std::nullopt;
    }
    LockFile lock;
    lock.path_ = path;
    lock.file_ = std::move(*file);
    if (const auto error = lock.held() ? faultOf("lock", path) : std::error_code()) {
        fail(path, error);
    }
    return lock;
}

void LockFile::release() noexcept {
    if (file_.isOpen()) {
        platform::unlock(path_, file_);
    }
}

InputFile::InputFile(const std::string& path) : path_(path), file_(platform::openForReading(path)) {}

FileIdentity InputFile::identity() const {
    return platform::identityOf(file_.get(), path_);
}

std::int64_t InputFile::size() const {
    return platform::lengthOf(file_.get(), path_);
}

void InputFile::readAhead(std::int64_t offset, std::int64_t length) {
    platform::readAhead(file_.get(), offset, length);
}

std::size_t InputFile::readAt(void* buffer, std::size_t size, std::int64_t offset) {
    return platform::readAt(file_.get(), path_, buffer, size, offset);
}

std::size_t InputFile::read(void* buffer, std::size_t size) {
    checkCancel(path_);
    const std::size_t got = readAt(buffer, size, position_);
    position_ += static_cast<std::int64_t>(got);
    return got;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    if (const auto error = platform::createNew(path, file_)) {
        fail(path, error, Kind::CannotOpen);
    }
}

void OutputFile::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        checkCancel(path_);
        const std::size_t put = platform::writeAt(file_.get(), path_, bytes + done, size - done, written_);
        if (put == 0) {
            fail(path_, errnoError(EIO));
        }
        done += put;
        written_ += static_cast<std::int64_t>(put);
    }
}

void OutputFile::writeAt(const void* data, std::size_t size, std::int64_t offset) {
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        checkCancel(path_);
        const std::size_t put = platform::writeAt(file_.get(), path_, bytes + done, size - done,
                                                  offset + static_cast<std::int64_t>(done));
        if (put == 0) {
            fail(path_, errnoError(EIO));
        }
        done += put;
    }
    written_ = std::max(written_, offset + static_cast<std::int64_t>(size));
}

void OutputFile::reserve(std::int64_t bytes) {
    platform::reserveSpace(file_.get(), path_, written_, bytes);
}

void OutputFile::close() {
    if (const auto error = file_.close()) {
        fail(path_, error);
    }
}

FileIdentity OutputFile::identity() const {
    return platform::identityOf(file_.get(), path_);
}

PendingFile::PendingFile(std::string finalPath, std::function<std::string()> temporaryName, bool unnamed)
    : finalPath_(std::move(finalPath)), temporaryName_(std::move(temporaryName)) {
    Descriptor created;
    if (unnamed && !namedPendingFiles) {
        created = platform::createUnnamed(utf8FromPath(pathFromUtf8(finalPath_).parent_path()));
        unnamed_ = created.isOpen();
    }
    for (int attempt = 0; !created.isOpen(); ++attempt) {
        temporaryPath_ = temporaryName_();
        const std::error_code error = platform::createNew(temporaryPath_, created);
        if (error && (error != std::errc::file_exists || attempt == temporaryNameAttempts)) {
            temporaryPath_.clear();
            fail(finalPath_, error, Kind::CannotOpen);
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
            fail(finalPath_, error);
        }
    }
}

void PendingFile::commit() {
    if (unnamed_) {
        // Straight under its final name when that is free; else beside it first, then moved onto it in one
        // step.
        std::error_code error = faultOf("rename", finalPath_);
        if (!error) {
            error = platform::linkUnnamed(file_->file_.get(), finalPath_);
        }
        if (!error) {
            // Should the close fail, the name goes again.
            temporaryPath_ = finalPath_;
        } else if (error == std::errc::file_exists) {
            temporaryPath_ = linkToTemporaryName();
        } else {
            fail(finalPath_, error);
        }
        unnamed_ = false;
    }
    file_->close();
    if (temporaryPath_ != finalPath_) {
        testing::stepReached("renaming");
        freeing(finalPath_, [this] { platform::renameReplacing(temporaryPath_, finalPath_); });
    }
    temporaryPath_.clear();
    committed_ = true;
}

std::optional<Flush> Flush::of(const std::string& path, const FileIdentity& identity) {
    if (identityOf(path) != identity) {
        return std::nullopt;
    }
    Descriptor file = platform::openForFlush(path);
    if (!(platform::identityOf(file.get(), path) == identity)) {
        return std::nullopt;
    }
    const std::int64_t length = platform::lengthOf(file.get(), path);
    return Flush(path, std::move(file), length);
}

bool Flush::step() {
    if (stage_ == 2) {
        return false;
    }
    if (flushed_ < length_) {
        const std::int64_t size = std::min(flushStep, length_ - flushed_);
        platform::flushRange(file_.get(), path_, flushed_, size);
        flushed_ += size;
        return true;
    }
    if (stage_++ == 0) {
        platform::flushData(file_.get(), path_);
        return true;
    }
    platform::flushFolder(path_);
    if (const auto error = file_.close()) {
        fail(path_, error);
    }
    return false;
}

void copyBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count,
               const SeenBytes& seen) {
    if (from.size() < offset + count) {
        fail(from.path(), Errc::EndedEarly);
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
            readPieces(from, offset + done + copied, run - copied, [&](const char* data, std::size_t size) {
                if (seen) {
                    seen(data, size);
                }
                to.write(data, size);
            });
        }
        done += run;
        endsInHole = false;
    }
    if (endsInHole) {
        platform::setLength(to.file_.get(), to.path(), start + count);
    }
    to.written_ = start + count;
}

bool cloneBytes(InputFile& from, std::int64_t offset, OutputFile& to, std::int64_t count,
                const SeenBytes& seen) {
    // `from` may be cloned from by two threads at once (a split's two lanes).
    std::atomic_ref<bool> sourceCloneless(from.cloneless_);
    if (readWriteOnly || sourceCloneless.load(std::memory_order_relaxed) || to.cloneless_ || count <= 0) {
        return false;
    }
    checkCancel(from.path_);
    // A clone past the end of `from` is refused; for `seen`, the bytes must stay as they are cloned.
    const auto before =
        seen ? platform::changeStampOf(from.file_.get(), from.path_) : platform::ChangeStamp();
    const auto clone =
        platform::cloneRange(from.file_.get(), offset, to.file_.get(), to.path_, to.written_, count);
    if (clone != platform::Clone::Made) {
        // Between these two files' file systems no range will be cloned: not tried again.
        to.cloneless_ = clone == platform::Clone::NotHere;
        sourceCloneless.store(to.cloneless_, std::memory_order_relaxed);
        return false;
    }
    to.written_ += count;
    testing::stepReached("cloned");
    if (seen) {
        readPieces<readBufferSize>(from, offset, count, seen);
        if (platform::changeStampOf(from.file_.get(), from.path_) != before) {
            fail(from.path(), Errc::ChangedWhileRead);
        }
    }
    return true;
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
    readPieces<readBufferSize>(from, offset, count, seen);
}

bool changedBefore(const std::string& older, const std::string& newer) {
    std::error_code first, second;
    const auto before = std::filesystem::last_write_time(pathFromUtf8(older), first);
    const auto after = std::filesystem::last_write_time(pathFromUtf8(newer), second);
    return !first && !second && before < after;
}

PieceHook::PieceHook(std::function<void()> hook)
    : hook_(std::move(hook)), before_(std::exchange(pieceHook, &hook_)) {}

PieceHook::~PieceHook() {
    pieceHook = before_;
}

void pieceDone() {
    if (pieceHook != nullptr && *pieceHook) {
        (*pieceHook)();
    }
}

void releaseThreadBuffers() noexcept {
    for (char** buffer : {&threadBuffers.copy, &threadBuffers.read}) {
        ::operator delete (std::exchange(*buffer, nullptr), std::align_val_t{bufferAlignment});
    }
}

void requestCancel() noexcept {
    cancelAsked.store(true, std::memory_order_relaxed);
}

void clearCancel() noexcept {
    cancelAsked.store(false, std::memory_order_relaxed);
}

bool cancelRequested() noexcept {
    return cancelAsked.load(std::memory_order_relaxed);
}

namespace testing {
void setWriteFault(std::function<int(const std::string& path, std::size_t size)> fault) {
    writeFault = std::move(fault);
}
void setCopyFault(std::function<int(std::size_t& size)> fault) {
    copyFault = std::move(fault);
}
void setOperationFault(std::function<int(std::string_view operation, const std::string& path)> fault) {
    operationFault = std::move(fault);
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
bool hooksSet() {
    return writeFault || copyFault || operationFault || stepHook;
}
}  // namespace testing

}  // namespace fileio
