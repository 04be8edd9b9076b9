#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::quad_grid;
using testing_support::square;
using testing_support::torus;

TEST(MeshQuery, LoneSquareIsOpenFlatAndFacesItsWinding) {
    for (const bool ccw : {true, false}) {
        SCOPED_TRACE(ccw);
        const Mesh m = square(1.0f, ccw);
        EXPECT_EQ(m.naked_edge_count(), 4u);
        EXPECT_EQ(m.naked_edges(), (std::vector<EdgeId>{0, 1, 2, 3}));
        EXPECT_EQ(m.compute_volume(), 0.0f);
        EXPECT_EQ(m.faces_facing({0, 0, 1}).size(), ccw ? 1u : 0u);
        EXPECT_EQ(m.faces_facing({0, 0, -3}).size(), ccw ? 0u : 1u);
        EXPECT_FLOAT_EQ(m.face_area(0), 1.0f);
    }
}

TEST(MeshQuery, UnitCubeOfWeldedQuadsIsClosedWithVolumeOne) {
    const Mesh m = cube();
    testing_support::expect_ring_invariants(m);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_TRUE(m.boundary_loops().empty());
    EXPECT_FLOAT_EQ(m.signed_volume(), 1.0f);
    EXPECT_FLOAT_EQ(cube({}, 1, true).signed_volume(), -1.0f);
    EXPECT_FLOAT_EQ(m.area_of_faces(m.alive_faces()), 6.0f);
    const auto box = m.compute_aabb_of_faces(m.alive_faces());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->max, (Vec3{1, 1, 1}));
}

TEST(MeshQuery, SignedVolumeIgnoresPlacementAndFlipsWithWinding) {
    const float exact_torus = 2 * 9.8696044f * 3.0f * 1.0f;  // 2 pi^2 R r^2
    const Vec3 offsets[] = {{0, 0, 0}, {10, -20, 5}, {-100, 50, 75}, {0.125f, 0, -3}};
    for (const bool closed_torus : {false, true}) {
        Mesh base = closed_torus ? torus(48, 24, 3.0f, 1.0f) : cube({}, 2.0f);
        const float v0 = base.signed_volume();
        if (closed_torus) {
            EXPECT_NEAR(v0, exact_torus, 0.02f * exact_torus);
        }
        for (const Vec3& d : offsets) {
            SCOPED_TRACE(testing::Message() << "torus=" << closed_torus << " offset " << d.x);
            Mesh moved = closed_torus ? torus(48, 24, 3.0f, 1.0f) : cube({}, 2.0f);
            for (VertexId v = 0; v < moved.vertices().size(); ++v) {
                moved.vertex_mut(v).position += d;
            }
            EXPECT_NEAR(moved.signed_volume(), v0, 1e-4f * v0);
        }
        const Mesh reversed = closed_torus ? torus(48, 24, 3.0f, 1.0f, true) : cube({}, 2.0f, true);
        EXPECT_NEAR(reversed.signed_volume(), -v0, 1e-5f * v0);
        EXPECT_EQ(reversed.compute_volume(), std::fabs(reversed.signed_volume()));
    }
}

TEST(MeshQuery, AreaOfFacesCountsEachAliveIdOnce) {
    Mesh m = quad_grid(3, 1, false);
    // Face 0 becomes a trapezoid (1.5) and face 1 a triangle with a doubled corner (0.5).
    m.vertex_mut(1).position = {2, 0, 0};
    const float a0 = m.face_area(0), a1 = m.face_area(1);
    ASSERT_NEAR(a0, 1.5f, 1e-6f);
    ASSERT_NEAR(a1, 0.5f, 1e-6f);
    m.erase_face(2);
    struct Case {
        const char* name;
        std::vector<FaceId> ids;
        float area;
    };
    const Case cases[] = {
        {"empty", {}, 0.0f},
        {"duplicate", {0, 0, 0}, a0},
        {"unsorted duplicates", {1, 0, 1}, a0 + a1},
        {"dead only", {2, 2}, 0.0f},
        {"invalid ids", {7, kInvalidId, 1}, a1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FLOAT_EQ(m.area_of_faces(c.ids), c.area);
    }
}

TEST(MeshQuery, FacesWithinAabbIsInclusiveAndEmptyWhenInverted) {
    const Mesh m = quad_grid(3, 3, false);  // centroids at 0.5, 1.5, 2.5
    struct Case {
        const char* name;
        Aabb box;
        std::vector<FaceId> faces;
    };
    const Case cases[] = {
        {"centroid on min face", {{1.5f, 1.5f, 0}, {2, 2, 0}}, {4}},
        {"centroid on max face", {{0, 0, -1}, {0.5f, 0.5f, 0}}, {0}},
        {"first row", {{-1, -1, -1}, {9, 0.5f, 1}}, {0, 1, 2}},
        {"inverted x", {{3, 0, -1}, {0, 3, 1}}, {}},
        {"inverted y", {{0, 3, -1}, {3, 0, 1}}, {}},
        {"inverted z", {{0, 0, 1}, {3, 3, -1}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m.faces_within_aabb(c.box), c.faces);
    }
}

TEST(MeshQuery, FacesFacingClampsAngleAndRefusesZeroDirection) {
    Mesh m = quad_grid(2, 1, false);
    m.vertex_mut(2).position.z = 0.05f;  // tilt face 1 by about 2.9 degrees
    m.vertex_mut(5).position.z = 0.05f;
    m.recompute_face_normal(1);
    struct Case {
        const char* name;
        Vec3 dir;
        float angle_deg;
        std::vector<FaceId> faces;
    };
    const Case cases[] = {
        {"default cone", {0, 0, 1}, kFacingConeDeg, {0, 1}},
        {"negative angle acts as zero", {0, 0, 2}, -10.0f, {0}},
        {"zero direction", {0, 0, 0}, 90.0f, {}},
        {"tiny direction", {0, 0, 1e-9f}, 90.0f, {}},
        {"wide cone sideways", {-1, 0, 0}, 95.0f, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m.faces_facing(c.dir, c.angle_deg), c.faces);
    }
}

TEST(MeshQuery, FacesWithAreaBetweenBounds) {
    Mesh m = quad_grid(3, 1, false);
    m.vertex_mut(1).position = {2, 0, 0};  // areas 1.5, 0.5, 1
    struct Case {
        const char* name;
        float lo, hi;
        std::vector<FaceId> faces;
    };
    const Case cases[] = {
        {"inclusive", 0.5f, 1.0f, {1, 2}},
        {"negative min is zero", -5.0f, 0.5f, {1}},
        {"min above max", 1.0f, 0.9f, {}},
        {"default max", 1.0f, kMaxFaceArea, {0, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m.faces_with_area_between(c.lo, c.hi), c.faces);
    }
    EXPECT_EQ(m.faces_with_area_between(0), (std::vector<FaceId>{0, 1, 2}));
}

TEST(MeshQuery, CentroidOfFacesWeighsByArea) {
    Mesh m = quad_grid(3, 1, false);
    m.vertex_mut(1).position = {2, 0, 0};
    const std::vector<FaceId> ids{1, 2, 2};
    // Face 1 (area 0.5) has mean (1.75, 0.5); face 2 (area 1) has (2.5, 0.5).
    const auto c = m.centroid_of_faces(ids);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->x, (0.5f * 1.75f + 2.5f) / 1.5f, 1e-6f);
    EXPECT_FLOAT_EQ(m.face_centroid(0).x, 0.75f);  // plain mean, not area-weighted
    Mesh flat;
    for (int i = 0; i < 3; ++i) flat.add_vertex({static_cast<float>(i), 0, 0});
    flat.add_triangle(0, 1, 2);
    EXPECT_FALSE(flat.centroid_of_faces(std::vector<FaceId>{0}));
    EXPECT_FALSE(m.centroid_of_faces({}));
}

TEST(MeshQuery, PatchOutlineAndPerimeter) {
    const Mesh linked = quad_grid(4, 4);
    const Mesh loose = quad_grid(4, 4, false);
    const std::vector<FaceId> patch{5, 6, 9, 10, 6};  // the inner 2 x 2
    EXPECT_EQ(linked.boundary_edges_of_faces(patch).size(), 8u);
    EXPECT_FLOAT_EQ(linked.perimeter_of_faces(patch), 8.0f);
    // Unlinked faces share no edge, so every side is outline.
    EXPECT_EQ(loose.boundary_edges_of_faces(patch).size(), 16u);
    EXPECT_FLOAT_EQ(linked.perimeter_of_faces(std::vector<FaceId>{0}), 4.0f);
    EXPECT_EQ(linked.perimeter_of_faces({}), 0.0f);
}

TEST(MeshQuery, GrowShrinkInvertSelections) {
    const Mesh m = quad_grid(4, 4);
    const std::vector<FaceId> centre{5};
    EXPECT_EQ(m.adjacent_faces(5), (std::vector<FaceId>{1, 4, 6, 9}));
    EXPECT_EQ(m.grow_faces(centre), (std::vector<FaceId>{1, 4, 5, 6, 9}));
    EXPECT_EQ(m.shrink_faces(m.grow_faces(centre)), centre);
    EXPECT_TRUE(m.shrink_faces(std::vector<FaceId>{5, 6}).empty());
    const auto rest = m.invert_face_selection(std::vector<FaceId>{0, 99, 15, 0});
    EXPECT_EQ(rest.size(), 14u);
    EXPECT_EQ(rest.front(), 1u);
    EXPECT_TRUE(quad_grid(4, 4, false).adjacent_faces(5).empty());
}

TEST(MeshQuery, FloodFillsStayOnTheirSheet) {
    Mesh m = quad_grid(3, 1);
    // Lift the far side of face 2 a little: its normal stays within the default dot but its
    // corners leave the seed's plane.
    m.vertex_mut(3).position.z = 0.01f;
    m.vertex_mut(7).position.z = 0.01f;
    m.recompute_face_normal(2);
    EXPECT_EQ(m.coplanar_faces(0), (std::vector<FaceId>{0, 1, 2}));
    EXPECT_EQ(m.coplanar_faces(0, kCoplanarNormalDot, true), (std::vector<FaceId>{0, 1}));
    EXPECT_EQ(m.coplanar_faces(0, 0.99999f), (std::vector<FaceId>{0, 1}));
    EXPECT_TRUE(m.coplanar_faces(kInvalidId).empty());

    // Two cubes in one mesh: connected_faces never crosses to the other one.
    Mesh two = cube();
    for (int i = 0; i < 8; ++i) two.add_vertex(two.vertices()[i].position + Vec3{3, 0, 0});
    for (FaceId f = 0; f < 6; ++f) {
        std::vector<VertexId> ring = two.face_vertices(f);
        for (VertexId& v : ring) v += 8;
        two.add_ngon(ring);
    }
    testing_support::link_by_vertex_pairs(two);
    EXPECT_EQ(two.connected_faces(7), (std::vector<FaceId>{6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(two.connected_faces(0).size(), 6u);
    EXPECT_EQ(two.coplanar_faces(7), (std::vector<FaceId>{7}));
}

TEST(MeshQuery, ReportCounts) {
    Mesh m = cube();
    m.face_mut(2).layer_id = 4;
    m.face_mut(3).layer_id = kInvalidLayer;
    m.face_mut(4).layer_id = 9;
    m.erase_face(4);
    m.face_mut(1).visible = false;
    m.edge_mut(0).soft = true;
    m.edge_mut(1).soft = true;
    ASSERT_TRUE(m.erase_edge(1));  // also retires faces 0 and 3
    EXPECT_EQ(m.max_layer_id(), 4u);
    EXPECT_EQ(m.soft_edge_count(), 1u);
    EXPECT_EQ(m.faces_with_layer(4), (std::vector<FaceId>{2}));
    EXPECT_EQ(m.soft_hidden_faces(), (std::vector<FaceId>{1}));
    EXPECT_EQ(m.visible_faces().size() + m.soft_hidden_faces().size(), m.alive_face_count());
    EXPECT_EQ(Mesh().max_layer_id(), 0u);
}

TEST(MeshQuery, BoxesOfFaceSelections) {
    const Mesh m = cube({1, 2, 3}, 2.0f);
    const auto box = m.compute_aabb_of_faces(std::vector<FaceId>{0});  // bottom face
    ASSERT_TRUE(box);
    EXPECT_EQ(box->min, (Vec3{1, 2, 3}));
    EXPECT_EQ(box->max, (Vec3{3, 4, 3}));
    EXPECT_FALSE(m.compute_aabb_of_faces(std::vector<FaceId>{kInvalidId}));
    const auto obb = m.compute_obb_of_faces(std::vector<FaceId>{0});
    ASSERT_TRUE(obb);
    EXPECT_NEAR(obb->half_extents.x, 1.0f, 1e-5f);
    EXPECT_NEAR(obb->half_extents.z, 0.0f, 1e-6f);
    EXPECT_NEAR(obb->center.z, 3.0f, 1e-6f);
    EXPECT_FALSE(m.compute_obb_of_faces({}));
}

}  // namespace
}  // namespace korvan
