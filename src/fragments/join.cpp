#include "fragments/join.hpp"

#include <algorithm>
#include <functional>
#include <set>

#include "checksum/crc32_core.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/events.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

namespace {

// A join into a stream reads and checks the fragments in pieces of this size.
constexpr std::int64_t pieceBytes = std::int64_t{1} << 20;

// Throws when `fragment` is no longer the planned `bytes` long.
void checkSize(const fileio::InputFile& fragment, std::int64_t bytes) {
    if (fragment.size() != bytes) {
        throw fileio::FileError(fileio::FileError::Kind::Io, fragment.path(), Errc::SizeChanged);
    }
}

// The lock of the target as the set cut from it (SetLock::forSource), so that no other join writes it and
// removes this one's temporary as a leftover. None is taken when it is the lock of the set joined, which the
// caller holds. False when another holder has it; a lock that cannot be taken fails as the target would.
bool lockTarget(const JoinPlan& plan, std::optional<SetLock>& lock) {
    if (plan.fragmentPaths.empty()) {
        return true;
    }
    const std::string setLock = folderOf(plan.fragmentPaths.front()) +
                                lockFileName(sourceNameOf(Nurdatei(plan.fragmentPaths.front())));
    const std::string targetLock = folderOf(plan.targetPath) + lockFileName(Nurdatei(plan.targetPath));
    const auto held = fileio::identityOf(setLock);
    if (targetLock == setLock || (held && held == fileio::identityOf(targetLock))) {
        return true;
    }
    try {
        lock = SetLock::forSource(plan.targetPath);
    } catch (const fileio::FileError& e) {
        throw fileio::FileError(fileio::FileError::Kind::CannotOpen, plan.targetPath, e.code());
    }
    return lock.has_value();
}

}  // namespace

DamagedFragment::DamagedFragment(std::string name, std::uint32_t found, std::uint32_t expected,
                                 std::string staleBy)
    : std::runtime_error("damaged fragment " + name),
      name_(std::move(name)),
      staleBy_(std::move(staleBy)),
      found_(found),
      expected_(expected) {}

std::variant<JoinProblem, JoinListCheck> checkJoinList(const std::vector<std::string>& names) {
    if (names.empty()) {
        return JoinProblem{JoinProblem::Kind::EmptyList, {}};
    }
    // Every fragment must come from the same file as the first one.
    JoinListCheck check;
    check.suggestedName = sourceNameOf(names.front());
    for (const auto& name : names) {
        if (sourceNameOf(name) != check.suggestedName) {
            return JoinProblem{JoinProblem::Kind::MixedSources, name};
        }
    }
    check.firstGap = firstMissingNumber(names);
    return check;
}

std::optional<JoinProblem> missingChecked(const std::vector<std::string>& names, const std::string& directory,
                                          const std::map<std::string, std::uint32_t>& checksums) {
    const std::set<std::string> listed(names.begin(), names.end());
    for (const auto& entry : checksums) {
        if (listed.count(entry.first) == 0) {
            return JoinProblem{JoinProblem::Kind::MissingFragment,
                               withTrailingSeparator(directory) + entry.first};
        }
    }
    return std::nullopt;
}

std::variant<JoinProblem, JoinPlan> planJoin(const std::vector<std::string>& names,
                                             const std::string& directory, const std::string& targetPath,
                                             const std::map<std::string, std::uint32_t>& checksums) {
    JoinPlan plan;
    plan.targetPath = targetPath;
    const std::string folder = withTrailingSeparator(directory);
    for (const auto& name : names) {
        plan.fragmentPaths.push_back(folder + name);
        const auto expected = checksums.find(name);
        plan.expectedCrcs.push_back(expected != checksums.end() ? std::optional(expected->second)
                                                                : std::nullopt);
    }
    std::vector<std::optional<fileio::FileIdentity>> identities;
    const auto target = fileio::identityOf(targetPath);
    for (const auto& path : plan.fragmentPaths) {
        identities.push_back(fileio::identityOf(path));
        if (target && identities.back() == target) {
            return JoinProblem{JoinProblem::Kind::TargetIsFragment, targetPath};
        }
    }
    for (std::size_t i = 0; i < plan.fragmentPaths.size(); ++i) {
        const std::string& path = plan.fragmentPaths[i];
        if (!identities[i]) {
            return JoinProblem{JoinProblem::Kind::MissingFragment, path};
        }
        const auto size = regularFileSize(path);
        if (!size) {
            return JoinProblem{JoinProblem::Kind::NotRegularFile, path};
        }
        plan.fragmentBytes.push_back(*size);
        plan.totalBytes += *size;
    }
    return plan;
}

std::variant<JoinProblem, JoinResult> joinFragments(const JoinPlan& plan, const JoinEvents& events) {
    // Held until the joined file is in place.
    std::optional<SetLock> targetLock;
    if (!lockTarget(plan, targetLock)) {
        return JoinProblem{JoinProblem::Kind::SetBusy, plan.targetPath};
    }
    JoinOutput output(plan.targetPath);
    output.reserve(plan.fragmentPaths, plan.totalBytes);
    // The next fragment is read from the disk while this one is copied (or checked: a clone reads nothing).
    std::optional<fileio::InputFile> next;
    bool cloned = false;
    for (std::size_t index = 0; index < plan.fragmentPaths.size(); ++index) {
        notify(events.beforeFragment, index);
        fileio::InputFile fragment = next ? std::move(*next) : fileio::InputFile(plan.fragmentPaths[index]);
        next.reset();
        if (index + 1 < plan.fragmentPaths.size()) {
            next.emplace(plan.fragmentPaths[index + 1]);
            if (!cloned || plan.expectedCrcs[index + 1]) {
                next->readAhead();
            }
        }
        const auto& expected = plan.expectedCrcs[index];
        checksum::RunningCrc32 crc;
        cloned = output.append(fragment, plan.fragmentBytes[index],
                               expected ? fileio::SeenBytes(std::ref(crc)) : fileio::SeenBytes());
        if (expected && crc.value() != *expected) {
            throw DamagedFragment(Nurdatei(fragment.path()), crc.value(), *expected);
        }
        fileio::testing::stepReached("fragment-appended", static_cast<std::int64_t>(index));
    }
    const fileio::FileIdentity identity = output.commit();
    return JoinResult{output.bytesWritten(), identity, plan.targetPath};
}

JoinResult joinToStream(const JoinPlan& plan, const JoinEvents& events, const fileio::SeenBytes& sink) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(pieceBytes));
    // Reads `size` bytes of `fragment` at `offset` into the buffer and gives their CRC-32.
    const auto readPiece = [&buffer](fileio::InputFile& fragment, std::int64_t offset, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const std::size_t got =
                fragment.readAt(buffer.data() + done, size - done, offset + static_cast<std::int64_t>(done));
            if (got == 0) {
                throw fileio::FileError(fileio::FileError::Kind::Io, fragment.path(), Errc::SizeChanged);
            }
            done += got;
        }
        checksum::RunningCrc32 crc;
        crc(buffer.data(), size);
        return crc.value();
    };
    const auto pieceSize = [&plan](std::size_t index, std::int64_t offset) {
        return static_cast<std::size_t>(std::min(pieceBytes, plan.fragmentBytes[index] - offset));
    };
    // The CRC of each piece of the checked fragments, from the reading that checked them.
    std::vector<std::vector<std::uint32_t>> pieces(plan.fragmentPaths.size());
    for (std::size_t index = 0; index < plan.fragmentPaths.size(); ++index) {
        if (const auto expected = plan.expectedCrcs[index]) {
            fileio::InputFile fragment(plan.fragmentPaths[index]);
            std::uint32_t crc = 0;
            for (std::int64_t offset = 0; offset < plan.fragmentBytes[index]; offset += pieceBytes) {
                const std::size_t size = pieceSize(index, offset);
                pieces[index].push_back(readPiece(fragment, offset, size));
                crc = checksum::crc32Combine(crc, pieces[index].back(), static_cast<std::int64_t>(size));
            }
            checkSize(fragment, plan.fragmentBytes[index]);
            if (crc != *expected) {
                throw DamagedFragment(Nurdatei(fragment.path()), crc, *expected);
            }
        }
    }
    std::int64_t written = 0;
    for (std::size_t index = 0; index < plan.fragmentPaths.size(); ++index) {
        notify(events.beforeFragment, index);
        fileio::InputFile fragment(plan.fragmentPaths[index]);
        for (std::int64_t offset = 0; offset < plan.fragmentBytes[index]; offset += pieceBytes) {
            const std::size_t size = pieceSize(index, offset);
            const std::uint32_t crc = readPiece(fragment, offset, size);
            if (plan.expectedCrcs[index] &&
                crc != pieces[index][static_cast<std::size_t>(offset / pieceBytes)]) {
                throw fileio::FileError(fileio::FileError::Kind::Io, fragment.path(),
                                        fileio::Errc::ChangedWhileRead);
            }
            sink(buffer.data(), size);
            written += static_cast<std::int64_t>(size);
        }
        checkSize(fragment, plan.fragmentBytes[index]);
    }
    return JoinResult{written, {}, plan.targetPath};
}

std::optional<int> firstMissingNumber(const std::vector<std::string>& names) {
    std::set<int> numbers;
    for (const auto& name : names) {
        const auto number = fragmentNumber(name);
        if (!number) {
            return std::nullopt;
        }
        numbers.insert(*number);
    }
    for (int expected = 1; expected <= static_cast<int>(names.size()); ++expected) {
        if (numbers.count(expected) == 0) {
            return expected;
        }
    }
    return std::nullopt;
}

bool sameFile(const std::string& a, const std::string& b) {
    const auto identity = fileio::identityOf(a);
    return identity && identity == fileio::identityOf(b);
}

JoinOutput::JoinOutput(const std::string& targetPath) : targetPath_(targetPath) {
    checkReplaceable(targetPath_);
    const std::string targetName = Nurdatei(targetPath_);
    removeLeftovers(folderOf(targetPath_), [&targetName](const std::string& name) {
        return finalNameOfTemporary(name, ".part") == carriedName(targetName, ".part");
    });
    file_.emplace(
        targetPath_, [this] { return temporaryNameFor(targetPath_, ".part"); }, true);
}

void JoinOutput::reserve(const std::vector<std::string>& fragmentPaths, std::int64_t bytes) {
    fragmentPaths_ = fragmentPaths;
    reserved_ = bytes;
}

void JoinOutput::reserveRest() {
    // Only once, and only for bytes that are copied: a clone takes no room, and room reserved for a hole
    // (or for data the file system compresses) would stay taken, the copy writing nothing there.
    const std::int64_t rest = reserved_ - bytesWritten();
    reserved_ = 0;
    if (rest <= 0) {
        return;
    }
    for (const auto& path : fragmentPaths_) {
        if (fileio::takesLessRoomThanItsLength(path)) {
            return;
        }
    }
    file_->file().reserve(rest);
}

bool JoinOutput::append(fileio::InputFile& fragment, std::int64_t expectedBytes,
                        const fileio::SeenBytes& seen) {
    bool cloned = false;
    try {
        // Shared blocks where the file system can, else a copy into room reserved for the rest. A fragment
        // that grew shows after it, one that shrank as a read that ended early.
        cloned = fileio::cloneBytes(fragment, 0, file_->file(), expectedBytes, seen);
        if (!cloned) {
            reserveRest();
            fileio::copyBytes(fragment, 0, file_->file(), expectedBytes, seen);
        }
    } catch (const fileio::FileError& e) {
        // A fragment cut short while it was read tells why.
        if (e.path() == fragment.path()) {
            checkSize(fragment, expectedBytes);
        }
        throw;
    }
    checkSize(fragment, expectedBytes);
    return cloned;
}

fileio::FileIdentity JoinOutput::commit() {
    const fileio::FileIdentity identity = file_->file().identity();
    // The old target goes by the rename itself: no mode is changed first (on POSIX a rename needs none,
    // and a change would reach the target's hard-linked twins); it may have become a folder meanwhile.
    checkReplaceable(targetPath_);
    file_->commit();
    return identity;
}

std::int64_t JoinOutput::bytesWritten() const {
    return file_->file().written();
}

}  // namespace fragments
