// Throughput of every CRC-32 kernel this CPU supports, over buffers from 64 B to 64 MiB.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"

namespace {

std::vector<std::uint8_t> buffer(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

void kernelBenchmark(benchmark::State& state, checksum::Kernel kernel) {
    const auto bytes = buffer(static_cast<std::size_t>(state.range(0)));
    std::uint32_t crc = 0;
    for (auto _ : state) {
        crc = checksum::crc32UpdateWith(kernel, crc, bytes.data(), bytes.size());
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// The whole way a caller goes: clsCRC32 with the kernel chosen for this CPU.
void calculatorBenchmark(benchmark::State& state) {
    const auto bytes = buffer(static_cast<std::size_t>(state.range(0)));
    clsCRC32 calculator;
    std::int32_t crc = 0;
    for (auto _ : state) {
        crc = calculator.CRC32(crc, bytes, static_cast<double>(bytes.size() - 1));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t size :
         {std::int64_t{64}, std::int64_t{4} << 10, std::int64_t{1} << 20, std::int64_t{64} << 20}) {
        b->Arg(size);
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (checksum::Kernel kernel : {checksum::Kernel::Table, checksum::Kernel::Slice16,
                                    checksum::Kernel::Pclmul, checksum::Kernel::Vpclmul}) {
        if (checksum::kernelSupported(kernel)) {
            benchmark::RegisterBenchmark((std::string("crc32/") + checksum::kernelName(kernel)).c_str(),
                                         kernelBenchmark, kernel)
                ->Apply(sizes);
        }
    }
    benchmark::RegisterBenchmark("crc32/clsCRC32", calculatorBenchmark)->Apply(sizes);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
