#pragma once

#include <optional>

#include "core/vec3.h"

namespace korvan {

// A rotation about an axis through `pivot`, prepared once and applied to many points in
// floats (Rodrigues' formula).
struct Rotation {
    Vec3 pivot;
    Vec3 axis{0.0f, 0.0f, 1.0f};  // unit
    float cos_a = 1.0f;
    float sin_a = 0.0f;
};

// No value when the axis's squared length is below kDegenerateNormalSq: such a rotation moves
// nothing. The axis is normalised here.
std::optional<Rotation> make_rotation(const Vec3& pivot, const Vec3& axis, float angle_rad);

// With q = p - pivot: pivot + q cos a + (k x q) sin a + k (k . q)(1 - cos a).
Vec3 rotate_point(const Rotation& r, const Vec3& p);

}  // namespace korvan
