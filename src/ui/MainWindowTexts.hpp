#pragma once
// Every German text the main window shows in its status line, labels, dialogs and message boxes,
// character for character (double and trailing blanks included), but for those the command line shows too:
// they live in texts/texts.hpp as UTF-8 and are converted where shown. Control captions stay with the
// layout in frmTessaron.cpp.

#include <QString>

#include "Utf8.hpp"
#include "fileio/error.hpp"
#include "texts/texts.hpp"

namespace texts {

// Message box titles.
inline const QString infoTitle = QStringLiteral("Tessaron-Info");
inline const QString mixedListTitle = QStringLiteral("Tessaron Info");
inline const QString memoryTitle = QStringLiteral("Tessaron - Info");
inline const QString sizeBoxTitle = QStringLiteral("Tessaron-Nachricht");
inline const QString noSourceTitle = QStringLiteral("Datei-Tessaron Nachricht !");
inline const QString questionTitle = QStringLiteral("Dodiveverazed Kontroll-Abfrage");
inline const QString crcTitle = QStringLiteral("CRC32 - Prüfung");

// The file dialogs.
inline QString pathTooLong(qint64 longest) {
    return QStringLiteral("Der Pfad ist zu lang (mehr als ") + QString::number(longest) +
           QStringLiteral(" Zeichen).");
}

// Labels of the split half.
inline const QString sourceSizeEmpty = QStringLiteral("Quelldatei  (Byte):");
inline const QString writtenFragmentsHeading = QStringLiteral("Erzeugte Dateifragmente:");
inline const QString fragmentCount = QStringLiteral("Dateifragmente:");

// Labels of the join half.
inline QString setTotal(const QString& size) {
    return QStringLiteral("Fragmente zusammen (Byte): ") + size;
}
inline QString recountedTotal(int count, const QString& size) {
    return QString::number(count) + QStringLiteral(" Fragmente zusammen (Byte): ") + size;
}

// The split.
inline const QString noSourceChosen =
    QStringLiteral("Es wurde noch keine Datei ausgewählt ! Bitte die zu splittende Datei auswählen.");

// Choosing the source and deleting fragments.
inline const QString chooseSourceTitle = QStringLiteral("Die zu splittende Datei öffnen");
inline const QString allFilesFilter = QStringLiteral("Alle Dateien|*.*");
inline const QString allFilesExtension = QStringLiteral("*.*");
inline const QString deleteQuestion = QStringLiteral("Dateifragmente jetzt  löschen ?");
inline QString deleteAborted(const QString& path, const QString& reason) {
    return QStringLiteral("Das Löschen wurde abgebrochen. Fehler bei Datei ") + path + QStringLiteral(": ") +
           reason;
}

// Choosing the first fragment.
inline const QString chooseFirstFragmentTitle = QStringLiteral("Erstes DateiFragment \"*._001\" auswählen");
inline const QString firstFragmentFilter = QStringLiteral("1. Dateifragment (*._001)|*._001*");
inline const QString firstFragmentExtension = QStringLiteral("*._001*");

// The join.
inline const QString saveJoinedTitle = QStringLiteral("Zusammengefügte Datei speichern unter");
inline const QString emptyFragmentList = QStringLiteral(
    "Keine Dateifragmente in Dateifragmentliste ! Bitte erst das erste Dateifragment "
    "auswählen. ");
inline const QString mixedFragmentList = QStringLiteral(
    "In der unteren ListBox befinden sich Dateifragmente von verschiedenen Dateien. "
    "Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im "
    "Verzeichnis. Überflüssige Fragmente in der unteren Dateifragmentliste müssen mit "
    "Doppelklick aus der Liste entfernt, oder direkt im Verzeichnis gelöscht werden.");
inline QString missingNumberQuestion(int number) {
    return QStringLiteral("In der Dateifragmentliste fehlt Fragment ") +
           QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0')) +
           QStringLiteral(". Trotzdem zusammenfügen ?");
}
inline QString targetIsFragment(const QString& path) {
    return QStringLiteral("Die Zieldatei ") + path +
           QStringLiteral(
               " ist selbst ein Fragment der Dateifragmentliste. Bitte einen anderen Dateinamen "
               "wählen.");
}
inline QString fragmentNotFound(const QString& path) {
    return QStringLiteral("Fragmentdatei ") + path +
           QStringLiteral(
               " wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. Dateifragmentliste und "
               "Dateiverzeichnis überprüfen !");
}

// Stopping a split, join or checksum while it runs.
inline const QString stopQuestion = QStringLiteral("Vorgang abbrechen ?");
// What the operation's progress shows once it has stopped.
inline const QString stopped = ui::fromUtf8(utf8::reason(fileio::Errc::Cancelled));

// The checksum command.
inline const QString chooseCheckedFileTitle = QStringLiteral("Die zu prüfende Datei wählen");
inline QString crcResult(const QString& name, const QString& crc) {
    return QStringLiteral("Die CRC32 Prüfsumme der Datei ") + name + QStringLiteral(" lautet: ") + crc;
}

// Dropping files on the window.
inline const QString dropOneFile = QStringLiteral("Bitte genau eine Datei ablegen.");

// Status hints.
inline const QString hintCheck1 = QStringLiteral("Falls auf Zielrechner Programm Tessaron nicht vorhanden.");
inline const QString hintCommand1 = QStringLiteral("Zerlegt die ausgewählte Datei in Dateifragmente.");
inline const QString hintCommand2 = QStringLiteral("Die Dateifragmente werden vom Datenträger gelöscht .");
inline const QString hintCommand3 = QStringLiteral("Öffnet die zu splittende Datei.");
inline const QString hintCommand4 = QStringLiteral("Die Dateifragmente werden zusammengefügt.");
inline const QString hintCommand6 = QStringLiteral("Beendet das Programm.");
inline const QString hintCommand7 = QStringLiteral("Ermittelt die CRC32 Prüfsumme für eine Datei .");
inline const QString hintList1 =
    QStringLiteral("Doppel-Click entfernt nicht benötigte Dateifragmente aus der Dateifragmentliste.");
inline const QString hintList2 = QStringLiteral("Liste der erzeugten Dateifragmente.");
inline const QString hintText1 = QStringLiteral("Zeigt Name und Pfad der zu splittenden Datei.");

}  // namespace texts
