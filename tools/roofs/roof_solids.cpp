#include "tools/roofs/roof_solids.h"

#include <algorithm>
#include <cmath>

#include "core/mesh.h"

namespace korvan {
namespace {

bool same_point(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

}  // namespace

Footprint normalise_footprint(std::span<const Point2> points) {
    Footprint fp;
    for (const Point2& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            fp.message = "footprint has a non-finite point";
            return fp;
        }
        if (fp.ring.empty() || !same_point(fp.ring.back(), p)) fp.ring.push_back(p);
    }
    while (fp.ring.size() > 1 && same_point(fp.ring.front(), fp.ring.back())) fp.ring.pop_back();
    if (fp.ring.size() < 3) {
        fp.message = "a footprint needs three distinct points";
        return fp;
    }
    const double area = 0.5 * signed_area2(fp.ring);
    if (!(std::abs(area) > 1e-9)) {
        fp.message = "footprint has zero area";
        return fp;
    }
    if (area < 0.0) std::reverse(fp.ring.begin(), fp.ring.end());
    fp.area = std::abs(area);
    // Offsets and the skeleton need a plan that bounds one region: no corner that turns
    // straight back and no side that crosses another.
    const std::size_t n = fp.ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point2 na = inward_normal(fp.ring[(i + n - 1) % n], fp.ring[i]);
        const Point2 nb = inward_normal(fp.ring[i], fp.ring[(i + 1) % n]);
        if (1.0 + na.x * nb.x + na.y * nb.y < 1e-12) {
            fp.message = "a footprint vertex doubles back on itself and has no bisector";
            return fp;
        }
    }
    if (!ring_is_simple(fp.ring)) fp.message = "the footprint crosses itself";
    return fp;
}

std::uint32_t StagedSolids::add_point(double x, double y, double z) {
    points.push_back({x, y, z});
    return static_cast<std::uint32_t>(points.size() - 1);
}

void StagedSolids::add_prism(std::span<const Point2> ring, double z0, double z1) {
    const std::size_t n = ring.size();
    const auto base = static_cast<std::uint32_t>(points.size());
    for (const Point2& p : ring) add_point(p.x, p.y, z0);
    for (const Point2& p : ring) add_point(p.x, p.y, z1);
    std::vector<std::uint32_t> bottom, top;
    for (std::size_t i = 0; i < n; ++i) {
        bottom.push_back(base + static_cast<std::uint32_t>(n - 1 - i));
        top.push_back(base + static_cast<std::uint32_t>(n + i));
        const auto a = static_cast<std::uint32_t>(i), b = static_cast<std::uint32_t>((i + 1) % n);
        const auto m = static_cast<std::uint32_t>(n);
        rings.push_back({base + a, base + b, base + m + b, base + m + a});
    }
    rings.push_back(std::move(bottom));
    rings.push_back(std::move(top));
    ++solids;
}

void StagedSolids::add_band(std::span<const Point2> outer, const PolygonOffset& inner, double z0,
                            double z1) {
    const std::size_t n = outer.size(), m = inner.points.size();
    const auto ob = static_cast<std::uint32_t>(points.size());
    for (const Point2& p : outer) add_point(p.x, p.y, z0);
    for (const Point2& p : outer) add_point(p.x, p.y, z1);
    const auto ib = static_cast<std::uint32_t>(points.size());
    for (const Point2& p : inner.points) add_point(p.x, p.y, z0);
    for (const Point2& p : inner.points) add_point(p.x, p.y, z1);
    const auto on = static_cast<std::uint32_t>(n), in = static_cast<std::uint32_t>(m);
    // First and last inner point of each outer corner (two when the corner was bevelled).
    std::vector<std::uint32_t> first(n, 0), last(n, 0);
    for (std::uint32_t k = in; k-- > 0;) first[inner.source[k]] = k;
    for (std::uint32_t k = 0; k < m; ++k) last[inner.source[k]] = k;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t j = (i + 1) % on;
        // Top and bottom tiles between outer side i and its offset.
        rings.push_back({ob + on + i, ob + on + j, ib + in + first[j], ib + in + last[i]});
        rings.push_back({ob + i, ib + last[i], ib + first[j], ob + j});
        rings.push_back({ob + i, ob + j, ob + on + j, ob + on + i});  // outer wall
        if (first[i] != last[i]) {  // the bevel's corner tiles
            rings.push_back({ob + on + i, ib + in + last[i], ib + in + first[i]});
            rings.push_back({ob + i, ib + first[i], ib + last[i]});
        }
    }
    for (std::uint32_t k = 0; k < m; ++k) {  // inner wall, facing the hole
        const std::uint32_t l = (k + 1) % in;
        rings.push_back({ib + in + k, ib + in + l, ib + l, ib + k});
    }
    ++solids;
}

double StagedSolids::volume() const {
    double six_v = 0.0;
    for (const auto& r : rings) {
        const DVec3& a = points[r[0]];
        for (std::size_t i = 1; i + 1 < r.size(); ++i) {
            six_v += dot(a, cross(points[r[i]], points[r[i + 1]]));
        }
    }
    return six_v / 6.0;
}

bool StagedSolids::rings_valid() const {
    for (const auto& r : rings) {
        if (r.size() < 3) return false;
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (r[i] == r[(i + 1) % r.size()] || r[i] >= points.size()) return false;
        }
    }
    return true;
}

void StagedSolids::commit(Mesh& mesh) const {
    const auto base = static_cast<VertexId>(mesh.vertices().size());
    for (const DVec3& p : points) mesh.add_vertex(p.to_vec3());
    std::vector<VertexId> ids;
    for (const auto& r : rings) {
        ids.clear();
        for (const std::uint32_t k : r) ids.push_back(base + k);
        mesh.add_ngon(ids);
    }
    mesh.link_shared_edges();
}

}  // namespace korvan
