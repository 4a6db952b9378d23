#include "fragments/size_text.hpp"

namespace fragments {

std::string numberPattern(std::int64_t bytes, std::string_view thousandsSeparator) {
    if (bytes == 0) {
        return {};
    }
    const bool negative = bytes < 0;
    // Unsigned so that the most negative value has a magnitude too.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
    std::string digits = std::to_string(magnitude);
    std::string result;
    const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    result.append(digits, 0, lead);
    for (std::size_t i = lead; i < digits.size(); i += 3) {
        result.append(thousandsSeparator);
        result.append(digits, i, 3);
    }
    return negative ? "-" + result : result;
}

std::int64_t kilobytesRoundedUp(std::int64_t bytes) {
    return bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
}

std::string sizeText(std::int64_t bytes, std::string_view thousandsSeparator) {
    return numberPattern(bytes, thousandsSeparator) + " = " + std::to_string(kilobytesRoundedUp(bytes)) +
           " KB";
}

}  // namespace fragments
