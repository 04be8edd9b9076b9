#pragma once

#include <optional>

#include "core/mat4.h"
#include "core/vec3.h"

// Products, inverses and the basic matrices of node transforms. Products are formed in
// doubles and rounded to float once.

namespace korvan {

// a x b: a point is transformed by b first, then by a.
Mat4 compose(const Mat4& a, const Mat4& b);

// Right-handed rotations about the x, y and z axes for points taken as columns.
Mat4 rotation_x(float angle_rad);
Mat4 rotation_y(float angle_rad);
Mat4 rotation_z(float angle_rad);

// Uniform scale about the origin.
Mat4 uniform_scale(float factor);

// Reflection through the plane through `point` with unit normal n:
// p' = p - 2 dot(p - point, n) n.
Mat4 reflection(const Vec3& point, const Vec3& unit_normal);

// The linear part applied to a direction (no translation).
Vec3 transform_direction(const Mat4& t, const Vec3& d);

// Determinant of the upper-left 3x3 part; negative when the transform mirrors.
double linear_determinant(const Mat4& t);

// Inverse of an affine transform (the fourth row is taken as 0 0 0 1); none when the
// linear part is singular (|det| below 1e-12) or not finite.
std::optional<Mat4> affine_inverse(const Mat4& t);

}  // namespace korvan
