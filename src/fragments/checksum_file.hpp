#pragma once
// The checksum file of a fragment set: "<source name>.sfv" beside the fragments in the common SFV format,
// written by every split and read by the join, which then verifies each fragment before it writes.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fragments/paths.hpp"

namespace fragments {

// One line of a checksum file: a bare file name and its CRC-32.
struct ChecksumEntry {
    std::string name;
    std::uint32_t crc = 0;
    bool operator==(const ChecksumEntry&) const = default;
};

// The checksum file of the set cut from `sourcePath`: beside it, its name and ".sfv".
std::string checksumFilePath(const std::string& sourcePath);

// The file's text, every line ending in CR LF: "; Dodiveverazed <version>", then
// "; source "<source name>" <size> <CRC32>", then "<fragment name> <CRC32>" per fragment; CRCs as eight
// upper-case hexadecimal digits.
std::string checksumFileText(const std::string& sourceName, std::int64_t sourceBytes, std::uint32_t sourceCrc,
                             const std::vector<ChecksumEntry>& fragments);

// True when a line "<name> <CRC32>" reads back as `name`: no control character (a line break, a tab) in it,
// and no ";" in front, which would make the line a comment.
bool fitsChecksumFile(std::string_view name);

// The entries of a checksum file's text, ours or another tool's: lines ending in LF or CR LF, comments
// (";") and blank lines skipped; the CRC is the last blank-separated field, eight hexadecimal digits in
// either case, and the name everything before it (blanks included). Lines without such a CRC are skipped.
std::vector<ChecksumEntry> parseChecksumFile(std::string_view text);

// True when the regular file `path` (links not followed) is a checksum file this program wrote: its first
// line starts with "; Dodiveverazed ". Reads a few bytes and never waits (a FIFO is none).
bool isOwnChecksumFile(const std::string& path);

// True when the split may write the checksum file `path`: nothing is there, or one this program wrote.
// A user's file of that name (or a folder, FIFO, link) stays untouched, and then none is written.
bool mayWriteChecksumFile(const std::string& path);

// Removes the checksum file `path` when this program wrote it; anything else of that name stays. Throws
// FileError (Io) when it cannot be removed.
void removeOwnChecksumFile(const std::string& path);

// Writes `text` to the checksum file `path` as a new file, put in place only once complete, unless
// mayWriteChecksumFile says no by then (false). Throws FileError naming `path`.
bool writeChecksumFile(const std::string& path, const std::string& text);

// The checksum file a join goes by, as found beside the fragments.
struct SetChecksums {
    enum class Found {
        None,      // no checksum file there names a fragment of the set
        Read,      // `files.front()` gives `crcs`
        Link,      // a link stands at the checksum file's name (`files.front()`); links are not read
        Unusable,  // `files.front()` is larger than any set's checksum file, or gives a fragment two CRCs
        Disagree,  // `files` give one fragment different CRCs
    };
    Found found = Found::None;
    std::vector<std::string> files;  // bare names
    // By bare fragment name: the fragments cut from the set's file (its name less their last five
    // characters, with a fragment ending).
    std::map<std::string, std::uint32_t> crcs;
};

// Looks in `directory` for the checksum file of the set cut from the file `sourceName`:
// "<sourceName>.sfv", that name in any letter case, then "<sourceName less its last extension>.sfv" in any
// case. A file that names none of the set's fragments does not count; each is read whole. With `onlyFile`,
// that file (a bare name) is the only one looked at. Throws FileError when one cannot be read.
SetChecksums findSetChecksums(const std::string& directory, const std::string& sourceName,
                              const std::string& onlyFile = {});

// The name of the file whose fragments the checksum file `path` names first; nullopt when it names none.
// Throws FileError when it cannot be read.
std::optional<std::string> setNameOf(const std::string& path);

// A fragment a checksum file names, as it is on disk.
struct FragmentCheck {
    enum class State { Whole, Damaged, Missing };
    std::string name;  // bare
    State state = State::Missing;
    std::uint32_t found = 0;
    std::uint32_t expected = 0;
};

// Reads each fragment `crcs` names (bare names in `directory`, in name order) and compares its CRC-32.
// Throws FileError when one is there but cannot be read.
std::vector<FragmentCheck> checkFragments(const std::string& directory,
                                          const std::map<std::string, std::uint32_t>& crcs);

}  // namespace fragments
