#pragma once
// Arithmetic in GF(2^16) with the generator polynomial x^16 + x^12 + x^3 + x + 1 (0x1100B), and the
// multiply-accumulate of whole regions of 16-bit little-endian words by one constant, with vector kernels
// chosen at run time. Every kernel gives the same bytes.

#include <cstddef>
#include <cstdint>

namespace recovery::gf16 {

// The product of `a` and `b`.
std::uint16_t multiply(std::uint16_t a, std::uint16_t b);
// `a` divided by `b` (not 0).
std::uint16_t divide(std::uint16_t a, std::uint16_t b);
// `base` to the power `exponent`.
std::uint16_t power(std::uint16_t base, std::uint32_t exponent);
// 2 to the power `exponent`.
std::uint16_t powerOfTwo(std::uint32_t exponent);

enum class Kernel { Portable, Avx2, Gfni512 };

// Whether this build and this CPU can run `kernel`.
bool kernelSupported(Kernel kernel);
// The fastest kernel this CPU runs, the one the region work uses unless a test forces another.
Kernel activeKernel();
const char* kernelName(Kernel kernel);

// A kernel works on regions in its own byte order (a fixed permutation within each 64 bytes), so that
// a source region is reordered once and then multiplied into many accumulators: `prepare` turns plain
// words into that order, `finish` turns them back, and `multiplyAdd` computes dst ^= factor * src on
// regions in that order. Sizes are multiples of 64; regions start on 64-byte boundaries.
struct RegionKernel {
    void (*prepare)(std::uint8_t* region, std::size_t size);
    void (*finish)(std::uint8_t* region, std::size_t size);
    void (*multiplyAdd)(std::uint16_t factor, const std::uint8_t* src, std::uint8_t* dst, std::size_t size);
};

// The region functions of `kernel` (which must be supported).
const RegionKernel& regionKernel(Kernel kernel);

// dst ^= factor * src over `size` bytes of plain little-endian words (size even, any alignment), with
// `kernel`.
void multiplyAdd(Kernel kernel, std::uint16_t factor, const std::uint8_t* src, std::uint8_t* dst,
                 std::size_t size);

namespace testing {
// Makes activeKernel return `kernel` (which must be supported) from now on.
void forceKernel(Kernel kernel);
// Back to the fastest kernel of this CPU.
void resetKernel();
}  // namespace testing

}  // namespace recovery::gf16
