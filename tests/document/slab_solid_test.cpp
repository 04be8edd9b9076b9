#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "document/slab_solid.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

double total(const std::vector<double>& v) {
    double sum = 0.0;
    for (const double x : v) sum += x;
    return sum;
}

TEST(SlabSolid, OpeningsLeaveClosedPiecesWithTheRightVolume) {
    // A 4 x 3 x 0.2 wall; the volume left is the face area minus the union of the clipped
    // openings, times the thickness.
    struct Row {
        const char* what;
        std::vector<SlabHole> holes;
        double open_area;
        std::size_t pieces;
    };
    const std::vector<Row> rows = {
        {"no opening", {}, 0.0, 1},
        {"tunnel", {{1, 2, 1, 2}}, 1.0, 1},
        {"door notch at the foot", {{1.5f, 2.5f, 0, 2}}, 2.0, 1},
        {"clipped beyond the border", {{-1, 0.5f, 1, 2}}, 0.5, 1},
        {"overlapping openings merge",
         {{1, 2, 0, 2}, {0.5f, 2.5f, 1.5f, 2.5f}},
         2.0 + 2.0 - 0.5,
         1},
        {"full-height cut splits the wall", {{1, 2, -1, 4}}, 3.0, 2},
        {"edges within the weld tolerance snap",
         {{1, 2.00004f, 1, 2}, {2, 3, 1.00003f, 2}},
         2.0,
         1},
        {"touching at a corner only", {{1, 2, 1, 2}, {2, 3, 2, 2.5f}}, 1.5, 1},
        {"degenerate opening ignored", {{1, 1, 0, 3}, {0, 4, 2, 2.00001f}}, 0.0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Mesh mesh;
        SlabFrame frame;
        frame.length = 4.0f;
        frame.height = 3.0f;
        frame.thickness = 0.2f;
        ASSERT_GT(add_slab_solid(mesh, frame, row.holes), 0u);
        test::expect_closed_solids(mesh);
        const std::vector<double> volumes = test::piece_volumes(mesh);
        EXPECT_EQ(volumes.size(), row.pieces);
        EXPECT_NEAR(total(volumes), (12.0 - row.open_area) * 0.2, 1e-5);
    }
}

TEST(SlabSolid, EveryOrientationFacesOutwards) {
    struct Row {
        const char* what;
        Vec3 u, v;
    };
    const Row rows[] = {
        {"front wall", {1, 0, 0}, {0, 0, 1}},       {"back wall", {-1, 0, 0}, {0, 0, 1}},
        {"left wall", {0, -1, 0}, {0, 0, 1}},       {"right wall", {0, 1, 0}, {0, 0, 1}},
        {"floor from above", {1, 0, 0}, {0, 1, 0}}, {"tilted", {0.6f, 0.8f, 0}, {0, 0, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Mesh mesh;
        SlabFrame frame{{1, 2, 3}, row.u, row.v, 2.0f, 1.5f, 0.3f};
        const SlabHole hole{0.5f, 1.0f, 0.25f, 1.0f};
        ASSERT_GT(add_slab_solid(mesh, frame, std::span(&hole, 1), {1, 2, 3}), 0u);
        test::expect_closed_solids(mesh);
        EXPECT_NEAR(mesh.signed_volume(), (3.0 - 0.375) * 0.3, 1e-5);
        // The outer face looks along u x v, the inner face the other way.
        const Vec3 out = cross(row.u, row.v);
        for (const FaceId f : mesh.alive_faces()) {
            const std::uint32_t mat = mesh.faces()[f].material_id;
            const float along = dot(mesh.face_normal(f), out);
            const float expected = mat == 1 ? 1.0f : (mat == 2 ? -1.0f : 0.0f);
            EXPECT_NEAR(along, expected, 1e-5f) << "material " << mat;
        }
    }
}

TEST(SlabSolid, UnusableInputAddsNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Row {
        const char* what;
        SlabFrame frame;
        std::vector<SlabHole> holes;
    };
    const std::vector<Row> rows = {
        {"zero length", {{}, {1, 0, 0}, {0, 0, 1}, 0.0f, 1.0f, 0.1f}, {}},
        {"thinner than the weld tolerance", {{}, {1, 0, 0}, {0, 0, 1}, 1.0f, 1.0f, 5e-5f}, {}},
        {"NaN height", {{}, {1, 0, 0}, {0, 0, 1}, 1.0f, nan, 0.1f}, {}},
        {"infinite origin", {{inf, 0, 0}, {1, 0, 0}, {0, 0, 1}, 1.0f, 1.0f, 0.1f}, {}},
        {"opening covers everything",
         {{}, {1, 0, 0}, {0, 0, 1}, 1.0f, 1.0f, 0.1f},
         {{-1, 2, -1, 2}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Mesh mesh;
        EXPECT_EQ(add_slab_solid(mesh, row.frame, row.holes), 0u);
        EXPECT_EQ(mesh.vertices().size(), 0u);
        EXPECT_EQ(mesh.faces().size(), 0u);
    }
    Mesh mesh;
    EXPECT_EQ(add_box_solid(mesh, {0, 0, 0}, {1, 0, 1}), 0u);
    EXPECT_EQ(add_box_solid(mesh, {0, 0, 0}, {1, 1, nan}), 0u);
    EXPECT_EQ(mesh.vertices().size(), 0u);
}

TEST(SlabSolid, BoxesNextToEachOtherStaySeparateSolids) {
    Mesh mesh;
    EXPECT_EQ(add_box_solid(mesh, {0, 0, 0}, {1, 2, 3}, 4), 6u);
    EXPECT_EQ(add_box_solid(mesh, {1, 0, 0}, {2, 2, 3}, 4), 6u);
    test::expect_closed_solids(mesh);
    const std::vector<double> volumes = test::piece_volumes(mesh);
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_NEAR(volumes[0], 6.0, 1e-5);
    EXPECT_NEAR(volumes[1], 6.0, 1e-5);
    EXPECT_EQ(mesh.faces_with_material(4).size(), 12u);
}

}  // namespace
}  // namespace korvan
