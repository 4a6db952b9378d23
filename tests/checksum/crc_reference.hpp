#pragma once
// An independent CRC-32 for the tests: one bit at a time, straight from the polynomial.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::uint32_t bitwiseCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return ~crc;
}

inline std::uint32_t bitwiseCrc32(const std::vector<std::uint8_t>& bytes) {
    return bitwiseCrc32(bytes.data(), bytes.size());
}

inline std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}
