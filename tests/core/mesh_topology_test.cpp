#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::quad_grid;
using testing_support::torus;

// Grid vertex and face ids of quad_grid(nx, ny).
VertexId grid_vertex(int nx, int i, int j) { return static_cast<VertexId>(j * (nx + 1) + i); }
FaceId grid_face(int nx, int i, int j) { return static_cast<FaceId>(j * nx + i); }

// The edge between two vertices, found through the fan of the first.
EdgeId edge_between(const Mesh& m, VertexId a, VertexId b) {
    for (const EdgeId e : m.vertex_edges(a)) {
        const auto ends = m.edge_vertices(e);
        if ((ends[0] == a && ends[1] == b) || (ends[0] == b && ends[1] == a)) return e;
    }
    return kInvalidId;
}

TEST(MeshTopology, VertexFansInsideOnTheRimAndAtCorners) {
    const Mesh m = quad_grid(4, 4);
    struct Case {
        const char* name;
        int i, j;
        std::vector<FaceId> faces;
        std::uint64_t valence;
    };
    const Case cases[] = {
        {"interior", 2, 2, {5, 6, 9, 10}, 4},
        {"rim", 2, 0, {1, 2}, 3},
        {"corner", 0, 0, {0}, 2},
        {"far corner", 4, 4, {15}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const VertexId v = grid_vertex(4, c.i, c.j);
        EXPECT_EQ(m.vertex_faces(v), c.faces);
        EXPECT_EQ(m.vertex_valence(v), c.valence);
        for (const HalfEdgeId h : m.vertex_half_edges(v)) EXPECT_EQ(m.half_edges()[h].origin, v);
    }
    EXPECT_TRUE(m.vertex_faces(kInvalidId).empty());
    EXPECT_TRUE(m.vertex_faces(999).empty());
}

TEST(MeshTopology, FanBrokenByNakedEdgeIsCoveredBothWays) {
    // Erasing face 10 opens the fan round vertex (2, 2) into 6 - 5 - 9. The walk starts at
    // the lowest half-edge leaving the vertex, which lies on face 5 in the middle, so only a
    // walk in both directions finds both ends.
    Mesh m = quad_grid(4, 4);
    const VertexId v = grid_vertex(4, 2, 2);
    m.erase_face(grid_face(4, 2, 2));
    std::vector<FaceId> order;
    for (const HalfEdgeId h : m.vertex_half_edges(v)) order.push_back(m.half_edges()[h].face);
    EXPECT_TRUE(order == (std::vector<FaceId>{6, 5, 9}) || order == (std::vector<FaceId>{9, 5, 6}))
        << testing::PrintToString(order);
    EXPECT_EQ(m.vertex_faces(v), (std::vector<FaceId>{5, 6, 9}));
    EXPECT_EQ(m.vertex_valence(v), 4u);
    // Unlinked faces meet at no fan: only the lowest half-edge's own face is found.
    const Mesh loose = quad_grid(4, 4, false);
    EXPECT_EQ(loose.vertex_faces(v), (std::vector<FaceId>{5}));
    Mesh gone = quad_grid(1, 1);
    gone.vertex_mut(0).alive = false;
    EXPECT_TRUE(gone.vertex_half_edges(0).empty());
}

TEST(MeshTopology, EdgeFacesListsAliveSidesLowerFirst) {
    Mesh m = cube();
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edges()[e].alive) continue;
        const auto faces = m.edge_faces(e);
        ASSERT_EQ(faces.size(), 2u) << e;
        EXPECT_LT(faces[0], faces[1]);
    }
    const auto f = m.edge_faces(0);
    m.erase_face(f[0]);
    EXPECT_EQ(m.edge_faces(0), (std::vector<FaceId>{f[1]}));
    EXPECT_TRUE(m.edge_faces(kInvalidId).empty());
}

TEST(MeshTopology, EdgeLoopRunsStraightToPolesAndBoundaries) {
    const Mesh grid = quad_grid(5, 4);
    // Vertical edge (2,1)-(2,2): the loop runs along x = 2 through valence-4 vertices and
    // stops at the rim vertices (valence 3).
    const EdgeId seed = edge_between(grid, grid_vertex(5, 2, 1), grid_vertex(5, 2, 2));
    ASSERT_NE(seed, kInvalidId);
    const auto loop = grid.edge_loop(seed);
    EXPECT_EQ(loop.size(), 4u);
    for (const EdgeId e : loop) {
        const auto ends = grid.edge_vertices(e);
        EXPECT_EQ(grid.vertices()[ends[0]].position.x, 2.0f);
        EXPECT_EQ(grid.vertices()[ends[1]].position.x, 2.0f);
    }
    // On a torus every vertex has valence 4: the loop closes round the tube.
    const Mesh ring = torus(12, 8, 3.0f, 1.0f);
    const EdgeId around = edge_between(ring, 0, 1);
    ASSERT_NE(around, kInvalidId);
    EXPECT_EQ(ring.edge_loop(around).size(), 8u);
    // A cube's corners are poles (valence 3): the loop is just the seed.
    const Mesh box = cube();
    EXPECT_EQ(box.edge_loop(0), (std::vector<EdgeId>{0}));
    EXPECT_TRUE(box.edge_loop(kInvalidId).empty());
}

TEST(MeshTopology, EdgeRingAndFaceLoopCrossQuadStrips) {
    Mesh grid = quad_grid(5, 4);
    const EdgeId seed = edge_between(grid, grid_vertex(5, 2, 1), grid_vertex(5, 2, 2));
    const auto ring = grid.edge_ring(seed);
    EXPECT_EQ(ring.size(), 6u);  // the six vertical edges of row 1
    for (const EdgeId e : ring) {
        const auto ends = grid.edge_vertices(e);
        EXPECT_EQ(
            std::min(grid.vertices()[ends[0]].position.y, grid.vertices()[ends[1]].position.y),
            1.0f);
    }
    EXPECT_EQ(grid.face_loop(kInvalidId, seed), (std::vector<FaceId>{5, 6, 7, 8, 9}));  // row 1
    EXPECT_EQ(grid.face_loop(grid_face(5, 2, 1), seed), (std::vector<FaceId>{5, 6, 7, 8, 9}));
    EXPECT_TRUE(grid.face_loop(0, seed).empty());  // face 0 is not on the edge
    // A triangle in the strip ends it.
    grid.erase_face(8);
    grid.add_triangle(grid_vertex(5, 3, 1), grid_vertex(5, 4, 1), grid_vertex(5, 4, 2));
    EXPECT_EQ(grid.face_loop(kInvalidId, seed), (std::vector<FaceId>{5, 6, 7}));
    // On a torus the strip closes on itself.
    const Mesh ring_mesh = torus(12, 8, 3.0f, 1.0f);
    EXPECT_EQ(ring_mesh.face_loop(kInvalidId, edge_between(ring_mesh, 0, 1)).size(), 12u);
    EXPECT_EQ(ring_mesh.edge_ring(edge_between(ring_mesh, 0, 1)).size(), 12u);
}

TEST(MeshTopology, BoundaryLoopsFollowTheHoleRims) {
    Mesh open_box = cube();
    const std::vector<VertexId> top = open_box.face_vertices(1);
    open_box.erase_face(1);
    const auto loops = open_box.boundary_loops();
    ASSERT_EQ(loops.size(), 1u);
    // The rim runs against the erased face's winding, so reversing it caps the hole outward.
    std::vector<VertexId> reversed(loops[0].rbegin(), loops[0].rend());
    ASSERT_EQ(reversed.size(), 4u);
    std::rotate(reversed.begin(), std::find(reversed.begin(), reversed.end(), top[0]),
                reversed.end());
    EXPECT_EQ(reversed, top);

    const Mesh grid = quad_grid(3, 2);
    const auto rims = grid.boundary_loops();
    ASSERT_EQ(rims.size(), 1u);
    EXPECT_EQ(rims[0].size(), 10u);
    EXPECT_EQ(quad_grid(2, 1, false).boundary_loops().size(), 2u);
}

}  // namespace
}  // namespace korvan
