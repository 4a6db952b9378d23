#include "fileio/descriptor.hpp"

#include "fileio/platform.hpp"

namespace fileio {

Descriptor::~Descriptor() {
    (void)close();
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        (void)close();
        handle_ = std::exchange(other.handle_, invalid);
    }
    return *this;
}

std::error_code Descriptor::close() noexcept {
    if (!isOpen()) {
        return {};
    }
    return platform::closeHandle(std::exchange(handle_, invalid));
}

}  // namespace fileio
