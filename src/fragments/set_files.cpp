#include "fragments/set_files.hpp"

#include <utility>

namespace fragments {

bool checkReplaceable(const std::string& path, const std::optional<fileio::FileIdentity>& source,
                      fileio::Errc whenSource) {
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

void makeWayFor(const std::string& path, const std::optional<fileio::FileIdentity>& source,
                fileio::Errc whenSource) {
    if (checkReplaceable(path, source, whenSource)) {
        fileio::removeFile(path);
    }
}

std::string lockFileName(const std::string& sourceName) {
    return "." + sourceName + ".lock";
}

std::optional<SetLock> SetLock::forSource(const std::string& sourcePath, char separator) {
    return lockIn(folderOf(sourcePath, separator), Nurdatei(sourcePath, separator));
}

std::optional<SetLock> SetLock::forList(const std::vector<std::string>& names, const std::string& directory) {
    if (names.empty()) {
        return SetLock(fileio::LockFile());
    }
    return lockIn(withTrailingSeparator(directory), withoutLastCharacters(names.front(), 5));
}

std::optional<SetLock> SetLock::lockIn(const std::string& directory, const std::string& sourceName) {
    auto lock = fileio::LockFile::tryLock(directory + lockFileName(sourceName));
    if (!lock) {
        return std::nullopt;
    }
    return SetLock(std::move(*lock));
}

}  // namespace fragments
