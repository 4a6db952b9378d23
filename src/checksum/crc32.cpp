#include "checksum/crc32.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "checksum/crc32_core.hpp"

clsCRC32::clsCRC32() {
    blnTabelleAufgebaut = TabelleAufbauen();
}

// The table is the one the kernels use, its entries read as signed numbers.
bool clsCRC32::TabelleAufbauen() {
    std::transform(checksum::kCrcTable.begin(), checksum::kCrcTable.end(), lngTabelle.begin(),
                   [](std::uint32_t entry) { return static_cast<std::int32_t>(entry); });
    return true;
}

std::int32_t clsCRC32::CRC32Bytes(std::int32_t lngCRC32, const std::uint8_t* bytes, std::size_t size,
                                  double dblLength) {
    if (!blnTabelleAufgebaut) {
        blnTabelleAufgebaut = TabelleAufbauen();
    }
    if (size == 0) {
        return 0;
    }
    // dblLength is the last index to include; bytes 0..floor(dblLength) go in. The comparisons
    // stay in floating point so that NaN, infinities and huge values never reach an integer cast.
    if (dblLength < 0.0) {
        return lngCRC32;
    }
    if (std::isnan(dblLength) || dblLength >= static_cast<double>(size)) {
        throw std::out_of_range("clsCRC32::CRC32: index " + std::to_string(dblLength) +
                                " beyond the array of " + std::to_string(size) + " bytes");
    }
    const auto count = static_cast<std::size_t>(std::floor(dblLength)) + 1;
    const std::uint32_t crc = checksum::crc32Update(static_cast<std::uint32_t>(lngCRC32), bytes, count);
    return static_cast<std::int32_t>(crc);
}
