#include "fragments/errors.hpp"

#include <utility>

namespace fragments {

FileError::FileError(Kind kind, std::string path, std::error_code code)
    : std::runtime_error(path + ": " + code.message()), kind_(kind), path_(std::move(path)), code_(code) {}

std::string FileError::reason() const {
    return code_.message();
}

}  // namespace fragments
