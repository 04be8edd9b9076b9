#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/polygon_2d.h"
#include "core/rotation.h"

namespace korvan {
namespace {

struct P2 {
    double x, y;
};

double cross2(const P2& a, const P2& b, const P2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

double ring_area(const std::vector<P2>& r) {
    double a = 0.0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        const P2 &p = r[i], &q = r[(i + 1) % r.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return 0.5 * a;
}

// Even-odd test; points exactly on a side do not occur for the centroids tested here.
bool inside_ring(const std::vector<P2>& r, const P2& p) {
    bool in = false;
    for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
        if ((r[i].y > p.y) != (r[j].y > p.y) &&
            p.x < (r[j].x - r[i].x) * (p.y - r[i].y) / (r[j].y - r[i].y) + r[i].x) {
            in = !in;
        }
    }
    return in;
}

std::vector<Vec3> lift(const std::vector<P2>& r) {
    std::vector<Vec3> out;
    for (const P2& p : r) out.push_back({static_cast<float>(p.x), static_cast<float>(p.y), 0.0f});
    return out;
}

struct Shape {
    const char* name;
    std::vector<P2> outer;
    std::vector<std::vector<P2>> holes;
};

// Every triangle is a proper counter-clockwise triangle (like the outer ring) whose centre is
// in the polygon and out of the holes, and together they cover exactly its area.
void expect_covers(const Shape& s, const std::vector<IndexTriangle>& tris) {
    std::vector<P2> all = s.outer;
    double area = ring_area(s.outer);
    for (const auto& h : s.holes) {
        all.insert(all.end(), h.begin(), h.end());
        area -= std::fabs(ring_area(h));
    }
    double covered = 0.0;
    for (const IndexTriangle& t : tris) {
        ASSERT_LT(t[0], all.size());
        ASSERT_LT(t[1], all.size());
        ASSERT_LT(t[2], all.size());
        const P2 &a = all[t[0]], &b = all[t[1]], &c = all[t[2]];
        const double twice = cross2(a, b, c);
        EXPECT_GT(twice, 1e-9) << "degenerate or reversed triangle";
        covered += 0.5 * twice;
        const P2 centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3};
        EXPECT_TRUE(inside_ring(s.outer, centre)) << centre.x << "," << centre.y;
        for (const auto& h : s.holes) EXPECT_FALSE(inside_ring(h, centre));
    }
    EXPECT_NEAR(covered, area, 1e-6 * area);
}

TEST(Polygon2d, ConvexConcaveCollinearAndHoledRingsAreCovered) {
    const std::vector<P2> square{{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    const Shape shapes[] = {
        {"convex square", square, {}},
        {"L hexagon", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, {}},
        {"collinear sides", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 3}, {0, 3}, {0, 2}, {0, 1}}, {}},
        {"collinear at the fan start", {{1, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}, {}},
        {"comb",
         {{0, 0},
          {7, 0},
          {7, 3},
          {6, 3},
          {6, 1},
          {5, 1},
          {5, 3},
          {4, 3},
          {4, 1},
          {3, 1},
          {3, 3},
          {2, 3},
          {2, 1},
          {1, 1},
          {1, 3},
          {0, 3}},
         {}},
        {"spiral-ish",
         {{0, 0},
          {5, 0},
          {5, 5},
          {1, 5},
          {1, 2},
          {3, 2},
          {3, 3},
          {2, 3},
          {2, 4},
          {4, 4},
          {4, 1},
          {0, 1}},
         {}},
        {"square with a hole", square, {{{1, 1}, {1, 3}, {3, 3}, {3, 1}}}},
        {"hole given counter-clockwise", square, {{{1, 1}, {3, 1}, {3, 3}, {1, 3}}}},
        {"two holes on one line",
         square,
         {{{0.5, 1}, {0.5, 3}, {1.5, 3}, {1.5, 1}}, {{2.5, 1}, {2.5, 3}, {3.5, 3}, {3.5, 1}}}},
        {"hole beside a notch",
         {{0, 0}, {6, 0}, {6, 6}, {4, 6}, {4, 3}, {2, 3}, {2, 6}, {0, 6}},
         {{{1, 1}, {1, 2}, {5, 2}, {5, 1}}}},
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.name);
        std::vector<std::vector<Vec3>> holes;
        std::size_t points = s.outer.size();
        for (const auto& h : s.holes) {
            holes.push_back(lift(h));
            points += h.size();
        }
        const std::vector<IndexTriangle> tris = triangulate_polygon_2d(lift(s.outer), holes);
        // A triangulation over every point: n - 2 triangles plus two per hole.
        EXPECT_EQ(tris.size(), points - 2 + 2 * s.holes.size());
        expect_covers(s, tris);
    }
}

TEST(Polygon2d, TiltedRingKeepsItsWinding) {
    // The L hexagon turned out of the ground plane: triangles must face the ring's own way.
    const std::vector<P2> l{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    const Rotation r = *make_rotation({0.3f, -0.2f, 1.0f}, {1, 2, 0.5f}, 2.2f);
    std::vector<Vec3> ring;
    for (const Vec3& p : lift(l)) ring.push_back(rotate_point(r, p));
    const Vec3 normal = rotate_point(r, Vec3{0, 0, 1}) - rotate_point(r, Vec3{});
    const std::vector<IndexTriangle> tris = triangulate_polygon_2d(ring);
    ASSERT_EQ(tris.size(), 4u);
    float area = 0.0f;
    for (const IndexTriangle& t : tris) {
        const Vec3 n = cross(ring[t[1]] - ring[t[0]], ring[t[2]] - ring[t[0]]);
        EXPECT_GT(dot(n, normal), 0.0f);
        area += 0.5f * length(n);
    }
    EXPECT_NEAR(area, 3.0f, 1e-4f);
}

TEST(Polygon2d, RefusesWhatHasNoArea) {
    EXPECT_TRUE(triangulate_polygon_2d(std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}}).empty());
    EXPECT_TRUE(triangulate_polygon_2d(std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}).empty());
    EXPECT_TRUE(triangulate_polygon_2d(std::vector<Vec3>{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}).empty());
}

}  // namespace
}  // namespace korvan
