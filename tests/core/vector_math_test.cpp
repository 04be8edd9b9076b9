#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "core/box.h"
#include "core/mat4.h"
#include "core/plane.h"
#include "core/rotation.h"
#include "core/vec3.h"
#include "tests/support/near_checks.h"

namespace korvan {
namespace {

using test::expect_near;

const std::vector<Vec3> kSamplePoints = {
    {0, 0, 0}, {1, 2, 3}, {-4.5f, 0.25f, 7}, {1e3f, -2e3f, 5e2f}, {0.1f, 0.2f, 0.3f}};

TEST(Mat4, ColumnMajorWithTranslationInTwelveToFourteen) {
    Mat4 t = Mat4::translation({10, 20, 30});
    EXPECT_EQ(t.m[12], 10.0f);
    EXPECT_EQ(t.m[14], 30.0f);
    // First column is the image of x: put a 90-degree turn about z in the upper 3x3.
    t.m[0] = 0, t.m[1] = 1, t.m[4] = -1, t.m[5] = 0;
    expect_near(transform_point(t, {1, 0, 0}), {10, 21, 30}, 0);
    expect_near(transform_point(t, {0, 1, 0}), {9, 20, 30}, 0);
    // The fourth row takes no part (no perspective divide).
    t.m[3] = 5, t.m[7] = 5, t.m[15] = 9;
    expect_near(transform_point(t, {0, 1, 0}), {9, 20, 30}, 0);
}

TEST(Rotation, QuarterTurnAboutOffsetAxis) {
    const auto r = make_rotation({1, 1, 0}, {0, 0, 2}, radians(90.0f));
    ASSERT_TRUE(r);
    expect_near(rotate_point(*r, {2, 1, 5}), {1, 2, 5}, 1e-6f);
    expect_near(rotate_point(*r, {1, 1, 3}), {1, 1, 3}, 1e-6f);  // on the axis
}

TEST(Rotation, FullTurnAndDegenerateAxisMoveNothing) {
    // cos(kFullTurn) rounds to 1 in floats; sin leaves about 1.7e-7 of a turn, which stays
    // under the moved-vertex threshold for a unit-sized model.
    const Vec3 pivot{0.5f, -2, 1};
    const auto full = make_rotation(pivot, {1, 1, 1}, kFullTurn);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->cos_a, 1.0f);
    for (int i = 0; i < 8; ++i) {
        const Vec3 p =
            pivot + Vec3{(i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f};
        EXPECT_LE(length(rotate_point(*full, p) - p), kMovedVertexThreshold) << i;
    }
    EXPECT_FALSE(make_rotation({}, {1e-7f, 0, 0}, 1.0f));
    EXPECT_FALSE(make_rotation({}, {0, 0, 0}, 1.0f));
}

TEST(Plane, ReflectingTwiceRestoresEveryPoint) {
    const auto plane = make_plane({0.3f, -1, 2}, {1, 2, -0.5f});
    ASSERT_TRUE(plane);
    EXPECT_NEAR(length(plane->normal), 1.0f, 1e-6f);
    for (const Vec3& p : kSamplePoints) {
        SCOPED_TRACE(p.x);
        const Vec3 once = reflect_point(*plane, p);
        EXPECT_NEAR(signed_distance(*plane, once), -signed_distance(*plane, p),
                    1e-5f * (1 + length(p)));
        expect_near(reflect_point(*plane, once), p, 1e-5f * (1 + length(p)));
    }
}

TEST(Plane, ProjectionLandsOnPlaneAndDegenerateNormalIsRefused) {
    const auto plane = make_plane({0, 0, 2}, {0, 0, 5});
    ASSERT_TRUE(plane);
    expect_near(project_point(*plane, {3, 4, -7}), {3, 4, 2}, 0);
    EXPECT_FLOAT_EQ(signed_distance(*plane, {0, 0, 3}), 1.0f);
    EXPECT_FALSE(make_plane({}, {0, 0, 0}));
    EXPECT_FALSE(make_plane({}, {1e-9f, 0, 0}));
    EXPECT_TRUE(make_plane({}, {1e-7f, 0, 0}));
}

TEST(Vec3, ScaleByOneIsExactAndScalesAboutPivot) {
    const Vec3 pivot{1.5f, -2, 0.25f};
    for (const Vec3& p : kSamplePoints) EXPECT_EQ(scale_point(p, pivot, {1, 1, 1}), p);
    EXPECT_EQ(scale_point({3, 0, 1}, {1, 0, 0}, {2, 5, 3}), (Vec3{5, 0, 3}));
    EXPECT_EQ(normalize(Vec3{}), Vec3{});
}

TEST(Aabb, InvertedBoxIsEmptyAndContainsNothing) {
    EXPECT_TRUE(Aabb{}.empty());
    const Aabb inverted{{0, 0, 1}, {1, 1, 0}};
    EXPECT_TRUE(inverted.empty());
    EXPECT_FALSE(inverted.contains({0.5f, 0.5f, 0.5f}));
    const Aabb unit{{0, 0, 0}, {1, 1, 1}};
    EXPECT_TRUE(unit.contains({1, 0, 1}));  // corners are inside
    EXPECT_FALSE(unit.contains({1, 0, 1.0001f}));
}

TEST(OrientedBox, FindsAxesAndExtentsOfRotatedBox) {
    // A 4 x 2 x 1 box turned 30 degrees about z and moved.
    const auto turn = make_rotation({}, {0, 0, 1}, radians(30.0f));
    std::vector<Vec3> points;
    for (int i = 0; i < 8; ++i) {
        const Vec3 local{(i & 1) ? 2.0f : -2.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 0.5f : -0.5f};
        points.push_back(rotate_point(*turn, local) + Vec3{10, 20, 30});
    }
    const auto box = oriented_box_of_points(points);
    ASSERT_TRUE(box);
    expect_near(box->center, {10, 20, 30}, 1e-4f);
    expect_near(box->half_extents, {2, 1, 0.5f}, 1e-4f);
    const Vec3 long_axis{std::cos(radians(30.0f)), std::sin(radians(30.0f)), 0};
    EXPECT_NEAR(std::fabs(dot(box->axes[0], long_axis)), 1.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(box->axes[2].z), 1.0f, 1e-5f);
    expect_near(cross(box->axes[0], box->axes[1]), box->axes[2], 1e-5f);
}

TEST(OrientedBox, EdgeCasesOfSmallAndFlatSets) {
    struct Case {
        const char* name;
        std::vector<Vec3> points;
        bool ok;
    };
    const Case cases[] = {
        {"flat rectangle", {{0, 0, 0}, {3, 0, 0}, {3, 1, 0}, {0, 1, 0}}, true},
        {"triangle", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, true},
        {"two points", {{0, 0, 0}, {1, 0, 0}}, false},
        {"three equal points", {{2, 2, 2}, {2, 2, 2}, {2, 2, 2}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto box = oriented_box_of_points(c.points);
        ASSERT_EQ(box.has_value(), c.ok);
        if (!box) continue;
        EXPECT_FLOAT_EQ(box->half_extents.z, 0.0f);
        EXPECT_GE(box->half_extents.x, box->half_extents.y);
    }
}

}  // namespace
}  // namespace korvan
