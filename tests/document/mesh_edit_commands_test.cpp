#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/commands/mesh_edit_commands.h"
#include "document/commands/scene_graph_commands.h"
#include "document/document.h"
#include "document/transform.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"
#include "tests/support/near_checks.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::cube;
using doc_test::quad;
using test::expect_near;
using test::saved_bytes;

// A root cube with one face hidden (its faces share corners but are not linked, so stitching
// has work to do), a loose square beside it, and nested groups under a moved parent.
Document sample() {
    Document doc;
    doc.root().mesh = cube({}, 1.0f, 2);
    Mesh& m = doc.root().mesh;
    doc.root().mesh.merge_mesh(quad({3, 0, 0}, 1.0f, 4), Mat4{});
    m.hide_face(1);
    SceneNode* wing =
        add_group(doc, &doc.root(), "Wing", cube({}, 0.5f), Mat4::translation({0, 5, 0}));
    add_group(doc, wing, "Shelf", cube({0, 0, 1}, 0.25f), Mat4::translation({1, 0, 0}));
    add_group(doc, &doc.root(), "Post", cube({}, 0.2f), Mat4::translation({-2, 0, 0}));
    return doc;
}

MeshLocator root_of(Document& doc) { return MeshLocator::of_node(&doc.root()); }

// The saved file plus the root's naked-edge count: the file keeps no links, so a stitch
// shows only in the count.
std::string state(const Document& doc) {
    return saved_bytes(doc) + "naked=" + std::to_string(doc.root().mesh.naked_edge_count());
}

using Make = std::function<std::unique_ptr<Command>(Document&)>;

struct UndoCase {
    const char* label;
    Make make;
};

TEST(MeshEditCommands, UndoAndRedoRestoreTheFileExactly) {
    const auto node = [](Document& doc, const char* name) { return doc.find_node_by_name(name); };
    const std::vector<UndoCase> cases = {
        {"Erase Faces",
         [](Document& d) {
             return std::make_unique<EraseFacesCommand>(d, root_of(d),
                                                        std::vector<FaceId>{0, 6, 0, 99});
         }},
        {"Array",
         [](Document& d) {
             return std::make_unique<ArrayCommand>(d, root_of(d), 6, 3, Vec3{0, 2, 0});
         }},
        {"Stitch Naked Edges",
         [](Document& d) {
             return std::make_unique<StitchNakedEdgesCommand>(d, root_of(d), 1e-4f);
         }},
        {"Merge Mesh",
         [](Document& d) {
             return std::make_unique<MergeMeshCommand>(d, root_of(d), cube({}, 2.0f),
                                                       Mat4::translation({9, 0, 0}));
         }},
        {"Unhide All",
         [](Document& d) { return std::make_unique<UnhideAllCommand>(d, root_of(d)); }},
        {"Make Group",
         [](Document& d) {
             return std::make_unique<MakeGroupFromFacesCommand>(
                 d, &d.root(), std::vector<FaceId>{2, 3, 3}, "Side");
         }},
        {"Mirror at Point",
         [&](Document& d) {
             return std::make_unique<MirrorSelectionCommand>(
                 d, MirrorKind::kPoint, Vec3{0, 0, 0}, Vec3{}, Vec3{},
                 std::vector<SceneNode*>{node(d, "Wing")}, std::vector<FaceId>{0, 1}, false);
         }},
        {"Mirror at Line",
         [&](Document& d) {
             return std::make_unique<MirrorSelectionCommand>(
                 d, MirrorKind::kLine, Vec3{0, 0, 0}, Vec3{0, 0, 1}, Vec3{},
                 std::vector<SceneNode*>{node(d, "Shelf"), node(d, "Post")}, std::vector<FaceId>{6},
                 true);
         }},
        {"Mirror at Plane",
         [&](Document& d) {
             return std::make_unique<MirrorSelectionCommand>(
                 d, MirrorKind::kPlane, Vec3{4, 0, 0}, Vec3{4, 1, 0}, Vec3{4, 0, 1},
                 std::vector<SceneNode*>{node(d, "Wing")}, std::vector<FaceId>{0, 2, 4}, true);
         }},
    };
    for (const UndoCase& c : cases) {
        SCOPED_TRACE(c.label);
        Document doc = sample();
        std::unique_ptr<Command> cmd = c.make(doc);
        test::expect_undo_round_trips(doc, *cmd, c.label, state);
    }
}

TEST(MeshEditCommands, RefusalsChangeNothing) {
    const auto node = [](Document& doc, const char* name) { return doc.find_node_by_name(name); };
    struct Refusal {
        const char* what;
        Make make;
        std::string reason;  // "" for commands without a reason text
    };
    const auto mirror = [&](MirrorKind kind, Vec3 p1, Vec3 p2, Vec3 p3,
                            std::vector<const char*> names, std::vector<FaceId> faces) {
        return [=](Document& d) {
            std::vector<SceneNode*> nodes;
            for (const char* n : names) nodes.push_back(n ? node(d, n) : &d.root());
            return std::make_unique<MirrorSelectionCommand>(d, kind, p1, p2, p3, nodes, faces,
                                                            true);
        };
    };
    const std::vector<Refusal> cases = {
        {"array of no copies",
         [](Document& d) {
             return std::make_unique<ArrayCommand>(d, root_of(d), 0, 0, Vec3{1, 0, 0});
         },
         "--count must be a positive integer (K>=1)"},
        {"array of a missing face",
         [](Document& d) {
             return std::make_unique<ArrayCommand>(d, root_of(d), 42, 2, Vec3{1, 0, 0});
         },
         "the face is invalid or dead"},
        {"erase of missing faces",
         [](Document& d) {
             return std::make_unique<EraseFacesCommand>(d, root_of(d), std::vector<FaceId>{42, 7});
         },
         ""},
        {"group of missing faces",
         [](Document& d) {
             return std::make_unique<MakeGroupFromFacesCommand>(d, &d.root(),
                                                                std::vector<FaceId>{42}, "");
         },
         ""},
        {"group under a node outside the model",
         [](Document& d) {
             static SceneNode stranger;
             return std::make_unique<MakeGroupFromFacesCommand>(d, &stranger,
                                                                std::vector<FaceId>{0}, "");
         },
         ""},
        {"mirror at coincident line points",
         mirror(MirrorKind::kLine, {1, 1, 1}, {1, 1, 1}, {}, {"Wing"}, {}),
         "the mirror is degenerate (coincident points, or plane points on one line)"},
        {"mirror at collinear plane points",
         mirror(MirrorKind::kPlane, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {}, {0}),
         "the mirror is degenerate (coincident points, or plane points on one line)"},
        {"mirror of the root", mirror(MirrorKind::kPoint, {}, {}, {}, {nullptr}, {0}),
         "the root and nodes outside the model cannot be mirrored"},
        {"mirror of a node inside another",
         mirror(MirrorKind::kPoint, {}, {}, {}, {"Shelf", "Wing"}, {}),
         "a listed node lies inside another listed node"},
        {"mirror of nothing", mirror(MirrorKind::kPoint, {}, {}, {}, {}, {42}),
         "nothing to mirror (no node and no alive listed face)"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc = sample();
        const std::string before = saved_bytes(doc);
        std::unique_ptr<Command> cmd = c.make(doc);
        cmd->redo();
        EXPECT_TRUE(cmd->is_noop());
        EXPECT_EQ(saved_bytes(doc), before);
        if (auto* a = dynamic_cast<ArrayCommand*>(cmd.get())) {
            EXPECT_EQ(a->refusal(), c.reason);
        }
        if (auto* m = dynamic_cast<MirrorSelectionCommand*>(cmd.get())) {
            EXPECT_EQ(m->refusal(), c.reason);
        }
        cmd->undo();
        EXPECT_EQ(saved_bytes(doc), before);
    }
}

Vec3 apply(const Mat4& t, const Vec3& p) { return transform_point(t, p); }

TEST(MeshEditCommands, MirrorTransformsFixTheirElementAndUndoThemselves) {
    struct Row {
        MirrorKind kind;
        Vec3 p1, p2, p3;
        Vec3 fixed;         // a point the mirror leaves in place
        Vec3 probe, image;  // a point and where it must land
        bool flips;
    };
    const Row rows[] = {
        {MirrorKind::kPoint, {1, 2, 3}, {}, {}, {1, 2, 3}, {2, 2, 3}, {0, 2, 3}, true},
        {MirrorKind::kLine, {0, 0, 0}, {0, 0, 2}, {}, {0, 0, 7}, {1, 0, 5}, {-1, 0, 5}, false},
        {MirrorKind::kLine, {1, 1, 0}, {2, 2, 0}, {}, {3, 3, 0}, {1, 1, 1}, {1, 1, -1}, false},
        {MirrorKind::kPlane,
         {0, 0, 1},
         {1, 0, 1},
         {0, 1, 1},
         {5, 5, 1},
         {0, 0, 3},
         {0, 0, -1},
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.kind));
        const std::optional<Mat4> t = mirror_transform(r.kind, r.p1, r.p2, r.p3);
        ASSERT_TRUE(t);
        expect_near(apply(*t, r.fixed), r.fixed);
        expect_near(apply(*t, r.probe), r.image);
        expect_near(apply(*t, apply(*t, r.probe)), r.probe);
        EXPECT_EQ(linear_determinant(*t) < 0.0, r.flips);
    }
}

TEST(MeshEditCommands, MirroredCopiesKeepSolidsOutwardAndNodesInWorldPlace) {
    for (const MirrorKind kind : {MirrorKind::kPoint, MirrorKind::kLine, MirrorKind::kPlane}) {
        SCOPED_TRACE(static_cast<int>(kind));
        Document doc;
        doc.root().mesh = cube({1, 0, 0}, 1.0f);
        SceneNode* wing = add_group(doc, &doc.root(), "Wing", {}, Mat4::translation({0, 5, 0}));
        SceneNode* shelf =
            add_group(doc, wing, "Shelf", cube({}, 0.5f), Mat4::translation({2, 0, 0}));
        const Vec3 p1{0, 0, 0}, p2{0, 0, 1}, p3{0, 1, 0};  // the plane is x = 0
        MirrorSelectionCommand cmd(doc, kind, p1, p2, p3, {shelf}, {0, 1, 2, 3, 4, 5}, false);
        cmd.redo();
        ASSERT_EQ(cmd.faces_made(), 6u);
        ASSERT_EQ(cmd.nodes_mirrored(), 1u);
        const Mesh& m = doc.root().mesh;
        Mesh copies;
        const std::vector<FaceId> made = {6, 7, 8, 9, 10, 11};
        m.duplicate_faces(made, copies);
        EXPECT_NEAR(copies.signed_volume(), 1.0f, 1e-5f);
        const Aabb box = doc_test::face_bounds(copies);
        expect_near(box.center(), apply(*mirror_transform(kind, p1, p2, p3), {1.5f, 0.5f, 0.5f}));

        // The copy of Shelf sits beside it under Wing, mirrored in world space.
        ASSERT_EQ(wing->children.size(), 2u);
        const SceneNode* copy = wing->children[1].get();
        const Aabb world = node_world_box(doc, copy);
        expect_near(world.center(), apply(*mirror_transform(kind, p1, p2, p3),
                                          node_world_box(doc, shelf).center()));
        const bool flips = kind != MirrorKind::kLine;
        EXPECT_EQ(linear_determinant(copy->transform) < 0.0, flips);
        // Flipped transforms need reversed rings for the faces to keep facing out.
        EXPECT_NEAR(copy->mesh.signed_volume(), flips ? -0.125f : 0.125f, 1e-5f);
    }
}

TEST(MeshEditCommands, MakeGroupMovesFacesWithoutMovingThem) {
    Document doc = sample();
    const Aabb before = doc_test::face_bounds(doc.root().mesh);
    MakeGroupFromFacesCommand cmd(doc, &doc.root(), {0, 1, 2, 3, 4, 5, 5, 77}, "");
    cmd.redo();
    ASSERT_EQ(cmd.moved(), 6u);
    ASSERT_NE(cmd.group(), nullptr);
    EXPECT_EQ(cmd.group()->name, "Group");
    EXPECT_EQ(doc.root().mesh.alive_face_count(), 1u);  // the loose square stays
    const Mesh& g = cmd.group()->mesh;
    EXPECT_EQ(g.naked_edge_count(), 0u);  // the moved cube is one closed piece again
    EXPECT_EQ(g.soft_hidden_faces().size(), 1u);
    Aabb after = doc_test::face_bounds(g);
    after.expand(doc_test::face_bounds(doc.root().mesh));
    expect_near(after.min, before.min);
    expect_near(after.max, before.max);
}

}  // namespace
}  // namespace korvan
