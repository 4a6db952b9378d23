#include "fragments/checksum_file.hpp"

#include <algorithm>
#include <charconv>

#include "checksum/file_checksum.hpp"
#include "dodiveverazed/project.hpp"
#include "fileio/files.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

namespace {

constexpr std::string_view ownFirstLine = "; Dodiveverazed ";
// Larger files are no checksum files of a fragment set (999 lines of a few dozen bytes).
constexpr std::size_t largestChecksumFile = std::size_t{1} << 20;

std::optional<std::uint32_t> hexadecimalCrc(std::string_view text) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, value, 16);
    if (text.size() != 8 || read.ec != std::errc() || read.ptr != end) {
        return std::nullopt;
    }
    return value;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The first `limit` bytes of the regular file `path` (links not followed); nullopt when no regular file
// is there. Throws FileError when it cannot be read.
std::optional<std::string> startOf(const std::string& path, std::size_t limit) {
    if (fileio::entryAt(path).type != fileio::EntryType::Regular) {
        return std::nullopt;
    }
    fileio::InputFile file(path);
    return fileio::readUpTo(file, limit);
}

}  // namespace

std::string checksumFilePath(const std::string& sourcePath) {
    return sourcePath + ".sfv";
}

std::string checksumFileText(const std::string& sourceName, std::int64_t sourceBytes, std::uint32_t sourceCrc,
                             const std::vector<ChecksumEntry>& fragments) {
    std::string text = std::string(ownFirstLine) + dodiveverazed::version + "\r\n";
    text += "; source \"" + sourceName + "\" " + std::to_string(sourceBytes) + " " +
            checksum::crcText(sourceCrc) + "\r\n";
    for (const auto& fragment : fragments) {
        text += fragment.name + " " + checksum::crcText(fragment.crc) + "\r\n";
    }
    return text;
}

bool fitsChecksumFile(std::string_view name) {
    return !name.empty() && name.front() != ';' && std::ranges::none_of(name, [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

std::vector<ChecksumEntry> parseChecksumFile(std::string_view text) {
    std::vector<ChecksumEntry> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || isBlank(line.back()))) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        std::size_t split = line.size();
        while (split > 0 && !isBlank(line[split - 1])) {
            --split;
        }
        std::string_view name = line.substr(0, split);
        while (!name.empty() && isBlank(name.back())) {
            name.remove_suffix(1);
        }
        if (const auto crc = hexadecimalCrc(line.substr(split)); crc && !name.empty()) {
            entries.push_back({std::string(name), *crc});
        }
    }
    return entries;
}

bool isOwnChecksumFile(const std::string& path) {
    try {
        const auto start = startOf(path, ownFirstLine.size());
        return start && *start == ownFirstLine;
    } catch (const fileio::FileError&) {
        return false;
    }
}

bool mayWriteChecksumFile(const std::string& path) {
    return fileio::entryAt(path).type == fileio::EntryType::None || isOwnChecksumFile(path);
}

void removeOwnChecksumFile(const std::string& path) {
    if (isOwnChecksumFile(path)) {
        fileio::removeFile(path);
    }
}

bool writeChecksumFile(const std::string& path, const std::string& text) {
    return writeSmallFile(path, text, [&path] {
        fileio::testing::stepReached("checksum-file-written");
        return mayWriteChecksumFile(path);
    });
}

std::map<std::string, std::uint32_t> fragmentChecksums(const std::string& directory,
                                                       const std::string& sourceName) {
    std::map<std::string, std::uint32_t> checksums;
    const auto text = startOf(withTrailingSeparator(directory) + sourceName + ".sfv", largestChecksumFile);
    if (!text) {
        return checksums;
    }
    for (auto& entry : parseChecksumFile(*text)) {
        if (hasFragmentEnding(entry.name) && withoutLastCharacters(entry.name, 5) == sourceName) {
            checksums.emplace(std::move(entry.name), entry.crc);
        }
    }
    return checksums;
}

}  // namespace fragments
