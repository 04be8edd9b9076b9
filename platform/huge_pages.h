#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>

// Memory for big tables. Touching fresh memory costs a page fault per 4 KiB page, which for
// the hundreds of megabytes of a large model's tables costs more than filling them; blocks of
// kHugePageBytes and more are therefore mapped on a 2 MiB boundary and marked for
// transparent huge pages, so one fault brings in 2 MiB. Where the system gives no huge pages
// the mapping behaves like ordinary memory. Smaller blocks use the ordinary allocator.

namespace korvan::platform {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Both return nullptr only when the system has no memory left; free with the same size.
void* allocate_big(std::size_t bytes);
void free_big(void* block, std::size_t bytes);

// Standard allocator over allocate_big/free_big for the big element tables and buffers.
template <class T>
struct BigAllocator {
    using value_type = T;
    BigAllocator() noexcept = default;
    template <class U>
    BigAllocator(const BigAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePageBytes) return std::allocator<T>().allocate(n);
        void* block = allocate_big(bytes);
        if (!block) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePageBytes) {
            std::allocator<T>().deallocate(p, n);
        } else {
            free_big(p, bytes);
        }
    }
    template <class U>
    bool operator==(const BigAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace korvan::platform
