#include "fragments/set_files.hpp"

#include <algorithm>
#include <random>

#include <utility>
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"

namespace fragments {

namespace {

constexpr std::string_view temporaryAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t temporaryTagLength = 6;
// The longest name most file systems take, in bytes.
constexpr std::size_t maxNameBytes = 255;

// A hidden name beside the set cut from `sourceName`: ".", that name (fitted) and `ending`.
std::string hiddenSetName(std::string_view sourceName, std::string_view ending) {
    std::string hidden(1, '.');
    hidden += fittedName(sourceName, maxNameBytes - 1 - ending.size());
    hidden += ending;
    return hidden;
}

}  // namespace

std::error_code make_error_code(Errc error) noexcept {
    class Category : public std::error_category {
      public:
        const char* name() const noexcept override { return "fragments"; }
        std::string message(int value) const override { return "fragments error " + std::to_string(value); }
    };
    static const Category category;
    return {static_cast<int>(error), category};
}

std::string fittedName(std::string_view name, std::size_t room) {
    if (name.size() <= room) {
        return std::string(name);
    }
    const std::string crc = checksum::crcText(
        checksum::crc32Update(0, reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
    std::size_t cut = room - crc.size() - 1;
    // Not within a character: continuation bytes of UTF-8 go with the byte before them.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::string fitted(name.substr(0, cut));
    fitted += '~';
    fitted += crc;
    return fitted;
}

std::string carriedName(std::string_view name, std::string_view ending) {
    return fittedName(name, maxNameBytes - 2 - temporaryTagLength - ending.size());
}

std::string temporaryNameFor(const std::string& path, std::string_view ending) {
    static std::mt19937_64 random{std::random_device{}()};
    std::string tag;
    for (std::size_t i = 0; i < temporaryTagLength; ++i) {
        tag += temporaryAlphabet[random() % temporaryAlphabet.size()];
    }
    const std::string name = Nurdatei(path);
    return path.substr(0, path.size() - name.size()) + "." + carriedName(name, ending) + "." + tag +
           std::string(ending);
}

std::optional<std::string> finalNameOfTemporary(std::string_view name, std::string_view ending) {
    // ".", the name, ".", the tag and the ending.
    const std::size_t fixed = 2 + temporaryTagLength + ending.size();
    if (name.size() <= fixed || name.front() != '.' || !name.ends_with(ending)) {
        return std::nullopt;
    }
    const std::string_view tag =
        name.substr(name.size() - ending.size() - temporaryTagLength, temporaryTagLength);
    const bool tagged =
        std::ranges::all_of(tag, [](char c) { return temporaryAlphabet.find(c) != std::string_view::npos; });
    if (!tagged || name[name.size() - fixed + 1] != '.') {
        return std::nullopt;
    }
    return std::string(name.substr(1, name.size() - fixed));
}

bool writeSmallFile(const std::string& path, std::string_view bytes,
                    const std::function<bool()>& mayReplace) {
    fileio::PendingFile file(
        path, [&path] { return temporaryNameFor(path, ".tmp"); }, false);
    file.file().write(bytes.data(), bytes.size());
    if (!mayReplace()) {
        return false;
    }
    file.commit();
    return true;
}

void removeLeftovers(const std::string& directory,
                     const std::function<bool(const std::string& name)>& leftover) {
    std::vector<fileio::FolderEntry> entries;
    try {
        entries = fileio::regularFilesIn(directory.empty() ? "." : directory);
    } catch (const fileio::FileError&) {
        return;
    }
    for (const auto& entry : entries) {
        const std::string path = withTrailingSeparator(directory) + entry.name;
        if (leftover(entry.name) && fileio::entryAt(path).type == fileio::EntryType::Regular) {
            fileio::removeFile(path);
        }
    }
}

bool checkReplaceable(const std::string& path, const std::optional<fileio::FileIdentity>& source,
                      Errc whenSource) {
    const fileio::Entry entry = fileio::entryAt(path);
    switch (entry.type) {
        case fileio::EntryType::None:
            return false;
        case fileio::EntryType::Link:
            return true;
        case fileio::EntryType::Regular:
            if (source && entry.identity == *source) {
                throw fileio::FileError(fileio::FileError::Kind::Io, path, whenSource);
            }
            return true;
        case fileio::EntryType::Directory:
        case fileio::EntryType::Other:
            break;
    }
    throw fileio::FileError(fileio::FileError::Kind::Io, path, fileio::Errc::NotRegularFile);
}

void makeWayFor(const std::string& path, const std::optional<fileio::FileIdentity>& source, Errc whenSource) {
    if (checkReplaceable(path, source, whenSource)) {
        fileio::removeFile(path);
    }
}

std::string lockFileName(const std::string& sourceName) {
    return hiddenSetName(sourceName, ".lock");
}

std::string unfinishedMarkName(const std::string& sourceName) {
    return hiddenSetName(sourceName, ".unfertig");
}

void markUnfinished(const std::string& sourcePath) {
    const std::string mark = folderOf(sourcePath) + unfinishedMarkName(Nurdatei(sourcePath));
    // Only its presence counts: written in place, not through a temporary.
    makeWayFor(mark);
    fileio::OutputFile file(mark);
    constexpr std::string_view text = "Dodiveverazed: Die Splittung wurde nicht beendet.\n";
    file.write(text.data(), text.size());
    file.close();
}

void clearUnfinished(const std::string& sourcePath) {
    makeWayFor(folderOf(sourcePath) + unfinishedMarkName(Nurdatei(sourcePath)));
}

bool isUnfinished(const std::string& directory, const std::string& sourceName) {
    return fileio::entryAt(withTrailingSeparator(directory) + unfinishedMarkName(sourceName)).type !=
           fileio::EntryType::None;
}

std::optional<SetLock> SetLock::forSource(const std::string& sourcePath, char separator) {
    return lockIn(folderOf(sourcePath, separator), Nurdatei(sourcePath, separator));
}

std::optional<SetLock> SetLock::forList(const std::vector<std::string>& names, const std::string& directory) {
    if (names.empty()) {
        return SetLock(fileio::LockFile());
    }
    return lockIn(withTrailingSeparator(directory), sourceNameOf(names.front()));
}

std::optional<SetLock> SetLock::lockIn(const std::string& directory, const std::string& sourceName) {
    auto lock = fileio::LockFile::tryLock(directory + lockFileName(sourceName));
    if (!lock) {
        return std::nullopt;
    }
    return SetLock(std::move(*lock));
}

}  // namespace fragments
