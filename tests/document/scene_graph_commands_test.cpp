// Aligning, batch renaming and isolating node selections: results, refusals, and exact
// undo/redo through the saved file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "document/commands/scene_graph_commands.h"
#include "document/document.h"
#include "io/korv_writer.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::cube;

// Root cube, a group "Bench" (scaled parent) holding "Seat", and two loose groups "Post A"
// and "Post B", plus an instance "Lamp" of a definition.
Document make_document() {
    Document doc;
    doc.root().mesh = cube({}, 1.0f);
    Mat4 doubled = Mat4::translation({10, 0, 0});
    doubled.m[0] = doubled.m[5] = doubled.m[10] = 2.0f;
    SceneNode* bench = add_group(doc, &doc.root(), "Bench", {}, doubled);
    add_group(doc, bench, "Seat", cube({0, 0, 0}, 1.0f), Mat4::translation({1, 0, 0}));
    add_group(doc, &doc.root(), "Post A", cube({0, 0, 0}, 1.0f), Mat4::translation({3, 0, 0}));
    add_group(doc, &doc.root(), "Post B", cube({0, 0, 0}, 2.0f), Mat4::translation({0, 5, 1}));
    doc.add_definition(ComponentDefinition{"lamp", "Lamp", "", cube({}, 0.5f)});
    doc.create_instance(&doc.root(), "lamp", "Lamp", Mat4::translation({-4, 0, 0}));
    return doc;
}

using test::saved_bytes;

std::vector<SceneNode*> nodes(Document& doc, std::initializer_list<const char*> names) {
    std::vector<SceneNode*> out;
    for (const char* n : names) out.push_back(doc.find_node_by_name(n));
    return out;
}

float world_min(const Document& doc, const char* name, int axis) {
    const Aabb box = node_world_box(doc, doc.find_node_by_name(name));
    return axis == 0 ? box.min.x : axis == 1 ? box.min.y : box.min.z;
}

float world_centre(const Document& doc, const char* name, int axis) {
    const Aabb box = node_world_box(doc, doc.find_node_by_name(name));
    return axis == 0   ? (box.min.x + box.max.x) / 2
           : axis == 1 ? (box.min.y + box.max.y) / 2
                       : (box.min.z + box.max.z) / 2;
}

using Make = std::function<std::unique_ptr<Command>(Document&)>;

TEST(SceneGraphCommands, UndoRedoRestoreTheFileExactly) {
    struct Case {
        const char* label;
        Make make;
    };
    BatchRenameRule rule;
    rule.pattern = "{name}-{n}";
    const std::vector<Case> cases = {
        {"Align x",
         [](Document& d) {
             return std::make_unique<AlignNodesCommand>(d, nodes(d, {"Seat", "Post A", "Lamp"}), 0,
                                                        NodeAlignMode::kMin);
         }},
        {"Distribute y",
         [](Document& d) {
             return std::make_unique<AlignNodesCommand>(
                 d, nodes(d, {"Seat", "Post A", "Post B", "Lamp"}), 1, NodeAlignMode::kDistribute);
         }},
        {"Rename",
         [rule](Document& d) {
             return std::make_unique<BatchRenameCommand>(d, nodes(d, {"Post A", "Post B"}), rule);
         }},
        {"Isolate",
         [](Document& d) {
             return std::make_unique<IsolateSelectionCommand>(d, nodes(d, {"Seat"}), false);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Document doc = make_document();
        std::unique_ptr<Command> cmd = c.make(doc);
        test::expect_undo_round_trips(doc, *cmd, c.label);
    }
}

TEST(SceneGraphCommands, AlignBringsWorldBoxesTogetherThroughScaledParents) {
    struct Case {
        NodeAlignMode mode;
        int axis;
        std::function<void(const Document&)> check;
    };
    const std::vector<Case> cases = {
        {NodeAlignMode::kMin, 0,
         [](const Document& d) {
             // Lamp's box starts lowest, at -4; Seat sits in a parent scaled by 2.
             EXPECT_FLOAT_EQ(world_min(d, "Seat", 0), -4.0f);
             EXPECT_FLOAT_EQ(world_min(d, "Post A", 0), -4.0f);
             EXPECT_FLOAT_EQ(world_min(d, "Lamp", 0), -4.0f);
         }},
        {NodeAlignMode::kCentre, 2,
         [](const Document& d) {
             for (const char* n : {"Seat", "Post A", "Lamp"}) {
                 EXPECT_FLOAT_EQ(world_centre(d, n, 2), 1.0f) << n;
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        Document doc = make_document();
        AlignNodesCommand cmd(doc, nodes(doc, {"Seat", "Post A", "Lamp"}), c.axis, c.mode);
        cmd.redo();
        ASSERT_STREQ(cmd.refusal(), "");
        c.check(doc);
    }
}

TEST(SceneGraphCommands, DistributeSpacesCentresEvenlyAndKeepsTheEnds) {
    Document doc = make_document();
    // Centres on x: Lamp -3.75, Post A 3.5, Seat 13 (parent scale 2), Post B 1.
    AlignNodesCommand cmd(doc, nodes(doc, {"Seat", "Post A", "Post B", "Lamp"}), 0,
                          NodeAlignMode::kDistribute);
    cmd.redo();
    ASSERT_STREQ(cmd.refusal(), "");
    EXPECT_FLOAT_EQ(world_centre(doc, "Lamp", 0), -3.75f);
    EXPECT_FLOAT_EQ(world_centre(doc, "Seat", 0), 13.0f);
    const float step = (13.0f + 3.75f) / 3;
    EXPECT_NEAR(world_centre(doc, "Post B", 0), -3.75f + step, 1e-5f);
    EXPECT_NEAR(world_centre(doc, "Post A", 0), -3.75f + 2 * step, 1e-5f);
    EXPECT_EQ(cmd.moved(), 2u);
}

TEST(SceneGraphCommands, AlignRefusesTheWholeSelection) {
    struct Case {
        const char* why;
        std::vector<const char*> names;
        bool with_root;
    };
    const std::vector<Case> cases = {
        {"one node", {"Post A"}, false},
        {"a node inside another", {"Bench", "Seat"}, false},
        {"the root", {"Post A"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Document doc = make_document();
        add_group(doc, &doc.root(), "Empty");
        std::vector<SceneNode*> sel;
        for (const char* n : c.names) sel.push_back(doc.find_node_by_name(n));
        if (c.with_root) sel.push_back(&doc.root());
        const std::string before = saved_bytes(doc);
        AlignNodesCommand cmd(doc, sel, 0, NodeAlignMode::kMax);
        cmd.redo();
        EXPECT_TRUE(cmd.is_noop());
        EXPECT_STRNE(cmd.refusal(), "");
        EXPECT_EQ(saved_bytes(doc), before);
    }
    Document doc = make_document();
    add_group(doc, &doc.root(), "Empty");
    AlignNodesCommand cmd(doc, nodes(doc, {"Post A", "Empty"}), 0, NodeAlignMode::kMax);
    cmd.redo();
    EXPECT_STREQ(cmd.refusal(), "a node has no geometry to align");
}

TEST(SceneGraphCommands, BatchRenameExpandsTokensInOnePass) {
    struct Case {
        const char* find;
        const char* replace;
        const char* pattern;
        int start, step, pad;
        std::vector<std::string> want;
    };
    const std::vector<Case> cases = {
        {nullptr, nullptr, "{name}_{n}", 1, 1, 0, {"Post A_1", "Post B_2"}},
        {nullptr, nullptr, "P{n}-{i}", 8, 2, 3, {"P008-0", "P010-1"}},
        {"Post ", "Pillar ", "", 1, 1, 0, {"Pillar A", "Pillar B"}},
        // The replacement comes first; a "{i}" it brings in is not expanded again.
        {"Post", "{i}", "<{name}>", 1, 1, 0, {"<{i} A>", "<{i} B>"}},
        {nullptr, nullptr, "n{n}", -1, -1, 2, {"n-01", "n-02"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        Document doc = make_document();
        BatchRenameRule rule;
        rule.has_find = c.find != nullptr;
        if (c.find) rule.find = c.find, rule.replace = c.replace;
        rule.pattern = c.pattern;
        rule.start = c.start, rule.step = c.step, rule.pad = c.pad;
        const BatchRenamePlan plan = plan_batch_rename(doc, nodes(doc, {"Post A", "Post B"}), rule);
        EXPECT_EQ(plan.new_names, c.want);
        EXPECT_EQ(plan.collisions, 0u);
        EXPECT_EQ(doc.find_node_by_name("Post A") != nullptr, true) << "planning renamed";
    }
}

TEST(SceneGraphCommands, StrictRenameRefusesTheBatchOnACollision) {
    for (bool strict : {false, true}) {
        SCOPED_TRACE(strict);
        Document doc = make_document();
        BatchRenameRule rule;
        rule.pattern = "Lamp";  // collides with the instance and with each other
        rule.strict = strict;
        BatchRenameCommand cmd(doc, nodes(doc, {"Post A", "Post B"}), rule);
        cmd.redo();
        EXPECT_EQ(cmd.plan().collisions, 2u);
        EXPECT_EQ(cmd.is_noop(), strict);
        EXPECT_EQ(doc.find_node_by_name("Post A") == nullptr, !strict);
    }
}

TEST(SceneGraphCommands, IsolateKeepsAncestorsAndDescendantsAndOptionallyTheLooseFaces) {
    for (bool keep_loose : {false, true}) {
        SCOPED_TRACE(keep_loose);
        Document doc = make_document();
        add_group(doc, doc.find_node_by_name("Seat"), "Cushion", cube({}, 0.2f));
        doc.find_node_by_name("Post B")->visible = false;  // already hidden: not counted
        IsolateSelectionCommand cmd(doc, nodes(doc, {"Seat"}), keep_loose);
        cmd.redo();
        EXPECT_TRUE(doc.find_node_by_name("Bench")->visible);
        EXPECT_TRUE(doc.find_node_by_name("Seat")->visible);
        EXPECT_TRUE(doc.find_node_by_name("Cushion")->visible);
        EXPECT_FALSE(doc.find_node_by_name("Post A")->visible);
        EXPECT_FALSE(doc.find_node_by_name("Lamp")->visible);
        EXPECT_EQ(cmd.hidden_nodes(), 2u);
        EXPECT_EQ(cmd.hidden_faces(), keep_loose ? 0u : 6u);
        EXPECT_EQ(doc.root().mesh.visible_faces().size(), keep_loose ? 6u : 0u);
    }
    Document doc = make_document();
    IsolateSelectionCommand none(doc, {}, false);
    none.redo();
    EXPECT_TRUE(none.is_noop());
    EXPECT_STREQ(none.refusal(), "nothing is kept");
}

}  // namespace
}  // namespace korvan
