#include "fragments/fragment_size.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace fragments {

namespace {

constexpr std::string_view minusSign = "\u2212";
// Keyboards type a plain blank where the regional settings group digits with these.
constexpr std::string_view noBreakSpace = "\u00a0";
constexpr std::string_view narrowNoBreakSpace = "\u202f";

// White space in Unicode's sense: the ASCII controls, the next line, and the space and line separators.
constexpr std::string_view blanks[] = {
    " ",      "\t",     "\n",     "\v",     "\f",     "\r",     "\u0085", "\u00a0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200a", "\u2028", "\u2029", "\u202f", "\u205f", "\u3000",
};

std::string_view trimmed(std::string_view text) {
    for (bool found = true; found;) {
        found = false;
        for (const std::string_view blank : blanks) {
            if (text.starts_with(blank)) {
                text.remove_prefix(blank.size());
                found = true;
            }
            if (text.ends_with(blank)) {
                text.remove_suffix(blank.size());
                found = true;
            }
        }
    }
    return text;
}

bool takePrefix(std::string_view& text, std::string_view prefix) {
    if (prefix.empty() || !text.starts_with(prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

// Takes an optional sign off the front of `text`; true for a minus.
bool takeMinus(std::string_view& text) {
    if (takePrefix(text, "-") || takePrefix(text, minusSign)) {
        return true;
    }
    takePrefix(text, "+");
    return false;
}

std::string_view takeDigits(std::string_view& text) {
    std::size_t count = 0;
    while (count < text.size() && text[count] >= '0' && text[count] <= '9') {
        ++count;
    }
    const std::string_view digits = text.substr(0, count);
    text.remove_prefix(count);
    return digits;
}

bool takeGroupSeparator(std::string_view& text, std::string_view groupSeparator) {
    if (takePrefix(text, groupSeparator)) {
        return true;
    }
    return (groupSeparator == noBreakSpace || groupSeparator == narrowNoBreakSpace) && takePrefix(text, " ");
}

// The integer part, its groups joined; nullopt when a group after a separator has not three digits.
std::optional<std::string> takeIntegerPart(std::string_view& text, std::string_view groupSeparator) {
    std::string_view digits = takeDigits(text);
    std::string integer(digits);
    if (digits.empty() || digits.size() > 3) {
        return integer;
    }
    while (takeGroupSeparator(text, groupSeparator)) {
        digits = takeDigits(text);
        if (digits.size() != 3) {
            return std::nullopt;
        }
        integer.append(digits);
    }
    return integer;
}

// The number in the notation std::from_chars reads ("-12.5e-3"); nullopt when `text` is none.
std::optional<std::string> plainNotation(std::string_view text, std::string_view decimalSeparator,
                                         std::string_view groupSeparator) {
    std::string number = takeMinus(text) ? "-" : "";
    const auto integer = takeIntegerPart(text, groupSeparator);
    if (!integer) {
        return std::nullopt;
    }
    std::string_view fraction;
    if (takePrefix(text, decimalSeparator)) {
        fraction = takeDigits(text);
    }
    if (integer->empty() && fraction.empty()) {
        return std::nullopt;
    }
    number.append(integer->empty() ? "0" : *integer).append(1, '.').append(fraction.empty() ? "0" : fraction);
    if (takePrefix(text, "e") || takePrefix(text, "E")) {
        number.append(takeMinus(text) ? "e-" : "e");
        const std::string_view exponent = takeDigits(text);
        if (exponent.empty()) {
            return std::nullopt;
        }
        number.append(exponent);
    }
    if (!text.empty()) {
        return std::nullopt;
    }
    return number;
}

// `text` read as parseFragmentSize reads it, times `factor`, rounded; nullopt where it does not fit `Whole`.
template <typename Whole>
std::optional<Whole> wholeNumber(std::string_view text, std::string_view decimalSeparator,
                                 std::string_view groupSeparator, double factor = 1) {
    const auto number = plainNotation(trimmed(text), decimalSeparator, groupSeparator);
    if (!number) {
        return std::nullopt;
    }
    double value = 0;
    // Out of range both ways: too large for a double, or so small it would read as 0.
    const auto [end, error] = std::from_chars(number->data(), number->data() + number->size(), value);
    if (error != std::errc() || end != number->data() + number->size()) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value * factor);
    // From the smallest to below its negation (2^31 or 2^63, exact as a double).
    constexpr auto smallest = static_cast<double>(std::numeric_limits<Whole>::min());
    if (rounded < smallest || rounded >= -smallest) {
        return std::nullopt;
    }
    return static_cast<Whole>(rounded);
}

}  // namespace

std::optional<std::int32_t> parseFragmentSize(std::string_view text, std::string_view decimalSeparator,
                                              std::string_view groupSeparator) {
    return wholeNumber<std::int32_t>(text, decimalSeparator, groupSeparator);
}

std::int64_t kilobytesForParts(std::int64_t length, int parts) {
    const std::int64_t each = std::int64_t{1024} * parts;
    return std::max<std::int64_t>(1, (length + each - 1) / each);
}

std::optional<std::int64_t> parseSizeWithUnit(std::string_view text, std::string_view decimalSeparator,
                                              std::string_view groupSeparator) {
    text = trimmed(text);
    double factor = 1;
    if (!text.empty()) {
        const char unit = static_cast<char>(text.back() | 0x20);
        factor = unit == 'k' ? 1 : unit == 'm' ? 1024 : unit == 'g' ? 1024 * 1024 : 0;
        if (factor != 0) {
            text.remove_suffix(1);
        }
    }
    return wholeNumber<std::int64_t>(text, decimalSeparator, groupSeparator, factor == 0 ? 1 : factor);
}

}  // namespace fragments
