#include "fragments/join_script.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/set_files.hpp"
#include "fragments/size_text.hpp"

namespace fragments {

namespace {

constexpr char quote = '"';
constexpr std::string_view lineEnd = "\r\n";

// Unicode code points of the code page 850 bytes 0x80 to 0xFF; below 0x80 it is ASCII.
constexpr std::array<char16_t, 128> codePage850High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C,
    0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

constexpr char unmappable = '?';

std::optional<char> codePage850Byte(char32_t codePoint) {
    if (codePoint < 0x80) {
        return static_cast<char>(codePoint);
    }
    for (std::size_t i = 0; i < codePage850High.size(); ++i) {
        if (codePage850High[i] == codePoint) {
            return static_cast<char>(static_cast<unsigned char>(0x80 + i));
        }
    }
    return std::nullopt;
}

// What a character the decoder rejects is shown as.
const std::string replacementCharacter = "\xEF\xBF\xBD";

// How many bytes of an old script are read to tell whether it is one of this program's.
constexpr std::size_t scriptHeadBytes = 4096;

// Characters as the script file holds them: one byte per code point.
std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t ignored = 0;
        decodeUtf8(utf8, pos, ignored);
        ++count;
    }
    return count;
}

// The command interpreter expands "%" in batch files even between quotes; "%%" stands for one.
std::string escapedForBatch(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    return out;
}

std::string inQuotes(std::string_view escapedName) {
    std::string out;
    out.reserve(escapedName.size() + 2);
    out += quote;
    out += escapedName;
    out += quote;
    return out;
}

class ScriptText {
  public:
    void line(std::string_view text) {
        text_ += text;
        text_ += lineEnd;
    }
    std::string take() { return std::move(text_); }

  private:
    std::string text_;
};

const std::string frameLine = "echo " + std::string(55, '*');
const std::string frameBlankLine = "echo *" + std::string(53, ' ') + "*";

// Lines 1 to 8 of every script, the same whatever it joins.
const std::vector<std::string> fixedHead = {
    "@echo off",
    "echo.",
    frameLine,
    frameBlankLine,
    "echo *        Gesplittet mit Brisko's Dodiveverazed.       *",
    frameBlankLine,
    frameLine,
    "echo.",
};

// The start of line 9, which names the file the script restores.
std::string originalLineStart(const std::string& targetName) {
    return "echo Die Originaldatei " + inQuotes(escapedForBatch(targetName));
}

// Up to `limit` bytes from the start of the regular file `path`; nullopt when it cannot be read.
std::optional<std::string> headOf(const std::string& path, std::size_t limit) {
    try {
        fileio::InputFile file(path);
        return fileio::readUpTo(file, limit);
    } catch (const fileio::FileError&) {
        return std::nullopt;
    }
}

}  // namespace

bool hasCharacterForbiddenOnWindows(std::string_view name) {
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '"' || c == '<' || c == '>' || c == '|' || c == '*' || c == '?' || c == ':' ||
            c == '\\' || c == '/') {
            return true;
        }
    }
    return false;
}

JoinScriptLocation joinScriptLocation(const std::string& sourcePath, char separator) {
    JoinScriptLocation location;
    location.name = NurName(sourcePath, separator) + ".bat";
    location.path = folderOf(sourcePath, separator) + location.name;
    return location;
}

std::optional<std::string> firstCharacterNotInCodePage850(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        char32_t codePoint = 0;
        if (!decodeUtf8(utf8, pos, codePoint)) {
            return replacementCharacter;
        }
        if (!codePage850Byte(codePoint)) {
            return std::string(utf8.substr(start, pos - start));
        }
    }
    return std::nullopt;
}

std::optional<NoJoinScript> whyNoJoinScript(const std::string& sourcePath, const JoinScriptInput& input,
                                            char separator) {
    if (hasCharacterForbiddenOnWindows(Nurdatei(sourcePath, separator))) {
        return NoJoinScript{NoJoinScript::Kind::ForbiddenCharacter, {}};
    }
    // A "?" in its place would be a wildcard to the command interpreter.
    std::vector<std::string> names{input.targetName, input.lastFragmentName};
    names.insert(names.end(), input.fragmentNames.begin(), input.fragmentNames.end());
    for (const auto& name : names) {
        if (auto character = firstCharacterNotInCodePage850(name)) {
            return NoJoinScript{NoJoinScript::Kind::NotInCodePage850, std::move(*character)};
        }
    }
    const std::string script = joinScriptLocation(sourcePath, separator).path;
    if (sameFile(script, sourcePath)) {
        return NoJoinScript{NoJoinScript::Kind::NamedLikeSource, {}};
    }
    if (fileio::entryAt(script).type != fileio::EntryType::None) {
        return NoJoinScript{NoJoinScript::Kind::ForeignFile, {}};
    }
    return std::nullopt;
}

bool isJoinScriptOf(const std::string& scriptPath, const std::string& sourcePath, char separator) {
    const std::string targetName = Nurdatei(sourcePath, separator);
    // A name the script writer cannot write is in no script of this program.
    if (firstCharacterNotInCodePage850(targetName) ||
        fileio::entryAt(scriptPath).type != fileio::EntryType::Regular) {
        return false;
    }
    std::string expected;
    for (const auto& line : fixedHead) {
        expected.append(line).append(lineEnd);
    }
    expected = toCodePage850(expected + originalLineStart(targetName));
    const auto head = headOf(scriptPath, std::max(scriptHeadBytes, expected.size()));
    return head && head->starts_with(expected);
}

void removeOldJoinScript(const std::string& sourcePath, char separator) {
    const std::string script = joinScriptLocation(sourcePath, separator).path;
    if (!sameFile(script, sourcePath) && isJoinScriptOf(script, sourcePath, separator)) {
        fileio::removeFile(script);
    }
}

std::string joinScriptText(const JoinScriptInput& input) {
    const std::string target = inQuotes(escapedForBatch(input.targetName));
    std::vector<std::string> fragments;
    fragments.reserve(input.fragmentNames.size());
    for (const auto& name : input.fragmentNames) {
        fragments.push_back(inQuotes(escapedForBatch(name)));
    }

    ScriptText script;
    for (const auto& line : fixedHead) {
        script.line(line);
    }
    script.line(originalLineStart(input.targetName) + " [" +
                numberPattern(input.sourceBytes, input.thousandsSeparator) + " Byte]");
    script.line("echo wurde am: " + input.dateText + " gesplittet.");
    script.line("echo.");
    if (!fragments.empty()) {
        script.line("@if NOT exist " + fragments.front() + " goto Fehler");
        script.line("@if NOT exist " + inQuotes(escapedForBatch(input.lastFragmentName)) + " goto Fehler");
    }
    script.line("echo Zusammengefuegt werden folgende Fragmente:   ");
    script.line("echo.");

    std::string argument;
    for (std::size_t k = 0; k < fragments.size(); ++k) {
        argument += fragments[k];
        argument += k + 1 < fragments.size() ? '+' : ' ';
    }
    if (fragments.empty()) {
        // An empty source has no fragment to copy; the target is made empty all the same.
        script.line("type nul > " + target);
    } else if (characterCount(argument) < longCopyFormFrom) {
        script.line("copy /b " + argument + " " + target);
    } else {
        script.line("echo.");
        script.line("echo " + target);
        script.line("echo " + fragments.front());
        script.line("copy /b " + fragments.front() + " " + target);
        for (std::size_t k = 1; k < fragments.size(); ++k) {
            std::string line = "copy /b ";
            line.append(target).append(1, '+').append(fragments[k]).append(1, ' ').append(target);
            script.line(line);
        }
    }

    script.line("echo.");
    script.line("echo.");
    script.line("GoTo OK");
    script.line(":Fehler");
    script.line("echo Abbruch: Eine oder mehrere Fragmentdateien fehlen oder befinden sich");
    script.line("echo          in einem anderen Ordner !");
    script.line("goto end");
    script.line("echo.");
    script.line(":OK");
    script.line("echo Zusammenfuegen von " + target + " beendet.");
    script.line(":End");
    return script.take();
}

std::string toCodePage850(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t codePoint = 0;
        out +=
            decodeUtf8(utf8, pos, codePoint) ? codePage850Byte(codePoint).value_or(unmappable) : unmappable;
    }
    return out;
}

// The command interpreter reads batch files in the console's code page, not the ANSI one; 850 is
// the German console's (on Windows the OEM code page of the system would be the one to use).
void writeJoinScript(const std::string& scriptPath, const JoinScriptInput& input) {
    // Anything at its name stays: the split has removed an old script of its own before.
    if (!writeSmallFile(scriptPath, toCodePage850(joinScriptText(input)), [&scriptPath] {
            return fileio::entryAt(scriptPath).type == fileio::EntryType::None;
        })) {
        throw fileio::FileError(fileio::FileError::Kind::CannotOpen, scriptPath,
                                std::make_error_code(std::errc::file_exists));
    }
}

std::variant<NoJoinScript, JoinScriptLocation> writeJoinScriptAfterSplit(
    const std::string& sourcePath, const std::vector<std::string>& fileNames,
    const std::string& thousandsSeparator, const std::string& dateText) {
    JoinScriptInput input;
    input.targetName = Nurdatei(sourcePath);
    for (const auto& name : fileNames) {
        input.fragmentNames.push_back(lowerCase(name));
    }
    input.lastFragmentName = fileNames.empty() ? std::string() : fileNames.back();
    input.sourceBytes = fileio::fileSize(sourcePath);
    input.thousandsSeparator = thousandsSeparator;
    input.dateText = dateText;
    if (auto refusal = whyNoJoinScript(sourcePath, input)) {
        return *refusal;
    }
    JoinScriptLocation script = joinScriptLocation(sourcePath);
    writeJoinScript(script.path, input);
    return script;
}

}  // namespace fragments
