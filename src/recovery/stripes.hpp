#pragma once
// The one heavy loop of creating and repairing: outputs[o] = sum over sources s of factors[o][s] * source s,
// block by block in GF(2^16). The blocks are walked in stripes of a few KiB, so that the stripes of all
// outputs stay in the CPU's cache while every source passes once; two threads share the sources.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace recovery {

// Progress in bytes; may throw to stop the work.
using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

// One source block: `length` bytes of file `file` at `offset`, followed by zeros up to the block size.
struct StripeSource {
    std::size_t file = 0;
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

struct StripePlan {
    std::int64_t blockSize = 0;
    std::vector<std::string> files;
    std::vector<StripeSource> sources;
    std::size_t outputs = 0;
    // outputs rows of sources.size() factors each.
    std::vector<std::uint16_t> factors;
};

// Shown the stripes of the sources first .. first + count - 1 together, each source's in order, from a worker
// thread (one source always from the same one): for source first + j, `size` bytes of its block at data[j],
// the first fromFile[j] of them read from the file, the rest zeros.
using SourcesSeen = std::function<void(std::size_t first, std::size_t count, const std::uint8_t* const* data,
                                       const std::size_t* fromFile, std::size_t size)>;
// Given each output's stripes in order, on the calling thread.
using OutputReady =
    std::function<void(std::size_t output, std::int64_t offset, const std::uint8_t* data, std::size_t size)>;

// Runs `plan`. Throws FileError when a source cannot be read or ends early, or whatever a callback throws.
void runStripes(const StripePlan& plan, const SourcesSeen& seen, const OutputReady& ready,
                const Progress& progress);

}  // namespace recovery
