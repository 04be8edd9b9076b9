#include "core/mesh.h"

#include "core/parallel_scan.h"

#include <algorithm>

// Edge and vertex queries: naked edges and boundary loops, vertex fans, and the loop, ring
// and strip walks of quad modelling. Fans are walked through twins only, so faces that were
// never linked do not meet at a shared vertex.

namespace korvan {
namespace {

// A faced half-edge of a naked edge, as start and end vertex.
struct BoundarySide {
    VertexId start = kInvalidId;
    VertexId end = kInvalidId;
};

}  // namespace

namespace {

// The naked-edge test over raw table views, inlined into the whole-table scans (a call per
// edge through the bounds-checked accessors costs more than the memory traffic).
struct NakedTest {
    std::span<const Edge> es;
    std::span<const HalfEdge> he;
    std::span<const Face> fs;

    bool faced(FaceId f) const { return f < fs.size() && fs[f].alive; }
    bool operator()(std::size_t e) const {
        if (e >= es.size() || !es[e].alive) return false;
        const HalfEdgeId h = es[e].half_edge;
        if (h >= he.size()) return false;
        const HalfEdgeId t = he[h].twin;
        if (t >= he.size()) return false;
        return !faced(he[h].face) || !faced(he[t].face);
    }
};

}  // namespace

bool Mesh::is_naked_edge(EdgeId edge) const {
    return NakedTest{edges_.view(), half_edges_.view(), faces_.view()}(edge);
}

std::vector<EdgeId> Mesh::naked_edges() const {
    const NakedTest naked{edges_.view(), half_edges_.view(), faces_.view()};
    return concat_chunks(
        scan_chunks<std::vector<EdgeId>>(edges_.size(), [&](std::size_t begin, std::size_t end) {
            std::vector<EdgeId> out;
            for (std::size_t e = begin; e < end; ++e) {
                if (naked(e)) out.push_back(static_cast<EdgeId>(e));
            }
            return out;
        }));
}

std::uint64_t Mesh::naked_edge_count() const {
    const NakedTest naked{edges_.view(), half_edges_.view(), faces_.view()};
    const auto parts =
        scan_chunks<std::uint64_t>(edges_.size(), [&](std::size_t begin, std::size_t end) {
            std::uint64_t n = 0;
            for (std::size_t e = begin; e < end; ++e) n += naked(e) ? 1 : 0;
            return n;
        });
    std::uint64_t total = 0;
    for (const std::uint64_t n : parts) total += n;
    return total;
}

std::vector<std::vector<VertexId>> Mesh::boundary_loops() const {
    const std::span<const HalfEdge> he = half_edges_.view();
    std::vector<BoundarySide> sides;
    for (const EdgeId e : naked_edges()) {
        const HalfEdgeId h = edges_[e].half_edge;
        const HalfEdgeId t = he[h].twin;
        const bool h_faced = face_usable(he[h].face), t_faced = face_usable(he[t].face);
        if (h_faced == t_faced) continue;
        const HalfEdgeId s = h_faced ? h : t;
        const HalfEdgeId n = he[s].next;
        if (!half_edge_usable(s) || !half_edge_usable(n)) continue;
        if (he[s].origin == he[n].origin) continue;
        sides.push_back({he[s].origin, he[n].origin});
    }

    // Sides grouped by start vertex (two passes: counts, then a stable placement), so the
    // walk finds the continuation of a side ending at v among the sides starting at v, in
    // ascending edge order.
    VertexId top = 0;
    for (const BoundarySide& s : sides) top = std::max({top, s.start + 1, s.end + 1});
    std::vector<std::uint32_t> offset(std::size_t{top} + 1, 0);
    for (const BoundarySide& s : sides) ++offset[s.start + 1];
    for (std::size_t v = 0; v < top; ++v) offset[v + 1] += offset[v];
    std::vector<std::uint32_t> by_start(sides.size());
    std::vector<std::uint32_t> cursor(offset.begin(), offset.end() - 1);
    for (std::uint32_t i = 0; i < sides.size(); ++i) by_start[cursor[sides[i].start]++] = i;
    // Reuse cursor as "first possibly unused side" per start vertex.
    std::copy(offset.begin(), offset.end() - 1, cursor.begin());

    std::vector<std::uint8_t> used(sides.size(), 0);
    std::vector<std::vector<VertexId>> loops;
    std::vector<VertexId> loop;
    for (std::uint32_t first = 0; first < sides.size(); ++first) {
        if (used[first]) continue;
        loop.clear();
        std::uint32_t cur = first;
        bool closed = false;
        while (true) {
            used[cur] = 1;
            loop.push_back(sides[cur].start);
            const VertexId v = sides[cur].end;
            if (v == sides[first].start) {
                closed = true;
                break;
            }
            std::uint32_t& c = cursor[v];
            while (c < offset[v + 1] && used[by_start[c]]) ++c;
            if (c == offset[v + 1]) break;  // open chain
            cur = by_start[c];
        }
        if (closed) loops.push_back(loop);
    }
    return loops;
}

namespace {

// Outgoing half-edges of v around the fan that contains `start` (which leaves v on an alive
// face): rotating one way through prev/twin, and, when that meets a boundary, the other way
// through twin/next. Returns whether the fan closed on itself.
template <class Usable>
bool walk_fan(std::span<const HalfEdge> he, HalfEdgeId start, VertexId v, Usable&& usable,
              std::vector<HalfEdgeId>& out) {
    out.clear();
    out.push_back(start);
    auto seen = [&](HalfEdgeId h) { return std::find(out.begin(), out.end(), h) != out.end(); };
    // A half-edge qualifies when it leaves v, is alive and has an alive face.
    auto leaves = [&](HalfEdgeId h) {
        return h < he.size() && he[h].alive && he[h].origin == v && usable(he[h].face);
    };
    for (HalfEdgeId cur = start;;) {
        const HalfEdgeId p = he[cur].prev;
        if (p >= he.size()) break;
        const HalfEdgeId t = he[p].twin;
        if (t == start) return true;
        if (!leaves(t) || seen(t)) break;
        out.push_back(t);
        cur = t;
    }
    std::vector<HalfEdgeId> back;
    for (HalfEdgeId cur = start;;) {
        const HalfEdgeId t = he[cur].twin;
        if (t >= he.size() || !usable(he[t].face)) break;
        const HalfEdgeId n = he[t].next;
        if (!leaves(n) || seen(n) || std::find(back.begin(), back.end(), n) != back.end()) {
            break;
        }
        back.push_back(n);
        cur = n;
    }
    out.insert(out.begin(), back.rbegin(), back.rend());
    return false;
}

}  // namespace

std::vector<HalfEdgeId> Mesh::vertex_half_edges(VertexId v) const {
    if (!vertex_usable(v)) return {};
    const std::span<const HalfEdge> he = half_edges_.view();
    // Lowest-id alive half-edge leaving v on an alive face: the first hit of the first chunk
    // that has one.
    const auto hits = scan_chunks<HalfEdgeId>(he.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t h = begin; h < end; ++h) {
            if (he[h].origin == v && he[h].alive && face_usable(he[h].face)) {
                return static_cast<HalfEdgeId>(h);
            }
        }
        return kInvalidId;
    });
    const auto found =
        std::find_if(hits.begin(), hits.end(), [](HalfEdgeId h) { return h != kInvalidId; });
    if (found == hits.end()) return {};
    std::vector<HalfEdgeId> fan;
    walk_fan(
        he, *found, v, [&](FaceId f) { return face_usable(f); }, fan);
    return fan;
}

std::vector<FaceId> Mesh::vertex_faces(VertexId v) const {
    std::vector<FaceId> out;
    for (const HalfEdgeId h : vertex_half_edges(v)) out.push_back(half_edges_[h].face);
    sort_ids(out);
    return out;
}

std::vector<EdgeId> Mesh::vertex_edges(VertexId v) const {
    const std::span<const HalfEdge> he = half_edges_.view();
    std::vector<EdgeId> out;
    for (const HalfEdgeId h : vertex_half_edges(v)) {
        // The side leaving v and the side arriving at v within the same face.
        if (edge_usable(he[h].edge)) out.push_back(he[h].edge);
        const HalfEdgeId p = he[h].prev;
        if (p < he.size() && edge_usable(he[p].edge)) out.push_back(he[p].edge);
    }
    sort_ids(out);
    return out;
}

std::uint64_t Mesh::vertex_valence(VertexId v) const { return vertex_edges(v).size(); }

std::vector<FaceId> Mesh::edge_faces(EdgeId edge) const {
    std::vector<FaceId> out;
    if (!edge_usable(edge)) return out;
    const std::span<const HalfEdge> he = half_edges_.view();
    const HalfEdgeId h = edges_[edge].half_edge;
    if (h >= he.size()) return out;
    if (face_usable(he[h].face)) out.push_back(he[h].face);
    const HalfEdgeId t = he[h].twin;
    if (t < he.size() && face_usable(he[t].face)) out.push_back(he[t].face);
    sort_ids(out);
    return out;
}

std::vector<EdgeId> Mesh::edge_loop(EdgeId edge) const {
    if (!edge_usable(edge)) return {};
    const std::span<const HalfEdge> he = half_edges_.view();
    const HalfEdgeId h0 = edges_[edge].half_edge;
    if (h0 >= he.size() || he[h0].twin >= he.size()) return {};
    if (!face_usable(he[h0].face) && !face_usable(he[he[h0].twin].face)) return {};

    auto usable = [&](FaceId f) { return face_usable(f); };
    std::vector<EdgeId> out{edge};
    std::vector<HalfEdgeId> fan;
    // Walks from vertex v, arriving along edge e, straight on through closed valence-4 fans.
    // True when the walk came back round to the seed.
    auto walk = [&](EdgeId e, VertexId v) {
        for (std::size_t steps = 0; steps <= edges_.size(); ++steps) {
            const HalfEdgeId h = edges_[e].half_edge;
            if (h >= he.size() || he[h].twin >= he.size()) return false;
            const HalfEdgeId t = he[h].twin;
            // A fan start at v: e's half-edge leaving v, or the side after the one arriving.
            HalfEdgeId start = kInvalidId;
            for (const HalfEdgeId s : {h, t}) {
                if (he[s].origin == v && he[s].alive && face_usable(he[s].face)) start = s;
            }
            if (start == kInvalidId) {
                for (const HalfEdgeId s : {h, t}) {
                    if (he[s].origin != v && face_usable(he[s].face)) start = he[s].next;
                }
            }
            if (start >= he.size() || he[start].origin != v) return false;
            // Stop at a boundary (open fan) or a pole (valence other than 4).
            if (!walk_fan(he, start, v, usable, fan) || fan.size() != 4) return false;
            const auto k =
                std::find_if(fan.begin(), fan.end(), [&](HalfEdgeId s) { return he[s].edge == e; });
            if (k == fan.end()) return false;
            const HalfEdgeId across = fan[(k - fan.begin() + 2) % 4];
            const EdgeId next = he[across].edge;
            if (next == edge) return true;
            if (!edge_usable(next)) return false;
            out.push_back(next);
            e = next;
            v = half_edge_end(across);
            if (v == kInvalidId) return false;
        }
        return false;
    };
    if (!walk(edge, he[he[h0].twin].origin)) walk(edge, he[h0].origin);
    sort_ids(out);
    return out;
}

std::vector<EdgeId> Mesh::edge_ring(EdgeId edge) const {
    if (!edge_usable(edge)) return {};
    const std::span<const HalfEdge> he = half_edges_.view();
    const HalfEdgeId h0 = edges_[edge].half_edge;
    if (h0 >= he.size() || he[h0].twin >= he.size()) return {};
    if (!face_usable(he[h0].face) && !face_usable(he[he[h0].twin].face)) return {};

    std::vector<EdgeId> out{edge};
    for (HalfEdgeId cur : {h0, he[h0].twin}) {
        for (std::size_t steps = 0; steps <= edges_.size(); ++steps) {
            if (!face_usable(he[cur].face) || face_degree(he[cur].face) != 4) break;
            const HalfEdgeId across = he[he[cur].next].next;
            const EdgeId e = he[across].edge;
            if (!edge_usable(e) || e == edge) break;
            out.push_back(e);
            cur = he[across].twin;
            if (cur >= he.size()) break;
        }
    }
    sort_ids(out);
    return out;
}

std::vector<FaceId> Mesh::face_loop(FaceId face, EdgeId edge) const {
    if (!edge_usable(edge)) return {};
    const std::span<const HalfEdge> he = half_edges_.view();
    if (face == kInvalidId) {
        const std::vector<FaceId> on_edge = edge_faces(edge);
        if (on_edge.empty()) return {};
        face = on_edge.front();
    }
    if (!face_usable(face)) return {};
    const HalfEdgeId h0 = edges_[edge].half_edge;
    if (h0 >= he.size() || he[h0].twin >= he.size()) return {};
    const HalfEdgeId side = he[h0].face == face ? h0 : he[h0].twin;
    if (he[side].face != face) return {};  // the face is not on the edge

    std::vector<FaceId> out{face};
    // Enters the quad across `cur`'s twin and keeps going through opposite sides.
    auto walk = [&](HalfEdgeId cur) {
        for (std::size_t steps = 0; steps <= faces_.size(); ++steps) {
            if (cur >= he.size()) return;
            const FaceId f = he[cur].face;
            if (!face_usable(f) || f == face || face_degree(f) != 4) return;
            out.push_back(f);
            cur = he[he[he[cur].next].next].twin;
        }
    };
    walk(he[side].twin);
    if (face_degree(face) == 4) walk(he[he[he[side].next].next].twin);
    sort_ids(out);
    return out;
}

}  // namespace korvan
