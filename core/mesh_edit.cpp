#include "core/mesh.h"

#include "core/dvec3.h"

#include <array>
#include <cmath>

// Creation and deletion of elements. add_ngon lays out each face as one block of 2n
// half-edges: the n ring half-edges (ring half-edge i leaves vertex i) followed by their n
// phantom twins, which have no face and whose next/prev run the other way, so the phantoms
// form the face's own boundary loop. Until linked, every edge of a new face is naked.

namespace korvan {
namespace {

// Unit Newell normal of a ring given by vertex ids, summed in doubles; zero when degenerate
// or when a vertex is out of range.
Vec3 ring_normal(std::span<const Vertex> vs, std::span<const VertexId> ring) {
    const std::size_t n = ring.size();
    double nx = 0.0, ny = 0.0, nz = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const VertexId vi = ring[i], vj = ring[i + 1 == n ? 0 : i + 1];
        if (vi >= vs.size() || vj >= vs.size()) return {};
        const Vec3& a = vs[vi].position;
        const Vec3& b = vs[vj].position;
        nx += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
        ny += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
        nz += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
    }
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    return len > 0.0 ? DVec3(nx / len, ny / len, nz / len).to_vec3() : Vec3{};
}

}  // namespace

VertexId Mesh::add_vertex(const Vec3& position) {
    if (vertices_.size() >= ElementTable<Vertex>::kMaxElements) return kInvalidId;
    const VertexId v = vertices_.append(Vertex{position, true});
    mark_changed(kVertexTableBit);
    return v;
}

std::optional<FaceId> Mesh::add_ngon(std::span<const VertexId> verts) {
    const std::size_t n = verts.size();
    if (n < 3) return std::nullopt;
    if (verts[n - 1] == verts[0]) return std::nullopt;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (verts[i] == verts[i + 1]) return std::nullopt;
    }
    constexpr std::size_t kMax = ElementTable<HalfEdge>::kMaxElements;
    if (n > kMax / 2 || half_edges_.size() > kMax - 2 * n || edges_.size() > kMax - n ||
        faces_.size() >= kMax) {
        return std::nullopt;
    }

    const auto count = static_cast<std::uint32_t>(n);
    const HalfEdgeId h = half_edges_.size();
    const EdgeId e = edges_.size();
    const FaceId f = faces_.size();
    HalfEdge* block = half_edges_.append_n(2 * count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t after = i + 1 == count ? 0 : i + 1;
        const std::uint32_t before = i == 0 ? count - 1 : i - 1;
        HalfEdge& ring = block[i];
        ring.origin = verts[i];
        ring.twin = h + count + i;
        ring.next = h + after;
        ring.prev = h + before;
        ring.face = f;
        ring.edge = e + i;
        HalfEdge& phantom = block[count + i];
        phantom.origin = verts[after];
        phantom.twin = h + i;
        phantom.next = h + count + before;
        phantom.prev = h + count + after;
        phantom.face = kInvalidId;
        phantom.edge = e + i;
    }
    Edge* sides = edges_.append_n(count);
    for (std::uint32_t i = 0; i < count; ++i) sides[i].half_edge = h + i;

    Face face;
    face.half_edge = h;
    face.normal = ring_normal(vertices_.view(), verts);
    faces_.append(face);

    // Ids past the end of a restored table come back; their corners must not inherit UVs.
    for (std::size_t c = h; c < corner_uvs_.size() && c < std::size_t{h} + 2 * n; ++c) {
        corner_uvs_[c] = CornerUv{};
    }
    mark_changed(kHalfEdgeTableBit | kEdgeTableBit | kFaceTableBit);
    return f;
}

std::optional<FaceId> Mesh::add_triangle(VertexId a, VertexId b, VertexId c) {
    const std::array<VertexId, 3> ring{a, b, c};
    return add_ngon(ring);
}

std::optional<FaceId> Mesh::add_quad(VertexId a, VertexId b, VertexId c, VertexId d) {
    const std::array<VertexId, 4> ring{a, b, c, d};
    return add_ngon(ring);
}

bool Mesh::erase_face(FaceId face) {
    if (!face_usable(face)) return false;
    // Neighbours must see a real hole, so the ring forgets its face. A corrupt ring stops at
    // the walk's bound; what was reached is still released.
    walk_ring(face, [&](HalfEdgeId h) {
        if (half_edges_[h].face == face) half_edge_mut(h).face = kInvalidId;
    });
    face_mut(face).alive = false;
    mark_changed(kHalfEdgeTableBit | kFaceTableBit);
    return true;
}

bool Mesh::erase_edge(EdgeId edge, std::vector<FaceId>* retired_faces) {
    if (!edge_usable(edge)) return false;
    const HalfEdgeId h = edges_[edge].half_edge;
    const HalfEdgeId t = h < half_edges_.size() ? half_edges_[h].twin : kInvalidId;
    const FaceId f1 = h < half_edges_.size() ? half_edges_[h].face : kInvalidId;
    const FaceId f2 = t < half_edges_.size() ? half_edges_[t].face : kInvalidId;
    if (erase_face(f1) && retired_faces) retired_faces->push_back(f1);
    if (f2 != f1 && erase_face(f2) && retired_faces) retired_faces->push_back(f2);
    if (h < half_edges_.size()) half_edge_mut(h).alive = false;
    if (t < half_edges_.size()) half_edge_mut(t).alive = false;
    edge_mut(edge).alive = false;
    mark_changed(kHalfEdgeTableBit | kEdgeTableBit | kFaceTableBit);
    return true;
}

bool Mesh::link_half_edges(HalfEdgeId a, HalfEdgeId b) {
    if (a == b || !half_edge_usable(a) || !half_edge_usable(b)) return false;
    const HalfEdge ha = half_edges_[a];
    const HalfEdge hb = half_edges_[b];
    if (!face_usable(ha.face) || !face_usable(hb.face) || ha.face == hb.face) return false;
    if (ha.edge >= edges_.size() || hb.edge >= edges_.size() || ha.edge == hb.edge) return false;
    // Only naked sides are joined: each twin must be missing or border no alive face.
    auto naked_twin = [&](HalfEdgeId t) {
        return t == kInvalidId || (t < half_edges_.size() && !face_usable(half_edges_[t].face));
    };
    if (!naked_twin(ha.twin) || !naked_twin(hb.twin)) return false;

    if (ha.twin != kInvalidId) half_edge_mut(ha.twin).alive = false;
    if (hb.twin != kInvalidId) half_edge_mut(hb.twin).alive = false;
    half_edge_mut(a).twin = b;
    HalfEdge& second = half_edge_mut(b);
    second.twin = a;
    second.edge = ha.edge;

    const Edge gone = edges_[hb.edge];
    Edge& kept = edge_mut(ha.edge);
    if (!half_edge_usable(kept.half_edge)) kept.half_edge = a;
    kept.soft = kept.soft || gone.soft;
    kept.seam = kept.seam || gone.seam;
    edge_mut(hb.edge).alive = false;
    mark_changed(kHalfEdgeTableBit | kEdgeTableBit);
    return true;
}

}  // namespace korvan
