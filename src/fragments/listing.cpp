#include "fragments/listing.hpp"

#include <algorithm>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/paths.hpp"

namespace fragments {

namespace {

// The "*._*" wildcard: the extension, the text after the last ".", begins with "_".
bool matchesCandidatePattern(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot != std::string_view::npos && dot + 1 < name.size() && name[dot + 1] == '_';
}

std::string inDirectory(const std::string& directory, const std::string& name) {
    return withTrailingSeparator(directory) + name;
}

// Size of a regular file, 0 when it is not there (any more): the totals only inform, the join
// reports a missing fragment itself.
std::int64_t sizeIfPresent(const std::string& path) {
    return regularFileSize(path).value_or(0);
}

// Deletes the `wanted` names that still exist in `directory`, in order; the first failure stops it.
// `afterEach` (when given) runs after each name.
template <typename Filter>
void deleteListed(const std::vector<std::string>& names, const std::string& directory,
                  bool resetAttributesFirst, const Filter& wanted,
                  const std::function<void()>& afterEach = {}) {
    for (const auto& name : names) {
        if (wanted(name)) {
            fileio::removeFile(inDirectory(directory, name), resetAttributesFirst);
        }
        if (afterEach) {
            afterEach();
        }
    }
}

}  // namespace

std::optional<std::int64_t> regularFileSize(const std::string& path) {
    if (!fileio::fileExists(path)) {
        return std::nullopt;
    }
    try {
        return fileio::fileSize(path);
    } catch (const fileio::FileError&) {
        return std::nullopt;
    }
}

std::vector<std::string> listFragmentCandidates(const std::string& directory) {
    std::vector<std::string> names;
    try {
        for (fileio::FolderEntry& entry : fileio::regularFilesIn(directory.empty() ? "." : directory)) {
            if (!entry.hidden && matchesCandidatePattern(entry.name)) {
                names.push_back(std::move(entry.name));
            }
        }
    } catch (const fileio::FileError&) {
        // A folder that cannot be read lists nothing.
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
    return names;
}

FragmentSet collectFragmentSet(const std::vector<std::string>& listing, const std::string& directory,
                               const std::string& reference, char separator) {
    FragmentSet set;
    for (const auto& name : listing) {
        if (!isFragmentOf(name, reference, separator)) {
            continue;
        }
        set.names.push_back(name);
        set.totalBytes += sizeIfPresent(inDirectory(directory, name));
    }
    return set;
}

std::int64_t totalOfExisting(const std::vector<std::string>& names, const std::string& directory) {
    std::int64_t total = 0;
    for (const auto& name : names) {
        if (hasFragmentEnding(name)) {
            total += sizeIfPresent(inDirectory(directory, name));
        }
    }
    return total;
}

void deleteOldFragments(const std::vector<std::string>& listing, const std::string& directory,
                        const std::string& source, char separator) {
    const std::string prefix = Nurdatei(source, separator) + "._";
    // Attributes stay as they are: an old fragment the user protected stops the split instead of going.
    deleteListed(listing, directory, false, [&prefix](const std::string& name) {
        return name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
               withoutLastCharacters(name, 3) == prefix;
    });
}

void deleteFragmentSet(const std::vector<std::string>& names, const std::string& directory,
                       const std::function<void()>& afterEach) {
    deleteListed(
        names, directory, true, [](const std::string&) { return true; }, afterEach);
}

}  // namespace fragments
