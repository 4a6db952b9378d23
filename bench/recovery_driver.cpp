// The recovery files from the command line, for bench/recovery_bench.sh:
//   recovery_driver create PERCENT MAIN.par2 FILE...   writes the recovery files
//   recovery_driver repair MAIN.par2                   checks the set and rebuilds what is lost
// Prints what it did on one line; exit status 0 on success, 1 on a failure.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "recovery/gf16.hpp"
#include "recovery/recovery.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 4 && args[0] == "create") {
            const std::vector<std::string> files(args.begin() + 3, args.end());
            const auto written = recovery::createRecoveryFiles(files, std::stoi(args[1]), args[2]);
            std::printf("created %zu recovery files (%s kernel)\n", written.size(),
                        recovery::gf16::kernelName(recovery::gf16::activeKernel()));
            return 0;
        }
        if (args.size() == 2 && args[0] == "repair") {
            const auto diagnosis = recovery::diagnose(args[1]);
            std::printf("%lld of %lld blocks missing, %lld recovery blocks\n",
                        static_cast<long long>(diagnosis.missingBlocks),
                        static_cast<long long>(diagnosis.sourceBlocks),
                        static_cast<long long>(diagnosis.recoveryBlocks));
            if (!diagnosis.intact()) {
                std::printf("rebuilt %zu files\n", recovery::repair(diagnosis).size());
            }
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "recovery_driver: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: recovery_driver create PERCENT MAIN.par2 FILE... | repair MAIN.par2\n");
    return 2;
}
