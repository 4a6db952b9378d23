#pragma once
// The Windows batch script that rejoins the fragments with "copy /b" where the program is absent.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fragments/paths.hpp"

namespace fragments {

struct JoinScriptInput {
    std::string targetName;                  // file name part of the source, its own case
    std::vector<std::string> fragmentNames;  // file name parts of the fragments, lower case, in order
    std::string lastFragmentName;            // file name part of the last fragment, source case
    std::int64_t sourceBytes = 0;
    std::string thousandsSeparator = ".";
    std::string dateText;  // today in the regional short date form
};

// True when `name` holds a character Windows does not allow in file names (" < > | * ? : \ / or a
// control character); such a source gets no script.
bool hasCharacterForbiddenOnWindows(std::string_view name);

// Where the script of a split of `sourcePath` goes: the base name and ".bat", beside the source.
struct JoinScriptLocation {
    std::string name;  // bare, e.g. Beispiel.bat
    std::string path;  // in the source's folder
};
JoinScriptLocation joinScriptLocation(const std::string& sourcePath, char separator = nativeSeparator);

// Why a split gets no script.
struct NoJoinScript {
    enum class Kind {
        ForbiddenCharacter,  // the source's name is not one Windows can hold
        NotInCodePage850,    // a name in the script has a character the console cannot show: `character`
        NamedLikeSource,     // the script would be the source itself (Beispiel.bat)
        ForeignFile,         // a file of the script's name is there and is no script of this source
    };
    Kind kind = Kind::ForbiddenCharacter;
    // The first character code page 850 lacks, UTF-8; U+FFFD for a byte that is not UTF-8.
    std::string character;
};

// nullopt when the split of `sourcePath` gets the script `input` describes, checked in this order.
// The script written by an earlier split of this source must have been removed already
// (removeOldJoinScript): anything still at the script's name stays and gets no script.
std::optional<NoJoinScript> whyNoJoinScript(const std::string& sourcePath, const JoinScriptInput& input,
                                            char separator = nativeSeparator);

// The first character of `utf8` that code page 850 lacks (U+FFFD for a byte that is not UTF-8), UTF-8;
// nullopt when it has them all.
std::optional<std::string> firstCharacterNotInCodePage850(std::string_view utf8);

// True when the regular file `scriptPath` (links not followed) is a script this program wrote for a
// split of `sourcePath`: its first eight lines are the fixed ones and the ninth names the source as the
// script writer writes it. Reads a few KiB at most and never waits (a FIFO is no script).
bool isJoinScriptOf(const std::string& scriptPath, const std::string& sourcePath,
                    char separator = nativeSeparator);

// Deletes the script an earlier split of `sourcePath` left beside it; any other file of its name stays,
// the source itself too. Throws FileError (Io) when it cannot be deleted.
void removeOldJoinScript(const std::string& sourcePath, char separator = nativeSeparator);

// Argument texts of this many characters or more make the copy block one command per fragment.
inline constexpr std::size_t longCopyFormFrom = 512;

// The script's text, UTF-8, every line ending in CR LF; "%" in names doubled. Without fragments (an
// empty source) the existence checks are left out and the copy block makes an empty target.
std::string joinScriptText(const JoinScriptInput& input);

// UTF-8 to code page 850 (the console's code page on German systems); "?" for what it lacks.
std::string toCodePage850(std::string_view utf8);

// Writes the script in code page 850 to `scriptPath` as a new file: anything at that name is refused
// (file_exists), a link too. A failure leaves no script behind. Throws FileError.
void writeJoinScript(const std::string& scriptPath, const JoinScriptInput& input);

// The script of a split of `sourcePath` that wrote the fragments `fileNames` (file name parts in the
// source's case, in order), with the regional `thousandsSeparator` and today as `dateText`: written
// beside the source with the names in lower case, or why it is not. Throws FileError.
std::variant<NoJoinScript, JoinScriptLocation> writeJoinScriptAfterSplit(
    const std::string& sourcePath, const std::vector<std::string>& fileNames,
    const std::string& thousandsSeparator, const std::string& dateText);

}  // namespace fragments
