#pragma once

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
    bool empty() const { return nodes_.empty(); }
    std::size_t triangle_count() const { return tris_.size(); }
    std::size_t node_count() const { return nodes_.size(); }

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
    // 32 bytes: an interior node's children are nodes first and first + 1; a leaf holds
    // triangles first .. first + count - 1 of tris_.
    struct Node {
        float min[3];
        std::uint32_t first;
        float max[3];
        std::uint32_t count;  // 0 for an interior node
    };
    // Corner 0 and the two edges from it, ready for the intersection test.
    struct PackedTriangle {
        Vec3 v0, e1, e2;
        std::uint32_t index;
    };
    struct RayPrep {
        Vec3 origin, dir, inv;
    };
    static constexpr int kStackSize = 64;

    static RayPrep prepare(const Vec3& origin, const Vec3& dir);
    // Entry distance of the ray into the node's box, or +inf when it misses within t_max.
    static float enter_box(const Node& node, const RayPrep& ray, float t_min, float t_max) {
        const float tx0 = (node.min[0] - ray.origin.x) * ray.inv.x;
        const float tx1 = (node.max[0] - ray.origin.x) * ray.inv.x;
        const float ty0 = (node.min[1] - ray.origin.y) * ray.inv.y;
        const float ty1 = (node.max[1] - ray.origin.y) * ray.inv.y;
        const float tz0 = (node.min[2] - ray.origin.z) * ray.inv.z;
        const float tz1 = (node.max[2] - ray.origin.z) * ray.inv.z;
        const float lo = std::max(std::max(std::min(tx0, tx1), std::min(ty0, ty1)),
                                  std::max(std::min(tz0, tz1), t_min));
        const float hi = std::min(std::min(std::max(tx0, tx1), std::max(ty0, ty1)),
                                  std::min(std::max(tz0, tz1), t_max));
        return lo <= hi ? lo : kMissDistance;
    }
    // Two-sided Moller-Trumbore; true with t, u, v for a hit strictly inside (t_min, t_max).
    static bool intersect(const PackedTriangle& tri, const RayPrep& ray, float t_min, float t_max,
                          float& t, float& u, float& v) {
        const Vec3 p = cross(ray.dir, tri.e2);
        const float det = dot(tri.e1, p);
        if (det == 0.0f) return false;
        const float inv_det = 1.0f / det;
        const Vec3 s = ray.origin - tri.v0;
        u = dot(s, p) * inv_det;
        if (!(u >= 0.0f && u <= 1.0f)) return false;
        const Vec3 q = cross(s, tri.e1);
        v = dot(ray.dir, q) * inv_det;
        if (!(v >= 0.0f && u + v <= 1.0f)) return false;
        t = dot(tri.e2, q) * inv_det;
        return t > t_min && t < t_max;
    }
    static constexpr float kMissDistance = 3.0e38f;

    std::vector<Node> nodes_;
    std::vector<PackedTriangle> tris_;
};

template <class Accept>
RayHit Bvh::closest_hit_if(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                           Accept&& accept) const {
    RayHit best;
    if (nodes_.empty()) return best;
    const RayPrep ray = prepare(origin, dir);
    float t_best = t_max;
    std::uint32_t stack[kStackSize];
    int top = 0;
    std::uint32_t node_index = 0;
    if (enter_box(nodes_[0], ray, t_min, t_best) == kMissDistance) return best;
    for (;;) {
        const Node& node = nodes_[node_index];
        if (node.count != 0) {
            for (std::uint32_t i = node.first, end = node.first + node.count; i < end; ++i) {
                float t, u, v;
                if (intersect(tris_[i], ray, t_min, t_best, t, u, v) &&
                    accept(tris_[i].index, t)) {
                    t_best = t;
                    best = {tris_[i].index, t, u, v};
                }
            }
        } else {
            const std::uint32_t left = node.first, right = node.first + 1;
            const float t_left = enter_box(nodes_[left], ray, t_min, t_best);
            const float t_right = enter_box(nodes_[right], ray, t_min, t_best);
            const bool hit_left = t_left != kMissDistance, hit_right = t_right != kMissDistance;
            if (hit_left && hit_right) {
                const bool left_first = t_left <= t_right;
                if (top < kStackSize) stack[top++] = left_first ? right : left;
                node_index = left_first ? left : right;
                continue;
            }
            if (hit_left || hit_right) {
                node_index = hit_left ? left : right;
                continue;
            }
        }
        // Pop, skipping subtrees that now lie beyond the nearest hit.
        bool found = false;
        while (top > 0) {
            node_index = stack[--top];
            if (enter_box(nodes_[node_index], ray, t_min, t_best) != kMissDistance) {
                found = true;
                break;
            }
        }
        if (!found) break;
    }
    return best;
}

template <class Accept>
bool Bvh::any_hit_if(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                     Accept&& accept) const {
    if (nodes_.empty()) return false;
    const RayPrep ray = prepare(origin, dir);
    std::uint32_t stack[kStackSize];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const Node& node = nodes_[stack[--top]];
        if (enter_box(node, ray, t_min, t_max) == kMissDistance) continue;
        if (node.count != 0) {
            for (std::uint32_t i = node.first, end = node.first + node.count; i < end; ++i) {
                float t, u, v;
                if (intersect(tris_[i], ray, t_min, t_max, t, u, v) && accept(tris_[i].index, t))
                    return true;
            }
        } else if (top + 2 <= kStackSize) {
            stack[top++] = node.first + 1;
            stack[top++] = node.first;
        }
    }
    return false;
}

}  // namespace korvan
