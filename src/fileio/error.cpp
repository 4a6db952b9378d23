#include "fileio/error.hpp"

namespace fileio {

std::error_code make_error_code(Errc error) noexcept {
    class Category : public std::error_category {
      public:
        const char* name() const noexcept override { return "fileio"; }
        std::string message(int value) const override {
            return value == static_cast<int>(Errc::Cancelled)    ? "cancelled"
                   : value == static_cast<int>(Errc::EndedEarly) ? "ended early"
                                                                 : "not a regular file";
        }
    };
    static const Category category;
    return {static_cast<int>(error), category};
}

}  // namespace fileio
