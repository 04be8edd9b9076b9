#pragma once

#include <cmath>

#include "core/tolerances.h"

namespace korvan {

// A point or direction in model space (metres). Stored geometry is float; sums over many
// terms go through DVec3 (core/dvec3.h) and are rounded back once.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vec3& operator+=(const Vec3& o) {
        x += o.x, y += o.y, z += o.z;
        return *this;
    }
    Vec3& operator-=(const Vec3& o) {
        x -= o.x, y -= o.y, z -= o.z;
        return *this;
    }
    Vec3& operator*=(float s) {
        x *= s, y *= s, z *= s;
        return *this;
    }
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(const Vec3& a) { return {-a.x, -a.y, -a.z}; }
// Component-wise product, as used by per-axis scaling.
inline Vec3 operator*(const Vec3& a, const Vec3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline Vec3 operator*(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, const Vec3& a) { return a * s; }

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length_squared(const Vec3& a) { return dot(a, a); }
inline float length(const Vec3& a) { return std::sqrt(dot(a, a)); }
// Unit vector along a; the zero vector stays zero rather than turning into NaNs. Callers that
// need a direction test length_squared against the tolerances first.
inline Vec3 normalize(const Vec3& a) {
    const float len = length(a);
    return len > 0.0f ? a * (1.0f / len) : Vec3{};
}

inline float radians(float deg) { return deg * kDegToRad; }
inline float degrees(float rad) { return rad * kRadToDeg; }

// p' = pivot + (p - pivot) * s per axis. An axis with a factor of exactly 1 keeps its
// coordinate bit for bit (the round trip through the pivot would not), so scaling by 1
// moves nothing.
inline Vec3 scale_point(const Vec3& p, const Vec3& pivot, const Vec3& s) {
    auto axis = [](float q, float c, float f) { return f == 1.0f ? q : c + (q - c) * f; };
    return {axis(p.x, pivot.x, s.x), axis(p.y, pivot.y, s.y), axis(p.z, pivot.z, s.z)};
}

}  // namespace korvan
