#pragma once
// Memory that file data is read into: the kernel copies file data to a buffer that starts on a page
// boundary at full speed, and to one that does not (as malloc's large blocks, 16 bytes past a page) at a
// third of it or less on some processors.

#include <cstddef>
#include <new>
#include <vector>

namespace fileio {

// Where every read buffer starts: a page boundary.
inline constexpr std::size_t bufferAlignment = 4096;

// An allocator that starts every block on a page boundary.
template <typename T>
struct PageAlignedAllocator {
    using value_type = T;
    PageAlignedAllocator() = default;
    template <typename U>
    explicit PageAlignedAllocator(const PageAlignedAllocator<U>& /*other*/) noexcept {}
    T* allocate(std::size_t count) {
        return static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{bufferAlignment}));
    }
    void deallocate(T* block, std::size_t /*count*/) noexcept {
        ::operator delete (block, std::align_val_t{bufferAlignment});
    }
    template <typename U>
    bool operator==(const PageAlignedAllocator<U>& /*other*/) const noexcept {
        return true;
    }
};

// A buffer of `T`s on a page boundary, for reads of file data.
template <typename T>
using ReadBuffer = std::vector<T, PageAlignedAllocator<T>>;

}  // namespace fileio
