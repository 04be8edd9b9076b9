// Push/pull, extrusion, offset, inset, plane cuts, capping and the creators.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"
#include "tests/support/near_checks.h"

namespace korvan {
namespace {

using test::expect_near;
using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::torus;

FaceId square(Mesh& mesh, float size = 1.0f, float z = 0.0f) {
    return static_cast<FaceId>(mesh.create_rectangle({0, 0, 0}, size, size, z));
}

FaceId face_facing(const Mesh& mesh, const Vec3& dir) {
    for (const FaceId f : mesh.alive_faces()) {
        if (dot(mesh.face_normal(f), dir) > 0.999f) return f;
    }
    return kInvalidId;
}

TEST(MeshCreators, RefuseDegenerateSizes) {
    struct Row {
        const char* name;
        std::int32_t (*make)(Mesh&);
    };
    const Row rows[] = {
        {"rect width at the limit", [](Mesh& m) { return m.create_rectangle({}, 1e-4f, 1, 0); }},
        {"rect zero depth", [](Mesh& m) { return m.create_rectangle({}, 1, 0, 0); }},
        {"circle radius 1e-5", [](Mesh& m) { return m.create_circle_xy({}, 1e-5f, 24); }},
        {"arc on its centre",
         [](Mesh& m) {
             return m.create_arc_xy({}, {0, 0, 5}, 1.0f);
         }},
        {"arc without sweep",
         [](Mesh& m) {
             return m.create_arc_xy({}, {1, 0, 0}, 1e-5f);
         }},
        {"ribbon too narrow",
         [](Mesh& m) {
             return m.create_line_ribbon({}, {1, 0, 0}, 1e-4f);
         }},
        {"ribbon too short",
         [](Mesh& m) {
             return m.create_line_ribbon({}, {5e-5f, 0, 0});
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Mesh mesh;
        EXPECT_EQ(row.make(mesh), -1);
        EXPECT_EQ(mesh.vertices().size(), 0u);
    }
}

TEST(MeshCreators, ShapesAndFacing) {
    Mesh mesh;
    const auto rect = static_cast<FaceId>(mesh.create_rectangle({1, 2, 0}, 2, 3, 0.5f));
    EXPECT_FLOAT_EQ(mesh.face_area(rect), 6.0f);
    expect_near(mesh.face_normal(rect), {0, 0, 1});
    expect_near(mesh.vertices()[mesh.face_vertices(rect)[2]].position, {3, 5, 0.5f});

    const auto tri = static_cast<FaceId>(mesh.create_circle_xy({}, 1, 2));
    EXPECT_EQ(mesh.face_vertices(tri).size(), 3u);
    expect_near(mesh.face_normal(tri), {0, 0, 1});

    // A quarter turn takes its share of 24 segments: 6, so the centre and 7 rim points.
    const auto pie = static_cast<FaceId>(mesh.create_arc_xy({}, {2, 0, 0}, kFullTurn / 4, 24));
    const std::vector<VertexId> ring = mesh.face_vertices(pie);
    ASSERT_EQ(ring.size(), 8u);
    expect_near(mesh.vertices()[ring[0]].position, {0, 0, 0});
    expect_near(mesh.vertices()[ring[7]].position, {0, 2, 0});
    expect_near(mesh.face_normal(pie), {0, 0, 1});
    const auto back = static_cast<FaceId>(mesh.create_arc_xy({}, {2, 0, 0}, -kFullTurn / 4, 24));
    expect_near(mesh.face_normal(back), {0, 0, -1});
    const auto full = static_cast<FaceId>(mesh.create_arc_xy({}, {1, 0, 0}, kFullTurn, 12));
    EXPECT_EQ(mesh.face_vertices(full).size(), 12u);
    const auto exact =
        static_cast<FaceId>(mesh.create_arc_xy({}, {1, 0, 0}, kFullTurn / 4, 5, true));
    EXPECT_EQ(mesh.face_vertices(exact).size(), 7u);

    // A vertical ribbon cannot lie across Z, so it turns across X.
    const auto ribbon = static_cast<FaceId>(mesh.create_line_ribbon({}, {0, 0, 2}, 0.5f));
    EXPECT_FLOAT_EQ(mesh.face_area(ribbon), 1.0f);
    expect_near(mesh.vertices()[mesh.face_vertices(ribbon)[0]].position, {0, 0.25f, 0});
}

// Pulled out, the base turns to face down under its cap; pushed back, the base keeps
// facing up and the cap faces down. Either way every normal points out of the box.
TEST(MeshPushPull, LoneSquareMakesAnOutwardClosedBoxEitherWay) {
    for (const float d : {1.0f, -1.0f}) {
        SCOPED_TRACE(d);
        Mesh mesh;
        const FaceId base = square(mesh);
        const auto cap = mesh.push_pull(base, d);
        ASSERT_TRUE(cap);
        EXPECT_EQ(mesh.alive_face_count(), 6u);
        expect_near(mesh.face_normal(*cap), {0, 0, d});
        expect_near(mesh.face_normal(base), {0, 0, -d});
        mesh.link_shared_edges();
        EXPECT_EQ(mesh.naked_edge_count(), 0u);
        EXPECT_NEAR(mesh.signed_volume(), 1.0f, 1e-5f);
        EXPECT_EQ(mesh.soft_edge_count(), 0u);
        expect_ring_invariants(mesh);
    }
}

TEST(MeshPushPull, CircleWallsAreSmoothAndSquareWallsHard) {
    Mesh circle;
    ASSERT_TRUE(circle.push_pull(static_cast<FaceId>(circle.create_circle_xy({}, 1, 24)), 2));
    circle.link_shared_edges();
    EXPECT_EQ(circle.soft_edge_count(), 24u);
    EXPECT_EQ(circle.naked_edge_count(), 0u);

    Mesh box;
    ASSERT_TRUE(box.push_pull(square(box), 2));
    box.link_shared_edges();
    EXPECT_EQ(box.soft_edge_count(), 0u);
}

TEST(MeshPushPull, BoxFaceChangesTheVolumeByAreaTimesDistance) {
    for (const float d : {0.5f, 2.0f, -0.25f, -0.75f}) {
        SCOPED_TRACE(d);
        Mesh mesh = cube();
        const FaceId top = face_facing(mesh, {0, 0, 1});
        ASSERT_NE(top, kInvalidId);
        const auto cap = mesh.push_pull(top, d);
        ASSERT_TRUE(cap);
        // The base stays as an inner face with a neighbour: never reversed.
        expect_near(mesh.face_normal(top), {0, 0, 1});
        // Without the inner base the new walls close the solid again.
        mesh.erase_face(top);
        mesh.link_shared_edges();
        EXPECT_EQ(mesh.naked_edge_count(), 0u);
        EXPECT_NEAR(mesh.signed_volume(), 1.0f + d, 1e-5f);
        expect_ring_invariants(mesh);
    }
}

TEST(MeshPushPull, NeighboursCountWhetherLinkedOrNot) {
    // A cap pushed back into its own walls is not a lone face: its new cap keeps facing the
    // way the old one did, whether the walls were linked to it or are still islands that
    // only share its vertices.
    for (const bool linked : {true, false}) {
        SCOPED_TRACE(linked ? "linked walls" : "unlinked walls");
        Mesh mesh;
        const auto cap = mesh.push_pull(square(mesh), 1.0f);
        ASSERT_TRUE(cap);
        if (linked) mesh.link_shared_edges();
        const auto again = mesh.push_pull(*cap, -0.5f);
        ASSERT_TRUE(again);
        expect_near(mesh.face_normal(*again), {0, 0, 1});
    }
}

TEST(MeshPushPull, RefusalsLeaveTheMeshAlone) {
    Mesh mesh;
    const FaceId f = square(mesh);
    const VertexId a = mesh.add_vertex({0, 0, 5}), b = mesh.add_vertex({1, 0, 5}),
                   c = mesh.add_vertex({2, 0, 5});
    const FaceId flat = *mesh.add_triangle(a, b, c);
    const FaceId dead = square(mesh, 1, 3);
    mesh.erase_face(dead);
    const std::size_t faces = mesh.faces().size(), verts = mesh.vertices().size();
    for (const FaceId bad : {flat, dead, FaceId{999}, kInvalidId}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(mesh.push_pull(bad, 1));
        if (bad != flat) {  // extrusion needs no normal, only a ring
            EXPECT_FALSE(mesh.extrude_face_along_vector(bad, {0, 0, 1}));
        }
        EXPECT_FALSE(mesh.offset_face(bad, 0.1f));
        EXPECT_FALSE(mesh.inset_face(bad, 0.1f));
    }
    EXPECT_FALSE(mesh.extrude_face_along_vector(f, {0, 0, 1e-7f}));
    EXPECT_EQ(mesh.faces().size(), faces);
    EXPECT_EQ(mesh.vertices().size(), verts);
}

TEST(MeshExtrude, CapFacesAlongTheVectorAndBatchCountsFaces) {
    Mesh mesh;
    const FaceId f = square(mesh);
    const auto down = mesh.extrude_face_along_vector(f, {0.2f, 0, -1});
    ASSERT_TRUE(down);
    EXPECT_LT(mesh.face_normal(*down).z, -0.99f);
    expect_near(mesh.face_normal(f), {0, 0, 1});  // untouched

    Mesh two;
    const FaceId a = square(two), b = static_cast<FaceId>(two.create_circle_xy({5, 0, 0}, 1, 6));
    const std::vector<FaceId> list{a, b, a, 77};
    // 5 + 7 + 5 faces; the dead id is skipped and the repeat extrudes again.
    EXPECT_EQ(two.extrude_faces_along_vector(list, {0, 0, 1}), 17u);
}

TEST(MeshOffset, FrameRoundTheOffsetFaceOrRefusal) {
    struct Row {
        float distance;
        bool ok;
        float area;
    };
    for (const Row row : {Row{0.5f, true, 1.0f}, Row{-0.5f, true, 9.0f}, Row{1.1f, false, 0}}) {
        SCOPED_TRACE(row.distance);
        Mesh mesh;
        const FaceId f = square(mesh, 2);
        mesh.set_face_material(f, 4);
        const auto made = mesh.offset_face(f, row.distance);
        ASSERT_EQ(made.has_value(), row.ok);
        if (!row.ok) {
            EXPECT_TRUE(mesh.face_usable(f));
            EXPECT_EQ(mesh.faces().size(), 1u);
            continue;
        }
        EXPECT_FALSE(mesh.face_usable(f));
        EXPECT_NEAR(mesh.face_area(*made), row.area, 1e-5f);
        EXPECT_EQ(mesh.alive_face_count(), 5u);
        EXPECT_EQ(mesh.faces_with_material(4).size(), 5u);
        mesh.link_shared_edges();
        EXPECT_EQ(mesh.adjacent_faces(*made).size(), 4u);  // framed on every side
        expect_ring_invariants(mesh);
    }
}

TEST(MeshInset, InsetOutsetAndRefusals) {
    struct Row {
        float distance;
        bool ok;
        float area;
    };
    for (const Row row :
         {Row{0.25f, true, 0.25f}, Row{-0.5f, true, 4.0f}, Row{0, false, 0}, Row{0.6f, false, 0}}) {
        SCOPED_TRACE(row.distance);
        Mesh mesh;
        const FaceId f = square(mesh);
        mesh.set_face_extras(f, 7, false, true);
        const auto made = mesh.inset_face(f, row.distance);
        ASSERT_EQ(made.has_value(), row.ok);
        EXPECT_TRUE(mesh.face_usable(f));
        if (!row.ok) {
            EXPECT_EQ(mesh.faces().size(), 1u);
            continue;
        }
        EXPECT_NEAR(mesh.face_area(*made), row.area, 1e-5f);
        expect_near(mesh.face_normal(*made), {0, 0, 1});
        EXPECT_EQ(mesh.faces()[*made].tag, 7);
    }
}

TEST(MeshSplitFace, DiagonalCornerAndMiddle) {
    {
        SCOPED_TRACE("through two opposite corners");
        Mesh mesh;
        const FaceId f = square(mesh);
        ASSERT_TRUE(mesh.split_face_by_plane(f, {0, 0, 0}, {1, -1, 0}));
        EXPECT_EQ(mesh.vertices().size(), 4u);
        EXPECT_EQ(mesh.alive_face_count(), 2u);
        for (const FaceId g : mesh.alive_faces()) EXPECT_EQ(mesh.face_vertices(g).size(), 3u);
        const std::vector<FaceId> halves = mesh.alive_faces();
        EXPECT_EQ(mesh.adjacent_faces(halves[0]), std::vector<FaceId>{halves[1]});
    }
    {
        SCOPED_TRACE("touching one corner");
        Mesh mesh;
        const FaceId f = square(mesh);
        EXPECT_FALSE(mesh.split_face_by_plane(f, {0, 0, 0}, {1, 1, 0}));
        EXPECT_FALSE(mesh.split_face_by_plane(f, {0.5f, 0, 0}, {0, 0, 0}));
        EXPECT_TRUE(mesh.face_usable(f));
        EXPECT_EQ(mesh.faces().size(), 1u);
    }
    {
        SCOPED_TRACE("through the middle of a cube face");
        Mesh mesh = cube();
        const FaceId top = face_facing(mesh, {0, 0, 1});
        ASSERT_TRUE(mesh.split_face_by_plane(top, {0.5f, 0, 0}, {1, 0, 0}));
        EXPECT_EQ(mesh.alive_face_count(), 7u);
        EXPECT_NEAR(mesh.signed_volume(), 1.0f, 1e-5f);
        // The halves link to each other and to the walls they keep whole edges with; the
        // walls they cut leave T-junctions: two old wall sides and four half sides.
        EXPECT_EQ(mesh.naked_edge_count(), 6u);
        EXPECT_EQ(mesh.adjacent_faces(mesh.alive_faces().back()).size(), 2u);
        expect_ring_invariants(mesh);
    }
}

TEST(MeshPlaneCut, CubeSplitStaysClosedWithSharedSeams) {
    Mesh mesh = cube();
    const PlaneSplitReport r = mesh.split_by_plane({0, 0, 0.5f}, {0, 0, 2});
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.faces_split, 4u);
    EXPECT_EQ(r.faces_before, 6u);
    EXPECT_EQ(r.faces_after, 10u);
    EXPECT_EQ(r.seam_vertices, 4u);
    EXPECT_EQ(r.seam_shared, 4u);
    EXPECT_EQ(r.naked_after, 0u);
    EXPECT_EQ(mesh.naked_edge_count(), 0u);
    EXPECT_NEAR(mesh.compute_volume(), 1.0f, 1e-5f);
    expect_ring_invariants(mesh);

    Mesh same = cube();
    const std::size_t verts = same.vertices().size();
    for (const Vec3 normal : {Vec3{0, 0, 1}, Vec3{}}) {
        const PlaneSplitReport miss = same.split_by_plane({0, 0, 3}, normal);
        EXPECT_FALSE(miss.ok);
        EXPECT_STRNE(miss.message, "");
    }
    EXPECT_EQ(same.vertices().size(), verts);
    EXPECT_EQ(same.alive_face_count(), 6u);
}

TEST(MeshPlaneCut, SliceKeepsOneSideCappedOrOpen) {
    struct Row {
        bool keep_positive, cap;
        float volume;
        std::uint64_t naked;
    };
    for (const Row row :
         {Row{false, true, 0.25f, 0}, Row{true, true, 0.75f, 0}, Row{false, false, 0.25f, 4}}) {
        SCOPED_TRACE(testing::Message() << row.keep_positive << row.cap);
        Mesh mesh = cube();
        const PlaneSliceReport r =
            mesh.slice_by_plane({0, 0, 0.25f}, {0, 0, 1}, row.keep_positive, row.cap);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.faces_split, 4u);
        EXPECT_EQ(r.faces_removed, 5u);
        EXPECT_EQ(r.loops_capped, row.cap ? 1u : 0u);
        EXPECT_EQ(r.naked_after, row.naked);
        EXPECT_NEAR(r.volume_before, 1.0f, 1e-5f);
        if (row.cap) {
            EXPECT_NEAR(r.volume_after, row.volume, 1e-5f);
            EXPECT_NEAR(mesh.signed_volume(), row.volume, 1e-5f);
        }
        expect_ring_invariants(mesh);
    }
    Mesh untouched = cube();
    const PlaneSliceReport none = untouched.slice_by_plane({0, 0, 3}, {0, 0, 1}, false, true);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(untouched.alive_face_count(), 6u);
    // Everything on the discarded side is a removal, not a refusal.
    Mesh gone = cube();
    const PlaneSliceReport all = gone.slice_by_plane({0, 0, 3}, {0, 0, 1}, true, false);
    EXPECT_TRUE(all.ok);
    EXPECT_EQ(all.faces_removed, 6u);
}

TEST(MeshPlaneCut, CapClosesOnlyWhenTheWholeMeshCloses) {
    Mesh open_top = cube();
    open_top.erase_face(face_facing(open_top, {0, 0, 1}));
    const PlaneCapReport wrong_way =
        open_top.cap_boundary_on_plane({0, 0, 1}, {0, 0, 1}, Vec3{0, 0, -1});
    EXPECT_EQ(wrong_way.loops_capped, 1u);
    EXPECT_TRUE(wrong_way.reversed);
    EXPECT_EQ(wrong_way.naked_after, 0u);
    EXPECT_NEAR(open_top.signed_volume(), 1.0f, 1e-5f);

    Mesh two_holes = cube();
    two_holes.erase_face(face_facing(two_holes, {0, 0, 1}));
    two_holes.erase_face(face_facing(two_holes, {0, 0, -1}));
    const PlaneCapReport fails = two_holes.cap_boundary_on_plane({0, 0, 1}, {0, 0, 1});
    EXPECT_EQ(fails.loops_capped, 0u);
    EXPECT_EQ(two_holes.alive_face_count(), 4u);
    EXPECT_EQ(fails.naked_after, 8u);
    EXPECT_EQ(cube().cap_boundary_on_plane({0, 0, 1}, {0, 0, 1}).loops_capped, 0u);
}

// Random planes through a torus: splitting never opens it or changes its volume, and the two
// capped halves add up to the whole, ring with hole included.
TEST(MeshPlaneCut, RandomPlanesThroughATorus) {
    const unsigned seed = 20240611u;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> coord(-0.8f, 0.8f), dir(-1.0f, 1.0f);
    const Mesh whole = torus(24, 12, 2.0f, 0.6f);
    const float volume = whole.compute_volume();
    for (int trial = 0; trial < 12; ++trial) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " trial " << trial);
        const Vec3 point{coord(rng), coord(rng), coord(rng) * 0.5f};
        Vec3 normal{dir(rng), dir(rng), dir(rng)};
        if (trial % 4 == 0) normal = {0, 0, 1};  // through the hole: an annulus section
        Mesh split = whole;
        const PlaneSplitReport r = split.split_by_plane(point, normal);
        if (!r.ok) continue;
        EXPECT_EQ(split.naked_edge_count(), 0u);
        EXPECT_NEAR(split.compute_volume(), volume, volume * 1e-4f);
        expect_ring_invariants(split);

        float halves = 0.0f;
        for (const bool keep : {false, true}) {
            Mesh half = whole;
            const PlaneSliceReport s = half.slice_by_plane(point, normal, keep, true);
            ASSERT_TRUE(s.ok) << s.message;
            EXPECT_GT(s.loops_capped, 0u);
            EXPECT_EQ(half.naked_edge_count(), 0u);
            halves += s.volume_after;
        }
        EXPECT_NEAR(halves, volume, volume * 1e-3f);
    }
}

}  // namespace
}  // namespace korvan
