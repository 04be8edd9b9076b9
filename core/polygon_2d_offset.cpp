#include "core/polygon_2d_offset.h"

#include <cmath>

namespace korvan {
namespace {

// 1 + n_a . n_b below this: the two sides run back along each other.
constexpr double kDoublesBack = 1e-12;

double dot2(const Point2& a, const Point2& b) { return a.x * b.x + a.y * b.y; }
double cross2(const Point2& a, const Point2& b) { return a.x * b.y - a.y * b.x; }
Point2 sub(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
Point2 add_scaled(const Point2& p, const Point2& d, double s) { return {p.x + d.x * s, p.y + d.y * s}; }

}  // namespace

Point2 inward_normal(const Point2& a, const Point2& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len = std::hypot(dx, dy);
    if (!(len > 0.0)) return {};
    return {-dy / len, dx / len};
}

PolygonOffset offset_polygon(std::span<const Point2> ring, double distance) {
    PolygonOffset out;
    const std::size_t n = ring.size();
    if (n < 3 || !std::isfinite(distance)) return out;
    std::vector<Point2> normals(n);
    for (std::size_t i = 0; i < n; ++i) {
        normals[i] = inward_normal(ring[i], ring[(i + 1) % n]);
        if (normals[i].x == 0.0 && normals[i].y == 0.0) return out;
    }
    out.points.reserve(n + n / 4);
    out.source.reserve(n + n / 4);
    for (std::size_t j = 0; j < n; ++j) {
        const Point2& na = normals[(j + n - 1) % n];
        const Point2& nb = normals[j];
        const double denom = 1.0 + dot2(na, nb);
        // Turning left is a convex corner; an inward offset pulls its mitre in, an outward one
        // pushes it out. Only a mitre on the outside of the move can run away.
        const double turn = cross2(na, nb);
        const bool exterior = turn * distance < 0.0 || denom < kDoublesBack;
        const double reach = denom < kDoublesBack ? HUGE_VAL : std::sqrt(2.0 / denom);
        if (exterior && reach > kMitreLimit) {
            out.points.push_back(add_scaled(ring[j], na, distance));
            out.points.push_back(add_scaled(ring[j], nb, distance));
            out.source.push_back(static_cast<std::uint32_t>(j));
            out.source.push_back(static_cast<std::uint32_t>(j));
            ++out.bevelled;
            continue;
        }
        if (denom < kDoublesBack) return out;  // an inner mitre that never closes
        const Point2 v{(na.x + nb.x) / denom, (na.y + nb.y) / denom};
        out.points.push_back(add_scaled(ring[j], v, distance));
        out.source.push_back(static_cast<std::uint32_t>(j));
    }
    // A side that kept its direction still lies on its offset line; one that turned round
    // has been swallowed by its neighbours.
    const std::size_t m = out.points.size();
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t k1 = (k + 1) % m;
        const Point2 side = sub(out.points[k1], out.points[k]);
        if (out.source[k] == out.source[k1]) continue;  // a bevel
        const std::uint32_t s = out.source[k];
        const Point2 original = sub(ring[(s + 1) % n], ring[s]);
        if (dot2(side, original) <= 0.0) return out;
    }
    if (!(signed_area2(out.points) > 0.0) || !ring_is_simple(out.points)) return out;
    out.ok = true;
    return out;
}

}  // namespace korvan
