#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "core/uv.h"
#include "document/commands/material_commands.h"
#include "document/commands/mesh_attribute_commands.h"
#include "document/commands/uv_commands.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using test::saved_bytes;

constexpr std::uint32_t kBrickMaterial = 1;

// Root: a 2 m cube on material 3 whose top face is on layer 2 and material 1 (a brick
// material tiled 0.5 x 0.25), plus a separate floor quad. A group holds a second cube, which
// no edit of the root mesh may touch.
Document uv_document() {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    MaterialUv brick;
    brick.tile_width = 0.5f;
    brick.tile_height = 0.25f;
    brick.pattern = TexturePattern::kBrick;
    doc.materials().set_uv(kBrickMaterial, brick);
    doc.root().mesh = doc_test::cube({}, 2.0f, 3);
    Mesh& m = doc.root().mesh;
    m.face_mut(1).material_id = kBrickMaterial;
    m.face_mut(1).layer_id = 2;
    const VertexId a = m.add_vertex({5, 0, 0}), b = m.add_vertex({6, 0, 0}),
                   c = m.add_vertex({6, 1, 0}), d = m.add_vertex({5, 1, 0});
    m.add_quad(a, b, c, d);
    doc_test::add_group(doc, &doc.root(), "Box", doc_test::cube({}, 1.0f, 4));
    return doc;
}

MeshLocator root_of(Document& doc) { return MeshLocator::of_node(&doc.root()); }

using Make = std::function<std::unique_ptr<Command>(Document&)>;

struct RoundTrip {
    const char* label;
    Make make;
    std::function<bool(const Document&)> applied;
};

Make face_edit(const FaceAttributeChange& change) {
    return [change](Document& doc) -> std::unique_ptr<Command> {
        return std::make_unique<FaceAttributeCommand>(doc, root_of(doc), change);
    };
}

// The saved file before the first redo, after it, and after each undo and redo, twice over.
TEST(UvCommands, UndoAndRedoRestoreTheFileExactly) {
    using E = FaceAttributeEdit;
    auto root_face = [](FaceId f, auto pred) {
        return [=](const Document& doc) { return pred(doc.root().mesh.faces()[f]); };
    };

    const std::vector<RoundTrip> cases = {
        {"Bake Projected UV",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<BakeProjectedUvCommand>(doc, root_of(doc));
         },
         [](const Document& doc) { return doc.root().mesh.face_has_uvs(6); }},
        {"Bake Projected UV",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<BakeProjectedUvCommand>(doc, root_of(doc), 1);
         },
         [](const Document& doc) {
             return doc.root().mesh.face_has_uvs(1) && !doc.root().mesh.face_has_uvs(0);
         }},
        {"Reassign Material", face_edit({.kind = E::kReplaceMaterial, .from = 3, .to = 7}),
         root_face(0, [](const Face& f) { return f.material_id == 7; })},
        // Layer 9 grows the layer list.
        {"Reassign Layer", face_edit({.kind = E::kReplaceLayer, .from = 0, .to = 9}),
         root_face(0, [](const Face& f) { return f.layer_id == 9; })},
        {"Paint Layer", face_edit({.kind = E::kPaintLayer, .material = 5, .layer = 2}),
         root_face(1, [](const Face& f) { return f.material_id == 5; })},
        {"Assign Material Layer",
         face_edit({.kind = E::kAssignMaterialLayer, .material = 3, .layer = 4}),
         root_face(0, [](const Face& f) { return f.layer_id == 4; })},
        {"Hide Material",
         face_edit({.kind = E::kSetMaterialVisible, .material = 3, .visible = false}),
         root_face(0, [](const Face& f) { return !f.visible; })},
        {"Hide Layer Faces",
         face_edit({.kind = E::kSetLayerFacesVisible, .layer = 2, .visible = false}),
         root_face(1, [](const Face& f) { return !f.visible; })},
        {"Hide Layer",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<SetLayerVisibleCommand>(doc, root_of(doc), 12, false);
         },
         [](const Document& doc) { return !doc.root().mesh.layer_visible(12); }},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.label);
        Document doc = uv_document();
        std::unique_ptr<Command> cmd = c.make(doc);
        const Mesh group_before = doc.find_node_by_name("Box")->mesh;
        test::expect_undo_round_trips(doc, *cmd, c.label, saved_bytes, c.applied);
        // Edits aimed at the root leave the group's mesh alone.
        EXPECT_TRUE(same_mesh_content(doc.find_node_by_name("Box")->mesh, group_before));
    }
}

// Refused and empty edits report a no-op and leave the mesh as it was, even where the kernel
// would grow the layer list before finding no face to move.
TEST(UvCommands, RefusalsAndEmptyEditsChangeNothing) {
    using E = FaceAttributeEdit;
    const std::vector<std::pair<const char*, Make>> cases = {
        {"no face on the layer", face_edit({.kind = E::kReplaceLayer, .from = 6, .to = 40})},
        {"unused material",
         face_edit({.kind = E::kAssignMaterialLayer, .material = 20, .layer = 30})},
        {"invalid layer", face_edit({.kind = E::kReplaceLayer, .to = kInvalidLayer})},
        {"same material", face_edit({.kind = E::kReplaceMaterial, .from = 3, .to = 3})},
        {"already shown", face_edit({.kind = E::kSetMaterialVisible, .material = 3})},
        {"layer already shown",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<SetLayerVisibleCommand>(doc, root_of(doc), 50, true);
         }},
        {"invalid layer hidden",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<SetLayerVisibleCommand>(doc, root_of(doc), kInvalidLayer,
                                                             false);
         }},
        {"dead face baked",
         [](Document& doc) -> std::unique_ptr<Command> {
             doc.root().mesh.erase_face(6);
             return std::make_unique<BakeProjectedUvCommand>(doc, root_of(doc), 6);
         }},
        {"face out of range baked",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<BakeProjectedUvCommand>(doc, root_of(doc), 99);
         }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        Document doc = uv_document();
        std::unique_ptr<Command> cmd = make(doc);
        const Mesh before = doc.root().mesh;
        cmd->redo();
        EXPECT_TRUE(cmd->is_noop());
        EXPECT_TRUE(same_mesh_content(doc.root().mesh, before));
    }
}

TEST(UvCommands, BakeCountsCornersAndProjectsThroughTheFaceMaterial) {
    Document doc = uv_document();
    Mesh& m = doc.root().mesh;
    // One corner of the side face already holds coordinates; face 5 is on a material the
    // library does not have, so it projects with the default transform.
    m.set_corner_uv(m.face_half_edges(2)[0], 9.0f, 9.0f);
    m.face_mut(5).material_id = 400;
    BakeProjectedUvCommand bake(doc, root_of(doc));
    bake.redo();
    const UvBakeCounts& n = bake.counts();
    EXPECT_EQ(n.faces, 7u);
    EXPECT_EQ(n.corners, 28u);
    EXPECT_EQ(n.stored_before, 1u);
    EXPECT_EQ(n.stored_after, 28u);

    // The brick top (tile 0.5 x 0.25) at corner (2,2,2): frame U = x, V = y.
    for (const HalfEdgeId h : m.face_half_edges(1)) {
        const Vec3 p = m.vertices()[m.half_edges()[h].origin].position;
        SCOPED_TRACE(testing::Message() << "top corner " << p.x << "," << p.y);
        EXPECT_FLOAT_EQ(m.corner_uv(h).u, p.x / 0.5f);
        EXPECT_FLOAT_EQ(m.corner_uv(h).v, p.y / 0.25f);
    }
    // The +x wall with an unknown material: U along +y, V up, tile 1 x 1.
    for (const HalfEdgeId h : m.face_half_edges(5)) {
        const Vec3 p = m.vertices()[m.half_edges()[h].origin].position;
        EXPECT_FLOAT_EQ(m.corner_uv(h).u, p.y);
        EXPECT_FLOAT_EQ(m.corner_uv(h).v, p.z);
    }

    // Baking again writes what is there: counted, but nothing changed.
    BakeProjectedUvCommand again(doc, root_of(doc));
    again.redo();
    EXPECT_EQ(again.counts().stored_before, 28u);
    EXPECT_EQ(again.counts().corners, 28u);
    EXPECT_TRUE(again.is_noop());
}

TEST(UvCommands, UnusableCoordinatesAreLeftUnbaked) {
    Document doc = uv_document();
    MaterialUv microscopic;
    microscopic.tile_width = 1e-9f;
    doc.materials().set_uv(3, microscopic);
    Mesh& m = doc.root().mesh;
    BakeProjectedUvCommand bake(doc, root_of(doc), 0);  // the bottom, material 3
    bake.redo();
    // u = x / 1e-9 reaches 2e9 at x = 2, but stays 0 at x = 0: two corners of four.
    EXPECT_EQ(bake.counts().faces, 1u);
    EXPECT_EQ(bake.counts().corners, 2u);
    EXPECT_EQ(bake.counts().stored_after, 2u);
    EXPECT_FALSE(m.face_has_uvs(0));
}

TEST(UvCommands, BakedCoordinatesStayWhenTheMaterialChangesLater) {
    Document doc = uv_document();
    BakeProjectedUvCommand bake(doc, root_of(doc), 1);
    bake.redo();
    const Mesh& m = doc.root().mesh;
    const HalfEdgeId corner = m.face_half_edges(1)[2];
    const CornerUv baked = m.corner_uv(corner);

    MaterialUv wider = doc.materials()[kBrickMaterial].uv;
    wider.tile_width = 2.0f;
    wider.rotation_deg = 30.0f;
    SetMaterialUvCommand retile(doc, kBrickMaterial, wider);
    retile.redo();
    ASSERT_FALSE(retile.is_noop());
    EXPECT_EQ(m.corner_uv(corner).u, baked.u);
    EXPECT_EQ(m.corner_uv(corner).v, baked.v);
    // A projection made now would have moved.
    const Vec3 p = m.vertices()[m.half_edges()[corner].origin].position;
    const TexCoord live = project_uv(p, m.face_normal(1), uv_transform_of(wider));
    EXPECT_NE(live.u, baked.u);
}

}  // namespace
}  // namespace korvan
