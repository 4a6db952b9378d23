#pragma once
// The fragment directory: which files are fragment candidates, which form a set, and which are the
// old fragments of a source.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fragments/paths.hpp"

namespace fragments {

// Bare names of the files in `directory` that match "*._*" ignoring case (the text after the last
// "." begins with "_"), hidden files left out, in ascending alphabetical order ignoring case.
// Names are bytes: one that is no UTF-8 is listed like any other (the window, which cannot name it
// again, may leave it out with isUtf8).
// A directory that cannot be read gives an empty listing.
std::vector<std::string> listFragmentCandidates(const std::string& directory);

// The names of `listing` that pass the fragment test for `reference`, and their total size.
struct FragmentSet {
    std::vector<std::string> names;
    std::int64_t totalBytes = 0;
};

// Collects the fragment set of `reference` from `listing`; sizes are read in `directory`.
FragmentSet collectFragmentSet(const std::vector<std::string>& listing, const std::string& directory,
                               const std::string& reference, char separator);

// The set that the first fragment `firstPath` begins, as a join lists it: for a name ending in ".001"
// (beginsNumberedSet) the regular files "<name less .001>.001" … ".999" in its folder, else the set of the
// folder's candidates that pass the fragment test for it; in ascending order, with their total size.
FragmentSet setBeside(const std::string& firstPath, char separator = nativeSeparator);

// Sum of the sizes of the entries that have a fragment ending and exist in `directory`.
std::int64_t totalOfExisting(const std::vector<std::string>& names, const std::string& directory);

// Size of the regular file at `path`; nullopt when there is none (any more) or it cannot be measured.
std::optional<std::int64_t> regularFileSize(const std::string& path);

// The names of `listing` that are fragment names of `source` itself: Nurdatei(source), "._" and three
// characters. Other sources with the same base name are not among them.
std::vector<std::string> oldFragmentsOf(const std::vector<std::string>& listing, const std::string& source,
                                        char separator);

// Deletes from `directory` the old fragments of `source` in `listing` that are still there: first every
// one is checked, then they go. Only regular files and links go (a link itself); a folder, FIFO, socket or
// device under such a name, or the source itself under it, stops it before anything is deleted. Throws
// FileError (Io) naming the file that stops it, or the first that cannot be deleted (nothing after it
// is touched). `afterEach`, when given, runs after each name checked and each deleted, so that a window can
// serve its event loop meanwhile.
void deleteOldFragments(const std::vector<std::string>& listing, const std::string& directory,
                        const std::string& source, char separator,
                        const std::function<void()>& afterEach = {});

// Deletes the listed fragments `names` from `directory`, in list order, read-only ones too; names no
// longer there are skipped. Checked first as deleteOldFragments does, with the file the fragments were
// cut from (the first entry less its last five characters) in the place of the source. The set's checksum
// file goes with them when this program wrote it. Throws FileError (Io) naming the file that stops it or
// the first that cannot be deleted; nothing after it is touched. `afterEach` as for deleteOldFragments.
void deleteFragmentSet(const std::vector<std::string>& names, const std::string& directory,
                       const std::function<void()>& afterEach = {});

}  // namespace fragments
