#include "fragments/split.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "checksum/crc32_core.hpp"
#include "fileio/files.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/events.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/recovery_files.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

namespace {

constexpr std::int64_t largestFragment = std::numeric_limits<std::int32_t>::max();

// One fragment on its way to disk: its file, under a temporary name until it is complete.
struct FragmentCopy {
    fileio::InputFile& source;
    fileio::FileIdentity sourceIdentity;
    // With the checksum file: the fragments' CRC-32s in order, one place for each.
    std::vector<std::uint32_t>* crcs;
};

// A second thread that writes every other fragment. Where the disk keeps up, a split waits for the CPU
// that copies the bytes from the source's pages to the fragment's: two CPUs copy twice as many. It runs one
// task at a time.
class SecondLane {
  public:
    // Waits for the task before, throwing what it threw, then starts `task`.
    void start(std::function<void()> task) {
        finish();
        const std::lock_guard lock(mutex_);
        task_ = std::move(task);
        wake_.notify_all();
    }
    // Waits until the task started last has ended, serving the thread's piece hook meanwhile; throws what it
    // threw.
    void finish() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return !task_; })) {
            lock.unlock();
            fileio::pieceDone();
            lock.lock();
        }
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
    }

  private:
    void serve(const std::stop_token& stop) {
        std::unique_lock lock(mutex_);
        while (wake_.wait(lock, stop, [this] { return static_cast<bool>(task_); })) {
            lock.unlock();
            std::exception_ptr failure;
            try {
                task_();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            failure_ = failure;
            task_ = nullptr;
            wake_.notify_all();
        }
        fileio::releaseThreadBuffers();
    }
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::function<void()> task_;
    std::exception_ptr failure_;
    // Last: it ends, after its task, before the rest goes.
    std::jthread thread_{[this](const std::stop_token& stop) { serve(stop); }};
};

// Starts the second lane; where the system gives no thread (a limit on processes, say), the split keeps to
// one.
void startLane(std::optional<SecondLane>& lane) {
    try {
        lane.emplace();
    } catch (const std::system_error&) {
        lane.reset();
    }
}

// Runs `write` for fragment `number`: an even one in the lane, when there is one, else here. A failure here
// waits for the lane's fragment, the one before, whose failure is then the one thrown.
void writeInTurn(std::optional<SecondLane>& lane, int number, std::function<void()> write) {
    if (lane && number % 2 == 0) {
        lane->start(std::move(write));
        return;
    }
    try {
        write();
    } catch (...) {
        if (lane) {
            lane->finish();
        }
        throw;
    }
}

// Writes fragment `number` at `path` as a new file and renames it to its name once complete: no old
// bytes survive in it, and nothing is written through a link. True when its bytes were cloned.
bool writeFragment(const FragmentCopy& copy, int number, std::int64_t offset, const std::string& path,
                   std::int64_t bytes) {
    fileio::PendingFile out(
        path, [&path] { return temporaryNameFor(path, ".tmp"); }, false);
    checksum::RunningCrc32 crc;
    const fileio::SeenBytes seen = copy.crcs ? fileio::SeenBytes(std::ref(crc)) : fileio::SeenBytes();
    // Where the file system shares the source's blocks, the fragment takes no room and the CRC one read.
    const bool cloned = fileio::cloneBytes(copy.source, offset, out.file(), bytes, seen);
    if (!cloned) {
        fileio::copyBytes(copy.source, offset, out.file(), bytes, seen);
    }
    fileio::testing::stepReached("fragment-written", number);
    // What appeared at its name meanwhile is checked like the old fragments were.
    checkReplaceable(path, copy.sourceIdentity);
    out.commit();
    fileio::testing::stepReached("fragment-in-place", number);
    if (copy.crcs) {
        (*copy.crcs)[static_cast<std::size_t>(number) - 1] = crc.value();
    }
    return cloned;
}

// Writes the checksum file of the split of `sourcePath` that wrote `result`, unless a file of its name
// that this program did not write is there; true when it was written.
bool writeChecksumFileOf(const std::string& sourcePath, const SplitResult& result,
                         const std::vector<std::uint32_t>& crcs, const SplitPlan& plan) {
    std::vector<ChecksumEntry> entries;
    std::uint32_t sourceCrc = 0;
    for (std::size_t i = 0; i < crcs.size(); ++i) {
        entries.push_back({result.fileNames[i], crcs[i]});
        const std::int64_t bytes =
            static_cast<std::int64_t>(i) < plan.fullFragments ? plan.fragmentBytes : plan.remainder;
        sourceCrc = checksum::crc32Combine(sourceCrc, crcs[i], bytes);
    }
    return writeChecksumFile(checksumFilePath(sourcePath),
                             checksumFileText(Nurdatei(sourcePath), plan.length, sourceCrc, entries));
}

// Writes the fragments of `plan` named after `named`, with their CRCs when `copy` asks for them.
SplitResult writeFragments(const FragmentCopy& copy, const SplitPlan& plan, const std::string& named,
                           char separator, const SplitEvents& events) {
    SplitResult result;
    result.plan = plan;
    std::atomic<bool> cloned = false;
    // The even fragments go to the second lane, the odd ones are written here. The first is written alone:
    // where it was cloned and needs no CRC, each fragment takes next to no time, and a lane would only add
    // its handovers (on btrfs, clones of one source also wait for each other).
    std::optional<SecondLane> lane;
    const bool twoLanes =
        plan.fragmentCount > 2 && std::thread::hardware_concurrency() > 1 && !fileio::testing::hooksSet();
    for (int number = 1; number <= plan.fragmentCount; ++number) {
        if (number == 2 && twoLanes && (copy.crcs || !cloned)) {
            startLane(lane);
        }
        const bool full = number <= plan.fullFragments;
        const std::string path = fragmentName(named, number);
        result.fileNames.push_back(Nurdatei(path, separator));
        // A full fragment is named before it is written, so the window can show progress while it is.
        if (full) {
            notify(events.fragmentNamed, number, result.fileNames.back(), true);
        }
        const std::int64_t bytes = full ? plan.fragmentBytes : plan.remainder;
        auto write = [&copy, &cloned, &plan, number, path, bytes] {
            makeWayFor(path, copy.sourceIdentity);
            // The next fragment's bytes are read from the disk while this one is written (a clone reads
            // none).
            if (copy.crcs || !cloned) {
                copy.source.readAhead(number * plan.fragmentBytes, plan.fragmentBytes);
            }
            cloned = writeFragment(copy, number, (number - 1) * plan.fragmentBytes, path, bytes);
        };
        writeInTurn(lane, number, std::move(write));
        result.bytesWritten += bytes;
    }
    if (lane) {
        lane->finish();
    }
    if (plan.remainder > 0) {
        notify(events.fragmentNamed, static_cast<int>(plan.fragmentCount), result.fileNames.back(), false);
    }
    return result;
}

}  // namespace

SplitPlan planSplit(std::int64_t length, std::int64_t fragmentBytes) {
    if (fragmentBytes <= 0 || length < 0) {
        throw std::invalid_argument("a split needs a positive fragment size and a length of at least 0");
    }
    SplitPlan plan;
    plan.length = length;
    plan.fragmentBytes = fragmentBytes;
    plan.fullFragments = length / fragmentBytes;
    plan.remainder = length % fragmentBytes;
    plan.fragmentCount = plan.fullFragments + (plan.remainder > 0 ? 1 : 0);
    return plan;
}

std::optional<std::int64_t> fragmentBytesFor(std::int64_t kilobytes) {
    if (kilobytes < 0 || kilobytes > largestFragment / 1024) {
        return std::nullopt;
    }
    return kilobytes * 1024;
}

void checkSplitNames(const std::vector<std::string>& listing, const std::string& directory,
                     const std::string& sourcePath, std::int64_t fragmentCount, char separator,
                     const std::string& setPath) {
    const auto source = fileio::identityOf(sourcePath);
    const std::string& named = setPath.empty() ? sourcePath : setPath;
    for (const auto& name : oldFragmentsOf(listing, named, separator)) {
        checkReplaceable(withTrailingSeparator(directory, separator) + name, source);
    }
    for (int number = 1; number <= fragmentCount && number <= maxFragments; ++number) {
        checkReplaceable(fragmentName(named, number), source);
    }
}

SplitResult splitFile(const std::string& sourcePath, const SplitPlan& plan, const SplitEvents& events,
                      char separator, bool checksumFile, const std::string& setPath) {
    if (plan.fragmentCount > maxFragments || (plan.fragmentCount > 0 && plan.fragmentBytes <= 0)) {
        throw std::invalid_argument("split plan outside the limits");
    }
    fileio::InputFile source(sourcePath);
    const fileio::FileIdentity identity = source.identity();
    const std::string& named = setPath.empty() ? sourcePath : setPath;
    // An empty source has no fragments, and so no set to check; fragment names that a checksum file cannot
    // hold (all of a set's names start alike) get none either.
    const bool wanted = checksumFile && plan.fragmentCount > 0 &&
                        fitsChecksumFile(Nurdatei(fragmentName(named, 1), separator));
    const bool sums = wanted && mayWriteChecksumFile(checksumFilePath(named));
    std::vector<std::uint32_t> crcs(sums ? static_cast<std::size_t>(plan.fragmentCount) : 0);
    const FragmentCopy copy{source, identity, sums ? &crcs : nullptr};
    SplitResult result = writeFragments(copy, plan, named, separator, events);
    if (sums) {
        result.checksumFileWritten = writeChecksumFileOf(named, result, crcs, plan);
    }
    result.checksumFileKept = wanted && !result.checksumFileWritten;
    return result;
}

std::optional<SplitResult> splitStream(const StreamReader& read, std::int64_t fragmentBytes,
                                       const SplitEvents& events, char separator, bool checksumFile,
                                       const std::string& setPath) {
    if (fragmentBytes <= 0 || fragmentBytes > largestFragment) {
        throw std::invalid_argument("split plan outside the limits");
    }
    const bool wanted = checksumFile && fitsChecksumFile(Nurdatei(fragmentName(setPath, 1), separator));
    const bool sums = wanted && mayWriteChecksumFile(checksumFilePath(setPath));
    std::vector<std::uint32_t> crcs;
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    // The bytes of `buffer` from `start` to `end` are read and not yet written.
    std::size_t start = 0, end = 0;
    const auto refill = [&] {
        start = end = 0;
        while (end < buffer.size()) {
            const std::size_t got = read(buffer.data() + end, buffer.size() - end);
            if (got == 0) {
                break;
            }
            end += got;
        }
    };
    refill();
    SplitResult result;
    for (int number = 1; start < end; ++number) {
        if (number > maxFragments) {
            return std::nullopt;
        }
        const std::string path = fragmentName(setPath, number);
        result.fileNames.push_back(Nurdatei(path, separator));
        makeWayFor(path);
        notify(events.fragmentNamed, number, result.fileNames.back(), true);
        fileio::PendingFile out(
            path, [&path] { return temporaryNameFor(path, ".tmp"); }, false);
        checksum::RunningCrc32 crc;
        for (std::int64_t left = fragmentBytes; left > 0 && start < end;) {
            const auto piece =
                static_cast<std::size_t>(std::min(left, static_cast<std::int64_t>(end - start)));
            out.file().write(buffer.data() + start, piece);
            crc(buffer.data() + start, piece);
            start += piece;
            left -= static_cast<std::int64_t>(piece);
            if (start == end) {
                refill();
            }
        }
        result.bytesWritten += out.file().written();
        fileio::testing::stepReached("fragment-written", number);
        checkReplaceable(path);
        out.commit();
        crcs.push_back(crc.value());
    }
    result.plan = planSplit(result.bytesWritten, fragmentBytes);
    if (sums && !crcs.empty()) {
        result.checksumFileWritten = writeChecksumFileOf(setPath, result, crcs, result.plan);
    }
    result.checksumFileKept = wanted && !crcs.empty() && !result.checksumFileWritten;
    return result;
}

void removeSplitLeftovers(const std::string& directory, const std::string& sourcePath, char separator) {
    const std::string sourceName = Nurdatei(sourcePath, separator);
    const std::string script = NurName(sourcePath, separator) + ".bat";
    removeLeftovers(directory, [&](const std::string& name) {
        const auto final = finalNameOfTemporary(name, ".tmp");
        const auto carries = [&final](const std::string& what) {
            return *final == carriedName(what, ".tmp");
        };
        if (!final || carries(sourceName + ".sfv") || carries(script) ||
            isRecoveryFileOf(*final, sourceName)) {
            return final.has_value();
        }
        if (final->size() == sourceName.size() + 5 && final->starts_with(sourceName + "._")) {
            return fragmentNumber(*final).has_value();
        }
        // A long source's fragments are carried in short.
        for (int number = 1; final->find('~') != std::string::npos && number <= maxFragments; ++number) {
            if (carries(fragmentName(sourceName, number))) {
                return true;
            }
        }
        return false;
    });
}

}  // namespace fragments
