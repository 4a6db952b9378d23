#pragma once
// The vector region kernels behind gf16::regionKernel.

#include <array>
#include <cstdint>

#include "recovery/gf16.hpp"

#if defined(__x86_64__) || defined(_M_X64)
#define DODIVEVERAZED_GF16_X86 1
#endif

namespace recovery::gf16::detail {

// Entry k is factor * 2^k: the images of the sixteen bits of a word, from which every kernel builds its
// tables.
std::array<std::uint16_t, 16> bitImages(std::uint16_t factor);

#ifdef DODIVEVERAZED_GF16_X86
bool cpuHasAvx2();
bool cpuHasGfni512();
extern const RegionKernel avx2Kernel;
extern const RegionKernel gfni512Kernel;
#endif

}  // namespace recovery::gf16::detail
