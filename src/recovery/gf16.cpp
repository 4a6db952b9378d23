#include "recovery/gf16.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <stdexcept>
#include <string>
#include <vector>

#include "recovery/gf16_kernels.hpp"

namespace recovery::gf16 {

namespace {

constexpr std::uint32_t kPolynomial = 0x1100B;
constexpr std::uint32_t kOrder = 65535;

// Logarithms and powers of the generator 2; the powers table is doubled so that a sum of two
// logarithms needs no reduction.
struct Tables {
    std::vector<std::uint16_t> log = std::vector<std::uint16_t>(65536);
    std::vector<std::uint16_t> exp = std::vector<std::uint16_t>(std::size_t{2} * kOrder);
    Tables() {
        std::uint32_t x = 1;
        for (std::uint32_t i = 0; i < kOrder; ++i) {
            exp[i] = exp[i + kOrder] = static_cast<std::uint16_t>(x);
            log[x] = static_cast<std::uint16_t>(i);
            x <<= 1;
            if ((x & 0x10000u) != 0) {
                x ^= kPolynomial;
            }
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

void identityLayout(std::uint8_t* /*region*/, std::size_t /*size*/) {}

// Two tables of 256 products, for the low and the high byte of each word.
void portableMultiplyAdd(std::uint16_t factor, const std::uint8_t* src, std::uint8_t* dst, std::size_t size) {
    if (factor == 0) {
        return;
    }
    const auto images = detail::bitImages(factor);
    std::array<std::uint16_t, 256> low{}, high{};
    for (unsigned b = 1; b < 256; ++b) {
        const auto bit = static_cast<unsigned>(std::countr_zero(b));
        low[b] = static_cast<std::uint16_t>(low[b & (b - 1)] ^ images[bit]);
        high[b] = static_cast<std::uint16_t>(high[b & (b - 1)] ^ images[bit + 8]);
    }
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto product = static_cast<std::uint16_t>(low[src[i]] ^ high[src[i + 1]]);
        dst[i] = static_cast<std::uint8_t>(dst[i] ^ (product & 0xFF));
        dst[i + 1] = static_cast<std::uint8_t>(dst[i + 1] ^ (product >> 8));
    }
}

const RegionKernel portableKernel{identityLayout, identityLayout, portableMultiplyAdd};

const RegionKernel* kernelFunctions(Kernel kernel) {
    switch (kernel) {
        case Kernel::Portable:
            return &portableKernel;
#ifdef DODIVEVERAZED_GF16_X86
        case Kernel::Avx2:
            return detail::cpuHasAvx2() ? &detail::avx2Kernel : nullptr;
        case Kernel::Gfni512:
            return detail::cpuHasGfni512() ? &detail::gfni512Kernel : nullptr;
#endif
        default:
            return nullptr;
    }
}

Kernel bestKernel() {
    for (Kernel k : {Kernel::Gfni512, Kernel::Avx2}) {
        if (kernelSupported(k)) {
            return k;
        }
    }
    return Kernel::Portable;
}

std::atomic<Kernel>& chosen() {
    static std::atomic<Kernel> kernel{bestKernel()};
    return kernel;
}

}  // namespace

namespace detail {

std::array<std::uint16_t, 16> bitImages(std::uint16_t factor) {
    std::array<std::uint16_t, 16> images{};
    std::uint32_t x = factor;
    for (auto& image : images) {
        image = static_cast<std::uint16_t>(x);
        x <<= 1;
        if ((x & 0x10000u) != 0) {
            x ^= kPolynomial;
        }
    }
    return images;
}

}  // namespace detail

std::uint16_t multiply(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[std::uint32_t{t.log[a]} + t.log[b]];
}

std::uint16_t divide(std::uint16_t a, std::uint16_t b) {
    if (b == 0) {
        throw std::domain_error("division by zero in GF(2^16)");
    }
    if (a == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[std::uint32_t{t.log[a]} + kOrder - t.log[b]];
}

std::uint16_t power(std::uint16_t base, std::uint32_t exponent) {
    if (exponent == 0) {
        return 1;
    }
    if (base == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[static_cast<std::uint32_t>(std::uint64_t{t.log[base]} * exponent % kOrder)];
}

std::uint16_t powerOfTwo(std::uint32_t exponent) {
    return tables().exp[exponent % kOrder];
}

bool kernelSupported(Kernel kernel) {
    return kernelFunctions(kernel) != nullptr;
}

Kernel activeKernel() {
    return chosen().load(std::memory_order_relaxed);
}

const char* kernelName(Kernel kernel) {
    switch (kernel) {
        case Kernel::Portable:
            return "portable";
        case Kernel::Avx2:
            return "avx2";
        case Kernel::Gfni512:
            return "gfni512";
    }
    return "?";
}

const RegionKernel& regionKernel(Kernel kernel) {
    const RegionKernel* functions = kernelFunctions(kernel);
    if (functions == nullptr) {
        throw std::invalid_argument(std::string("GF(2^16) kernel not supported here: ") + kernelName(kernel));
    }
    return *functions;
}

void multiplyAdd(Kernel kernel, std::uint16_t factor, const std::uint8_t* src, std::uint8_t* dst,
                 std::size_t size) {
    const RegionKernel& functions = regionKernel(kernel);
    const std::size_t bulk = size / 64 * 64;
    if (bulk > 0 && kernel != Kernel::Portable) {
        // The kernel's order needs aligned copies; both are reordered and the result put back.
        alignas(64) std::array<std::uint8_t, 4096> from{}, to{};
        for (std::size_t done = 0; done < bulk; done += from.size()) {
            const std::size_t n = std::min(from.size(), bulk - done);
            std::copy_n(src + done, n, from.data());
            std::copy_n(dst + done, n, to.data());
            functions.prepare(from.data(), n);
            functions.prepare(to.data(), n);
            functions.multiplyAdd(factor, from.data(), to.data(), n);
            functions.finish(to.data(), n);
            std::copy_n(to.data(), n, dst + done);
        }
    } else {
        portableMultiplyAdd(factor, src, dst, bulk);
    }
    portableMultiplyAdd(factor, src + bulk, dst + bulk, size - bulk);
}

namespace testing {

void forceKernel(Kernel kernel) {
    regionKernel(kernel);
    chosen().store(kernel, std::memory_order_relaxed);
}

void resetKernel() {
    chosen().store(bestKernel(), std::memory_order_relaxed);
}

}  // namespace testing

}  // namespace recovery::gf16
