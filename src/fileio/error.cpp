#include "fileio/error.hpp"

#include <utility>

namespace fileio {

std::error_code make_error_code(Errc error) noexcept {
    class Category : public std::error_category {
      public:
        const char* name() const noexcept override { return "fileio"; }
        std::string message(int /*value*/) const override { return "not a regular file"; }
    };
    static const Category category;
    return {static_cast<int>(error), category};
}

FileError::FileError(Kind kind, std::string path, std::error_code code)
    : std::system_error(code, path), kind_(kind), path_(std::move(path)) {}

}  // namespace fileio
