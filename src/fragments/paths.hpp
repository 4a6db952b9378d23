#pragma once
// Path functions, fragment naming and the fragment test. Paths are UTF-8 strings; the separator
// is a parameter (native by default) so the Windows forms can be checked on every platform.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fragments {

#ifdef _WIN32
inline constexpr char nativeSeparator = '\\';
#else
inline constexpr char nativeSeparator = '/';
#endif

// Highest fragment number a split may write; names always carry three digits.
inline constexpr int maxFragments = 999;

// The file name part: everything after the last separator ("" for "", the whole input without one).
std::string Nurdatei(std::string_view path, char separator = nativeSeparator);

// The base name: the file name part cut before its first ".".
std::string NurName(std::string_view path, char separator = nativeSeparator);

// "." followed by everything after the first "." of the whole input ("." when there is none).
std::string NurExt(std::string_view path);

// The directory with the separator appended when it does not already end in one ("" stays "").
std::string withTrailingSeparator(std::string_view directory, char separator = nativeSeparator);

// The folder of `path` with its trailing separator; for a bare file name, the process's working directory.
std::string folderOf(std::string_view path, char separator = nativeSeparator);

// Fragment `number` (1..999) of `source`: the source path, "._" and the number in three digits.
std::string fragmentName(std::string_view source, int number);

// True when the fourth character from the end of `name` is "_" (the name ends in "_" and three more).
bool hasFragmentEnding(std::string_view name);

// True when `name` ends in "." and three digits after at least one more character, as the volumes of
// other splitters are named (Beispiel.dat.001); the program reads such sets but never writes them.
bool hasNumberEnding(std::string_view name);

// True when `name` ends as a fragment of either kind of set: "_" and three more characters, or ".NNN".
bool isMemberName(std::string_view name);

// True when `name` is the first of such a set: it ends in ".001" after at least one more character.
bool beginsNumberedSet(std::string_view name);

// The name of the file the fragment `name` was cut from: `name` less its ".NNN" ending when it has one
// (hasNumberEnding), else less its last five characters ("._NNN").
std::string sourceNameOf(std::string_view name);

// The name of fragment `number` of the set that `member` belongs to, in that set's way of naming.
std::string memberName(std::string_view member, int number);

// The fragment test: `name` (bare) has a fragment ending and the base name of `reference`.
bool isFragmentOf(std::string_view name, std::string_view reference, char separator = nativeSeparator);

// The last three characters of `name` read as a decimal number; nullopt when they are not three digits.
std::optional<int> fragmentNumber(std::string_view name);

// The number the join's progress shows for fragment `name`: its three digits without leading zeros, or
// its last three characters as they are when they are not digits.
std::string progressNumber(std::string_view name);

// The last `count` characters of `name`, counted in UTF-8, a byte that is no UTF-8 as one character (as
// many as there are when it has fewer).
std::string lastCharacters(std::string_view name, std::size_t count);

// `text` without its last `count` characters ("" when it has no more than that), counted as
// lastCharacters counts them.
std::string withoutLastCharacters(std::string_view text, std::size_t count);

// Decodes the UTF-8 sequence at `position` into `codePoint` and advances past it. A malformed one
// (overlong, a surrogate, beyond U+10FFFF, cut short) gives false and advances one byte, so that every
// bad byte counts as one character.
bool decodeUtf8(std::string_view text, std::size_t& position, char32_t& codePoint);

// True when all of `text` is well-formed UTF-8.
bool isUtf8(std::string_view text);

// `text` with the ASCII letters and the Latin-1 capitals (umlauts among them) in lower case, the form in
// which the join script names the fragments. Other characters stay as they are.
std::string lowerCase(std::string_view text);

// Ascending alphabetical order ignoring case, the order of the fragment list.
bool lessIgnoringCase(std::string_view a, std::string_view b);

}  // namespace fragments
