#include "document/mesh_copy.h"

#include <cassert>
#include <utility>
#include <vector>

#include "document/transform.h"

namespace korvan {
namespace {

// Ring half-edges of an alive face in ring order, into `out`; false (and `out` unusable)
// when the ring is broken: an id out of range or a walk longer than the table.
bool ring_of(const Mesh& mesh, FaceId face, std::vector<HalfEdgeId>& out) {
    out.clear();
    const auto he = mesh.half_edges();
    const HalfEdgeId start = mesh.faces()[face].half_edge;
    HalfEdgeId h = start;
    do {
        if (h >= he.size() || out.size() > he.size()) return false;
        out.push_back(h);
        h = he[h].next;
    } while (h != start);
    return true;
}

}  // namespace

bool mesh_has_content(const Mesh& mesh) {
    if (!mesh.guides().empty() || !mesh.notes().empty() || !mesh.dimensions().empty()) {
        return true;
    }
    for (const Curve& c : mesh.curves()) {
        if (c.alive) return true;
    }
    for (const Face& f : mesh.faces()) {
        if (f.alive) return true;
    }
    return false;
}

std::uint64_t count_appendable_faces(const Mesh& src) {
    const auto vertices = src.vertices();
    const auto half_edges = src.half_edges();
    std::uint64_t count = 0;
    std::vector<HalfEdgeId> ring;
    for (FaceId f = 0; f < src.faces().size(); ++f) {
        if (!src.faces()[f].alive || !ring_of(src, f, ring)) continue;
        // The same refusals as add_ngon over the copied corners: copies of distinct source
        // vertices stay distinct, so comparing source ids is enough.
        const std::size_t n = ring.size();
        bool usable = n >= 3;
        for (std::size_t i = 0; usable && i < n; ++i) {
            const VertexId v = half_edges[ring[i]].origin;
            const VertexId next = half_edges[ring[(i + 1) % n]].origin;
            usable = v < vertices.size() && v != next;
        }
        count += usable ? 1 : 0;
    }
    return count;
}

std::uint64_t append_transformed(Mesh& dst, const Mesh& src, const Mat4& t, std::int32_t paint) {
    const auto src_vertices = src.vertices();
    const auto src_half_edges = src.half_edges();
    const auto src_edges = src.edges();
    const auto src_faces = src.faces();

    assert(&dst != &src);
    std::uint64_t alive_faces = 0;
    for (const Face& f : src_faces) alive_faces += f.alive ? 1 : 0;
    dst.reserve(dst.vertices().size() + src_vertices.size(),
                dst.half_edges().size() + src_half_edges.size(),
                dst.edges().size() + src_edges.size(), dst.faces().size() + alive_faces);

    std::vector<VertexId> vertex_map(src_vertices.size(), kInvalidId);
    std::vector<FaceId> face_map(src_faces.size(), kInvalidId);
    std::vector<HalfEdgeId> ring, new_ring;
    std::vector<VertexId> ids;
    std::uint64_t appended = 0;

    for (FaceId f = 0; f < src_faces.size(); ++f) {
        const Face& face = src_faces[f];
        if (!face.alive || !ring_of(src, f, ring)) continue;
        ids.clear();
        bool usable = true;
        for (const HalfEdgeId h : ring) {
            const VertexId v = src_half_edges[h].origin;
            if (v >= src_vertices.size()) {
                usable = false;
                break;
            }
            if (vertex_map[v] == kInvalidId) {
                vertex_map[v] = dst.add_vertex(transform_point(t, src_vertices[v].position));
            }
            ids.push_back(vertex_map[v]);
        }
        if (!usable) continue;
        const std::optional<FaceId> made = dst.add_ngon(ids);
        if (!made) continue;
        face_map[f] = *made;
        ++appended;

        Face& copy = dst.face_mut(*made);
        copy.material_id = face.material_id == 0 && paint >= 0 ? static_cast<std::uint32_t>(paint)
                                                               : face.material_id;
        copy.layer_id = face.layer_id;
        copy.visible = face.visible;
        copy.tag = face.tag;
        copy.extra_flag_1 = face.extra_flag_1;
        copy.extra_flag_2 = face.extra_flag_2;

        // The new ring runs over the same corners in the same order.
        if (!ring_of(dst, *made, new_ring) || new_ring.size() != ring.size()) continue;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const HalfEdge& side = src_half_edges[ring[i]];
            if (src.has_corner_uvs()) {
                const CornerUv uv = src.corner_uv(ring[i]);
                if (uv.set) dst.set_corner_uv(new_ring[i], uv.u, uv.v);
            }
            if (side.edge >= src_edges.size()) continue;
            const Edge& e = src_edges[side.edge];
            if (!e.soft && e.visible && !e.seam) continue;
            Edge& target = dst.edge_mut(dst.half_edges()[new_ring[i]].edge);
            target.soft = e.soft;
            target.visible = e.visible;
            target.seam = e.seam;
        }
    }
    if (appended > 0) dst.mark_changed(kEdgeTableBit | kFaceTableBit);

    for (const Guide& g : src.guides()) {
        dst.add_guide(transform_point(t, g.a), transform_point(t, g.b), g.infinite);
    }
    for (const Curve& c : src.curves()) {
        if (!c.alive) continue;
        Curve copy = c;
        for (Vec3& p : copy.points) p = transform_point(t, p);
        dst.add_curve(std::move(copy));
    }
    for (const Note& n : src.notes()) {
        Note copy = n;
        copy.a = transform_point(t, n.a);
        copy.b = transform_point(t, n.b);
        dst.add_note(std::move(copy));
    }
    auto remap = [&](DimensionAnchor anchor) {
        if (anchor.kind == kDimensionAnchorFace) {
            anchor.id = anchor.id < face_map.size() ? face_map[anchor.id] : kInvalidId;
        }
        return anchor;
    };
    for (const Dimension& d : src.dimensions()) {
        Dimension copy = d;
        copy.a = transform_point(t, d.a);
        copy.b = transform_point(t, d.b);
        copy.direction = transform_direction(t, d.direction);
        copy.anchor_a = remap(d.anchor_a);
        copy.anchor_b = remap(d.anchor_b);
        dst.add_dimension(std::move(copy));
    }
    return appended;
}

std::uint64_t reverse_all_windings(Mesh& mesh) {
    std::vector<HalfEdgeId> ring;
    std::uint64_t reversed = 0;
    const auto faces = mesh.faces();
    for (FaceId f = 0; f < faces.size(); ++f) {
        if (!faces[f].alive || !ring_of(mesh, f, ring)) continue;
        for (const HalfEdgeId h : ring) {
            HalfEdge& side = mesh.half_edge_mut(h);
            std::swap(side.next, side.prev);
        }
        mesh.recompute_face_normal(f);
        ++reversed;
    }
    if (reversed > 0) mesh.mark_changed(kHalfEdgeTableBit | kFaceTableBit);
    return reversed;
}

}  // namespace korvan
