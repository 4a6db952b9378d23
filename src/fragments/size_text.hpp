#pragma once
// Byte counts as the window shows them: "1.234.567 = 1206 KB".

#include <cstdint>
#include <string>
#include <string_view>

namespace fragments {

// Digits of `bytes` grouped in threes from the right with `thousandsSeparator`; "" for 0.
std::string numberPattern(std::int64_t bytes, std::string_view thousandsSeparator);

// `bytes` / 1024 rounded up.
std::int64_t kilobytesRoundedUp(std::int64_t bytes);

// numberPattern, " = ", the kilobytes rounded up, " KB".
std::string sizeText(std::int64_t bytes, std::string_view thousandsSeparator);

}  // namespace fragments
