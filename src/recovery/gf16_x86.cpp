// The region kernels for x86-64. Both keep the low and the high bytes of the words apart, so that each
// byte of a product is a sum of per-byte pieces:
// - AVX2: each 64 bytes (32 words) become their 32 low bytes, then their 32 high bytes; a product byte is
//   the XOR of four 16-entry table lookups (PSHUFB), one per nibble of the word.
// - GFNI with AVX-512: each 16 bytes (8 words) become their 8 low bytes, then their 8 high bytes; a
//   product half is the XOR of two 8x8 bit-matrix products (GF2P8AFFINEQB), one per half of the word,
//   the matrix chosen per 64-bit lane.

#include "recovery/gf16_kernels.hpp"

#ifdef DODIVEVERAZED_GF16_X86

#include <immintrin.h>

#ifdef _MSC_VER
#include <intrin.h>
#define GF16_TARGET(features)
#else
#define GF16_TARGET(features) __attribute__((target(features)))
#endif

namespace recovery::gf16::detail {

namespace {

// Within each 16 bytes: the even (low) bytes first, then the odd (high) ones; and back.
GF16_TARGET("avx2") inline __m256i splitHalves256() {
    return _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15, 0, 2, 4, 6, 8, 10, 12, 14,
                            1, 3, 5, 7, 9, 11, 13, 15);
}
GF16_TARGET("avx2") inline __m256i joinHalves256() {
    return _mm256_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15, 0, 8, 1, 9, 2, 10, 3, 11, 4,
                            12, 5, 13, 6, 14, 7, 15);
}

GF16_TARGET("avx2") void avx2Prepare(std::uint8_t* region, std::size_t size) {
    const __m256i split = splitHalves256();
    for (std::size_t i = 0; i < size; i += 64) {
        auto* p = reinterpret_cast<__m256i*>(region + i);
        const __m256i a = _mm256_shuffle_epi8(_mm256_load_si256(p), split);
        const __m256i b = _mm256_shuffle_epi8(_mm256_load_si256(p + 1), split);
        _mm256_store_si256(p, _mm256_unpacklo_epi64(a, b));
        _mm256_store_si256(p + 1, _mm256_unpackhi_epi64(a, b));
    }
}

GF16_TARGET("avx2") void avx2Finish(std::uint8_t* region, std::size_t size) {
    const __m256i join = joinHalves256();
    for (std::size_t i = 0; i < size; i += 64) {
        auto* p = reinterpret_cast<__m256i*>(region + i);
        const __m256i low = _mm256_load_si256(p), high = _mm256_load_si256(p + 1);
        _mm256_store_si256(p, _mm256_shuffle_epi8(_mm256_unpacklo_epi64(low, high), join));
        _mm256_store_si256(p + 1, _mm256_shuffle_epi8(_mm256_unpackhi_epi64(low, high), join));
    }
}

// Table [half][nibble]: the low (half 0) or high product byte of each value of the nibble'th nibble.
GF16_TARGET("avx2")
void avx2MultiplyAdd(std::uint16_t factor, const std::uint8_t* src, std::uint8_t* dst, std::size_t size) {
    const auto images = bitImages(factor);
    __m256i table[2][4];
    for (int nibble = 0; nibble < 4; ++nibble) {
        alignas(16) std::uint8_t low[16], high[16];
        for (unsigned v = 0; v < 16; ++v) {
            unsigned product = 0;
            for (unsigned bit = 0; bit < 4; ++bit) {
                product ^= ((v >> bit) & 1u) != 0 ? images[4 * static_cast<unsigned>(nibble) + bit] : 0u;
            }
            low[v] = static_cast<std::uint8_t>(product), high[v] = static_cast<std::uint8_t>(product >> 8);
        }
        table[0][nibble] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low)));
        table[1][nibble] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(high)));
    }
    const __m256i mask = _mm256_set1_epi8(0x0F);
    for (std::size_t i = 0; i < size; i += 64) {
        const auto* s = reinterpret_cast<const __m256i*>(src + i);
        auto* d = reinterpret_cast<__m256i*>(dst + i);
        const __m256i low = _mm256_load_si256(s), high = _mm256_load_si256(s + 1);
        const __m256i n0 = _mm256_and_si256(low, mask),
                      n1 = _mm256_and_si256(_mm256_srli_epi16(low, 4), mask);
        const __m256i n2 = _mm256_and_si256(high, mask),
                      n3 = _mm256_and_si256(_mm256_srli_epi16(high, 4), mask);
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            half[h] = _mm256_xor_si256(
                _mm256_xor_si256(_mm256_shuffle_epi8(table[h][0], n0), _mm256_shuffle_epi8(table[h][1], n1)),
                _mm256_xor_si256(_mm256_shuffle_epi8(table[h][2], n2), _mm256_shuffle_epi8(table[h][3], n3)));
        }
        _mm256_store_si256(d, _mm256_xor_si256(_mm256_load_si256(d), half[0]));
        _mm256_store_si256(d + 1, _mm256_xor_si256(_mm256_load_si256(d + 1), half[1]));
    }
}

#define GFNI512_TARGET GF16_TARGET("avx2,avx512f,avx512bw,gfni")

// Byte orders for each 16 bytes of a 512-bit register (GCC 12's broadcasts and PSHUFD trip its
// uninitialized-value warnings, so the patterns are loaded): halves apart, halves back, halves swapped.
template <int Kind>
struct Pattern512 {
    alignas(64) std::uint8_t bytes[64];
    constexpr Pattern512() : bytes{} {
        for (int i = 0; i < 64; ++i) {
            const int k = i % 16;
            const int index = Kind == 0   ? (k < 8 ? 2 * k : 2 * (k - 8) + 1)
                              : Kind == 1 ? (k % 2 == 0 ? k / 2 : 8 + k / 2)
                                          : (k + 8) % 16;
            bytes[i] = static_cast<std::uint8_t>(index);
        }
    }
};
constexpr Pattern512<0> kSplit512;
constexpr Pattern512<1> kJoin512;
constexpr Pattern512<2> kSwap512;

GFNI512_TARGET inline __m512i load512(const std::uint8_t* p) {
    return _mm512_load_si512(p);
}

GFNI512_TARGET void gfniPrepare(std::uint8_t* region, std::size_t size) {
    const __m512i split = load512(kSplit512.bytes);
    for (std::size_t i = 0; i < size; i += 64) {
        auto* p = reinterpret_cast<__m512i*>(region + i);
        _mm512_store_si512(p, _mm512_shuffle_epi8(_mm512_load_si512(p), split));
    }
}

GFNI512_TARGET void gfniFinish(std::uint8_t* region, std::size_t size) {
    const __m512i join = load512(kJoin512.bytes);
    for (std::size_t i = 0; i < size; i += 64) {
        auto* p = reinterpret_cast<__m512i*>(region + i);
        _mm512_store_si512(p, _mm512_shuffle_epi8(_mm512_load_si512(p), join));
    }
}

// The 8x8 bit matrix that maps the `in` half of a word to the `out` half of its product: row i (output
// bit i) is byte 7 - i, and its bit j is bit i of the product's half for bit j of the input's half.
long long halfMatrix(const std::array<std::uint16_t, 16>& images, unsigned out, unsigned in) {
    std::uint64_t matrix = 0;
    for (unsigned i = 0; i < 8; ++i) {
        std::uint64_t row = 0;
        for (unsigned j = 0; j < 8; ++j) {
            row |= std::uint64_t{(images[8 * in + j] >> (8 * out + i)) & 1u} << j;
        }
        matrix |= row << (8 * (7 - i));
    }
    return static_cast<long long>(matrix);
}

GFNI512_TARGET void gfniMultiplyAdd(std::uint16_t factor, const std::uint8_t* src, std::uint8_t* dst,
                                    std::size_t size) {
    const auto images = bitImages(factor);
    // Lane 0 holds the low bytes, lane 1 the high ones; the swapped copy brings the other half to each.
    const long long lowFromLow = halfMatrix(images, 0, 0), highFromHigh = halfMatrix(images, 1, 1);
    const long long lowFromHigh = halfMatrix(images, 0, 1), highFromLow = halfMatrix(images, 1, 0);
    const __m512i same = _mm512_set_epi64(highFromHigh, lowFromLow, highFromHigh, lowFromLow, highFromHigh,
                                          lowFromLow, highFromHigh, lowFromLow);
    const __m512i other = _mm512_set_epi64(highFromLow, lowFromHigh, highFromLow, lowFromHigh, highFromLow,
                                           lowFromHigh, highFromLow, lowFromHigh);
    const __m512i swap = load512(kSwap512.bytes);
    for (std::size_t i = 0; i < size; i += 64) {
        const __m512i v = _mm512_load_si512(src + i);
        const __m512i swapped = _mm512_shuffle_epi8(v, swap);
        const __m512i a = _mm512_gf2p8affine_epi64_epi8(v, same, 0);
        const __m512i b = _mm512_gf2p8affine_epi64_epi8(swapped, other, 0);
        auto* d = reinterpret_cast<__m512i*>(dst + i);
        _mm512_store_si512(d, _mm512_ternarylogic_epi64(_mm512_load_si512(d), a, b, 0x96));
    }
}

}  // namespace

bool cpuHasAvx2() {
#ifdef _MSC_VER
    int regs[4];
    __cpuid(regs, 1);
    const bool osSavesState = (regs[2] & (1 << 27)) != 0 && (_xgetbv(0) & 0x6) == 0x6;
    __cpuidex(regs, 7, 0);
    return osSavesState && (regs[1] & (1 << 5)) != 0;
#else
    return __builtin_cpu_supports("avx2");
#endif
}

bool cpuHasGfni512() {
#ifdef _MSC_VER
    int regs[4];
    __cpuid(regs, 1);
    const bool osSavesState = (regs[2] & (1 << 27)) != 0 && (_xgetbv(0) & 0xE6) == 0xE6;
    __cpuidex(regs, 7, 0);
    return osSavesState && (regs[1] & (1 << 16)) != 0 && (regs[1] & (1 << 30)) != 0 &&
           (regs[2] & (1 << 8)) != 0 && cpuHasAvx2();
#else
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("gfni") && cpuHasAvx2();
#endif
}

const RegionKernel avx2Kernel{avx2Prepare, avx2Finish, avx2MultiplyAdd};
const RegionKernel gfni512Kernel{gfniPrepare, gfniFinish, gfniMultiplyAdd};

}  // namespace recovery::gf16::detail

#undef GFNI512_TARGET
#undef GF16_TARGET

#endif
