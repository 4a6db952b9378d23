#include "recovery/md5.hpp"

#include <algorithm>
#include <cstring>

#include "recovery/md5_kernels.hpp"

namespace recovery {

namespace {

inline std::uint32_t rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t load32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// The four rounds written out, so that the shifts and word indices are constants the compiler folds.
#define MD5_STEP(f, a, b, c, d, k, s, i) ((a) = (b) + rotl((a) + (f) + w[k] + detail::kMd5Sines[i], s))
#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_G(b, c, d) ((c) ^ ((d) & ((b) ^ (c))))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))

}  // namespace

void Md5::compress(const std::uint8_t* blocks, std::size_t count) {
    std::uint32_t w[16];
    for (; count > 0; --count, blocks += 64) {
        for (std::size_t i = 0; i < 16; ++i) {
            w[i] = load32(blocks + 4 * i);
        }
        std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
        for (std::size_t i = 0; i < 16; i += 4) {
            MD5_STEP(MD5_F(b, c, d), a, b, c, d, i, 7, i);
            MD5_STEP(MD5_F(a, b, c), d, a, b, c, i + 1, 12, i + 1);
            MD5_STEP(MD5_F(d, a, b), c, d, a, b, i + 2, 17, i + 2);
            MD5_STEP(MD5_F(c, d, a), b, c, d, a, i + 3, 22, i + 3);
        }
        for (std::size_t i = 16; i < 32; i += 4) {
            MD5_STEP(MD5_G(b, c, d), a, b, c, d, (5 * i + 1) % 16, 5, i);
            MD5_STEP(MD5_G(a, b, c), d, a, b, c, (5 * i + 6) % 16, 9, i + 1);
            MD5_STEP(MD5_G(d, a, b), c, d, a, b, (5 * i + 11) % 16, 14, i + 2);
            MD5_STEP(MD5_G(c, d, a), b, c, d, a, (5 * i + 16) % 16, 20, i + 3);
        }
        for (std::size_t i = 32; i < 48; i += 4) {
            MD5_STEP(MD5_H(b, c, d), a, b, c, d, (3 * i + 5) % 16, 4, i);
            MD5_STEP(MD5_H(a, b, c), d, a, b, c, (3 * i + 8) % 16, 11, i + 1);
            MD5_STEP(MD5_H(d, a, b), c, d, a, b, (3 * i + 11) % 16, 16, i + 2);
            MD5_STEP(MD5_H(c, d, a), b, c, d, a, (3 * i + 14) % 16, 23, i + 3);
        }
        for (std::size_t i = 48; i < 64; i += 4) {
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

void Md5::updateMany(Md5* const* digests, const std::uint8_t* const* data, std::size_t count,
                     std::size_t size) {
    std::size_t done = 0;
#ifdef DODIVEVERAZED_MD5_X86
    static const bool vector = detail::cpuHasAvx512();
    const std::size_t blocks = size / 64;
    const bool aligned =
        std::all_of(digests, digests + count, [](const Md5* digest) { return digest->length_ % 64 == 0; });
    for (std::size_t lanes = 0; vector && aligned && blocks > 0 && count - done >= 2; done += lanes) {
        lanes = std::min<std::size_t>(16, count - done);
        std::uint32_t state[4][16]{};
        const std::uint8_t* from[16];
        for (std::size_t j = 0; j < 16; ++j) {
            // Lanes beyond the messages hash the first one's bytes again, and are dropped.
            const std::size_t lane = done + (j < lanes ? j : 0);
            from[j] = data[lane];
            for (std::size_t word = 0; word < 4; ++word) {
                state[word][j] = digests[lane]->state_[word];
            }
        }
        detail::md5Compress16(state, from, blocks);
        for (std::size_t j = 0; j < lanes; ++j) {
            Md5& digest = *digests[done + j];
            for (std::size_t word = 0; word < 4; ++word) {
                digest.state_[word] = state[word][j];
            }
            digest.length_ += blocks * 64;
            digest.update(data[done + j] + blocks * 64, size % 64);
        }
    }
#endif
    for (; done < count; ++done) {
        digests[done]->update(data[done], size);
    }
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

#undef MD5_STEP
#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I
