#include "tools/plan_draft.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvan::plan {
namespace {

constexpr double kTol = 1e-4;

double length(Point2 a, Point2 b) { return std::hypot(double(b.x) - a.x, double(b.y) - a.y); }

std::string line_label(SnapKind kind, const PlanLine& line) {
    return std::string(snap_kind_name(kind)) + " of " + line_kind_name(line.kind) + " line";
}

// A better candidate has the higher priority, or the same one and a strictly smaller distance.
void offer(SnapCandidate& best, SnapCandidate c) {
    const int p = snap_priority(c.kind), q = snap_priority(best.kind);
    if (p > q || (p == q && c.distance < best.distance)) best = std::move(c);
}

}  // namespace

std::optional<Vec3> PlanWorkPlane::hit(const Vec3& origin, const Vec3& direction) const {
    if (std::fabs(direction.z) < 1e-5f) return std::nullopt;
    const double s = (double(base_z) - origin.z) / direction.z;
    const Vec3 p{static_cast<float>(origin.x + s * direction.x),
                 static_cast<float>(origin.y + s * direction.y), base_z};
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(s)) return std::nullopt;
    return p;
}

const char* snap_kind_name(SnapKind kind) {
    switch (kind) {
        case SnapKind::kEndpoint: return "Endpoint";
        case SnapKind::kIntersection: return "Intersection";
        case SnapKind::kMidpoint: return "Midpoint";
        case SnapKind::kOnLine: return "OnLine";
        case SnapKind::kNone: break;
    }
    return "None";
}

int snap_priority(SnapKind kind) {
    switch (kind) {
        case SnapKind::kEndpoint: return 40;
        case SnapKind::kIntersection: return 35;
        case SnapKind::kMidpoint: return 30;
        case SnapKind::kOnLine: return 20;
        case SnapKind::kNone: break;
    }
    return 0;
}

void PlanSnapEngine::rebuild(const std::vector<PlanLine>& lines) {
    lines_ = lines;
    segments_.clear();
    samples_.clear();
    degenerate_ = 0;
    for (std::uint32_t i = 0; i < lines_.size(); ++i) {
        const PlanLine& l = lines_[i];
        if (length(l.a, l.b) < kTol) {
            ++degenerate_;
            continue;
        }
        segments_.push_back(i);
        samples_.push_back({l.a, SnapKind::kEndpoint, 0.0, i});
        samples_.push_back({l.b, SnapKind::kEndpoint, 1.0, i});
        samples_.push_back({{(l.a.x + l.b.x) / 2, (l.a.y + l.b.y) / 2}, SnapKind::kMidpoint, 0.5, i});
    }
}

// A candidate of the committed kind near the committed point may lie farther off and still
// win, so the cursor does not flicker off a snap the user is holding.
double PlanSnapEngine::radius_for(const SnapCandidate& c, double base) const {
    if (!settings.holding || committed_.kind == SnapKind::kNone || c.kind != committed_.kind)
        return base;
    const double hold = settings.hold_distance > 0 ? settings.hold_distance : 1e-4;
    if (length(c.point, committed_.point) > hold) return base;
    if (c.kind == SnapKind::kMidpoint) return base * 1.6;
    if (c.kind == SnapKind::kEndpoint || c.kind == SnapKind::kIntersection) return base * 1.85;
    return base;
}

SnapCandidate PlanSnapEngine::query(Point2 cursor, double radius) {
    pairs_tested_ = 0;
    SnapCandidate best;
    best.distance = std::numeric_limits<double>::infinity();
    auto consider = [&](SnapCandidate c) {
        const double r = radius_for(c, radius);
        if (c.distance > r) return;
        c.held = c.distance > radius;
        offer(best, std::move(c));
    };
    for (const Sample& s : samples_) {
        if (s.kind == SnapKind::kEndpoint && !settings.endpoint) continue;
        if (s.kind == SnapKind::kMidpoint && !settings.midpoint) continue;
        SnapCandidate c;
        c.kind = s.kind;
        c.point = s.p;
        c.distance = length(cursor, s.p);
        c.t = s.t;
        c.line_a = s.line;
        c.label = line_label(s.kind, lines_[s.line]);
        consider(std::move(c));
    }

    struct Near {
        std::uint32_t line;
        double t, distance;
        Point2 foot;
    };
    std::vector<Near> near;
    const double reach = radius * (settings.holding ? 1.85 : 1.0) + settings.extension + kTol;
    for (std::uint32_t i : segments_) {
        const PlanLine& l = lines_[i];
        const double dx = double(l.b.x) - l.a.x, dy = double(l.b.y) - l.a.y;
        const double t = std::clamp(((cursor.x - l.a.x) * dx + (cursor.y - l.a.y) * dy) /
                                        (dx * dx + dy * dy),
                                    0.0, 1.0);
        const Point2 foot{static_cast<float>(l.a.x + t * dx), static_cast<float>(l.a.y + t * dy)};
        const double d = length(cursor, foot);
        if (d <= reach) near.push_back({i, t, d, foot});
    }

    if (settings.intersection) {
        for (std::size_t i = 0; i < near.size(); ++i) {
            for (std::size_t k = i + 1; k < near.size(); ++k) {
                ++pairs_tested_;
                const PlanLine& p = lines_[near[i].line];
                const PlanLine& q = lines_[near[k].line];
                const double ux = double(p.b.x) - p.a.x, uy = double(p.b.y) - p.a.y;
                const double vx = double(q.b.x) - q.a.x, vy = double(q.b.y) - q.a.y;
                const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
                const double cross = ux * vy - uy * vx;
                if (std::fabs(cross) / (lu * lv) <= settings.min_sine) continue;
                const double wx = double(q.a.x) - p.a.x, wy = double(q.a.y) - p.a.y;
                const double s = (wx * vy - wy * vx) / cross;
                const double t = (wx * uy - wy * ux) / cross;
                // Distances past each end, in metres.
                const double past_s = std::max({-s * lu, (s - 1) * lu, 0.0});
                const double past_t = std::max({-t * lv, (t - 1) * lv, 0.0});
                const double past = std::max(past_s, past_t);
                if (past > kTol + settings.extension) continue;
                SnapCandidate c;
                c.kind = SnapKind::kIntersection;
                c.point = {static_cast<float>(p.a.x + s * ux), static_cast<float>(p.a.y + s * uy)};
                c.distance = length(cursor, c.point);
                c.t = s;
                c.extended = past > kTol;
                c.line_a = near[i].line;
                c.line_b = near[k].line;
                c.label = std::string(c.extended ? "Intersection (extended)" : "Intersection") +
                          " of " + line_kind_name(p.kind) + " and " + line_kind_name(q.kind) +
                          " lines";
                consider(std::move(c));
            }
        }
    }

    if (settings.on_line) {
        for (const Near& n : near) {
            SnapCandidate c;
            c.kind = SnapKind::kOnLine;
            c.point = n.foot;
            c.distance = n.distance;
            c.t = n.t;
            c.line_a = n.line;
            c.label = line_label(SnapKind::kOnLine, lines_[n.line]);
            if (c.distance <= radius) offer(best, std::move(c));
        }
    }
    if (best.kind == SnapKind::kNone) best.distance = 0.0;
    return best;
}

void PlanCache::sync(const Mesh& mesh) {
    ++refreshes;
    const std::uint64_t h = geometry_hash(mesh);
    if (valid_ && h == hash_) return;
    plan_ = build_plan(mesh, settings_);
    hash_ = h;
    valid_ = true;
    ++rebuilds;
    snaps_.rebuild(plan_.lines);
}

SnapRadius plan_snap_radius(double metres_per_pixel, double pixels) {
    const double want = metres_per_pixel * pixels;
    const double got = std::clamp(std::isfinite(want) ? want : 0.5, 0.001, 0.5);
    return {got, got != want};
}

std::optional<DownPick> pick_straight_down(const Mesh& mesh, double x, double y) {
    std::optional<DownPick> best;
    const auto faces = mesh.faces();
    const auto verts = mesh.vertices();
    for (FaceId f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        if (!face.alive || !face.visible || std::fabs(face.normal.z) < 1e-6f) continue;
        const std::vector<VertexId> ids = mesh.face_vertices(f);
        if (ids.size() < 3) continue;
        bool inside = false;
        for (std::size_t i = 0, j = ids.size() - 1; i < ids.size(); j = i++) {
            const Vec3& a = verts[ids[i]].position;
            const Vec3& b = verts[ids[j]].position;
            if ((a.y > y) == (b.y > y)) continue;
            const double cx = a.x + (y - a.y) / (double(b.y) - a.y) * (double(b.x) - a.x);
            if (cx > x) inside = !inside;
        }
        if (!inside) continue;
        const Vec3& p = verts[ids[0]].position;
        const Vec3& n = face.normal;
        const double z = p.z - (n.x * (x - p.x) + n.y * (y - p.y)) / n.z;
        if (!best || z > best->z) best = DownPick{f, z};
    }
    return best;
}

}  // namespace korvan::plan

namespace korvan::plan {

OrthoSet build_ortho_set(const Mesh& mesh) {
    OrthoSet set;
    const auto verts = mesh.vertices();
    for (const Vertex& v : verts) {
        if (!v.alive) continue;
        if (set.empty) {
            set.lo = set.hi = v.position;
            set.empty = false;
        }
        set.lo = {std::min(set.lo.x, v.position.x), std::min(set.lo.y, v.position.y),
                  std::min(set.lo.z, v.position.z)};
        set.hi = {std::max(set.hi.x, v.position.x), std::max(set.hi.y, v.position.y),
                  std::max(set.hi.z, v.position.z)};
    }
    const struct {
        const char* name;
        Vec3 look;
    } views[4] = {{"front", {0, 1, 0}}, {"right", {-1, 0, 0}}, {"back", {0, -1, 0}},
                  {"left", {1, 0, 0}}};
    for (int k = 0; k < 4; ++k) {
        Elevation& e = set.elevations[k];
        e.name = views[k].name;
        e.look = views[k].look;
        // Picture axes: across is the viewer's right, up is z.
        const Vec3 across{e.look.y, -e.look.x, 0};
        const auto faces = mesh.faces();
        double lo_u = 0, hi_u = 0, lo_v = 0, hi_v = 0;
        bool any = false;
        for (FaceId f = 0; f < faces.size(); ++f) {
            const Face& face = faces[f];
            if (!face.alive || !face.visible) continue;
            if (face.normal.x * e.look.x + face.normal.y * e.look.y >= -1e-6f) continue;
            const std::vector<VertexId> ids = mesh.face_vertices(f);
            if (ids.size() < 3) continue;
            ++e.faces;
            double twice = 0;
            for (std::size_t i = 0; i < ids.size(); ++i) {
                const Vec3& a = verts[ids[i]].position;
                const Vec3& b = verts[ids[(i + 1) % ids.size()]].position;
                const double au = a.x * across.x + a.y * across.y, bu = b.x * across.x + b.y * across.y;
                twice += au * b.z - bu * a.z;
                if (std::hypot(bu - au, double(b.z) - a.z) > 1e-4) ++e.edges;
                if (!any) {
                    lo_u = hi_u = au;
                    lo_v = hi_v = a.z;
                    any = true;
                }
                lo_u = std::min(lo_u, au);
                hi_u = std::max(hi_u, au);
                lo_v = std::min(lo_v, double(a.z));
                hi_v = std::max(hi_v, double(a.z));
            }
            e.area += std::fabs(twice) * 0.5;
        }
        e.width = hi_u - lo_u;
        e.height = hi_v - lo_v;
    }
    if (!set.empty) {
        PlanSettings s;
        const float tall = set.hi.z - set.lo.z;
        s.height = set.lo.z + std::min(1.2f, tall * 0.5f);
        set.plan = build_plan(mesh, s);
    }
    return set;
}

}  // namespace korvan::plan
