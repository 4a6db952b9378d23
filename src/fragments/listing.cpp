#include "fragments/listing.hpp"

#include <algorithm>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/events.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

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

// Deletes `names` from `directory` in order, each checked before the first goes; `source` as
// checkReplaceable takes it, `evenReadOnly` as removeFile. `afterEach` (when given) runs after each name.
void deleteChecked(const std::vector<std::string>& names, const std::string& directory,
                   const std::optional<fileio::FileIdentity>& source, Errc whenSource, bool evenReadOnly,
                   const std::function<void()>& afterEach = {}) {
    for (const auto& name : names) {
        checkReplaceable(inDirectory(directory, name), source, whenSource);
        notify(afterEach);
    }
    for (const auto& name : names) {
        fileio::removeFile(inDirectory(directory, name), evenReadOnly);
        notify(afterEach);
    }
}

}  // namespace

std::optional<std::int64_t> regularFileSize(const std::string& path) {
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

FragmentSet setBeside(const std::string& firstPath, char separator) {
    const std::string folder = folderOf(firstPath, separator), first = Nurdatei(firstPath, separator);
    if (!beginsNumberedSet(first)) {
        return collectFragmentSet(listFragmentCandidates(folder), folder, firstPath, separator);
    }
    const std::string stem = sourceNameOf(first);
    FragmentSet set;
    try {
        for (fileio::FolderEntry& entry : fileio::regularFilesIn(folder)) {
            if (hasNumberEnding(entry.name) && sourceNameOf(entry.name) == stem &&
                !entry.name.ends_with("000")) {
                set.names.push_back(std::move(entry.name));
            }
        }
    } catch (const fileio::FileError&) {
        // A folder that cannot be read lists nothing.
    }
    std::sort(set.names.begin(), set.names.end());
    for (const auto& name : set.names) {
        set.totalBytes += sizeIfPresent(folder + name);
    }
    return set;
}

std::int64_t totalOfExisting(const std::vector<std::string>& names, const std::string& directory) {
    std::int64_t total = 0;
    for (const auto& name : names) {
        if (isMemberName(name)) {
            total += sizeIfPresent(inDirectory(directory, name));
        }
    }
    return total;
}

std::vector<std::string> oldFragmentsOf(const std::vector<std::string>& listing, const std::string& source,
                                        char separator) {
    const std::string prefix = Nurdatei(source, separator) + "._";
    std::vector<std::string> names;
    for (const auto& name : listing) {
        if (name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            withoutLastCharacters(name, 3) == prefix) {
            names.push_back(name);
        }
    }
    return names;
}

void deleteOldFragments(const std::vector<std::string>& listing, const std::string& directory,
                        const std::string& source, char separator, const std::function<void()>& afterEach) {
    // Attributes stay as they are: an old fragment the user protected stops the split on Windows.
    deleteChecked(oldFragmentsOf(listing, source, separator), directory, fileio::identityOf(source),
                  Errc::IsSplitSource, false, afterEach);
}

void deleteFragmentSet(const std::vector<std::string>& names, const std::string& directory,
                       const std::function<void()>& afterEach) {
    if (names.empty()) {
        return;
    }
    const std::string sourceName = sourceNameOf(names.front());
    deleteChecked(names, directory, fileio::identityOf(inDirectory(directory, sourceName)), Errc::IsOriginal,
                  true, afterEach);
    removeOwnChecksumFile(checksumFilePath(inDirectory(directory, sourceName)));
}

}  // namespace fragments
