// Hip roofs over the eaves outline (the footprint grown by the overhang). The skeleton roof
// lifts each face of the outline's straight skeleton to base z + inset x tan(pitch): every
// facet lies in the plane through its eaves side at the pitch, so it is planar and the hips,
// valleys and ridges fall exactly where they belong. The pitched roof is the same surface
// seen as a stack of inward offsets a step apart: each skeleton face is cut into bands
// between consecutive contour insets, and everything above the last contour that still
// has area is capped flat, so its ridge is quantised to the step. A fascia hangs under the
// eaves as a vertical band.
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "core/mesh.h"
#include "core/polygon_2d_skeleton.h"
#include "tools/roofs/roof_solids.h"
#include "tools/roofs/roofs.h"

namespace korvan {
namespace {

constexpr double kMinDimension = 1e-6;
constexpr double kMaxPitchRad = 85.0 * 3.14159265358979323846 / 180.0;
constexpr double kApexResolution = 1e-4;  // plan inset: a contour this close to the apex is gone
constexpr double kOnLevel = 1e-9;         // insets this close to a contour lie on it
constexpr std::uint32_t kNoLevel = 0xFFFFFFFFu;
constexpr std::uint32_t kCapLevel = 0xFFFFFFFEu;

struct Eaves {
    const char* message = "";
    std::vector<Point2> ring;
    double footprint = 0.0, roofed = 0.0;
    std::uint32_t bevelled = 0;
    StraightSkeleton skeleton;
};

Eaves eaves_and_skeleton(std::span<const Point2> footprint, double overhang) {
    Eaves e;
    const Footprint fp = normalise_footprint(footprint);
    if (fp.message[0] != '\0') {
        e.message = fp.message;
        return e;
    }
    e.footprint = fp.area;
    e.ring = fp.ring;
    if (overhang > 0.0) {
        const PolygonOffset grown = offset_polygon(fp.ring, -overhang);
        if (!grown.ok) {
            e.message = "the overhang folds the roof outline over itself";
            return e;
        }
        e.ring = grown.points;
        e.bevelled = grown.bevelled;
    }
    e.roofed = 0.5 * signed_area2(e.ring);
    e.skeleton = straight_skeleton(e.ring);
    if (!e.skeleton.ok) {
        e.message = e.skeleton.error;
        return e;
    }
    if (e.skeleton.faces.size() != e.ring.size()) e.message = "the skeleton returned the wrong number of faces";
    return e;
}

const char* check_pitch_spec(double pitch_rad, double base_z, double overhang, double fascia) {
    if (!(pitch_rad > 0.0 && pitch_rad < kMaxPitchRad)) return "pitch must be between 0 and 85 degrees";
    if (!std::isfinite(base_z)) return "base_z must be finite";
    if (!(overhang >= 0.0) || !(fascia >= 0.0) || !std::isfinite(overhang) || !std::isfinite(fascia))
        return "overhang and fascia depth must not be negative";
    return "";
}

// The eaves at base z, the fascia band under it and the soffit closing the solid; `eaves`
// holds the staged ids of the eaves corners.
void stage_underside(StagedSolids& s, std::span<const Point2> ring,
                     std::span<const std::uint32_t> eaves, double base_z, double fascia) {
    const std::size_t n = ring.size();
    std::vector<std::uint32_t> bottom(eaves.begin(), eaves.end());
    if (fascia > kMinDimension) {
        for (std::size_t i = 0; i < n; ++i) bottom[i] = s.add_point(ring[i].x, ring[i].y, base_z - fascia);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = (i + 1) % n;
            s.rings.push_back({bottom[i], bottom[j], eaves[j], eaves[i]});
        }
    }
    std::reverse(bottom.begin(), bottom.end());
    s.rings.push_back(std::move(bottom));
    ++s.solids;
}

// Worst distance of a ring's points, as the mesh stores them, from their best-fit plane.
double ring_planarity(const StagedSolids& s, std::span<const std::uint32_t> ring) {
    DVec3 normal, centre;
    std::vector<DVec3> pts;
    for (const std::uint32_t k : ring) pts.push_back(DVec3(s.points[k].to_vec3()));
    for (std::size_t i = 0; i < pts.size(); ++i) {
        normal += cross(pts[i], pts[(i + 1) % pts.size()]);
        centre += pts[i];
    }
    const double len = std::sqrt(dot(normal, normal));
    if (!(len > 0.0)) return 0.0;
    normal = normal * (1.0 / len);
    centre = centre * (1.0 / static_cast<double>(pts.size()));
    double worst = 0.0;
    for (const DVec3& p : pts) worst = std::max(worst, std::abs(dot(p - centre, normal)));
    return worst;
}

// A point of a clipped skeleton face: a skeleton node, or where a face side crosses a
// contour level. The key names it the same way from both faces that share the side.
struct ClipPoint {
    Point2 p;
    double inset = 0.0;
    std::uint32_t a = 0, b = 0, level = kNoLevel;
};

using ClipKey = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;

// Cuts a face ring (counter-clockwise) to the side of the contour line `level` (inset
// `value`) that `above` names; a non-convex face may fall into several rings. Points on the
// line count as outside, so a crossing there is that point itself.
bool clip_rings(const std::vector<ClipPoint>& ring, double value, std::uint32_t level, bool above,
                const Point2& dir, std::vector<std::vector<ClipPoint>>& out) {
    const std::size_t n = ring.size();
    auto inside = [&](const ClipPoint& c) {
        return above ? c.inset > value + kOnLevel : c.inset < value - kOnLevel;
    };
    std::size_t in_count = 0;
    for (const ClipPoint& c : ring) in_count += inside(c) ? 1 : 0;
    if (in_count == 0) return true;
    if (in_count == n) {
        out.push_back(ring);
        return true;
    }
    auto crossing = [&](const ClipPoint& u, const ClipPoint& v) {
        if (std::abs(u.inset - value) <= kOnLevel) return u;
        if (std::abs(v.inset - value) <= kOnLevel) return v;
        // The side the crossing lies on, named by its skeleton nodes, and the point computed
        // from its lower end, so both faces that share the side get the same key and bits.
        const bool u_node = u.level == kNoLevel, v_node = v.level == kNoLevel;
        const std::uint32_t sa = !u_node ? u.a : !v_node ? v.a : std::min(u.a, v.a);
        const std::uint32_t sb = !u_node ? u.b : !v_node ? v.b : std::max(u.a, v.a);
        const ClipPoint& lo = u.inset < v.inset ? u : v;
        const ClipPoint& hi = u.inset < v.inset ? v : u;
        const double t = (value - lo.inset) / (hi.inset - lo.inset);
        ClipPoint c;
        c.p = {lo.p.x + (hi.p.x - lo.p.x) * t, lo.p.y + (hi.p.y - lo.p.y) * t};
        c.inset = value;
        c.a = sa;
        c.b = sb;
        c.level = level;
        return c;
    };
    // Chains of inside points, each from an entry crossing to an exit crossing.
    struct Chain {
        std::vector<ClipPoint> pts;
        double entry_s = 0.0, exit_s = 0.0;
    };
    std::vector<Chain> chains;
    std::size_t start = 0;
    while (!( !inside(ring[start]) && inside(ring[(start + 1) % n]))) ++start;
    Chain cur;
    for (std::size_t step = 0; step < n; ++step) {
        const ClipPoint& u = ring[(start + step) % n];
        const ClipPoint& v = ring[(start + step + 1) % n];
        const bool iu = inside(u), iv = inside(v);
        if (!iu && iv) {
            cur = {};
            cur.pts.push_back(crossing(u, v));
        }
        if (iv) cur.pts.push_back(v);
        if (iu && !iv) {
            cur.pts.push_back(crossing(u, v));
            chains.push_back(std::move(cur));
            cur = {};
        }
    }
    const double sign = above ? 1.0 : -1.0;
    auto along = [&](const Point2& p) { return sign * (p.x * dir.x + p.y * dir.y); };
    for (Chain& c : chains) {
        c.entry_s = along(c.pts.front().p);
        c.exit_s = along(c.pts.back().p);
    }
    // Along the line, the kept region's border runs from each exit to the next entry.
    std::vector<std::size_t> by_entry(chains.size());
    for (std::size_t i = 0; i < chains.size(); ++i) by_entry[i] = i;
    std::sort(by_entry.begin(), by_entry.end(),
              [&](std::size_t x, std::size_t y) { return chains[x].entry_s < chains[y].entry_s; });
    // Face corners lying on the line (a wavefront event exactly at this inset) stay on the
    // border, or the facet on the other side of the line would meet them in a T-junction.
    std::vector<std::pair<double, std::size_t>> on_line;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::abs(ring[i].inset - value) <= kOnLevel) on_line.push_back({along(ring[i].p), i});
    }
    std::sort(on_line.begin(), on_line.end());
    std::vector<std::size_t> next(chains.size());
    for (std::size_t i = 0; i < chains.size(); ++i) {
        auto it = std::upper_bound(by_entry.begin(), by_entry.end(), chains[i].exit_s - kOnLevel,
                                   [&](double s, std::size_t k) { return s < chains[k].entry_s; });
        if (it == by_entry.end()) return false;
        next[i] = *it;
    }
    std::vector<std::uint8_t> used(chains.size(), 0);
    for (std::size_t i = 0; i < chains.size(); ++i) {
        if (used[i]) continue;
        std::vector<ClipPoint> r;
        std::size_t c = i;
        for (std::size_t guard = 0; !used[c]; ++guard) {
            if (guard > chains.size()) return false;
            used[c] = 1;
            r.insert(r.end(), chains[c].pts.begin(), chains[c].pts.end());
            const double from = chains[c].exit_s;
            c = next[c];
            const double to = chains[c].entry_s;
            for (const auto& [s, k] : on_line) {
                if (s > from + kOnLevel && s < to - kOnLevel) r.push_back(ring[k]);
            }
        }
        if (c != i) return false;
        out.push_back(std::move(r));
    }
    return true;
}

}  // namespace

SkeletonRoofReport build_skeleton_roof(Mesh& mesh, std::span<const Point2> footprint,
                                       const SkeletonRoofSpec& spec) {
    SkeletonRoofReport r;
    r.message = check_pitch_spec(spec.pitch_rad, spec.base_z, spec.overhang, spec.fascia);
    if (r.message[0] != '\0') return r;
    const Eaves e = eaves_and_skeleton(footprint, spec.overhang);
    if (e.message[0] != '\0') {
        r.message = e.message;
        return r;
    }
    const StraightSkeleton& sk = e.skeleton;
    const double slope = std::tan(spec.pitch_rad);
    StagedSolids staged;
    for (const SkeletonNode& node : sk.nodes)
        staged.add_point(node.position.x, node.position.y, spec.base_z + node.time * slope);
    for (const SkeletonFace& f : sk.faces) staged.rings.push_back(f.nodes);
    for (const auto& ring : staged.rings) r.planarity = std::max(r.planarity, ring_planarity(staged, ring));
    std::vector<std::uint32_t> eaves(e.ring.size());
    for (std::uint32_t i = 0; i < eaves.size(); ++i) eaves[i] = i;
    stage_underside(staged, e.ring, eaves, spec.base_z, spec.fascia);
    if (!staged.rings_valid()) {
        r.message = "a skeleton facet was rejected by add_ngon";
        return r;
    }
    r.footprint = e.footprint;
    r.roofed = e.roofed;
    r.facets = static_cast<std::uint32_t>(sk.faces.size());
    r.nodes = sk.nodes.size();
    r.arcs = sk.arcs.size();
    r.edge_events = sk.edge_events;
    r.split_events = sk.split_events;
    r.apex_inset = sk.max_time;
    r.apex_height = sk.max_time * slope;
    r.volume = staged.volume();
    r.bevelled = e.bevelled;
    r.faces_before = mesh.alive_face_count();
    staged.commit(mesh);
    r.faces_after = mesh.alive_face_count();
    r.ok = true;
    return r;
}

PitchedRoofReport build_pitched_roof(Mesh& mesh, std::span<const Point2> footprint,
                                     const PitchedRoofSpec& spec) {
    PitchedRoofReport r;
    if (!(spec.pitch_rad > 0.0 && spec.pitch_rad < kMaxPitchRad)) {
        r.message = "pitch must be between 0 and 85 degrees";
        return r;
    }
    if (!std::isfinite(spec.step) || !(spec.step > kMinDimension)) {
        r.message = "step must be finite and positive";
        return r;
    }
    if (!(spec.overhang >= 0.0) || !(spec.fascia >= 0.0) || !std::isfinite(spec.overhang) ||
        !std::isfinite(spec.fascia)) {
        r.message = "overhang and fascia depth must not be negative";
        return r;
    }
    if (spec.max_contours < 2) {
        r.message = "max_contours must be at least 2";
        return r;
    }
    if (!std::isfinite(spec.base_z)) {
        r.message = "base_z must be finite";
        return r;
    }
    const Eaves e = eaves_and_skeleton(footprint, spec.overhang);
    if (e.message[0] != '\0') {
        r.message = e.message;
        return r;
    }
    const StraightSkeleton& sk = e.skeleton;
    // The last contour is the last offset that still encloses area.
    const double apex = sk.max_time;
    std::uint32_t last = 0;
    while (last + 1 < spec.max_contours && (last + 1) * spec.step < apex - kApexResolution) ++last;
    if (last == 0) {
        r.message = "the first inward step consumed the plan (is it thinner than 2 * step?)";
        return r;
    }
    const double slope = std::tan(spec.pitch_rad);
    const double cap_inset = last * spec.step;
    StagedSolids staged;
    std::map<ClipKey, std::uint32_t> ids;
    auto id_of = [&](const ClipPoint& c, bool cap) {
        // Nodes above the last contour are pressed down into the flat cap.
        const bool pressed = cap && c.level == kNoLevel && c.inset > cap_inset + kOnLevel;
        const ClipKey key = pressed ? ClipKey{c.a, c.a, kCapLevel} : ClipKey{c.a, c.b, c.level};
        const auto [it, fresh] = ids.try_emplace(key, 0);
        if (fresh) {
            const double inset = pressed ? cap_inset : c.inset;
            it->second = staged.add_point(c.p.x, c.p.y, spec.base_z + inset * slope);
        }
        return it->second;
    };
    auto stage = [&](const std::vector<ClipPoint>& ring, bool cap) {
        std::vector<std::uint32_t> out;
        for (const ClipPoint& c : ring) {
            const std::uint32_t k = id_of(c, cap);
            if (out.empty() || out.back() != k) out.push_back(k);
        }
        while (out.size() > 1 && out.front() == out.back()) out.pop_back();
        if (out.size() >= 3) staged.rings.push_back(std::move(out));
    };
    // The eaves corners come first so the underside can find them.
    for (std::uint32_t i = 0; i < e.ring.size(); ++i) {
        ClipPoint c;
        c.p = sk.nodes[i].position;
        c.a = c.b = i;
        id_of(c, false);
    }
    std::vector<std::vector<ClipPoint>> lower, band;
    for (const SkeletonFace& f : sk.faces) {
        std::vector<ClipPoint> ring;
        for (const std::uint32_t k : f.nodes) {
            ClipPoint c;
            c.p = sk.nodes[k].position;
            c.inset = sk.nodes[k].time;
            c.a = c.b = k;
            ring.push_back(c);
        }
        const Point2 a = sk.nodes[f.nodes[0]].position, b = sk.nodes[f.nodes[1]].position;
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        const Point2 dir{(b.x - a.x) / len, (b.y - a.y) / len};
        for (std::uint32_t k = 0; k < last; ++k) {
            lower.clear();
            // The bottom band keeps its eaves side, which sits exactly on the first level.
            if (k == 0) {
                lower.push_back(ring);
            } else if (!clip_rings(ring, k * spec.step, k, true, dir, lower)) {
                r.message = "a skeleton facet was rejected by add_ngon";
                return r;
            }
            for (const auto& piece : lower) {
                band.clear();
                if (!clip_rings(piece, (k + 1) * spec.step, k + 1, false, dir, band)) {
                    r.message = "a skeleton facet was rejected by add_ngon";
                    return r;
                }
                for (const auto& b2 : band) stage(b2, false);
            }
        }
        lower.clear();
        if (!clip_rings(ring, cap_inset, last, true, dir, lower)) {
            r.message = "a skeleton facet was rejected by add_ngon";
            return r;
        }
        for (const auto& piece : lower) stage(piece, true);
    }
    std::vector<std::uint32_t> eaves(e.ring.size());
    for (std::uint32_t i = 0; i < eaves.size(); ++i) eaves[i] = i;
    stage_underside(staged, e.ring, eaves, spec.base_z, spec.fascia);
    if (!staged.rings_valid()) {
        r.message = "a skeleton facet was rejected by add_ngon";
        return r;
    }
    // A contour step across which the wavefront lost a side collapsed an offset.
    std::vector<std::uint8_t> collapsed(last, 0);
    for (std::size_t k = e.ring.size(); k < sk.nodes.size(); ++k) {
        const double t = sk.nodes[k].time;
        const auto band_index = static_cast<std::int64_t>(std::ceil(t / spec.step)) - 1;
        if (band_index >= 0 && band_index < static_cast<std::int64_t>(last)) collapsed[band_index] = 1;
    }
    for (const std::uint8_t c : collapsed) r.collapsed_offsets += c;
    r.footprint = e.footprint;
    r.roofed = e.roofed;
    r.contours = last + 1;
    r.apex_inset = cap_inset;
    r.apex_height = cap_inset * slope;
    r.ridge_deviation = (apex - cap_inset) * slope;
    r.volume = staged.volume();
    r.bevelled = e.bevelled;
    r.faces_before = mesh.alive_face_count();
    staged.commit(mesh);
    r.faces_after = mesh.alive_face_count();
    r.ok = true;
    return r;
}

}  // namespace korvan
