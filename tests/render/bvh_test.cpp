#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "render/bvh.h"

namespace korvan {
namespace {

// The plain reference: every triangle tested, the nearest kept. Same two-sided test as the
// hierarchy's leaves, so the two must agree exactly.
bool hit_triangle(const TriangleCorners& c, const Vec3& o, const Vec3& d, float& t) {
    const Vec3 e1 = c[1] - c[0], e2 = c[2] - c[0];
    const Vec3 p = cross(d, e2);
    const float det = dot(e1, p);
    if (det == 0.0f) return false;
    const float inv = 1.0f / det;
    const Vec3 s = o - c[0];
    const float u = dot(s, p) * inv;
    if (!(u >= 0.0f && u <= 1.0f)) return false;
    const Vec3 q = cross(s, e1);
    const float v = dot(d, q) * inv;
    if (!(v >= 0.0f && u + v <= 1.0f)) return false;
    t = dot(e2, q) * inv;
    return true;
}

struct Scene {
    std::vector<TriangleCorners> tris;
    Bvh bvh;
};

Scene random_scene(std::uint32_t seed, std::size_t n, float spread, float size) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(-spread, spread), off(-size, size);
    Scene s;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 c{pos(rng), pos(rng), pos(rng)};
        s.tris.push_back({c + Vec3{off(rng), off(rng), off(rng)},
                          c + Vec3{off(rng), off(rng), off(rng)},
                          c + Vec3{off(rng), off(rng), off(rng)}});
    }
    // Some coincident copies and slivers: ties and degenerate boxes.
    for (std::size_t i = 0; i < n / 10; ++i) s.tris.push_back(s.tris[i]);
    for (std::size_t i = 0; i < n / 20; ++i)
        s.tris.push_back({s.tris[i][0], s.tris[i][0], s.tris[i][1]});
    s.bvh.build(s.tris);
    return s;
}

TEST(Bvh, QueriesAgreeWithTestingEveryTriangle) {
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        const Scene s = random_scene(seed, seed == 4 ? 3000 : 400, 10.0f, seed == 3 ? 4.0f : 0.8f);
        std::mt19937 rng(seed * 7919u);
        std::uniform_real_distribution<float> pos(-14.0f, 14.0f), dir(-1.0f, 1.0f);
        for (int r = 0; r < 500; ++r) {
            const Vec3 o{pos(rng), pos(rng), pos(rng)};
            // Some rays along an axis: zero direction components.
            Vec3 d{dir(rng), dir(rng), dir(rng)};
            if (r % 5 == 0) d = Vec3{0.0f, 0.0f, d.z < 0 ? -1.0f : 1.0f};
            const float t_max = r % 3 == 0 ? 6.0f : 1e30f;

            float best = t_max;
            std::vector<std::pair<float, std::uint32_t>> all;
            for (std::uint32_t i = 0; i < s.tris.size(); ++i) {
                float t;
                if (hit_triangle(s.tris[i], o, d, t) && t > 0.0f && t < t_max) {
                    best = std::min(best, t);
                    all.emplace_back(t, i);
                }
            }
            std::sort(all.begin(), all.end());
            const RayHit hit = s.bvh.closest_hit(o, d, 0.0f, t_max);
            ASSERT_EQ(hit.hit(), !all.empty()) << "ray " << r;
            EXPECT_EQ(s.bvh.any_hit(o, d, 0.0f, t_max), !all.empty());
            if (!all.empty()) {
                EXPECT_EQ(hit.t, best);
                float t_check;
                ASSERT_TRUE(hit_triangle(s.tris[hit.triangle], o, d, t_check));
                EXPECT_EQ(t_check, best);
            }
            RayHit hits[5];
            const std::size_t n = s.bvh.all_hits(o, d, 0.0f, t_max, hits);
            ASSERT_EQ(n, std::min<std::size_t>(5, all.size()));
            for (std::size_t k = 0; k < n; ++k) {
                EXPECT_EQ(hits[k].t, all[k].first);
                EXPECT_EQ(hits[k].triangle, all[k].second);
            }
        }
    }
}

TEST(Bvh, FilteredQueriesSkipRejectedTriangles) {
    // Three parallel squares across the z axis at z = 1, 2, 3 (two triangles each).
    std::vector<TriangleCorners> tris;
    for (float z : {1.0f, 2.0f, 3.0f}) {
        tris.push_back({Vec3{-1, -1, z}, Vec3{1, -1, z}, Vec3{1, 1, z}});
        tris.push_back({Vec3{-1, -1, z}, Vec3{1, 1, z}, Vec3{-1, 1, z}});
    }
    Bvh bvh;
    bvh.build(tris);
    const Vec3 o{0.2f, -0.3f, 0.0f}, up{0, 0, 1};
    EXPECT_FLOAT_EQ(bvh.closest_hit(o, up, 0.0f, 1e30f).t, 1.0f);
    const RayHit beyond_first =
        bvh.closest_hit_if(o, up, 0.0f, 1e30f, [](std::uint32_t tri, float) { return tri >= 2; });
    EXPECT_FLOAT_EQ(beyond_first.t, 2.0f);
    EXPECT_FALSE(
        bvh.any_hit_if(o, up, 0.0f, 1e30f, [](std::uint32_t, float t) { return t > 5.0f; }));
    EXPECT_FALSE(bvh.closest_hit(o, -up, 0.0f, 1e30f).hit());
    // Seen from above, the same faces are hit: triangles are two-sided.
    EXPECT_FLOAT_EQ(bvh.closest_hit(Vec3{0.2f, -0.3f, 4.0f}, -up, 0.0f, 1e30f).t, 1.0f);
    Bvh empty;
    empty.build({});
    EXPECT_FALSE(empty.closest_hit(o, up, 0.0f, 1e30f).hit());
}

}  // namespace
}  // namespace korvan
