#pragma once

#include <array>
#include <limits>
#include <optional>
#include <span>

#include "core/vec3.h"

namespace korvan {

// Axis-aligned box. Default-constructed it is empty (inverted); any min component above its
// max component makes a box empty, and queries on an empty box yield nothing.
struct Aabb {
    Vec3 min{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
             std::numeric_limits<float>::max()};
    Vec3 max{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
             -std::numeric_limits<float>::max()};

    bool empty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
    // Inclusive on all six faces; false for an empty box.
    bool contains(const Vec3& p) const {
        return p.x >= min.x && p.x <= max.x && p.y >= min.y && p.y <= max.y && p.z >= min.z &&
               p.z <= max.z;
    }
    void expand(const Vec3& p) {
        min = {std::fmin(min.x, p.x), std::fmin(min.y, p.y), std::fmin(min.z, p.z)};
        max = {std::fmax(max.x, p.x), std::fmax(max.y, p.y), std::fmax(max.z, p.z)};
    }
    void expand(const Aabb& b) {
        if (b.empty()) return;
        expand(b.min);
        expand(b.max);
    }
    Vec3 center() const { return (min + max) * 0.5f; }
};

// Oriented box: three unit axes (right-handed, axis 0 along the longest extent) and the
// half-extent along each.
struct Obb {
    Vec3 center;
    std::array<Vec3, 3> axes{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
    Vec3 half_extents;
};

// Principal-component box of a point set (each point counted once by the caller). No value
// for fewer than 3 points, no spread at all, or an eigen solve that does not yield unit axes.
// A flat set succeeds with a zero third extent.
std::optional<Obb> oriented_box_of_points(std::span<const Vec3> points);

}  // namespace korvan
