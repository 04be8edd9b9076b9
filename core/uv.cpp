#include "core/uv.h"

#include <cmath>

#include "core/dvec3.h"

namespace korvan {
namespace {

constexpr double kDegenerateNormalLength = 1e-12;
// Below this the reference direction is (nearly) the normal itself and gives no V axis.
constexpr double kMinReferenceResidual = 1e-6;
constexpr float kMaxUsableUv = 1e7f;

double tile_or_one(float size) { return size > 0.0f ? size : 1.0; }

}  // namespace

UvFrame projection_frame(const Vec3& normal) {
    DVec3 n(normal);
    const double len = std::sqrt(dot(n, n));
    if (!(len >= kDegenerateNormalLength)) return {};  // also refuses NaN lengths
    n = n * (1.0 / len);

    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    std::uint8_t dominant = 2;
    if (ax >= ay && ax >= az) {
        dominant = 0;
    } else if (ay >= az) {
        dominant = 1;
    }
    const double along = dominant == 0 ? n.x : dominant == 1 ? n.y : n.z;
    if (along < 0.0) n = n * -1.0;

    // Walls take world Z as "up"; floors and roofs take world Y.
    const DVec3 reference = dominant == 2 ? DVec3(0, 1, 0) : DVec3(0, 0, 1);
    DVec3 v = reference - n * dot(reference, n);
    const double v_len = std::sqrt(dot(v, v));
    if (v_len < kMinReferenceResidual) return {};
    v = v * (1.0 / v_len);
    const DVec3 u = cross(v, n);

    UvFrame frame;
    frame.u_axis = u.to_vec3();
    frame.v_axis = v.to_vec3();
    frame.dominant_axis = dominant;
    return frame;
}

TexCoord project_uv(const Vec3& point, const UvFrame& frame, const UvTransform& transform) {
    const DVec3 p(point);
    const double a = dot(p, DVec3(frame.u_axis));
    const double b = dot(p, DVec3(frame.v_axis));
    const double theta = transform.rotation_rad;
    const double s = std::sin(theta), c = std::cos(theta);
    const double u = (b * s + a * c) / tile_or_one(transform.tile_width) + transform.offset_u;
    const double v = (b * c - a * s) / tile_or_one(transform.tile_height) + transform.offset_v;
    return {static_cast<float>(u), static_cast<float>(v)};
}

TexCoord project_uv(const Vec3& point, const Vec3& normal, const UvTransform& transform) {
    return project_uv(point, projection_frame(normal), transform);
}

bool uv_usable(const TexCoord& uv) {
    return std::isfinite(uv.u) && std::isfinite(uv.v) && std::fabs(uv.u) < kMaxUsableUv &&
           std::fabs(uv.v) < kMaxUsableUv;
}

}  // namespace korvan
