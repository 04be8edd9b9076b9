#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::quad_grid;

// Faces whose ring uses any of the vertices, by brute force.
std::vector<FaceId> using_by_scan(const Mesh& m, const std::vector<VertexId>& vs) {
    std::vector<FaceId> out;
    for (const FaceId f : m.alive_faces()) {
        for (const VertexId v : m.face_vertices(f)) {
            if (std::find(vs.begin(), vs.end(), v) != vs.end()) {
                out.push_back(f);
                break;
            }
        }
    }
    return out;
}

TEST(MeshSelectionMoves, SharedCornersMoveOnceAndNeighboursFollow) {
    Mesh m = quad_grid(3, 1);
    EXPECT_EQ(m.translate_faces(std::vector<FaceId>{1, 1, 2}, {0, 0, 0.5f}), 6u);
    // Face 0 shares an edge with face 1 and now slopes up towards it.
    EXPECT_LT(m.face_normal(0).z, 0.99f);
    EXPECT_GT(m.face_normal(0).x, -0.99f);
    EXPECT_LT(m.face_normal(0).x, 0.0f);
    EXPECT_NEAR(m.face_normal(1).z, 1.0f, 1e-6f);
    EXPECT_EQ(m.vertices()[5].position.z, 0.5f);
    EXPECT_EQ(m.vertices()[4].position.z, 0.0f);
}

TEST(MeshSelectionMoves, MovesThatMoveNothingReportZero) {
    struct Case {
        const char* name;
        std::uint64_t (*run)(Mesh&, std::span<const FaceId>);
    };
    const Case cases[] = {
        {"zero translation",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.translate_faces(top, {0, 0, 0});
         }},
        {"tiny translation",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.translate_faces(top, {0, 0, 5e-7f});
         }},
        {"zero angle",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.rotate_faces(top, {0, 0, 0}, {0, 0, 1}, 0.0f);
         }},
        {"full turn",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.rotate_faces(top, {0.5f, 0.5f, 1}, {0, 0, 1}, kFullTurn);
         }},
        {"degenerate axis",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.rotate_faces(top, {}, {0, 0, 1e-7f}, 1.0f);
         }},
        {"unit scale",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.scale_faces(top, {3, 3, 3}, {1, 1, 1});
         }},
        {"onto its own plane",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.flatten_faces_to_plane(top, {0, 0, 1}, {0, 0, 2});
         }},
        {"degenerate plane",
         [](Mesh& m, std::span<const FaceId> top) {
             return m.flatten_faces_to_plane(top, {}, {});
         }},
        {"dead or invalid faces",
         [](Mesh& m, std::span<const FaceId>) {
             return m.translate_faces(std::vector<FaceId>{99}, {1, 0, 0});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m = cube();
        EXPECT_EQ(c.run(m, std::vector<FaceId>{1}), 0u);
    }
}

TEST(MeshSelectionMoves, ClosedSolidStaysClosedAndVolumeFollowsTheMove) {
    Mesh m = cube();
    const std::vector<FaceId> top{1};
    EXPECT_EQ(m.translate_faces(top, {0, 0, 0.5f}), 4u);
    EXPECT_NEAR(m.signed_volume(), 1.5f, 1e-6f);
    EXPECT_EQ(m.scale_faces(top, {0.5f, 0.5f, 1.5f}, {2, 2, 1}), 4u);
    EXPECT_NEAR(m.face_area(1), 4.0f, 1e-5f);
    EXPECT_EQ(m.rotate_faces(top, {0.5f, 0.5f, 1.5f}, {0, 0, 1}, 0.3f), 4u);
    EXPECT_NEAR(m.face_area(1), 4.0f, 1e-5f);
    EXPECT_EQ(m.flatten_faces_to_plane(std::vector<FaceId>{1, 2}, {0, 0, 2}, {0, 0, 1}), 6u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    expect_ring_invariants(m);
    for (const FaceId f : m.alive_faces()) {
        const Vec3 stored = m.face_normal(f);
        EXPECT_EQ(m.recompute_face_normal(f), stored) << "face " << f;
    }
}

TEST(MeshSelectionMoves, ScaleInFrameReachesTheRequestedSize) {
    Mesh m;
    for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{2, 0, 0}, Vec3{2, 1, 0}, Vec3{0, 1, 0}}) {
        m.add_vertex(p);
    }
    m.add_quad(0, 1, 2, 3);
    const std::vector<FaceId> sel{0};
    const Obb frame = *m.compute_obb_of_faces(sel);
    EXPECT_EQ(m.scale_faces_in_frame(sel, frame, {4, 3, 5}), 4u);
    const Obb after = *m.compute_obb_of_faces(sel);
    EXPECT_NEAR(after.half_extents.x, 2.0f, 1e-5f);
    EXPECT_NEAR(after.half_extents.y, 1.5f, 1e-5f);
    EXPECT_NEAR(after.half_extents.z, 0.0f, 1e-6f);  // a flat frame stays flat
    EXPECT_NEAR(m.face_area(0), 12.0f, 1e-4f);
    EXPECT_EQ(m.scale_faces_in_frame(sel, after, {4, 3, 0}), 0u);
}

TEST(MeshSelectionMoves, FaceLookupThroughTheIndexAndByScanAgree) {
    // 130 x 130 quads: a few vertices go through the spatial index, many through the scan.
    Mesh m = quad_grid(130, 130);
    for (const std::vector<VertexId>& vs :
         {std::vector<VertexId>{0, 131, 5000, 17160, 99999}, std::vector<VertexId>{}}) {
        EXPECT_EQ(m.faces_using_vertices(vs), using_by_scan(m, vs));
    }
    std::vector<VertexId> many;
    for (VertexId v = 0; v < 2000; ++v) many.push_back(v * 7 % 17161);
    EXPECT_EQ(m.faces_using_vertices(many), using_by_scan(m, many));

    // A move on the big grid refreshes the neighbours found through the index.
    const std::vector<FaceId> one{130 * 65 + 65};
    EXPECT_EQ(m.translate_faces(one, {0, 0, 1}), 4u);
    for (const FaceId f : m.alive_faces()) {
        const Vec3 stored = m.face_normal(f);
        ASSERT_EQ(m.recompute_face_normal(f), stored) << "face " << f;
    }
}

}  // namespace
}  // namespace korvan
