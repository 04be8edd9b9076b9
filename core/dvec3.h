#pragma once

#include "core/vec3.h"

namespace korvan {

// Double-precision accumulator for sums over many terms (Newell normals, areas, volumes,
// centroids, fits). Convert back to Vec3 once, at the end.
struct DVec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    DVec3() = default;
    DVec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    explicit DVec3(const Vec3& v) : x(v.x), y(v.y), z(v.z) {}

    DVec3& operator+=(const DVec3& o) {
        x += o.x, y += o.y, z += o.z;
        return *this;
    }
    Vec3 to_vec3() const {
        return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    }
};

inline DVec3 operator+(const DVec3& a, const DVec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline DVec3 operator-(const DVec3& a, const DVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline DVec3 operator*(const DVec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(const DVec3& a, const DVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DVec3 cross(const DVec3& a, const DVec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace korvan
