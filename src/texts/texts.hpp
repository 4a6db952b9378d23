#pragma once
// The German texts the window and the command line both show, and the command line's own, as UTF-8,
// character for character (double and trailing blanks included). No Qt here: the window wraps these
// for display in MainWindowTexts.hpp, beside the texts only the window shows.

#include <cstdint>
#include <cstdio>
#include <string>

#include "fragments/join_script.hpp"
#include "texts/reasons.hpp"

namespace texts::utf8 {

// Results of the split.
inline std::string sourceSize(const std::string& size) {
    return "Quelldatei  (Byte): " + size;
}
inline std::string fragmentsSize(const std::string& size) {
    return "Fragmente (Byte): " + size;
}
inline std::string splitProgressSoFar(std::int64_t done) {
    return "Dateifragmente: " + std::to_string(done);
}
inline std::string splitProgress(std::int64_t done, std::int64_t total) {
    return "Dateifragmente: " + std::to_string(done) + " von " + std::to_string(total);
}

// Results of the join.
inline std::string joinProgress(const std::string& number, std::int64_t count) {
    return "add Fragment: " + number + " von " + std::to_string(count);
}
inline const std::string joinDone = ", fertig!";

// The fragment size.
inline const std::string notNumeric = "Fragmentgröße kein numerischer Wert !";

// Refusals and failures of the split.
inline const std::string invalidFragmentSize = "Ungültige Dateifragmentgröße !";
inline std::string tooManyFragments(std::int64_t count) {
    return "Die Anzahl der entstehenden Dateifragmente ist zu gross (" + std::to_string(count) +
           "). Die Anzahl der entstehenden Dateifragmente darf 999 nicht überschreiten. Bitte die "
           "Dateifragmentgrösse erhöhen.";
}
inline const std::string streamTooLong =
    "Die Standardeingabe ergibt mehr als 999 Dateifragmente. Die Splittung wurde abgebrochen; die "
    "geschriebenen Fragmente sind als unvollständig markiert und werden nicht zusammengefügt. Bitte die "
    "Dateifragmentgrösse erhöhen.";
inline const std::string outOfMemory = "Zu wenig Speicher. Fragmentgrösse zu gross gewählt!";
inline const std::string cannotWriteFragments =
    "Die Dateifragmente können nicht auf den Datenträger geschrieben werden. Bitte die zu splittende "
    "Datei vor der Splittung auf einen beschreibbaren Datenträger kopieren!";
inline std::string splitAborted(const std::string& path, const std::string& reason) {
    return "Die Splittung wurde abgebrochen. Fehler bei Datei " + path + ": " + reason;
}
inline std::string splitAborted(const std::string& reason) {
    return "Die Splittung wurde abgebrochen. Fehler: " + reason;
}

// The join script.
inline std::string noScriptForName(const std::string& name) {
    return "Für " + name +
           " kann keine Batchdatei erzeugt werden: der Name enthält Zeichen, die unter Windows nicht "
           "erlaubt sind.";
}
inline std::string noScriptNamedLikeSource(const std::string& name) {
    return "Für " + name +
           " kann keine Batchdatei erzeugt werden: sie hätte denselben Namen wie die Datei selbst.";
}
inline std::string noScriptForCodePage(const std::string& name, const std::string& character) {
    return "Für " + name + " kann keine Batchdatei erzeugt werden: das Zeichen „" + character +
           "“ kann die Eingabeaufforderung (Codepage 850) nicht darstellen.";
}
inline std::string noScriptBesideForeignFile(const std::string& name, const std::string& scriptName) {
    return "Für " + name + " wird keine Batchdatei erzeugt: die vorhandene Datei " + scriptName +
           " gehört nicht zu dieser Datei und bleibt erhalten.";
}
// Why a split of the file named `name` gets no script; `scriptName` is the script's bare name.
inline std::string noScript(const fragments::NoJoinScript& refusal, const std::string& name,
                            const std::string& scriptName) {
    using Kind = fragments::NoJoinScript::Kind;
    switch (refusal.kind) {
        case Kind::ForbiddenCharacter:
            break;
        case Kind::NotInCodePage850:
            return noScriptForCodePage(name, refusal.character);
        case Kind::NamedLikeSource:
            return noScriptNamedLikeSource(name);
        case Kind::ForeignFile:
            return noScriptBesideForeignFile(name, scriptName);
    }
    return noScriptForName(name);
}
// A file at the checksum file's name that the split did not write stays: the new set has none.
inline std::string checksumFileKept(const std::string& name) {
    return "Die Datei " + name +
           " stammt nicht von dieser Splittung und bleibt unverändert; für die neuen Fragmente wurde keine "
           "Prüfsummendatei geschrieben.";
}
inline std::string scriptWritten(const std::string& scriptName) {
    return "Batchdatei " + scriptName + " wurde erzeugt !";
}

// A split, join or deletion of a set another one is working on, in this process or another.
inline std::string lockOfOtherUser(const std::string& path, const std::string& owner) {
    return "Die Sperrdatei " + path + " gehört dem Benutzer " + owner +
           ": Solange sie besteht, kann niemand sonst diese Dateifragmente bearbeiten. Bitte " + owner +
           " bitten, seinen Vorgang zu beenden oder die Sperrdatei zu löschen.";
}
inline std::string setBusy(const std::string& path) {
    return "Die Datei " + path +
           " wird gerade von einem anderen Vorgang bearbeitet. Bitte warten, bis der andere Vorgang beendet "
           "ist, "
           "und es dann erneut versuchen.";
}

// Any file that is read.
inline std::string fileUnreadable(const std::string& name, const std::string& reason) {
    return "Die Datei " + name + " kann nicht gelesen werden: " + reason;
}

// Failures of the join.
inline std::string damagedFragment(const std::string& name, const std::string& found,
                                   const std::string& expected) {
    return "Das Fragment " + name + " ist beschädigt (CRC32 " + found + " statt " + expected +
           "). Bitte das Fragment erneut kopieren.";
}
inline std::string unfinishedSplit(const std::string& source) {
    return "Die Splittung von " + source +
           " wurde nicht beendet: die Dateifragmente sind unvollständig und werden nicht zusammengefügt. "
           "Bitte "
           "die Quelldatei erneut splitten.";
}
inline std::string checksumFileUnusable(const std::string& path) {
    return "Die Prüfsummendatei " + path +
           " ist zu gross oder gibt einem Fragment zwei verschiedene CRC32-Werte. Bitte die Prüfsummendatei "
           "entfernen oder ersetzen.";
}
inline std::string checksumFilesDisagree(const std::string& path, const std::string& other) {
    return "Die Prüfsummendateien " + path + " und " + other +
           " geben einem Fragment verschiedene CRC32-Werte. Bitte die falsche entfernen.";
}
inline std::string joinUnverifiedQuestion(const std::string& fragment, const std::string& checksumFile) {
    return "Fragment " + fragment + " steht in " + checksumFile +
           ", aber nicht in der Dateifragmentliste. Liste ungeprüft zusammenfügen ?";
}
// What a join verified: `count` fragments by `checksumFile` (a link, or "" for none found).
inline std::string verification(int count, const std::string& checksumFile, bool link) {
    if (checksumFile.empty()) {
        return "nicht geprüft: keine Prüfsummendatei";
    }
    if (link) {
        return "nicht geprüft: " + checksumFile + " ist ein Link";
    }
    if (count == 0) {
        return "nicht geprüft: ohne " + checksumFile + " zusammengefügt";
    }
    return "CRC32 von " + std::to_string(count) + (count == 1 ? " Fragment" : " Fragmenten") + " geprüft (" +
           checksumFile + ")";
}
// The check of a set without joining it: a line per fragment, then one for the set.
inline std::string fragmentWhole(const std::string& name) {
    return name + ": OK";
}
inline std::string fragmentDamaged(const std::string& name, const std::string& found,
                                   const std::string& expected) {
    return name + ": beschädigt (CRC32 " + found + " statt " + expected + ")";
}
inline std::string fragmentMissing(const std::string& name) {
    return name + ": fehlt";
}
// Recovery files (NAME.par2 and its volumes).
inline std::string recoveryWritten(const std::string& mainFile, std::size_t files) {
    return "Wiederherstellungsdaten: " + mainFile +
           (files > 1 ? " und " + std::to_string(files - 1) + " Volumedateien" : std::string());
}
inline std::string recoveryProgress(std::int64_t percent) {
    return "Wiederherstellungsdaten: " + std::to_string(percent) + " %";
}
inline std::string fragmentRebuilt(const std::string& name) {
    return name + ": wiederhergestellt";
}
// What `mainFile` can do for a set missing `missing` blocks with `usable` recovery blocks.
inline std::string recoveryState(const std::string& mainFile, std::int64_t missing, std::int64_t usable) {
    return missing == 0
               ? mainFile + ": " + std::to_string(usable) + " Wiederherstellungsblöcke, keiner gebraucht"
           : missing <= usable
               ? mainFile + ": reparierbar (" + std::to_string(missing) + " von " + std::to_string(usable) +
                     " Wiederherstellungsblöcken gebraucht)"
               : mainFile + ": nicht reparierbar (" + std::to_string(missing) + " Blöcke fehlen, nur " +
                     std::to_string(usable) + " Wiederherstellungsblöcke)";
}
inline std::string repairHint(const std::string& mainFile) {
    return "Mit --repair werden die beschädigten und fehlenden Fragmente aus " + mainFile + " neu erstellt.";
}
inline std::string notRepairable(const std::string& mainFile, std::int64_t missing, std::int64_t usable) {
    return "Die Dateifragmente sind nicht reparierbar: " + std::to_string(missing) + " Blöcke fehlen, " +
           mainFile + " hat nur " + std::to_string(usable) +
           " brauchbare Wiederherstellungsblöcke. Es wurde nichts geändert.";
}
inline std::string recoveryUnusable(const std::string& mainFile) {
    return "Die Wiederherstellungsdaten " + mainFile +
           " sind unbrauchbar: Sie beschreiben keinen Satz von Dateifragmenten.";
}
inline std::string rebuiltWrong(const std::string& mainFile) {
    return "Die aus " + mainFile +
           " neu erstellten Fragmente stimmen nicht mit ihren Prüfsummen überein; es wurde nichts geändert.";
}
inline std::string repairQuestion(std::size_t fragments, const std::string& mainFile, std::int64_t missing,
                                  std::int64_t usable) {
    return std::to_string(fragments) +
           (fragments == 1 ? " Dateifragment ist beschädigt oder fehlt. Die Wiederherstellungsdaten " +
                                 mainFile + " können es"
                           : " Dateifragmente sind beschädigt oder fehlen. Die Wiederherstellungsdaten " +
                                 mainFile + " können sie") +
           " neu erstellen (" + std::to_string(missing) + " von " + std::to_string(usable) +
           " Wiederherstellungsblöcken). Jetzt reparieren und dann zusammenfügen ?";
}
inline std::string invalidRecoveryPercent(const std::string& value) {
    return "Der Anteil für --recovery muss eine ganze Zahl von 0 bis 100 (Prozent) sein, nicht \"" + value +
           "\".";
}

inline std::string setWhole(const std::string& source, const std::string& verification) {
    return source + ": vollständig, " + verification;
}
inline std::string setNotWhole(const std::string& source) {
    return source + ": nicht vollständig";
}
inline std::string setUnfinished(const std::string& source) {
    return source + ": unvollständig, die Splittung wurde nicht beendet";
}
inline std::string staleChecksumFile(const std::string& name, const std::string& found,
                                     const std::string& expected, const std::string& checksumFile) {
    return "Das Fragment " + name + " passt nicht zu " + checksumFile + " (CRC32 " + found + " statt " +
           expected + "). " + checksumFile +
           " ist älter als alle Fragmente und wahrscheinlich veraltet: Bitte die Prüfsummendatei entfernen "
           "oder "
           "die Fragmente mit ihrer eigenen Prüfsummendatei kopieren.";
}
inline std::string joinAborted(const std::string& path, const std::string& reason) {
    return "Das Zusammenfügen wurde abgebrochen. Fehler bei Datei " + path + ": " + reason;
}

// The command line: what the window says of its lists, buttons and dialogs, said of files and options.
inline std::string joinedFile(const std::string& path) {
    return "Zusammengefügte Datei: " + path;
}
inline std::string joinedSize(const std::string& size) {
    return "Dateigrösse (Byte): " + size;
}
inline std::string fragmentsOfDifferentFiles(const std::string& first, const std::string& stray) {
    return "Neben dem ersten Fragment liegen Dateifragmente von verschiedenen Dateien (" + first + ", " +
           stray +
           "). Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im Verzeichnis. "
           "Überflüssige Fragmente müssen im Verzeichnis gelöscht oder in einen anderen Ordner verschoben "
           "werden.";
}
inline std::string noFragmentsBeside(const std::string& path) {
    return "Keine Dateifragmente zu " + path +
           " gefunden ! Bitte das erste Dateifragment (*._001 oder *.001) angeben.";
}
inline std::string gapInNumbering(int number, const std::string& missingName) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return std::string("In der Nummerierung fehlt Fragment ") + digits + " (" + missingName +
           "). Mit --allow-gap werden die übrigen Fragmente trotzdem zusammengefügt.";
}
inline std::string targetExists(const std::string& path) {
    return "Die Zieldatei " + path + " existiert bereits. Mit --force wird sie ersetzt.";
}
inline std::string targetIsOneOfTheFragments(const std::string& path) {
    return "Die Zieldatei " + path +
           " ist selbst eines der Fragmente. Bitte mit --output einen anderen Dateinamen angeben.";
}
inline std::string replaceTargetQuestion(const std::string& path) {
    return "Die Zieldatei " + path + " existiert bereits. Ersetzen? (j/n) ";
}
inline std::string fragmentGone(const std::string& path) {
    return "Fragmentdatei " + path +
           " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateiverzeichnis überprüfen !";
}

// Calls the command line does not understand.
inline std::string helpHint(const std::string& program) {
    return "Hilfe: " + program + " --help";
}
inline const std::string missingCommand = "Es fehlt der Befehl: split, join oder crc.";
inline std::string unknownCommand(const std::string& word) {
    return "Unbekannter Befehl: " + word;
}
inline const std::string missingFileName = "Es fehlt der Dateiname.";
inline std::string unknownOption(const std::string& option) {
    return "Unbekannte Option: " + option;
}
// The last line of a command that a signal (Ctrl-C, a closed terminal or pipe) or the system stopped.
inline const std::string stopped = "Der Vorgang wurde abgebrochen.";
inline const std::string oneFileNameOnly = "Es ist nur ein Dateiname erlaubt.";
inline std::string missingValue(const std::string& option) {
    return "Die Option " + option + " braucht einen Wert.";
}
// The window cannot open (no display): what works without it.
inline const std::string noDisplay =
    "Das Fenster von Dodiveverazed kann ohne grafische Anzeige nicht geöffnet werden. Ohne Fenster arbeitet "
    "es mit den Befehlen split, join, check und crc; Hilfe: dodiveverazed --help";
inline std::string noOutputFolder(const std::string& folder) {
    return "Der Ausgabeordner " + folder +
           " ist kein vorhandener Ordner. Bitte einen anlegen oder einen anderen angeben.";
}
inline const std::string standardStreamUse =
    "\"-\" steht für die Standardein- oder -ausgabe: crc - und split --name NAME - lesen die "
    "Standardeingabe, "
    "join -o - schreibt in die Standardausgabe. Eine Datei dieses Namens bitte als ./- angeben.";
inline const std::string nameOnlyForInput =
    "--name gilt nur für die Standardeingabe: split --name NAME - schreibt NAME._001 usw.";
inline std::string invalidStreamName(const std::string& name) {
    return "Der Name \"" + name + "\" für --name muss ein Dateiname ohne Ordner sein.";
}
inline const std::string partsNeedAFile =
    "--parts braucht eine Datei: die Länge der Standardeingabe ist vorher nicht bekannt.";
inline const std::string sizeOrParts = "Es geht nur entweder --size oder --parts.";
inline std::string invalidParts(const std::string& value) {
    return "Die Anzahl der Teile muss eine ganze Zahl von 1 bis 999 sein, nicht \"" + value + "\".";
}
// A command-line split's size below 0 or above the largest fragment the program writes.
inline const std::string fragmentSizeOutOfRange =
    "Die Fragmentgröße muss zwischen 1 und 2.097.151 kBytes liegen (unter 2 GByte).";

// The help of the command line; `window` when the program also opens its window.
inline std::string commandLineHelp(const std::string& program, bool window) {
    std::string help = "Aufruf:\n";
    if (window) {
        help += "  " + program + " [DATEI]    öffnet das Fenster, DATEI schon gewählt\n";
    }
    for (const char* call :
         {" split [-s GRÖSSE | -n TEILE] [-o ORDNER] [--recovery PROZENT] [--script] [--no-sfv] DATEI\n",
          " split --name NAME [-s GRÖSSE] [-o ORDNER] [--recovery PROZENT] [--script] [--no-sfv] -\n",
          " join [-o ZIEL | -o -] [--allow-gap] [-f] [--repair] ERSTES_FRAGMENT\n",
          " check [--repair] ERSTES_FRAGMENT | PRÜFSUMMENDATEI.sfv\n", " crc DATEI... | -\n",
          " -h | --help | --version\n"}) {
        help += "  " + program + call;
    }
    return help +
           "\n"
           "Befehle:\n"
           "  split   splittet DATEI in die Fragmente DATEI._001, DATEI._002, ... neben DATEI\n"
           "          (höchstens 999) und schreibt ihre CRC32-Prüfsummen in DATEI.sfv; alte\n"
           "          Fragmente derselben Datei werden vorher gelöscht. Mit --name NAME - liest\n"
           "          split die Standardeingabe bis zu ihrem Ende und schreibt NAME._001 usw.\n"
           "  join    fügt die Fragmente neben ERSTES_FRAGMENT, die zu ihm gehören, zusammen;\n"
           "          liegt die .sfv-Datei daneben, wird jedes Fragment dabei geprüft. Auch Teile,\n"
           "          die andere Programme DATEI.001, DATEI.002, ... nennen.\n"
           "  check   prüft die Fragmente mit ihrer .sfv-Datei, ohne sie zusammenzufügen: je\n"
           "          Fragment OK, beschädigt oder fehlt, dann eine Zeile für den ganzen Satz;\n"
           "          mit Wiederherstellungsdaten (DATEI.par2) auch, ob er reparierbar ist.\n"
           "  crc     zeigt je DATEI eine Zeile: die CRC32-Prüfsumme (acht Hexadezimalziffern),\n"
           "          zwei Leerzeichen und den Namen.\n"
           "\n"
           "Optionen:\n"
           "  -s, --size GRÖSSE   Fragmentgröße in kBytes (1 KB = 1024 Byte), voreingestellt 1420;\n"
           "                      mit k, m oder g dahinter in KB, MB oder GB (1 MB = 1024 KB): 700m\n"
           "  -n, --parts TEILE   höchstens TEILE (1 bis 999) gleich große Fragmente, das letzte kürzer\n"
           "  -o, --output-dir ORDNER  (split) schreibt Fragmente, .sfv und Batchdatei in den vorhandenen\n"
           "                      ORDNER statt neben DATEI\n"
           "      --name NAME     (split) der Name der Fragmente aus der Standardeingabe (DATEI -)\n"
           "      --recovery PROZENT  (split) schreibt Wiederherstellungsdaten im PAR2-Format (DATEI.par2\n"
           "                      und Volumedateien), die so viel Prozent der Fragmente neu erstellen\n"
           "      --repair        (join, check) erstellt beschädigte und fehlende Fragmente vorher aus\n"
           "                      den Wiederherstellungsdaten neu, wenn sie reichen (sonst bleibt alles,\n"
           "                      wie es ist)\n"
           "      --script        schreibt auch die Batchdatei (Beispiel.bat für Beispiel.dat),\n"
           "                      die die Fragmente unter Windows mit copy /b zusammenfügt\n"
           "      --no-sfv        schreibt keine Prüfsummendatei DATEI.sfv\n"
           "  -o, --output ZIEL   (join) die zusammengefügte Datei, oder ein vorhandener Ordner für sie,\n"
           "                      oder - für die Standardausgabe (nur geprüfte Bytes); voreingestellt\n"
           "                      der Name des ersten Fragments ohne ._001 oder .001, neben ihm\n"
           "      --allow-gap     fügt auch zusammen, wenn in der Nummerierung ein Fragment fehlt\n"
           "  -f, --force         ersetzt eine vorhandene Zieldatei ohne Rückfrage\n"
           "  -h, --help          zeigt diese Hilfe\n"
           "      --version       zeigt die Version\n"
           "  --                  beendet die Optionen: alles danach ist ein Dateiname\n"
           "\n"
           "Exit-Status: 0 Erfolg, 1 Fehler, 2 falscher Aufruf; nach einem Abbruch durch ein Signal\n"
           "             128 + seine Nummer (130 nach Strg+C).\n";
}

}  // namespace texts::utf8
