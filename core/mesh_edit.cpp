#include "core/mesh.h"

#include "core/dvec3.h"
#include "core/plane.h"

#include <algorithm>
#include <array>
#include <cmath>

// Creation and deletion of elements. add_ngon lays out each face as one block of 2n
// half-edges: the n ring half-edges (ring half-edge i leaves vertex i) followed by their n
// phantom twins, which have no face and whose next/prev run the other way, so the phantoms
// form the face's own boundary loop. Until linked, every edge of a new face is naked.
//
// Also here: winding reversal and face copies (duplicate, merge, mirror). A copy reads every
// source face out before it writes anything, which is what makes copying a mesh into itself
// safe.

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
    join_half_edges(a, b);
    mark_changed(kHalfEdgeTableBit | kEdgeTableBit);
    return true;
}

void Mesh::join_half_edges(HalfEdgeId a, HalfEdgeId b) {
    const HalfEdgeId old_a = half_edges_[a].twin;
    const HalfEdgeId old_b = half_edges_[b].twin;
    const EdgeId edge_a = half_edges_[a].edge;
    const EdgeId edge_b = half_edges_[b].edge;
    // The former twins were phantoms or sides of erased faces: nothing borders them any more.
    if (old_a < half_edges_.size()) half_edge_mut(old_a).alive = false;
    if (old_b < half_edges_.size()) half_edge_mut(old_b).alive = false;
    half_edge_mut(a).twin = b;
    HalfEdge& second = half_edge_mut(b);
    second.twin = a;
    second.edge = edge_a;
    if (edge_a >= edges_.size() || edge_a == edge_b) return;
    const Edge gone = edge_b < edges_.size() ? edges_[edge_b] : Edge{};
    Edge& kept = edge_mut(edge_a);
    if (!half_edge_usable(kept.half_edge)) kept.half_edge = a;
    kept.soft = kept.soft || gone.soft;
    kept.seam = kept.seam || gone.seam;
    if (edge_b < edges_.size()) edge_mut(edge_b).alive = false;
}

// ---- Orientation -------------------------------------------------------------------------

bool Mesh::reverse_face(FaceId face) {
    const std::vector<HalfEdgeId> ring = face_half_edges(face);
    if (ring.empty()) return false;
    for (const HalfEdgeId h : ring) {
        HalfEdge& side = half_edge_mut(h);
        std::swap(side.next, side.prev);
    }
    recompute_face_normal(face);
    mark_changed(kHalfEdgeTableBit | kFaceTableBit);
    return true;
}

std::uint64_t Mesh::reverse_faces(std::span<const FaceId> faces) {
    std::uint64_t n = 0;
    for (const FaceId f : faces) n += reverse_face(f) ? 1 : 0;
    return n;
}

std::uint64_t Mesh::reverse_all_faces() {
    std::uint64_t n = 0;
    for (FaceId f = 0; f < faces_.size(); ++f) n += reverse_face(f) ? 1 : 0;
    return n;
}

// ---- Copies ------------------------------------------------------------------------------

namespace {

// Faces of `src` read out completely before anything is written, so that the destination
// may be the source itself.
struct FaceCopies {
    std::vector<VertexId> sources;  // distinct source vertices, ascending
    std::vector<Vec3> positions;    // placed positions, parallel to `sources`
    struct Copy {
        Face attributes;
        std::uint32_t first = 0;  // into corner_vertex / corners / sides
        std::uint32_t size = 0;
        bool uvs = false;
    };
    std::vector<Copy> faces;
    std::vector<std::uint32_t> corner_vertex;  // index into `sources`
    std::vector<CornerUv> corners;
    std::vector<Edge> sides;  // flags of the side leaving each corner
};

// Reads the distinct alive faces of `faces` from src, placing every vertex through place().
template <class Place>
FaceCopies read_faces(const Mesh& src, std::span<const FaceId> faces, Place&& place) {
    std::vector<FaceId> chosen;
    for (const FaceId f : faces) {
        if (src.face_usable(f)) chosen.push_back(f);
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());

    FaceCopies out;
    const auto he = src.half_edges();
    const auto vs = src.vertices();
    std::vector<VertexId> ring_vertices;
    std::vector<HalfEdgeId> ring;
    for (const FaceId f : chosen) {
        ring = src.face_half_edges(f);
        const bool whole =
            !ring.empty() && std::all_of(ring.begin(), ring.end(),
                                         [&](HalfEdgeId h) { return he[h].origin < vs.size(); });
        if (!whole) continue;
        FaceCopies::Copy c;
        c.attributes = src.faces()[f];
        c.first = static_cast<std::uint32_t>(out.corner_vertex.size());
        c.size = static_cast<std::uint32_t>(ring.size());
        c.uvs = src.face_has_uvs(f);
        for (const HalfEdgeId h : ring) {
            ring_vertices.push_back(he[h].origin);
            out.corner_vertex.push_back(0);
            out.corners.push_back(c.uvs ? src.corner_uv(h) : CornerUv{});
            const EdgeId e = he[h].edge;
            out.sides.push_back(e < src.edges().size() ? src.edges()[e] : Edge{});
        }
        out.faces.push_back(c);
    }
    out.sources = ring_vertices;
    std::sort(out.sources.begin(), out.sources.end());
    out.sources.erase(std::unique(out.sources.begin(), out.sources.end()), out.sources.end());
    for (std::size_t i = 0; i < ring_vertices.size(); ++i) {
        out.corner_vertex[i] = static_cast<std::uint32_t>(
            std::lower_bound(out.sources.begin(), out.sources.end(), ring_vertices[i]) -
            out.sources.begin());
    }
    out.positions.reserve(out.sources.size());
    for (const VertexId v : out.sources) out.positions.push_back(place(vs[v].position));
    return out;
}

// Creates the read faces in dst (rings backwards when `reverse`); returns how many.
std::uint64_t write_faces(const FaceCopies& in, Mesh& dst, bool reverse) {
    std::vector<VertexId> made_vertices;
    made_vertices.reserve(in.positions.size());
    for (const Vec3& p : in.positions) made_vertices.push_back(dst.add_vertex(p));
    std::vector<VertexId> ids;
    std::uint64_t made = 0;
    for (const FaceCopies::Copy& c : in.faces) {
        const std::uint32_t n = c.size;
        // Corner k of the new ring is source corner src_corner(k); reading backwards, new
        // side k runs along source side (n - 2 - k) the other way.
        auto src_corner = [&](std::uint32_t k) { return reverse ? n - 1 - k : k; };
        auto src_side = [&](std::uint32_t k) { return reverse ? (2 * n - 2 - k) % n : k; };
        ids.clear();
        for (std::uint32_t k = 0; k < n; ++k) {
            ids.push_back(made_vertices[in.corner_vertex[c.first + src_corner(k)]]);
        }
        const std::optional<FaceId> f = dst.add_ngon(ids);
        if (!f) continue;
        ++made;
        Face& rec = dst.face_mut(*f);
        rec.material_id = c.attributes.material_id;
        rec.layer_id = c.attributes.layer_id;
        rec.visible = c.attributes.visible;
        rec.tag = c.attributes.tag;
        rec.extra_flag_1 = c.attributes.extra_flag_1;
        rec.extra_flag_2 = c.attributes.extra_flag_2;
        dst.ensure_layer(c.attributes.layer_id);
        // add_ngon lays the ring out as consecutive half-edges from the face's first.
        const HalfEdgeId first = dst.faces()[*f].half_edge;
        for (std::uint32_t k = 0; k < n; ++k) {
            if (c.uvs) {
                const CornerUv& uv = in.corners[c.first + src_corner(k)];
                dst.set_corner_uv(first + k, uv.u, uv.v);
            }
            const Edge& s = in.sides[c.first + src_side(k)];
            if (s.soft || !s.visible || s.seam) {
                Edge& e = dst.edge_mut(dst.half_edges()[first + k].edge);
                e.soft = s.soft;
                e.visible = s.visible;
                e.seam = s.seam;
            }
        }
    }
    if (made > 0) dst.mark_changed(kEdgeTableBit | kFaceTableBit);
    return made;
}

}  // namespace

std::uint64_t Mesh::duplicate_faces(std::span<const FaceId> faces, Mesh& subset) const {
    return write_faces(read_faces(*this, faces, [](const Vec3& p) { return p; }), subset, false);
}

std::uint64_t Mesh::merge_mesh(const Mesh& other, const Mat4& transform) {
    const std::vector<FaceId> all = other.alive_faces();
    return write_faces(
        read_faces(other, all, [&](const Vec3& p) { return transform_point(transform, p); }), *this,
        false);
}

std::uint64_t Mesh::mirror_faces(std::span<const FaceId> faces, const Vec3& point,
                                 const Vec3& normal, Mesh* dst) {
    const std::optional<Plane> plane = make_plane(point, normal);
    if (!plane) return 0;
    return write_faces(
        read_faces(*this, faces, [&](const Vec3& p) { return reflect_point(*plane, p); }),
        dst ? *dst : *this, true);
}

}  // namespace korvan
