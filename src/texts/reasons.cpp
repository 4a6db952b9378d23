#include "texts/reasons.hpp"

#include "fileio/error.hpp"
#include "fragments/set_files.hpp"

namespace texts::utf8 {

namespace {

// The program's text for `error`; null for the conditions it has no text of its own for.
const char* germanReason(std::errc error) noexcept {
    switch (error) {
        case std::errc::no_such_file_or_directory:
            return "Datei oder Ordner nicht gefunden";
        case std::errc::not_a_directory:
            return "ein Teil des Pfades ist kein Ordner";
        case std::errc::is_a_directory:
            return "die Datei ist ein Ordner";
        case std::errc::permission_denied:
            return "Zugriff verweigert";
        case std::errc::operation_not_permitted:
            return "Vorgang nicht erlaubt";
        case std::errc::read_only_file_system:
            return "der Datenträger ist schreibgeschützt";
        case std::errc::no_space_on_device:
            return "kein Platz mehr auf dem Datenträger";
        case std::errc::file_too_large:
            return "die Datei ist zu groß";
        case std::errc::io_error:
            return "Ein-/Ausgabefehler";
        case std::errc::file_exists:
            return "eine Datei dieses Namens gibt es schon";
        case std::errc::filename_too_long:
            return "der Name ist zu lang";
        case std::errc::too_many_symbolic_link_levels:
            return "zu viele symbolische Verknüpfungen";
        case std::errc::too_many_files_open:
        case std::errc::too_many_files_open_in_system:
            return "zu viele offene Dateien";
        case std::errc::not_enough_memory:
            return "zu wenig Arbeitsspeicher";
        case std::errc::device_or_resource_busy:
        case std::errc::text_file_busy:
            return "die Datei ist in Gebrauch";
        case std::errc::resource_unavailable_try_again:
            return "die Datei ist gerade nicht verfügbar";
        case std::errc::no_such_device:
        case std::errc::no_such_device_or_address:
            return "das Gerät ist nicht bereit";
        default:
            return nullptr;
    }
}

}  // namespace

std::string reason(std::error_code code) {
    using fragments::Errc;
    if (code == fileio::Errc::NotRegularFile) {
        return "keine gewöhnliche Datei";
    }
    if (code == fileio::Errc::Cancelled) {
        return "abgebrochen";
    }
    if (code == fileio::Errc::EndedEarly) {
        return "die Datei ist kürzer geworden, während sie gelesen wurde";
    }
    if (code == fileio::Errc::ChangedWhileRead) {
        return "die Datei wurde geändert, während sie gelesen wurde";
    }
    if (code == Errc::SizeChanged) {
        return "die Datei hat sich während des Zusammenfügens geändert";
    }
    if (code == Errc::IsSplitSource) {
        return "die Datei ist die zu splittende Datei selbst";
    }
    if (code == Errc::IsOriginal) {
        return "die Datei ist die Originaldatei selbst";
    }
    if (const auto condition = fileio::conditionOf(code)) {
        if (const char* text = germanReason(*condition)) {
            return text;
        }
    }
    return fileio::systemText(code);
}

}  // namespace texts::utf8
