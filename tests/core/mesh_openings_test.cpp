#include <gtest/gtest.h>

#include <vector>

#include "core/mesh.h"
#include "core/mesh_openings.h"
#include "tests/core/mesh_builders.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

using testing_support::box;
using testing_support::expect_ring_invariants;
using testing_support::expect_same_tables;

// A wall 4 m long, 0.2 m thick and 3 m high standing on z = 0; face 2 looks along -y, face 3
// (its far side) along +y.
Mesh wall() { return box({0, 0, 0}, {4, 0.2f, 3}); }
constexpr FaceId kFront = 2;
constexpr FaceId kBack = 3;
constexpr float kWallVolume = 4.0f * 0.2f * 3.0f;

TEST(MeshOpenings, TunnelKeepsTheWallClosedAndRemovesItsVolume) {
    struct Case {
        const char* name;
        FaceId face;
        float width, height, sill, thickness;
        FaceId far;
    };
    const Case cases[] = {
        {"window found from the front", kFront, 1.2f, 1.4f, 0.9f, 0.0f, kBack},
        {"window found from the back", kBack, 1.2f, 1.4f, 0.9f, 0.0f, kFront},
        {"door above a step, far face at the given thickness", kFront, 0.9f, 2.1f, 0.1f, 0.2f,
         kBack},
        {"thickness off by less than the slack", kFront, 0.5f, 0.5f, 1.0f, 0.25f, kBack},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = wall();
        const OpeningResult r =
            cut_opening_through(mesh, c.face, c.width, c.height, c.sill, c.thickness);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.far_face, c.far);
        EXPECT_NEAR(r.depth, 0.2f, 1e-5f);
        expect_ring_invariants(mesh);
        test::expect_closed_solids(mesh);
        EXPECT_NEAR(mesh.compute_volume(), kWallVolume - c.width * c.height * 0.2f, 1e-4f);
        // Two pieces per wall face (bridged round the hole) and four jambs.
        EXPECT_EQ(mesh.alive_face_count(), 6u - 2u + 4u + 4u);
    }
}

TEST(MeshOpenings, OpeningOnTheWallsBorderBecomesANotch) {
    struct Case {
        const char* name;
        float width, height, sill;
    };
    // The floor (or top) under the opening loses the strip between the two wall faces and is
    // left in two pieces; three jambs line the sides and head.
    const Case cases[] = {
        {"door on the floor line", kDoorWidth, kDoorHeight, 0.0f},
        {"window up to the top", 1.0f, 1.0f, 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = wall();
        const OpeningResult r = cut_opening_through(mesh, kFront, c.width, c.height, c.sill, 0);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.far_face, kBack);
        EXPECT_EQ(r.faces_made, 7u);
        EXPECT_EQ(mesh.alive_face_count(), 6u - 3u + 7u);
        expect_ring_invariants(mesh);
        test::expect_closed_solids(mesh);
        EXPECT_NEAR(mesh.compute_volume(), kWallVolume - c.width * c.height * 0.2f, 1e-4f);
    }
}

TEST(MeshOpenings, WindowSitsWhereAsked) {
    Mesh mesh = wall();
    const std::size_t first_vertex = mesh.vertices().size();
    ASSERT_TRUE(cut_window_opening_through(mesh, kFront));
    // The first four new vertices are the front rim, centred under the face's centroid.
    Aabb rim;
    for (std::size_t v = first_vertex; v < first_vertex + 4; ++v) {
        rim.expand(mesh.vertices()[v].position);
    }
    EXPECT_NEAR(rim.min.x, 1.4f, 1e-5f);
    EXPECT_NEAR(rim.max.x, 2.6f, 1e-5f);
    EXPECT_NEAR(rim.min.z, 0.9f, 1e-5f);
    EXPECT_NEAR(rim.max.z, 2.3f, 1e-5f);
    EXPECT_NEAR(rim.min.y, 0.0f, 1e-6f);
    EXPECT_NEAR(rim.max.y, 0.0f, 1e-6f);
}

TEST(MeshOpenings, LoneFaceGetsAPlanarHole) {
    Mesh mesh;
    const VertexId a = mesh.add_vertex({0, 0, 0}), b = mesh.add_vertex({4, 0, 0});
    const VertexId c = mesh.add_vertex({4, 0, 3}), d = mesh.add_vertex({0, 0, 3});
    const FaceId face = *mesh.add_quad(a, b, c, d);
    const float area = mesh.face_area(face);
    const OpeningResult r = cut_opening_through(mesh, face, 1.0f, 1.0f, 1.0f, 0.0f);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.far_face, kInvalidId);
    expect_ring_invariants(mesh);
    // The outer rim and the hole's rim are the only boundaries; no stale side is left over.
    EXPECT_EQ(mesh.naked_edge_count(), 8u);
    EXPECT_NEAR(mesh.area_of_faces(mesh.alive_faces()), area - 1.0f, 1e-4f);
    for (const FaceId f : mesh.alive_faces()) {
        EXPECT_GT(dot(mesh.face_normal(f), Vec3{0, -1, 0}), 0.999f);
    }
}

TEST(MeshOpenings, LoneFaceTakesADoorAsANotch) {
    Mesh mesh;
    const VertexId a = mesh.add_vertex({0, 0, 0}), b = mesh.add_vertex({4, 0, 0});
    const VertexId c = mesh.add_vertex({4, 0, 3}), d = mesh.add_vertex({0, 0, 3});
    const FaceId face = *mesh.add_quad(a, b, c, d);
    ASSERT_TRUE(cut_door_opening_through(mesh, face));
    expect_ring_invariants(mesh);
    ASSERT_EQ(mesh.alive_face_count(), 1u);
    EXPECT_EQ(mesh.naked_edge_count(), 8u);
    EXPECT_NEAR(mesh.area_of_faces(mesh.alive_faces()), 12.0f - kDoorWidth * kDoorHeight, 1e-4f);
}

TEST(MeshOpenings, NonConvexFaceIsCutWithoutOverlaps) {
    // An L-shaped lone face whose notch sits close to the hole.
    Mesh mesh;
    std::vector<VertexId> ring;
    for (const Vec3 p : {Vec3{0, 0, 0}, Vec3{4, 0, 0}, Vec3{4, 0, 3}, Vec3{2.2f, 0, 3},
                         Vec3{2.2f, 0, 1.8f}, Vec3{0, 0, 1.8f}}) {
        ring.push_back(mesh.add_vertex(p));
    }
    const FaceId face = *mesh.add_ngon(ring);
    const float area = mesh.face_area(face);
    const OpeningResult r = cut_opening_through(mesh, face, 1.0f, 1.0f, 0.5f, 0.0f);
    ASSERT_TRUE(r.ok) << r.message;
    expect_ring_invariants(mesh);
    EXPECT_NEAR(mesh.area_of_faces(mesh.alive_faces()), area - 1.0f, 1e-4f);
    EXPECT_EQ(mesh.naked_edge_count(), 6u + 4u);
}

TEST(MeshOpenings, RefusalsLeaveTheMeshUntouched) {
    struct Case {
        const char* name;
        FaceId face;
        float width, height, sill, thickness;
    };
    const Case cases[] = {
        {"dead face id", 99, 1, 1, 1, 0},
        {"zero width", kFront, 0, 1, 1, 0},
        {"wider than the wall", kFront, 4.5f, 1, 1, 0},
        {"as wide as the wall and on its floor line", kFront, 4.0f, 2.1f, 0.0f, 0.0f},
        {"pokes through the top", kFront, 1, 2, 1.5f, 0},
        {"nothing that far behind", kFront, 1, 1, 1, 1.0f},
        {"side face is too narrow", 4, 1, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = wall();
        const Mesh before = mesh;
        const OpeningResult r =
            cut_opening_through(mesh, c.face, c.width, c.height, c.sill, c.thickness);
        EXPECT_FALSE(r.ok);
        EXPECT_STRNE(r.message, "");
        expect_same_tables(mesh, before);
    }
}

}  // namespace
}  // namespace korvan
