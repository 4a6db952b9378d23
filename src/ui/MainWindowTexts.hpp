#pragma once
// Every German text the main window shows in its status line, labels, dialogs and message boxes,
// character for character (double and trailing blanks included). The texts the command line shows too
// live in texts/texts.hpp and are wrapped here. Control captions stay with the layout in frmTessaron.cpp.

#include <QString>

#include "Utf8.hpp"
#include "texts/texts.hpp"

namespace texts {

// Message box titles.
inline QString infoTitle() {
    return QStringLiteral("Tessaron-Info");
}
inline QString mixedListTitle() {
    return QStringLiteral("Tessaron Info");
}
inline QString memoryTitle() {
    return QStringLiteral("Tessaron - Info");
}
inline QString sizeBoxTitle() {
    return QStringLiteral("Tessaron-Nachricht");
}
inline QString noSourceTitle() {
    return QStringLiteral("Datei-Tessaron Nachricht !");
}
inline QString questionTitle() {
    return QStringLiteral("Dodiveverazed Kontroll-Abfrage");
}
inline QString crcTitle() {
    return QStringLiteral("CRC32 - Prüfung");
}

// The file dialogs.
inline QString pathTooLong(qint64 longest) {
    return QStringLiteral("Der Pfad ist zu lang (mehr als ") + QString::number(longest) +
           QStringLiteral(" Zeichen).");
}

// Labels of the split half.
inline QString sourceSizeEmpty() {
    return QStringLiteral("Quelldatei  (Byte):");
}
inline QString sourceSize(const QString& size) {
    return ui::fromUtf8(utf8::sourceSize(ui::toUtf8(size)));
}
inline QString fragmentsSize(const QString& size) {
    return ui::fromUtf8(utf8::fragmentsSize(ui::toUtf8(size)));
}
inline QString writtenFragmentsHeading() {
    return QStringLiteral("Erzeugte Dateifragmente:");
}
inline QString fragmentCount() {
    return QStringLiteral("Dateifragmente:");
}
inline QString fragmentCount(int count) {
    return fragmentCount() + QString::number(count);
}
inline QString splitProgress(qint64 done, qint64 total) {
    return ui::fromUtf8(utf8::splitProgress(done, total));
}

// Labels of the join half.
inline QString setTotal(const QString& size) {
    return QStringLiteral("Fragmente zusammen (Byte): ") + size;
}
inline QString recountedTotal(int count, const QString& size) {
    return QString::number(count) + QStringLiteral(" Fragmente zusammen (Byte): ") + size;
}
inline QString joinProgress(const QString& number, int count) {
    return ui::fromUtf8(utf8::joinProgress(ui::toUtf8(number), count));
}
inline QString joinDone() {
    return ui::fromUtf8(utf8::joinDone());
}
inline QString verifyProgress(const QString& number, int count) {
    return ui::fromUtf8(utf8::verifyProgress(ui::toUtf8(number), count));
}

// The size box.
inline QString notNumeric() {
    return ui::fromUtf8(utf8::notNumeric());
}

// The split.
inline QString noSourceChosen() {
    return QStringLiteral("Es wurde noch keine Datei ausgewählt ! Bitte die zu splittende Datei auswählen.");
}
inline QString invalidFragmentSize() {
    return ui::fromUtf8(utf8::invalidFragmentSize());
}
inline QString tooManyFragments(qint64 count) {
    return ui::fromUtf8(utf8::tooManyFragments(count));
}
inline QString outOfMemory() {
    return ui::fromUtf8(utf8::outOfMemory());
}
inline QString cannotWriteFragments() {
    return ui::fromUtf8(utf8::cannotWriteFragments());
}
inline QString splitAborted(const QString& path, const QString& reason) {
    return ui::fromUtf8(utf8::splitAborted(ui::toUtf8(path), ui::toUtf8(reason)));
}
inline QString splitAborted(const QString& reason) {
    return ui::fromUtf8(utf8::splitAborted(ui::toUtf8(reason)));
}
inline QString noScriptForName(const QString& name) {
    return ui::fromUtf8(utf8::noScriptForName(ui::toUtf8(name)));
}
inline QString noScriptNamedLikeSource(const QString& name) {
    return ui::fromUtf8(utf8::noScriptNamedLikeSource(ui::toUtf8(name)));
}
inline QString noScript(const fragments::NoJoinScript& refusal, const QString& name,
                        const QString& scriptName) {
    return ui::fromUtf8(utf8::noScript(refusal, ui::toUtf8(name), ui::toUtf8(scriptName)));
}
inline QString scriptWritten(const QString& scriptName) {
    return ui::fromUtf8(utf8::scriptWritten(ui::toUtf8(scriptName)));
}

// A split, join or deletion of a set another one is working on.
inline QString setBusy(const QString& path) {
    return ui::fromUtf8(utf8::setBusy(ui::toUtf8(path)));
}

// Choosing the source and deleting fragments.
inline QString chooseSourceTitle() {
    return QStringLiteral("Die zu splittende Datei öffnen");
}
inline QString allFilesFilter() {
    return QStringLiteral("Alle Dateien|*.*");
}
inline QString allFilesExtension() {
    return QStringLiteral("*.*");
}
inline QString fileUnreadable(const QString& name, const QString& reason) {
    return ui::fromUtf8(utf8::fileUnreadable(ui::toUtf8(name), ui::toUtf8(reason)));
}
inline QString deleteQuestion() {
    return QStringLiteral("Dateifragmente jetzt  löschen ?");
}
inline QString deleteAborted(const QString& path, const QString& reason) {
    return QStringLiteral("Das Löschen wurde abgebrochen. Fehler bei Datei ") + path + QStringLiteral(": ") +
           reason;
}

// Choosing the first fragment.
inline QString chooseFirstFragmentTitle() {
    return QStringLiteral("Erstes DateiFragment \"*._001\" auswählen");
}
inline QString firstFragmentFilter() {
    return QStringLiteral("1. Dateifragment (*._001)|*._001*");
}
inline QString firstFragmentExtension() {
    return QStringLiteral("*._001*");
}

// The join.
inline QString saveJoinedTitle() {
    return QStringLiteral("Zusammengefügte Datei speichern unter");
}
inline QString emptyFragmentList() {
    return QStringLiteral(
        "Keine Dateifragmente in Dateifragmentliste ! Bitte erst das erste Dateifragment "
        "auswählen. ");
}
inline QString mixedFragmentList() {
    return QStringLiteral(
        "In der unteren ListBox befinden sich Dateifragmente von verschiedenen Dateien. "
        "Wahrscheinlich befinden sich noch Fragmente von früheren Splittungen im "
        "Verzeichnis. Überflüssige Fragmente in der unteren Dateifragmentliste müssen mit "
        "Doppelklick aus der Liste entfernt, oder direkt im Verzeichnis gelöscht werden.");
}
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
inline QString damagedFragment(const QString& name, const QString& found, const QString& expected) {
    return ui::fromUtf8(utf8::damagedFragment(ui::toUtf8(name), ui::toUtf8(found), ui::toUtf8(expected)));
}
inline QString joinAborted(const QString& path, const QString& reason) {
    return ui::fromUtf8(utf8::joinAborted(ui::toUtf8(path), ui::toUtf8(reason)));
}

// The checksum command.
inline QString chooseCheckedFileTitle() {
    return QStringLiteral("Die zu prüfende Datei wählen");
}
inline QString crcResult(const QString& name, const QString& crc) {
    return QStringLiteral("Die CRC32 Prüfsumme der Datei ") + name + QStringLiteral(" lautet: ") + crc;
}

// Dropping files on the window.
inline QString dropOneFile() {
    return QStringLiteral("Bitte genau eine Datei ablegen.");
}

// Status hints.
inline QString hintCheck1() {
    return QStringLiteral("Falls auf Zielrechner Programm Tessaron nicht vorhanden.");
}
inline QString hintCommand1() {
    return QStringLiteral("Zerlegt die ausgewählte Datei in Dateifragmente.");
}
inline QString hintCommand2() {
    return QStringLiteral("Die Dateifragmente werden vom Datenträger gelöscht .");
}
inline QString hintCommand3() {
    return QStringLiteral("Öffnet die zu splittende Datei.");
}
inline QString hintCommand4() {
    return QStringLiteral("Die Dateifragmente werden zusammengefügt.");
}
inline QString hintCommand6() {
    return QStringLiteral("Beendet das Programm.");
}
inline QString hintCommand7() {
    return QStringLiteral("Ermittelt die CRC32 Prüfsumme für eine Datei .");
}
inline QString hintList1() {
    return QStringLiteral("Doppel-Click entfernt nicht benötigte Dateifragmente aus der Dateifragmentliste.");
}
inline QString hintList2() {
    return QStringLiteral("Liste der erzeugten Dateifragmente.");
}
inline QString hintText1() {
    return QStringLiteral("Zeigt Name und Pfad der zu splittenden Datei.");
}

}  // namespace texts
