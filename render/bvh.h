#pragma once

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/vec3.h"

// Bounding volume hierarchy over triangles, for ray queries: the nearest hit, any hit (shadow
// and visibility tests) and every hit along a ray. Built once per render with binned surface
// area heuristics; read-only afterwards, so any number of threads may query it at once.
//
// Triangles are two-sided (a ray hits a face from either side) and are addressed by their
// position in the list given to build(). Rays are origin + t dir for t_min < t < t_max;
// dir need not be unit length (t then counts in multiples of it).

namespace korvan {

inline constexpr std::uint32_t kNoHit = 0xFFFFFFFFu;

struct RayHit {
    std::uint32_t triangle = kNoHit;  // index into the built list; kNoHit for a miss
    float t = 0.0f;
    float u = 0.0f;  // barycentric weight of corner 1
    float v = 0.0f;  // barycentric weight of corner 2 (corner 0 has 1 - u - v)

    bool hit() const { return triangle != kNoHit; }
};

using TriangleCorners = std::array<Vec3, 3>;

class Bvh {
  public:
    // Replaces the hierarchy. Triangles without area are kept (they are never hit).
    void build(std::span<const TriangleCorners> triangles);
    bool empty() const { return triangle_count_ == 0; }
    std::size_t triangle_count() const { return triangle_count_; }
    std::size_t node_count() const { return nodes_.size(); }  // four-wide nodes

    // The nearest triangle hit, or a miss.
    RayHit closest_hit(const Vec3& origin, const Vec3& dir, float t_min, float t_max) const {
        return closest_hit_if(origin, dir, t_min, t_max, [](std::uint32_t, float) { return true; });
    }
    // The nearest hit among those accept(triangle, t) keeps (cut planes, transparent faces).
    template <class Accept>
    RayHit closest_hit_if(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                          Accept&& accept) const;

    // Whether anything lies on the ray between t_min and t_max.
    bool any_hit(const Vec3& origin, const Vec3& dir, float t_min, float t_max) const {
        return any_hit_if(origin, dir, t_min, t_max, [](std::uint32_t, float) { return true; });
    }
    template <class Accept>
    bool any_hit_if(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                    Accept&& accept) const;

    // The nearest hits, up to out.size() of them, sorted by t (equal t by triangle index);
    // returns how many were stored.
    std::size_t all_hits(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                         std::span<RayHit> out) const;

  private:
    // Four children per node, their boxes stored axis by axis so one ray tests all four at
    // once. A child is a node (count 0) or a leaf: triangle packets first .. first + count - 1 of
    // packets_. Unused slots have count 0 and child kNoChild.
    struct alignas(16) Node4 {
        float min_x[4], min_y[4], min_z[4];
        float max_x[4], max_y[4], max_z[4];
        std::uint32_t child[4];
        std::uint32_t count[4];
    };
    // Four triangles side by side (corner 0 and the two edges from it, axis by axis), tested
    // against a ray at once. Padding lanes have zero edges, which no ray hits, and index kNoHit.
    struct alignas(16) TrianglePacket {
        float v0x[4], v0y[4], v0z[4];
        float e1x[4], e1y[4], e1z[4];
        float e2x[4], e2y[4], e2z[4];
        std::uint32_t index[4];
    };
    struct LaneHits {
        alignas(16) float t[4], u[4], v[4];
        int mask = 0;  // bit i: lane i hit within the range
    };
    struct RayPrep {
        __m128 ox, oy, oz, ix, iy, iz, dx, dy, dz;
    };
    // A subtree waiting on the stack, with the distance at which the ray enters it.
    struct Pending {
        std::uint32_t child;
        std::uint32_t count;
        float t;
    };
    // The two-wide hierarchy the build makes first; collapse() turns it four-wide.
    struct BinaryBox {
        Vec3 min, max;
        float half_area() const {
            const Vec3 d = max - min;
            return d.x * d.y + d.y * d.z + d.z * d.x;
        }
    };
    struct BinaryNode {
        BinaryBox box;
        std::uint32_t first = 0;  // left child (right is first + 1), or first triangle
        std::uint32_t count = 0;  // triangles of a leaf; 0 for an interior node
    };
    void collapse(const std::vector<BinaryNode>& binary);

    static constexpr std::uint32_t kNoChild = 0xFFFFFFFFu;
    static constexpr int kStackSize = 192;  // 3 per level (4 children, one taken) x 64 levels
    static constexpr float kMissDistance = 3.0e38f;

    static RayPrep prepare(const Vec3& origin, const Vec3& dir);
    // Entry distances of the ray into the four child boxes; a lane misses (kMissDistance)
    // when the box is not crossed within [t_min, t_max] or the slot is unused.
    static __m128 enter_boxes(const Node4& node, const RayPrep& ray, float t_min, float t_max) {
        const __m128 tx0 = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.min_x), ray.ox), ray.ix);
        const __m128 tx1 = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.max_x), ray.ox), ray.ix);
        const __m128 ty0 = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.min_y), ray.oy), ray.iy);
        const __m128 ty1 = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.max_y), ray.oy), ray.iy);
        const __m128 tz0 = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.min_z), ray.oz), ray.iz);
        const __m128 tz1 = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.max_z), ray.oz), ray.iz);
        const __m128 lo = _mm_max_ps(_mm_max_ps(_mm_min_ps(tx0, tx1), _mm_min_ps(ty0, ty1)),
                                     _mm_max_ps(_mm_min_ps(tz0, tz1), _mm_set1_ps(t_min)));
        const __m128 hi = _mm_min_ps(_mm_min_ps(_mm_max_ps(tx0, tx1), _mm_max_ps(ty0, ty1)),
                                     _mm_min_ps(_mm_max_ps(tz0, tz1), _mm_set1_ps(t_max)));
        const __m128 crossed = _mm_cmple_ps(lo, hi);
        return _mm_or_ps(_mm_and_ps(crossed, lo),
                         _mm_andnot_ps(crossed, _mm_set1_ps(kMissDistance)));
    }
    // Two-sided Moller-Trumbore on four triangles: the lanes hit strictly inside
    // (t_min, t_max), with their t, u, v. The operations and their order are those of the
    // one-triangle test written with Vec3, so results agree bit for bit.
    static void intersect(const TrianglePacket& p, const RayPrep& ray, float t_min, float t_max,
                          LaneHits& out) {
        const __m128 e1x = _mm_load_ps(p.e1x), e1y = _mm_load_ps(p.e1y), e1z = _mm_load_ps(p.e1z);
        const __m128 e2x = _mm_load_ps(p.e2x), e2y = _mm_load_ps(p.e2y), e2z = _mm_load_ps(p.e2z);
        const __m128 dx = ray.dx, dy = ray.dy, dz = ray.dz;
        const __m128 px = _mm_sub_ps(_mm_mul_ps(dy, e2z), _mm_mul_ps(dz, e2y));
        const __m128 py = _mm_sub_ps(_mm_mul_ps(dz, e2x), _mm_mul_ps(dx, e2z));
        const __m128 pz = _mm_sub_ps(_mm_mul_ps(dx, e2y), _mm_mul_ps(dy, e2x));
        const __m128 det =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(e1x, px), _mm_mul_ps(e1y, py)), _mm_mul_ps(e1z, pz));
        const __m128 inv = _mm_div_ps(_mm_set1_ps(1.0f), det);
        const __m128 sx = _mm_sub_ps(ray.ox, _mm_load_ps(p.v0x));
        const __m128 sy = _mm_sub_ps(ray.oy, _mm_load_ps(p.v0y));
        const __m128 sz = _mm_sub_ps(ray.oz, _mm_load_ps(p.v0z));
        const __m128 u = _mm_mul_ps(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(sx, px), _mm_mul_ps(sy, py)), _mm_mul_ps(sz, pz)),
            inv);
        const __m128 qx = _mm_sub_ps(_mm_mul_ps(sy, e1z), _mm_mul_ps(sz, e1y));
        const __m128 qy = _mm_sub_ps(_mm_mul_ps(sz, e1x), _mm_mul_ps(sx, e1z));
        const __m128 qz = _mm_sub_ps(_mm_mul_ps(sx, e1y), _mm_mul_ps(sy, e1x));
        const __m128 v = _mm_mul_ps(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, qx), _mm_mul_ps(dy, qy)), _mm_mul_ps(dz, qz)),
            inv);
        const __m128 t = _mm_mul_ps(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(e2x, qx), _mm_mul_ps(e2y, qy)), _mm_mul_ps(e2z, qz)),
            inv);
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
        __m128 ok = _mm_cmpneq_ps(det, zero);
        ok = _mm_and_ps(ok, _mm_and_ps(_mm_cmpge_ps(u, zero), _mm_cmple_ps(u, one)));
        ok = _mm_and_ps(ok, _mm_and_ps(_mm_cmpge_ps(v, zero), _mm_cmple_ps(_mm_add_ps(u, v), one)));
        ok = _mm_and_ps(ok, _mm_and_ps(_mm_cmpgt_ps(t, _mm_set1_ps(t_min)),
                                       _mm_cmplt_ps(t, _mm_set1_ps(t_max))));
        out.mask = _mm_movemask_ps(ok);
        if (out.mask == 0) return;
        _mm_store_ps(out.t, t);
        _mm_store_ps(out.u, u);
        _mm_store_ps(out.v, v);
    }
    // Walks the children of every node the ray enters, nearest first; leaf(first, count)
    // returns the new far limit of the search (shrinking it prunes farther subtrees) or a
    // negative value to stop the walk.
    template <class Leaf>
    void walk(const RayPrep& ray, float t_min, float t_max, Leaf&& leaf) const;

    std::vector<Node4> nodes_;
    std::vector<TrianglePacket> packets_;
    std::size_t triangle_count_ = 0;
    std::uint32_t root_count_ = 0;  // the root is a leaf of this many packets when > 0
};

template <class Leaf>
void Bvh::walk(const RayPrep& ray, float t_min, float t_max, Leaf&& leaf) const {
    Pending stack[kStackSize];
    int top = 0;
    std::uint32_t child = 0, count = root_count_;
    for (;;) {
        if (count != 0) {
            t_max = leaf(child, count, t_max);
            if (t_max < 0.0f) return;
        } else {
            const Node4& node = nodes_[child];
            alignas(16) float t[4];
            _mm_store_ps(t, enter_boxes(node, ray, t_min, t_max));
            // Hit lanes sorted nearest first (at most four: insertion sort).
            Pending hits[4];
            int n = 0;
            for (int i = 0; i < 4; ++i) {
                if (t[i] == kMissDistance || node.child[i] == kNoChild) continue;
                Pending p{node.child[i], node.count[i], t[i]};
                int j = n++;
                while (j > 0 && hits[j - 1].t > p.t) {
                    hits[j] = hits[j - 1];
                    --j;
                }
                hits[j] = p;
            }
            if (n > 0) {
                for (int i = n - 1; i >= 1; --i) stack[top++] = hits[i];
                child = hits[0].child;
                count = hits[0].count;
                continue;
            }
        }
        // Pop, skipping subtrees that now lie beyond the search limit.
        bool found = false;
        while (top > 0) {
            const Pending p = stack[--top];
            if (p.t <= t_max) {
                child = p.child;
                count = p.count;
                found = true;
                break;
            }
        }
        if (!found) return;
    }
}

template <class Accept>
RayHit Bvh::closest_hit_if(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                           Accept&& accept) const {
    RayHit best;
    if (triangle_count_ == 0) return best;
    const RayPrep ray = prepare(origin, dir);
    walk(ray, t_min, t_max, [&](std::uint32_t first, std::uint32_t count, float limit) {
        LaneHits lanes;
        for (std::uint32_t i = first, end = first + count; i < end; ++i) {
            intersect(packets_[i], ray, t_min, limit, lanes);
            for (int k = 0; lanes.mask != 0 && k < 4; ++k) {
                if ((lanes.mask >> k & 1) == 0 || !(lanes.t[k] < limit)) continue;
                if (!accept(packets_[i].index[k], lanes.t[k])) continue;
                limit = lanes.t[k];
                best = {packets_[i].index[k], lanes.t[k], lanes.u[k], lanes.v[k]};
            }
        }
        return limit;
    });
    return best;
}

template <class Accept>
bool Bvh::any_hit_if(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                     Accept&& accept) const {
    if (triangle_count_ == 0) return false;
    const RayPrep ray = prepare(origin, dir);
    bool found = false;
    walk(ray, t_min, t_max, [&](std::uint32_t first, std::uint32_t count, float limit) {
        LaneHits lanes;
        for (std::uint32_t i = first, end = first + count; i < end; ++i) {
            intersect(packets_[i], ray, t_min, limit, lanes);
            for (int k = 0; lanes.mask != 0 && k < 4; ++k) {
                if ((lanes.mask >> k & 1) != 0 && accept(packets_[i].index[k], lanes.t[k])) {
                    found = true;
                    return -1.0f;
                }
            }
        }
        return limit;
    });
    return found;
}

}  // namespace korvan
