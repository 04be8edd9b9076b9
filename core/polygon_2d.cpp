#include "core/polygon_2d.h"

#include "core/dvec3.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Polygon triangulation by ear clipping, in doubles.
//
// The rings are expressed in a frame of the outer ring's plane whose normal is the ring's
// Newell normal, so the outer ring runs counter-clockwise there; holes are made to run
// clockwise. Each hole is joined to the outer ring by a bridge (two coincident, opposite
// sides), taking holes by decreasing greatest x: a ray from the hole's rightmost point toward
// +x meets the nearest side; the side's end with the greater x is visible unless ring points
// lie inside the triangle (hole point, hit, end), in which case the one of those that makes
// the smallest angle with the ray is. The resulting single ring is clipped one ear at a time:
// a convex corner whose triangle holds no other ring point (points on its border count,
// points at its own corners, such as the copies a bridge makes, do not).
//
// Collinear points stay in the ring and end up as corners of proper triangles, never of
// zero-area ones. When a full turn round the ring finds no ear, a straight or doubled-back
// corner (zero area) is dropped without a triangle; when there is none, the polygon is not
// simple and nothing is returned.

namespace korvan {
namespace {

// Relative size below which a doubled triangle area counts as zero, against the square of
// the polygon's extent.
constexpr double kFlatRatio = 1e-10;

struct Point2 {
    double x = 0.0, y = 0.0;
};

// Twice the signed area of (a, b, c): positive when counter-clockwise.
double area2(const Point2& a, const Point2& b, const Point2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool same_point(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

DVec3 newell(std::span<const Vec3> ring) {
    DVec3 n;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const DVec3 a(ring[i]), b(ring[(i + 1) % ring.size()]);
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

// Convex and simple in the projection that drops the normal's largest component: every turn
// strictly the same way (a straight corner does not count as convex) and a single turn
// round.
bool convex_ring(std::span<const Vec3> ring) {
    const DVec3 n = newell(ring);
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (ax == 0.0 && ay == 0.0 && az == 0.0) return false;
    auto project = [&](const Vec3& p) -> Point2 {
        if (az >= ax && az >= ay) return {p.x, p.y};
        if (ax >= ay) return {p.y, p.z};
        return {p.z, p.x};
    };
    const std::size_t count = ring.size();
    int sign = 0;
    int x_flips = 0;
    double last_dx = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const Point2 a = project(ring[i]);
        const Point2 b = project(ring[(i + 1) % count]);
        const Point2 c = project(ring[(i + 2) % count]);
        const double turn = area2(a, b, c);
        const int s = turn > 0.0 ? 1 : (turn < 0.0 ? -1 : 0);
        if (s == 0 || (sign != 0 && s != sign)) return false;
        sign = s;
        // The sides' x direction changes sign twice on one turn round, more on a star.
        const double dx = b.x - a.x;
        if (dx != 0.0) {
            if (last_dx != 0.0 && (dx > 0.0) != (last_dx > 0.0)) ++x_flips;
            last_dx = dx;
        }
    }
    // Close the count over the wrap from the last side to the first non-zero one.
    for (std::size_t i = 0; i < count; ++i) {
        const double dx = project(ring[(i + 1) % count]).x - project(ring[i]).x;
        if (dx == 0.0) continue;
        if ((dx > 0.0) != (last_dx > 0.0)) ++x_flips;
        break;
    }
    return x_flips <= 2;
}

class EarClipper {
  public:
    EarClipper(std::span<const Vec3> outer, std::span<const std::vector<Vec3>> holes)
        : outer_(outer), holes_(holes) {}

    std::vector<IndexTriangle> run() {
        if (!make_frame()) return {};
        const std::uint32_t outer_start = add_ring(outer_, 0, false);
        if (outer_start == kNone) return {};
        std::uint32_t offset = static_cast<std::uint32_t>(outer_.size());
        struct Hole {
            std::uint32_t rightmost;
            double x;
        };
        std::vector<Hole> holes;
        for (const std::vector<Vec3>& ring : holes_) {
            const std::uint32_t start = add_ring(ring, offset, true);
            offset += static_cast<std::uint32_t>(ring.size());
            if (start == kNone) continue;
            std::uint32_t right = start;
            for (std::uint32_t n = nodes_[start].next; n != start; n = nodes_[n].next) {
                const Point2& p = nodes_[n].p;
                const Point2& r = nodes_[right].p;
                if (p.x > r.x || (p.x == r.x && p.y < r.y)) right = n;
            }
            holes.push_back({right, nodes_[right].p.x});
        }
        std::stable_sort(holes.begin(), holes.end(),
                         [](const Hole& a, const Hole& b) { return a.x > b.x; });
        start_ = outer_start;
        for (const Hole& h : holes) {
            if (!bridge(h.rightmost)) return {};
        }
        return clip();
    }

  private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct Node {
        Point2 p;
        std::uint32_t index = 0;  // into the caller's points
        std::uint32_t prev = 0, next = 0;
    };

    bool make_frame() {
        const DVec3 n = newell(outer_);
        const double len = std::sqrt(dot(n, n));
        if (!(len > 0.0)) return false;
        normal_ = n * (1.0 / len);
        if (dot(normal_, normal_) <= 0.5) return false;
        // First axis: perpendicular to the normal and to the world axis least along it.
        const DVec3 helper =
            std::fabs(normal_.x) <= std::fabs(normal_.y) &&
                    std::fabs(normal_.x) <= std::fabs(normal_.z)
                ? DVec3(1, 0, 0)
                : (std::fabs(normal_.y) <= std::fabs(normal_.z) ? DVec3(0, 1, 0) : DVec3(0, 0, 1));
        const DVec3 u = cross(helper, normal_);
        u_ = u * (1.0 / std::sqrt(dot(u, u)));
        v_ = cross(normal_, u_);
        origin_ = DVec3(outer_[0]);
        return true;
    }

    Point2 project(const Vec3& p) const {
        const DVec3 d = DVec3(p) - origin_;
        return {dot(d, u_), dot(d, v_)};
    }

    // Links the ring's points (consecutive repeats dropped) into a cycle running clockwise
    // when `clockwise`, else counter-clockwise; kNone for fewer than 3 points or no area.
    std::uint32_t add_ring(std::span<const Vec3> ring, std::uint32_t offset, bool clockwise) {
        std::vector<Node> made;
        double signed_area = 0.0;
        for (std::uint32_t i = 0; i < ring.size(); ++i) {
            const Point2 p = project(ring[i]);
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) return kNone;
            if (!made.empty() && same_point(made.back().p, p)) continue;
            made.push_back({p, offset + i, 0, 0});
        }
        while (made.size() > 1 && same_point(made.back().p, made.front().p)) made.pop_back();
        if (made.size() < 3) return kNone;
        for (std::size_t i = 0; i < made.size(); ++i) {
            const Point2& a = made[i].p;
            const Point2& b = made[(i + 1) % made.size()].p;
            signed_area += a.x * b.y - b.x * a.y;
            extent_ = std::max({extent_, std::fabs(a.x), std::fabs(a.y)});
        }
        if (signed_area == 0.0) return kNone;
        if ((signed_area < 0.0) != clockwise) std::reverse(made.begin(), made.end());
        const auto first = static_cast<std::uint32_t>(nodes_.size());
        const auto count = static_cast<std::uint32_t>(made.size());
        for (std::uint32_t i = 0; i < count; ++i) {
            made[i].prev = first + (i + count - 1) % count;
            made[i].next = first + (i + 1) % count;
            nodes_.push_back(made[i]);
        }
        return first;
    }

    double flat() const { return kFlatRatio * extent_ * extent_; }

    // Joins the hole whose rightmost node is m into the ring through start_.
    bool bridge(std::uint32_t m) {
        const Point2 mp = nodes_[m].p;
        // Nearest side crossed by the ray from m toward +x.
        double best_x = std::numeric_limits<double>::infinity();
        std::uint32_t hit_a = kNone;
        std::uint32_t n = start_;
        do {
            const std::uint32_t b = nodes_[n].next;
            const Point2& pa = nodes_[n].p;
            const Point2& pb = nodes_[b].p;
            if ((pa.y <= mp.y && pb.y > mp.y) || (pb.y <= mp.y && pa.y > mp.y)) {
                const double x = pa.x + (mp.y - pa.y) * (pb.x - pa.x) / (pb.y - pa.y);
                if (x >= mp.x && x < best_x) {
                    best_x = x;
                    hit_a = n;
                }
            }
            n = b;
        } while (n != start_);
        if (hit_a == kNone) return false;
        const std::uint32_t hit_b = nodes_[hit_a].next;
        std::uint32_t visible;
        if (nodes_[hit_a].p.y == mp.y && nodes_[hit_a].p.x == best_x) {
            visible = hit_a;
        } else if (nodes_[hit_b].p.y == mp.y && nodes_[hit_b].p.x == best_x) {
            visible = hit_b;
        } else {
            visible = nodes_[hit_a].p.x >= nodes_[hit_b].p.x ? hit_a : hit_b;
            // Ring points inside (m, hit, end) hide the end; the one closest in angle to the
            // ray is then visible.
            const Point2 hit{best_x, mp.y};
            const Point2 end = nodes_[visible].p;
            const bool ccw = area2(mp, hit, end) > 0.0;
            double best_cos = -2.0, best_dist = 0.0;
            std::uint32_t blocker = kNone;
            n = start_;
            do {
                const Point2& p = nodes_[n].p;
                if (n != visible && !same_point(p, end) && !same_point(p, mp) &&
                    inside(ccw ? mp : end, hit, ccw ? end : mp, p)) {
                    const double dx = p.x - mp.x, dy = p.y - mp.y;
                    const double dist = std::sqrt(dx * dx + dy * dy);
                    const double c = dist > 0.0 ? dx / dist : -2.0;
                    if (c > best_cos || (c == best_cos && dist < best_dist)) {
                        best_cos = c;
                        best_dist = dist;
                        blocker = n;
                    }
                }
                n = nodes_[n].next;
            } while (n != start_);
            if (blocker != kNone) visible = blocker;
        }
        split(visible, m);
        return true;
    }

    // Closed test: p inside or on the counter-clockwise triangle (a, b, c).
    bool inside(const Point2& a, const Point2& b, const Point2& c, const Point2& p) const {
        const double e = -flat();
        return area2(a, b, p) >= e && area2(b, c, p) >= e && area2(c, a, p) >= e;
    }

    // Bridge a -> b: a gets a copy a2 and b a copy b2, and the ring runs
    // ... a, b, (b's ring), b2, a2, (a's old next) ...
    void split(std::uint32_t a, std::uint32_t b) {
        const auto a2 = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back(nodes_[a]);
        const auto b2 = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back(nodes_[b]);
        const std::uint32_t an = nodes_[a].next, bp = nodes_[b].prev;
        nodes_[a].next = b;
        nodes_[b].prev = a;
        nodes_[a2].next = an;
        nodes_[an].prev = a2;
        nodes_[b2].next = a2;
        nodes_[a2].prev = b2;
        nodes_[bp].next = b2;
        nodes_[b2].prev = bp;
    }

    bool is_ear(std::uint32_t b) const {
        const std::uint32_t a = nodes_[b].prev, c = nodes_[b].next;
        const Point2 &pa = nodes_[a].p, &pb = nodes_[b].p, &pc = nodes_[c].p;
        if (area2(pa, pb, pc) <= flat()) return false;
        for (std::uint32_t n = nodes_[c].next; n != a; n = nodes_[n].next) {
            const Point2& p = nodes_[n].p;
            if (same_point(p, pa) || same_point(p, pb) || same_point(p, pc)) continue;
            if (inside(pa, pb, pc, p)) return false;
        }
        return true;
    }

    void unlink(std::uint32_t n) {
        nodes_[nodes_[n].prev].next = nodes_[n].next;
        nodes_[nodes_[n].next].prev = nodes_[n].prev;
    }

    std::vector<IndexTriangle> clip() {
        std::size_t count = 1;
        for (std::uint32_t n = nodes_[start_].next; n != start_; n = nodes_[n].next) ++count;
        std::vector<IndexTriangle> out;
        out.reserve(count);
        std::uint32_t n = start_;
        std::size_t misses = 0;
        while (count > 3) {
            if (is_ear(n)) {
                const std::uint32_t a = nodes_[n].prev, c = nodes_[n].next;
                out.push_back({nodes_[a].index, nodes_[n].index, nodes_[c].index});
                unlink(n);
                --count;
                misses = 0;
                n = c;
                continue;
            }
            n = nodes_[n].next;
            if (++misses < count) continue;
            // A full turn without an ear: drop a corner that encloses nothing.
            std::uint32_t flat_corner = kNone;
            std::uint32_t m = n;
            do {
                const Node& node = nodes_[m];
                if (std::fabs(area2(nodes_[node.prev].p, node.p, nodes_[node.next].p)) <= flat()) {
                    flat_corner = m;
                    break;
                }
                m = node.next;
            } while (m != n);
            if (flat_corner == kNone) return {};
            n = nodes_[flat_corner].next;
            unlink(flat_corner);
            --count;
            misses = 0;
        }
        const std::uint32_t a = nodes_[n].prev, c = nodes_[n].next;
        if (area2(nodes_[a].p, nodes_[n].p, nodes_[c].p) > flat()) {
            out.push_back({nodes_[a].index, nodes_[n].index, nodes_[c].index});
        }
        return out;
    }

    std::span<const Vec3> outer_;
    std::span<const std::vector<Vec3>> holes_;
    std::vector<Node> nodes_;
    std::uint32_t start_ = 0;
    DVec3 origin_, u_, v_, normal_;
    double extent_ = 0.0;
};

}  // namespace

std::vector<IndexTriangle> triangulate_polygon_2d(std::span<const Vec3> outer,
                                                  std::span<const std::vector<Vec3>> holes) {
    if (outer.size() < 3) return {};
    if (holes.empty() && convex_ring(outer)) {
        std::vector<IndexTriangle> fan;
        fan.reserve(outer.size() - 2);
        for (std::uint32_t k = 2; k < outer.size(); ++k) fan.push_back({0, k - 1, k});
        return fan;
    }
    return EarClipper(outer, holes).run();
}

}  // namespace korvan
