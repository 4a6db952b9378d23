#include "recovery/recovery.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include "checksum/crc32_core.hpp"
#include "fileio/buffer.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fileio/paths.hpp"
#include "recovery/gf16.hpp"
#include "recovery/md5.hpp"
#include "recovery/packets.hpp"

namespace recovery {

using packets::FileDescription;
using packets::SliceCheck;

// Everything the recovery files say about the set, and which slices of the files are intact.
struct SetDetails {
    Md5Digest setId{};
    std::vector<FileDescription> files;
    std::vector<std::vector<SliceCheck>> checks;
    std::vector<std::vector<bool>> intactSlices;
    // One intact recovery slice per exponent.
    std::vector<packets::RecoverySlice> recovery;
};

namespace {

constexpr std::size_t kFirstBytesHashed = 16 << 10;
constexpr std::size_t kReadChunk = 1 << 20;
constexpr std::string_view kExtension = ".par2";
constexpr std::string_view kCreator = "Dodiveverazed";

std::string folderOf(const std::string& path) {
    const auto folder = fileio::pathFromUtf8(path).parent_path();
    return folder.empty() ? std::string(".") : fileio::utf8FromPath(folder);
}
std::string nameOf(const std::string& path) {
    return fileio::utf8FromPath(fileio::pathFromUtf8(path).filename());
}
std::string inFolder(const std::string& folder, const std::string& name) {
    return fileio::utf8FromPath(fileio::pathFromUtf8(folder) / fileio::pathFromUtf8(name));
}

bool endsWithExtension(std::string_view name) {
    if (name.size() < kExtension.size()) {
        return false;
    }
    const std::string_view end = name.substr(name.size() - kExtension.size());
    return std::equal(end.begin(), end.end(), kExtension.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A hidden name beside `finalPath`: ".NAME.XXXXXX.tmp", the letters from a counter started at random and
// mixed (a thread-local generator crashes MinGW's emulated thread storage).
std::string hiddenTemporaryName(const std::string& finalPath) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<std::uint64_t> counter{std::random_device{}()};
    std::uint64_t x = counter.fetch_add(0x9E3779B97F4A7C15u) + 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    x ^= x >> 31;
    std::string suffix(6, 'x');
    for (char& letter : suffix) {
        letter = letters[x % (sizeof letters - 1)];
        x /= sizeof letters - 1;
    }
    std::string name(".");
    name.append(nameOf(finalPath)).append(".").append(suffix).append(".tmp");
    return inFolder(folderOf(finalPath), name);
}

std::int64_t slicesOf(std::uint64_t length, std::int64_t blockSize) {
    return static_cast<std::int64_t>((length + static_cast<std::uint64_t>(blockSize) - 1) /
                                     static_cast<std::uint64_t>(blockSize));
}

// The logarithms of the sources' constants: the numbers from 1 up that 3, 5, 17 and 257 do not divide.
std::vector<std::uint32_t> constantLogs(std::size_t count) {
    std::vector<std::uint32_t> logs;
    for (std::uint32_t n = 1; logs.size() < count; ++n) {
        if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) {
            logs.push_back(n);
        }
    }
    return logs;
}

std::uint16_t constantPower(std::uint32_t log, std::uint32_t exponent) {
    return gf16::powerOfTwo(static_cast<std::uint32_t>(std::uint64_t{log} * exponent % 65535));
}

// Pending files made together and renamed together: when one rename fails, the ones before go again.
class PendingSet {
  public:
    PendingSet(TemporaryName temporaryName, bool unnamed)
        : temporaryName_(temporaryName ? std::move(temporaryName) : TemporaryName(hiddenTemporaryName)),
          unnamed_(unnamed) {}
    fileio::PendingFile& add(const std::string& path) {
        files_.push_back(std::make_unique<fileio::PendingFile>(
            path, [this, path] { return lastTemporary_ = temporaryName_(path); }, unnamed_));
        temporaries_.push_back(files_.back()->unnamed() ? std::string() : lastTemporary_);
        paths_.push_back(path);
        return *files_.back();
    }
    fileio::PendingFile& file(std::size_t index) { return *files_[index]; }
    const std::string& temporaryOf(std::size_t index) const { return temporaries_[index]; }
    std::vector<std::string> commitAll() {
        std::size_t done = 0;
        try {
            for (; done < files_.size(); ++done) {
                files_[done]->commit();
            }
        } catch (...) {
            for (std::size_t i = 0; i < done; ++i) {
                try {
                    fileio::removeFile(paths_[i]);
                } catch (const fileio::FileError&) {
                    // The failure that matters is the one being thrown.
                }
            }
            throw;
        }
        return paths_;
    }

  private:
    TemporaryName temporaryName_;
    bool unnamed_;
    std::string lastTemporary_;
    std::vector<std::unique_ptr<fileio::PendingFile>> files_;
    std::vector<std::string> temporaries_, paths_;
};

// The volume files' names and shares of the recovery blocks: 1, 2, 4, ... blocks, the last one the rest.
struct Volume {
    std::string path;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

std::vector<Volume> volumesFor(const std::string& base, std::uint32_t blocks) {
    std::vector<Volume> volumes;
    for (std::uint32_t first = 0, count = 1; first < blocks; first += count, count *= 2) {
        volumes.push_back({{}, first, std::min(count, blocks - first)});
    }
    const auto digits = [](std::uint32_t n) { return std::max<std::size_t>(2, std::to_string(n).size()); };
    const std::size_t firstDigits = digits(volumes.back().first), countDigits = digits(volumes.back().count);
    const auto padded = [](std::uint32_t n, std::size_t width) {
        const std::string text = std::to_string(n);
        return std::string(width - std::min(width, text.size()), '0') + text;
    };
    for (auto& v : volumes) {
        v.path = base + ".vol" + padded(v.first, firstDigits) + "+" + padded(v.count, countDigits) + ".par2";
    }
    return volumes;
}

// A protected file as create sees it.
struct SourceFile {
    std::string path;
    FileDescription description;
};

SourceFile describe(const std::string& path) {
    fileio::InputFile file(path);
    SourceFile source{path, {}};
    source.description.length = static_cast<std::uint64_t>(file.size());
    source.description.name = nameOf(path);
    if (source.description.length == 0) {
        throw std::invalid_argument("recovery data for an empty file: " + path);
    }
    std::string first(
        static_cast<std::size_t>(std::min<std::uint64_t>(kFirstBytesHashed, source.description.length)),
        '\0');
    for (std::size_t done = 0; done < first.size();) {
        const std::size_t got =
            file.readAt(first.data() + done, first.size() - done, static_cast<std::int64_t>(done));
        if (got == 0) {
            throw fileio::FileError(fileio::FileError::Kind::Io, path,
                                    make_error_code(fileio::Errc::EndedEarly));
        }
        done += got;
    }
    source.description.md5Of16k = md5Of(first.data(), first.size());
    source.description.id =
        packets::fileIdOf(source.description.md5Of16k, source.description.length, source.description.name);
    return source;
}

}  // namespace

std::string mainFileOf(const std::string& base) {
    return base + std::string(kExtension);
}

std::vector<std::string> createRecoveryFiles(const std::vector<std::string>& files, int percent,
                                             const std::string& mainPath, const Progress& progress,
                                             const TemporaryName& temporaryName) {
    if (percent < 1 || percent > 100 || files.empty() || files.size() > 32768 ||
        !endsWithExtension(mainPath)) {
        throw std::invalid_argument(
            "recovery files: no files, more than 32768, a percentage outside 1..100 "
            "or a main file not ending in .par2");
    }
    std::vector<SourceFile> sources;
    sources.reserve(files.size());
    for (const auto& path : files) {
        sources.push_back(describe(path));
    }
    std::sort(sources.begin(), sources.end(), [](const auto& a, const auto& b) {
        return packets::idBefore(a.description.id, b.description.id);
    });
    std::uint64_t largest = 0;
    std::vector<Md5Digest> ids;
    for (const auto& source : sources) {
        largest = std::max(largest, source.description.length);
        ids.push_back(source.description.id);
    }
    const auto blockSize = static_cast<std::int64_t>((largest + 3) / 4 * 4);
    const std::string mainBody = packets::mainBody(static_cast<std::uint64_t>(blockSize), ids);
    const Md5Digest setId = md5Of(mainBody.data(), mainBody.size());

    const auto count = static_cast<std::uint32_t>(sources.size());
    const std::uint32_t recoveryBlocks =
        std::max<std::uint32_t>(1, (static_cast<std::uint32_t>(percent) * count + 99) / 100);
    StripePlan plan;
    plan.blockSize = blockSize;
    plan.outputs = recoveryBlocks;
    const auto logs = constantLogs(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        plan.files.push_back(sources[i].path);
        plan.sources.push_back({i, 0, static_cast<std::int64_t>(sources[i].description.length)});
    }
    for (std::uint32_t r = 0; r < recoveryBlocks; ++r) {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            plan.factors.push_back(constantPower(logs[i], r));
        }
    }

    const std::string base = mainPath.substr(0, mainPath.size() - kExtension.size());
    const auto volumes = volumesFor(base, recoveryBlocks);
    PendingSet pending(temporaryName, true);
    fileio::PendingFile& mainFile = pending.add(mainPath);
    std::vector<fileio::OutputFile*> volumeOf(recoveryBlocks);
    const auto packetSize = static_cast<std::int64_t>(packets::kRecoveryPrefixSize) + blockSize;
    for (const auto& volume : volumes) {
        fileio::OutputFile& out = pending.add(volume.path).file();
        out.reserve(packetSize * volume.count);
        std::fill_n(volumeOf.begin() + volume.first, volume.count, &out);
    }
    const auto packetAt = [&](std::uint32_t r) {
        const auto& holder =
            *std::find_if(volumes.rbegin(), volumes.rend(), [r](const auto& v) { return v.first <= r; });
        return packetSize * (r - holder.first);
    };

    std::vector<Md5> fileHashes(sources.size());
    std::vector<std::uint32_t> crcs(sources.size());
    std::vector<Md5> recoveryHashes;
    for (std::uint32_t r = 0; r < recoveryBlocks; ++r) {
        recoveryHashes.push_back(packets::recoveryHashStart(setId, r));
    }
    runStripes(
        plan,
        [&](std::size_t first, std::size_t group, const std::uint8_t* const* data,
            const std::size_t* fromFile, std::size_t size) {
            // The sources whose stripes all come from their files are hashed together.
            std::array<Md5*, 16> hashes{};
            std::array<const std::uint8_t*, 16> bytes{};
            std::size_t whole = 0;
            for (std::size_t j = 0; j < group; ++j) {
                crcs[first + j] = checksum::crc32Update(crcs[first + j], data[j], size);
                if (fromFile[j] == size) {
                    hashes[whole] = &fileHashes[first + j], bytes[whole++] = data[j];
                } else {
                    fileHashes[first + j].update(data[j], fromFile[j]);
                }
            }
            Md5::updateMany(hashes.data(), bytes.data(), whole, size);
        },
        [&](std::size_t r, std::int64_t offset, const std::uint8_t* data, std::size_t size) {
            const auto exponent = static_cast<std::uint32_t>(r);
            volumeOf[r]->writeAt(
                data, size,
                packetAt(exponent) + static_cast<std::int64_t>(packets::kRecoveryPrefixSize) + offset);
            recoveryHashes[r].update(data, size);
        },
        progress);

    std::string critical = packets::packet(setId, packets::kMainType, mainBody);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        FileDescription& description = sources[i].description;
        description.md5 = fileHashes[i].digest();
        Md5 padded = fileHashes[i];
        padded.updateZeros(static_cast<std::uint64_t>(blockSize) - description.length);
        critical +=
            packets::packet(setId, packets::kFileDescriptionType, packets::fileDescriptionBody(description));
        critical += packets::packet(setId, packets::kSliceChecksumType,
                                    packets::sliceChecksumBody(description.id, {{padded.digest(), crcs[i]}}));
    }
    critical += packets::packet(setId, packets::kCreatorType, packets::creatorBody(kCreator));
    mainFile.file().write(critical.data(), critical.size());
    for (const auto& volume : volumes) {
        fileio::OutputFile& out = *volumeOf[volume.first];
        for (std::uint32_t r = volume.first; r < volume.first + volume.count; ++r) {
            const std::string prefix = packets::recoveryPrefix(
                setId, r, static_cast<std::uint64_t>(blockSize), recoveryHashes[r].digest());
            out.writeAt(prefix.data(), prefix.size(), packetAt(r));
        }
        out.writeAt(critical.data(), critical.size(), packetSize * volume.count);
    }
    return pending.commitAll();
}

// ------------------------------------------------------------------------------------------------------

bool Diagnosis::intact() const {
    return std::all_of(files.begin(), files.end(),
                       [](const auto& f) { return f.state == FileState::Intact; });
}

namespace {

// The recovery files of the set: the main file first, then NAME.*.par2 beside it.
std::vector<std::string> recoveryFilesOf(const std::string& mainPath) {
    const std::string folder = folderOf(mainPath), mainName = nameOf(mainPath);
    const std::string base =
        endsWithExtension(mainName) ? mainName.substr(0, mainName.size() - kExtension.size()) : mainName;
    std::vector<std::string> names;
    try {
        for (const auto& entry : fileio::regularFilesIn(folder)) {
            if (entry.name != mainName && entry.name.starts_with(base + ".") &&
                endsWithExtension(entry.name)) {
                names.push_back(entry.name);
            }
        }
    } catch (const fileio::FileError&) {
        // Only the main file, then.
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths{mainPath};
    for (const auto& name : names) {
        paths.push_back(inFolder(folder, name));
    }
    return paths;
}

// A name the set may give: relative, and never leading out of the folder.
bool safeName(const std::string& name) {
    const auto path = fileio::pathFromUtf8(name);
    return !name.empty() && path.is_relative() && !path.has_root_name() &&
           std::none_of(path.begin(), path.end(), [](const auto& part) { return part == ".."; });
}

[[noreturn]] void noSet(const std::string& mainPath, const std::string& why) {
    throw RecoveryError(RecoveryError::Kind::NoRecoverySet, mainPath + ": " + why);
}

FileDescription describedFile(const Md5Digest& id, const std::string& body) {
    FileDescription file;
    file.id = id;
    std::copy_n(body.begin() + 16, 16, file.md5.begin());
    std::copy_n(body.begin() + 32, 16, file.md5Of16k.begin());
    file.length = packets::load64(body.data() + 48);
    file.name = body.substr(56);
    file.name.erase(std::find(file.name.begin(), file.name.end(), '\0'), file.name.end());
    return file;
}

std::vector<SliceCheck> sliceChecksOf(const std::string& body) {
    std::vector<SliceCheck> checks((body.size() - 16) / 20);
    for (std::size_t k = 0; k < checks.size(); ++k) {
        std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(16 + 20 * k), 16, checks[k].md5.begin());
        checks[k].crc = packets::load32le(body.data() + 16 + 20 * k + 16);
    }
    return checks;
}

// One recovery slice of the set per exponent.
std::vector<packets::RecoverySlice> distinctRecovery(const std::vector<packets::RecoverySlice>& slices,
                                                     const Md5Digest& setId, std::int64_t blockSize) {
    std::vector<packets::RecoverySlice> distinct;
    for (const auto& slice : slices) {
        if (slice.setId == setId && slice.dataSize == static_cast<std::uint64_t>(blockSize) &&
            std::none_of(distinct.begin(), distinct.end(),
                         [&](const auto& r) { return r.exponent == slice.exponent; })) {
            distinct.push_back(slice);
        }
    }
    return distinct;
}

// The set described by the intact packets of its recovery files.
// The intact packets and recovery slices of every recovery file of the set of `mainPath`; one that cannot be
// read counts as not there. What `progress` throws (a stop) ends the reading, as a stop asked for does.
void scanRecoveryFiles(const std::string& mainPath, std::vector<packets::Packet>& found,
                       std::vector<packets::RecoverySlice>& slices, const Progress& progress) {
    // Nothing of the protected files is read yet.
    std::exception_ptr stopped;
    const std::function<void()> reading = [&] {
        try {
            progress(0, 1);
        } catch (...) {
            stopped = std::current_exception();
            throw;
        }
    };
    for (const auto& path : recoveryFilesOf(mainPath)) {
        try {
            packets::scanFile(path, found, slices, progress ? reading : std::function<void()>());
        } catch (const fileio::FileError&) {
            if (stopped) {
                std::rethrow_exception(stopped);
            }
            if (fileio::cancelRequested()) {
                throw;
            }
        }
    }
}

std::shared_ptr<SetDetails> readSet(const std::string& mainPath, std::int64_t& blockSize,
                                    const Progress& progress) {
    std::vector<packets::Packet> found;
    std::vector<packets::RecoverySlice> slices;
    scanRecoveryFiles(mainPath, found, slices, progress);
    const auto main = std::find_if(found.begin(), found.end(), [](const auto& p) {
        return p.type == packets::kMainType && p.body.size() >= 12 && (p.body.size() - 12) % 16 == 0;
    });
    if (main == found.end()) {
        noSet(mainPath, "no intact main packet");
    }
    auto details = std::make_shared<SetDetails>();
    details->setId = md5Of(main->body.data(), main->body.size());
    blockSize = static_cast<std::int64_t>(packets::load64(main->body.data()));
    const std::uint32_t count = packets::load32le(main->body.data() + 8);
    if (blockSize <= 0 || blockSize % 4 != 0 || count > (main->body.size() - 12) / 16) {
        noSet(mainPath, "a main packet out of range");
    }
    std::map<Md5Digest, const packets::Packet*> descriptions, checks;
    for (const auto& p : found) {
        if (p.setId == details->setId && p.body.size() >= 16) {
            Md5Digest id{};
            std::copy_n(p.body.begin(), 16, id.begin());
            if (p.type == packets::kFileDescriptionType && p.body.size() >= 56) {
                descriptions.emplace(id, &p);
            } else if (p.type == packets::kSliceChecksumType && (p.body.size() - 16) % 20 == 0) {
                checks.emplace(id, &p);
            }
        }
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        Md5Digest id{};
        std::copy_n(main->body.begin() + 12 + 16 * static_cast<std::ptrdiff_t>(i), 16, id.begin());
        const auto d = descriptions.find(id);
        const auto c = checks.find(id);
        if (d == descriptions.end() || c == checks.end()) {
            noSet(mainPath, "the description of a file is missing");
        }
        FileDescription file = describedFile(id, d->second->body);
        std::vector<SliceCheck> sliceChecks = sliceChecksOf(c->second->body);
        if (!safeName(file.name) ||
            static_cast<std::int64_t>(sliceChecks.size()) != slicesOf(file.length, blockSize)) {
            noSet(mainPath, "a file description out of range");
        }
        details->files.push_back(std::move(file));
        details->checks.push_back(std::move(sliceChecks));
    }
    details->recovery = distinctRecovery(slices, details->setId, blockSize);
    return details;
}

constexpr std::size_t kLaneChunk = 64 << 10;

// One protected file being checked: its whole MD5 and each slice's CRC-32 in one pass over its bytes; when
// the whole does not match, the MD5 of each slice whose CRC-32 does.
class FileCheck {
  public:
    FileCheck(const std::string& path, const FileDescription& file, const std::vector<SliceCheck>& checks,
              std::int64_t blockSize)
        : path_(path),
          file_(file),
          checks_(checks),
          block_(static_cast<std::uint64_t>(blockSize)),
          crcs_(checks.size()) {
        if (fileio::fileExists(path)) {
            in_.emplace(path);
            actual_ = static_cast<std::uint64_t>(in_->size());
            present_ = std::min(actual_, file.length);
        }
    }

    Md5& whole() { return whole_; }

    // Reads the next bytes, up to `size`, into `buffer` and adds them to the slices' CRC-32s; 0 at the end.
    std::size_t readNext(std::uint8_t* buffer, std::size_t size) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(size, present_ - position_));
        readExactly(buffer, count, position_);
        for (std::size_t used = 0; used < count;) {
            const std::uint64_t slice = (position_ + used) / block_;
            const auto n = static_cast<std::size_t>(
                std::min<std::uint64_t>(count - used, (slice + 1) * block_ - position_ - used));
            crcs_[slice] = checksum::crc32Update(crcs_[slice], buffer + used, n);
            used += n;
        }
        position_ += count;
        return count;
    }

    // The verdict once every byte was read: the file's state and which of its slices are intact.
    std::vector<bool> finish(FileState& state) {
        std::vector<bool> intact(checks_.size(), false);
        state = !in_ ? FileState::Missing : FileState::Damaged;
        if (in_ && actual_ == file_.length && whole_.digest() == file_.md5) {
            state = FileState::Intact;
            intact.assign(checks_.size(), true);
            return intact;
        }
        fileio::ReadBuffer<std::uint8_t> buffer(kLaneChunk);
        for (std::size_t k = 0; in_ && k < checks_.size(); ++k) {
            const std::uint64_t start = k * block_, end = std::min(start + block_, file_.length);
            if (end > present_ ||
                checksum::crc32Zeros(crcs_[k], static_cast<std::int64_t>(start + block_ - end)) !=
                    checks_[k].crc) {
                continue;
            }
            Md5 md5;
            for (std::uint64_t at = start; at < end; at += kLaneChunk) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(end - at, kLaneChunk));
                readExactly(buffer.data(), n, at);
                md5.update(buffer.data(), n);
            }
            md5.updateZeros(start + block_ - end);
            intact[k] = md5.digest() == checks_[k].md5;
        }
        return intact;
    }

  private:
    void readExactly(std::uint8_t* buffer, std::size_t count, std::uint64_t at) {
        for (std::size_t done = 0; done < count;) {
            const std::size_t got =
                in_->readAt(buffer + done, count - done, static_cast<std::int64_t>(at + done));
            if (got == 0) {
                throw fileio::FileError(fileio::FileError::Kind::Io, path_,
                                        make_error_code(fileio::Errc::EndedEarly));
            }
            done += got;
        }
    }

    std::string path_;
    const FileDescription& file_;
    const std::vector<SliceCheck>& checks_;
    std::uint64_t block_;
    std::optional<fileio::InputFile> in_;
    std::uint64_t actual_ = 0, present_ = 0, position_ = 0;
    Md5 whole_;
    std::vector<std::uint32_t> crcs_;
};

// Checks up to sixteen files side by side, so that their MD5s are computed together. `afterRound`, when
// given, runs after each piece of every file (progress, which a window keeps its event loop turning with).
void checkBatch(std::vector<FileCheck>& batch, fileio::ReadBuffer<std::uint8_t>& buffers,
                std::atomic<std::int64_t>& done, const std::atomic<bool>& stop,
                const std::function<void()>& afterRound) {
    for (bool more = true; more;) {
        if (stop) {
            throw fileio::FileError(fileio::FileError::Kind::Io, {},
                                    make_error_code(fileio::Errc::Cancelled));
        }
        std::array<Md5*, 16> hashes{};
        std::array<const std::uint8_t*, 16> bytes{};
        std::size_t full = 0;
        more = false;
        for (std::size_t j = 0; j < batch.size(); ++j) {
            std::uint8_t* buffer = buffers.data() + j * kLaneChunk;
            const std::size_t got = batch[j].readNext(buffer, kLaneChunk);
            if (got == kLaneChunk) {
                hashes[full] = &batch[j].whole(), bytes[full++] = buffer;
            } else {
                batch[j].whole().update(buffer, got);
            }
            more = more || got > 0;
            done += static_cast<std::int64_t>(got);
        }
        Md5::updateMany(hashes.data(), bytes.data(), full, kLaneChunk);
        if (afterRound) {
            afterRound();
        }
    }
}

}  // namespace

Diagnosis diagnose(const std::string& mainPath, const Progress& progress) {
    Diagnosis result;
    result.mainPath = mainPath;
    auto details = readSet(mainPath, result.blockSize, progress);
    const std::string folder = folderOf(mainPath);
    const std::size_t count = details->files.size();
    std::vector<FileState> states(count);
    details->intactSlices.resize(count);
    std::int64_t total = 0;
    for (const auto& file : details->files) {
        total += static_cast<std::int64_t>(file.length);
    }
    // Two threads take the files in turn; the calling one reports the progress.
    std::atomic<std::size_t> next{0};
    std::atomic<std::int64_t> done{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    // Batches of sixteen files; two threads take them in turn, the calling one reports the progress.
    const auto work = [&](bool reports) {
        fileio::ReadBuffer<std::uint8_t> buffers(16 * kLaneChunk);
        for (std::size_t first = 16 * next++; first < count && !stop; first = 16 * next++) {
            std::vector<FileCheck> batch;
            for (std::size_t i = first; i < std::min(count, first + 16); ++i) {
                batch.emplace_back(inFolder(folder, details->files[i].name), details->files[i],
                                   details->checks[i], result.blockSize);
            }
            const std::function<void()> report = [&] { progress(done.load(), total); };
            checkBatch(batch, buffers, done, stop, reports && progress ? report : std::function<void()>());
            for (std::size_t j = 0; j < batch.size(); ++j) {
                details->intactSlices[first + j] = batch[j].finish(states[first + j]);
            }
        }
    };
    {
        std::optional<std::jthread> helper;
        if (count > 16 && std::thread::hardware_concurrency() > 1) {
            helper.emplace([&] {
                try {
                    work(false);
                } catch (...) {
                    failure = std::current_exception();
                    stop = true;
                }
            });
        }
        try {
            work(true);
        } catch (...) {
            stop = true;
            throw;
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto& file = details->files[i];
        ProtectedFile entry{file.name,
                            inFolder(folder, file.name),
                            static_cast<std::int64_t>(file.length),
                            states[i],
                            static_cast<std::int64_t>(details->checks[i].size()),
                            0};
        entry.missingBlocks = static_cast<std::int64_t>(
            std::count(details->intactSlices[i].begin(), details->intactSlices[i].end(), false));
        result.sourceBlocks += entry.blocks;
        result.missingBlocks += entry.missingBlocks;
        result.files.push_back(std::move(entry));
    }
    result.recoveryBlocks = static_cast<std::int64_t>(details->recovery.size());
    result.details = std::move(details);
    return result;
}

// ------------------------------------------------------------------------------------------------------

namespace {

using Matrix = std::vector<std::vector<std::uint16_t>>;

// Row `row` minus `factor` times row `by` (in GF(2^16) minus is plus).
void subtractRow(std::vector<std::uint16_t>& row, const std::vector<std::uint16_t>& by,
                 std::uint16_t factor) {
    for (std::size_t c = 0; c < row.size(); ++c) {
        row[c] ^= gf16::multiply(factor, by[c]);
    }
}

// Picks the first recovery slices whose rows (the missing slices' constants to their exponents) are
// independent, as many as slices are missing; nullopt when there are not that many.
std::optional<std::vector<std::size_t>> pickRecovery(const std::vector<std::uint32_t>& missingLogs,
                                                     const std::vector<packets::RecoverySlice>& recovery) {
    std::vector<std::size_t> picked;
    Matrix reduced;  // the picked rows in echelon form; pivots[i] is row i's leading column
    std::vector<std::size_t> pivots;
    for (std::size_t r = 0; r < recovery.size() && picked.size() < missingLogs.size(); ++r) {
        std::vector<std::uint16_t> row(missingLogs.size());
        std::transform(missingLogs.begin(), missingLogs.end(), row.begin(),
                       [&](std::uint32_t log) { return constantPower(log, recovery[r].exponent); });
        for (std::size_t i = 0; i < reduced.size(); ++i) {
            subtractRow(row, reduced[i], gf16::divide(row[pivots[i]], reduced[i][pivots[i]]));
        }
        const auto lead = std::find_if(row.begin(), row.end(), [](std::uint16_t v) { return v != 0; });
        if (lead != row.end()) {
            pivots.push_back(static_cast<std::size_t>(lead - row.begin()));
            reduced.push_back(std::move(row));
            picked.push_back(r);
        }
    }
    if (picked.size() < missingLogs.size()) {
        return std::nullopt;
    }
    return picked;
}

// The inverse of the square matrix `a` (known to be invertible), by Gauss-Jordan elimination.
Matrix inverse(Matrix a) {
    const std::size_t n = a.size();
    Matrix result(n, std::vector<std::uint16_t>(n, 0));
    for (std::size_t i = 0; i < n; ++i) {
        result[i][i] = 1;
    }
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        while (a[pivot][col] == 0) {
            ++pivot;
        }
        std::swap(a[pivot], a[col]);
        std::swap(result[pivot], result[col]);
        const std::uint16_t scale = gf16::divide(1, a[col][col]);
        for (std::size_t c = 0; c < n; ++c) {
            a[col][c] = gf16::multiply(a[col][c], scale);
            result[col][c] = gf16::multiply(result[col][c], scale);
        }
        for (std::size_t row = 0; row < n; ++row) {
            if (row != col && a[row][col] != 0) {
                const std::uint16_t factor = a[row][col];
                subtractRow(a[row], a[col], factor);
                subtractRow(result[row], result[col], factor);
            }
        }
    }
    return result;
}

// Copies the intact slices of a damaged file into its rebuilt one.
void copyIntactSlices(const std::string& from, const FileDescription& file, const std::vector<bool>& intact,
                      std::int64_t blockSize, fileio::OutputFile& to) {
    fileio::InputFile in(from);
    fileio::ReadBuffer<char> buffer(kReadChunk);
    for (std::size_t k = 0; k < intact.size(); ++k) {
        const auto start = static_cast<std::int64_t>(k) * blockSize;
        const std::int64_t end = std::min(start + blockSize, static_cast<std::int64_t>(file.length));
        for (std::int64_t at = start; intact[k] && at < end;) {
            const std::size_t got = in.readAt(
                buffer.data(), static_cast<std::size_t>(std::min<std::int64_t>(end - at, kReadChunk)), at);
            if (got == 0) {
                throw fileio::FileError(fileio::FileError::Kind::Io, from,
                                        make_error_code(fileio::Errc::EndedEarly));
            }
            to.writeAt(buffer.data(), got, at);
            at += static_cast<std::int64_t>(got);
        }
    }
}

// Whether the file at `path` has the length and MD5 the set gives.
bool matches(const std::string& path, const FileDescription& file) {
    fileio::InputFile in(path);
    if (static_cast<std::uint64_t>(in.size()) != file.length) {
        return false;
    }
    Md5 md5;
    fileio::readBytes(in, 0, in.size(), [&md5](const void* data, std::size_t size) {
        if (data != nullptr) {
            md5.update(data, size);
        } else {
            md5.updateZeros(size);
        }
    });
    return md5.digest() == file.md5;
}

// Output k = sum over j of solve[k][j] * (recovery slice j + sum over the intact slices of their constant to
// exponent j times the slice): the factors of the intact slices, then of the recovery slices.
void addSolvedFactors(StripePlan& plan, const Matrix& solve, const std::vector<std::uint32_t>& presentLogs,
                      const std::vector<std::uint32_t>& exponents) {
    for (const auto& row : solve) {
        for (const std::uint32_t log : presentLogs) {
            std::uint16_t factor = 0;
            for (std::size_t j = 0; j < exponents.size(); ++j) {
                factor ^= gf16::multiply(row[j], constantPower(log, exponents[j]));
            }
            plan.factors.push_back(factor);
        }
        plan.factors.insert(plan.factors.end(), row.begin(), row.end());
    }
}

// The work of a repair: the missing slices (their files and offsets into `missing`) as the outputs, the
// intact slices and as many recovery slices as there are missing ones as the sources.
StripePlan repairPlan(const Diagnosis& diagnosis,
                      std::vector<std::pair<std::size_t, std::int64_t>>& missing) {
    const SetDetails& set = *diagnosis.details;
    const std::int64_t blockSize = diagnosis.blockSize;
    std::size_t blocks = 0;
    for (const auto& checks : set.checks) {
        blocks += checks.size();
    }
    const auto logs = constantLogs(blocks);

    // The intact slices and the missing ones, with their constants.
    StripePlan plan;
    plan.blockSize = blockSize;
    std::vector<std::uint32_t> presentLogs, missingLogs;
    std::size_t global = 0;
    for (std::size_t f = 0; f < set.files.size(); ++f) {
        const auto length = static_cast<std::int64_t>(set.files[f].length);
        for (std::size_t k = 0; k < set.checks[f].size(); ++k, ++global) {
            const auto offset = static_cast<std::int64_t>(k) * blockSize;
            if (set.intactSlices[f][k]) {
                if (plan.files.empty() || plan.files.back() != diagnosis.files[f].path) {
                    plan.files.push_back(diagnosis.files[f].path);
                }
                plan.sources.push_back({plan.files.size() - 1, offset, std::min(blockSize, length - offset)});
                presentLogs.push_back(logs[global]);
            } else {
                missing.emplace_back(f, offset);
                missingLogs.push_back(logs[global]);
            }
        }
    }
    const auto picked = pickRecovery(missingLogs, set.recovery);
    if (!picked) {
        throw RecoveryError(RecoveryError::Kind::NotRepairable,
                            diagnosis.mainPath + ": the recovery blocks do not determine the missing ones");
    }
    // missing = inverse(A) * (recovery + sum of the intact slices times their constants to each exponent).
    Matrix a;
    for (const std::size_t r : *picked) {
        a.emplace_back();
        for (const std::uint32_t log : missingLogs) {
            a.back().push_back(constantPower(log, set.recovery[r].exponent));
        }
        plan.files.push_back(set.recovery[r].path);
        plan.sources.push_back({plan.files.size() - 1, set.recovery[r].dataOffset, blockSize});
    }
    std::vector<std::uint32_t> exponents;
    for (const std::size_t r : *picked) {
        exponents.push_back(set.recovery[r].exponent);
    }
    plan.outputs = missing.size();
    addSolvedFactors(plan, missing.empty() ? Matrix{} : inverse(a), presentLogs, exponents);

    return plan;
}

}  // namespace

std::vector<std::string> repair(const Diagnosis& diagnosis, const Progress& progress,
                                const TemporaryName& temporaryName) {
    if (!diagnosis.repairable()) {
        throw RecoveryError(RecoveryError::Kind::NotRepairable,
                            diagnosis.mainPath + ": " + std::to_string(diagnosis.missingBlocks) +
                                " blocks missing, " + std::to_string(diagnosis.recoveryBlocks) +
                                " recovery blocks");
    }
    const SetDetails& set = *diagnosis.details;
    const std::int64_t blockSize = diagnosis.blockSize;
    std::vector<std::pair<std::size_t, std::int64_t>> missing;  // file, offset of the slice
    const StripePlan plan = repairPlan(diagnosis, missing);

    // The rebuilt files, under temporary names until all of them match.
    PendingSet pending(temporaryName, false);
    std::map<std::size_t, std::size_t> pendingOf;
    std::vector<std::size_t> rebuilt;
    for (std::size_t f = 0; f < diagnosis.files.size(); ++f) {
        if (diagnosis.files[f].state != FileState::Intact) {
            pendingOf[f] = rebuilt.size();
            rebuilt.push_back(f);
            pending.add(diagnosis.files[f].path).file().reserve(diagnosis.files[f].length);
        }
    }
    if (!missing.empty()) {
        runStripes(
            plan, {},
            [&](std::size_t k, std::int64_t offset, const std::uint8_t* data, std::size_t size) {
                const auto [f, sliceOffset] = missing[k];
                const std::int64_t at = sliceOffset + offset, length = diagnosis.files[f].length;
                if (at < length) {
                    pending.file(pendingOf[f])
                        .file()
                        .writeAt(data,
                                 static_cast<std::size_t>(
                                     std::min<std::int64_t>(static_cast<std::int64_t>(size), length - at)),
                                 at);
                }
            },
            progress);
    }
    for (std::size_t i = 0; i < rebuilt.size(); ++i) {
        const std::size_t f = rebuilt[i];
        if (diagnosis.files[f].state == FileState::Damaged) {
            copyIntactSlices(diagnosis.files[f].path, set.files[f], set.intactSlices[f], blockSize,
                             pending.file(i).file());
        }
        if (!matches(pending.temporaryOf(i), set.files[f])) {
            throw RecoveryError(RecoveryError::Kind::RebuiltWrong,
                                diagnosis.files[f].path + ": the rebuilt file does not match its checksum");
        }
    }
    return pending.commitAll();
}

}  // namespace recovery
