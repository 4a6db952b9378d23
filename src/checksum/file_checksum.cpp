#include "checksum/file_checksum.hpp"

#include <cstdio>

#include "checksum/crc32.hpp"
#include "fileio/buffer.hpp"
#include "fileio/files.hpp"

namespace checksum {

namespace {
// Large reads keep the system calls rare; the checksum does not depend on how the file is cut.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;
}  // namespace

std::uint32_t fileCrc32(const std::string& path, clsCRC32& calculator,
                        const std::function<void()>& afterBlock) {
    // Read to its end whatever size the system reports: files under /proc report 0 and have content.
    fileio::InputFile file(path);
    fileio::ReadBuffer<std::uint8_t> block(kBlockSize);
    std::int32_t crc = 0;
    for (std::size_t got; (got = file.read(block.data(), block.size())) != 0;) {
        crc = calculator.CRC32(crc, block, static_cast<double>(got - 1));
        if (afterBlock) {
            afterBlock();
        }
    }
    return static_cast<std::uint32_t>(crc);
}

std::string crcText(std::uint32_t crc) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned int>(crc));
    return digits;
}

}  // namespace checksum
