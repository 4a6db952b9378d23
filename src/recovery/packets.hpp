#pragma once
// The packets of a recovery file set: each is a 64-byte header (magic, length, the MD5 of what follows
// the hash, the recovery set id, the type) and a body; integers are little-endian.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/md5.hpp"

namespace recovery::packets {

inline constexpr std::string_view kMagic{"PAR2\0PKT", 8};
inline constexpr std::string_view kMainType{"PAR 2.0\0Main\0\0\0\0", 16};
inline constexpr std::string_view kFileDescriptionType{"PAR 2.0\0FileDesc", 16};
inline constexpr std::string_view kSliceChecksumType{"PAR 2.0\0IFSC\0\0\0\0", 16};
inline constexpr std::string_view kRecoverySliceType{"PAR 2.0\0RecvSlic", 16};
inline constexpr std::string_view kCreatorType{"PAR 2.0\0Creator\0", 16};
inline constexpr std::size_t kHeaderSize = 64;
// The header and the exponent before a recovery slice's data.
inline constexpr std::size_t kRecoveryPrefixSize = kHeaderSize + 4;

// The checks of one slice: MD5 and CRC-32 of its bytes, zero-padded to the slice size.
struct SliceCheck {
    Md5Digest md5{};
    std::uint32_t crc = 0;
};

// What the set says about one protected file.
struct FileDescription {
    Md5Digest id{};
    Md5Digest md5{};       // of the whole file
    Md5Digest md5Of16k{};  // of its first 16 KiB
    std::uint64_t length = 0;
    std::string name;  // UTF-8, without a folder
};

// The file id: the MD5 of the first 16 KiB's MD5, the length and the name.
Md5Digest fileIdOf(const Md5Digest& md5Of16k, std::uint64_t length, std::string_view name);
// Whether file id `a` comes before `b` in a set, as 128-bit little-endian numbers.
bool idBefore(const Md5Digest& a, const Md5Digest& b);

// The body of the main packet; its MD5 is the recovery set id.
std::string mainBody(std::uint64_t sliceSize, const std::vector<Md5Digest>& fileIds);
std::string fileDescriptionBody(const FileDescription& file);
std::string sliceChecksumBody(const Md5Digest& fileId, const std::vector<SliceCheck>& slices);
std::string creatorBody(std::string_view creator);

// A whole packet: header and `body` (whose length is a multiple of 4).
std::string packet(const Md5Digest& setId, std::string_view type, std::string_view body);
// The header and exponent of a recovery slice packet whose data has `dataSize` bytes; `hash` is the MD5
// of the set id, the type, the exponent and the data.
std::string recoveryPrefix(const Md5Digest& setId, std::uint32_t exponent, std::uint64_t dataSize,
                           const Md5Digest& hash);
// The running MD5 of a recovery slice packet up to its data.
Md5 recoveryHashStart(const Md5Digest& setId, std::uint32_t exponent);

// A recovery slice found in a file: where its data starts.
struct RecoverySlice {
    std::string path;
    std::int64_t dataOffset = 0;
    std::uint32_t exponent = 0;
    std::uint64_t dataSize = 0;
    Md5Digest setId{};
};

// An intact packet other than a recovery slice, body included.
struct Packet {
    Md5Digest setId{};
    std::string type;
    std::string body;
};

// Every intact packet of the file at `path`, found wherever it starts: a damaged packet or damaged bytes
// between packets are skipped. Recovery slices are checked whole but not kept in memory. Throws FileError
// when the file cannot be read. `afterPacket`, when given, runs after each intact packet (a window turns its
// event loop there: checking a volume's recovery slices reads megabytes).
void scanFile(const std::string& path, std::vector<Packet>& packets, std::vector<RecoverySlice>& slices,
              const std::function<void()>& afterPacket = {});

// Little-endian fields.
std::uint64_t load64(const char* p);
std::uint32_t load32le(const char* p);
void append64(std::string& out, std::uint64_t value);
void append32(std::string& out, std::uint32_t value);

}  // namespace recovery::packets
