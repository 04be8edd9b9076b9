#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/tolerances.h"
#include "core/uv.h"
#include "tests/support/near_checks.h"

namespace korvan {
namespace {

using test::expect_near;

TEST(ProjectionFrame, AxesFollowTheDominantAxisAndOppositeFacesShareOne) {
    struct Case {
        const char* what;
        Vec3 normal;
        Vec3 u, v;
        std::uint8_t dominant;
    };
    const std::vector<Case> cases = {
        {"floor", {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, 2},
        {"ceiling", {0, 0, -3}, {1, 0, 0}, {0, 1, 0}, 2},
        {"wall facing +x", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 0},
        {"wall facing -x", {-2, 0, 0}, {0, 1, 0}, {0, 0, 1}, 0},
        {"wall facing +y", {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, 1},
        {"wall facing -y", {0, -1, 0}, {-1, 0, 0}, {0, 0, 1}, 1},
        // A tie between x and y goes to x; between y and z to y.
        {"x-y diagonal", {1, 1, 0}, {-0.70710678f, 0.70710678f, 0}, {0, 0, 1}, 0},
        {"degenerate", {0, 0, 1e-13f}, {1, 0, 0}, {0, 1, 0}, 2},
        {"zero", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 2},
        {"not a number", {std::numeric_limits<float>::quiet_NaN(), 0, 1}, {1, 0, 0}, {0, 1, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const UvFrame f = projection_frame(c.normal);
        expect_near(f.u_axis, c.u, 1e-6f);
        expect_near(f.v_axis, c.v, 1e-6f);
        EXPECT_EQ(f.dominant_axis, c.dominant);
    }
}

TEST(ProjectionFrame, SlopedRoofKeepsVUpTheSlopeAndOrthonormalAxes) {
    // A roof pitched about x: V is +Y with the normal's share taken out, so it runs up the
    // slope, and U stays level along x.
    const Vec3 n = normalize(Vec3{0, -0.5f, 1});
    const UvFrame f = projection_frame(n);
    EXPECT_EQ(f.dominant_axis, 2);
    EXPECT_NEAR(dot(f.u_axis, f.v_axis), 0.0f, 1e-6f);
    EXPECT_NEAR(dot(f.v_axis, n), 0.0f, 1e-6f);
    EXPECT_NEAR(dot(f.u_axis, n), 0.0f, 1e-6f);
    EXPECT_NEAR(length(f.v_axis), 1.0f, 1e-6f);
    EXPECT_GT(f.v_axis.z, 0.0f);
    expect_near(f.u_axis, {1, 0, 0}, 1e-6f);
}

TEST(ProjectUv, TransformScalesRotatesAndOffsetsTheFramePlane) {
    struct Case {
        const char* what;
        Vec3 point, normal;
        UvTransform t;
        float u, v;
    };
    UvTransform turned;
    turned.rotation_rad = 90.0f * kDegToRad;
    UvTransform tiled;
    tiled.tile_width = 0.5f;
    tiled.tile_height = 0.25f;
    tiled.offset_u = 0.5f;
    tiled.offset_v = -1.0f;
    UvTransform no_tile;
    no_tile.tile_width = 0.0f;
    no_tile.tile_height = -2.0f;
    const std::vector<Case> cases = {
        {"floor point at tile 1x1", {0.5f, 0.25f, 0}, {0, 0, 1}, {}, 0.5f, 0.25f},
        {"quarter turn: u=1 goes to v=-1", {1, 0, 0}, {0, 0, 1}, turned, 0.0f, -1.0f},
        {"quarter turn: v=1 goes to u=1", {0, 1, 0}, {0, 0, 1}, turned, 1.0f, 0.0f},
        {"tile size and offset", {1, 1, 0}, {0, 0, 1}, tiled, 2.5f, 3.0f},
        {"tile sizes not above 0 count as 1", {0.5f, 0.25f, 0}, {0, 0, 1}, no_tile, 0.5f, 0.25f},
        {"wall height is v", {3, 2, 1.5f}, {1, 0, 0}, {}, 2.0f, 1.5f},
        {"opposite wall maps alike", {3, 2, 1.5f}, {-1, 0, 0}, {}, 2.0f, 1.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TexCoord uv = project_uv(c.point, c.normal, c.t);
        EXPECT_NEAR(uv.u, c.u, 1e-6f);
        EXPECT_NEAR(uv.v, c.v, 1e-6f);
    }
}

TEST(ProjectUv, UsableOnlyWhenFiniteAndBelowTenMillion) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        TexCoord uv;
        bool usable;
    };
    const std::vector<Case> cases = {{{0, 0}, true},     {{-9.9e6f, 9.9e6f}, true},
                                     {{1e7f, 0}, false}, {{0, -1e7f}, false},
                                     {{inf, 0}, false},  {{0, nan}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.uv.u << "," << c.uv.v);
        EXPECT_EQ(uv_usable(c.uv), c.usable);
    }
    UvTransform tiny;
    tiny.tile_width = 1e-9f;
    EXPECT_FALSE(uv_usable(project_uv(Vec3{1, 0, 0}, Vec3{0, 0, 1}, tiny)));
}

}  // namespace
}  // namespace korvan
