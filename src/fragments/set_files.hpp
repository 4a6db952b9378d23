#pragma once
// The files of a fragment set and nothing else: which names the program may remove or replace, and one
// split, join or deletion of a set at a time, in any process.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/paths.hpp"

namespace fragments {

// Failures of a split or join that the program finds itself, thrown as fileio::FileError (Io) naming the
// file.
enum class Errc {
    // A name the split would delete or write that is the source it reads.
    IsSplitSource = 1,
    // A listed fragment that is the file the fragments were cut from.
    IsOriginal,
    // A fragment whose size changed between the check of the list and its copy.
    SizeChanged,
};
std::error_code make_error_code(Errc error) noexcept;

// Checks the name `path` before the program removes or replaces it, links not followed. Nothing there:
// false. A regular file or a link: true, it may go (a link goes itself, its target stays). Throws
// FileError (Io) naming `path`: fileio::Errc::NotRegularFile for a folder, FIFO, socket or device, which are
// never touched, and `whenSource` for a regular file that is `source` itself (same file, any name).
bool checkReplaceable(const std::string& path,
                      const std::optional<fileio::FileIdentity>& source = std::nullopt,
                      Errc whenSource = Errc::IsSplitSource);

// Makes way for a new file at `path`: what checkReplaceable lets go is removed. Throws like it, and
// FileError (Io) when the removal fails.
void makeWayFor(const std::string& path, const std::optional<fileio::FileIdentity>& source = std::nullopt,
                Errc whenSource = Errc::IsSplitSource);

// `name` as the program's hidden names beside a file carry it when they leave `room` bytes for it (a file
// system takes 255 bytes per name): itself when it fits, else as much of its start as fits with "~" and
// the eight hexadecimal digits of its CRC-32, cut between characters.
std::string fittedName(std::string_view name, std::size_t room);

// A hidden name beside `path` for a file on its way there: ".", its name (see carriedName), ".", six random
// letters or digits and `ending` (".tmp" for fragments and the checksum file, ".part" for a joined file).
// It never passes the fragment test and never appears in a listing.
std::string temporaryNameFor(const std::string& path, std::string_view ending);

// The final name `name` as a temporary name with `ending` carries it (fittedName).
std::string carriedName(std::string_view name, std::string_view ending);

// The final name a temporary name of exactly that shape (see temporaryNameFor) carries (see carriedName);
// nullopt for any other name.
std::optional<std::string> finalNameOfTemporary(std::string_view name, std::string_view ending);

// Writes `bytes` as a new file that appears at `path` only complete, through a hidden temporary beside it
// (see temporaryNameFor, ".tmp"), and only when `mayReplace` still allows it once they are written: what
// is at `path` then is replaced. False, with nothing left behind, when it does not. Throws FileError.
bool writeSmallFile(const std::string& path, std::string_view bytes, const std::function<bool()>& mayReplace);

// Removes from `directory` the regular files whose bare names pass `leftover`, links not followed: what a
// run that was killed left there. A folder that cannot be read is left as it is. Throws FileError (Io) when
// a leftover cannot be removed.
void removeLeftovers(const std::string& directory,
                     const std::function<bool(const std::string& name)>& leftover);

// Name of the lock file of the set cut from the file named `sourceName`: hidden, and no fragment candidate.
std::string lockFileName(const std::string& sourceName);

// The mark of a split that has not finished, beside the set: ".", the source's name and ".unfertig". The
// split writes it before it deletes or writes anything of the set and removes it once the set is whole (a
// kill, a full disk or a stop in between leave it); a join refuses a set that carries it.
std::string unfinishedMarkName(const std::string& sourceName);
// Marks the set of `sourcePath` as unfinished (a file or link at the mark's name is replaced). Throws
// FileError naming the mark (fileio::Errc::NotRegularFile for a folder, FIFO, socket or device there).
void markUnfinished(const std::string& sourcePath);
// Removes the mark of the set of `sourcePath`, if there is one. Throws like markUnfinished.
void clearUnfinished(const std::string& sourcePath);
// True when the set cut from the file named `sourceName` in `directory` carries the mark.
bool isUnfinished(const std::string& directory, const std::string& sourceName);

// One split, join or deletion of a set at a time: the lock is held as long as the object lives.
class SetLock {
  public:
    // The set a split of `sourcePath` writes beside it. nullopt: another operation holds it.
    // Throws FileError (Io) naming the lock file when it cannot be taken for another reason.
    static std::optional<SetLock> forSource(const std::string& sourcePath, char separator = nativeSeparator);
    // The listed set `names` (bare, in `directory`), cut from the file named like the first entry less
    // its last five characters. nullopt and failures as forSource.
    static std::optional<SetLock> forList(const std::vector<std::string>& names,
                                          const std::string& directory);

  private:
    explicit SetLock(fileio::LockFile lock) : lock_(std::move(lock)) {}
    static std::optional<SetLock> lockIn(const std::string& directory, const std::string& sourceName);
    fileio::LockFile lock_;
};

}  // namespace fragments

template <>
struct std::is_error_code_enum<fragments::Errc> : std::true_type {};
