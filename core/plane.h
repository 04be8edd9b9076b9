#pragma once

#include <optional>

#include "core/vec3.h"

namespace korvan {

// A plane through `point` with a unit `normal`. Build one with make_plane, which accepts a
// normal of any length and refuses a degenerate one.
struct Plane {
    Vec3 point;
    Vec3 normal{0.0f, 0.0f, 1.0f};
};

// No value when the normal's squared length is below kDegenerateDirectionSq.
std::optional<Plane> make_plane(const Vec3& point, const Vec3& normal);

// dot(p - point, n): positive on the side the normal points to.
float signed_distance(const Plane& plane, const Vec3& p);
// Mirror image of p. Reflection reverses handedness, so faces reflected with it must also
// have their winding reversed to keep outward normals outward.
Vec3 reflect_point(const Plane& plane, const Vec3& p);
// Foot of the perpendicular from p onto the plane.
Vec3 project_point(const Plane& plane, const Vec3& p);

}  // namespace korvan
