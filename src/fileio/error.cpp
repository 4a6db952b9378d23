#include "fileio/error.hpp"

namespace fileio {

std::error_code make_error_code(Errc error) noexcept {
    class Category : public std::error_category {
      public:
        const char* name() const noexcept override { return "fileio"; }
        std::string message(int value) const override {
            switch (static_cast<Errc>(value)) {
                case Errc::Cancelled:
                    return "cancelled";
                case Errc::EndedEarly:
                    return "ended early";
                case Errc::ChangedWhileRead:
                    return "changed while read";
                default:
                    return "not a regular file";
            }
        }
    };
    static const Category category;
    return {static_cast<int>(error), category};
}

}  // namespace fileio
