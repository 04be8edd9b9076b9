#include "core/mesh.h"

#include "core/naked_sides.h"
#include "core/parallel_scan.h"
#include "core/parallel_sort.h"

#include <algorithm>
#include <atomic>

// link_shared_edges. Each naked edge contributes its faced side as a record (start, end) in
// ascending edge order; a record (a, b) pairs with the first unused record (b, a) of another
// face. Pairs over different vertex pairs never compete, and within one vertex pair only the
// records running from the lower id start a match (a later record from the higher id could
// only have matched one that was already refused), so the result does not depend on the
// order in which vertex pairs are visited. That lets two lookups give identical links:
//   - few naked edges against many vertices: sort the records by (start, end, record) and
//     binary-search the reverse key;
//   - otherwise: group the records by start vertex (counts, offsets, placement) and look the
//     reverse up in the end vertex's group.
// From kParallelSortThreshold records the sort, or the grouping, runs on the parallel
// algorithms.

namespace korvan {
namespace {

// The sorted lookup is used while naked edges number fewer than vertices / kGroupRatio.
constexpr std::size_t kGroupRatio = 16;

// The record of a naked edge: its faced side, read straight from the tables.
struct SideReader {
    std::span<const Edge> es;
    std::span<const HalfEdge> he;
    std::span<const Face> fs;

    explicit SideReader(const Mesh& mesh)
        : es(mesh.edges()), he(mesh.half_edges()), fs(mesh.faces()) {}

    bool faced(FaceId f) const { return f < fs.size() && fs[f].alive; }
    // The edge's record, or one with an invalid half-edge when the edge gives none.
    NakedSide operator()(std::size_t e) const {
        if (!es[e].alive) return {};
        const HalfEdgeId h = es[e].half_edge;
        if (h >= he.size()) return {};
        const HalfEdgeId t = he[h].twin;
        if (t >= he.size()) return {};
        const bool h_faced = faced(he[h].face), t_faced = faced(he[t].face);
        if (h_faced == t_faced) return {};  // not naked, or no face on either side
        const HalfEdgeId s = h_faced ? h : t;
        const HalfEdgeId n = he[s].next;
        if (!he[s].alive || n >= he.size() || !he[n].alive) return {};
        if (he[s].origin == he[n].origin || he[s].edge >= es.size()) return {};
        return {s, he[s].origin, he[n].origin, he[s].face};
    }
};

// Calls fn(edge) for every edge in chunks (parallel past the scan threshold).
template <class Fn>
void for_each_edge(std::size_t count, Fn&& fn) {
    scan_chunks<int>(count, [&](std::size_t begin, std::size_t end) {
        for (std::size_t e = begin; e < end; ++e) fn(e);
        return 0;
    });
}

std::size_t count_records(const Mesh& mesh) {
    const SideReader side(mesh);
    const std::vector<std::size_t> counts =
        scan_chunks<std::size_t>(side.es.size(), [&](std::size_t begin, std::size_t end) {
            std::size_t n = 0;
            for (std::size_t e = begin; e < end; ++e) n += side(e).half_edge != kInvalidId;
            return n;
        });
    std::size_t total = 0;
    for (const std::size_t n : counts) total += n;
    return total;
}

// Links found by sorting on (start, end, record order); returns how many.
std::uint64_t link_sorted(Mesh& mesh, std::span<const NakedSide> records,
                          void (*join)(Mesh&, HalfEdgeId, HalfEdgeId)) {
    struct Keyed {
        std::uint64_t key;
        std::uint32_t record;
    };
    std::vector<Keyed> sorted(records.size());
    for (std::uint32_t i = 0; i < records.size(); ++i) {
        sorted[i] = {(std::uint64_t{records[i].start} << 32) | records[i].end, i};
    }
    auto less = [](const Keyed& a, const Keyed& b) {
        return a.key != b.key ? a.key < b.key : a.record < b.record;
    };
    sort_records(sorted.begin(), sorted.end(), less);
    std::vector<std::uint8_t> used(sorted.size(), 0);
    std::uint64_t links = 0;
    for (const Keyed& k : sorted) {
        const NakedSide& r = records[k.record];
        if (r.start > r.end) continue;
        const std::uint64_t reverse = (std::uint64_t{r.end} << 32) | r.start;
        auto it = std::lower_bound(sorted.begin(), sorted.end(), reverse,
                                   [](const Keyed& a, std::uint64_t key) { return a.key < key; });
        for (; it != sorted.end() && it->key == reverse; ++it) {
            const std::size_t at = static_cast<std::size_t>(it - sorted.begin());
            if (used[at] || records[it->record].face == r.face) continue;
            used[at] = 1;
            join(mesh, r.half_edge, records[it->record].half_edge);
            ++links;
            break;
        }
    }
    return links;
}

// Links found through groups by start vertex. The groups hold (edge << 32 | end) in edge
// order, so no record list is ever built: sides are read again from the tables when they
// pair, which for millions of naked sides is much cheaper than writing them all out. A
// group entry that was taken has its end overwritten with kInvalidId. Sides naming a vertex
// past the table cannot be grouped; they pair only among themselves (both sides of a pair
// are out of range or neither is), through the sorted lookup.
std::uint64_t link_grouped(Mesh& mesh, std::size_t records,
                           void (*join)(Mesh&, HalfEdgeId, HalfEdgeId)) {
    const SideReader side(mesh);
    const std::size_t vertex_count = mesh.vertices().size();
    const std::size_t edge_count = side.es.size();
    const bool parallel = sort_in_parallel(records);
    auto in_range = [&](const NakedSide& r) {
        return r.start < vertex_count && r.end < vertex_count;
    };

    // Counts per start vertex, turned into end offsets; filling then counts them back down,
    // leaving offsets[v] .. offsets[v + 1] as vertex v's group. The counting scan also keeps
    // the out-of-range sides, in edge order.
    std::vector<std::uint32_t> offsets(vertex_count + 1, 0);
    std::vector<NakedSide> outside = concat_chunks(
        scan_chunks<std::vector<NakedSide>>(edge_count, [&](std::size_t begin, std::size_t end) {
            std::vector<NakedSide> out;
            for (std::size_t e = begin; e < end; ++e) {
                const NakedSide r = side(e);
                if (r.half_edge == kInvalidId) continue;
                if (!in_range(r)) {
                    out.push_back(r);
                    continue;
                }
                std::atomic_ref<std::uint32_t>(offsets[r.start])
                    .fetch_add(1, std::memory_order_relaxed);
            }
            return out;
        }));
    if (parallel) {
        std::inclusive_scan(std::execution::par, offsets.begin(), offsets.end(), offsets.begin());
    } else {
        std::inclusive_scan(offsets.begin(), offsets.end(), offsets.begin());
    }
    std::vector<std::uint64_t> grouped(offsets[vertex_count]);
    auto entry = [](std::size_t e, VertexId end) { return (std::uint64_t{e} << 32) | end; };
    if (parallel) {
        for_each_edge(edge_count, [&](std::size_t e) {
            const NakedSide r = side(e);
            if (r.half_edge == kInvalidId || !in_range(r)) return;
            const std::uint32_t at = std::atomic_ref<std::uint32_t>(offsets[r.start])
                                         .fetch_sub(1, std::memory_order_relaxed);
            grouped[at - 1] = entry(e, r.end);
        });
        // Placement raced, so put each group back in edge order; groups are a handful of
        // entries, so an insertion sort suffices.
        const std::size_t chunks = (vertex_count + kScanChunkSize - 1) / kScanChunkSize;
        run_chunks<int>(chunks, true, [&](std::size_t c) {
            const std::size_t end = std::min(vertex_count, (c + 1) * kScanChunkSize);
            for (std::size_t v = c * kScanChunkSize; v < end; ++v) {
                const auto first = grouped.begin() + offsets[v];
                const auto last = grouped.begin() + offsets[v + 1];
                for (auto i = first + 1; i < last; ++i) {
                    const std::uint64_t x = *i;
                    auto j = i;
                    for (; j > first && *(j - 1) > x; --j) *j = *(j - 1);
                    *j = x;
                }
            }
            return 0;
        });
    } else {
        // Backwards, so each group fills from its end and comes out in edge order.
        for (std::size_t e = edge_count; e-- > 0;) {
            const NakedSide r = side(e);
            if (r.half_edge != kInvalidId && in_range(r))
                grouped[--offsets[r.start]] = entry(e, r.end);
        }
    }

    std::uint64_t links = 0;
    for (std::size_t a = 0; a < vertex_count; ++a) {
        for (std::uint32_t k = offsets[a]; k < offsets[a + 1]; ++k) {
            const auto b = static_cast<VertexId>(grouped[k]);
            if (b == kInvalidId || b <= a) continue;
            const NakedSide r = side(static_cast<std::size_t>(grouped[k] >> 32));
            for (std::uint32_t m = offsets[b]; m < offsets[b + 1]; ++m) {
                if (static_cast<VertexId>(grouped[m]) != a) continue;
                const NakedSide t = side(static_cast<std::size_t>(grouped[m] >> 32));
                if (t.face == r.face) continue;
                grouped[m] = entry(grouped[m] >> 32, kInvalidId);
                join(mesh, r.half_edge, t.half_edge);
                ++links;
                break;
            }
        }
    }
    if (!outside.empty()) links += link_sorted(mesh, outside, join);
    return links;
}

}  // namespace

std::vector<NakedSide> collect_naked_sides(const Mesh& mesh) {
    const SideReader side(mesh);
    // Two passes, counts then records straight into place, so a mesh of millions of naked
    // sides is neither copied nor grown.
    const std::vector<std::size_t> counts =
        scan_chunks<std::size_t>(side.es.size(), [&](std::size_t begin, std::size_t end) {
            std::size_t n = 0;
            for (std::size_t e = begin; e < end; ++e) n += side(e).half_edge != kInvalidId;
            return n;
        });
    std::vector<std::size_t> offsets(counts.size() + 1, 0);
    for (std::size_t c = 0; c < counts.size(); ++c) offsets[c + 1] = offsets[c] + counts[c];
    std::vector<NakedSide> out(offsets.back());
    scan_chunks<int>(side.es.size(), [&](std::size_t begin, std::size_t end) {
        // scan_chunks cuts at multiples of the chunk size, so the chunk number is begin / size.
        NakedSide* at = out.data() + offsets[begin / kScanChunkSize];
        for (std::size_t e = begin; e < end; ++e) {
            const NakedSide r = side(e);
            if (r.half_edge != kInvalidId) *at++ = r;
        }
        return 0;
    });
    return out;
}

std::uint64_t Mesh::link_shared_edges() {
    const std::size_t records = count_records(*this);
    if (records == 0) return 0;
    // Each side is in at most one pair and a link touches only its own two sides, their
    // former twins and their edges, so links can be made as they are found.
    auto join = [](Mesh& mesh, HalfEdgeId a, HalfEdgeId b) { mesh.join_half_edges(a, b); };
    const std::uint64_t links = records < vertices_.size() / kGroupRatio
                                    ? link_sorted(*this, collect_naked_sides(*this), join)
                                    : link_grouped(*this, records, join);
    if (links > 0) mark_changed(kHalfEdgeTableBit | kEdgeTableBit);
    return links;
}

}  // namespace korvan
