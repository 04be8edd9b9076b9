#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::quad_grid;
using testing_support::square;

TEST(MeshSplit, SplitEdgeRefusesAndLeavesTheMeshAlone) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        EdgeId edge;
        float t;
        bool erase_faces;
    };
    const Case cases[] = {{"t = 0", 0, 0.0f, false},
                          {"t = 1", 0, 1.0f, false},
                          {"t NaN", 0, nan, false},
                          {"no such edge", 999, 0.5f, false},
                          {"no face on it", 0, 0.5f, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m = quad_grid(2, 1);
        if (c.erase_faces) {
            m.erase_face(0);
            m.erase_face(1);
        }
        const auto vertices = m.vertices().size();
        const auto faces = m.faces().size();
        EXPECT_FALSE(m.split_edge(c.edge, c.t));
        EXPECT_EQ(m.vertices().size(), vertices);
        EXPECT_EQ(m.faces().size(), faces);
    }
}

TEST(MeshSplit, SplitEdgeRebuildsBothFacesWithTheirAttributesAndFlags) {
    Mesh m = quad_grid(2, 1);
    m.set_face_material(0, 3);
    m.set_face_layer(1, 2);
    m.hide_face(1);
    m.set_face_extras(0, 9, false, false);
    for (const HalfEdgeId h : m.face_half_edges(0)) {
        m.set_corner_uv(h, m.vertices()[m.half_edges()[h].origin].position.x, 0);
    }
    // The shared edge runs between vertices 1 and 4; make it soft and a seam, and the outer
    // side of face 0 hidden.
    EdgeId shared = kInvalidId, outer = kInvalidId;
    for (const HalfEdgeId h : m.face_half_edges(0)) {
        if (m.half_edges()[h].origin == 1) shared = m.half_edges()[h].edge;
        if (m.half_edges()[h].origin == 3) outer = m.half_edges()[h].edge;
    }
    m.edge_mut(shared).soft = true;
    m.edge_mut(shared).seam = true;
    m.edge_mut(outer).visible = false;

    const std::optional<VertexId> v = m.split_edge(shared, 0.25f);
    ASSERT_TRUE(v);
    const Vec3 p = m.vertices()[*v].position;
    EXPECT_FLOAT_EQ(p.x, 1.0f);
    // The edge's half-edge leaves vertex 1 at (1, 0) or vertex 4 at (1, 1).
    EXPECT_TRUE(p.y == 0.25f || p.y == 0.75f);
    ASSERT_EQ(m.alive_face_count(), 2u);
    const std::vector<FaceId> faces = m.alive_faces();
    EXPECT_EQ(m.faces()[faces[0]].material_id, 3u);
    EXPECT_EQ(m.faces()[faces[0]].tag, 9);
    EXPECT_EQ(m.faces()[faces[1]].layer_id, 2u);
    EXPECT_FALSE(m.faces()[faces[1]].visible);
    EXPECT_EQ(m.face_degree(faces[0]), 5u);
    EXPECT_TRUE(m.face_has_uvs(faces[0]));
    EXPECT_EQ(m.corner_uv(m.face_half_edges(faces[0])[2]).u, 1.0f);  // the new corner
    std::uint64_t soft = 0, seams = 0, hidden = 0;
    for (const Edge& e : m.edges()) {
        if (!e.alive) continue;
        soft += e.soft, seams += e.seam, hidden += !e.visible;
    }
    EXPECT_EQ(soft, 4u);  // two halves on each face, not linked yet
    EXPECT_EQ(seams, 4u);
    EXPECT_EQ(hidden, 1u);
    EXPECT_EQ(m.link_shared_edges(), 2u);
    EXPECT_EQ(m.soft_edge_count(), 2u);
    EXPECT_EQ(m.naked_edge_count(), 6u);  // the open rim only: the old sides were retired
    expect_ring_invariants(m);
}

TEST(MeshSplit, SplitFaceWithEdgeCutsCornerToCornerAndSideToSide) {
    Mesh diag = square(2.0f);
    const std::optional<FaceId> first = diag.split_face_with_edge(0, {0, 0, 0}, {2, 2, 0});
    ASSERT_TRUE(first);
    EXPECT_EQ(diag.vertices().size(), 4u);
    EXPECT_EQ(diag.alive_face_count(), 2u);
    EXPECT_EQ(diag.face_degree(*first), 3u);
    EXPECT_FLOAT_EQ(diag.face_area(*first), 2.0f);
    EXPECT_NEAR(diag.face_normal(*first).z, 1.0f, 1e-6f);
    EXPECT_EQ(diag.link_shared_edges(), 1u);
    EXPECT_EQ(diag.naked_edge_count(), 4u);

    // Ends on the sides become new vertices inserted into them; an end within 1e-4 of a
    // vertex snaps to it.
    Mesh mid = square(2.0f);
    const std::optional<FaceId> left = mid.split_face_with_edge(0, {1, 0, 0}, {1, 2.00005f, 0});
    ASSERT_TRUE(left);
    EXPECT_EQ(mid.vertices().size(), 6u);
    EXPECT_EQ(mid.face_degree(*left), 4u);
    EXPECT_NEAR(mid.face_area(*left) + mid.face_area(*left + 1), 4.0f, 1e-3f);
    EXPECT_TRUE(mid.split_face_with_edge(*left, {1, 0, 0}, {2, 2, 0}));
    EXPECT_EQ(mid.vertices().size(), 6u);  // both ends snapped to existing corners
}

TEST(MeshSplit, SplitFaceWithEdgeRefusals) {
    struct Case {
        const char* name;
        Vec3 a, b;
    };
    const Case cases[] = {
        {"off the plane", {0, 0, 0.001f}, {2, 2, 0}},
        {"too short", {1, 1, 0}, {1.000005f, 1, 0}},
        {"along a side", {0, 0, 0}, {2, 0, 0}},
        {"both ends on one vertex", {0, 0, 0}, {0.00005f, 0.00005f, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m = square(2.0f);
        EXPECT_FALSE(m.split_face_with_edge(0, c.a, c.b));
        EXPECT_TRUE(m.face_usable(0));
        EXPECT_EQ(m.vertices().size(), 4u);
    }
    Mesh m = square(2.0f);
    m.erase_face(0);
    EXPECT_FALSE(m.split_face_with_edge(0, {0, 0, 0}, {2, 2, 0}));
}

TEST(MeshSplit, TriangulatingAnLShapedHexagonStaysInsideIt) {
    Mesh m;
    const std::vector<Vec3> l{{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}};
    std::vector<VertexId> ring;
    for (const Vec3& p : l) ring.push_back(m.add_vertex(p));
    const FaceId f = *m.add_ngon(ring);
    m.set_face_material(f, 6);
    m.hide_face(f);
    EXPECT_TRUE(m.triangulate_face(f));
    EXPECT_FALSE(m.face_usable(f));
    const std::vector<FaceId> tris = m.alive_faces();
    ASSERT_EQ(tris.size(), 4u);
    float area = 0.0f;
    for (const FaceId t : tris) {
        EXPECT_EQ(m.face_degree(t), 3u);
        EXPECT_NEAR(m.face_normal(t).z, 1.0f, 1e-6f);
        EXPECT_EQ(m.faces()[t].material_id, 6u);
        EXPECT_FALSE(m.faces()[t].visible);
        const Vec3 c = m.face_centroid(t);
        EXPECT_FALSE(c.x > 1.0f && c.y > 1.0f) << "centre in the notch";
        area += m.face_area(t);
    }
    EXPECT_NEAR(area, 3.0f, 1e-6f);
    EXPECT_EQ(m.vertices().size(), 6u);
    EXPECT_FALSE(m.triangulate_face(tris[0]));  // already a triangle
    EXPECT_FALSE(m.triangulate_face(f));
}

TEST(MeshSplit, ClosedSolidStaysClosedThroughTriangulationAndSplits) {
    Mesh m = cube();
    EXPECT_EQ(m.triangulate_all(), 6u);
    EXPECT_EQ(m.stitch_naked_edges(), 18u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_NEAR(m.signed_volume(), 1.0f, 1e-6f);
    expect_ring_invariants(m);
    EXPECT_EQ(m.triangulate_all(), 0u);

    // Cut the top (+z, a square) diagonally, then split the cut: still closed once linked.
    Mesh c = cube();
    ASSERT_TRUE(c.split_face_with_edge(1, {0, 0, 1}, {1, 1, 1}));
    EXPECT_EQ(c.stitch_naked_edges(), 5u);
    EXPECT_EQ(c.naked_edge_count(), 0u);
    EXPECT_NEAR(c.signed_volume(), 1.0f, 1e-6f);
    expect_ring_invariants(c);
}

TEST(MeshRebuild, RebuildFromSnapshotRenumbersAndKeepsFlagsByVertexPair) {
    Mesh m = cube();
    m.erase_face(2);
    m.fill_holes();
    m.link_shared_edges();
    m.set_face_material(6, 8);
    for (const HalfEdgeId h : m.face_half_edges(6)) m.set_corner_uv(h, 0.25f, 0.75f);
    const EdgeId top_side = m.half_edges()[m.faces()[1].half_edge].edge;
    m.edge_mut(top_side).soft = true;
    m.edge_mut(top_side).visible = false;
    const auto soft_ends = m.edge_vertices(top_side);

    RingSnapshot snap = m.snapshot_rings();
    ASSERT_EQ(snap.faces.size(), 6u);
    EXPECT_EQ(snap.faces[5].material_id, 8u);
    EXPECT_EQ(snap.faces[5].corners.size(), 4u);
    EXPECT_EQ(m.rebuild_from_rings(snap), 6u);
    EXPECT_EQ(m.faces().size(), 6u);
    EXPECT_EQ(m.edges().size(), 24u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_NEAR(m.signed_volume(), 1.0f, 1e-6f);
    EXPECT_EQ(m.faces()[5].material_id, 8u);
    EXPECT_TRUE(m.face_has_uvs(5));
    EXPECT_FALSE(m.face_has_uvs(0));
    EXPECT_EQ(m.soft_edge_count(), 1u);
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edges()[e].alive || !m.edges()[e].soft) continue;
        auto ends = m.edge_vertices(e);
        std::sort(ends.begin(), ends.end());
        auto want = soft_ends;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(ends, want);
        EXPECT_TRUE(m.edges()[e].visible);  // hidden edges come back visible
    }
    expect_ring_invariants(m);

    // Dropping a ring and a ring too short to be a face leaves one hole.
    snap.faces.erase(snap.faces.begin());
    snap.faces.push_back(RingFace{{0, 1}, {}, 0, 0, true});
    EXPECT_EQ(m.rebuild_from_rings(snap), 5u);
    EXPECT_EQ(m.naked_edge_count(), 4u);
}

}  // namespace
}  // namespace korvan
