#include "fileio/error.hpp"

#include <utility>

#include "fileio/platform.hpp"

namespace fileio {

namespace {

class ProgramCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "dodiveverazed"; }
    std::string message(int value) const override {
        switch (static_cast<Errc>(value)) {
            case Errc::NotRegularFile:
                return "keine gewöhnliche Datei";
            case Errc::SizeChanged:
                return "die Datei hat sich während des Zusammenfügens geändert";
            case Errc::IsSplitSource:
                return "die Datei ist die zu splittende Datei selbst";
            case Errc::IsOriginal:
                return "die Datei ist die Originaldatei selbst";
        }
        return "unbekannter Fehler";
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
