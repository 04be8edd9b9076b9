#include <gtest/gtest.h>

#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::square;

TEST(MeshCreate, NgonLaysOutRingThenPhantomBoundary) {
    Mesh m = square();
    m.add_vertex({2, 0, 0});
    const auto f = m.add_triangle(1, 4, 2);  // second face: ids start after the square's
    ASSERT_EQ(f, FaceId{1});
    const auto he = m.half_edges();
    ASSERT_EQ(he.size(), 14u);
    ASSERT_EQ(m.edges().size(), 7u);
    const HalfEdgeId h = 8;
    const EdgeId e = 4;
    const VertexId ring[3] = {1, 4, 2};
    for (std::uint32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const HalfEdge& r = he[h + i];
        EXPECT_EQ(r.origin, ring[i]);
        EXPECT_EQ(r.next, h + (i + 1) % 3);
        EXPECT_EQ(r.prev, h + (i + 2) % 3);
        EXPECT_EQ(r.twin, h + 3 + i);
        EXPECT_EQ(r.face, *f);
        EXPECT_EQ(r.edge, e + i);
        const HalfEdge& p = he[h + 3 + i];
        EXPECT_EQ(p.origin, ring[(i + 1) % 3]);
        EXPECT_EQ(p.twin, h + i);
        EXPECT_EQ(p.next, h + 3 + (i + 2) % 3);  // twin of the ring's previous side
        EXPECT_EQ(p.prev, h + 3 + (i + 1) % 3);
        EXPECT_EQ(p.face, kInvalidId);
        EXPECT_EQ(p.edge, e + i);
        EXPECT_EQ(m.edges()[e + i].half_edge, h + i);
    }
    const Face& face = m.faces()[*f];
    EXPECT_EQ(face.half_edge, h);
    EXPECT_EQ(face.material_id, 0u);
    EXPECT_EQ(face.tag, -1);
    EXPECT_TRUE(face.visible && face.alive && face.extra_flag_1 && face.extra_flag_2);
    EXPECT_EQ(m.face_vertices(*f), (std::vector<VertexId>{1, 4, 2}));
    EXPECT_EQ(m.face_normal(*f), (Vec3{0, 0, 1}));
    expect_ring_invariants(m);
}

TEST(MeshCreate, NgonRefusesShortRingsAndRepeatedNeighbours) {
    struct Case {
        const char* name;
        std::vector<VertexId> ring;
        bool ok;
    };
    const Case cases[] = {
        {"empty", {}, false},
        {"two", {0, 1}, false},
        {"repeat inside", {0, 1, 1, 2}, false},
        {"last equals first", {0, 1, 2, 0}, false},
        {"repeat not adjacent", {0, 1, 0, 2}, true},
        {"missing vertex", {0, 1, 99}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m = square();
        const auto before = m.half_edges().size();
        const auto f = m.add_ngon(c.ring);
        EXPECT_EQ(f.has_value(), c.ok);
        if (!c.ok) {
            EXPECT_EQ(m.half_edges().size(), before);
        }
    }
}

TEST(MeshCreate, NormalFollowsWindingAndIsZeroWithoutArea) {
    EXPECT_EQ(square(1.0f, true).face_normal(0), (Vec3{0, 0, 1}));
    EXPECT_EQ(square(1.0f, false).face_normal(0), (Vec3{0, 0, -1}));
    Mesh m;
    m.add_vertex({0, 0, 0});
    m.add_vertex({1, 1, 1});
    m.add_vertex({2, 2, 2});
    const auto line = m.add_triangle(0, 1, 2);
    ASSERT_TRUE(line);
    EXPECT_EQ(m.face_normal(*line), Vec3{});
    EXPECT_EQ(m.face_area(*line), 0.0f);
    const auto missing = m.add_triangle(0, 1, 7);
    EXPECT_EQ(m.face_normal(*missing), Vec3{});
    EXPECT_EQ(m.face_area(*missing), 0.0f);
}

TEST(MeshCreate, RecomputedNormalFollowsMovedVertex) {
    Mesh m = square();
    m.vertex_mut(2).position = {1, 1, 1};
    m.vertex_mut(3).position = {0, 1, 1};
    const Vec3 n = m.recompute_face_normal(0);
    EXPECT_NEAR(n.y, -0.70710678f, 1e-6f);
    EXPECT_NEAR(n.z, 0.70710678f, 1e-6f);
    EXPECT_EQ(m.face_normal(0), n);
}

TEST(MeshErase, FaceReleasesRingAndOpensNeighbours) {
    Mesh m = cube();
    ASSERT_EQ(m.naked_edge_count(), 0u);
    EXPECT_TRUE(m.erase_face(1));
    EXPECT_FALSE(m.erase_face(1));
    EXPECT_FALSE(m.erase_face(kInvalidId));
    EXPECT_EQ(m.naked_edge_count(), 4u);
    for (const HalfEdge& h : m.half_edges()) EXPECT_NE(h.face, 1u);
    EXPECT_EQ(m.alive_face_count(), 5u);
    EXPECT_EQ(m.alive_vertex_count(), 8u);
    EXPECT_TRUE(m.face_vertices(1).empty());
    expect_ring_invariants(m);
}

TEST(MeshErase, EdgeRetiresBothFacesAndItself) {
    Mesh m = cube();
    const auto on_edge = m.edge_faces(0);
    ASSERT_EQ(on_edge.size(), 2u);
    std::vector<FaceId> retired;
    EXPECT_TRUE(m.erase_edge(0, &retired));
    EXPECT_EQ(retired, on_edge);
    EXPECT_FALSE(m.edges()[0].alive);
    EXPECT_FALSE(m.erase_edge(0, &retired));
    EXPECT_FALSE(m.erase_edge(12345));
    EXPECT_EQ(retired.size(), 2u);
    // Two quads gone leave a hole of six sides; the erased edge itself no longer counts.
    EXPECT_EQ(m.naked_edge_count(), 6u);
    EXPECT_EQ(m.alive_face_count(), 4u);
}

TEST(MeshLink, PairsNakedSidesAndRefusesTheRest) {
    Mesh m = square();
    m.add_vertex({2, 0, 0});
    m.add_vertex({2, 1, 0});
    ASSERT_TRUE(m.add_quad(1, 4, 5, 2));
    // The square's side 1->2 is edge 1; the second quad's side 2->1 is edge 7, which dies
    // and hands its flags on.
    m.edge_mut(7).soft = true;
    m.edge_mut(7).seam = true;
    const HalfEdgeId a = 1;   // square side 1 -> 2
    const HalfEdgeId b = 11;  // second quad side 2 -> 1
    ASSERT_EQ(m.half_edges()[b].origin, 2u);
    EXPECT_FALSE(m.link_half_edges(a, a));
    EXPECT_FALSE(m.link_half_edges(0, 1));  // same face
    EXPECT_FALSE(m.link_half_edges(a, 4));  // a phantom has no face
    EXPECT_EQ(m.naked_edge_count(), 8u);
    EXPECT_TRUE(m.link_half_edges(a, b));
    EXPECT_FALSE(m.link_half_edges(a, b));  // no longer naked
    EXPECT_EQ(m.naked_edge_count(), 6u);
    EXPECT_EQ(m.half_edges()[a].twin, b);
    EXPECT_EQ(m.half_edges()[b].edge, 1u);
    EXPECT_FALSE(m.half_edges()[5].alive);
    EXPECT_FALSE(m.edges()[7].alive);
    EXPECT_TRUE(m.edges()[1].soft && m.edges()[1].seam);
    EXPECT_EQ(m.adjacent_faces(0), (std::vector<FaceId>{1}));
    expect_ring_invariants(m);
}

TEST(MeshRing, CorruptRingWalksAsEmpty) {
    Mesh m = square();
    // A next link that skips back past the start turns the ring into a lasso.
    m.half_edge_mut(3).next = 1;
    EXPECT_TRUE(m.face_vertices(0).empty());
    EXPECT_EQ(m.face_area(0), 0.0f);
    EXPECT_EQ(m.face_centroid(0), Vec3{});
    EXPECT_EQ(m.signed_volume(), 0.0f);
    EXPECT_TRUE(m.erase_face(0));  // bounded walk, no hang
}

TEST(MeshCornerUv, TableAppearsWithFirstUvAndCoversWholeRings) {
    Mesh m = square();
    m.add_vertex({2, 0, 0});
    m.add_triangle(1, 4, 2);
    EXPECT_FALSE(m.has_corner_uvs());
    const std::size_t bare = m.memory_bytes();
    EXPECT_FALSE(m.set_corner_uv(1000, 0, 0));
    EXPECT_FALSE(m.has_corner_uvs());
    for (HalfEdgeId h = 0; h < 4; ++h) EXPECT_TRUE(m.set_corner_uv(h, 0.5f * h, 1.0f));
    EXPECT_TRUE(m.set_corner_uv(8, 1, 1));
    EXPECT_GT(m.memory_bytes(), bare);
    EXPECT_TRUE(m.face_has_uvs(0));
    EXPECT_FALSE(m.face_has_uvs(1));  // only one of its corners
    EXPECT_EQ(m.corner_uv(3).u, 1.5f);
    EXPECT_FALSE(m.corner_uv(9).set);
}

TEST(MeshLayers, VisibilityGrowsShownAndIgnoresInvalidLayer) {
    Mesh m;
    EXPECT_TRUE(m.layer_visible(7));
    m.set_layer_visible(3, false);
    EXPECT_EQ(m.layer_visibility().size(), 4u);
    EXPECT_FALSE(m.layer_visible(3));
    EXPECT_TRUE(m.layer_visible(2));
    const auto revision = m.revision();
    m.set_layer_visible(kInvalidLayer, false);
    EXPECT_EQ(m.layer_visibility().size(), 4u);
    EXPECT_EQ(m.revision(), revision);
}

TEST(MeshAnnotations, CurveSlotsSurviveErasureAndTailIsDetected) {
    Mesh m;
    EXPECT_EQ(m.add_curve({{0, 0, 0}, {1, 0, 0}}, false), 0u);
    EXPECT_EQ(m.add_curve({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, true), 1u);
    EXPECT_TRUE(m.erase_curve(0));
    EXPECT_FALSE(m.erase_curve(0));
    EXPECT_FALSE(m.erase_curve(5));
    EXPECT_EQ(m.curves().size(), 2u);
    EXPECT_TRUE(m.curves()[1].alive && m.curves()[1].closed);

    Dimension d;
    EXPECT_FALSE(d.has_associative_tail());
    d.anchor_b.kind = kDimensionAnchorFace;
    d.anchor_b.id = 0;
    EXPECT_TRUE(d.has_associative_tail());
    Dimension numbers;
    numbers.tail_numbers_b[5] = 0.5f;
    EXPECT_TRUE(numbers.has_associative_tail());
}

}  // namespace
}  // namespace korvan
