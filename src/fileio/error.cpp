#include "fileio/error.hpp"

#include <utility>

#include "fileio/platform.hpp"

namespace fileio {

FileError::FileError(Kind kind, std::string path, std::error_code code)
    : std::system_error(code, path), kind_(kind), path_(std::move(path)) {}

std::string FileError::reason() const {
    return platform::describe(code());
}

}  // namespace fileio
