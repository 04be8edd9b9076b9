#pragma once

#include <array>

#include "core/vec3.h"

namespace korvan {

// 4x4 transform, column-major: elements 0-3 are the first column and the translation sits in
// 12, 13, 14. Default-constructed it is the identity.
struct Mat4 {
    std::array<float, 16> m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static Mat4 identity() { return {}; }
    static Mat4 translation(const Vec3& v) {
        Mat4 t;
        t.m[12] = v.x, t.m[13] = v.y, t.m[14] = v.z;
        return t;
    }
};

// The affine part only: the fourth row is ignored, there is no perspective divide.
inline Vec3 transform_point(const Mat4& t, const Vec3& p) {
    const auto& m = t.m;
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
            m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

}  // namespace korvan
