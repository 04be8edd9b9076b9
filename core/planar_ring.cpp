#include "core/planar_ring.h"

#include <algorithm>
#include <cmath>

#include "core/dvec3.h"

namespace korvan {
namespace {

constexpr float kHorizontalFaceSq = 1e-6f;  // |Z x n|^2 below this: the face lies flat

double cross2(const Point2& o, const Point2& a, const Point2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool on_segment(const Point2& p, const Point2& a, const Point2& b) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

}  // namespace

Point2 PlaneFrame::to_2d(const Vec3& p) const {
    const DVec3 d = DVec3(p) - DVec3(origin);
    return {dot(d, DVec3(u)), dot(d, DVec3(v))};
}

Vec3 PlaneFrame::to_3d(const Point2& p) const {
    return (DVec3(origin) + DVec3(u) * p.x + DVec3(v) * p.y).to_vec3();
}

double PlaneFrame::height_of(const Vec3& p) const {
    return dot(DVec3(p) - DVec3(origin), DVec3(n));
}

PlaneFrame frame_about(const Vec3& origin, const Vec3& n) {
    PlaneFrame f;
    f.origin = origin;
    f.n = n;
    Vec3 u = cross(Vec3{0.0f, 0.0f, 1.0f}, n);
    if (length_squared(u) < kHorizontalFaceSq) {
        const Vec3 x{1.0f, 0.0f, 0.0f};
        u = x - n * dot(x, n);
    }
    f.u = normalize(u);
    f.v = cross(n, f.u);
    return f;
}

Vec3 ring_normal_of(std::span<const Vec3> ring) {
    if (ring.size() < 3) return {};
    DVec3 sum;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        sum += cross(DVec3(ring[i]), DVec3(ring[(i + 1) % ring.size()]));
    }
    return sum.to_vec3();
}

double signed_area2(std::span<const Point2> ring) {
    double sum = 0.0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point2& a = ring[i];
        const Point2& b = ring[(i + 1) % ring.size()];
        sum += a.x * b.y - a.y * b.x;
    }
    return sum;
}

bool point_in_ring(std::span<const Point2> ring, const Point2& p) {
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Point2& a = ring[i];
        const Point2& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            in = !in;
        }
    }
    return in;
}

double distance_to_segment(const Point2& p, const Point2& a, const Point2& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x + dx * t - p.x, ey = a.y + dy * t - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

bool segments_touch(const Point2& a, const Point2& b, const Point2& c, const Point2& d) {
    const double d1 = cross2(c, d, a), d2 = cross2(c, d, b);
    const double d3 = cross2(a, b, c), d4 = cross2(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
        return true;
    }
    return (d1 == 0 && on_segment(a, c, d)) || (d2 == 0 && on_segment(b, c, d)) ||
           (d3 == 0 && on_segment(c, a, b)) || (d4 == 0 && on_segment(d, a, b));
}

bool ring_is_simple(std::span<const Point2> ring) {
    const std::size_t n = ring.size();
    if (n < 3) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const Point2& a = ring[i];
        const Point2& b = ring[(i + 1) % n];
        if (a.x == b.x && a.y == b.y) return false;
        for (std::size_t j = i + 1; j < n; ++j) {
            const bool neighbours = j == i + 1 || (i == 0 && j == n - 1);
            if (neighbours) continue;
            if (segments_touch(a, b, ring[j], ring[(j + 1) % n])) return false;
        }
    }
    return true;
}

}  // namespace korvan
