#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::cylinder;
using testing_support::expect_ring_invariants;
using testing_support::quad_grid;

TEST(MeshAttributes, SettersSkipDeadFacesAndCountOnlyChanges) {
    Mesh m = quad_grid(3, 1);
    m.erase_face(2);
    EXPECT_FALSE(m.set_face_material(2, 5));
    EXPECT_FALSE(m.set_face_material(99, 5));
    EXPECT_TRUE(m.set_face_material(0, 5));
    EXPECT_FALSE(m.set_face_layer(0, kInvalidLayer));
    EXPECT_TRUE(m.set_face_layer(0, 7));
    EXPECT_GE(m.layer_visibility().size(), 8u);
    EXPECT_TRUE(m.hide_face(1));
    EXPECT_TRUE(m.set_face_extras(1, 42, false, true));
    EXPECT_EQ(m.faces()[1].tag, 42);
    EXPECT_FALSE(m.faces()[1].extra_flag_1);

    struct Case {
        const char* name;
        std::uint64_t (*run)(Mesh&);
        std::uint64_t changed;
    };
    // Face 0: material 5, layer 7, shown. Face 1: material 0, layer 0, hidden. Face 2: dead.
    const Case cases[] = {
        {"show layer 0", [](Mesh& x) { return x.set_faces_visible_by_layer(0, true); }, 1},
        {"hide material 5", [](Mesh& x) { return x.set_faces_visible_by_material(5, false); }, 1},
        {"material 0 to layer 3", [](Mesh& x) { return x.set_material_layer(0, 3); }, 1},
        {"layer 7 painted 5 again", [](Mesh& x) { return x.set_layer_material(7, 5); }, 0},
        {"layer 7 painted 9", [](Mesh& x) { return x.set_layer_material(7, 9); }, 1},
        {"layer 7 to 0", [](Mesh& x) { return x.replace_layer_id(7, 0); }, 1},
        {"layer to invalid", [](Mesh& x) { return x.replace_layer_id(0, kInvalidLayer); }, 0},
        {"material 9 to 9", [](Mesh& x) { return x.replace_material_id(9, 9); }, 0},
        {"material 0 to 2", [](Mesh& x) { return x.replace_material_id(0, 2); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh copy = m;
        const std::uint64_t before = copy.revision();
        EXPECT_EQ(c.run(copy), c.changed);
        EXPECT_EQ(copy.revision() != before, c.changed > 0);
        EXPECT_EQ(copy.faces()[2].material_id, m.faces()[2].material_id);
    }
}

TEST(MeshAttributes, SofteningATwentyFourSidedCylinderSmoothsOnlyTheSides) {
    Mesh m = cylinder(24, 1.0f, 2.0f);
    ASSERT_EQ(m.naked_edge_count(), 0u);
    EXPECT_EQ(m.soften_edges_by_angle(30.0f), 24u);
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edges()[e].alive) continue;
        const auto ends = m.edge_vertices(e);
        const bool vertical = m.vertices()[ends[0]].position.z != m.vertices()[ends[1]].position.z;
        EXPECT_EQ(m.edges()[e].soft, vertical) << "edge " << e;
    }
    EXPECT_EQ(m.soften_edges_by_angle(30.0f), 0u);
    EXPECT_EQ(m.harden_all_edges(), 24u);
    EXPECT_EQ(m.soften_edges_by_angle(10.0f), 0u);
}

TEST(MeshAttributes, SofteningMeetsSidesThatWereNeverLinked) {
    // Two quads over the same vertex ids, 10 degrees apart, never linked.
    Mesh m;
    m.add_vertex({0, 0, 0});
    m.add_vertex({0, 1, 0});
    m.add_vertex({-1, 1, 0});
    m.add_vertex({-1, 0, 0});
    m.add_vertex({std::cos(0.1745f), 1, std::sin(0.1745f)});
    m.add_vertex({std::cos(0.1745f), 0, std::sin(0.1745f)});
    m.add_quad(0, 1, 2, 3);
    m.add_quad(1, 0, 5, 4);
    EXPECT_EQ(m.soften_edges_by_angle(30.0f), 2u);  // the coincident sides' two edges
    EXPECT_EQ(m.soft_edge_count(), 2u);
}

TEST(MeshAttributes, MergeCoplanarSoftensSharedEdgesOfFlatNeighbours) {
    Mesh grid = quad_grid(2, 2);
    EXPECT_EQ(grid.merge_coplanar_faces(std::vector<FaceId>{0, 1, 7}), 1u);
    EXPECT_EQ(grid.merge_coplanar_faces(), 3u);
    Mesh box = cube();
    EXPECT_EQ(box.merge_coplanar_faces(), 0u);
}

TEST(MeshOrientation, ReversingTheSameFaceTwiceRestoresIt) {
    Mesh m = cube();
    const std::vector<VertexId> ring = m.face_vertices(1);
    const Vec3 normal = m.face_normal(1);
    EXPECT_EQ(m.reverse_faces(std::vector<FaceId>{1}), 1u);
    EXPECT_NEAR(m.face_normal(1).z, -normal.z, 1e-6f);
    const std::vector<VertexId> backwards = m.face_vertices(1);
    EXPECT_EQ(backwards.front(), ring.front());
    EXPECT_TRUE(std::equal(ring.begin() + 1, ring.end(), backwards.rbegin()));
    EXPECT_EQ(m.reverse_faces(std::vector<FaceId>{1, 1, 99}), 2u);
    EXPECT_EQ(m.face_vertices(1), backwards);
    m.reverse_face(1);
    EXPECT_EQ(m.face_vertices(1), ring);
    EXPECT_EQ(m.face_normal(1), normal);
    EXPECT_EQ(m.reverse_all_faces(), 6u);
    EXPECT_NEAR(m.signed_volume(), -1.0f, 1e-6f);
}

TEST(MeshCopies, DuplicateKeepsSharedCornersAttributesAndUvs) {
    Mesh m = quad_grid(2, 2);
    m.set_face_material(1, 4);
    m.set_face_layer(1, 2);
    m.hide_face(1);
    for (const HalfEdgeId h : m.face_half_edges(1)) m.set_corner_uv(h, 0.5f, static_cast<float>(h));
    m.edge_mut(m.half_edges()[m.faces()[1].half_edge].edge).soft = true;
    m.erase_face(3);

    Mesh subset;
    EXPECT_EQ(m.duplicate_faces(std::vector<FaceId>{1, 0, 1, 3, 99}, subset), 2u);
    EXPECT_EQ(subset.vertices().size(), 6u);  // the two quads share two corners
    EXPECT_EQ(subset.faces()[1].material_id, 4u);
    EXPECT_EQ(subset.faces()[1].layer_id, 2u);
    EXPECT_FALSE(subset.faces()[1].visible);
    EXPECT_TRUE(subset.face_has_uvs(1));
    EXPECT_FALSE(subset.face_has_uvs(0));
    EXPECT_EQ(subset.corner_uv(subset.faces()[1].half_edge).v,
              static_cast<float>(m.faces()[1].half_edge));
    EXPECT_EQ(subset.soft_edge_count(), 1u);
    EXPECT_EQ(subset.link_shared_edges(), 1u);

    // Into itself: the copies are appended, the originals untouched.
    EXPECT_EQ(m.duplicate_faces(std::vector<FaceId>{0}, m), 1u);
    EXPECT_EQ(m.face_area(4), 1.0f);
}

TEST(MeshCopies, MergingAMeshIntoItselfCopiesOnlyWhatWasThere) {
    Mesh m = cube();
    EXPECT_EQ(m.merge_mesh(m, Mat4::translation({2, 0, 0})), 6u);
    EXPECT_EQ(m.alive_face_count(), 12u);
    EXPECT_EQ(m.link_shared_edges(), 12u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_NEAR(m.signed_volume(), 2.0f, 1e-5f);
    expect_ring_invariants(m);

    // A mirroring transform turns the copy inside out; its normals follow its rings.
    Mesh flipped;
    Mat4 mirror;
    mirror.m[0] = -1.0f;
    flipped.merge_mesh(cube(), mirror);
    flipped.link_shared_edges();
    EXPECT_NEAR(flipped.signed_volume(), -1.0f, 1e-6f);
    for (const FaceId f : flipped.alive_faces()) {
        const Vec3 stored = flipped.face_normal(f);
        EXPECT_EQ(flipped.recompute_face_normal(f), stored);
    }
}

TEST(MeshCopies, MirroredFacesStayOutward) {
    Mesh m = cube();
    const std::vector<FaceId> all = m.alive_faces();
    EXPECT_EQ(m.mirror_faces(all, {2, 0, 0}, {1, 0, 0}), 6u);
    EXPECT_EQ(m.link_shared_edges(), 12u);
    EXPECT_NEAR(m.signed_volume(), 2.0f, 1e-5f);
    EXPECT_EQ(m.mirror_faces(all, {2, 0, 0}, {0, 0, 0}), 0u);
    EXPECT_EQ(m.mirror_faces(std::vector<FaceId>{99}, {2, 0, 0}, {1, 0, 0}), 0u);
    Mesh other;
    EXPECT_EQ(m.mirror_faces(std::vector<FaceId>{0}, {0, 0, 0}, {0, 0, 1}, &other), 1u);
    EXPECT_NEAR(other.face_normal(0).z, 1.0f, 1e-6f);  // the bottom, mirrored up, faces up
}

}  // namespace
}  // namespace korvan
