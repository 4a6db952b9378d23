// Runs one operation of the core on real files for whole-process comparisons with other tools.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "fragments/split.hpp"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: bench_driver crc FILE\n"
                 "       bench_driver split FILE KB\n"
                 "       bench_driver join TARGET FRAGMENT...\n");
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
        if (command == "split" && argc == 4) {
            const auto bytes = fragments::fragmentBytesFor(std::atoll(argv[3]));
            const auto length = static_cast<std::int64_t>(std::filesystem::file_size(argv[2]));
            if (!bytes || *bytes == 0) {
                return usage();
            }
            const fragments::SplitPlan plan = fragments::planSplit(length, *bytes);
            const fragments::SplitResult result =
                fragments::splitFile(argv[2], plan, {}, fragments::nativeSeparator);
            std::printf("%d\n", result.fragmentsWritten);
            return 0;
        }
        if (command == "join" && argc >= 4) {
            fragments::JoinOutput output(argv[2]);
            std::int64_t total = 0;
            for (int i = 3; i < argc; ++i) {
                total += static_cast<std::int64_t>(std::filesystem::file_size(argv[i]));
            }
            output.reserve(total);
            for (int i = 3; i < argc; ++i) {
                output.append(argv[i]);
            }
            output.commit();
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_driver: %s\n", error.what());
        return 1;
    }
    return usage();
}
