#include <gtest/gtest.h>

#include <random>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "crc_reference.hpp"
#include "support/TempDir.hpp"

namespace {

using checksum::Kernel;

std::vector<Kernel> supportedKernels() {
    std::vector<Kernel> kernels;
    for (Kernel k : {Kernel::Table, Kernel::Slice16, Kernel::Pclmul, Kernel::Vpclmul}) {
        if (checksum::kernelSupported(k)) {
            kernels.push_back(k);
        }
    }
    return kernels;
}

// Puts the dispatcher back to the CPU's choice however the test ends.
struct ForcedKernel {
    explicit ForcedKernel(Kernel k) { checksum::testing::forceKernel(k); }
    ~ForcedKernel() { checksum::testing::resetKernel(); }
};

TEST(CrcKernels, PortableKernelsAlwaysThere) {
    EXPECT_TRUE(checksum::kernelSupported(Kernel::Table));
    EXPECT_TRUE(checksum::kernelSupported(Kernel::Slice16));
    EXPECT_NE(checksum::activeKernel(), Kernel::Table);
}

TEST(CrcKernels, EveryKernelEqualsTheTableAtEveryAlignmentAndLength) {
    const auto source = testsupport::patternBytes(1024, 11);
    std::vector<std::uint32_t> expected(source.size() + 1);
    for (std::size_t length = 0; length <= source.size(); ++length) {
        expected[length] = checksum::crc32UpdateWith(Kernel::Table, 0x9E3779B9u, source.data(), length);
    }
    ASSERT_EQ(expected[source.size()], bitwiseCrc32(source.data(), source.size(), 0x9E3779B9u));
    std::vector<std::uint8_t> shifted(source.size() + 64);
    for (Kernel kernel : supportedKernels()) {
        for (std::size_t alignment = 0; alignment < 64; ++alignment) {
            std::copy(source.begin(), source.end(), shifted.begin() + static_cast<std::ptrdiff_t>(alignment));
            for (std::size_t length = 0; length <= source.size(); ++length) {
                const std::uint32_t crc =
                    checksum::crc32UpdateWith(kernel, 0x9E3779B9u, shifted.data() + alignment, length);
                if (crc != expected[length]) {
                    ADD_FAILURE() << checksum::kernelName(kernel) << " alignment " << alignment << " length "
                                  << length;
                    return;
                }
            }
        }
    }
}

TEST(CrcKernels, EveryKernelEqualsTheTableOnLargeRandomBuffers) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 6; ++round) {
        const std::size_t size = std::uniform_int_distribution<std::size_t>(1, 4u << 20)(random);
        const auto start = static_cast<std::uint32_t>(random());
        const auto bytes = testsupport::patternBytes(size, static_cast<std::uint32_t>(random()));
        const std::uint32_t expected = checksum::crc32UpdateWith(Kernel::Table, start, bytes.data(), size);
        for (Kernel kernel : supportedKernels()) {
            EXPECT_EQ(checksum::crc32UpdateWith(kernel, start, bytes.data(), size), expected)
                << checksum::kernelName(kernel) << " size " << size;
        }
    }
}

TEST(CrcKernels, CalculatorAndFileChecksumRunOnEveryKernel) {
    testsupport::TempDir dir;
    const auto bytes = testsupport::patternBytes(300000, 5);
    const std::string path = dir.file("daten.bin");
    testsupport::writeFile(path, bytes);
    const std::uint32_t expected = bitwiseCrc32(bytes);
    for (Kernel kernel : supportedKernels()) {
        ForcedKernel forced(kernel);
        ASSERT_EQ(checksum::activeKernel(), kernel);
        clsCRC32 calculator;
        EXPECT_EQ(calculator.CRC32(0, bytesOf("123456789"), 8), static_cast<std::int32_t>(0xCBF43926u))
            << checksum::kernelName(kernel);
        EXPECT_EQ(checksum::fileCrc32(path, calculator), expected) << checksum::kernelName(kernel);
    }
}

}  // namespace
