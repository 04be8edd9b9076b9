#include "platform/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace korvan::platform {
namespace {

std::size_t round_up(std::size_t bytes, std::size_t to) { return (bytes + to - 1) / to * to; }

}  // namespace

// The mapping is over-sized by one huge page so that its start can be moved to a 2 MiB
// boundary; the slack on either side is unmapped again, so exactly the rounded size stays.
void* allocate_big(std::size_t bytes) {
    const std::size_t size = round_up(bytes, kHugePageBytes);
    const std::size_t span = size + kHugePageBytes;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = round_up(start, kHugePageBytes);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t end = start + span, used_end = aligned + size;
    if (end > used_end) ::munmap(reinterpret_cast<void*>(used_end), end - used_end);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(block, size, MADV_HUGEPAGE);  // advice only: refused, it is ordinary memory
#endif
    return block;
}

void free_big(void* block, std::size_t bytes) {
    if (block) ::munmap(block, round_up(bytes, kHugePageBytes));
}

}  // namespace korvan::platform
