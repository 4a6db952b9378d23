#pragma once
// The raw CRC-32 engine under clsCRC32: byte tables, fast kernels and the run-time kernel choice.

#include <array>
#include <cstddef>
#include <cstdint>

namespace checksum {

// Reflected generator polynomial of CRC-32/ISO-HDLC.
inline constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;

// Entry n is the register after eight shift steps starting from n.
constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t x = n;
        for (int step = 0; step < 8; ++step) {
            x = (x & 1u) != 0 ? (x >> 1) ^ kCrcPolynomial : x >> 1;
        }
        table[n] = x;
    }
    return table;
}

inline constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

// Continues the finished checksum `crc` (0 for a new stream) over `size` bytes and returns the
// finished checksum, with whichever kernel was chosen for this CPU.
std::uint32_t crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

// The finished checksum of A followed by B, from the finished checksums of A and of B and B's length: the
// checksum of a whole file from those of its pieces.
std::uint32_t crc32Combine(std::uint32_t first, std::uint32_t second, std::int64_t secondLength);
// crc32Update continued over `count` zero bytes, without reading them (a hole in a file).
std::uint32_t crc32Zeros(std::uint32_t crc, std::int64_t count);

// The CRC-32 of the bytes shown to it in order, pieces of zeros too (null `data`), as a file copy shows them.
class RunningCrc32 {
  public:
    void operator()(const void* data, std::size_t size) {
        crc_ = data != nullptr ? crc32Update(crc_, static_cast<const std::uint8_t*>(data), size)
                               : crc32Zeros(crc_, static_cast<std::int64_t>(size));
    }
    std::uint32_t value() const { return crc_; }

  private:
    std::uint32_t crc_ = 0;
};

enum class Kernel { Table, Slice16, Pclmul, Vpclmul };

// Whether this build and this CPU can run `kernel`.
bool kernelSupported(Kernel kernel);
// The kernel crc32Update uses now.
Kernel activeKernel();
// The same contract as crc32Update, with one named kernel (which must be supported).
std::uint32_t crc32UpdateWith(Kernel kernel, std::uint32_t crc, const std::uint8_t* data, std::size_t size);
const char* kernelName(Kernel kernel);

namespace testing {
// Makes crc32Update use `kernel` from now on, so that every caller can be checked on every kernel.
void forceKernel(Kernel kernel);
// Back to the kernel chosen for this CPU.
void resetKernel();
}  // namespace testing

}  // namespace checksum
