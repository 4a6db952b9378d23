#pragma once
// MD5 message digests, fed piece by piece; the state is a plain value, so a copy continues separately.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace recovery {

using Md5Digest = std::array<std::uint8_t, 16>;

// One running digest.
class Md5 {
  public:
    // Adds `size` bytes to the message.
    void update(const void* data, std::size_t size);
    // Adds `size` bytes at data[j] to digests[j] for each of the `count` digests: sixteen at once where the
    // CPU has AVX-512.
    static void updateMany(Md5* const* digests, const std::uint8_t* const* data, std::size_t count,
                           std::size_t size);
    // Adds `count` zero bytes to the message.
    void updateZeros(std::uint64_t count);
    // The digest of everything added so far; the state itself stays as it was.
    Md5Digest digest() const;

  private:
    void compress(const std::uint8_t* blocks, std::size_t count);
    std::array<std::uint32_t, 4> state_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    std::array<std::uint8_t, 64> pending_{};
    std::uint64_t length_ = 0;
};

// The digest of `size` bytes at `data`.
Md5Digest md5Of(const void* data, std::size_t size);

// The digest as 32 lowercase hexadecimal digits.
std::string hexOf(const Md5Digest& digest);

}  // namespace recovery
