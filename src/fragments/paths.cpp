#include "fragments/paths.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "fileio/paths.hpp"

namespace fragments {

namespace {

// Byte offset where the last `count` characters of `text` begin; `found` says how many there were. A
// character is a UTF-8 sequence or, where the bytes are no UTF-8, one byte, as decodeUtf8 counts them.
std::size_t startOfLastCharacters(std::string_view text, std::size_t count, std::size_t& found) {
    std::size_t total = 0;
    for (std::size_t position = 0; position < text.size(); ++total) {
        char32_t ignored = 0;
        decodeUtf8(text, position, ignored);
    }
    found = std::min(count, total);
    std::size_t position = 0;
    for (std::size_t skipped = 0; skipped < total - found; ++skipped) {
        char32_t ignored = 0;
        decodeUtf8(text, position, ignored);
    }
    return position;
}

// Decodes one code point at `position` and advances it; a malformed byte stands for itself.
char32_t nextCodePoint(std::string_view text, std::size_t& position) {
    const auto lead = static_cast<unsigned char>(text[position]);
    char32_t codePoint = 0;
    return decodeUtf8(text, position, codePoint) ? codePoint : lead;
}

// ASCII letters and the Latin-1 capitals (umlauts among them) folded to lower case.
char32_t foldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 32;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 32;
    }
    return c;
}

}  // namespace

std::string Nurdatei(std::string_view path, char separator) {
    const auto last = path.rfind(separator);
    if (last == std::string_view::npos) {
        return std::string(path);
    }
    return std::string(path.substr(last + 1));
}

std::string NurName(std::string_view path, char separator) {
    std::string name = Nurdatei(path, separator);
    const auto dot = name.find('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string NurExt(std::string_view path) {
    const auto dot = path.find('.');
    if (dot == std::string_view::npos) {
        return ".";
    }
    std::string extension(1, '.');
    return extension.append(path.substr(dot + 1));
}

std::string withTrailingSeparator(std::string_view directory, char separator) {
    std::string result(directory);
    if (!result.empty() && result.back() != separator) {
        result += separator;
    }
    return result;
}

std::string folderOf(std::string_view path, char separator) {
    const auto last = path.rfind(separator);
    if (last != std::string_view::npos) {
        return std::string(path.substr(0, last + 1));
    }
    return withTrailingSeparator(fileio::workingFolder(), separator);
}

std::string fragmentName(std::string_view source, int number) {
    if (number < 1 || number > maxFragments) {
        throw std::out_of_range("fragment number out of range");
    }
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", number);
    std::string name(source);
    return name.append("._").append(digits);
}

bool hasFragmentEnding(std::string_view name) {
    std::size_t found = 0;
    const std::size_t start = startOfLastCharacters(name, 4, found);
    return found == 4 && name[start] == '_';
}

bool hasNumberEnding(std::string_view name) {
    return name.size() > 4 && name[name.size() - 4] == '.' && fragmentNumber(name).has_value();
}

bool isMemberName(std::string_view name) {
    return hasFragmentEnding(name) || hasNumberEnding(name);
}

bool beginsNumberedSet(std::string_view name) {
    return hasNumberEnding(name) && name.ends_with("001");
}

std::string sourceNameOf(std::string_view name) {
    return withoutLastCharacters(name, hasNumberEnding(name) ? 4 : 5);
}

std::string memberName(std::string_view member, int number) {
    std::string name = fragmentName(sourceNameOf(member), number);
    // "._NNN" less its "_" for a set named with ".NNN".
    return hasNumberEnding(member) ? name.erase(name.size() - 4, 1) : name;
}

bool isFragmentOf(std::string_view name, std::string_view reference, char separator) {
    return hasFragmentEnding(name) && NurName(name, separator) == NurName(reference, separator);
}

std::optional<int> fragmentNumber(std::string_view name) {
    if (name.size() < 3) {
        return std::nullopt;
    }
    int number = 0;
    for (char c : name.substr(name.size() - 3)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string progressNumber(std::string_view name) {
    if (const auto number = fragmentNumber(name)) {
        return std::to_string(*number);
    }
    return lastCharacters(name, 3);
}

std::string lastCharacters(std::string_view name, std::size_t count) {
    std::size_t found = 0;
    return std::string(name.substr(startOfLastCharacters(name, count, found)));
}

std::string withoutLastCharacters(std::string_view text, std::size_t count) {
    std::size_t found = 0;
    const std::size_t start = startOfLastCharacters(text, count, found);
    return std::string(text.substr(0, start));
}

bool decodeUtf8(std::string_view text, std::size_t& position, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        ++position;
        codePoint = lead;
        return true;
    } else if ((lead & 0xE0) == 0xC0 && lead >= 0xC2) {
        length = 2;
        value = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
    } else {
        ++position;
        return false;
    }
    if (position + length > text.size()) {
        ++position;
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[position + i]);
        if ((next & 0xC0) != 0x80) {
            ++position;
            return false;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    if (overlong || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++position;
        return false;
    }
    position += length;
    codePoint = value;
    return true;
}

bool isUtf8(std::string_view text) {
    for (std::size_t position = 0; position < text.size();) {
        char32_t ignored = 0;
        if (!decodeUtf8(text, position, ignored)) {
            return false;
        }
    }
    return true;
}

std::string lowerCase(std::string_view text) {
    std::string lower;
    lower.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t start = position;
        const char32_t folded = foldCase(nextCodePoint(text, position));
        if (folded >= U'a' && folded <= U'z') {
            lower += static_cast<char>(folded);
        } else if (folded >= 0xE0 && folded <= 0xFE && position - start == 2) {
            // Two bytes in UTF-8: 0xC3 and the last six bits.
            lower += '\xC3';
            lower += static_cast<char>(0x80 | (folded & 0x3Fu));
        } else {
            lower.append(text.substr(start, position - start));
        }
    }
    return lower;
}

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = foldCase(nextCodePoint(a, i));
        const char32_t cb = foldCase(nextCodePoint(b, j));
        if (ca != cb) {
            return ca < cb;
        }
    }
    if (i < a.size() || j < b.size()) {
        return j < b.size();
    }
    // Equal but for case: a plain comparison keeps the order total.
    return a < b;
}

}  // namespace fragments
