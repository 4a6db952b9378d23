#pragma once
// CRC-32 (IEEE 802.3, CRC-32/ISO-HDLC) over byte arrays, chainable call by call.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class clsCRC32 {
  public:
    // Builds the table, so that a new instance is ready for use.
    clsCRC32();

    // Checksum of bytes 0..dblLength of `bArrayIn` continued from `lngCRC32` (0 starts a new one).
    // An empty array gives 0; a negative dblLength returns lngCRC32; an index beyond the array
    // throws std::out_of_range. The result's bit pattern is the checksum.
    std::int32_t CRC32(std::int32_t lngCRC32, const std::vector<std::uint8_t>& bArrayIn, double dblLength) {
        return CRC32Bytes(lngCRC32, bArrayIn.data(), bArrayIn.size(), dblLength);
    }
    // The same for an array with its own allocator (a page-aligned read buffer).
    template <typename Allocator>
    std::int32_t CRC32(std::int32_t lngCRC32, const std::vector<std::uint8_t, Allocator>& bArrayIn,
                       double dblLength) {
        return CRC32Bytes(lngCRC32, bArrayIn.data(), bArrayIn.size(), dblLength);
    }

  private:
    std::int32_t CRC32Bytes(std::int32_t lngCRC32, const std::uint8_t* bytes, std::size_t size,
                            double dblLength);
    bool TabelleAufbauen();

    std::array<std::int32_t, 256> lngTabelle{};
    bool blnTabelleAufgebaut = false;
};
