#pragma once
// The recovery files beside a set (NAME.par2 and its volumes NAME.volA+B.par2, NAME being the name of the
// file the fragments were cut from): written after a split, read to rebuild damaged or missing fragments.

#include <optional>
#include <string>
#include <vector>

#include "recovery/recovery.hpp"

namespace fragments {

// The main recovery file of the set named after `setPath` (a source, or its place in an output folder).
std::string recoveryFilePath(const std::string& setPath);

// True when `name` (bare) is one of the recovery files of the set of the file named `sourceName`.
bool isRecoveryFileOf(std::string_view name, std::string_view sourceName);

// Writes recovery files for the fragments `fileNames` (bare, beside `setPath`) that rebuild `percent` % of
// them, under the hidden temporary names a split's leftovers have. Returns their bare names, the main file
// first. Throws FileError, or what `progress` throws.
std::vector<std::string> writeRecoveryFiles(const std::string& setPath,
                                            const std::vector<std::string>& fileNames, int percent,
                                            const recovery::Progress& progress);

// Removes the recovery files of the set of `setPath` that this program wrote (they describe the old set);
// another program's stay. Throws FileError (Io) when one cannot be removed.
void removeOwnRecoveryFiles(const std::string& setPath);

// What the recovery files beside the set cut from `sourceName` in `directory` say of it; nullopt when the set
// has none. Throws RecoveryError when they hold no usable description of it, FileError when they cannot be
// read.
std::optional<recovery::Diagnosis> diagnoseSet(const std::string& directory, const std::string& sourceName,
                                               const recovery::Progress& progress = {});

// Rebuilds the damaged and missing fragments `diagnosis` names, each through a hidden temporary file renamed
// to its name once it matches the recovery data; returns their bare names. Throws as recovery::repair does.
std::vector<std::string> repairSet(const recovery::Diagnosis& diagnosis,
                                   const recovery::Progress& progress = {});

}  // namespace fragments
