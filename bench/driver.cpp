// Runs one operation of the core on real files for whole-process comparisons with other tools.

#include <cstdio>
#include <exception>
#include <string>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"

namespace {

int usage() {
    std::fprintf(stderr, "usage: bench_driver crc FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    try {
        if (command == "crc" && argc == 3) {
            clsCRC32 calculator;
            std::printf("%s\n", checksum::crcText(checksum::fileCrc32(argv[2], calculator)).c_str());
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_driver: %s\n", error.what());
        return 1;
    }
    return usage();
}
