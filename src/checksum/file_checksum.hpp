#pragma once
// The CRC-32 of a whole file.

#include <cstdint>
#include <functional>
#include <string>

class clsCRC32;

namespace checksum {

// CRC-32 of the file at `path` (UTF-8) computed with `calculator`, read to its end. Throws
// fileio::FileError (a std::system_error) when it is no regular file (a FIFO is refused, never waited
// on) or cannot be opened or read; the file is closed on every way out. `afterBlock`, when given, runs
// after each block read (about every MiB), so that a window can serve its event loop meanwhile; what it
// throws ends the computation.
std::uint32_t fileCrc32(const std::string& path, clsCRC32& calculator,
                        const std::function<void()>& afterBlock = {});

// Eight uppercase hexadecimal digits, zero-padded: "CBF43926".
std::string crcText(std::uint32_t crc);

}  // namespace checksum
