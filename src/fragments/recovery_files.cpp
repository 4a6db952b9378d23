#include "fragments/recovery_files.hpp"

#include <algorithm>

#include "fileio/files.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"
#include "recovery/packets.hpp"

namespace fragments {

namespace {

// The name of this program in the creator packet of the recovery files it writes.
constexpr std::string_view ownCreator = "Dodiveverazed";

std::string hiddenTemporary(const std::string& path) {
    return temporaryNameFor(path, ".tmp");
}

// True when the recovery file at `path` says this program wrote it.
bool writtenByThisProgram(const std::string& path) {
    std::vector<recovery::packets::Packet> packets;
    std::vector<recovery::packets::RecoverySlice> slices;
    recovery::packets::scanFile(path, packets, slices);
    return std::ranges::any_of(packets, [](const auto& packet) {
        return packet.type == recovery::packets::kCreatorType && packet.body.starts_with(ownCreator);
    });
}

}  // namespace

std::string recoveryFilePath(const std::string& setPath) {
    return setPath + ".par2";
}

bool isRecoveryFileOf(std::string_view name, std::string_view sourceName) {
    if (!name.starts_with(sourceName) || !name.ends_with(".par2")) {
        return false;
    }
    const std::string_view middle = name.substr(sourceName.size(), name.size() - sourceName.size() - 5);
    return middle.empty() || (middle.starts_with(".vol") && middle.find('+') != std::string_view::npos);
}

std::vector<std::string> writeRecoveryFiles(const std::string& setPath,
                                            const std::vector<std::string>& fileNames, int percent,
                                            const recovery::Progress& progress) {
    const std::string folder = folderOf(setPath);
    std::vector<std::string> paths;
    paths.reserve(fileNames.size());
    for (const auto& name : fileNames) {
        paths.push_back(folder + name);
    }
    std::vector<std::string> names;
    for (const auto& path : recovery::createRecoveryFiles(paths, percent, recoveryFilePath(setPath), progress,
                                                          hiddenTemporary)) {
        names.push_back(Nurdatei(path));
    }
    return names;
}

void removeOwnRecoveryFiles(const std::string& setPath) {
    const std::string folder = folderOf(setPath), sourceName = Nurdatei(setPath);
    for (const auto& entry : fileio::regularFilesIn(folder)) {
        if (isRecoveryFileOf(entry.name, sourceName) && writtenByThisProgram(folder + entry.name)) {
            fileio::removeFile(folder + entry.name);
        }
    }
}

std::optional<recovery::Diagnosis> diagnoseSet(const std::string& directory, const std::string& sourceName,
                                               const recovery::Progress& progress) {
    const std::string main = recoveryFilePath(withTrailingSeparator(directory) + sourceName);
    if (fileio::entryAt(main).type != fileio::EntryType::Regular) {
        return std::nullopt;
    }
    return recovery::diagnose(main, progress);
}

std::vector<std::string> repairSet(const recovery::Diagnosis& diagnosis, const recovery::Progress& progress) {
    std::vector<std::string> names;
    for (const auto& path : recovery::repair(diagnosis, progress, hiddenTemporary)) {
        names.push_back(Nurdatei(path));
    }
    return names;
}

}  // namespace fragments
