#include "core/mesh.h"

#include "core/naked_sides.h"
#include "core/parallel_scan.h"
#include "core/proximity_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Welding, stitching, capping and the clean-up of coincident faces.
//
// weld_vertices and stitch_naked_edges are defined as all-pairs scans in id order: a vertex
// merges into the lowest surviving earlier vertex within the tolerance, a naked side pairs
// with the first unused later side whose reversed ends lie within it. Both are computed here
// in one pass in that same order through a ProximityGrid whose cells bound the tolerance, so
// each item meets only its neighbourhood. The results are exactly those of the scans:
//   - weld: a vertex's fate depends only on the survivors before it, which are all decided
//     and filed (in ascending id, so the first hit per cell is that cell's lowest) when it is
//     reached; survivors are at least a tolerance apart, so a neighbourhood holds a bounded
//     number of them and the pass is linear.
//   - stitch: sides are filed by end position in ascending order; a query takes the lowest
//     unused later side in each cell round its start. Sides at or before the current one, and
//     used ones, can never match again and are unlinked as they are met.
// Distances are the scans' own 32-bit float expressions, tested on every candidate, so float
// rounding cannot make the two disagree; the grid's reach carries a margin over the tolerance
// to cover that rounding.

namespace korvan {
namespace {

// Reach of a grid for a float tolerance: the largest distance at which the float test can
// still pass, with room for rounding (and for underflow, which lets points closer than about
// 1e-22 pass any tolerance).
double grid_reach(float tolerance) {
    constexpr double kMargin = 1.001;
    constexpr double kUnderflowDistance = 1e-18;
    const double t = std::fabs(static_cast<double>(tolerance));
    if (!std::isfinite(tolerance * tolerance)) return std::numeric_limits<double>::infinity();
    return std::max(t, kUnderflowDistance) * kMargin;
}

// The weld's test, exactly as the all-pairs definition writes it.
bool weld_close(const Vec3& a, const Vec3& b, float tolerance_sq) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz <= tolerance_sq;
}

}  // namespace

std::uint64_t Mesh::weld_vertices(float tolerance) {
    const float tolerance_sq = tolerance * tolerance;
    if (std::isnan(tolerance_sq)) return 0;
    const std::span<const Vertex> vs = vertices_.view();
    const VertexId count = vertices_.size();

    ProximityGrid grid(grid_reach(tolerance), count);
    std::vector<VertexId> target(count, kInvalidId);
    std::uint64_t merged = 0;
    for (VertexId j = 0; j < count; ++j) {
        if (!vs[j].alive) continue;
        const Vec3 p = vs[j].position;
        VertexId best = ProximityGrid::kNone;
        grid.for_each_cell(p, [&](std::uint32_t& head) {
            for (std::uint32_t k = head; k != ProximityGrid::kNone && k < best; k = grid.next(k)) {
                if (weld_close(vs[k].position, p, tolerance_sq)) {
                    best = k;
                    break;
                }
            }
        });
        if (best != ProximityGrid::kNone) {
            target[j] = best;
            ++merged;
        } else {
            grid.insert(j, p);
        }
    }
    if (merged == 0) return 0;

    // Every alive half-edge leaving a retired vertex leaves its survivor instead; phantoms too,
    // so boundary loops stay consistent with their faces. One pass in id order, marking the
    // faces whose rings changed.
    std::vector<std::uint8_t> touched(faces_.size(), 0);
    const std::span<const HalfEdge> he = half_edges_.view();
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        const VertexId o = he[h].origin;
        if (!he[h].alive || o >= count || target[o] == kInvalidId) continue;
        HalfEdge& side = half_edge_mut(h);
        side.origin = target[o];
        if (side.face < touched.size()) touched[side.face] = 1;
    }
    for (VertexId v = 0; v < count; ++v) {
        if (target[v] != kInvalidId) vertex_mut(v).alive = false;
    }
    for (FaceId f = 0; f < touched.size(); ++f) {
        if (touched[f]) recompute_face_normal(f);
    }
    mark_changed(kAllTableBits);
    return merged;
}

std::uint64_t Mesh::stitch_naked_edges(float tolerance) {
    if (!(tolerance >= 0.0f)) return 0;
    struct Side {
        HalfEdgeId half_edge;
        FaceId face;
        Vec3 start, end;
    };
    const std::span<const Vertex> vs = vertices_.view();
    std::vector<Side> sides;
    for (const NakedSide& n : collect_naked_sides(*this)) {
        // A side naming a vertex past the table has no position to match by.
        if (n.start >= vs.size() || n.end >= vs.size()) continue;
        sides.push_back({n.half_edge, n.face, vs[n.start].position, vs[n.end].position});
    }
    const auto count = static_cast<std::uint32_t>(sides.size());
    ProximityGrid grid(grid_reach(tolerance), count);
    for (std::uint32_t j = 0; j < count; ++j) grid.insert(j, sides[j].end);

    std::vector<std::uint8_t> used(count, 0);
    std::uint64_t pairs = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (used[i]) continue;
        const Side& a = sides[i];
        std::uint32_t best = ProximityGrid::kNone;
        grid.for_each_cell(a.start, [&](std::uint32_t& head) {
            std::uint32_t* link = &head;
            for (std::uint32_t k = *link; k != ProximityGrid::kNone && k < best; k = *link) {
                if (k <= i || used[k]) {
                    *link = grid.next(k);  // can never match a later side either
                    continue;
                }
                const Side& b = sides[k];
                if (b.face != a.face && length(a.start - b.end) <= tolerance &&
                    length(a.end - b.start) <= tolerance) {
                    best = k;
                    break;
                }
                link = &grid.next(k);
            }
        });
        if (best == ProximityGrid::kNone) continue;
        used[i] = used[best] = 1;
        join_half_edges(a.half_edge, sides[best].half_edge);
        ++pairs;
    }
    if (pairs > 0) mark_changed(kHalfEdgeTableBit | kEdgeTableBit);
    return pairs;
}

std::uint64_t Mesh::fill_holes() {
    if (naked_edge_count() == 0) return 0;
    std::uint64_t caps = 0;
    for (std::vector<VertexId>& loop : boundary_loops()) {
        // The rim runs round the hole the way its faces do; the cap must run against it.
        std::reverse(loop.begin(), loop.end());
        if (add_ngon(loop)) ++caps;
    }
    return caps;
}

TopologyRepair Mesh::repair_topology(float tolerance) {
    TopologyRepair r;
    r.welded = weld_vertices(tolerance);
    r.stitched = stitch_naked_edges(tolerance);
    r.filled = fill_holes();
    r.stitched += stitch_naked_edges(tolerance);
    return r;
}

std::uint64_t Mesh::remove_coincident_face_pairs() {
    // Rings and their sorted vertex sets, flat; faces whose set repeats a vertex are left out.
    struct Entry {
        FaceId face;
        std::uint32_t offset;
        std::uint32_t size;
    };
    std::vector<Entry> entries;
    std::vector<VertexId> rings, keys;
    const std::span<const Face> fs = faces_.view();
    for (FaceId f = 0; f < fs.size(); ++f) {
        if (!fs[f].alive) continue;
        const std::vector<VertexId> ring = face_vertices(f);
        if (ring.size() < 3) continue;
        const auto offset = static_cast<std::uint32_t>(rings.size());
        rings.insert(rings.end(), ring.begin(), ring.end());
        keys.insert(keys.end(), ring.begin(), ring.end());
        const auto first = keys.begin() + offset;
        std::sort(first, keys.end());
        if (std::adjacent_find(first, keys.end()) != keys.end()) {
            rings.resize(offset);
            keys.resize(offset);
            continue;
        }
        entries.push_back({f, offset, static_cast<std::uint32_t>(ring.size())});
    }
    auto key_of = [&](const Entry& e) {
        return std::span<const VertexId>(keys).subspan(e.offset, e.size);
    };
    auto key_less = [&](const Entry& a, const Entry& b) {
        const auto ka = key_of(a), kb = key_of(b);
        return std::lexicographical_compare(ka.begin(), ka.end(), kb.begin(), kb.end());
    };
    std::stable_sort(entries.begin(), entries.end(), key_less);

    // b's ring read backwards from a's first vertex gives a's ring.
    auto reverse_cycle = [&](const Entry& a, const Entry& b) {
        const VertexId* ra = rings.data() + a.offset;
        const VertexId* rb = rings.data() + b.offset;
        const std::uint32_t n = a.size;
        std::uint32_t k = 0;
        while (k < n && rb[k] != ra[0]) ++k;
        if (k == n) return false;
        for (std::uint32_t i = 1; i < n; ++i) {
            if (ra[i] != rb[(k + n - i) % n]) return false;
        }
        return true;
    };

    std::vector<std::uint8_t> retired(entries.size(), 0);
    std::uint64_t erased = 0;
    for (std::size_t begin = 0; begin < entries.size();) {
        std::size_t end = begin + 1;
        while (end < entries.size() && !key_less(entries[begin], entries[end])) ++end;
        for (std::size_t i = begin; i < end; ++i) {
            if (retired[i]) continue;
            for (std::size_t j = i + 1; j < end; ++j) {
                if (retired[j] || !reverse_cycle(entries[i], entries[j])) continue;
                retired[i] = retired[j] = 1;
                erase_face(entries[i].face);
                erase_face(entries[j].face);
                erased += 2;
                break;
            }
        }
        begin = end;
    }
    return erased;
}

}  // namespace korvan
