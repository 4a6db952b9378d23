// MD5 of sixteen messages at once with AVX-512: one message per 32-bit lane, their 64-byte blocks turned
// into the lanes by a 16x16 transpose, the round functions as three-input logic (VPTERNLOGD).

#include "recovery/md5_kernels.hpp"

#ifdef DODIVEVERAZED_MD5_X86

#include <immintrin.h>

#ifdef _MSC_VER
#include <intrin.h>
#define MD5_TARGET
#else
#define MD5_TARGET __attribute__((target("avx2,avx512f")))
#endif
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers pass undefined registers to the unmasked forms and then warn about them.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace recovery::detail {

namespace {

// Row j (lane j's sixteen words) in, word k of every lane out.
MD5_TARGET inline void transpose(__m512i r[16]) {
    __m512i t[16], u[16];
    for (std::size_t i = 0; i < 8; ++i) {
        t[2 * i] = _mm512_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm512_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        u[4 * i] = _mm512_unpacklo_epi64(t[4 * i], t[4 * i + 2]);
        u[4 * i + 1] = _mm512_unpackhi_epi64(t[4 * i], t[4 * i + 2]);
        u[4 * i + 2] = _mm512_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
        u[4 * i + 3] = _mm512_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
    }
    for (std::size_t q = 0; q < 4; ++q) {
        const __m512i x0 = _mm512_shuffle_i32x4(u[q], u[4 + q], 0x44),
                      x1 = _mm512_shuffle_i32x4(u[q], u[4 + q], 0xEE);
        const __m512i y0 = _mm512_shuffle_i32x4(u[8 + q], u[12 + q], 0x44);
        const __m512i y1 = _mm512_shuffle_i32x4(u[8 + q], u[12 + q], 0xEE);
        r[q] = _mm512_shuffle_i32x4(x0, y0, 0x88);
        r[4 + q] = _mm512_shuffle_i32x4(x0, y0, 0xDD);
        r[8 + q] = _mm512_shuffle_i32x4(x1, y1, 0x88);
        r[12 + q] = _mm512_shuffle_i32x4(x1, y1, 0xDD);
    }
}

}  // namespace

MD5_TARGET void md5Compress16(std::uint32_t state[4][16], const std::uint8_t* const data[16],
                              std::size_t blocks) {
    __m512i a = _mm512_loadu_si512(state[0]), b = _mm512_loadu_si512(state[1]);
    __m512i c = _mm512_loadu_si512(state[2]), d = _mm512_loadu_si512(state[3]);
    for (std::size_t block = 0; block < blocks; ++block) {
        __m512i w[16];
        for (std::size_t j = 0; j < 16; ++j) {
            w[j] = _mm512_loadu_si512(data[j] + 64 * block);
        }
        transpose(w);
        const __m512i a0 = a, b0 = b, c0 = c, d0 = d;
        // The scalar steps, a = b + rotl(a + f(b, c, d) + w[k] + sine, s), with the registers renamed.
#pragma GCC unroll 64
        for (std::size_t i = 0; i < 64; ++i) {
            __m512i f;
            std::size_t k;
            if (i < 16) {
                f = _mm512_ternarylogic_epi32(b, c, d, 0xCA), k = i;
            } else if (i < 32) {
                f = _mm512_ternarylogic_epi32(d, b, c, 0xCA), k = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = _mm512_ternarylogic_epi32(b, c, d, 0x96), k = (3 * i + 5) % 16;
            } else {
                f = _mm512_ternarylogic_epi32(b, c, d, 0x39), k = (7 * i) % 16;
            }
            const __m512i sum =
                _mm512_add_epi32(_mm512_add_epi32(a, f),
                                 _mm512_add_epi32(w[k], _mm512_set1_epi32(static_cast<int>(kMd5Sines[i]))));
            const __m512i rotated = _mm512_rolv_epi32(sum, _mm512_set1_epi32(kMd5Shifts[i]));
            a = d, d = c, c = b;
            b = _mm512_add_epi32(b, rotated);
        }
        a = _mm512_add_epi32(a, a0), b = _mm512_add_epi32(b, b0);
        c = _mm512_add_epi32(c, c0), d = _mm512_add_epi32(d, d0);
    }
    _mm512_storeu_si512(state[0], a), _mm512_storeu_si512(state[1], b);
    _mm512_storeu_si512(state[2], c), _mm512_storeu_si512(state[3], d);
}

bool cpuHasAvx512() {
#ifdef _MSC_VER
    int regs[4];
    __cpuid(regs, 1);
    const bool osSavesState = (regs[2] & (1 << 27)) != 0 && (_xgetbv(0) & 0xE6) == 0xE6;
    __cpuidex(regs, 7, 0);
    return osSavesState && (regs[1] & (1 << 16)) != 0;
#else
    return __builtin_cpu_supports("avx512f");
#endif
}

}  // namespace recovery::detail

#undef MD5_TARGET

#endif
