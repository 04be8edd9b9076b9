#include <algorithm>
#include <atomic>

#include "core/mesh.h"
#include "core/naked_sides.h"
#include "core/parallel_scan.h"

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
// From kParallelRecords records the sort, or the grouping, runs on the parallel algorithms.

namespace korvan {
namespace {

constexpr std::size_t kParallelRecords = 65536;
// The sorted lookup is used while naked edges number fewer than vertices / kGroupRatio.
constexpr std::size_t kGroupRatio = 16;

using LinkRecord = NakedSide;

// Pairs found by sorting on (start, end, record order).
void match_sorted(std::span<const LinkRecord> records,
                  std::vector<std::pair<HalfEdgeId, HalfEdgeId>>& pairs) {
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
    if (sorted.size() >= kParallelRecords) {
        std::sort(std::execution::par, sorted.begin(), sorted.end(), less);
    } else {
        std::sort(sorted.begin(), sorted.end(), less);
    }
    std::vector<std::uint8_t> used(sorted.size(), 0);
    for (const Keyed& k : sorted) {
        const LinkRecord& r = records[k.record];
        if (r.start > r.end) continue;
        const std::uint64_t reverse = (std::uint64_t{r.end} << 32) | r.start;
        auto it = std::lower_bound(sorted.begin(), sorted.end(), reverse,
                                   [](const Keyed& a, std::uint64_t key) { return a.key < key; });
        for (; it != sorted.end() && it->key == reverse; ++it) {
            const std::size_t at = static_cast<std::size_t>(it - sorted.begin());
            if (used[at] || records[it->record].face == r.face) continue;
            used[at] = 1;
            pairs.emplace_back(r.half_edge, records[it->record].half_edge);
            break;
        }
    }
}

// Record numbers grouped by start vertex, each group in record order: offsets[v] ..
// offsets[v + 1] index into `grouped`. Every start must be below vertex_count.
void group_by_start(std::span<const LinkRecord> records, std::size_t vertex_count,
                    std::vector<std::uint32_t>& offsets, std::vector<std::uint32_t>& grouped) {
    offsets.assign(vertex_count + 1, 0);
    grouped.resize(records.size());
    if (records.size() < kParallelRecords) {
        for (const LinkRecord& r : records) ++offsets[r.start + 1];
        for (std::size_t v = 0; v < vertex_count; ++v) offsets[v + 1] += offsets[v];
        std::vector<std::uint32_t> cursor(offsets.begin(), offsets.end() - 1);
        for (std::uint32_t i = 0; i < records.size(); ++i) grouped[cursor[records[i].start]++] = i;
        return;
    }
    // Parallel: counts and placement through atomic counters, then each group is put back in
    // record order (groups are a handful of records, so an insertion sort suffices).
    const std::size_t chunks = (records.size() + kScanChunkSize - 1) / kScanChunkSize;
    auto over_records = [&](auto&& fn) {
        run_chunks<int>(chunks, true, [&](std::size_t c) {
            const std::size_t end = std::min(records.size(), (c + 1) * kScanChunkSize);
            for (std::size_t i = c * kScanChunkSize; i < end; ++i)
                fn(static_cast<std::uint32_t>(i));
            return 0;
        });
    };
    over_records([&](std::uint32_t i) {
        std::atomic_ref<std::uint32_t>(offsets[records[i].start + 1])
            .fetch_add(1, std::memory_order_relaxed);
    });
    std::inclusive_scan(std::execution::par, offsets.begin(), offsets.end(), offsets.begin());
    std::vector<std::uint32_t> cursor(offsets.begin(), offsets.end() - 1);
    over_records([&](std::uint32_t i) {
        const std::uint32_t at = std::atomic_ref<std::uint32_t>(cursor[records[i].start])
                                     .fetch_add(1, std::memory_order_relaxed);
        grouped[at] = i;
    });
    const std::size_t vertex_chunks = (vertex_count + kScanChunkSize - 1) / kScanChunkSize;
    run_chunks<int>(vertex_chunks, true, [&](std::size_t c) {
        const std::size_t end = std::min(vertex_count, (c + 1) * kScanChunkSize);
        for (std::size_t v = c * kScanChunkSize; v < end; ++v) {
            const auto first = grouped.begin() + offsets[v];
            const auto last = grouped.begin() + offsets[v + 1];
            for (auto i = first + 1; i < last; ++i) {
                const std::uint32_t x = *i;
                auto j = i;
                for (; j > first && *(j - 1) > x; --j) *j = *(j - 1);
                *j = x;
            }
        }
        return 0;
    });
}

// Pairs found through the start-vertex groups.
void match_grouped(std::span<const LinkRecord> records, std::size_t vertex_count,
                   std::vector<std::pair<HalfEdgeId, HalfEdgeId>>& pairs) {
    std::vector<std::uint32_t> offsets, grouped;
    group_by_start(records, vertex_count, offsets, grouped);
    std::vector<std::uint8_t> used(records.size(), 0);
    for (const LinkRecord& r : records) {
        if (r.start > r.end) continue;
        for (std::uint32_t k = offsets[r.end]; k < offsets[r.end + 1]; ++k) {
            const std::uint32_t j = grouped[k];
            if (used[j] || records[j].end != r.start || records[j].face == r.face) continue;
            used[j] = 1;
            pairs.emplace_back(r.half_edge, records[j].half_edge);
            break;
        }
    }
}

}  // namespace

std::vector<NakedSide> collect_naked_sides(const Mesh& mesh) {
    const std::span<const Edge> es = mesh.edges();
    const std::span<const HalfEdge> he = mesh.half_edges();
    const std::span<const Face> fs = mesh.faces();
    auto faced = [&](FaceId f) { return f < fs.size() && fs[f].alive; };
    return concat_chunks(
        scan_chunks<std::vector<NakedSide>>(es.size(), [&](std::size_t begin, std::size_t end) {
            std::vector<NakedSide> out;
            for (std::size_t e = begin; e < end; ++e) {
                if (!es[e].alive) continue;
                const HalfEdgeId h = es[e].half_edge;
                if (h >= he.size()) continue;
                const HalfEdgeId t = he[h].twin;
                if (t >= he.size()) continue;
                const bool h_faced = faced(he[h].face), t_faced = faced(he[t].face);
                if (h_faced == t_faced) continue;  // not naked, or no face on either side
                const HalfEdgeId s = h_faced ? h : t;
                const HalfEdgeId n = he[s].next;
                if (!he[s].alive || n >= he.size() || !he[n].alive) continue;
                if (he[s].origin == he[n].origin || he[s].edge >= es.size()) continue;
                out.push_back({s, he[s].origin, he[n].origin, he[s].face});
            }
            return out;
        }));
}

std::uint64_t Mesh::link_shared_edges() {
    std::vector<LinkRecord> records = collect_naked_sides(*this);
    if (records.empty()) return 0;
    std::vector<std::pair<HalfEdgeId, HalfEdgeId>> pairs;
    const std::size_t vertex_count = vertices_.size();
    if (records.size() < vertex_count / kGroupRatio) {
        match_sorted(records, pairs);
    } else {
        // Sides naming a vertex past the table cannot be grouped; they pair only among
        // themselves (both records of a pair are out of range or neither is).
        std::vector<LinkRecord> outside;
        std::erase_if(records, [&](const LinkRecord& r) {
            const bool out = r.start >= vertex_count || r.end >= vertex_count;
            if (out) outside.push_back(r);
            return out;
        });
        match_grouped(records, vertex_count, pairs);
        if (!outside.empty()) match_sorted(outside, pairs);
    }
    // Each side is in at most one pair and a link touches only its own two sides, their
    // former twins and their edges, so the links are independent of one another.
    for (const auto& [a, b] : pairs) join_half_edges(a, b);
    if (!pairs.empty()) mark_changed(kHalfEdgeTableBit | kEdgeTableBit);
    return pairs.size();
}

}  // namespace korvan
