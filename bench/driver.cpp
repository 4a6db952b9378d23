// Runs one operation of the core on real files for whole-process comparisons with other tools.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "fragments/split.hpp"

namespace {

int usage() {
    std::fprintf(
        stderr,
        "usage: bench_driver crc FILE\n"
        "       bench_driver split FILE KB          (no checksum file)\n"
        "       bench_driver split-sfv FILE KB      (with the checksum file, as the window splits)\n"
        "       bench_driver join TARGET FRAGMENT...      (unverified)\n"
        "       bench_driver join-sfv TARGET FRAGMENT...  (verified against the set's .sfv first)\n");
    return 2;
}

int split(const char* source, const char* kilobytes, bool checksumFile) {
    const auto bytes = fragments::fragmentBytesFor(std::atoll(kilobytes));
    const auto length = static_cast<std::int64_t>(std::filesystem::file_size(source));
    if (!bytes || *bytes == 0) {
        return usage();
    }
    const fragments::SplitPlan plan = fragments::planSplit(length, *bytes);
    const fragments::SplitResult result =
        fragments::splitFile(source, plan, {}, fragments::nativeSeparator, checksumFile);
    std::printf("%zu%s\n", result.fileNames.size(), result.checksumFileWritten ? " + .sfv" : "");
    return 0;
}

// The fragments must lie in one folder, as a listed set does.
int join(const char* target, int count, char** fragmentPaths, bool verify) {
    const std::string folder = fragments::folderOf(fragmentPaths[0]);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(fragments::Nurdatei(fragmentPaths[i]));
    }
    const auto checksums = verify
                               ? fragments::findSetChecksums(folder, fragments::sourceNameOf(names[0])).crcs
                               : std::map<std::string, std::uint32_t>();
    if (verify && checksums.size() != names.size()) {
        std::fprintf(stderr, "bench_driver: the .sfv names %zu of the %zu fragments\n", checksums.size(),
                     names.size());
        return 1;
    }
    const auto plan = fragments::planJoin(names, folder, target, checksums);
    if (!std::holds_alternative<fragments::JoinPlan>(plan)) {
        std::fprintf(stderr, "bench_driver: the join was refused\n");
        return 1;
    }
    fragments::joinFragments(std::get<fragments::JoinPlan>(plan), {});
    return 0;
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
        if ((command == "split" || command == "split-sfv") && argc == 4) {
            return split(argv[2], argv[3], command == "split-sfv");
        }
        if ((command == "join" || command == "join-sfv") && argc >= 4) {
            return join(argv[2], argc - 3, argv + 3, command == "join-sfv");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_driver: %s\n", error.what());
        return 1;
    }
    return usage();
}
