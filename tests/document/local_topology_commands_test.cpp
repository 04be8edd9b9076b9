// The local topology commands as undo steps: the saved file before, after an undo and after a
// redo must match byte for byte, and a refused command must be a no-op that changed nothing.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/commands/local_topology_commands.h"
#include "document/document.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using test::saved_bytes;

EdgeId edge_between(const Mesh& m, VertexId a, VertexId b) {
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edge_usable(e)) continue;
        const auto ends = m.edge_vertices(e);
        if ((ends[0] == a && ends[1] == b) || (ends[0] == b && ends[1] == a)) return e;
    }
    return kInvalidId;
}

// A linked unit cube, a square beside it (a quad with one corner raised, which needs
// flattening, or two flat triangles) and a vertex that sits on a cube corner unwelded.
Document model(bool raised) {
    Document doc;
    Mesh& m = doc.root().mesh;
    m = doc_test::cube();
    const VertexId a = m.add_vertex({3, 0, 0}), b = m.add_vertex({4, 0, 0}),
                   c = m.add_vertex({4, 1, raised ? 0.01f : 0.0f}), d = m.add_vertex({3, 1, 0});
    if (raised) {
        m.add_quad(a, b, c, d);
    } else {
        m.add_triangle(a, b, c);
        m.add_triangle(a, c, d);
    }
    m.add_vertex({0, 0, 0});
    m.link_shared_edges();
    return doc;
}

TEST(LocalTopologyCommands, UndoAndRedoRestoreTheFileExactly) {
    using Make = std::function<std::unique_ptr<Command>(Document&)>;
    struct Row {
        const char* label;
        bool raised;
        Make make;
    };
    auto root = [](Document& doc) { return MeshLocator::of_node(&doc.root()); };
    const Row rows[] = {
        {"Unweld Vertex", false,
         [&](Document& doc) {
             return std::make_unique<SplitVertexCommand>(doc, root(doc), 0, std::nullopt);
         }},
        {"Split Vertex", false,
         [&](Document& doc) {
             const std::vector<FaceId> fan = doc.root().mesh.vertex_faces(0);
             return std::make_unique<SplitVertexCommand>(
                 doc, root(doc), 0, std::vector<FaceId>{fan.front()});
         }},
        {"Weld Vertices", false,
         [&](Document& doc) {
             return std::make_unique<WeldSelectedVerticesCommand>(
                 doc, root(doc), std::vector<VertexId>{0, 12}, 1e-4f);
         }},
        {"Make Planar", true,
         [&](Document& doc) {
             return std::make_unique<MakePlanarCommand>(doc, root(doc), std::vector<FaceId>{6});
         }},
        {"Split Edge", false,
         [&](Document& doc) {
             return std::make_unique<SplitEdgeWeldedCommand>(
                 doc, root(doc), edge_between(doc.root().mesh, 0, 1), 0.5f);
         }},
        {"Dissolve Edge", false,
         [&](Document& doc) {
             return std::make_unique<DissolveEdgeCommand>(
                 doc, root(doc), edge_between(doc.root().mesh, 8, 10), 1e-4f);
         }},
        {"Collapse Edge", false,
         [&](Document& doc) {
             return std::make_unique<CollapseEdgeCommand>(
                 doc, root(doc), edge_between(doc.root().mesh, 0, 1), CollapseTarget::kSecond);
         }},
        {"Turn Edge", false,
         [&](Document& doc) {
             return std::make_unique<TurnEdgeCommand>(
                 doc, root(doc), edge_between(doc.root().mesh, 8, 10), 1e-4f);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Document doc = model(row.raised);
        const std::unique_ptr<Command> cmd = row.make(doc);
        test::expect_undo_round_trips(doc, *cmd, row.label);
    }
}

TEST(LocalTopologyCommands, RefusalsAreNoOpsThatChangeNothing) {
    auto root = [](Document& doc) { return MeshLocator::of_node(&doc.root()); };
    Document doc = model(false);
    const std::string before = saved_bytes(doc);
    const EdgeId cube_edge = edge_between(doc.root().mesh, 0, 1);
    std::vector<std::unique_ptr<Command>> refused;
    refused.push_back(std::make_unique<SplitVertexCommand>(doc, root(doc), 99, std::nullopt));
    refused.push_back(std::make_unique<WeldSelectedVerticesCommand>(
        doc, root(doc), std::vector<VertexId>{0, 1}, 1e-4f));
    refused.push_back(std::make_unique<SplitEdgeWeldedCommand>(doc, root(doc), 9999, 0.5f));
    refused.push_back(std::make_unique<DissolveEdgeCommand>(doc, root(doc), cube_edge, 1e-4f));
    refused.push_back(std::make_unique<CollapseEdgeCommand>(doc, root(doc), 9999,
                                                            CollapseTarget::kMidpoint));
    refused.push_back(std::make_unique<TurnEdgeCommand>(doc, root(doc), cube_edge, 1e-4f));
    for (const auto& cmd : refused) {
        SCOPED_TRACE(cmd->name());
        cmd->redo();
        EXPECT_TRUE(cmd->is_noop());
        EXPECT_TRUE(test::same_file(saved_bytes(doc), before));
    }
}

}  // namespace
}  // namespace korvan
