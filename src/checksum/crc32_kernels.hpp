#pragma once
// The CRC-32 kernels behind crc32Update. Each takes and returns a finished checksum.

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define DODIVEVERAZED_CRC_X86 1
#endif

namespace checksum::detail {

std::uint32_t tableKernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
std::uint32_t slice16Kernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

#ifdef DODIVEVERAZED_CRC_X86
bool cpuHasPclmul();
bool cpuHasVpclmul();
std::uint32_t pclmulKernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
std::uint32_t vpclmulKernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
#endif

}  // namespace checksum::detail
