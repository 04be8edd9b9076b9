#pragma once

#include <atomic>
#include <cstdint>

// Process-wide counters behind change tracking. Element tables write the edit epoch into
// their block stamps; only the block-hash refresh advances it. Mesh operations that add
// elements or change topology, layers or visibility take the next revision.

namespace korvan {

namespace detail {
inline std::atomic<std::uint32_t> g_edit_epoch{1};
inline std::atomic<std::uint64_t> g_revision{0};
}  // namespace detail

inline std::uint32_t current_edit_epoch() noexcept {
    return detail::g_edit_epoch.load(std::memory_order_relaxed);
}
// Returns the new epoch. Writes stamped before the call are older than it.
inline std::uint32_t advance_edit_epoch() noexcept {
    return detail::g_edit_epoch.fetch_add(1, std::memory_order_relaxed) + 1;
}
inline std::uint64_t next_revision() noexcept {
    return detail::g_revision.fetch_add(1, std::memory_order_relaxed) + 1;
}

// Cache-invalidation bits, one per element table; most operations set all four.
enum TableBit : std::uint32_t {
    kVertexTableBit = 1,
    kHalfEdgeTableBit = 2,
    kEdgeTableBit = 4,
    kFaceTableBit = 8,
    kAllTableBits = 15,
};

}  // namespace korvan
