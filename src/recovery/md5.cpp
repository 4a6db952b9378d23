#include "recovery/md5.hpp"

#include <algorithm>
#include <cstring>

namespace recovery {

namespace {

constexpr std::array<std::uint32_t, 64> kSines{
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline std::uint32_t rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t load32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// The four rounds written out, so that the shifts and word indices are constants the compiler folds.
#define MD5_STEP(f, a, b, c, d, k, s, i) a = b + rotl(a + (f) + w[k] + kSines[i], s)
#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_G(b, c, d) ((c) ^ ((d) & ((b) ^ (c))))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))

}  // namespace

void Md5::compress(const std::uint8_t* blocks, std::size_t count) {
    std::uint32_t w[16];
    for (; count > 0; --count, blocks += 64) {
        for (int i = 0; i < 16; ++i) {
            w[i] = load32(blocks + 4 * i);
        }
        std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
        for (int i = 0; i < 16; i += 4) {
            MD5_STEP(MD5_F(b, c, d), a, b, c, d, i, 7, i);
            MD5_STEP(MD5_F(a, b, c), d, a, b, c, i + 1, 12, i + 1);
            MD5_STEP(MD5_F(d, a, b), c, d, a, b, i + 2, 17, i + 2);
            MD5_STEP(MD5_F(c, d, a), b, c, d, a, i + 3, 22, i + 3);
        }
        for (int i = 16; i < 32; i += 4) {
            MD5_STEP(MD5_G(b, c, d), a, b, c, d, (5 * i + 1) % 16, 5, i);
            MD5_STEP(MD5_G(a, b, c), d, a, b, c, (5 * i + 6) % 16, 9, i + 1);
            MD5_STEP(MD5_G(d, a, b), c, d, a, b, (5 * i + 11) % 16, 14, i + 2);
            MD5_STEP(MD5_G(c, d, a), b, c, d, a, (5 * i + 16) % 16, 20, i + 3);
        }
        for (int i = 32; i < 48; i += 4) {
            MD5_STEP(MD5_H(b, c, d), a, b, c, d, (3 * i + 5) % 16, 4, i);
            MD5_STEP(MD5_H(a, b, c), d, a, b, c, (3 * i + 8) % 16, 11, i + 1);
            MD5_STEP(MD5_H(d, a, b), c, d, a, b, (3 * i + 11) % 16, 16, i + 2);
            MD5_STEP(MD5_H(c, d, a), b, c, d, a, (3 * i + 14) % 16, 23, i + 3);
        }
        for (int i = 48; i < 64; i += 4) {
            MD5_STEP(MD5_I(b, c, d), a, b, c, d, (7 * i) % 16, 6, i);
            MD5_STEP(MD5_I(a, b, c), d, a, b, c, (7 * i + 7) % 16, 10, i + 1);
            MD5_STEP(MD5_I(d, a, b), c, d, a, b, (7 * i + 14) % 16, 15, i + 2);
            MD5_STEP(MD5_I(c, d, a), b, c, d, a, (7 * i + 21) % 16, 21, i + 3);
        }
        state_[0] += a, state_[1] += b, state_[2] += c, state_[3] += d;
    }
}

void Md5::update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t used = length_ % 64;
    length_ += size;
    if (used != 0) {
        const std::size_t take = std::min(size, 64 - used);
        std::memcpy(pending_.data() + used, bytes, take);
        bytes += take, size -= take, used += take;
        if (used < 64) {
            return;
        }
        compress(pending_.data(), 1);
    }
    compress(bytes, size / 64);
    std::memcpy(pending_.data(), bytes + size / 64 * 64, size % 64);
}

void Md5::updateZeros(std::uint64_t count) {
    static const std::array<std::uint8_t, 4096> zeros{};
    for (; count > 0; count -= std::min<std::uint64_t>(count, zeros.size())) {
        update(zeros.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, zeros.size())));
    }
}

Md5Digest Md5::digest() const {
    Md5 last = *this;
    const std::uint64_t bits = length_ * 8;
    std::array<std::uint8_t, 72> tail{0x80};
    const std::size_t padding = (55 - length_ % 64 + 64) % 64 + 1;
    for (int i = 0; i < 8; ++i) {
        tail[padding + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    last.update(tail.data(), padding + 8);
    Md5Digest out{};
    for (std::size_t i = 0; i < 16; ++i) {
        out[i] = static_cast<std::uint8_t>(last.state_[i / 4] >> (8 * (i % 4)));
    }
    return out;
}

Md5Digest md5Of(const void* data, std::size_t size) {
    Md5 md5;
    md5.update(data, size);
    return md5.digest();
}

std::string hexOf(const Md5Digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

}  // namespace recovery
