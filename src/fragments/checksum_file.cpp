#include "fragments/checksum_file.hpp"

#include <algorithm>
#include <charconv>

#include "checksum/crc32.hpp"
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

// The CRCs `text` gives for the fragments cut from the file `sourceName`; nullopt when it gives one of them
// two different CRCs.
std::optional<std::map<std::string, std::uint32_t>> crcsOfSet(std::string_view text,
                                                              const std::string& sourceName) {
    std::map<std::string, std::uint32_t> crcs;
    for (auto& entry : parseChecksumFile(text)) {
        if (isMemberName(entry.name) && sourceNameOf(entry.name) == sourceName &&
            !crcs.emplace(entry.name, entry.crc).second && crcs.at(entry.name) != entry.crc) {
            return std::nullopt;
        }
    }
    return crcs;
}

// The names a set's checksum file may have in `directory`, in the order they count: "<sourceName>.sfv",
// that name in another letter case, "<sourceName less its last extension>.sfv" in any case.
std::vector<std::string> checksumFileNames(const std::string& directory, const std::string& sourceName,
                                           const std::string& onlyFile) {
    if (!onlyFile.empty()) {
        return {onlyFile};
    }
    const std::size_t dot = sourceName.rfind('.');
    const std::string exact = sourceName + ".sfv";
    const std::string stem = dot != std::string::npos && dot > 0 ? sourceName.substr(0, dot) + ".sfv" : exact;
    std::vector<std::string> names{exact};
    const auto listing = fileio::regularFilesIn(directory);
    for (const std::string& wanted : {lowerCase(exact), lowerCase(stem)}) {
        for (const auto& entry : listing) {
            if (lowerCase(entry.name) == wanted && std::ranges::find(names, entry.name) == names.end()) {
                names.push_back(entry.name);
            }
        }
    }
    return names;
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

SetChecksums findSetChecksums(const std::string& directory, const std::string& sourceName,
                              const std::string& onlyFile) {
    using Found = SetChecksums::Found;
    const std::string folder = withTrailingSeparator(directory);
    SetChecksums found;
    for (const auto& name : checksumFileNames(directory, sourceName, onlyFile)) {
        if (fileio::entryAt(folder + name).type == fileio::EntryType::Link && found.found == Found::None) {
            found = {Found::Link, {name}, {}};
        }
        const auto text = startOf(folder + name, largestChecksumFile + 1);
        if (!text) {
            continue;
        }
        const auto crcs = crcsOfSet(*text, sourceName);
        if (!crcs || text->size() > largestChecksumFile) {
            return {Found::Unusable, {name}, {}};
        }
        if (crcs->empty()) {
            continue;
        }
        if (found.found != Found::Read) {
            found = {Found::Read, {name}, *crcs};
        } else if (!std::ranges::all_of(*crcs, [&found](const auto& entry) {
                       const auto known = found.crcs.find(entry.first);
                       return known == found.crcs.end() || known->second == entry.second;
                   })) {
            return {Found::Disagree, {found.files.front(), name}, {}};
        }
    }
    return found;
}

std::optional<std::string> setNameOf(const std::string& path) {
    const auto text = startOf(path, largestChecksumFile);
    for (const auto& entry : parseChecksumFile(text.value_or(""))) {
        if (isMemberName(entry.name)) {
            return sourceNameOf(entry.name);
        }
    }
    return std::nullopt;
}

std::vector<FragmentCheck> checkFragments(const std::string& directory,
                                          const std::map<std::string, std::uint32_t>& crcs) {
    std::vector<FragmentCheck> checks;
    clsCRC32 calculator;
    for (const auto& [name, expected] : crcs) {
        FragmentCheck check{name, FragmentCheck::State::Missing, 0, expected};
        const std::string path = withTrailingSeparator(directory) + name;
        if (fileio::identityOf(path)) {
            check.found = checksum::fileCrc32(path, calculator);
            check.state =
                check.found == expected ? FragmentCheck::State::Whole : FragmentCheck::State::Damaged;
        }
        checks.push_back(check);
    }
    return checks;
}

}  // namespace fragments
