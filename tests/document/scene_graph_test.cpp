#include <gtest/gtest.h>

#include <algorithm>
#include <string>
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

std::vector<std::string> names_of(const std::vector<SceneNode*>& nodes) {
    std::vector<std::string> out;
    for (const SceneNode* n : nodes) out.push_back(n->name);
    return out;
}

TEST(SceneGraph, FindNodesFoldsAsciiLettersOnly) {
    Document doc;
    SceneNode* walls = add_group(doc, &doc.root(), "Tuong");
    add_group(doc, walls, "tường bếp");
    add_group(doc, walls, "TƯỜNG BẾP");
    add_group(doc, &doc.root(), "Big Door");
    add_group(doc, &doc.root(), "door");

    struct Row {
        const char* query;
        NameMatch match;
        bool ci;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"tuong", NameMatch::kExact, true, {"Tuong"}},
        {"tuong", NameMatch::kExact, false, {}},
        // Accented capitals are not folded: only the ASCII letters of the query fold.
        {"tƯỜng bẾp", NameMatch::kExact, true, {"TƯỜNG BẾP"}},
        {"tường bếp", NameMatch::kExact, true, {"tường bếp"}},
        {"door", NameMatch::kSuffix, true, {"Big Door", "door"}},
        {"door", NameMatch::kSuffix, false, {"door"}},
        {"BIG", NameMatch::kPrefix, true, {"Big Door"}},
        {"g D", NameMatch::kContains, false, {"Big Door"}},
        {"o", NameMatch::kContains, true, {"Model", "Tuong", "Big Door", "door"}},
        {"",
         NameMatch::kPrefix,
         false,
         {"Model", "Tuong", "tường bếp", "TƯỜNG BẾP", "Big Door", "door"}},
        {"Big Door and more", NameMatch::kContains, true, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query);
        EXPECT_EQ(names_of(doc.find_nodes(row.query, row.match, row.ci)), row.expected);
    }
}

TEST(SceneGraph, FindByNameTakesTheFirstInPreOrder) {
    Document doc;
    SceneNode* a = add_group(doc, &doc.root(), "A");
    SceneNode* b = add_group(doc, &doc.root(), "Dup");
    SceneNode* inner = add_group(doc, a, "Dup");
    EXPECT_EQ(doc.find_node_by_name("Dup"), inner);
    EXPECT_EQ(doc.find_node_by_name("dup"), nullptr);
    EXPECT_EQ(doc.parent_of(inner), a);
    EXPECT_EQ(doc.parent_of(b), &doc.root());
    EXPECT_EQ(doc.parent_of(&doc.root()), nullptr);
}

TEST(SceneGraph, InstancesGoUnderGroupsOnly) {
    Document doc;
    SceneNode* inst =
        doc.create_instance(&doc.root(), "no_such_def", "", Mat4::translation({1, 0, 0}));
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->name, "Instance");
    EXPECT_TRUE(inst->is_instance());
    EXPECT_EQ(doc.create_instance(inst, "x", "child"), nullptr);
    EXPECT_EQ(doc.create_group(inst, "child"), nullptr);
    SceneNode stray;
    EXPECT_EQ(doc.create_instance(&stray, "x", "y"), nullptr);
    EXPECT_EQ(doc.create_group(&doc.root(), "")->name, "Group");
}

TEST(SceneGraph, DeleteThenInsertRestoresTheTree) {
    Document doc;
    add_group(doc, &doc.root(), "A");
    SceneNode* b = add_group(doc, &doc.root(), "B");
    add_group(doc, b, "B1");
    add_group(doc, &doc.root(), "C");

    EXPECT_FALSE(doc.delete_node(&doc.root()).ok());
    DetachedNode removed = doc.delete_node(b);
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.parent, &doc.root());
    EXPECT_EQ(removed.index, 1u);
    EXPECT_EQ(doc.find_node_by_name("B1"), nullptr);
    EXPECT_FALSE(doc.delete_node(b).ok());  // no longer in the tree

    ASSERT_TRUE(doc.insert_node(removed.parent, removed.index, std::move(removed.node)));
    EXPECT_EQ(names_of(doc.find_nodes("", NameMatch::kPrefix, false)),
              (std::vector<std::string>{"Model", "A", "B", "B1", "C"}));
}

TEST(SceneGraph, ReparentKeepsTheWorldPlacement) {
    Document doc;
    SceneNode* from = add_group(doc, &doc.root(), "From", {}, Mat4::translation({1, 2, 3}));
    Mat4 scaled = compose(Mat4::translation({10, 0, 0}), uniform_scale(2.0f));
    SceneNode* to = add_group(doc, &doc.root(), "To", {}, scaled);
    SceneNode* node = add_group(doc, from, "Node", quad(), Mat4::translation({0, 0, 1}));
    const Aabb before = face_bounds(doc.flatten_world());

    const ReparentResult r = doc.reparent_node(node, to);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.old_parent, from);
    EXPECT_EQ(doc.parent_of(node), to);
    const Aabb after = face_bounds(doc.flatten_world());
    test::expect_near(after, before.min, before.max);

    struct Refusal {
        const char* what;
        SceneNode* node;
        SceneNode* parent;
    };
    SceneNode* inst = doc.create_instance(&doc.root(), "d", "Inst");
    SceneNode* below = add_group(doc, node, "Below");
    SceneNode* flat = add_group(doc, &doc.root(), "Flat", {}, uniform_scale(0.0f));
    const Refusal refusals[] = {
        {"root", &doc.root(), to},          {"into itself", node, node},
        {"into a descendant", node, below}, {"under an instance", node, inst},
        {"singular parent", node, flat},    {"null parent", node, nullptr},
    };
    for (const Refusal& row : refusals) {
        SCOPED_TRACE(row.what);
        EXPECT_FALSE(doc.reparent_node(row.node, row.parent).ok);
    }
    EXPECT_EQ(doc.parent_of(node), to);
}

TEST(SceneGraph, MakeUniqueGivesTheInstanceItsOwnDefinition) {
    Document doc;
    doc.add_definition(ComponentDefinition{"door", "Door", "Doors", quad()});
    SceneNode* a = doc.create_instance(&doc.root(), "door", "A");
    SceneNode* b = doc.create_instance(&doc.root(), "door", "B");
    const std::int32_t pos = doc.make_instance_unique(b);
    ASSERT_EQ(pos, 1);
    EXPECT_EQ(b->definition_id, "door_copy");
    EXPECT_EQ(a->definition_id, "door");
    doc.definition("door_copy")->mesh.add_vertex({5, 5, 5});
    EXPECT_EQ(doc.definition("door")->mesh.vertices().size(), 4u);

    SceneNode* group = add_group(doc, &doc.root(), "G");
    SceneNode* orphan = doc.create_instance(&doc.root(), "missing", "O");
    EXPECT_EQ(doc.make_instance_unique(group), -1);
    EXPECT_EQ(doc.make_instance_unique(orphan), -1);
    EXPECT_EQ(doc.definitions().size(), 2u);
}

TEST(SceneGraph, BakeMovesTheSubtreeGeometryIntoTheParent) {
    Document doc;
    doc.add_definition(ComponentDefinition{"box", "Box", "", cube({}, 1.0f, 0)});
    doc.tags().push_back(Tag{"Hidden", false});
    SceneNode* group =
        add_group(doc, &doc.root(), "G", quad({}, 1.0f, 0), Mat4::translation({10, 0, 0}));
    group->material = 4;
    SceneNode* inst = doc.create_instance(group, "box", "I", Mat4::translation({0, 0, 5}));
    inst->material = 7;
    SceneNode* hidden = add_group(doc, group, "H", quad({}, 1.0f, 2));
    hidden->tag = 1;
    doc.root().mesh = quad({-5, -5, 0});
    const Mesh world_before = doc.flatten_world();

    const BakeResult r = doc.bake_node(group);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.faces_added, 1u + 6u + 1u);
    EXPECT_EQ(doc.root().children.size(), 0u);
    EXPECT_EQ(r.removed.node->name, "G");

    const Mesh& root = doc.root().mesh;
    ASSERT_EQ(root.alive_face_count(), 9u);
    // Shown faces keep their look: same world box, same paint.
    const Mesh world_after = doc.flatten_world();
    EXPECT_EQ(face_bounds(world_after).max, face_bounds(world_before).max);
    EXPECT_EQ(world_after.faces_with_material(4).size(), 1u);
    EXPECT_EQ(world_after.faces_with_material(7).size(), 6u);
    // The part under the hidden tag comes along but soft-hidden.
    EXPECT_EQ(root.soft_hidden_faces().size(), 1u);
    EXPECT_EQ(root.faces()[root.soft_hidden_faces()[0]].material_id, 2u);
    EXPECT_FALSE(doc.bake_node(&doc.root()).ok);
}

}  // namespace
}  // namespace korvan
