#include <gtest/gtest.h>

#include <vector>

#include "core/mesh.h"
#include "core/mesh_knife.h"
#include "tests/core/mesh_builders.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::expect_same_tables;
using testing_support::quad_grid;

TEST(MeshKnife, CutsAcrossASolidAndKeepsItClosed) {
    struct Case {
        const char* name;
        std::vector<Vec3> path;
        std::uint64_t faces_cut, t_vertices, reused, faces_after;
    };
    const Case cases[] = {
        {"across the top", {{0.5f, 0, 1}, {0.5f, 1, 1}}, 1, 2, 0, 7},
        {"round the cube back to the start",
         {{0.5f, 0, 1}, {0.5f, 1, 1}, {0.5f, 1, 0}, {0.5f, 0, 0}, {0.5f, 0, 1}},
         4,
         4,
         1,
         10},
        {"corner to corner of the top, then down an edge's middle",
         {{0, 0, 1}, {1, 1, 1}, {1, 1, 0.5f}},
         1,
         1,
         0,
         7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = cube();
        const KnifeReport r = knife_path(mesh, c.path);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.faces_cut, c.faces_cut);
        EXPECT_EQ(r.t_vertices, c.t_vertices);
        EXPECT_EQ(r.reused, c.reused);
        EXPECT_EQ(mesh.alive_face_count(), c.faces_after);
        expect_ring_invariants(mesh);
        test::expect_closed_solids(mesh);
        EXPECT_NEAR(mesh.compute_volume(), 1.0f, 1e-5f);
    }
}

TEST(MeshKnife, TwoPointsCrossEveryCoplanarFaceBetweenThem) {
    Mesh mesh = quad_grid(3, 1);
    const std::uint64_t naked_before = mesh.naked_edge_count();
    const std::vector<Vec3> path{{0, 0.5f, 0}, {3, 0.5f, 0}};
    const KnifeReport r = knife_path(mesh, path);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.faces_cut, 3u);
    EXPECT_EQ(r.t_vertices, 4u);  // both ends and the two inner edges
    EXPECT_EQ(mesh.alive_face_count(), 6u);
    expect_ring_invariants(mesh);
    // The two outer sides split in two; the inner cut edges are all linked.
    EXPECT_EQ(mesh.naked_edge_count(), naked_before + 2u);
    EXPECT_NEAR(mesh.area_of_faces(mesh.alive_faces()), 3.0f, 1e-5f);
}

TEST(MeshKnife, PathsThatCutNothingLeaveTheMeshAsItWas) {
    struct Case {
        const char* name;
        std::vector<Vec3> path;
    };
    const Case cases[] = {
        {"one point", {{0.5f, 0, 1}}},
        {"two equal points", {{0.5f, 0, 1}, {0.5f, 0, 1}}},
        {"off the mesh", {{5, 5, 5}, {6, 6, 6}}},
        {"along an existing edge", {{0, 0, 1}, {1, 0, 1}}},
        {"stops inside the face after marking an edge", {{0.5f, 0, 1}, {0.5f, 0.5f, 1}}},
        {"through the inside of the solid", {{0.5f, 0, 0.5f}, {0.5f, 1, 0.5f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = cube();
        const Mesh before = mesh;
        const KnifeReport r = knife_path(mesh, c.path);
        EXPECT_FALSE(r.ok);
        EXPECT_STRNE(r.message, "");
        expect_same_tables(mesh, before);
    }
}

}  // namespace
}  // namespace korvan
