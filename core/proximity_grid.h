#pragma once

// Uniform hash grid for "which earlier items lie within r of this point" searches. Include
// only from .cpp files.
//
// Cells are 2r wide, so the box of half-size r round a point meets at most two cells per axis
// and a query visits at most eight. Cell coordinates are folded into one 64-bit key (21 bits
// per axis, wrapping); cells that fold together simply share a list, which costs a few extra
// distance tests and never a miss, because callers test the exact distance themselves. Each
// cell keeps its items as a singly linked list in insertion order; the lists live in two
// arrays indexed by item, so the grid allocates per distinct cell, not per item.
//
// Points with a non-finite coordinate are never filed: with a finite reach no distance to
// them can pass. A reach too large (or not finite) to cut space into cells puts every item in
// one list, which is the plain scan.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/vec3.h"

namespace korvan {

class ProximityGrid {
  public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // `reach` bounds the distance of every pair the caller may accept; `items` is one past the
    // largest item number.
    ProximityGrid(double reach, std::size_t items) : next_(items, kNone) {
        single_cell_ = !(reach > 0.0 && reach < kMaxReach);
        inv_cell_ = single_cell_ ? 0.0 : 1.0 / (2.0 * reach);
        reach_ = reach;
        slots_.resize(kInitialSlots);
        mask_ = kInitialSlots - 1;
    }

    // Appends the item to its cell's list; false for a point that cannot be filed.
    bool insert(std::uint32_t item, const Vec3& p) {
        if (!single_cell_ && !finite(p)) return false;
        const std::uint64_t key = single_cell_ ? 0 : key_of(cell(p.x), cell(p.y), cell(p.z));
        Slot& s = find_or_add(key);
        if (s.head == kNone) {
            s.head = item;
        } else {
            next_[s.tail] = item;
        }
        s.tail = item;
        return true;
    }

    // Calls visit(head_ref) for the list of each cell the box of half-size reach round p
    // meets; head_ref is the list's first item, which the caller may change to unlink items
    // from the front. Item links are reached through next(). Nothing for a point that cannot
    // be filed.
    template <class Visit>
    void for_each_cell(const Vec3& p, Visit&& visit) {
        if (single_cell_) {
            if (Slot* s = find(0)) visit(s->head);
            return;
        }
        if (!finite(p)) return;
        std::int64_t lo[3], hi[3];
        const float c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = cell_of(static_cast<double>(c[a]) - reach_);
            hi[a] = cell_of(static_cast<double>(c[a]) + reach_);
        }
        for (std::int64_t z = lo[2]; z <= hi[2]; ++z) {
            for (std::int64_t y = lo[1]; y <= hi[1]; ++y) {
                for (std::int64_t x = lo[0]; x <= hi[0]; ++x) {
                    if (Slot* s = find(key_of(x, y, z))) visit(s->head);
                }
            }
        }
    }

    std::uint32_t& next(std::uint32_t item) { return next_[item]; }

  private:
    // A slot is taken once its tail is set; the head goes back to kNone when a caller has
    // unlinked every item.
    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t head = kNone;
        std::uint32_t tail = kNone;
        bool filled() const { return tail != kNone; }
    };

    static constexpr double kMaxReach = 1e30;
    static constexpr std::size_t kInitialSlots = 1024;
    // Cell coordinates are clamped here before folding; far beyond any model's extent.
    static constexpr double kMaxCell = 4.5e15;

    static bool finite(const Vec3& p) {
        return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    }
    std::int64_t cell_of(double coordinate) const {
        const double c = std::floor(coordinate * inv_cell_);
        return static_cast<std::int64_t>(std::fmax(-kMaxCell, std::fmin(kMaxCell, c)));
    }
    std::int64_t cell(float coordinate) const { return cell_of(static_cast<double>(coordinate)); }
    static std::uint64_t key_of(std::int64_t x, std::int64_t y, std::int64_t z) {
        constexpr std::uint64_t kMask = (1u << 21) - 1;
        return (static_cast<std::uint64_t>(x) & kMask) |
               ((static_cast<std::uint64_t>(y) & kMask) << 21) |
               ((static_cast<std::uint64_t>(z) & kMask) << 42);
    }
    std::size_t slot_of(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask_;
    }
    Slot* find(std::uint64_t key) {
        for (std::size_t i = slot_of(key);; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (!s.filled()) return nullptr;
            if (s.key == key) return &s;
        }
    }
    Slot& find_or_add(std::uint64_t key) {
        for (std::size_t i = slot_of(key);; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (s.filled() && s.key == key) return s;
            if (!s.filled()) {
                if (2 * (used_ + 1) > slots_.size()) {
                    grow();
                    return find_or_add(key);
                }
                ++used_;
                s.key = key;
                return s;  // the caller sets head and tail
            }
        }
    }
    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        mask_ = slots_.size() - 1;
        for (const Slot& s : old) {
            if (!s.filled()) continue;
            std::size_t i = slot_of(s.key);
            while (slots_[i].filled()) i = (i + 1) & mask_;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::vector<std::uint32_t> next_;
    std::size_t mask_ = 0;
    std::size_t used_ = 0;
    double reach_ = 0.0;
    double inv_cell_ = 0.0;
    bool single_cell_ = false;
};

}  // namespace korvan
