#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/commands/command_stack.h"
#include "document/commands/modelling_commands.h"
#include "document/document.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using test::saved_bytes;

// A 3 m cube standing for a thick wall, linked so it is closed, plus a lone square above it
// for sweeping.
Document wall_document() {
    Document doc;
    doc.root().mesh = doc_test::cube({}, 3.0f, 2);
    doc.root().mesh.link_shared_edges();
    Mesh& mesh = doc.root().mesh;
    const VertexId a = mesh.add_vertex({0, 0, 5}), b = mesh.add_vertex({1, 0, 5});
    const VertexId c = mesh.add_vertex({1, 1, 5}), d = mesh.add_vertex({0, 1, 5});
    mesh.add_quad(a, b, c, d);
    return doc;
}

FaceId face_looking(const Mesh& mesh, const Vec3& dir) {
    for (const FaceId f : mesh.alive_faces()) {
        if (dot(mesh.face_normal(f), dir) > 0.999f) return f;
    }
    return kInvalidId;
}

TEST(ModellingCommands, UndoRestoresTheBytesAndRedoRepeatsThem) {
    Document doc = wall_document();
    const FaceId front = face_looking(doc.root().mesh, {0, -1, 0});
    ASSERT_NE(front, kInvalidId);
    const FaceId lone = static_cast<FaceId>(doc.root().mesh.faces().size() - 1);
    const MeshLocator root = MeshLocator::of_node(&doc.root());
    OpeningRequest door = default_opening(OpeningKind::kDoor, front);
    door.sill = 0.2f;

    struct Case {
        const char* name;
        std::unique_ptr<Command> cmd;
        const char* label;
    };
    std::vector<Case> cases;
    cases.push_back(
        {"door", std::make_unique<CutOpeningCommand>(doc, root, door), "Door Opening Through"});
    cases.push_back({"window",
                     std::make_unique<CutOpeningCommand>(
                         doc, root, default_opening(OpeningKind::kWindow, front)),
                     "Window Opening Through"});
    cases.push_back(
        {"sweep",
         std::make_unique<SweepAlongPathCommand>(
             doc, root, lone, std::vector<Vec3>{{0.5f, 0.5f, 5}, {0.5f, 0.5f, 6}, {1.5f, 0.5f, 6}}),
         "Follow Me"});
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::expect_undo_round_trips(doc, *c.cmd, c.label);
        c.cmd->undo();
    }
}

TEST(ModellingCommands, RefusalsAreNoOpsAndKeepTheirReason) {
    Document doc = wall_document();
    const MeshLocator root = MeshLocator::of_node(&doc.root());
    const std::string before = saved_bytes(doc);
    CommandStack stack;
    OpeningRequest too_wide = default_opening(OpeningKind::kWindow, 0);
    too_wide.width = 10.0f;
    auto opening = std::make_unique<CutOpeningCommand>(doc, root, too_wide);
    const CutOpeningCommand* cut = opening.get();
    stack.push(std::move(opening));
    EXPECT_FALSE(cut->result().ok);
    EXPECT_STRNE(cut->result().message, "");
    stack.push(std::make_unique<SweepAlongPathCommand>(doc, root, 99,
                                                       std::vector<Vec3>{{0, 0, 0}, {0, 0, 1}}));
    EXPECT_EQ(stack.size(), 0u);
    EXPECT_EQ(saved_bytes(doc), before);
}

}  // namespace
}  // namespace korvan
