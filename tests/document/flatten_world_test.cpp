#include <gtest/gtest.h>

#include <vector>

#include "document/document.h"
#include "document/transform.h"
#include "tests/document/document_builders.h"
#include "tests/support/near_checks.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::cube;
using doc_test::face_bounds;
using doc_test::quad;

std::vector<std::uint32_t> materials_of(const Mesh& m) {
    std::vector<std::uint32_t> out;
    for (const FaceId f : m.alive_faces()) out.push_back(m.faces()[f].material_id);
    return out;
}

TEST(FlattenWorld, HiddenNodesAndTagsDropWholeSubtrees) {
    struct Row {
        const char* what;
        bool outer_visible;
        bool outer_tag_visible;
        std::uint64_t faces;  // root quad + outer quad + inner quad when shown
    };
    const Row rows[] = {
        {"all shown", true, true, 3},
        {"outer hidden", false, true, 1},
        {"outer's tag hidden, inner's tag shown", true, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Document doc;
        const std::int32_t outer_tag = doc.ensure_tag("Outer");
        const std::int32_t inner_tag = doc.ensure_tag("Inner");
        doc.root().mesh = quad({-3, 0, 0});
        SceneNode* outer = add_group(doc, &doc.root(), "Outer", quad());
        SceneNode* inner = add_group(doc, outer, "Inner", quad({0, 0, 1}));
        outer->tag = outer_tag;
        inner->tag = inner_tag;
        outer->visible = row.outer_visible;
        doc.set_tag_visible(outer_tag, row.outer_tag_visible);
        EXPECT_EQ(doc.flatten_world().alive_face_count(), row.faces);
        EXPECT_EQ(doc.count_world_faces(), row.faces);
    }
}

TEST(FlattenWorld, NodeMaterialPaintsOnlyMaterialZeroFaces) {
    Document doc;
    Mesh def_mesh = quad({}, 1.0f, 0);
    Mesh painted = quad({0, 0, 1}, 1.0f, 3);
    const VertexId base = static_cast<VertexId>(def_mesh.vertices().size());
    for (const Vertex& v : painted.vertices()) def_mesh.add_vertex(v.position);
    def_mesh.face_mut(*def_mesh.add_quad(base, base + 1, base + 2, base + 3)).material_id = 3;
    doc.add_definition(ComponentDefinition{"d", "D", "", std::move(def_mesh)});

    SceneNode* outer = add_group(doc, &doc.root(), "Outer", quad({}, 1.0f, 0));
    outer->material = 8;
    SceneNode* inst = doc.create_instance(outer, "d", "Painted");
    inst->material = 5;
    doc.create_instance(outer, "d", "Inherits");
    SceneNode* plain = doc.create_instance(&doc.root(), "d", "Plain");
    ASSERT_NE(plain, nullptr);

    // Pre-order: outer quad, painted instance, inheriting instance, plain instance.
    EXPECT_EQ(materials_of(doc.flatten_world()), (std::vector<std::uint32_t>{8, 5, 3, 8, 3, 0, 3}));
}

TEST(FlattenWorld, NestedTransformsCompose) {
    Document doc;
    SceneNode* outer = add_group(doc, &doc.root(), "Outer", {},
                                 compose(Mat4::translation({1, 0, 0}), uniform_scale(2.0f)));
    SceneNode* inner = add_group(doc, outer, "Inner", {}, Mat4::translation({0, 1, 0}));
    doc.rotate_node(inner, 0, 0, 90);
    add_group(doc, inner, "Leaf", quad());
    const Aabb box = face_bounds(doc.flatten_world());
    // Leaf (0..1, 0..1) turned 90 about z -> x -1..0, y 0..1; up 1 in y; scaled 2 and moved 1.
    test::expect_near(box, {-1, 2, 0}, {1, 4, 0});
}

TEST(FlattenWorld, MeshChoiceFollowsTheDefinitionAndTheReplacement) {
    Document doc;
    doc.add_definition(ComponentDefinition{"box", "Box", "", cube()});
    SceneNode* inst = doc.create_instance(&doc.root(), "box", "I");
    inst->mesh = quad({5, 5, 5});
    doc.root().mesh = quad();
    EXPECT_EQ(doc.flatten_world().alive_face_count(), 1u + 6u);

    // Without its definition an instance falls back to its own mesh.
    ASSERT_TRUE(doc.delete_node(inst).ok());
    SceneNode* orphan = doc.create_instance(&doc.root(), "box", "Orphan");
    orphan->mesh = quad({5, 5, 5});
    doc.definitions().clear();
    EXPECT_EQ(doc.flatten_world().alive_face_count(), 2u);
    EXPECT_EQ(face_bounds(doc.flatten_world()).max.z, 5.0f);

    const Mesh replacement = cube({}, 2.0f);
    EXPECT_EQ(doc.flatten_world(&replacement).alive_face_count(), 6u + 1u);
    EXPECT_EQ(doc.count_world_faces(&replacement), 6u + 1u);
}

TEST(FlattenWorld, CopiesCarryAttributesAndAnnotations) {
    Document doc;
    Mesh m = quad({}, 1.0f, 2, 1);
    m.face_mut(0).visible = false;
    m.face_mut(0).tag = 4;
    const HalfEdgeId h = m.faces()[0].half_edge;
    m.set_corner_uv(h, 0.25f, 0.75f);
    m.edge_mut(m.half_edges()[h].edge).soft = true;
    m.add_guide({0, 0, 0}, {0, 0, 1}, true);
    Dimension dim;
    dim.a = {0, 0, 0};
    dim.b = {1, 0, 0};
    dim.anchor_a = {kDimensionAnchorFace, 0, 0.0f};
    m.add_dimension(dim);
    add_group(doc, &doc.root(), "G", std::move(m), Mat4::translation({0, 0, 2}));
    // A mesh holding only a guide still contributes.
    Mesh guide_only;
    guide_only.add_guide({1, 1, 1}, {2, 2, 2});
    add_group(doc, &doc.root(), "Guide", std::move(guide_only));

    const Mesh w = doc.flatten_world();
    ASSERT_EQ(w.alive_face_count(), 1u);
    const Face& f = w.faces()[0];
    EXPECT_EQ(f.material_id, 2u);
    EXPECT_EQ(f.layer_id, 1u);
    EXPECT_FALSE(f.visible);
    EXPECT_EQ(f.tag, 4);
    EXPECT_EQ(w.corner_uv(f.half_edge).u, 0.25f);
    EXPECT_EQ(w.soft_edge_count(), 1u);
    EXPECT_EQ(w.vertices()[w.half_edges()[f.half_edge].origin].position, (Vec3{0, 0, 2}));
    ASSERT_EQ(w.guides().size(), 2u);
    EXPECT_EQ(w.guides()[0].b, (Vec3{0, 0, 3}));
    EXPECT_TRUE(w.guides()[0].infinite);
    ASSERT_EQ(w.dimensions().size(), 1u);
    EXPECT_EQ(w.dimensions()[0].anchor_a.id, 0u);
    EXPECT_EQ(w.dimensions()[0].a, (Vec3{0, 0, 2}));
}

}  // namespace
}  // namespace korvan
