// Cutting by a plane and capping the section.
//
// The whole-mesh cuts edit a ring snapshot (core/ring_snapshot.h) instead of half-edges and
// then rebuild the topology from it, so every face is relinked at once. Intersection vertices
// come from a seam cache keyed by the crossed edge and the crossing parameter measured from
// the edge's lower vertex id: the two faces on an edge meet the plane at the same key and so
// share one vertex, which is what keeps a closed solid closed. Capping collects the naked
// loops lying in the plane, tells material rings from holes by winding, triangulates each ring
// with its holes and keeps the result only if the mesh comes out closed with a positive volume;
// otherwise it tries the opposite winding and, failing that, rebuilds the untouched snapshot.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "core/polygon_2d.h"

namespace korvan {
namespace {

constexpr float kSideTolerance = 1e-6f;    // closer to the plane than this is on it
constexpr float kMinPlaneNormalSq = 0.5f;  // a normalised normal shorter than this is zero
constexpr float kLoopOnPlaneTolerance = kPointOnPlaneTolerance;
constexpr int kSeamParamShift = 21;  // bits left for the quantised crossing parameter
constexpr double kSeamParamScale = 1048576.0;

std::optional<Vec3> unit_normal(const Vec3& normal) {
    const Vec3 n = normalize(normal);
    if (!(length_squared(n) > kMinPlaneNormalSq)) return std::nullopt;
    return n;
}

float side_of(const Vec3& p, const Vec3& point, const Vec3& n) { return dot(p - point, n); }

// One vertex per crossed (edge, parameter), shared by the faces on that edge.
struct SeamCache {
    std::unordered_map<std::uint64_t, VertexId> vertices;
    std::uint64_t created = 0;
    std::uint64_t shared = 0;
};

std::uint64_t seam_key(EdgeId edge, double t_from_lower) {
    const double t = std::clamp(t_from_lower, 0.0, 1.0);
    return (static_cast<std::uint64_t>(edge) << kSeamParamShift) |
           static_cast<std::uint64_t>(std::llround(t * kSeamParamScale));
}

// Twice the signed area of the ring of positions about the unit direction.
double winding_about(const std::vector<Vec3>& p, const Vec3& dir) {
    DVec3 sum;
    for (std::size_t i = 0; i < p.size(); ++i) {
        sum += cross(DVec3(p[i]), DVec3(p[(i + 1) % p.size()]));
    }
    return dot(sum, DVec3(dir));
}

// Even-odd test of q against the ring, in the plane across `dir`.
bool inside_ring(const std::vector<Vec3>& ring, const Vec3& q, const Vec3& dir) {
    Vec3 u = cross(dir, std::fabs(dir.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0});
    u = normalize(u);
    const Vec3 v = cross(dir, u);
    const float qx = dot(q, u), qy = dot(q, v);
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const float xi = dot(ring[i], u), yi = dot(ring[i], v);
        const float xj = dot(ring[j], u), yj = dot(ring[j], v);
        if ((yi > qy) != (yj > qy) && qx < (xj - xi) * (qy - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
}

}  // namespace

bool Mesh::split_face_by_plane(FaceId face, const Vec3& point, const Vec3& normal) {
    const auto n = unit_normal(normal);
    if (!n || !face_usable(face)) return false;
    const std::vector<VertexId> ring = face_vertices(face);
    const std::size_t count = ring.size();
    if (count < 3) return false;
    std::vector<float> s(count);
    bool above = false, below = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (!vertex_usable(ring[i])) return false;
        s[i] = side_of(vertices_[ring[i]].position, point, *n);
        above = above || s[i] > kSideTolerance;
        below = below || s[i] < -kSideTolerance;
    }
    if (!above || !below) return false;

    std::vector<VertexId> pos, neg;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        if (s[i] >= -kSideTolerance) pos.push_back(ring[i]);
        if (s[i] <= kSideTolerance) neg.push_back(ring[i]);
        const bool crosses = (s[i] > kSideTolerance && s[j] < -kSideTolerance) ||
                             (s[i] < -kSideTolerance && s[j] > kSideTolerance);
        if (!crosses) continue;
        const float t = s[i] / (s[i] - s[j]);
        const Vec3 a = vertices_[ring[i]].position, b = vertices_[ring[j]].position;
        const VertexId v = add_vertex(a + (b - a) * t);
        pos.push_back(v);
        neg.push_back(v);
    }
    const Face look = faces_[face];
    erase_face(face);
    std::vector<FaceId> made;
    for (const auto* half : {&pos, &neg}) {
        if (const auto f = add_ngon(*half)) {
            set_face_material(*f, look.material_id);
            set_face_layer(*f, look.layer_id);
            set_face_visible(*f, look.visible);
            made.push_back(*f);
        }
    }
    // Local linking: each new side meets the other half or an old neighbour running the
    // other way between the same two vertices.
    const std::span<const HalfEdge> he = half_edges_.view();
    auto naked = [&](HalfEdgeId h) {
        const HalfEdgeId t = he[h].twin;
        return t >= he.size() || !face_usable(he[t].face);
    };
    for (const FaceId f : made) {
        for (const HalfEdgeId h : face_half_edges(f)) {
            if (!naked(h)) continue;
            const VertexId a = he[h].origin, b = half_edge_end(h);
            const std::array<VertexId, 2> ends{a, b};
            bool linked = false;
            for (const FaceId g : faces_using_vertices(ends)) {
                if (g == f || linked) continue;
                for (const HalfEdgeId k : face_half_edges(g)) {
                    if (he[k].origin == b && half_edge_end(k) == a && naked(k)) {
                        linked = link_half_edges(h, k);
                        break;
                    }
                }
            }
        }
    }
    mark_changed(kAllTableBits);
    return !made.empty();
}

PlaneSplitReport Mesh::split_by_plane(const Vec3& point, const Vec3& normal) {
    PlaneSplitReport report;
    const auto n = unit_normal(normal);
    if (!n) {
        report.message = "degenerate plane normal";
        return report;
    }
    report.faces_before = alive_face_count();
    RingSnapshot snapshot = snapshot_rings();
    const std::vector<FaceId> order = alive_faces();
    SeamCache cache;
    std::vector<RingFace> out;
    out.reserve(snapshot.faces.size());
    std::vector<float> s;
    for (std::size_t idx = 0; idx < snapshot.faces.size(); ++idx) {
        RingFace& rf = snapshot.faces[idx];
        const std::vector<HalfEdgeId> hes =
            idx < order.size() ? face_half_edges(order[idx]) : std::vector<HalfEdgeId>{};
        const std::size_t count = rf.ring.size();
        bool consistent = hes.size() == count && count >= 3;
        for (std::size_t i = 0; consistent && i < count; ++i) {
            consistent = half_edges_[hes[i]].origin == rf.ring[i] && vertex_usable(rf.ring[i]);
        }
        if (!consistent) {
            out.push_back(std::move(rf));
            continue;
        }
        s.resize(count);
        bool above = false, below = false;
        for (std::size_t i = 0; i < count; ++i) {
            s[i] = side_of(vertices_[rf.ring[i]].position, point, *n);
            above = above || s[i] > kSideTolerance;
            below = below || s[i] < -kSideTolerance;
        }
        if (!above || !below) {
            out.push_back(std::move(rf));
            continue;
        }
        RingFace pos = rf, neg = rf;
        pos.ring.clear();
        neg.ring.clear();
        pos.corners.clear();
        neg.corners.clear();
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t j = (i + 1) % count;
            if (s[i] >= -kSideTolerance) pos.ring.push_back(rf.ring[i]);
            if (s[i] <= kSideTolerance) neg.ring.push_back(rf.ring[i]);
            const bool crosses = (s[i] > kSideTolerance && s[j] < -kSideTolerance) ||
                                 (s[i] < -kSideTolerance && s[j] > kSideTolerance);
            if (!crosses) continue;
            const double t = static_cast<double>(s[i]) / (static_cast<double>(s[i]) - s[j]);
            const VertexId lo = std::min(rf.ring[i], rf.ring[j]);
            const VertexId hi = std::max(rf.ring[i], rf.ring[j]);
            const double t_lo = rf.ring[i] == lo ? t : 1.0 - t;
            const std::uint64_t key = seam_key(half_edges_[hes[i]].edge, t_lo);
            auto [it, fresh] = cache.vertices.try_emplace(key, kInvalidId);
            if (fresh) {
                const Vec3 a = vertices_[lo].position, b = vertices_[hi].position;
                Vec3 p = a + (b - a) * static_cast<float>(t_lo);
                p = p - *n * side_of(p, point, *n);  // exactly on the plane
                it->second = add_vertex(p);
                ++cache.created;
            } else {
                ++cache.shared;
            }
            pos.ring.push_back(it->second);
            neg.ring.push_back(it->second);
        }
        ++report.faces_split;
        out.push_back(std::move(pos));
        out.push_back(std::move(neg));
    }
    if (report.faces_split == 0) {
        report.message = "the plane crosses no face";
        report.faces_after = report.faces_before;
        report.naked_after = naked_edge_count();
        return report;
    }
    snapshot.faces = std::move(out);
    rebuild_from_rings(snapshot);
    report.ok = true;
    report.faces_after = alive_face_count();
    report.seam_vertices = cache.created;
    report.seam_shared = cache.shared;
    report.naked_after = naked_edge_count();
    return report;
}

PlaneCapReport Mesh::cap_boundary_on_plane(const Vec3& point, const Vec3& normal,
                                           std::optional<Vec3> outward) {
    PlaneCapReport report;
    auto positions_of = [&](const std::vector<VertexId>& ids) {
        std::vector<Vec3> out;
        out.reserve(ids.size());
        for (const VertexId v : ids) out.push_back(vertices_[v].position);
        return out;
    };
    const auto n = unit_normal(normal);
    const auto out_dir = unit_normal(outward.value_or(normal));
    if (!n || !out_dir) {
        report.naked_after = naked_edge_count();
        return report;
    }
    // Material rings and holes. Material runs one way round the plane normal on a
    // consistently wound solid and voids the other; the loop of greatest area is material,
    // whichever way the caller says is out.
    std::vector<std::vector<VertexId>> loops;
    std::vector<double> winding;
    for (std::vector<VertexId>& loop : boundary_loops()) {
        bool on_plane = loop.size() >= 3;
        for (const VertexId v : loop) {
            on_plane =
                on_plane && vertex_usable(v) &&
                std::fabs(side_of(vertices_[v].position, point, *n)) <= kLoopOnPlaneTolerance;
        }
        if (!on_plane) continue;
        winding.push_back(winding_about(positions_of(loop), *n));
        loops.push_back(std::move(loop));
    }
    std::size_t largest = 0;
    for (std::size_t i = 1; i < loops.size(); ++i) {
        if (std::fabs(winding[i]) > std::fabs(winding[largest])) largest = i;
    }
    std::vector<std::vector<VertexId>> rings, holes;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        const bool material = (winding[i] >= 0.0) == (winding[largest] >= 0.0);
        (material ? rings : holes).push_back(std::move(loops[i]));
    }
    if (rings.empty()) {
        report.naked_after = naked_edge_count();
        return report;
    }
    // Each hole goes to the smallest ring that contains its first point.
    std::vector<std::vector<std::size_t>> ring_holes(rings.size());
    std::vector<double> ring_area(rings.size());
    for (std::size_t r = 0; r < rings.size(); ++r) {
        ring_area[r] = std::fabs(winding_about(positions_of(rings[r]), *n));
    }
    for (std::size_t h = 0; h < holes.size(); ++h) {
        const Vec3 q = vertices_[holes[h].front()].position;
        std::size_t best = rings.size();
        for (std::size_t r = 0; r < rings.size(); ++r) {
            if (!inside_ring(positions_of(rings[r]), q, *n)) continue;
            if (best == rings.size() || ring_area[r] < ring_area[best]) best = r;
        }
        if (best < rings.size()) ring_holes[best].push_back(h);
    }
    std::vector<std::array<VertexId, 3>> triangles;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        std::vector<VertexId> ids = rings[r];
        std::vector<std::vector<Vec3>> hole_points;
        for (const std::size_t h : ring_holes[r]) {
            hole_points.push_back(positions_of(holes[h]));
            ids.insert(ids.end(), holes[h].begin(), holes[h].end());
        }
        const std::vector<Vec3> outer = positions_of(rings[r]);
        std::vector<IndexTriangle> tris = triangulate_polygon_2d(outer, hole_points);
        if (tris.empty()) {
            for (std::uint32_t k = 2; k < outer.size(); ++k) tris.push_back({0, k - 1, k});
        }
        for (const IndexTriangle& t : tris) {
            std::array<VertexId, 3> tri{ids[t[0]], ids[t[1]], ids[t[2]]};
            const Vec3 a = vertices_[tri[0]].position;
            const Vec3 face_n =
                cross(vertices_[tri[1]].position - a, vertices_[tri[2]].position - a);
            if (dot(face_n, *out_dir) < 0.0f) std::swap(tri[1], tri[2]);
            triangles.push_back(tri);
        }
    }

    const RingSnapshot original = snapshot_rings();
    auto attempt = [&](bool reversed) {
        RingSnapshot trial = original;
        for (const auto& tri : triangles) {
            RingFace rf;
            rf.ring = reversed ? std::vector<VertexId>{tri[0], tri[2], tri[1]}
                               : std::vector<VertexId>{tri[0], tri[1], tri[2]};
            trial.faces.push_back(std::move(rf));
        }
        rebuild_from_rings(trial);
        return naked_edge_count() == 0 && signed_volume() > 0.0f;
    };
    if (attempt(false) || (report.reversed = attempt(true))) {
        report.loops_capped = rings.size() + holes.size();
        report.triangles = triangles.size();
    } else {
        report.reversed = false;
        rebuild_from_rings(original);
    }
    report.naked_after = naked_edge_count();
    return report;
}

PlaneSliceReport Mesh::slice_by_plane(const Vec3& point, const Vec3& normal, bool keep_positive,
                                      bool cap) {
    PlaneSliceReport report;
    const auto n = unit_normal(normal);
    if (!n) {
        report.message = "degenerate plane normal";
        return report;
    }
    report.volume_before = std::fabs(signed_volume());
    const PlaneSplitReport split = split_by_plane(point, *n);
    report.faces_split = split.faces_split;

    RingSnapshot snapshot = snapshot_rings();
    const std::size_t before = snapshot.faces.size();
    std::erase_if(snapshot.faces, [&](const RingFace& rf) {
        bool pos = false, neg = false;
        for (const VertexId v : rf.ring) {
            if (!vertex_usable(v)) continue;
            const float s = side_of(vertices_[v].position, point, *n);
            pos = pos || s > kSideTolerance;
            neg = neg || s < -kSideTolerance;
        }
        return keep_positive ? (neg && !pos) : (pos && !neg);
    });
    report.faces_removed = before - snapshot.faces.size();
    if (report.faces_removed > 0) rebuild_from_rings(snapshot);
    if (report.faces_split == 0 && report.faces_removed == 0) {
        report.message = "the plane neither cuts nor discards anything";
        report.volume_after = report.volume_before;
        report.naked_after = naked_edge_count();
        return report;
    }
    report.ok = true;
    if (cap) {
        const PlaneCapReport closed = cap_boundary_on_plane(point, *n, keep_positive ? -*n : *n);
        report.loops_capped = closed.loops_capped;
        report.triangles = closed.triangles;
        report.cap_reversed = closed.reversed;
    }
    report.volume_after = std::fabs(signed_volume());
    report.naked_after = naked_edge_count();
    return report;
}

}  // namespace korvan
