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
