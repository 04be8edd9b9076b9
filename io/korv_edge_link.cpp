#include "io/korv_edge_link.h"

#include <algorithm>
#include <array>
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

VertexFans::VertexFans(const Mesh& mesh) : mesh_(&mesh) {
    vertex_count_ = static_cast<std::uint32_t>(mesh.vertices().size());
    const std::span<const HalfEdge> he = mesh.half_edges();
    auto ring_side = [&](HalfEdgeId h) {
        const HalfEdge& r = he[h];
        return r.alive && mesh.face_usable(r.face) && r.next < he.size();
    };
    // Two passes (counts, then fill) keep each group in ascending half-edge id order.
    offsets_.assign(std::size_t{vertex_count_} + 2, 0);
    std::uint32_t total = 0;
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        if (!ring_side(h)) continue;
        ++offsets_[group_of(he[h].origin) + 1];
        ++total;
    }
    for (std::size_t g = 1; g < offsets_.size(); ++g) offsets_[g] += offsets_[g - 1];
    order_.resize(total);
    std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        if (ring_side(h)) order_[fill[group_of(he[h].origin)]++] = h;
    }
    fill = {};
    auto by_key = [&](HalfEdgeId a, HalfEdgeId b) {
        const auto ka = std::tuple(start_of(a), end_of(a), a);
        const auto kb = std::tuple(start_of(b), end_of(b), b);
        return ka < kb;
    };
    // A group is as long as its vertex's valence: sort it by insertion on cached keys
    // (its start is the same throughout), unless it is long or the overflow group.
    constexpr std::size_t kSmallGroup = 32;
    std::array<std::pair<VertexId, HalfEdgeId>, kSmallGroup> keys;
    for (std::uint32_t g = 0; g <= vertex_count_; ++g) {
        const auto first = order_.begin() + offsets_[g], last = order_.begin() + offsets_[g + 1];
        const auto n = static_cast<std::size_t>(last - first);
        if (n < 2) continue;
        if (g == vertex_count_ || n > kSmallGroup) {
            std::sort(first, last, by_key);
            continue;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const auto key = std::pair{end_of(first[i]), first[i]};
            std::size_t j = i;
            for (; j > 0 && key < keys[j - 1]; --j) keys[j] = keys[j - 1];
            keys[j] = key;
        }
        for (std::size_t i = 0; i < n; ++i) first[i] = keys[i].second;
    }
}

VertexId VertexFans::start_of(HalfEdgeId h) const { return mesh_->half_edges()[h].origin; }

VertexId VertexFans::end_of(HalfEdgeId h) const {
    const std::span<const HalfEdge> he = mesh_->half_edges();
    return he[he[h].next].origin;
}

std::pair<std::uint32_t, std::uint32_t> VertexFans::find_range(VertexId start, VertexId end) const {
    const std::uint32_t g = group_of(start);
    const auto first = order_.begin() + offsets_[g], last = order_.begin() + offsets_[g + 1];
    const std::pair key{start, end};
    auto lo = std::lower_bound(first, last, key, [&](HalfEdgeId h, const auto& k) {
        return std::pair{start_of(h), end_of(h)} < k;
    });
    auto hi = std::upper_bound(lo, last, key, [&](const auto& k, HalfEdgeId h) {
        return k < std::pair{start_of(h), end_of(h)};
    });
    return {static_cast<std::uint32_t>(lo - order_.begin()),
            static_cast<std::uint32_t>(hi - order_.begin())};
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
            const VertexId s = start_of(order_[i]), e = end_of(order_[i]);
            std::uint32_t j = i + 1;
            while (j < group_end && start_of(order_[j]) == s && end_of(order_[j]) == e) ++j;
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
