// Erasing an edge as an undo step: the saved file before, after an undo and after a redo
// must match byte for byte, and a refused erase must leave nothing to undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/commands/command_stack.h"
#include "document/commands/edge_commands.h"
#include "document/document.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::cube;
using test::saved_bytes;

Mesh linked_cube(const Vec3& corner, float size) {
    Mesh m = cube(corner, size);
    m.link_shared_edges();
    return m;
}

// A closed cube at the root and an open one (its top erased) in a group, so an erase can
// hit an edge between two faces, an edge on a hole's rim, and a mesh below the root.
Document cubes_document() {
    Document doc;
    doc.root().mesh = linked_cube({}, 1.0f);
    Mesh open = linked_cube({3, 0, 0}, 1.0f);
    open.erase_face(1);
    add_group(doc, &doc.root(), "Open", std::move(open));
    return doc;
}

// An alive edge of the mesh with `faces` alive faces on it.
EdgeId edge_with_faces(const Mesh& m, std::size_t faces) {
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (m.edge_usable(e) && m.edge_faces(e).size() == faces) return e;
    }
    return kInvalidId;
}

TEST(EdgeCommands, EraseEdgeUndoAndRedoRestoreTheFileExactly) {
    struct Row {
        const char* name;
        const char* node;  // nullptr: the root
        std::size_t faces_on_edge;
    };
    const Row rows[] = {
        {"shared edge at the root", nullptr, 2},
        {"rim edge in a group", "Open", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Document doc = cubes_document();
        SceneNode* node = row.node ? doc.find_node_by_name(row.node) : &doc.root();
        ASSERT_NE(node, nullptr);
        const EdgeId edge = edge_with_faces(node->mesh, row.faces_on_edge);
        ASSERT_NE(edge, kInvalidId);
        const std::vector<FaceId> expected_faces = node->mesh.edge_faces(edge);
        const std::uint64_t faces_before = node->mesh.alive_face_count();

        EraseEdgeCommand erase(doc, MeshLocator::of_node(node), edge);
        test::expect_undo_round_trips(doc, erase, "Erase Edge", saved_bytes, [&](const Document&) {
            return !node->mesh.edge_usable(edge);
        });
        std::vector<FaceId> retired = erase.retired_faces();
        std::sort(retired.begin(), retired.end());
        EXPECT_EQ(retired, expected_faces);
        EXPECT_EQ(node->mesh.alive_face_count(), faces_before - row.faces_on_edge);
    }
}

TEST(EdgeCommands, RefusedEraseChangesNothingAndIsNotRecorded) {
    Document doc = cubes_document();
    const EdgeId shared = edge_with_faces(doc.root().mesh, 2);
    {
        // Erase it once so the second command meets a dead edge.
        EraseEdgeCommand first(doc, MeshLocator::of_node(&doc.root()), shared);
        first.redo();
        ASSERT_FALSE(first.is_noop());
    }
    struct Row {
        const char* name;
        MeshLocator target;
        EdgeId edge;
    };
    const Row rows[] = {
        {"dead edge", MeshLocator::of_node(&doc.root()), shared},
        {"edge out of range", MeshLocator::of_node(&doc.root()), 100000},
        {"missing definition", MeshLocator::of_definition("no-such-def"), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string before = saved_bytes(doc);
        CommandStack stack;
        auto cmd = std::make_unique<EraseEdgeCommand>(doc, row.target, row.edge);
        EraseEdgeCommand* erase = cmd.get();
        EXPECT_FALSE(stack.push(std::move(cmd)));
        EXPECT_EQ(stack.size(), 0u);
        EXPECT_TRUE(erase->retired_faces().empty());
        EXPECT_EQ(saved_bytes(doc), before);
    }
}

}  // namespace
}  // namespace korvan
