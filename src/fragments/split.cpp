#include "fragments/split.hpp"

#include <limits>
#include <stdexcept>

#include "fileio/files.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

namespace {

constexpr std::int64_t largestFragment = std::numeric_limits<std::int32_t>::max();

// Writes fragment `path` as a new file: no old bytes survive in it, and nothing is written through a link.
std::int64_t writeFragment(fileio::InputFile& source, std::int64_t offset, const std::string& path,
                           std::int64_t bytes) {
    fileio::OutputFile out(path);
    fileio::copyBytes(source, offset, out, bytes);
    out.close();
    return out.written();
}

}  // namespace

SplitPlan planSplit(std::int64_t length, std::int64_t fragmentBytes) {
    if (fragmentBytes <= 0 || length < 0) {
        throw std::invalid_argument("a split needs a positive fragment size and a length of at least 0");
    }
    SplitPlan plan;
    plan.length = length;
    plan.fragmentBytes = fragmentBytes;
    plan.fullFragments = length / fragmentBytes;
    plan.remainder = length % fragmentBytes;
    plan.fragmentCount = plan.fullFragments + (plan.remainder > 0 ? 1 : 0);
    return plan;
}

std::optional<std::int64_t> fragmentBytesFor(std::int64_t kilobytes) {
    if (kilobytes < 0 || kilobytes > largestFragment / 1024) {
        return std::nullopt;
    }
    return kilobytes * 1024;
}

void checkSplitNames(const std::vector<std::string>& listing, const std::string& directory,
                     const std::string& sourcePath, std::int64_t fragmentCount, char separator) {
    const auto source = fileio::identityOf(sourcePath);
    for (const auto& name : oldFragmentsOf(listing, sourcePath, separator)) {
        checkReplaceable(withTrailingSeparator(directory, separator) + name, source);
    }
    for (int number = 1; number <= fragmentCount && number <= maxFragments; ++number) {
        checkReplaceable(fragmentName(sourcePath, number), source);
    }
}

SplitResult splitFile(const std::string& sourcePath, const SplitPlan& plan, const SplitEvents& events,
                      char separator) {
    if (plan.fragmentCount > maxFragments || (plan.fragmentCount > 0 && plan.fragmentBytes <= 0)) {
        throw std::invalid_argument("split plan outside the limits");
    }
    fileio::InputFile source(sourcePath);
    const fileio::FileIdentity identity = source.identity();
    SplitResult result;
    const int fullFragments = static_cast<int>(plan.fullFragments);
    for (int number = 1; number <= fullFragments; ++number) {
        if (events.beforeFullFragment) {
            events.beforeFullFragment(number);
        }
        const std::string path = fragmentName(sourcePath, number);
        const std::string fileName = Nurdatei(path, separator);
        makeWayFor(path, identity);
        // The fragment is named before it is written, so the window can show progress while it is.
        if (events.fragmentNamed) {
            events.fragmentNamed(number, fileName, true);
        }
        result.bytesWritten +=
            writeFragment(source, (number - 1) * plan.fragmentBytes, path, plan.fragmentBytes);
        result.fragmentsWritten = number;
        result.lastFileName = fileName;
        result.fileNames.push_back(fileName);
    }
    if (plan.remainder > 0) {
        const int number = fullFragments + 1;
        const std::string path = fragmentName(sourcePath, number);
        makeWayFor(path, identity);
        result.bytesWritten +=
            writeFragment(source, plan.fullFragments * plan.fragmentBytes, path, plan.remainder);
        result.fragmentsWritten = number;
        result.lastFileName = Nurdatei(path, separator);
        result.fileNames.push_back(result.lastFileName);
        if (events.fragmentNamed) {
            events.fragmentNamed(number, result.lastFileName, false);
        }
    }
    return result;
}

}  // namespace fragments
