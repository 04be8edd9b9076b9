#include "document/dimension_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

#include "core/box.h"
#include "core/mesh.h"
#include "core/spatial_index.h"
#include "core/tolerances.h"

namespace korvan {
namespace {

// A crossing point this close to a face's outline counts as inside, so a ray through the edge
// between two faces meets both (and the two then merge into one crossing).
constexpr double kOnOutline = 1e-5;
// |cos| between the segment and a face's plane below which the segment runs along the plane.
constexpr double kParallelCos = 1e-6;
// Shorter than this is no length at all.
constexpr double kSameLength = 1e-6;
// Face extents whose ends are this close are one extent: coordinates of a few metres carry
// float rounding of about 1e-6.
constexpr double kSameExtent = 1e-5;
// A dimension whose stored value differs from its current length by more is out of date.
constexpr double kStaleValue = 1e-4;

struct D3 {
    double x = 0, y = 0, z = 0;
};
D3 d3(const Vec3& v) { return {v.x, v.y, v.z}; }
Vec3 f3(const D3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}
D3 sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 add(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 mul(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double len(const D3& a) { return std::sqrt(dot(a, a)); }
D3 unit(const D3& a) {
    const double l = len(a);
    return l > 0 ? mul(a, 1.0 / l) : D3{};
}

double distance_to_segment(const D3& q, const D3& p, const D3& r) {
    const D3 pr = sub(r, p);
    const double ll = dot(pr, pr);
    double t = ll > 0 ? dot(sub(q, p), pr) / ll : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return len(sub(q, add(p, mul(pr, t))));
}

// Whether q, a point of the ring's plane, lies inside the ring or on its outline. The ring is
// projected onto the coordinate plane the normal is most nearly perpendicular to and tested
// by the even-odd rule.
bool ring_contains(const Mesh& mesh, const std::vector<VertexId>& ring, const D3& n, const D3& q) {
    const auto verts = mesh.vertices();
    const std::size_t count = ring.size();
    for (std::size_t i = 0; i < count; ++i) {
        const D3 p = d3(verts[ring[i]].position), r = d3(verts[ring[(i + 1) % count]].position);
        if (distance_to_segment(q, p, r) <= kOnOutline) return true;
    }
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    auto uv = [&](const D3& p) -> std::pair<double, double> {
        if (ax >= ay && ax >= az) return {p.y, p.z};
        if (ay >= az) return {p.z, p.x};
        return {p.x, p.y};
    };
    const auto [qu, qv] = uv(q);
    bool inside = false;
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        const auto [iu, iv] = uv(d3(verts[ring[i]].position));
        const auto [ju, jv] = uv(d3(verts[ring[j]].position));
        if ((iv > qv) != (jv > qv) && qu < (ju - iu) * (qv - iv) / (jv - iv) + iu) inside = !inside;
    }
    return inside;
}

Dimension make_dimension(const D3& a, const D3& b, const D3& offset) {
    Dimension dim;
    dim.a = f3(a);
    dim.b = f3(b);
    dim.value = static_cast<float>(len(sub(b, a)));
    dim.direction = f3(offset);
    dim.label = dimension_label(dim.value);
    return dim;
}

DimensionAnchor face_anchor(FaceId face) {
    DimensionAnchor anchor;
    anchor.kind = kDimensionAnchorFace;
    anchor.id = face;
    return anchor;
}

// A unit vector perpendicular to `dir`, horizontal where `dir` allows.
D3 side_of(const D3& dir) {
    D3 side = cross(D3{0, 0, 1}, dir);
    if (len(side) < 1e-3) side = cross(dir, D3{1, 0, 0});
    return unit(side);
}

}  // namespace

std::vector<RayCrossing> segment_face_crossings(Mesh& mesh, const Vec3& a, const Vec3& b) {
    const D3 da = d3(a), dir = sub(d3(b), da);
    const double dir_len = len(dir);
    if (!(dir_len > 0)) return {};
    Aabb box;
    box.expand(a);
    box.expand(b);
    const std::shared_ptr<const MeshSpatialIndex> index = mesh.spatial_index();
    std::vector<RayCrossing> hits;
    const double t_slack = kOnOutline / dir_len;
    for (FaceId f : index->faces_in_box(box)) {
        if (!mesh.face_usable(f)) continue;
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        const D3 n = d3(mesh.face_normal(f));
        if (ring.size() < 3 || dot(n, n) < kDegenerateNormalSq) continue;
        const double denom = dot(n, dir);
        if (std::fabs(denom) < kParallelCos * dir_len * len(n)) continue;
        const D3 on_plane = d3(mesh.vertices()[ring[0]].position);
        double t = dot(n, sub(on_plane, da)) / denom;
        if (t < -t_slack || t > 1.0 + t_slack) continue;
        t = std::clamp(t, 0.0, 1.0);
        const D3 q = add(da, mul(dir, t));
        if (!ring_contains(mesh, ring, n, q)) continue;
        hits.push_back({static_cast<float>(t), f3(q), f});
    }
    std::sort(hits.begin(), hits.end(), [](const RayCrossing& x, const RayCrossing& y) {
        return x.t != y.t ? x.t < y.t : x.face < y.face;
    });
    std::vector<RayCrossing> out;
    for (const RayCrossing& hit : hits) {
        if (!out.empty() && len(sub(d3(hit.point), d3(out.back().point))) <= kWeldTolerance) {
            out.back().face = std::min(out.back().face, hit.face);
            continue;
        }
        out.push_back(hit);
    }
    return out;
}

std::string dimension_label(float metres) {
    char buf[32];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, metres, std::chars_format::general, 6);
    std::string out(buf, ec == std::errc{} ? end : buf);
    out += " m";
    return out;
}

ChainPlan plan_chain_dimensions(Mesh& mesh, const Vec3& a, const Vec3& b, float offset,
                                bool overall) {
    ChainPlan plan;
    plan.crossings = segment_face_crossings(mesh, a, b);
    const auto& hits = plan.crossings;
    if (hits.size() < 2) return plan;
    const D3 side = side_of(unit(sub(d3(b), d3(a))));
    const D3 row = mul(side, offset);
    for (std::size_t i = 0; i + 1 < hits.size(); ++i) {
        Dimension dim = make_dimension(d3(hits[i].point), d3(hits[i + 1].point), row);
        dim.anchor_a = face_anchor(hits[i].face);
        dim.anchor_b = face_anchor(hits[i + 1].face);
        plan.dimensions.push_back(std::move(dim));
    }
    if (overall && hits.size() >= 3) {
        Dimension dim =
            make_dimension(d3(hits.front().point), d3(hits.back().point), mul(side, 2.0 * offset));
        dim.anchor_a = face_anchor(hits.front().face);
        dim.anchor_b = face_anchor(hits.back().face);
        plan.dimensions.push_back(std::move(dim));
    }
    return plan;
}

AutoDimPlan plan_auto_dimensions(const Mesh& mesh, const Vec3& axis, float offset, float pitch) {
    AutoDimPlan plan;
    const D3 u = unit(d3(axis));
    if (len(u) == 0) return plan;
    const D3 v = side_of(u), w = cross(u, v);

    struct Extent {
        double lo, hi;
    };
    std::vector<Extent> extents;
    double v_min = 0, w_min = 0;
    bool any_vertex = false;
    for (FaceId f = 0; f < mesh.faces().size(); ++f) {
        if (!mesh.faces()[f].alive) continue;
        ++plan.faces;
        double lo = 0, hi = 0;
        bool first = true;
        for (VertexId vid : mesh.face_vertices(f)) {
            const D3 p = d3(mesh.vertices()[vid].position);
            const double s = dot(p, u), pv = dot(p, v), pw = dot(p, w);
            lo = first ? s : std::min(lo, s);
            hi = first ? s : std::max(hi, s);
            first = false;
            v_min = any_vertex ? std::min(v_min, pv) : pv;
            w_min = any_vertex ? std::min(w_min, pw) : pw;
            any_vertex = true;
        }
        if (!first && hi - lo >= kSameLength) extents.push_back({lo, hi});
    }
    std::sort(extents.begin(), extents.end(), [](const Extent& x, const Extent& y) {
        return x.lo != y.lo ? x.lo < y.lo : x.hi < y.hi;
    });
    std::vector<double> row_ends;
    std::vector<Extent> kept;
    for (const Extent& e : extents) {
        // Sorted by start, so an equal extent already kept is among the last few whose start
        // is within the tolerance.
        bool seen = false;
        for (auto k = kept.rbegin(); k != kept.rend() && e.lo - k->lo <= kSameExtent; ++k) {
            seen = seen || std::fabs(e.hi - k->hi) <= kSameExtent;
        }
        if (seen) continue;
        kept.push_back(e);
        std::size_t r = 0;
        while (r < row_ends.size() && row_ends[r] > e.lo + kSameExtent) ++r;
        if (r == row_ends.size()) row_ends.push_back(e.hi);
        row_ends[r] = e.hi;
        const D3 base = add(mul(v, v_min), mul(w, w_min));
        const D3 shift = mul(v, -(static_cast<double>(offset) + static_cast<double>(pitch) * r));
        plan.dimensions.push_back(
            make_dimension(add(base, mul(u, e.lo)), add(base, mul(u, e.hi)), shift));
    }
    plan.rows = static_cast<std::uint32_t>(row_ends.size());
    return plan;
}

ReanchorReport reanchor_dimensions(Mesh& mesh, bool fix) {
    ReanchorReport report;
    const DimensionAnchor none;
    for (std::size_t i = 0; i < mesh.dimensions().size(); ++i) {
        ++report.dims;
        const Dimension& dim = mesh.dimensions()[i];
        if (dim.anchor_a == none && dim.anchor_b == none) continue;
        ++report.associative;

        struct End {
            const DimensionAnchor* anchor;
            D3 point;
            D3 normal{};
            D3 centre{};
        };
        End ends[2] = {{&dim.anchor_a, d3(dim.a)}, {&dim.anchor_b, d3(dim.b)}};
        bool dangling = false, stale = false;
        for (End& end : ends) {
            if (end.anchor->kind != kDimensionAnchorFace) continue;
            const FaceId f = end.anchor->id;
            end.normal = mesh.face_usable(f) ? d3(mesh.face_normal(f)) : D3{};
            if (dot(end.normal, end.normal) < kDegenerateNormalSq) {
                dangling = true;
                continue;
            }
            end.centre = d3(mesh.face_centroid(f));
            if (std::fabs(dot(end.normal, sub(end.point, end.centre))) > kPointOnPlaneTolerance) {
                stale = true;
            }
        }
        if (dangling) {
            ++report.dangling;
            continue;
        }
        if (std::fabs(len(sub(ends[1].point, ends[0].point)) - dim.value) > kStaleValue) {
            stale = true;
        }
        if (!stale) continue;
        ++report.stale;
        if (!fix) continue;

        // Both ends move along the old measuring line, so the dimension keeps measuring in
        // the direction it was drawn.
        const D3 line = sub(ends[1].point, ends[0].point);
        if (len(line) < kSameLength) continue;
        D3 moved[2] = {ends[0].point, ends[1].point};
        bool ok = true;
        for (int k = 0; k < 2; ++k) {
            if (ends[k].anchor->kind != kDimensionAnchorFace) continue;
            const double denom = dot(ends[k].normal, line);
            if (std::fabs(denom) < kParallelCos * len(line)) {
                ok = false;
                break;
            }
            const double t = dot(ends[k].normal, sub(ends[k].centre, ends[k].point)) / denom;
            moved[k] = add(ends[k].point, mul(line, t));
        }
        if (!ok) continue;
        Dimension& out = mesh.dimension_mut(i);
        out.a = f3(moved[0]);
        out.b = f3(moved[1]);
        out.value = static_cast<float>(len(sub(moved[1], moved[0])));
        out.label = dimension_label(out.value);
        ++report.reanchored;
    }
    return report;
}

}  // namespace korvan
