#pragma once
// The fragment size as the size box reads it: a number of kBytes written the regional way.

#include <cstdint>
#include <optional>
#include <string_view>

namespace fragments {

// The fragment size the size box starts with, in kBytes.
inline constexpr std::int32_t defaultFragmentKilobytes = 1420;

// `text` read as a number under the regional settings, rounded to a whole number (a half goes to the
// even neighbour). Accepted: white space around it; an optional sign ("+", "-" or the minus sign "−");
// digits, grouped in threes by `groupSeparator` (the first group one to three digits; a plain blank
// stands for a no-break space); an optional `decimalSeparator` with further digits; an optional
// exponent ("e" or "E", an optional sign, digits). nullopt for any other text, and for a value that
// does not fit a signed 32-bit integer.
std::optional<std::int32_t> parseFragmentSize(std::string_view text, std::string_view decimalSeparator,
                                              std::string_view groupSeparator);

// A size as the command line takes it, in kBytes: a number as parseFragmentSize reads it, optionally followed
// by a unit, "k" or "K" (kBytes), "m" or "M" (1024 kBytes), "g" or "G" (1024 × 1024 kBytes); a fraction is
// rounded to whole kBytes as there. nullopt for any other text.
std::optional<std::int64_t> parseSizeWithUnit(std::string_view text, std::string_view decimalSeparator,
                                              std::string_view groupSeparator);

// The fragment size in kBytes that cuts `length` bytes into at most `parts` parts of equal size (the last
// one shorter): whole kBytes rounded up, at least 1.
std::int64_t kilobytesForParts(std::int64_t length, int parts);

}  // namespace fragments
