#include <gtest/gtest.h>

#include <random>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "crc_reference.hpp"
#include "support/TempDir.hpp"

namespace {

using checksum::crc32UpdateWith;
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

TEST(CrcKernels, EveryKernelEqualsTheTableAtEveryAlignmentAndLength) {
    const auto source = testsupport::patternBytes(1024, 11);
    const std::uint32_t start = 0x9E3779B9u;
    std::vector<std::uint32_t> expected(source.size() + 1);
    for (std::size_t length = 0; length <= source.size(); ++length) {
        expected[length] = crc32UpdateWith(Kernel::Table, start, source.data(), length);
    }
    ASSERT_EQ(expected[source.size()], bitwiseCrc32(source.data(), source.size(), start));
    std::vector<std::uint8_t> shifted(source.size() + 64);
    for (Kernel kernel : supportedKernels()) {
        for (std::size_t alignment = 0; alignment < 64; ++alignment) {
            std::copy(source.begin(), source.end(), shifted.begin() + static_cast<std::ptrdiff_t>(alignment));
            for (std::size_t length = 0; length <= source.size(); ++length) {
                if (crc32UpdateWith(kernel, start, shifted.data() + alignment, length) != expected[length]) {
                    FAIL() << checksum::kernelName(kernel) << " alignment " << alignment << " length "
                           << length;
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
        const std::uint32_t expected = crc32UpdateWith(Kernel::Table, start, bytes.data(), size);
        for (Kernel kernel : supportedKernels()) {
            EXPECT_EQ(crc32UpdateWith(kernel, start, bytes.data(), size), expected)
                << checksum::kernelName(kernel) << " size " << size;
        }
    }
}

TEST(CrcKernels, DispatcherPrefersAFastKernelAndEveryKernelServesTheCalculator) {
    EXPECT_TRUE(checksum::kernelSupported(Kernel::Slice16));
    EXPECT_NE(checksum::activeKernel(), Kernel::Table);
    testsupport::TempDir dir;
    const auto bytes = testsupport::patternBytes(300000, 5);
    const std::string path = dir.file("daten.bin");
    testsupport::writeFile(path, bytes);
    for (Kernel kernel : supportedKernels()) {
        checksum::testing::forceKernel(kernel);
        EXPECT_EQ(checksum::activeKernel(), kernel);
        clsCRC32 calculator;
        EXPECT_EQ(calculator.CRC32(0, bytesOf("123456789"), 8), static_cast<std::int32_t>(0xCBF43926u))
            << checksum::kernelName(kernel);
        EXPECT_EQ(checksum::fileCrc32(path, calculator), bitwiseCrc32(bytes)) << checksum::kernelName(kernel);
    }
    checksum::testing::resetKernel();
}

}  // namespace
