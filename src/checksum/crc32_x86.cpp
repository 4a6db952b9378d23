// Carry-less multiply folding for x86-64 (PCLMULQDQ, and VPCLMULQDQ on AVX-512 CPUs).
//
// Bytes are read as a bit stream, lowest bit first, so a 128-bit lane loaded little-endian holds
// the message polynomial bit-reflected: bit j is the coefficient of x^(127-j). The low quadword is
// the high half H, the high quadword the low half L of the block X = H*x^64 + L. Moving X forward
// by D bits only needs X*x^D mod P = H*(x^(D+64) mod P) + L*(x^D mod P), two 64x64 carry-less
// products of at most 96 bits that are XORed into the block D bits further on. A carry-less
// product of two reflected 64-bit values comes out reflected with one extra factor x, so each
// constant is x^(D+63) mod P and x^(D-1) mod P, bit-reflected into the top half of a quadword.
// When one 128-bit block X is left, the CRC register is X*x^32 mod P: the byte table computes
// that from those sixteen bytes, and then the bytes after the last whole block.

#include "checksum/crc32_kernels.hpp"

#ifdef DODIVEVERAZED_CRC_X86

#include <immintrin.h>

#include "checksum/crc32_core.hpp"

#ifdef _MSC_VER
#include <intrin.h>
#define CRC_TARGET(features)
#else
#define CRC_TARGET(features) __attribute__((target(features)))
#endif

namespace checksum::detail {

namespace {

// x^k mod P, bit-reflected (bit 31 holds x^0); multiplying by x is one step of the register.
constexpr std::uint32_t xPowerModP(unsigned k) {
    std::uint32_t r = 0x80000000u;
    for (unsigned i = 0; i < k; ++i) {
        r = (r & 1u) != 0 ? (r >> 1) ^ kCrcPolynomial : r >> 1;
    }
    return r;
}

struct FoldConstants {
    long long forHigh;  // multiplies the low quadword (the block's high half)
    long long forLow;
};

// Constants that move a 128-bit block forward by `bits`.
constexpr FoldConstants foldBy(unsigned bits) {
    return {static_cast<long long>(std::uint64_t{xPowerModP(bits + 63)} << 32),
            static_cast<long long>(std::uint64_t{xPowerModP(bits - 1)} << 32)};
}

constexpr FoldConstants kFold128 = foldBy(128);
constexpr FoldConstants kFold256 = foldBy(256);
constexpr FoldConstants kFold384 = foldBy(384);
constexpr FoldConstants kFold512 = foldBy(512);
constexpr FoldConstants kFold2048 = foldBy(2048);

CRC_TARGET("pclmul,sse2") inline __m128i constants128(FoldConstants k) {
    return _mm_set_epi64x(k.forLow, k.forHigh);
}

CRC_TARGET("pclmul,sse2") inline __m128i fold128(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)),
                         next);
}

#define AVX512_TARGET CRC_TARGET("pclmul,sse2,avx2,avx512f,vpclmulqdq")

AVX512_TARGET inline __m512i load512(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}

// Spelled out rather than _mm512_broadcast_i32x4, whose GCC 12 header trips -Wmaybe-uninitialized.
AVX512_TARGET inline __m512i broadcast512(FoldConstants k) {
    return _mm512_set_epi64(k.forLow, k.forHigh, k.forLow, k.forHigh, k.forLow, k.forHigh, k.forLow,
                            k.forHigh);
}

// 0x96 is the three-way XOR.
AVX512_TARGET inline __m512i fold512(__m512i x, __m512i k, __m512i next) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                     _mm512_clmulepi64_epi128(x, k, 0x11), next, 0x96);
}

CRC_TARGET("pclmul,sse2") inline __m128i load128(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Folds the remaining whole blocks into `x`, reduces it and adds the last bytes.
CRC_TARGET("pclmul,sse2")
std::uint32_t finish(__m128i x, const std::uint8_t* data, std::size_t size) {
    const __m128i k128 = constants128(kFold128);
    for (; size >= 16; data += 16, size -= 16) {
        x = fold128(x, k128, load128(data));
    }
    alignas(16) std::uint8_t block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), x);
    // 0xFFFFFFFF is the finished form of a zero register.
    const std::uint32_t crc = slice16Kernel(0xFFFFFFFFu, block, sizeof block);
    return tableKernel(crc, data, size);
}

}  // namespace

bool cpuHasPclmul() {
#ifdef _MSC_VER
    int regs[4];
    __cpuid(regs, 1);
    return (regs[2] & (1 << 1)) != 0;
#else
    return __builtin_cpu_supports("pclmul");
#endif
}

bool cpuHasVpclmul() {
#ifdef _MSC_VER
    int regs[4];
    __cpuid(regs, 1);
    const bool osSavesState = (regs[2] & (1 << 27)) != 0 && (_xgetbv(0) & 0xE6) == 0xE6;
    __cpuidex(regs, 7, 0);
    return osSavesState && (regs[1] & (1 << 16)) != 0 && (regs[2] & (1 << 10)) != 0 && cpuHasPclmul();
#else
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq") && cpuHasPclmul();
#endif
}

CRC_TARGET("pclmul,sse2")
std::uint32_t pclmulKernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    if (size < 64) {
        return slice16Kernel(crc, data, size);
    }
    // The register joins the first four bytes; from there on the stream is folded from a zero register.
    __m128i x0 = _mm_xor_si128(load128(data), _mm_cvtsi32_si128(static_cast<int>(~crc)));
    __m128i x1 = load128(data + 16);
    __m128i x2 = load128(data + 32);
    __m128i x3 = load128(data + 48);
    data += 64;
    size -= 64;
    const __m128i k512 = constants128(kFold512);
    for (; size >= 64; data += 64, size -= 64) {
        _mm_prefetch(reinterpret_cast<const char*>(data + 1024), _MM_HINT_T0);
        x0 = fold128(x0, k512, load128(data));
        x1 = fold128(x1, k512, load128(data + 16));
        x2 = fold128(x2, k512, load128(data + 32));
        x3 = fold128(x3, k512, load128(data + 48));
    }
    const __m128i k128 = constants128(kFold128);
    x1 = fold128(x0, k128, x1);
    x2 = fold128(x1, k128, x2);
    x3 = fold128(x2, k128, x3);
    return finish(x3, data, size);
}

AVX512_TARGET
std::uint32_t vpclmulKernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    if (size < 256) {
        return pclmulKernel(crc, data, size);
    }
    const __m512i start =
        _mm512_inserti32x4(_mm512_setzero_si512(), _mm_cvtsi32_si128(static_cast<int>(~crc)), 0);
    __m512i z0 = _mm512_xor_si512(load512(data), start);
    __m512i z1 = load512(data + 64);
    __m512i z2 = load512(data + 128);
    __m512i z3 = load512(data + 192);
    data += 256;
    size -= 256;
    const __m512i k2048 = broadcast512(kFold2048);
    for (; size >= 256; data += 256, size -= 256) {
        z0 = fold512(z0, k2048, load512(data));
        z1 = fold512(z1, k2048, load512(data + 64));
        z2 = fold512(z2, k2048, load512(data + 128));
        z3 = fold512(z3, k2048, load512(data + 192));
    }
    const __m512i k512 = broadcast512(kFold512);
    z1 = fold512(z0, k512, z1);
    z2 = fold512(z1, k512, z2);
    z3 = fold512(z2, k512, z3);
    for (; size >= 64; data += 64, size -= 64) {
        z3 = fold512(z3, k512, load512(data));
    }
    // The four lanes are consecutive blocks: move the first three onto the last. (Through memory,
    // since GCC 12's lane-extract header trips -Wmaybe-uninitialized.)
    alignas(64) std::uint8_t lanes[64];
    _mm512_store_si512(lanes, z3);
    __m128i x = load128(lanes + 48);
    x = fold128(load128(lanes + 32), constants128(kFold128), x);
    x = fold128(load128(lanes + 16), constants128(kFold256), x);
    x = fold128(load128(lanes), constants128(kFold384), x);
    return finish(x, data, size);
}

}  // namespace checksum::detail

#endif
