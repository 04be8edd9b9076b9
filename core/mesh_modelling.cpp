// Push/pull, extrusion, offset and inset. Each reads the face's ring positions, builds fresh
// vertices for the moved ring and adds the new faces as islands (callers link them); nothing
// here renumbers existing elements.

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "core/polygon_2d.h"

namespace korvan {
namespace {

constexpr float kOffsetFaceEps = 1e-6f;  // least bisector projection offset_face accepts
constexpr float kInsetFaceEps = 1e-4f;   // inset_face is stricter: it keeps the old face
constexpr double kMinInsetArea = 1e-9;   // signed ring area an inset must keep
constexpr float kBackwardsSideSlack = 1e-6f;
constexpr float kShortSideSq = 1e-12f;

// Each side moved by exactly d along its own in-plane normal (a mitred offset); nothing when
// a side is degenerate, the ring doubles back or an offset side would run backwards (the
// offset is wider than about half the face).
std::optional<std::vector<Vec3>> offset_ring(const std::vector<Vec3>& p, const Vec3& n, float d,
                                             float eps) {
    const std::size_t count = p.size();
    if (count < 3) return std::nullopt;
    std::vector<Vec3> q(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3 a = p[i] - p[(i + count - 1) % count];
        const Vec3 b = p[(i + 1) % count] - p[i];
        if (length_squared(a) < kShortSideSq || length_squared(b) < kShortSideSq) {
            return std::nullopt;
        }
        const Vec3 ma = cross(n, normalize(a));
        const Vec3 mb = cross(n, normalize(b));
        Vec3 w = ma + mb;
        if (length_squared(w) < kShortSideSq) return std::nullopt;
        w = normalize(w);
        const float k = std::fabs(dot(w, ma));
        if (k < eps) return std::nullopt;
        q[i] = p[i] + w * (d / k);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        const Vec3 old_side = p[j] - p[i];
        if (length_squared(old_side) < kShortSideSq) return std::nullopt;
        if (dot(q[j] - q[i], normalize(old_side)) < -kBackwardsSideSlack) return std::nullopt;
    }
    return q;
}

// Twice the signed area of the ring about the unit normal, in doubles.
double signed_area_about(const std::vector<Vec3>& p, const Vec3& n) {
    DVec3 sum;
    for (std::size_t i = 0; i < p.size(); ++i) {
        sum += cross(DVec3(p[i]), DVec3(p[(i + 1) % p.size()]));
    }
    return 0.5 * dot(sum, DVec3(n));
}

}  // namespace

namespace {

// Ring positions of a face whose ring names only valid vertices; nothing otherwise.
std::optional<std::vector<Vec3>> ring_positions(const Mesh& mesh,
                                                const std::vector<VertexId>& ring) {
    std::vector<Vec3> out;
    out.reserve(ring.size());
    for (const VertexId v : ring) {
        if (!mesh.vertex_usable(v)) return std::nullopt;
        out.push_back(mesh.vertices()[v].position);
    }
    return out;
}

// A cap over `ring`: one quad or n-gon, else the ear-clipped (or fanned) triangles, of which
// the first is returned.
std::optional<FaceId> add_cap(Mesh& mesh, const std::vector<VertexId>& ring) {
    std::optional<FaceId> cap =
        ring.size() == 4 ? mesh.add_quad(ring[0], ring[1], ring[2], ring[3]) : mesh.add_ngon(ring);
    if (cap) return cap;
    std::vector<Vec3> pts;
    for (const VertexId v : ring) pts.push_back(mesh.vertices()[v].position);
    std::vector<IndexTriangle> tris = triangulate_polygon_2d(pts);
    if (tris.empty()) {
        for (std::uint32_t k = 2; k < ring.size(); ++k) tris.push_back({0, k - 1, k});
    }
    std::optional<FaceId> first;
    for (const IndexTriangle& t : tris) {
        const auto f = mesh.add_triangle(ring[t[0]], ring[t[1]], ring[t[2]]);
        if (f && !first) first = f;
    }
    return first;
}

void copy_look(Mesh& mesh, FaceId from_material, FaceId to) {
    const Face src = mesh.faces()[from_material];
    mesh.set_face_material(to, src.material_id);
    mesh.set_face_layer(to, src.layer_id);
    mesh.set_face_visible(to, src.visible);
}

// Softens the face's own edge between the two vertices (either direction).
void soften_pair(Mesh& mesh, FaceId face, VertexId a, VertexId b) {
    for (const HalfEdgeId h : mesh.face_half_edges(face)) {
        const VertexId o = mesh.half_edges()[h].origin;
        const VertexId e = mesh.half_edge_end(h);
        if ((o == a && e == b) || (o == b && e == a)) {
            const EdgeId edge = mesh.half_edges()[h].edge;
            if (mesh.edge_usable(edge)) mesh.edge_mut(edge).soft = true;
        }
    }
}

// Degrees between two unit normals.
float turn_deg(const Vec3& a, const Vec3& b) {
    return std::acos(std::clamp(dot(a, b), -1.0f, 1.0f)) * kRadToDeg;
}

}  // namespace

std::optional<FaceId> Mesh::push_pull(FaceId face, float distance) {
    if (!face_usable(face)) return std::nullopt;
    const Vec3 n = recompute_face_normal(face);
    if (length_squared(n) < kDegenerateNormalSq) return std::nullopt;
    const std::vector<VertexId> ring = face_vertices(face);
    if (ring.size() < 3) return std::nullopt;
    const auto pos = ring_positions(*this, ring);
    if (!pos) return std::nullopt;
    const std::size_t count = ring.size();

    // A neighbour shares an undirected vertex pair with the face. A linked neighbour sits
    // across a ring side's twin, which costs nothing to look at; only a face with none asks the
    // spatial index for the faces using its ring vertices (unlinked neighbours, such as the
    // walls of an earlier pull). Asking the index after every edit rebuilds its changed chunks,
    // which made a run of pulls over a linked grid spend most of its time there.
    bool has_neighbour = false;
    for (const HalfEdgeId h : face_half_edges(face)) {
        const HalfEdgeId t = half_edges_[h].twin;
        if (t < half_edges_.size() && half_edges_[t].face != face &&
            face_usable(half_edges_[t].face)) {
            has_neighbour = true;
            break;
        }
    }
    if (!has_neighbour) {
        std::vector<std::pair<VertexId, VertexId>> pairs;
        pairs.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            pairs.emplace_back(std::minmax(ring[i], ring[(i + 1) % count]));
        }
        std::sort(pairs.begin(), pairs.end());
        for (const FaceId other : faces_using_vertices(ring)) {
            if (other == face || has_neighbour) continue;
            const std::vector<VertexId> r = face_vertices(other);
            for (std::size_t i = 0; i < r.size() && !has_neighbour; ++i) {
                const auto key = std::minmax(r[i], r[(i + 1) % r.size()]);
                has_neighbour = std::binary_search(pairs.begin(), pairs.end(),
                                                   std::pair<VertexId, VertexId>(key));
            }
        }
    }
    const bool inward = !has_neighbour && distance < 0.0f;

    std::vector<VertexId> top(count);
    for (std::size_t i = 0; i < count; ++i) top[i] = add_vertex((*pos)[i] + n * distance);

    std::vector<std::optional<FaceId>> sides(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        sides[i] = inward ? add_quad(ring[j], ring[i], top[i], top[j])
                          : add_quad(ring[i], ring[j], top[j], top[i]);
        if (sides[i]) copy_look(*this, face, *sides[i]);
    }

    // Side walls that turn gently are one smooth surface: the edge up from ring(i) between
    // walls i-1 and i goes soft, so a pulled circle shades as a cylinder and a box keeps its
    // corners.
    std::vector<float> turn(count, 180.0f);
    std::vector<std::uint8_t> has_turn(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const auto& before = sides[(i + count - 1) % count];
        if (!before || !sides[i]) continue;
        turn[i] = turn_deg(face_normal(*before), face_normal(*sides[i]));
        has_turn[i] = 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!has_turn[i]) continue;
        const auto& before = sides[(i + count - 1) % count];
        bool soft = dot(face_normal(*before), face_normal(*sides[i])) >= kSmoothTurnCos;
        if (!soft && count >= static_cast<std::size_t>(kSmoothRingMinVertices) &&
            turn[i] < kSmoothMaxTurnDeg) {
            double sum = 0.0;
            for (int k = -kSmoothMeanWindow / 2; k <= kSmoothMeanWindow / 2; ++k) {
                sum += turn[(i + count + static_cast<std::size_t>(k + static_cast<int>(count))) %
                            count];
            }
            soft = sum / kSmoothMeanWindow < kSmoothMeanTurnDeg;
        }
        if (soft) {
            soften_pair(*this, *before, ring[i], top[i]);
            soften_pair(*this, *sides[i], ring[i], top[i]);
        }
    }

    // A lone face pulled outwards becomes the bottom of a new solid and must face away from it.
    if (!has_neighbour && !inward) reverse_face(face);

    std::vector<VertexId> cap_ring = top;
    if (inward) std::reverse(cap_ring.begin(), cap_ring.end());
    const std::optional<FaceId> cap = add_cap(*this, cap_ring);
    if (cap) copy_look(*this, face, *cap);
    return cap;
}

std::optional<FaceId> Mesh::extrude_face_along_vector(FaceId face, const Vec3& vector) {
    if (!face_usable(face)) return std::nullopt;
    const std::vector<VertexId> ring = face_vertices(face);
    if (ring.size() < 3 || length_squared(vector) < kDegenerateNormalSq) return std::nullopt;
    const auto pos = ring_positions(*this, ring);
    if (!pos) return std::nullopt;
    const Vec3 n = recompute_face_normal(face);
    const std::size_t count = ring.size();
    std::vector<VertexId> top(count);
    for (std::size_t i = 0; i < count; ++i) top[i] = add_vertex((*pos)[i] + vector);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        if (const auto side = add_quad(ring[i], ring[j], top[j], top[i])) {
            copy_look(*this, face, *side);
        }
    }
    if (dot(n, vector) < 0.0f) std::reverse(top.begin(), top.end());
    const std::optional<FaceId> cap = add_cap(*this, top);
    if (cap) copy_look(*this, face, *cap);
    return cap;
}

std::uint64_t Mesh::extrude_faces_along_vector(std::span<const FaceId> faces, const Vec3& vector) {
    std::uint64_t created = 0;
    for (const FaceId f : faces) {
        const std::size_t before = faces_.size();
        if (extrude_face_along_vector(f, vector)) created += faces_.size() - before;
    }
    return created;
}

std::optional<FaceId> Mesh::offset_face(FaceId face, float distance) {
    if (!face_usable(face)) return std::nullopt;
    const std::vector<VertexId> ring = face_vertices(face);
    if (ring.size() < 3) return std::nullopt;
    const auto pos = ring_positions(*this, ring);
    if (!pos) return std::nullopt;
    const Vec3 n = recompute_face_normal(face);
    const auto moved = offset_ring(*pos, n, distance, kOffsetFaceEps);
    if (!moved) return std::nullopt;
    const Face look = faces_[face];
    const std::size_t count = ring.size();
    std::vector<VertexId> inner(count);
    for (std::size_t i = 0; i < count; ++i) inner[i] = add_vertex((*moved)[i]);
    auto dress = [&](FaceId f) {
        set_face_material(f, look.material_id);
        set_face_layer(f, look.layer_id);
        set_face_visible(f, look.visible);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        if (const auto side = add_quad(ring[i], ring[j], inner[j], inner[i])) dress(*side);
    }
    erase_face(face);
    const std::optional<FaceId> made =
        count == 4 ? add_quad(inner[0], inner[1], inner[2], inner[3]) : add_ngon(inner);
    if (made) dress(*made);
    return made;
}

std::optional<FaceId> Mesh::inset_face(FaceId face, float distance) {
    if (!face_usable(face) || distance == 0.0f) return std::nullopt;
    const std::vector<VertexId> ring = face_vertices(face);
    if (ring.size() < 3) return std::nullopt;
    const auto pos = ring_positions(*this, ring);
    if (!pos) return std::nullopt;
    const Vec3 n = recompute_face_normal(face);
    if (length_squared(n) < kDegenerateNormalSq) return std::nullopt;
    const double area = signed_area_about(*pos, n);
    if (std::fabs(area) < kMinInsetArea) return std::nullopt;
    const auto moved = offset_ring(*pos, n, distance, kInsetFaceEps);
    if (!moved) return std::nullopt;
    // An inset that collapsed or turned inside out changes the sign of the area.
    const double moved_area = signed_area_about(*moved, n);
    if (std::fabs(moved_area) < kMinInsetArea || (moved_area > 0.0) != (area > 0.0)) {
        return std::nullopt;
    }
    const Face look = faces_[face];
    std::vector<VertexId> inner;
    inner.reserve(moved->size());
    for (const Vec3& p : *moved) inner.push_back(add_vertex(p));
    const std::optional<FaceId> made = add_ngon(inner);
    if (!made) return std::nullopt;
    set_face_material(*made, look.material_id);
    set_face_layer(*made, look.layer_id);
    set_face_visible(*made, look.visible);
    set_face_extras(*made, look.tag, look.extra_flag_1, look.extra_flag_2);
    return made;
}

}  // namespace korvan
