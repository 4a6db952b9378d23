#pragma once
// The three commands, each the window's sequence of core calls for the same work.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "fragments/fragment_size.hpp"

namespace cli {

// Where a command writes, and the console it runs on.
struct Output {
    std::ostream& out;
    std::ostream& err;
    const Console& console;

    // Writes `message` as a line of its own on err; returns failure.
    int fail(const std::string& message) const;
};

struct SplitRequest {
    std::string source;
    std::int64_t kilobytes = fragments::defaultFragmentKilobytes;
    // Instead of `kilobytes`: at most this many parts of equal size.
    std::optional<int> parts;
    std::string outputFolder{};  // Where the set goes; empty: beside the source.
    bool script = false;
    bool checksumFile = true;  // The checksum file beside the fragments; --no-sfv turns it off.
    // The bytes come from standard input; `source` is the name of the set (NAME._001 …).
    bool fromInput = false;
    int recoveryPercent = 0;  // Recovery files that rebuild this share of the fragments; 0: none.
};

struct JoinRequest {
    std::string firstFragment;
    std::optional<std::string>
        target;  // nullopt: the name the fragments carry, beside them; "-": standard output.
    bool allowGap = false;
    bool force = false;
    bool repair = false;  // Damaged and missing fragments rebuilt from the set's recovery files first.
};

int split(const SplitRequest& request, const Output& output);
int join(const JoinRequest& request, const Output& output);
// One line per file, in the order given; a file that cannot be read is reported and skipped.
int crc(const std::vector<std::string>& files, const Output& output);
// Checks the set of the first fragment (or the checksum file) `file` names against its checksum file.
int check(const std::string& file, bool repair, const Output& output);

}  // namespace cli
