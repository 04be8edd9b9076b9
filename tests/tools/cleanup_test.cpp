// Clean-up tools on models built to need them: what a pass removes, what it must keep, and the
// invariants of a clean-up (closed solids stay closed with their volume, a second pass finds
// nothing).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

#include "core/mesh.h"
#include "tests/support/solid_builders.h"
#include "tests/support/solid_checks.h"
#include "document/document.h"
#include "tools/cleanup/circle_centre.h"
#include "tools/cleanup/clear_textures.h"
#include "tools/cleanup/remove_lines.h"
#include "tools/cleanup/replace_material.h"
#include "document/commands/undo_steps.h"
#include "tools/inspect.h"

namespace korvan {
namespace {

using test::box_solid;

double total_volume(const Mesh& mesh) {
    const std::vector<double> v = test::piece_volumes(mesh);
    return std::accumulate(v.begin(), v.end(), 0.0);
}

// A 2 x 3 x 4 box with every face cut corner to corner: twelve triangles, six redundant lines.
Mesh diagonal_box() {
    Mesh m = box_solid({0, 0, 0}, {2, 3, 4});
    for (FaceId f = 0; f < 6; ++f) {
        const std::vector<VertexId> ring = m.face_vertices(f);
        m.split_face_with_edge(f, m.vertices()[ring[0]].position, m.vertices()[ring[2]].position);
    }
    m.link_shared_edges();  // the cut leaves each diagonal's two sides apart
    return m;
}

// The coplanar face across one of the sides of `face`, if any.
FaceId other_half(const Mesh& m, FaceId face) {
    for (const HalfEdgeId h : m.face_half_edges(face)) {
        const FaceId across = m.half_edges()[m.half_edges()[h].twin].face;
        if (across != kInvalidId && dot(m.face_normal(across), m.face_normal(face)) > 0.99f) {
            return across;
        }
    }
    return kInvalidId;
}

TEST(RemoveLines, DissolvesOnlyLinesBetweenLikeCoplanarFaces) {
    struct Row {
        const char* name;
        std::function<void(Mesh&, FaceId)> tweak;  // gets one half of a cut face
        std::uint64_t removed;
    };
    const std::vector<Row> rows = {
        {"every diagonal", [](Mesh&, FaceId) {}, 6},
        {"one half painted", [](Mesh& m, FaceId f) { m.set_face_material(f, 3); }, 5},
        {"one half on another layer", [](Mesh& m, FaceId f) { m.set_face_layer(f, 2); }, 5},
        {"one half hidden", [](Mesh& m, FaceId f) { m.hide_face(f); }, 5},
        {"a texture seam",
         [](Mesh& m, FaceId f) {
             for (const HalfEdgeId h : m.face_half_edges(f)) {
                 if (m.half_edges()[m.half_edges()[h].twin].face == other_half(m, f)) {
                     m.edge_mut(m.half_edges()[h].edge).seam = true;
                 }
             }
         },
         5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Mesh m = diagonal_box();
        ASSERT_EQ(m.alive_faces().size(), 12u);
        const FaceId half = m.alive_faces().front();
        ASSERT_NE(other_half(m, half), kInvalidId);
        row.tweak(m, half);
        const double volume = total_volume(m);
        const RedundantLinesResult r = remove_redundant_lines(m);
        EXPECT_EQ(r.removed, row.removed);
        EXPECT_EQ(r.kept, 0u);
        EXPECT_EQ(r.faces_before, 12u);
        EXPECT_EQ(r.faces_after, 12u - row.removed);
        EXPECT_EQ(m.alive_faces().size(), r.faces_after);
        EXPECT_NEAR(total_volume(m), volume, 1e-9);
        EXPECT_NEAR(volume, 24.0, 1e-6);
        test::expect_closed_solids(m);
        EXPECT_TRUE(check_solid(m).closed());
        // A second pass finds nothing, and nothing left is redundant by the rules.
        EXPECT_EQ(remove_redundant_lines(m).removed, 0u);
        for (EdgeId e = 0; e < m.edges().size(); ++e) EXPECT_FALSE(is_redundant_line(m, e));
    }
}

TEST(RemoveLines, LeavesCleanSolidsUntouched) {
    const std::vector<std::pair<const char*, Mesh>> meshes = [] {
        std::vector<std::pair<const char*, Mesh>> v;
        v.emplace_back("box", box_solid({0, 0, 0}, {1, 1, 1}));
        v.emplace_back("prism", test::prism_solid(7, 1.0f, 0, 0, 0, 2));
        return v;
    }();
    for (const auto& [name, mesh] : meshes) {
        SCOPED_TRACE(name);
        Mesh m = mesh;
        const RedundantLinesResult r = remove_redundant_lines(m);
        EXPECT_EQ(r.removed, 0u);
        EXPECT_EQ(r.faces_after, r.faces_before);
        EXPECT_EQ(m.faces().size(), mesh.faces().size());
    }
}

TEST(RemoveLines, KeepsTheCutsOfAFlatRegionRoundAnOpening) {
    // A 3 x 3 flat frame of four pieces round a 1 x 1 opening, and beside it a square cut
    // into two triangles: only the square's diagonal goes.
    Mesh m;
    auto p = [&](float x, float y) { return m.add_vertex({x, y, 0}); };
    const VertexId a = p(0, 0), b = p(3, 0), c = p(3, 1), d = p(2, 1), e = p(1, 1), f = p(0, 1);
    const VertexId g = p(0, 2), h = p(1, 2), i = p(2, 2), j = p(3, 2), k = p(3, 3), l = p(0, 3);
    m.add_ngon(std::vector<VertexId>{a, b, c, d, e, f});  // bottom
    m.add_ngon(std::vector<VertexId>{g, h, i, j, k, l});  // top
    m.add_quad(f, e, h, g);                               // left
    m.add_quad(d, c, j, i);                               // right
    const VertexId s0 = p(5, 0), s1 = p(6, 0), s2 = p(6, 1), s3 = p(5, 1);
    m.add_triangle(s0, s1, s2);
    m.add_triangle(s0, s2, s3);
    m.link_shared_edges();
    const double area = m.area_of_faces(m.alive_faces());
    const RedundantLinesResult r = remove_redundant_lines(m);
    EXPECT_EQ(r.removed, 1u);
    EXPECT_EQ(r.kept, 4u);
    EXPECT_EQ(r.faces_after, 5u);
    EXPECT_NEAR(m.area_of_faces(m.alive_faces()), area, 1e-5);
}

TEST(RemoveLines, JoinsTheFlatBandsOfATriangulatedSphere) {
    // Each band quad between two latitudes is a flat trapezoid split into two triangles; the
    // pole fans and the bands meet at real bends.
    Mesh m = test::sphere_solid(12, 6, 1.0f);
    const double volume = total_volume(m);
    const RedundantLinesResult r = remove_redundant_lines(m);
    EXPECT_EQ(r.removed, 12u * 4u);
    EXPECT_EQ(r.faces_after, r.faces_before - r.removed);
    EXPECT_NEAR(total_volume(m), volume, 1e-6);
    test::expect_closed_solids(m);
    EXPECT_EQ(remove_redundant_lines(m).removed, 0u);
}

TEST(ClearTextures, DropsImagesAndPatternsKeepsColoursAndUndoes) {
    Document doc;
    std::vector<Material> mats(4);
    mats[1].texture_path = "textures/brick.png";
    mats[1].albedo = {0.5f, 0.2f, 0.1f};
    mats[1].uv.tile_width = 0.25f;
    mats[2].uv.pattern = TexturePattern::kChecker;
    mats[3].texture_path = "textures/oak.png";
    mats[3].uv.pattern = TexturePattern::kBrick;
    doc.materials() = MaterialLibrary(mats);
    const MaterialLibrary before = doc.materials();

    ClearTexturesCommand clear(doc);
    clear.redo();
    ASSERT_FALSE(clear.is_noop());
    EXPECT_EQ(clear.materials_cleared(), 3u);
    EXPECT_EQ(clear.images_cleared(), 2u);
    EXPECT_EQ(clear.patterns_cleared(), 2u);
    const MaterialLibrary after = doc.materials();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        SCOPED_TRACE(i);
        Material want = before[i];
        want.texture_path.clear();
        want.uv.pattern = TexturePattern::kNone;
        EXPECT_EQ(after[i], want);
    }
    clear.undo();
    EXPECT_EQ(doc.materials(), before);
    clear.redo();
    EXPECT_EQ(doc.materials(), after);

    // Nothing left to clear: a no-op that leaves the library as it was.
    ClearTexturesCommand again(doc);
    again.redo();
    EXPECT_TRUE(again.is_noop());
    EXPECT_STREQ(again.refusal(), "no material had a texture");
    EXPECT_EQ(doc.materials(), after);
}

// Faces of each material over every node mesh, and each node's paint, in walk order.
std::vector<std::uint64_t> paint_census(const Document& doc) {
    std::vector<std::uint64_t> out(8, 0);
    std::vector<const SceneNode*> stack{&doc.root()};
    while (!stack.empty()) {
        const SceneNode* n = stack.back();
        stack.pop_back();
        for (const FaceId f : n->mesh.alive_faces()) ++out[n->mesh.faces()[f].material_id];
        out.push_back(static_cast<std::uint64_t>(n->material + 1));
        for (const auto& c : n->children) stack.push_back(c.get());
    }
    return out;
}

TEST(ReplaceMaterial, RepaintsFacesAndNodesAndUndoesExactly) {
    Document doc;
    doc.materials() = MaterialLibrary(std::vector<Material>(6));
    doc.root().mesh = box_solid({0, 0, 0}, {1, 1, 1}, 2);
    doc.root().mesh.set_face_material(0, 0);
    auto group = std::make_unique<SceneNode>();
    group->mesh = box_solid({2, 0, 0}, {3, 1, 1}, 0);
    group->material = 2;
    doc.root().add_child(std::move(group));
    const Document before = doc;
    const std::vector<std::uint64_t> census = paint_census(doc);

    struct Row {
        std::int32_t from, to;
        std::uint64_t faces, nodes, meshes;
    };
    for (const Row& row : {Row{2, 3, 5, 1, 1}, Row{-1, 4, 7, 0, 2}, Row{0, -1, 0, 0, 0},
                           Row{5, 1, 0, 0, 0}, Row{2, 2, 0, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << row.from << " -> " << row.to);
        MaterialReplacement counts;
        std::unique_ptr<Command> replace = make_replace_material(doc, row.from, row.to, counts);
        EXPECT_EQ(counts.faces, row.faces);
        EXPECT_EQ(counts.nodes, row.nodes);
        EXPECT_EQ(counts.meshes, row.meshes);
        if (row.faces + row.nodes == 0) {
            EXPECT_EQ(replace, nullptr);
            continue;
        }
        ASSERT_NE(replace, nullptr);
        replace->redo();
        // The census moves the replaced faces and paints over, and nothing else.
        std::vector<std::uint64_t> want = census;
        const std::size_t from = row.from < 0 ? 0 : static_cast<std::size_t>(row.from);
        const std::size_t to = row.to < 0 ? 0 : static_cast<std::size_t>(row.to);
        want[to] += want[from];
        want[from] = 0;
        for (std::size_t i = 8; i < want.size(); ++i) {
            if (row.from >= 0 && want[i] == static_cast<std::uint64_t>(row.from + 1)) {
                want[i] = static_cast<std::uint64_t>(row.to + 1);
            }
        }
        EXPECT_EQ(paint_census(doc), want);
        replace->undo();
        EXPECT_TRUE(same_mesh_content(doc.root().mesh, before.root().mesh));
        EXPECT_TRUE(same_mesh_content(doc.root().children[0]->mesh,
                                      before.root().children[0]->mesh));
        EXPECT_EQ(paint_census(doc), census);
    }
}

TEST(CircleCentre, FindsTheCentreFromTwoChordsOrSaysWhyNot) {
    // A circle of radius 2 about c in a tilted plane spanned by the unit vectors e1 and e2.
    const Vec3 c{1, 2, 3};
    const Vec3 e1 = normalize(Vec3{1, 1, 0}), e2 = normalize(Vec3{-1, 1, 2});
    auto on = [&](float deg) {
        const float t = radians(deg);
        return c + e1 * (2.0f * std::cos(t)) + e2 * (2.0f * std::sin(t));
    };
    const Vec3 off = cross(e1, e2) * 0.01f;
    struct Row {
        const char* name;
        Vec3 a0, a1, b0, b1;
        CircleCentreStatus status;
    };
    const std::vector<Row> rows = {
        {"two chords", on(10), on(50), on(140), on(200), CircleCentreStatus::kOk},
        {"chords sharing an end", on(0), on(90), on(90), on(135), CircleCentreStatus::kOk},
        {"parallel chords", on(30), on(150), on(-30), on(-150), CircleCentreStatus::kParallel},
        {"second chord lifted", on(10), on(50), on(140) + off, on(200) + off,
         CircleCentreStatus::kNotInOnePlane},
        {"no length", on(10), on(10), on(140), on(200), CircleCentreStatus::kDegenerate},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CircleCentreResult r = circle_centre(row.a0, row.a1, row.b0, row.b1);
        EXPECT_EQ(r.status, row.status);
        if (r.status != CircleCentreStatus::kOk) {
            EXPECT_STRNE(r.message, "");
            continue;
        }
        EXPECT_NEAR(length(r.centre - c), 0.0f, 1e-5f);
        EXPECT_NEAR(r.radius, 2.0f, 1e-5f);
    }

    // In a mesh: guide segments count, guide points and infinite guides do not.
    Mesh m;
    m.add_guide(on(10), on(50));
    m.add_guide(c, c);
    m.add_guide(on(0), on(1), true);
    EXPECT_EQ(circle_centre_of_segments(m).status, CircleCentreStatus::kNotTwo);
    m.add_guide(on(140), on(200));
    const CircleCentreResult two = circle_centre_of_segments(m);
    ASSERT_EQ(two.status, CircleCentreStatus::kOk);
    EXPECT_NEAR(length(two.centre - c), 0.0f, 1e-5f);
    // Loose lines left by an erased face count too: now there are five segments.
    const VertexId a = m.add_vertex(on(10)), b = m.add_vertex(on(50)), d = m.add_vertex(on(90));
    m.erase_face(*m.add_triangle(a, b, d));
    EXPECT_EQ(loose_lines(m).size(), 3u);
    EXPECT_EQ(circle_centre_of_segments(m).status, CircleCentreStatus::kNotTwo);
}

}  // namespace
}  // namespace korvan
