#pragma once
// An open file of the operating system, owned: closed when the owner goes, on every way out.

#include <cstdint>
#include <system_error>
#include <utility>

namespace fileio {

class Descriptor {
  public:
    // The raw value: a descriptor on POSIX, a HANDLE on Windows; -1 is neither.
    using Handle = std::intptr_t;
    static constexpr Handle invalid = -1;

    Descriptor() noexcept = default;
    // Takes ownership of `handle` (invalid for none).
    explicit Descriptor(Handle handle) noexcept : handle_(handle) {}
    // Closes the file, ignoring a failure: whoever must know closes it with close() first.
    ~Descriptor();
    Descriptor(Descriptor&& other) noexcept : handle_(std::exchange(other.handle_, invalid)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    bool isOpen() const noexcept { return handle_ != invalid; }
    Handle get() const noexcept { return handle_; }
    // Closes the file now and reports a failure of the close itself (for a written file, data the
    // system could not store after all). The file counts as closed either way; closing a closed
    // Descriptor does nothing.
    std::error_code close() noexcept;

  private:
    Handle handle_ = invalid;
};

}  // namespace fileio
