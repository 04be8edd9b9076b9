#include "io/korv_edge_link.h"

#include <algorithm>
#include <span>
#include <tuple>
#include <utility>

// Linking pairs the sides of a vertex pair {s, e}: the run of sides s -> e (id order) and the
// run e -> s. Walking the runs in (start, end) order, the earlier run takes partners from the
// later one; by the time the later run is walked, every side still unpaired in it only has
// unpaired partners on its own face, so the later run pairs nothing and is skipped. A
// manifold mesh has runs of one side each; longer runs (several faces on one edge, or rings
// that pass the same pair repeatedly) use a small union-find over the partner run so that
// paired sides are skipped in constant time.

namespace korvan::io {

namespace {

// Calls fn(h, end) for each half-edge of the alive face's ring that names the face, with the
// vertex it runs to; stops at a broken link or after as many steps as there are half-edges.
template <class Fn>
void for_ring_sides(const Mesh& mesh, FaceId face, Fn&& fn) {
    const std::span<const HalfEdge> he = mesh.half_edges();
    const HalfEdgeId start = mesh.faces()[face].half_edge;
    std::size_t steps = 0;
    for (HalfEdgeId h = start; h < he.size() && ++steps <= he.size();) {
        const HalfEdgeId next = he[h].next;
        if (next >= he.size()) break;
        if (he[h].alive && he[h].face == face) fn(h, he[next].origin);
        h = next;
        if (h == start) break;
    }
}

}  // namespace

VertexFans::VertexFans(const Mesh& mesh) : mesh_(&mesh) {
    vertex_count_ = static_cast<std::uint32_t>(mesh.vertices().size());
    const std::span<const HalfEdge> he = mesh.half_edges();
    const std::span<const Face> faces = mesh.faces();
    // Two passes over the rings (counts, then placement), walking only the faced half of
    // each face's block of half-edges.
    offsets_.assign(std::size_t{vertex_count_} + 2, 0);
    std::size_t total = 0;
    for (FaceId f = 0; f < faces.size(); ++f) {
        if (!faces[f].alive) continue;
        for_ring_sides(mesh, f, [&](HalfEdgeId h, VertexId) {
            ++offsets_[group_of(he[h].origin) + 1];
            ++total;
        });
    }
    for (std::size_t g = 1; g < offsets_.size(); ++g) offsets_[g] += offsets_[g - 1];
    order_.resize(total);
    ends_.resize(total);
    {
        std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
        for (FaceId f = 0; f < faces.size(); ++f) {
            if (!faces[f].alive) continue;
            for_ring_sides(mesh, f, [&](HalfEdgeId h, VertexId end) {
                const std::uint32_t at = fill[group_of(he[h].origin)]++;
                order_[at] = h;
                ends_[at] = end;
            });
        }
    }
    // Each group is sorted by (end, id); its start is the same throughout, except in the
    // overflow group, sorted by (start, end, id). A group is as long as its vertex's valence,
    // so insertion sort suits all but the longest.
    constexpr std::uint32_t kSmallGroup = 32;
    for (std::uint32_t g = 0; g <= vertex_count_; ++g) {
        const std::uint32_t first = offsets_[g], n = offsets_[g + 1] - first;
        if (n < 2) continue;
        if (g < vertex_count_ && n <= kSmallGroup) {
            for (std::uint32_t i = first + 1; i < first + n; ++i) {
                const auto key = std::pair{ends_[i], order_[i]};
                std::uint32_t j = i;
                for (; j > first && key < std::pair{ends_[j - 1], order_[j - 1]}; --j) {
                    ends_[j] = ends_[j - 1];
                    order_[j] = order_[j - 1];
                }
                ends_[j] = key.first;
                order_[j] = key.second;
            }
            continue;
        }
        std::vector<std::tuple<VertexId, VertexId, HalfEdgeId>> keys(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            keys[i] = {start_of(order_[first + i]), ends_[first + i], order_[first + i]};
        }
        std::sort(keys.begin(), keys.end());
        for (std::uint32_t i = 0; i < n; ++i) {
            ends_[first + i] = std::get<1>(keys[i]);
            order_[first + i] = std::get<2>(keys[i]);
        }
    }
}

std::pair<std::uint32_t, std::uint32_t> VertexFans::find_range(VertexId start, VertexId end) const {
    const std::uint32_t g = group_of(start);
    // Only the overflow group mixes starts; elsewhere the key is the end vertex alone.
    const bool mixed = g == vertex_count_;
    const auto key_at = [&](std::uint32_t i) {
        return std::pair{mixed ? start_of(order_[i]) : start, ends_[i]};
    };
    const std::pair key{start, end};
    // First position in [first, last) whose key is not below `key` (with `or_equal`: above).
    const auto bound = [&](std::uint32_t first, std::uint32_t last, bool or_equal) {
        while (first < last) {
            const std::uint32_t mid = first + (last - first) / 2;
            const auto k = key_at(mid);
            if (k < key || (or_equal && k == key)) {
                first = mid + 1;
            } else {
                last = mid;
            }
        }
        return first;
    };
    const std::uint32_t lo = bound(offsets_[g], offsets_[g + 1], false);
    return {lo, bound(lo, offsets_[g + 1], true)};
}

std::uint64_t VertexFans::link(Mesh& mesh) const {
    const std::span<const HalfEdge> he = mesh.half_edges();
    std::uint64_t links = 0;
    std::vector<std::uint32_t> next_free;   // union-find over the partner run
    std::vector<std::uint32_t> next_other;  // next partner position on another face
    auto find = [&](std::uint32_t p) {
        std::uint32_t root = p;
        while (next_free[root] != root) root = next_free[root];
        while (next_free[p] != root) p = std::exchange(next_free[p], root);
        return root;
    };

    for (std::uint32_t g = 0; g <= vertex_count_; ++g) {
        std::uint32_t i = offsets_[g];
        const std::uint32_t group_end = offsets_[g + 1];
        while (i < group_end) {
            const VertexId s = start_of(order_[i]), e = ends_[i];
            std::uint32_t j = i + 1;
            while (j < group_end && ends_[j] == e && start_of(order_[j]) == s) ++j;
            const std::uint32_t walkers = i, walkers_end = j;
            i = j;
            if (e <= s) continue;  // the reverse run came first and did the pairing
            const auto [first, last] = find_range(e, s);
            if (first == last) continue;

            if (walkers_end - walkers == 1 && last - first == 1) {
                const HalfEdgeId w = order_[walkers], c = order_[first];
                if (he[w].face != he[c].face && mesh.link_half_edges(w, c)) ++links;
                continue;
            }
            const std::uint32_t n = last - first;
            next_free.resize(n + 1);
            next_other.resize(n);
            for (std::uint32_t p = 0; p <= n; ++p) next_free[p] = p;
            for (std::uint32_t p = n; p-- > 0;) {
                const bool same_as_next =
                    p + 1 < n && he[order_[first + p]].face == he[order_[first + p + 1]].face;
                next_other[p] = same_as_next ? next_other[p + 1] : p + 1;
            }
            for (std::uint32_t k = walkers; k < walkers_end; ++k) {
                const HalfEdgeId w = order_[k];
                for (std::uint32_t p = find(0); p < n;) {
                    const HalfEdgeId c = order_[first + p];
                    if (he[c].face == he[w].face) {
                        p = find(next_other[p]);
                        continue;
                    }
                    if (mesh.link_half_edges(w, c)) {
                        ++links;
                        next_free[p] = p + 1;
                    }
                    break;
                }
            }
        }
    }
    return links;
}

}  // namespace korvan::io
