#include "core/mesh_loops.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "core/dvec3.h"
#include "core/mesh.h"

// A quad cell is walked through its four outline sides, so a four-sided face and a triangle
// pair look the same to the strip walk: enter through one side, leave through the opposite
// one. Adjacency is through twins only, as everywhere in the kernel, so unlinked faces end a
// strip.

namespace korvan {
namespace {

// The half-edge of the triangle's single soft edge that has an alive triangle across it;
// invalid when there is none or more than one.
HalfEdgeId single_soft_side(const Mesh& mesh, FaceId triangle) {
    const std::span<const HalfEdge> he = mesh.half_edges();
    const std::span<const Edge> es = mesh.edges();
    HalfEdgeId found = kInvalidId;
    int count = 0;
    for (const HalfEdgeId h : mesh.face_half_edges(triangle)) {
        const EdgeId e = he[h].edge;
        if (!mesh.edge_usable(e) || !es[e].soft) continue;
        const HalfEdgeId t = he[h].twin;
        if (t >= he.size()) continue;
        const FaceId across = he[t].face;
        if (across == triangle || !mesh.face_usable(across) || mesh.face_degree(across) != 3) {
            continue;
        }
        found = h;
        ++count;
    }
    return count == 1 ? found : kInvalidId;
}

double distance(const Mesh& mesh, VertexId a, VertexId b) {
    const std::span<const Vertex> vs = mesh.vertices();
    if (a >= vs.size() || b >= vs.size()) return 0.0;
    const DVec3 d = DVec3(vs[a].position) - DVec3(vs[b].position);
    return std::sqrt(dot(d, d));
}

}  // namespace

QuadCell quad_at(const Mesh& mesh, FaceId face) {
    QuadCell cell;
    if (!mesh.face_usable(face)) return cell;
    const std::span<const HalfEdge> he = mesh.half_edges();
    const std::vector<HalfEdgeId> ring = mesh.face_half_edges(face);
    if (ring.size() == 4) {
        cell.kind = QuadKind::kFourSided;
        cell.face = face;
        for (std::size_t i = 0; i < 4; ++i) {
            cell.sides[i] = ring[i];
            cell.corners[i] = he[ring[i]].origin;
        }
        return cell;
    }
    if (ring.size() != 3) return cell;
    const HalfEdgeId h = single_soft_side(mesh, face);
    if (h == kInvalidId) return cell;
    const HalfEdgeId t = he[h].twin;
    const FaceId partner = he[t].face;
    // Both triangles must agree on the diagonal, or the pairing depends on where one starts.
    if (single_soft_side(mesh, partner) != t) return cell;

    // This triangle runs a -> b -> c, the partner b -> a -> d; without the diagonal a-b the
    // outline reads b, c, a, d.
    cell.kind = QuadKind::kTrianglePair;
    cell.face = face;
    cell.partner = partner;
    cell.diagonal = he[h].edge;
    cell.sides = {he[h].next, he[h].prev, he[t].next, he[t].prev};
    for (std::size_t i = 0; i < 4; ++i) {
        if (cell.sides[i] >= he.size()) return QuadCell{};  // a ring with a broken prev link
        cell.corners[i] = he[cell.sides[i]].origin;
    }
    return cell;
}

std::array<VertexId, 2> quad_diagonal(const Mesh& mesh, const QuadCell& cell) {
    const auto& c = cell.corners;
    switch (cell.kind) {
        case QuadKind::kTrianglePair:
            return {c[0], c[2]};
        case QuadKind::kFourSided:
            if (distance(mesh, c[1], c[3]) < distance(mesh, c[0], c[2])) return {c[1], c[3]};
            return {c[0], c[2]};
        case QuadKind::kNone:
            break;
    }
    return {kInvalidId, kInvalidId};
}

std::vector<FaceId> quad_loop_faces(const Mesh& mesh, FaceId face, EdgeId edge) {
    if (!mesh.edge_usable(edge)) return {};
    const std::span<const HalfEdge> he = mesh.half_edges();
    if (face == kInvalidId) {
        const std::vector<FaceId> on_edge = mesh.edge_faces(edge);
        if (on_edge.empty()) return {};
        face = on_edge.front();
    }
    if (!mesh.face_usable(face)) return {};
    const HalfEdgeId h0 = mesh.edges()[edge].half_edge;
    if (h0 >= he.size()) return {};
    const HalfEdgeId t0 = he[h0].twin;
    HalfEdgeId side = kInvalidId;
    if (he[h0].face == face) {
        side = h0;
    } else if (t0 < he.size() && he[t0].face == face) {
        side = t0;
    }
    if (side == kInvalidId) return {};  // the face is not on the edge

    const QuadCell start = quad_at(mesh, face);
    // The diagonal runs along the strip's own quad, not across it.
    if (start.kind == QuadKind::kTrianglePair && start.diagonal == edge) return {};

    std::vector<std::uint8_t> seen(mesh.faces().size(), 0);
    std::vector<FaceId> out;
    auto take = [&](const QuadCell& cell, FaceId f) {
        seen[f] = 1;
        out.push_back(f);
        if (cell.kind == QuadKind::kTrianglePair) {
            seen[cell.partner] = 1;
            out.push_back(cell.partner);
        }
    };
    auto side_index = [](const QuadCell& cell, HalfEdgeId h) -> int {
        const auto at = std::find(cell.sides.begin(), cell.sides.end(), h);
        return at == cell.sides.end() ? -1 : static_cast<int>(at - cell.sides.begin());
    };
    // Enters the quad across `cur` and keeps leaving through the opposite side until the
    // strip meets a non-quad, a boundary or itself.
    auto walk = [&](HalfEdgeId cur) {
        for (std::size_t steps = 0; steps <= seen.size(); ++steps) {
            if (cur >= he.size()) return;
            const FaceId f = he[cur].face;
            if (!mesh.face_usable(f) || seen[f]) return;
            const QuadCell cell = quad_at(mesh, f);
            const int k = side_index(cell, cur);
            if (cell.kind == QuadKind::kNone || k < 0) return;
            take(cell, f);
            cur = he[cell.sides[static_cast<std::size_t>((k + 2) % 4)]].twin;
        }
    };
    take(start, face);
    walk(he[side].twin);
    const int k = side_index(start, side);
    if (start.kind != QuadKind::kNone && k >= 0) {
        walk(he[start.sides[static_cast<std::size_t>((k + 2) % 4)]].twin);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace korvan
