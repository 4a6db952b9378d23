#include "fileio/error.hpp"

#include <iterator>
#include <utility>

#include "fileio/platform.hpp"

namespace fileio {

namespace {

class ProgramCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "dodiveverazed"; }
    std::string message(int value) const override {
        // In the order of Errc, from 1.
        static constexpr const char* texts[] = {
            "keine gewöhnliche Datei",
            "die Datei hat sich während des Zusammenfügens geändert",
            "die Datei ist die zu splittende Datei selbst",
            "die Datei ist die Originaldatei selbst",
        };
        return value >= 1 && value <= static_cast<int>(std::size(texts)) ? texts[value - 1]
                                                                         : "unbekannter Fehler";
    }
};

}  // namespace

namespace platform {

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

}  // namespace platform

const std::error_category& programCategory() noexcept {
    static const ProgramCategory category;
    return category;
}

std::error_code make_error_code(Errc error) noexcept {
    return {static_cast<int>(error), programCategory()};
}

FileError::FileError(Kind kind, std::string path, std::error_code code)
    : std::system_error(code, path), kind_(kind), path_(std::move(path)) {}

std::string FileError::reason() const {
    return platform::describe(code());
}

}  // namespace fileio
