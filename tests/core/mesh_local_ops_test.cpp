// Local topology operators: the cases that catch faults in each, refusals that must leave
// the mesh byte for byte as it was, and random sequences on a closed mesh that must keep it
// closed and manifold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/mesh.h"
#include "core/mesh_local_ops.h"
#include "tests/core/mesh_builders.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

using testing_support::bytes_of;
using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::torus;

// Every element table as bytes, for "nothing changed" checks.
struct TableBytes {
    std::vector<std::byte> v, h, e, f;
    explicit TableBytes(const Mesh& m)
        : v(bytes_of(m.vertices())),
          h(bytes_of(m.half_edges())),
          e(bytes_of(m.edges())),
          f(bytes_of(m.faces())) {}
    bool operator==(const TableBytes&) const = default;
};

// The alive faces' rings, each rotated to start at its lowest vertex, sorted.
std::vector<std::vector<VertexId>> ring_set(const Mesh& m) {
    std::vector<std::vector<VertexId>> out;
    for (const FaceId f : m.alive_faces()) {
        std::vector<VertexId> r = m.face_vertices(f);
        std::rotate(r.begin(), std::min_element(r.begin(), r.end()), r.end());
        out.push_back(r);
    }
    std::sort(out.begin(), out.end());
    return out;
}

EdgeId edge_between(const Mesh& m, VertexId a, VertexId b) {
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edge_usable(e)) continue;
        const auto ends = m.edge_vertices(e);
        if ((ends[0] == a && ends[1] == b) || (ends[0] == b && ends[1] == a)) return e;
    }
    return kInvalidId;
}

// A unit square in z = 0 of two triangles over the diagonal 0-2, linked; `concave` pulls
// corner 3 out so the outline turns in at corner 2 and the diagonal 1-3 would leave it.
Mesh square_pair(bool concave = false) {
    Mesh m;
    m.add_vertex({0, 0, 0});
    m.add_vertex({1, 0, 0});
    m.add_vertex({1, 1, 0});
    m.add_vertex(concave ? Vec3{1.5f, 2, 0} : Vec3{0, 1, 0});
    m.add_triangle(0, 1, 2);
    m.add_triangle(0, 2, 3);
    m.link_shared_edges();
    return m;
}

Mesh tetrahedron() {
    Mesh m;
    m.add_vertex({0, 0, 0});
    m.add_vertex({1, 0, 0});
    m.add_vertex({0, 1, 0});
    m.add_vertex({0, 0, 1});
    m.add_triangle(0, 2, 1);
    m.add_triangle(0, 1, 3);
    m.add_triangle(1, 2, 3);
    m.add_triangle(2, 0, 3);
    m.link_shared_edges();
    return m;
}

TEST(LocalOps, SplitEdgeWeldedKeepsACubeClosed) {
    Mesh welded = cube(), plain = cube();
    const EdgeId e = edge_between(welded, 0, 1);
    const SplitEdgeWeldedResult r = split_edge_welded(welded, e, 0.25f);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.faces_rewritten, 2u);
    EXPECT_EQ(welded.vertices()[r.vertex].position, (Vec3{0.25f, 0, 0}));
    test::expect_closed_solids(welded);
    EXPECT_NEAR(welded.compute_volume(), 1.0f, 1e-6f);
    plain.split_edge(e, 0.25f);  // the plain split rebuilds the two faces as islands
    EXPECT_GT(plain.naked_edge_count(), 0u);
}

TEST(LocalOps, CubeCornerSplitsIntoCopiesAndRefusesTheWholeFan) {
    Mesh m = cube();
    const std::vector<FaceId> fan = m.vertex_faces(0);
    ASSERT_EQ(fan.size(), 3u);
    const TableBytes before(m);
    EXPECT_STREQ(split_vertex(m, 0, fan).message,
                 "the group is the whole fan -- that is a rename, not a split");
    EXPECT_TRUE(TableBytes(m) == before);

    const SplitVertexResult r = unweld_vertex(m, 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.copies.size(), 2u);
    EXPECT_EQ(r.faces_rewritten, 2u);
    for (const VertexId c : r.copies) EXPECT_EQ(m.vertices()[c].position, (Vec3{0, 0, 0}));
    EXPECT_EQ(m.alive_face_count(), 6u);
    // Each of the three corner edges comes apart into two naked ones.
    EXPECT_EQ(m.naked_edge_count(), 6u);
    expect_ring_invariants(m);
}

TEST(LocalOps, SplitVertexRefusalsLeaveTheMeshAlone) {
    struct Row {
        VertexId vertex;
        std::vector<FaceId> group;
        const char* message;
    };
    const Row rows[] = {
        {99, {0}, "vertex is out of range or dead"},
        {0, {}, "the group is empty"},
        {0, {1}, "a face in the group does not touch this vertex"},  // face 1 is the top
        {0, {40}, "a face in the group does not touch this vertex"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        Mesh m = cube();
        const TableBytes before(m);
        const SplitVertexResult r = split_vertex(m, row.vertex, row.group);
        EXPECT_FALSE(r.ok);
        EXPECT_STREQ(r.message, row.message);
        EXPECT_TRUE(TableBytes(m) == before);
    }
    Mesh lone;
    lone.add_vertex({});
    EXPECT_STREQ(unweld_vertex(lone, 0).message, "no alive face names this vertex");
}

TEST(LocalOps, WeldSelectedIsNotTransitive) {
    Mesh m;
    for (const float x : {0.0f, 0.9e-4f, 1.8e-4f}) {
        const VertexId v = m.add_vertex({x, 0, 0});
        const VertexId a = m.add_vertex({x, 1, 0}), b = m.add_vertex({x + 1, 1, 0});
        m.add_triangle(v, b, a);
    }
    const WeldSelectedResult r = weld_selected_vertices(m, std::vector<VertexId>{6, 3, 0, 3});
    EXPECT_EQ(r.considered, 3u);
    EXPECT_EQ(r.clusters, 1u);
    EXPECT_EQ(r.merged, 1u);
    EXPECT_FALSE(m.vertex_usable(3));
    EXPECT_TRUE(m.vertex_usable(6));
    EXPECT_EQ(r.faces_after, 3u);
    // Nothing within the tolerance: nothing changes.
    const TableBytes before(m);
    EXPECT_EQ(weld_selected_vertices(m, std::vector<VertexId>{0, 6}).merged, 0u);
    EXPECT_TRUE(TableBytes(m) == before);
}

TEST(LocalOps, CollapseRefusesATetrahedronAndKeepsALargerSolidClosed) {
    Mesh tet = tetrahedron();
    const TableBytes before(tet);
    EXPECT_EQ(collapse_edge(tet, edge_between(tet, 0, 1)).status, CollapseStatus::kTooFewVertices);
    EXPECT_TRUE(TableBytes(tet) == before);

    Mesh ring = torus(8, 6, 3.0f, 1.0f);
    ring.triangulate_all();
    ring.link_shared_edges();
    const EdgeId e = edge_between(ring, 0, 1);
    const CollapseEdgeResult r = collapse_edge(ring, e, CollapseTarget::kFirst);
    ASSERT_EQ(r.status, CollapseStatus::kOk);
    EXPECT_EQ(r.shared, r.expected);
    EXPECT_EQ(r.kept, 0u);
    EXPECT_EQ(r.faces_dropped, 2u);
    EXPECT_EQ(r.naked_after, 0u);
    EXPECT_FALSE(ring.vertex_usable(1));
    test::expect_closed_solids(ring);
}

TEST(LocalOps, TurningTwiceRestoresAndConcavePairsRefuse) {
    Mesh m = square_pair();
    const auto rings = ring_set(m);
    const EdgeId diagonal = edge_between(m, 0, 2);
    const TurnEdgeResult first = turn_edge(m, diagonal);
    ASSERT_EQ(first.status, TurnStatus::kOk);
    EXPECT_NEAR(first.area_after, first.area_before, 1e-6f);
    EXPECT_NE(edge_between(m, 1, 3), kInvalidId);
    EXPECT_EQ(edge_between(m, 0, 2), kInvalidId);
    expect_ring_invariants(m);
    ASSERT_EQ(turn_edge(m, diagonal).status, TurnStatus::kOk);
    EXPECT_EQ(ring_set(m), rings);

    Mesh dented = square_pair(true);
    const TableBytes before(dented);
    EXPECT_EQ(turn_edge(dented, edge_between(dented, 0, 2)).status, TurnStatus::kNonConvex);
    EXPECT_TRUE(TableBytes(dented) == before);
    Mesh box = cube();
    EXPECT_EQ(turn_edge(box, 0).status, TurnStatus::kNotTriangles);
}

TEST(LocalOps, DissolvingTheDiagonalMakesOneQuad) {
    Mesh m = square_pair();
    const DissolveEdgeResult r = dissolve_edge(m, edge_between(m, 0, 2));
    ASSERT_EQ(r.status, DissolveStatus::kOk);
    EXPECT_EQ(r.sides, 4u);
    EXPECT_NEAR(r.area, 1.0f, 1e-6f);
    EXPECT_EQ(m.alive_face_count(), 1u);
    EXPECT_EQ(r.kept, 0u);
    expect_ring_invariants(m);

    Mesh box = cube();
    const TableBytes before(box);
    const DissolveEdgeResult edge = dissolve_edge(box, edge_between(box, 0, 1));
    EXPECT_EQ(edge.status, DissolveStatus::kNotCoplanar);
    EXPECT_NEAR(edge.deviation, 0.5f / std::sqrt(2.0f) * 0.5f, 0.2f);
    EXPECT_TRUE(TableBytes(box) == before);
}

TEST(LocalOps, MakePlanarFlattensARaisedCornerAndIsIdempotent) {
    Mesh m = testing_support::square();
    m.vertex_mut(2).position.z = 0.01f;
    const FaceId face = 0;
    const MakePlanarResult r = make_planar(m, {&face, 1});
    EXPECT_EQ(r.projected, 1u);
    EXPECT_EQ(r.moved, 4u);
    EXPECT_NEAR(r.worst_before, 0.0025f, 1e-5f);
    EXPECT_LT(r.worst_after, 1e-6f);
    const TableBytes once(m);
    const MakePlanarResult again = make_planar(m, {&face, 1});
    EXPECT_EQ(again.moved, 0u);
    EXPECT_TRUE(TableBytes(m) == once);
}

TEST(LocalOps, RandomSequencesKeepAClosedMeshClosedAndManifold) {
    for (const unsigned seed : {1u, 7u, 42u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Mesh m = torus(10, 8, 3.0f, 1.0f);
        m.triangulate_all();
        m.link_shared_edges();
        int applied = 0;
        for (int step = 0; step < 60; ++step) {
            std::vector<EdgeId> alive;
            for (EdgeId e = 0; e < m.edges().size(); ++e) {
                if (m.edge_usable(e)) alive.push_back(e);
            }
            const EdgeId e = alive[rng() % alive.size()];
            const TableBytes before(m);
            bool ok = false;
            switch (rng() % 4) {
                case 0: ok = split_edge_welded(m, e, 0.3f).ok; break;
                case 1: ok = collapse_edge(m, e).status == CollapseStatus::kOk; break;
                case 2: ok = turn_edge(m, e, 0.5f).status == TurnStatus::kOk; break;
                case 3: ok = dissolve_edge(m, e, 0.05f).status == DissolveStatus::kOk; break;
            }
            if (!ok) {
                ASSERT_TRUE(TableBytes(m) == before) << "refusal changed the mesh at " << step;
                continue;
            }
            ++applied;
            ASSERT_EQ(m.naked_edge_count(), 0u) << "step " << step;
            expect_ring_invariants(m);
        }
        EXPECT_GT(applied, 20);
        test::expect_closed_solids(m);
    }
}

}  // namespace
}  // namespace korvan
