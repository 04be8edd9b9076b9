#include "core/mesh_sweep.h"

// Sweeping a face along a path.
//
// Notation: C(j) are the path points, T(s) the unit direction of segment s (from C(s) to
// C(s + 1)), D(s, k) the offset of ring vertex k from the path in segment s's frame. D(0, k)
// is the face's vertex minus C(0); D(s, k) is D(s - 1, k) turned by the least rotation taking
// T(s - 1) onto T(s) (about their cross product), which is the discrete rotation-minimising
// frame: the ring never twists about the path. The section at an inner corner j is the ring
// of segment j - 1 slid along T(j - 1) onto the mitre plane through C(j) whose normal is
// T(j - 1) + T(j); by symmetry the ring of segment j lands on the same points. The last
// section is the ring of the last segment at the path's end. Rotations run in doubles so long
// paths do not drift.

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "core/mesh_local_link.h"
#include "core/planar_ring.h"

namespace korvan {
namespace {

constexpr double kMinSegment = 1e-5;
constexpr double kLoopGap = kWeldTolerance;  // an end this close to the start closes the path
constexpr double kMinAlongNormal = 0.05;     // |cos| between the first segment and the normal
constexpr double kDoubleBackCos = -0.95;     // a turn sharper than this cannot be mitred
constexpr double kStraightSinSq = 1e-18;     // turns below this are straight on

DVec3 unit(const DVec3& v) {
    const double len = std::sqrt(dot(v, v));
    return len > 0.0 ? v * (1.0 / len) : DVec3{};
}

// The least rotation taking unit a onto unit b, applied to v.
DVec3 turn(const DVec3& a, const DVec3& b, const DVec3& v) {
    const DVec3 axis = cross(a, b);
    const double s2 = dot(axis, axis);
    if (s2 < kStraightSinSq) return v;
    const double s = std::sqrt(s2), c = dot(a, b);
    const DVec3 k = axis * (1.0 / s);
    return v * c + cross(k, v) * s + k * (dot(k, v) * (1.0 - c));
}

}  // namespace

SweepReport sweep_face_along_path(Mesh& mesh, FaceId face, std::span<const Vec3> path) {
    SweepReport report;
    if (!mesh.face_usable(face)) {
        report.message = "invalid/dead face";
        return report;
    }
    const std::vector<VertexId> ring = mesh.face_vertices(face);
    std::vector<Vec3> profile;
    for (const VertexId v : ring) {
        if (!mesh.vertex_usable(v)) break;
        profile.push_back(mesh.vertices()[v].position);
    }
    const Vec3 normal = ring_normal_of(profile);
    if (ring.size() < 3 || profile.size() != ring.size() ||
        static_cast<double>(length_squared(normal)) < kDegenerateNormalSq) {
        report.message = "the face has <3 vertices or a degenerate normal";
        return report;
    }

    std::vector<DVec3> points;
    for (const Vec3& p : path) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            report.message = "the path has a point that is not a finite number";
            return report;
        }
        const DVec3 q(p);
        if (!points.empty()) {
            const DVec3 d = q - points.back();
            if (dot(d, d) <= kMinSegment * kMinSegment) continue;
        }
        points.push_back(q);
    }
    if (points.size() < 2) {
        report.message = "the path needs two or more distinct points";
        return report;
    }
    {
        // A loop would end on its own start, the end cap on the face: two faces in one place.
        const DVec3 gap = points.back() - points.front();
        if (points.size() > 2 && dot(gap, gap) <= kLoopGap * kLoopGap) {
            report.message = "the path closes on itself; only open paths are swept";
            return report;
        }
    }
    const std::size_t segments = points.size() - 1;
    std::vector<DVec3> dirs;
    for (std::size_t s = 0; s < segments; ++s) dirs.push_back(unit(points[s + 1] - points[s]));
    for (std::size_t s = 1; s < segments; ++s) {
        if (dot(dirs[s - 1], dirs[s]) < kDoubleBackCos) {
            report.message = "the path turns back on itself";
            return report;
        }
    }
    const DVec3 n = unit(DVec3(normal));
    const double along = dot(n, dirs[0]);
    if (std::fabs(along) < kMinAlongNormal) {
        report.message = "the path starts along the face's plane";
        return report;
    }
    const bool forward = along > 0.0;  // sweeping the way the face looks

    // Sections 1..segments as positions; section 0 is the face's own ring.
    const std::size_t m = ring.size();
    std::vector<DVec3> offsets(m);
    for (std::size_t k = 0; k < m; ++k) offsets[k] = DVec3(profile[k]) - points[0];
    std::vector<std::vector<Vec3>> sections;
    for (std::size_t j = 1; j <= segments; ++j) {
        const DVec3& t_in = dirs[j - 1];
        std::vector<Vec3> section(m);
        if (j == segments) {
            for (std::size_t k = 0; k < m; ++k) section[k] = (points[j] + offsets[k]).to_vec3();
        } else {
            const DVec3 mitre = unit(t_in + dirs[j]);
            const double slide = dot(t_in, mitre);
            for (std::size_t k = 0; k < m; ++k) {
                const double lambda = -dot(offsets[k], mitre) / slide;
                section[k] = (points[j] + offsets[k] + t_in * lambda).to_vec3();
            }
            for (DVec3& d : offsets) d = turn(t_in, dirs[j], d);
        }
        sections.push_back(std::move(section));
    }

    bool lone = true;
    {
        const auto he = mesh.half_edges();
        for (const HalfEdgeId h : mesh.face_half_edges(face)) {
            const HalfEdgeId t = he[h].twin;
            if (t < he.size() && mesh.face_usable(he[t].face)) lone = false;
        }
    }

    // Everything is checked; from here on the mesh changes.
    std::vector<std::vector<VertexId>> ids{ring};
    for (const std::vector<Vec3>& section : sections) {
        std::vector<VertexId> row;
        for (const Vec3& p : section) row.push_back(mesh.add_vertex(p));
        ids.push_back(std::move(row));
    }
    const Face look = mesh.faces()[face];
    std::vector<FaceId> made;
    auto dress = [&](std::optional<FaceId> f) {
        if (!f) return;
        Face& nf = mesh.face_mut(*f);
        nf.material_id = look.material_id;
        nf.layer_id = look.layer_id;
        nf.visible = look.visible;
        made.push_back(*f);
    };
    // side[s * m + k] is the quad between sections s and s + 1 over ring side k.
    std::vector<FaceId> side(segments * m, kInvalidId);
    for (std::size_t s = 0; s < segments; ++s) {
        for (std::size_t k = 0; k < m; ++k) {
            const std::size_t l = (k + 1) % m;
            const VertexId a = ids[s][k], b = ids[s][l], c = ids[s + 1][l], d = ids[s + 1][k];
            const std::optional<FaceId> q =
                forward ? mesh.add_quad(a, b, c, d) : mesh.add_quad(b, a, d, c);
            if (q) side[s * m + k] = *q;
            dress(q);
        }
    }
    std::vector<VertexId> cap = ids.back();
    if (!forward) std::reverse(cap.begin(), cap.end());
    const std::optional<FaceId> end = mesh.add_ngon(cap);
    dress(end);
    if (lone && forward) mesh.reverse_face(face);
    made.push_back(face);
    link_faces_locally(mesh, made);

    // Soft edges: along the path where the ring turns gently, across it where the path does.
    auto soften_between = [&](FaceId f, VertexId from, VertexId to) {
        if (f == kInvalidId) return;
        for (const HalfEdgeId h : mesh.face_half_edges(f)) {
            const auto he = mesh.half_edges();
            const bool match = (he[h].origin == from && mesh.half_edge_end(h) == to) ||
                               (he[h].origin == to && mesh.half_edge_end(h) == from);
            if (!match || he[h].edge >= mesh.edges().size()) continue;
            Edge& e = mesh.edge_mut(he[h].edge);
            if (!e.soft) {
                e.soft = true;
                ++report.soft_edges;
            }
        }
    };
    for (std::size_t k = 0; k < m; ++k) {
        const DVec3 in = unit(DVec3(profile[k]) - DVec3(profile[(k + m - 1) % m]));
        const DVec3 out = unit(DVec3(profile[(k + 1) % m]) - DVec3(profile[k]));
        if (dot(in, out) < kSmoothTurnCos) continue;
        for (std::size_t s = 0; s < segments; ++s)
            soften_between(side[s * m + k], ids[s][k], ids[s + 1][k]);
    }
    for (std::size_t j = 1; j < segments; ++j) {
        if (dot(dirs[j - 1], dirs[j]) < kSmoothTurnCos) continue;
        for (std::size_t k = 0; k < m; ++k)
            soften_between(side[j * m + k], ids[j][k], ids[j][(k + 1) % m]);
    }
    mesh.mark_changed(kAllTableBits);

    report.ok = true;
    report.sections = ids.size();
    report.faces_made = made.size() - 1;
    report.end_cap = end.value_or(kInvalidId);
    return report;
}

}  // namespace korvan
