#include "core/plane.h"

#include "core/tolerances.h"

namespace korvan {

std::optional<Plane> make_plane(const Vec3& point, const Vec3& normal) {
    const double sq = static_cast<double>(normal.x) * normal.x +
                      static_cast<double>(normal.y) * normal.y +
                      static_cast<double>(normal.z) * normal.z;
    if (!(sq >= kDegenerateDirectionSq)) return std::nullopt;  // also refuses NaN
    return Plane{point, normalize(normal)};
}

float signed_distance(const Plane& plane, const Vec3& p) {
    return dot(p - plane.point, plane.normal);
}

Vec3 reflect_point(const Plane& plane, const Vec3& p) {
    return p - plane.normal * (2.0f * signed_distance(plane, p));
}

Vec3 project_point(const Plane& plane, const Vec3& p) {
    return p - plane.normal * signed_distance(plane, p);
}

}  // namespace korvan
