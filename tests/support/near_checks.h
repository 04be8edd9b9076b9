#pragma once

#include <gtest/gtest.h>

#include "core/box.h"
#include "core/mat4.h"
#include "core/vec3.h"

// Tolerant comparisons of kernel values. Header-only for the same reason as solid_checks.h:
// korvan_test_support does not link the kernel. Each component is its own expectation, so a
// failure names the coordinate that is off.

namespace korvan::test {

inline void expect_near(const Vec3& got, const Vec3& want, float tol = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

inline void expect_near(const Mat4& got, const Mat4& want, float tol = 1e-5f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got.m[i], want.m[i], tol) << "element " << i;
}

inline void expect_near(const Aabb& got, const Vec3& min, const Vec3& max, float tol = 1e-5f) {
    expect_near(got.min, min, tol);
    expect_near(got.max, max, tol);
}

}  // namespace korvan::test
