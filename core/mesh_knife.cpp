#include "core/mesh_knife.h"

// Knife cuts.
//
// Vertices inside edges come from Mesh::split_edge, keyed like the plane cut's seam vertices
// (the edge id and the quantised crossing parameter measured from its lower vertex id), so a
// key met twice gives one vertex. split_edge and split_face_with_edge rebuild the faces they
// touch as islands; each is relinked to its neighbours at once, because a later split of an
// unlinked side would reach only one of its two faces and leave a crack.
//
// Faces are found again after every edit through the spatial index (edits renumber the faces
// they rebuild): a segment is clipped to each candidate face, and the first stretch whose
// middle lies strictly inside a face is cut, after first giving both of its ends vertices on
// the face's ring. A stretch that has been cut lies on an edge, so the search ends.

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/box.h"
#include "core/dvec3.h"
#include "core/mesh.h"
#include "core/mesh_local_link.h"
#include "core/planar_ring.h"
#include "core/spatial_index.h"

namespace korvan {
namespace {

constexpr float kEdgeReach = 1e-3f;    // half-size of the box a path point looks in
constexpr float kInteriorMin = 1e-4f;  // a T-vertex lands strictly inside (t, 1 - t)
constexpr double kMinEdgeLengthSq = 1e-20;
constexpr double kOnPlane = kPointOnPlaneTolerance;
constexpr double kOnBorder = kWeldTolerance;
constexpr double kMinStretch = 1e-5;  // shorter clipped stretches are not cut
constexpr int kSeamParamShift = 21;
constexpr double kSeamParamScale = 1048576.0;
constexpr std::size_t kStepsPerSegment = 4096;  // guards against a cut that never settles

std::uint64_t seam_key(EdgeId edge, double t_from_lower) {
    const double t = std::clamp(t_from_lower, 0.0, 1.0);
    return (static_cast<std::uint64_t>(edge) << kSeamParamShift) |
           static_cast<std::uint64_t>(std::llround(t * kSeamParamScale));
}

Aabb box_around(const Vec3& a, const Vec3& b, float grow) {
    Aabb box;
    box.expand(a);
    box.expand(b);
    box.min -= Vec3{grow, grow, grow};
    box.max += Vec3{grow, grow, grow};
    return box;
}

// A stretch of a segment inside one face, its ends on the face's border.
struct Stretch {
    FaceId face = kInvalidId;
    Vec3 ends[2];
};

class Knife {
  public:
    explicit Knife(Mesh& mesh) : mesh_(mesh) {}

    KnifeReport run(std::span<const Vec3> path) {
        std::vector<Vec3> points;
        for (const Vec3& p : path) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                report_.message = "the path has a point that is not a finite number";
                return report_;
            }
            if (points.empty() || length(p - points.back()) > kMinStretch) points.push_back(p);
        }
        if (points.size() < 2) {
            report_.message = "the path needs two or more distinct points";
            return report_;
        }
        for (const Vec3& p : points) mark_point(p);
        for (std::size_t i = 0; i + 1 < points.size(); ++i) cut_segment(points[i], points[i + 1]);
        if (report_.faces_cut == 0) {
            report_.message = "the path cuts no face";
            return report_;
        }
        report_.ok = true;
        return report_;
    }

  private:
    // A vertex at p inside the edge, made once per (edge, parameter) key; nothing when p is
    // off the edge or at one of its ends.
    std::optional<VertexId> vertex_on_edge(EdgeId edge, const Vec3& p) {
        if (!mesh_.edge_usable(edge)) return std::nullopt;
        const auto ends = mesh_.edge_vertices(edge);
        if (!mesh_.vertex_usable(ends[0]) || !mesh_.vertex_usable(ends[1])) return std::nullopt;
        const DVec3 a(mesh_.vertices()[ends[0]].position), b(mesh_.vertices()[ends[1]].position);
        const DVec3 ab = b - a;
        const double len2 = dot(ab, ab);
        if (len2 < kMinEdgeLengthSq) return std::nullopt;
        const double t = dot(DVec3(p) - a, ab) / len2;
        if (!(t > kInteriorMin && t < 1.0 - kInteriorMin)) return std::nullopt;
        const DVec3 off = a + ab * t - DVec3(p);
        if (dot(off, off) > double{kEdgeReach} * kEdgeReach) return std::nullopt;
        const double t_lo = ends[0] < ends[1] ? t : 1.0 - t;
        const std::uint64_t key = seam_key(edge, t_lo);
        if (const auto it = seam_.find(key); it != seam_.end() && mesh_.vertex_usable(it->second)) {
            ++report_.reused;
            return it->second;
        }
        const std::size_t first_new = mesh_.faces().size();
        const std::optional<VertexId> v = mesh_.split_edge(edge, static_cast<float>(t));
        if (!v) return std::nullopt;
        relink_from(first_new);
        seam_[key] = *v;
        made_.push_back(*v);
        ++report_.t_vertices;
        return v;
    }

    void relink_from(std::size_t first_new) {
        std::vector<FaceId> fresh;
        for (std::size_t f = first_new; f < mesh_.faces().size(); ++f) {
            fresh.push_back(static_cast<FaceId>(f));
        }
        link_faces_locally(mesh_, fresh);
    }

    // A path point on an edge becomes a vertex there; one that comes back to a vertex this
    // knife made counts as reusing it.
    void mark_point(const Vec3& p) {
        for (const VertexId v : made_) {
            if (mesh_.vertex_usable(v) &&
                length(mesh_.vertices()[v].position - p) <= static_cast<float>(kOnBorder)) {
                ++report_.reused;
                return;
            }
        }
        const auto index = mesh_.spatial_index();
        for (const EdgeId e : index->edges_in_box(box_around(p, p, kEdgeReach))) {
            vertex_on_edge(e, p);
        }
    }

    // The first stretch of a-b that lies strictly inside a face and has not been cut yet.
    std::optional<Stretch> next_stretch(const Vec3& a, const Vec3& b) {
        const auto index = mesh_.spatial_index();
        for (const FaceId f : index->faces_in_box(box_around(a, b, kOnBorder))) {
            if (!mesh_.face_usable(f) || skipped_.count(f) != 0) continue;
            const std::vector<VertexId> ids = mesh_.face_vertices(f);
            if (ids.size() < 3) continue;
            std::vector<Vec3> pts;
            DVec3 sum;
            for (const VertexId v : ids) {
                pts.push_back(mesh_.vertices()[v].position);
                sum += DVec3(pts.back());
            }
            const Vec3 n = ring_normal_of(pts);
            if (static_cast<double>(length_squared(n)) < kDegenerateNormalSq) continue;
            const PlaneFrame frame = frame_about(
                (sum * (1.0 / static_cast<double>(ids.size()))).to_vec3(), normalize(n));
            if (std::fabs(frame.height_of(a)) > kOnPlane ||
                std::fabs(frame.height_of(b)) > kOnPlane) {
                continue;
            }
            std::vector<Point2> ring;
            for (const Vec3& p : pts) ring.push_back(frame.to_2d(p));
            if (auto s = clip(ring, frame.to_2d(a), frame.to_2d(b))) {
                const DVec3 da(a), ab = DVec3(b) - DVec3(a);
                return Stretch{f, {(da + ab * s->x).to_vec3(), (da + ab * s->y).to_vec3()}};
            }
        }
        return std::nullopt;
    }

    // Parameters (as x, y) of the first stretch of a-b strictly inside the ring with both
    // ends on its border.
    static std::optional<Point2> clip(const std::vector<Point2>& ring, const Point2& a,
                                      const Point2& b) {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len = std::sqrt(dx * dx + dy * dy);
        std::vector<double> cuts{0.0, 1.0};
        const std::size_t n = ring.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Point2& p = ring[i];
            const Point2& q = ring[(i + 1) % n];
            // Ring corners on the segment split it there.
            const double s = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (len * len);
            if (s > 0.0 && s < 1.0 && distance_to_segment(p, a, b) <= kOnBorder) cuts.push_back(s);
            const double ex = q.x - p.x, ey = q.y - p.y;
            const double denom = dx * ey - dy * ex;
            if (std::fabs(denom) < 1e-18) continue;
            const double t = ((p.x - a.x) * ey - (p.y - a.y) * ex) / denom;
            const double u = ((p.x - a.x) * dy - (p.y - a.y) * dx) / denom;
            if (t > 0.0 && t < 1.0 && u >= 0.0 && u <= 1.0) cuts.push_back(t);
        }
        std::sort(cuts.begin(), cuts.end());
        auto at = [&](double s) { return Point2{a.x + dx * s, a.y + dy * s}; };
        auto border_distance = [&](const Point2& p) {
            double best = distance_to_segment(p, ring[n - 1], ring[0]);
            for (std::size_t i = 0; i + 1 < n; ++i) {
                best = std::min(best, distance_to_segment(p, ring[i], ring[i + 1]));
            }
            return best;
        };
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            const double s0 = cuts[i], s1 = cuts[i + 1];
            if ((s1 - s0) * len < kMinStretch) continue;
            const Point2 mid = at((s0 + s1) * 0.5);
            if (!point_in_ring(ring, mid) || border_distance(mid) <= kOnBorder) continue;
            if (border_distance(at(s0)) > kOnBorder || border_distance(at(s1)) > kOnBorder) {
                continue;
            }
            return Point2{s0, s1};
        }
        return std::nullopt;
    }

    // The ring vertex at p, or a new one inside the ring side under p; nothing when p is on
    // neither.
    std::optional<VertexId> ring_vertex_at(FaceId face, const Vec3& p) {
        const std::vector<HalfEdgeId> sides = mesh_.face_half_edges(face);
        for (const HalfEdgeId h : sides) {
            const VertexId v = mesh_.half_edges()[h].origin;
            if (length(mesh_.vertices()[v].position - p) <= static_cast<float>(kOnBorder)) return v;
        }
        for (const HalfEdgeId h : sides) {
            if (auto v = vertex_on_edge(mesh_.half_edges()[h].edge, p)) return v;
        }
        return std::nullopt;
    }

    void cut_segment(const Vec3& a, const Vec3& b) {
        skipped_.clear();
        for (std::size_t step = 0; step < kStepsPerSegment; ++step) {
            const std::optional<Stretch> s = next_stretch(a, b);
            if (!s) return;
            const std::size_t faces_before = mesh_.faces().size();
            const std::optional<VertexId> v0 = ring_vertex_at(s->face, s->ends[0]);
            const std::optional<VertexId> v1 = ring_vertex_at(s->face, s->ends[1]);
            if (!v0 || !v1 || *v0 == *v1) {
                // Retry a face that was rebuilt on the way; give up on one that was not.
                if (mesh_.faces().size() == faces_before) skipped_[s->face] = 1;
                continue;
            }
            // A new T-vertex rebuilt the face under a new id: look it up again.
            if (mesh_.faces().size() != faces_before) continue;
            const std::optional<FaceId> cut = mesh_.split_face_with_edge(
                s->face, mesh_.vertices()[*v0].position, mesh_.vertices()[*v1].position);
            if (!cut) {
                skipped_[s->face] = 1;
                continue;
            }
            ++report_.faces_cut;
            relink_from(faces_before);
        }
    }

    Mesh& mesh_;
    KnifeReport report_;
    std::unordered_map<std::uint64_t, VertexId> seam_;
    std::vector<VertexId> made_;
    std::unordered_map<FaceId, std::uint8_t> skipped_;
};

}  // namespace

KnifeReport knife_path(Mesh& mesh, std::span<const Vec3> path) {
    MeshJournal journal;
    mesh.attach(journal);
    KnifeReport report = Knife(mesh).run(path);
    mesh.detach(journal);
    if (!report.ok) mesh.restore(journal);
    return report;
}

}  // namespace korvan
