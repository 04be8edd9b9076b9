#include "core/mesh.h"

#include "core/dvec3.h"
#include "core/parallel_scan.h"
#include "core/polygon_2d.h"

#include <algorithm>
#include <cmath>

// Operations that replace a face by new faces over an edited ring: splitting an edge,
// cutting a face along a segment, triangulating. Each computes every new ring first and
// refuses before touching the mesh, then erases the old face and creates the new ones with
// add_ngon, so they come out as islands that a stitch or link joins to their neighbours.
//
// The old face's sides stay behind, faceless. Where a neighbour still borders one, it is the
// naked side a stitch pairs with the new face; where nothing does (the split edge itself, or
// a side on an open boundary) it is retired with its edge, so the naked-edge count shows only
// sides that can still be joined.

namespace korvan {
namespace {

constexpr float kSplitPlaneTolerance = 1e-4f;     // ends of a cut must lie this close to the face
constexpr float kSplitMinLength = 1e-5f;          // and be further apart than this
constexpr float kSnapDistanceSq = 1e-4f * 1e-4f;  // an end this close to a vertex uses it

// The flags an edge passes on to the sides that replace it.
struct SideFlags {
    bool soft = false;
    bool visible = true;
    bool seam = false;
};

SideFlags flags_of(const Mesh& mesh, HalfEdgeId h) {
    const EdgeId e = mesh.half_edges()[h].edge;
    if (e >= mesh.edges().size()) return {};
    const Edge& edge = mesh.edges()[e];
    return {edge.soft, edge.visible, edge.seam};
}

CornerUv lerp_uv(const CornerUv& a, const CornerUv& b, float s) {
    return {a.u + (b.u - a.u) * s, a.v + (b.v - a.v) * s, true};
}

// A face to be created: its ring, the flags of each side (side i runs from ring[i] to the
// next) and, when the old face had them, its corner coordinates.
struct NewFace {
    std::vector<VertexId> ring;
    std::vector<SideFlags> sides;
    std::vector<CornerUv> corners;
};

}  // namespace

namespace {

// Creates the face with the attributes of `like` (extras only when `extras`), side flags and
// corner coordinates; the id, or nothing when add_ngon refuses.
std::optional<FaceId> create_face(Mesh& mesh, const NewFace& nf, const Face& like, bool extras) {
    const std::optional<FaceId> made = mesh.add_ngon(nf.ring);
    if (!made) return std::nullopt;
    Face& f = mesh.face_mut(*made);
    f.material_id = like.material_id;
    f.layer_id = like.layer_id;
    f.visible = like.visible;
    if (extras) {
        f.tag = like.tag;
        f.extra_flag_1 = like.extra_flag_1;
        f.extra_flag_2 = like.extra_flag_2;
    }
    mesh.ensure_layer(like.layer_id);
    // add_ngon lays the ring out as consecutive half-edges from the face's first.
    const HalfEdgeId first = mesh.faces()[*made].half_edge;
    for (std::size_t i = 0; i < nf.ring.size(); ++i) {
        const auto h = static_cast<HalfEdgeId>(first + i);
        if (i < nf.sides.size()) {
            const SideFlags& s = nf.sides[i];
            if (s.soft || !s.visible || s.seam) {
                Edge& e = mesh.edge_mut(mesh.half_edges()[h].edge);
                e.soft = s.soft;
                e.visible = s.visible;
                e.seam = s.seam;
            }
        }
        if (nf.corners.size() == nf.ring.size()) {
            mesh.set_corner_uv(h, nf.corners[i].u, nf.corners[i].v);
        }
    }
    return made;
}

// After the face on these ring half-edges was erased: retires each side that no alive face
// borders any more, with its twin and edge.
void retire_orphaned_sides(Mesh& mesh, std::span<const HalfEdgeId> ring) {
    for (const HalfEdgeId h : ring) {
        const auto he = mesh.half_edges();
        if (!he[h].alive || mesh.face_usable(he[h].face)) continue;
        const HalfEdgeId t = he[h].twin;
        if (t < he.size() && mesh.face_usable(he[t].face)) continue;
        mesh.half_edge_mut(h).alive = false;
        if (t < he.size()) mesh.half_edge_mut(t).alive = false;
        const EdgeId e = he[h].edge;
        if (e < mesh.edges().size()) mesh.edge_mut(e).alive = false;
    }
}

}  // namespace

std::optional<VertexId> Mesh::split_edge(EdgeId edge, float t) {
    if (!edge_usable(edge) || !(t > 0.0f && t < 1.0f)) return std::nullopt;
    const HalfEdgeId h = edges_[edge].half_edge;
    if (!half_edge_usable(h)) return std::nullopt;
    const HalfEdgeId tw = half_edges_[h].twin;
    if (!half_edge_usable(tw)) return std::nullopt;
    const VertexId a = half_edges_[h].origin, b = half_edges_[tw].origin;
    if (a == b || a >= vertices_.size() || b >= vertices_.size()) return std::nullopt;
    std::vector<FaceId> sides;
    if (face_usable(half_edges_[h].face)) sides.push_back(half_edges_[h].face);
    const FaceId other = half_edges_[tw].face;
    if (face_usable(other) && (sides.empty() || other != sides.front())) sides.push_back(other);
    if (sides.empty()) return std::nullopt;

    const SideFlags split_flags = flags_of(*this, h);
    std::vector<NewFace> rebuilt(sides.size());
    std::vector<std::vector<HalfEdgeId>> old_rings(sides.size());
    for (std::size_t s = 0; s < sides.size(); ++s) {
        old_rings[s] = face_half_edges(sides[s]);
        const std::vector<HalfEdgeId>& ring = old_rings[s];
        if (ring.size() < 3) return std::nullopt;
        const bool uvs = face_has_uvs(sides[s]);
        NewFace& nf = rebuilt[s];
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const HalfEdgeId r = ring[i];
            nf.ring.push_back(half_edges_[r].origin);
            if (uvs) nf.corners.push_back(corner_uv(r));
            if (r != h && r != tw) {
                nf.sides.push_back(flags_of(*this, r));
                continue;
            }
            // The new vertex goes between this side's ends; kInvalidId until it exists.
            nf.ring.push_back(kInvalidId);
            nf.sides.push_back(split_flags);
            nf.sides.push_back(split_flags);
            if (uvs) {
                const float along = half_edges_[r].origin == a ? t : 1.0f - t;
                nf.corners.push_back(
                    lerp_uv(corner_uv(r), corner_uv(ring[(i + 1) % ring.size()]), along));
            }
        }
    }

    const Vec3 pa = vertices_[a].position, pb = vertices_[b].position;
    const VertexId v = add_vertex(pa + (pb - pa) * t);
    if (v == kInvalidId) return std::nullopt;
    std::vector<Face> attributes;
    for (const FaceId f : sides) {
        attributes.push_back(faces_[f]);
        erase_face(f);
    }
    for (const auto& ring : old_rings) retire_orphaned_sides(*this, ring);
    for (std::size_t s = 0; s < sides.size(); ++s) {
        std::replace(rebuilt[s].ring.begin(), rebuilt[s].ring.end(), kInvalidId, v);
        create_face(*this, rebuilt[s], attributes[s], true);
    }
    mark_changed(kAllTableBits);
    return v;
}

std::optional<FaceId> Mesh::split_face_with_edge(FaceId face, const Vec3& a, const Vec3& b) {
    if (!face_usable(face)) return std::nullopt;
    const Vec3 n = recompute_face_normal(face);
    if (static_cast<double>(length_squared(n)) < kDegenerateNormalSq) return std::nullopt;
    const std::vector<HalfEdgeId> old_ring = face_half_edges(face);
    if (old_ring.size() < 3) return std::nullopt;

    // Working ring: ids (kInvalidId for an end that needs a new vertex), positions, corners
    // and the flags of the side leaving each entry.
    std::vector<VertexId> ids;
    std::vector<Vec3> pos;
    std::vector<SideFlags> sides;
    std::vector<CornerUv> corners;
    const bool uvs = face_has_uvs(face);
    DVec3 centre;
    for (const HalfEdgeId h : old_ring) {
        const VertexId v = half_edges_[h].origin;
        if (v >= vertices_.size()) return std::nullopt;
        ids.push_back(v);
        pos.push_back(vertices_[v].position);
        sides.push_back(flags_of(*this, h));
        if (uvs) corners.push_back(corner_uv(h));
        centre += DVec3(vertices_[v].position);
    }
    const Vec3 mid = (centre * (1.0 / static_cast<double>(ids.size()))).to_vec3();
    if (std::fabs(dot(a - mid, n)) > kSplitPlaneTolerance ||
        std::fabs(dot(b - mid, n)) > kSplitPlaneTolerance || !(length(a - b) > kSplitMinLength)) {
        return std::nullopt;
    }

    // First alive vertex within the snap distance, in ascending id.
    auto snap = [&](const Vec3& p) -> VertexId {
        const std::span<const Vertex> vs = vertices_.view();
        const auto hits = scan_chunks<VertexId>(vs.size(), [&](std::size_t begin, std::size_t end) {
            for (std::size_t v = begin; v < end; ++v) {
                if (vs[v].alive && length_squared(vs[v].position - p) <= kSnapDistanceSq) {
                    return static_cast<VertexId>(v);
                }
            }
            return kInvalidId;
        });
        for (const VertexId v : hits) {
            if (v != kInvalidId) return v;
        }
        return kInvalidId;
    };
    // Puts an end on the ring: where it already is, or after the start of the nearest side.
    // An end that needs a new vertex is kInvalidId in `ids`, told apart by its `fresh` marker.
    std::vector<std::uint8_t> fresh(ids.size(), 0);
    auto place = [&](const Vec3& p, VertexId snapped, std::uint8_t marker) {
        if (snapped != kInvalidId && std::find(ids.begin(), ids.end(), snapped) != ids.end()) {
            return;
        }
        const Vec3 q = snapped != kInvalidId ? vertices_[snapped].position : p;
        std::size_t best = 0;
        float best_d = 0.0f, best_s = 0.0f;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const Vec3 s0 = pos[i], d = pos[(i + 1) % pos.size()] - s0;
            const float len2 = length_squared(d);
            const float s = len2 > 0.0f ? std::clamp(dot(q - s0, d) / len2, 0.0f, 1.0f) : 0.0f;
            const float dist = length_squared(s0 + d * s - q);
            if (i == 0 || dist < best_d) {
                best = i;
                best_d = dist;
                best_s = s;
            }
        }
        const std::size_t at = best + 1;
        ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(at), snapped);
        pos.insert(pos.begin() + static_cast<std::ptrdiff_t>(at), q);
        fresh.insert(fresh.begin() + static_cast<std::ptrdiff_t>(at),
                     snapped == kInvalidId ? marker : 0);
        // Both halves of the side keep its flags.
        const SideFlags halves = sides[best];
        sides.insert(sides.begin() + static_cast<std::ptrdiff_t>(at), halves);
        if (uvs) {
            const CornerUv uv = lerp_uv(corners[best], corners[at % corners.size()], best_s);
            corners.insert(corners.begin() + static_cast<std::ptrdiff_t>(at), uv);
        }
    };
    const VertexId snap_a = snap(a), snap_b = snap(b);
    if (snap_a != kInvalidId && snap_a == snap_b) return std::nullopt;
    place(a, snap_a, 1);
    place(b, snap_b, 2);
    auto find_end = [&](VertexId snapped, std::uint8_t marker) {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (snapped != kInvalidId ? ids[i] == snapped : fresh[i] == marker) return i;
        }
        return ids.size();
    };
    const std::size_t ia = find_end(snap_a, 1), ib = find_end(snap_b, 2);
    const std::size_t count = ids.size();
    if (ia == count || ib == count || ia == ib) return std::nullopt;

    // The two chains between the ends, each closed by the cut, as places in the ring.
    auto chain = [&](std::size_t from, std::size_t to) {
        std::vector<std::size_t> out;
        for (std::size_t i = from;; i = (i + 1) % count) {
            out.push_back(i);
            if (i == to) break;
        }
        return out;
    };
    const std::vector<std::size_t> chains[2] = {chain(ia, ib), chain(ib, ia)};
    auto resolve = [&](std::size_t i, VertexId va, VertexId vb) {
        return fresh[i] == 1 ? va : (fresh[i] == 2 ? vb : ids[i]);
    };
    for (const auto& places : chains) {
        if (places.size() < 3) return std::nullopt;
        for (std::size_t k = 0; k < places.size(); ++k) {
            const std::size_t i = places[k], j = places[(k + 1) % places.size()];
            // Stand-ins for the vertices not made yet; they differ from every real id.
            if (resolve(i, kInvalidId - 1, kInvalidId - 2) ==
                resolve(j, kInvalidId - 1, kInvalidId - 2)) {
                return std::nullopt;
            }
        }
    }

    const VertexId new_a = snap_a == kInvalidId ? add_vertex(a) : snap_a;
    const VertexId new_b = snap_b == kInvalidId ? add_vertex(b) : snap_b;
    NewFace made_faces[2];
    for (int half = 0; half < 2; ++half) {
        const std::vector<std::size_t>& places = chains[half];
        NewFace& nf = made_faces[half];
        for (std::size_t k = 0; k < places.size(); ++k) {
            const std::size_t i = places[k];
            nf.ring.push_back(resolve(i, new_a, new_b));
            // The last side closes the chain along the cut: a plain new edge.
            nf.sides.push_back(k + 1 == places.size() ? SideFlags{} : sides[i]);
            if (uvs) nf.corners.push_back(corners[i]);
        }
    }
    const Face like = faces_[face];
    erase_face(face);
    retire_orphaned_sides(*this, old_ring);
    const std::optional<FaceId> made = create_face(*this, made_faces[0], like, false);
    create_face(*this, made_faces[1], like, false);
    mark_changed(kAllTableBits);
    return made;
}

bool Mesh::triangulate_face(FaceId face) {
    if (!face_usable(face)) return false;
    const std::vector<HalfEdgeId> ring = face_half_edges(face);
    const std::size_t n = ring.size();
    if (n < 4) return false;
    std::vector<Vec3> pos;
    for (const HalfEdgeId h : ring) {
        const VertexId v = half_edges_[h].origin;
        if (v >= vertices_.size()) return false;
        pos.push_back(vertices_[v].position);
    }
    std::vector<IndexTriangle> tris = triangulate_polygon_2d(pos);
    if (tris.empty()) {
        for (std::uint32_t k = 2; k < n; ++k) tris.push_back({0, k - 1, k});
    }
    const bool uvs = face_has_uvs(face);
    std::vector<NewFace> made(tris.size());
    for (std::size_t t = 0; t < tris.size(); ++t) {
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t i = tris[t][c], j = tris[t][(c + 1) % 3];
            made[t].ring.push_back(half_edges_[ring[i]].origin);
            // A side along the old ring keeps its flags; a diagonal is a plain edge.
            made[t].sides.push_back((i + 1) % n == j ? flags_of(*this, ring[i]) : SideFlags{});
            if (uvs) made[t].corners.push_back(corner_uv(ring[i]));
        }
    }
    const Face like = faces_[face];
    erase_face(face);
    retire_orphaned_sides(*this, ring);
    for (const NewFace& nf : made) create_face(*this, nf, like, true);
    mark_changed(kAllTableBits);
    return true;
}

std::uint64_t Mesh::triangulate_all() {
    std::vector<FaceId> todo;
    for (FaceId f = 0; f < faces_.size(); ++f) {
        if (faces_[f].alive && face_degree(f) > 3) todo.push_back(f);
    }
    std::uint64_t done = 0;
    for (const FaceId f : todo) done += triangulate_face(f) ? 1 : 0;
    return done;
}

}  // namespace korvan
