#include "recovery/stripes.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <thread>

#include "fileio/buffer.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "recovery/gf16.hpp"

namespace recovery {

namespace {

constexpr std::size_t kAlign = 64;
// The outputs' stripes of one thread fit its share of the second-level cache.
constexpr std::size_t kAccumulatorBudget = 512u << 10;
constexpr std::size_t kLargestStripe = 64u << 10;
constexpr std::size_t kSmallestStripe = 4u << 10;
// Sources read and reordered together before they are multiplied into every output.
constexpr std::size_t kGroup = 16;
// Files each thread keeps open; the others are opened for each read.
constexpr std::size_t kOpenFilesPerThread = 384;

std::size_t roundUp(std::size_t value, std::size_t to) {
    return (value + to - 1) / to * to;
}

// A buffer of whole 64-byte units, aligned for the vector kernels.
using AlignedBytes = std::vector<std::uint8_t, fileio::PageAlignedAllocator<std::uint8_t>>;

// One thread's share: its sources, its open files and its own output stripes.
class Worker {
  public:
    Worker(const StripePlan& plan, std::size_t first, std::size_t last, std::size_t stripe)
        : plan_(plan),
          first_(first),
          last_(last),
          kernel_(gf16::regionKernel(gf16::activeKernel())),
          inputs_(kGroup * stripe),
          outputs_(plan.outputs * stripe) {}

    // Adds the stripe at `offset` of `size` bytes (padded to `padded`) of every source to the outputs.
    void run(std::int64_t offset, std::size_t size, std::size_t padded, const SourcesSeen& seen) {
        std::fill_n(outputs_.begin(), plan_.outputs * padded, std::uint8_t{0});
        for (std::size_t group = first_; group < last_; group += kGroup) {
            const std::size_t count = std::min(kGroup, last_ - group);
            std::array<const std::uint8_t*, kGroup> data{};
            std::array<std::size_t, kGroup> fromFile{};
            for (std::size_t k = 0; k < count; ++k) {
                std::uint8_t* input = inputs_.data() + k * padded;
                fromFile[k] = read(plan_.sources[group + k], offset, size, input);
                std::memset(input + fromFile[k], 0, padded - fromFile[k]);
                data[k] = input;
            }
            if (seen) {
                seen(group, count, data.data(), fromFile.data(), size);
            }
            for (std::size_t k = 0; k < count && plan_.outputs > 0; ++k) {
                kernel_.prepare(inputs_.data() + k * padded, padded);
            }
            for (std::size_t o = 0; o < plan_.outputs; ++o) {
                const std::uint16_t* factors = plan_.factors.data() + o * plan_.sources.size() + group;
                for (std::size_t k = 0; k < count; ++k) {
                    if (factors[k] != 0) {
                        kernel_.multiplyAdd(factors[k], inputs_.data() + k * padded,
                                            outputs_.data() + o * padded, padded);
                    }
                }
            }
        }
    }

    std::uint8_t* output(std::size_t o, std::size_t padded) { return outputs_.data() + o * padded; }

  private:
    // Reads the source's bytes of the stripe; returns how many the file gave.
    std::size_t read(const StripeSource& source, std::int64_t offset, std::size_t size, std::uint8_t* into) {
        const std::int64_t wanted =
            std::clamp<std::int64_t>(source.length - offset, 0, static_cast<std::int64_t>(size));
        if (wanted == 0) {
            return 0;
        }
        std::optional<fileio::InputFile> once;
        auto open = std::find_if(open_.begin(), open_.end(),
                                 [&](const auto& entry) { return entry.first == source.file; });
        if (open == open_.end() && open_.size() < kOpenFilesPerThread) {
            open_.emplace_back(source.file, std::make_unique<fileio::InputFile>(plan_.files[source.file]));
            open = std::prev(open_.end());
        }
        fileio::InputFile* file =
            open != open_.end() ? open->second.get() : &once.emplace(plan_.files[source.file]);
        const auto count = static_cast<std::size_t>(wanted);
        for (std::size_t done = 0; done < count;) {
            const std::size_t got = file->readAt(into + done, count - done,
                                                 source.offset + offset + static_cast<std::int64_t>(done));
            if (got == 0) {
                throw fileio::FileError(fileio::FileError::Kind::Io, file->path(),
                                        make_error_code(fileio::Errc::EndedEarly));
            }
            done += got;
        }
        return count;
    }

    const StripePlan& plan_;
    std::size_t first_, last_;
    const gf16::RegionKernel& kernel_;
    AlignedBytes inputs_, outputs_;
    std::vector<std::pair<std::size_t, std::unique_ptr<fileio::InputFile>>> open_;
};

}  // namespace

void runStripes(const StripePlan& plan, const SourcesSeen& seen, const OutputReady& ready,
                const Progress& progress) {
    const auto blockSize = static_cast<std::size_t>(plan.blockSize);
    const std::size_t stripe = plan.outputs == 0 ? kLargestStripe
                                                 : std::clamp(kAccumulatorBudget / plan.outputs / 1024 * 1024,
                                                              kSmallestStripe, kLargestStripe);
    const std::size_t width = std::min(stripe, roundUp(blockSize, kAlign));
    // Two threads where there is work for two.
    const std::size_t half = plan.sources.size() >= 2 && std::thread::hardware_concurrency() > 1
                                 ? (plan.sources.size() + 1) / 2
                                 : plan.sources.size();
    std::vector<std::unique_ptr<Worker>> workers;
    workers.push_back(std::make_unique<Worker>(plan, 0, half, width));
    if (half < plan.sources.size()) {
        workers.push_back(std::make_unique<Worker>(plan, half, plan.sources.size(), width));
    }
    const auto total = static_cast<std::int64_t>(blockSize * plan.sources.size());
    const gf16::RegionKernel& kernel = gf16::regionKernel(gf16::activeKernel());
    for (std::size_t offset = 0; offset < blockSize; offset += width) {
        const std::size_t size = std::min(width, blockSize - offset);
        const std::size_t padded = roundUp(size, kAlign);
        const auto at = static_cast<std::int64_t>(offset);
        std::exception_ptr failure;
        {
            std::optional<std::jthread> helper;
            if (workers.size() > 1) {
                helper.emplace([&] {
                    try {
                        workers[1]->run(at, size, padded, seen);
                    } catch (...) {
                        failure = std::current_exception();
                    }
                });
            }
            workers[0]->run(at, size, padded, seen);
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
        for (std::size_t o = 0; o < plan.outputs; ++o) {
            std::uint8_t* out = workers[0]->output(o, padded);
            if (workers.size() > 1) {
                const std::uint8_t* other = workers[1]->output(o, padded);
                for (std::size_t i = 0; i < padded; ++i) {
                    out[i] ^= other[i];
                }
            }
            kernel.finish(out, padded);
            ready(o, at, out, size);
        }
        if (progress) {
            progress(static_cast<std::int64_t>((offset + size) * plan.sources.size()), total);
        }
    }
}

}  // namespace recovery
