#include "checksum/crc32_core.hpp"

#include <atomic>
#include <stdexcept>

namespace checksum {

namespace {

// The register is kept complemented while bytes go through, so that chained calls compose.
std::uint32_t tableKernel(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    std::uint32_t r = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        r = (r >> 8) ^ kCrcTable[(r ^ data[i]) & 0xFFu];
    }
    return ~r;
}

using KernelFunction = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);

KernelFunction kernelFunction(Kernel kernel) {
    switch (kernel) {
        case Kernel::Table:
            return tableKernel;
        default:
            return nullptr;
    }
}

Kernel bestKernel() {
    for (Kernel k : {Kernel::Vpclmul, Kernel::Pclmul, Kernel::Slice16}) {
        if (kernelSupported(k)) {
            return k;
        }
    }
    return Kernel::Table;
}

struct Dispatch {
    std::atomic<KernelFunction> function;
    std::atomic<Kernel> kernel;
};

Dispatch& dispatch() {
    static Dispatch d{kernelFunction(bestKernel()), bestKernel()};
    return d;
}

}  // namespace

bool kernelSupported(Kernel kernel) {
    return kernelFunction(kernel) != nullptr;
}

Kernel activeKernel() {
    return dispatch().kernel.load(std::memory_order_relaxed);
}

std::uint32_t crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return dispatch().function.load(std::memory_order_relaxed)(crc, data, size);
}

std::uint32_t crc32UpdateWith(Kernel kernel, std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    const KernelFunction f = kernelFunction(kernel);
    if (f == nullptr) {
        throw std::invalid_argument(std::string("CRC-32 kernel not supported here: ") + kernelName(kernel));
    }
    return f(crc, data, size);
}

const char* kernelName(Kernel kernel) {
    switch (kernel) {
        case Kernel::Table:
            return "table";
        case Kernel::Slice16:
            return "slice16";
        case Kernel::Pclmul:
            return "pclmul";
        case Kernel::Vpclmul:
            return "vpclmul";
    }
    return "?";
}

namespace testing {

void forceKernel(Kernel kernel) {
    const KernelFunction f = kernelFunction(kernel);
    if (f == nullptr) {
        throw std::invalid_argument(std::string("CRC-32 kernel not supported here: ") + kernelName(kernel));
    }
    dispatch().function.store(f, std::memory_order_relaxed);
    dispatch().kernel.store(kernel, std::memory_order_relaxed);
}

void resetKernel() {
    forceKernel(bestKernel());
}

}  // namespace testing

}  // namespace checksum
