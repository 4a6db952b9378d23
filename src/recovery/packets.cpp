#include "recovery/packets.hpp"

#include <algorithm>
#include <cstring>

#include "fileio/buffer.hpp"
#include "fileio/files.hpp"

namespace recovery::packets {

std::uint64_t load64(const char* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(p[i]);
    }
    return value;
}

std::uint32_t load32le(const char* p) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(p[i]);
    }
    return value;
}

void append64(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
}

void append32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
}

namespace {

void appendDigest(std::string& out, const Md5Digest& digest) {
    out.append(reinterpret_cast<const char*>(digest.data()), digest.size());
}

Md5Digest digestAt(const char* p) {
    Md5Digest digest{};
    std::memcpy(digest.data(), p, digest.size());
    return digest;
}

}  // namespace

Md5Digest fileIdOf(const Md5Digest& md5Of16k, std::uint64_t length, std::string_view name) {
    std::string input;
    appendDigest(input, md5Of16k);
    append64(input, length);
    input += name;
    return md5Of(input.data(), input.size());
}

bool idBefore(const Md5Digest& a, const Md5Digest& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

std::string mainBody(std::uint64_t sliceSize, const std::vector<Md5Digest>& fileIds) {
    std::string body;
    append64(body, sliceSize);
    append32(body, static_cast<std::uint32_t>(fileIds.size()));
    for (const auto& id : fileIds) {
        appendDigest(body, id);
    }
    return body;
}

std::string fileDescriptionBody(const FileDescription& file) {
    std::string body;
    appendDigest(body, file.id);
    appendDigest(body, file.md5);
    appendDigest(body, file.md5Of16k);
    append64(body, file.length);
    body += file.name;
    body.append((4 - body.size() % 4) % 4, '\0');
    return body;
}

std::string sliceChecksumBody(const Md5Digest& fileId, const std::vector<SliceCheck>& slices) {
    std::string body;
    appendDigest(body, fileId);
    for (const auto& slice : slices) {
        appendDigest(body, slice.md5);
        append32(body, slice.crc);
    }
    return body;
}

std::string creatorBody(std::string_view creator) {
    std::string body(creator);
    body.append((4 - body.size() % 4) % 4, '\0');
    return body;
}

std::string packet(const Md5Digest& setId, std::string_view type, std::string_view body) {
    std::string hashed;
    appendDigest(hashed, setId);
    hashed += type;
    hashed += body;
    std::string out(kMagic);
    append64(out, kHeaderSize + body.size());
    appendDigest(out, md5Of(hashed.data(), hashed.size()));
    return out + hashed;
}

Md5 recoveryHashStart(const Md5Digest& setId, std::uint32_t exponent) {
    std::string hashed;
    appendDigest(hashed, setId);
    hashed += kRecoverySliceType;
    append32(hashed, exponent);
    Md5 md5;
    md5.update(hashed.data(), hashed.size());
    return md5;
}

std::string recoveryPrefix(const Md5Digest& setId, std::uint32_t exponent, std::uint64_t dataSize,
                           const Md5Digest& hash) {
    std::string out(kMagic);
    append64(out, kRecoveryPrefixSize + dataSize);
    appendDigest(out, hash);
    appendDigest(out, setId);
    out += kRecoverySliceType;
    append32(out, exponent);
    return out;
}

namespace {

// Bodies other than recovery data are small; a length beyond this is damage.
constexpr std::uint64_t kLargestKeptBody = 16u << 20;

// Reads the file through a window, so that memory stays bounded whatever the file's size.
class Window {
  public:
    explicit Window(const std::string& path) : file_(path), size_(file_.size()) {}
    std::int64_t size() const { return size_; }
    // The position of the next magic at or after `from`, or -1.
    std::int64_t findMagic(std::int64_t from) {
        while (from + static_cast<std::int64_t>(kMagic.size()) <= size_) {
            const std::string_view bytes = at(from, kWindow);
            const auto found = bytes.find(kMagic);
            if (found != std::string_view::npos) {
                return from + static_cast<std::int64_t>(found);
            }
            if (bytes.size() < kMagic.size()) {
                return -1;
            }
            from += static_cast<std::int64_t>(bytes.size() - kMagic.size() + 1);
        }
        return -1;
    }
    // Up to `count` bytes at `offset`.
    std::string_view at(std::int64_t offset, std::size_t count) {
        count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - offset));
        if (offset < start_ ||
            offset + static_cast<std::int64_t>(count) > start_ + static_cast<std::int64_t>(length_)) {
            buffer_.resize(std::max(count, kWindow));
            start_ = offset;
            length_ = 0;
            while (length_ < buffer_.size()) {
                const std::size_t got = file_.readAt(buffer_.data() + length_, buffer_.size() - length_,
                                                     offset + static_cast<std::int64_t>(length_));
                if (got == 0) {
                    break;
                }
                length_ += got;
            }
            count = std::min(count, length_);
        }
        return {buffer_.data() + (offset - start_), count};
    }

  private:
    static constexpr std::size_t kWindow = 1 << 20;
    fileio::InputFile file_;
    std::int64_t size_;
    fileio::ReadBuffer<char> buffer_;
    std::int64_t start_ = 0;
    std::size_t length_ = 0;
};

// Whether the MD5 of the bytes after the hash, up to the packet's end, is the header's.
bool hashMatches(Window& window, std::int64_t start, std::uint64_t length, const Md5Digest& expected) {
    Md5 md5;
    for (std::uint64_t done = 32; done < length;) {
        const auto piece =
            window.at(start + static_cast<std::int64_t>(done),
                      static_cast<std::size_t>(std::min<std::uint64_t>(length - done, 1 << 20)));
        if (piece.empty()) {
            return false;
        }
        md5.update(piece.data(), piece.size());
        done += piece.size();
    }
    return md5.digest() == expected;
}

}  // namespace

void scanFile(const std::string& path, std::vector<Packet>& packets, std::vector<RecoverySlice>& slices,
              const std::function<void()>& afterPacket) {
    Window window(path);
    for (std::int64_t at = window.findMagic(0); at >= 0; at = window.findMagic(at)) {
        const std::string header(window.at(at, kHeaderSize));
        const std::uint64_t length = header.size() == kHeaderSize ? load64(header.data() + 8) : 0;
        const std::string type = header.size() == kHeaderSize ? header.substr(48, 16) : std::string();
        const bool isRecovery = type == kRecoverySliceType;
        const bool plausible = length >= kHeaderSize + (isRecovery ? 4 : 0) && length % 4 == 0 &&
                               length <= static_cast<std::uint64_t>(window.size() - at) &&
                               (isRecovery || length - kHeaderSize <= kLargestKeptBody);
        if (!plausible || !hashMatches(window, at, length, digestAt(header.data() + 16))) {
            ++at;
            continue;
        }
        const Md5Digest setId = digestAt(header.data() + 32);
        if (isRecovery) {
            const std::string exponent(window.at(at + static_cast<std::int64_t>(kHeaderSize), 4));
            slices.push_back({path, at + static_cast<std::int64_t>(kRecoveryPrefixSize),
                              load32le(exponent.data()), length - kRecoveryPrefixSize, setId});
        } else {
            packets.push_back({setId, type,
                               std::string(window.at(at + static_cast<std::int64_t>(kHeaderSize),
                                                     static_cast<std::size_t>(length - kHeaderSize)))});
        }
        at += static_cast<std::int64_t>(length);
        if (afterPacket) {
            afterPacket();
        }
    }
}

}  // namespace recovery::packets
