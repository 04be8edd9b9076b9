#include "core/rotation.h"

#include "core/tolerances.h"

namespace korvan {

std::optional<Rotation> make_rotation(const Vec3& pivot, const Vec3& axis, float angle_rad) {
    if (!(static_cast<double>(length_squared(axis)) >= kDegenerateNormalSq)) return std::nullopt;
    return Rotation{pivot, normalize(axis), std::cos(angle_rad), std::sin(angle_rad)};
}

Vec3 rotate_point(const Rotation& r, const Vec3& p) {
    const Vec3 q = p - r.pivot;
    const Vec3& k = r.axis;
    const Vec3 q_rot = q * r.cos_a + cross(k, q) * r.sin_a + k * (dot(k, q) * (1.0f - r.cos_a));
    return r.pivot + q_rot;
}

}  // namespace korvan
