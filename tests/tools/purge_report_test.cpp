// The unused-things inventory: what counts as used, entry order, would-free sums, empty
// nodes and the out-of-range material count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tools/purge_report.h"

namespace korvan {
namespace {

// A closed unit box with every face on `material`.
Mesh box(std::uint32_t material) {
    Mesh m;
    const Vec3 p[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                       {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    std::vector<VertexId> v;
    for (const Vec3& q : p) v.push_back(m.add_vertex(q));
    const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    for (const auto& q : quads) {
        const auto f = m.add_quad(v[q[0]], v[q[1]], v[q[2]], v[q[3]]);
        if (f) m.face_mut(*f).material_id = material;
    }
    return m;
}

std::vector<std::string> entry_keys(const PurgeReport& r) {
    std::vector<std::string> keys;
    for (const PurgeEntry& e : r.entries) {
        keys.push_back(std::string(purge_kind_name(e.kind)) + " " + std::to_string(e.index) + " " +
                       e.name);
    }
    return keys;
}

TEST(PurgeReport, EmptyModelListsEveryMaterialInIndexOrder) {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    doc.tags().clear();
    const PurgeReport r = build_purge_report(doc, &doc.materials());
    ASSERT_EQ(r.materials_total, 25u);
    EXPECT_EQ(r.materials_unused, 25u);
    ASSERT_EQ(r.entries.size(), 25u);
    for (std::size_t i = 0; i < r.entries.size(); ++i) {
        EXPECT_EQ(r.entries[i].kind, PurgeKind::kMaterial);
        EXPECT_EQ(r.entries[i].index, static_cast<std::int64_t>(i));
    }
    EXPECT_EQ(r.meshes_scanned, 1u);  // the root mesh
}

TEST(PurgeReport, UsesComeFromNodesInstancesAndDefinitionFaces) {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    const std::int32_t walls = doc.ensure_tag("Walls");
    doc.ensure_tag("Spare");
    doc.root().mesh = box(3);
    // Material 7 lives only inside a definition that an instance shows: used.
    doc.add_definition(ComponentDefinition{"chair", "Chair", "", box(7)});
    // Material 9 lives only inside an unused definition: still used, by the rule that
    // every definition mesh is scanned.
    doc.add_definition(ComponentDefinition{"old", "Old sofa", "", box(9)});
    SceneNode* chair = doc.create_instance(&doc.root(), "chair", "Chair");
    chair->tag = walls;
    SceneNode* hidden = doc.create_group(&doc.root(), "Hidden", box(11));
    hidden->visible = false;
    doc.create_group(&doc.root(), "Folder");
    doc.create_group(doc.create_group(&doc.root(), "Outer"), "Inner");

    const PurgeReport r = build_purge_report(doc, &doc.materials());
    EXPECT_EQ(r.tags_unused, 2u);  // Layer0 and Spare carry no node
    EXPECT_EQ(r.definitions_unused, 1u);
    EXPECT_EQ(r.materials_unused, 25u - 4u);
    // Root, Chair, Hidden, Folder, Outer, Inner, then two definitions.
    EXPECT_EQ(r.meshes_scanned, 8u);
    EXPECT_EQ(r.free_faces, 6u);
    EXPECT_EQ(r.free_vertices, 8u);
    // Folder, and Outer counted once for itself and its empty child.
    EXPECT_EQ(r.empty_nodes, 2u);
    const std::vector<std::string> keys = entry_keys(r);
    ASSERT_GE(keys.size(), 4u);
    EXPECT_EQ(keys[0], "tag 0 Layer0");
    EXPECT_EQ(keys[1], "tag 2 Spare");
    EXPECT_EQ(keys[2], "definition 1 Old sofa");
    EXPECT_EQ(r.entries[2].id, "old");
    EXPECT_EQ(keys[3], "material 0 " + doc.materials()[0].name);
    for (const PurgeEntry& e : r.entries) {
        if (e.kind == PurgeKind::kMaterial) {
            EXPECT_TRUE(e.index != 3 && e.index != 7 && e.index != 9 && e.index != 11) << e.index;
        }
    }
}

TEST(PurgeReport, CountsOutOfRangeMaterialsLabelsOnUnusedTagsAndSkipsMaterialsWithoutALibrary) {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    doc.root().mesh = box(30);
    const std::int32_t notes = doc.ensure_tag("Notes");
    doc.add_label(TextLabel{"North", {}, 0.3f, notes});
    doc.add_label(TextLabel{"South", {}, 0.3f, notes});

    const PurgeReport with = build_purge_report(doc, &doc.materials());
    EXPECT_EQ(with.faces_out_of_range, 6u);
    ASSERT_GE(with.entries.size(), 2u);
    EXPECT_EQ(with.entries[1].name, "Notes");
    EXPECT_EQ(with.entries[1].labels, 2u);

    const PurgeReport without = build_purge_report(doc, nullptr);
    EXPECT_FALSE(without.materials_examined);
    EXPECT_EQ(without.meshes_scanned, 0u);
    EXPECT_EQ(without.faces_out_of_range, 0u);
    EXPECT_EQ(without.entries.size(), 2u);  // the two unused tags only
}

}  // namespace
}  // namespace korvan
