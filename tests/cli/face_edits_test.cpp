// Face-list, repair, group and mirror verbs through the built binary: sentences, refusals,
// exit codes, and the saved model read back in process.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/box.h"
#include "document/document.h"
#include "document/transform.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// r.korv: unit square, face 0. b.korv: closed unit box (base 0, walls 1-4, cap 5).
// h.korv: b with walls 1 and 2 hidden. hole.korv: b without its cap. two.korv: r plus a
// separate square beside it sharing an edge position. g.korv: b twice, glued face to face at
// x = 1. grp.korv: b's walls 1 and 2 in the group "Side". w.korv: two welded into one
// flat strip of two faces; bent.korv: w with face 1 turned 10 degrees about the shared edge.
std::filesystem::path fixtures() {
    return make_models({
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--at", "0,0,0", "--width", "1", "--depth", "1", "--out",
         "r.korv"},
        {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "b.korv"},
        {"faces-hide", "b.korv", "--faces", "1,2", "--out", "h.korv"},
        {"faces-erase", "b.korv", "--faces", "5", "--out", "hole.korv"},
        {"create-rect", "r.korv", "--at", "1,0,0", "--width", "1", "--depth", "1", "--out",
         "two.korv"},
        {"mesh-merge", "b.korv", "--src", "b.korv", "--translate", "1,0,0", "--out", "g.korv"},
        {"make-group", "b.korv", "--faces", "1,2", "--name", "Side", "--out", "grp.korv"},
        {"weld-vertices", "two.korv", "--out", "w.korv"},
        {"faces-rotate", "w.korv", "--faces", "1", "--pivot", "1,0,0", "--axis", "0,1,0", "--angle",
         "10", "--out", "bent.korv"},
    });
}

const Mesh& root(const Document& doc) { return doc.root().mesh; }

DocCheck faces(std::uint64_t n) {
    return [=](const Document& d) { EXPECT_EQ(root(d).alive_face_count(), n); };
}
DocCheck volume(float v) {
    return [=](const Document& d) { EXPECT_NEAR(root(d).signed_volume(), v, 1e-4f); };
}
DocCheck hidden(std::size_t n) {
    return [=](const Document& d) { EXPECT_EQ(root(d).soft_hidden_faces().size(), n); };
}
DocCheck box(Vec3 min, Vec3 max) {
    return [=](const Document& d) {
        const std::optional<Aabb> b = root(d).compute_aabb_of_faces(root(d).alive_faces());
        ASSERT_TRUE(b);
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR((&b->min.x)[a], (&min.x)[a], 1e-5f) << "min " << a;
            EXPECT_NEAR((&b->max.x)[a], (&max.x)[a], 1e-5f) << "max " << a;
        }
    };
}
DocCheck soft(std::uint64_t n) {
    return [=](const Document& d) { EXPECT_EQ(root(d).soft_edge_count(), n); };
}
DocCheck both(DocCheck a, DocCheck b) {
    return [=](const Document& d) {
        a(d);
        b(d);
    };
}

const std::string kAll = "0,1,2,3,4,5";

TEST(FaceEditsCli, FaceListEdits) {
    expect_saves(
        fixtures(),
        {
            ok({"faces-erase", "b.korv", "--faces", "5,5,99"},
               "Erased 1 of 3 listed face(s) faces_before=6 faces_after=5", "", faces(5)),
            refused({"faces-erase", "b.korv", "--faces", "99"},
                    "faces-erase: no listed face is alive\n"),
            ok({"faces-hide", "b.korv", "--faces", "1,2,2"},
               "Hid 2 of 3 listed face(s) hidden_before=0 hidden_after=2", "", hidden(2)),
            ok({"faces-show", "h.korv", "--faces", "2,7"},
               "Showed 1 of 2 listed face(s) hidden_before=2 hidden_after=1", "", hidden(1)),
            ok({"faces-paint", "b.korv", "--faces", "1,2", "--mat", "3"},
               "Painted 2 of 2 listed face(s) with material 3 faces_with_material=2", "",
               [](const Document& d) { EXPECT_EQ(root(d).faces_with_material(3).size(), 2u); }),
            ok({"faces-set-layer", "b.korv", "--faces", "1", "--layer", "2"},
               "Moved 1 of 1 listed face(s) to layer 2 faces_on_layer=1", "",
               [](const Document& d) { EXPECT_EQ(root(d).faces()[1].layer_id, 2u); }),
            refused({"faces-set-layer", "b.korv", "--faces", "1", "--layer", "4294967295"},
                    "faces-set-layer: --layer names the invalid layer\n"),
            ok({"faces-reverse", "b.korv", "--faces", kAll},
               "Reversed 6 of 6 listed face(s) volume_before=1 volume_after=-1", "", volume(-1)),
            ok({"join-faces", "w.korv"},
               "Softened 1 edge(s) between coplanar faces linked=0 soft_before=0 soft_after=1", "",
               soft(1)),
            ok({"join-faces", "bent.korv"},
               "Softened 0 edge(s) between coplanar faces linked=0 soft_before=0 soft_after=0", "",
               soft(0)),
            ok({"join-faces", "bent.korv", "--eps", "0.98"},
               "Softened 1 edge(s) between coplanar faces linked=0 soft_before=0 soft_after=1", "",
               soft(1)),
            refused({"join-faces", "w.korv", "--faces", "7"},
                    "join-faces: no listed face is alive\n"),
            // Reversing twice is the identity, and each listed id counts.
            ok({"faces-reverse", "b.korv", "--faces", "3,3"},
               "Reversed 2 of 2 listed face(s) volume_before=1 volume_after=1", "", volume(1)),
        });
}

TEST(FaceEditsCli, SelectionMovesAndCopies) {
    expect_saves(
        fixtures(),
        {
            ok({"faces-flatten", "b.korv", "--faces", "5", "--point", "0,0,0.5", "--normal",
                "0,0,2"},
               "Flattened 1 of 1 listed face(s) onto the plane moved_vertices=4", "", volume(0.5f)),
            refused({"faces-flatten", "b.korv", "--faces", "5", "--point", "0,0,0", "--normal",
                     "0,0,0"},
                    "faces-flatten: the normal has no direction\n"),
            ok({"faces-mirror", "b.korv", "--faces", kAll, "--point", "2,0,0", "--normal", "1,0,0"},
               "Mirrored 6 of 6 listed face(s) -> 6 new face(s) from face 6", "",
               both(volume(2), box({0, 0, 0}, {4, 1, 1}))),
            ok({"faces-scale", "b.korv", "--faces", kAll, "--pivot", "0,0,0", "--scale", "2"},
               "Scaled 6 of 6 listed face(s) by 2 about (0,0,0) moved_vertices=7", "", volume(8)),
            refused({"faces-scale", "b.korv", "--faces", kAll, "--pivot", "0,0,0", "--scale", "-1"},
                    "faces-scale: --scale must be greater than 0\n"),
            // The frame's axes of a cube are any three edges; the volume does not care.
            ok({"faces-scale-frame", "b.korv", "--faces", kAll, "--size", "2,3,4"},
               "Scaled 6 of 6 listed face(s) from (1,1,1) to (2,3,4) moved_vertices=8", "",
               volume(24)),
            ok({"faces-translate", "b.korv", "--faces", "5", "--translate", "0,0,1"},
               "Moved 1 of 1 listed face(s) by (0,0,1) moved_vertices=4", "", volume(2)),
            ok({"faces-rotate", "b.korv", "--faces", kAll, "--pivot", "0,0,0", "--axis", "0,0,1",
                "--angle", "90"},
               "Rotated 6 of 6 listed face(s) by 90 degrees about (0,0,0) axis (0,0,1) "
               "moved_vertices=6",
               "", both(volume(1), box({-1, 0, 0}, {0, 1, 1}))),
            refused({"faces-rotate", "b.korv", "--faces", "1", "--pivot", "0,0,0", "--axis",
                     "0,0,0", "--angle", "90"},
                    "faces-rotate: the axis has no direction\n"),
            ok({"faces-array", "r.korv", "--face", "0", "--count", "3", "--step", "1,0,0"},
               "Arrayed face 0: 3 copies stepped by (1,0,0) -> new faces 1..3", "",
               both(faces(4), box({0, 0, 0}, {4, 1, 0}))),
            refused({"faces-array", "r.korv", "--face", "0", "--count", "0", "--step", "1,0,0"},
                    "faces-array: --count must be a positive integer (K>=1)\n"),
            refused({"faces-array", "r.korv", "--face", "9", "--step", "1,0,0"},
                    "faces-array: face 9 is invalid or dead\n"),
            ok({"faces-duplicate", "b.korv", "--faces", "0,0", "--translate", "0,0,3"},
               "Duplicated 1 of 2 listed face(s) by (0,0,3) -> new faces 6..6", "",
               both(faces(7), box({0, 0, 0}, {1, 1, 3}))),
            refused({"faces-duplicate", "b.korv", "--faces", "9"},
                    "faces-duplicate: no listed face is alive (zero copies made)\n"),
        });
}

TEST(FaceEditsCli, TriangulationAndRepair) {
    expect_saves(
        fixtures(),
        {
            ok({"mesh-triangulate", "b.korv", "--all"},
               "Triangulated 6 face(s) faces_before=6 faces_after=12", "",
               both(faces(12), volume(1))),
            ok({"mesh-triangulate", "b.korv", "--face", "2"},
               "Triangulated face 2 -> 2 triangle(s)", "", faces(7)),
            refused({"mesh-triangulate", "b.korv", "--face", "2", "--all"},
                    "mesh-triangulate: give exactly one of --face or --all\n"),
            refused(
                {"mesh-triangulate", "b.korv", "--face", "9"},
                "mesh-triangulate: face 9 could not be triangulated (invalid/dead face or fewer "
                "than 4 vertices)\n"),
            ok({"weld-vertices", "two.korv"},
               "Welded 2 vertex(es) tolerance=0.0001 vertices_before=8 vertices_after=6", "",
               [](const Document& d) { EXPECT_EQ(root(d).naked_edge_count(), 6u); }),
            refused({"weld-vertices", "two.korv", "--tolerance", "-1"},
                    "weld-vertices: --tolerance must not be negative\n"),
            ok({"mesh-stitch-edges", "two.korv"},
               "Stitched 1 edge pair(s) naked_before=8 naked_after=6", "", faces(2)),
            ok({"mesh-fill-holes", "hole.korv"},
               "Filled 1 hole(s) linked=4 naked_before=4 naked_after=0", "",
               both(faces(6), volume(1))),
            ok({"mesh-repair", "hole.korv"},
               "Repaired welded=0 stitched=4 filled=1 naked_before=4 naked_after=0", "",
               both(faces(6), volume(1))),
            ok({"mesh-union-pairs", "g.korv"},
               "Removed 2 coincident face(s) welded=4 linked=4 volume_before=2 volume_after=2", "",
               [](const Document& d) {
                   EXPECT_EQ(root(d).alive_face_count(), 10u);
                   EXPECT_EQ(root(d).naked_edge_count(), 0u);
               }),
            ok({"mesh-merge", "b.korv", "--src", "r.korv", "--translate", "5,0,0"},
               "Merged 1 face(s) from \"r.korv\" faces_before=6 faces_after=7", "",
               box({0, 0, 0}, {6, 1, 1})),
            refused({"mesh-merge", "b.korv", "--src", "e.korv"},
                    "mesh-merge: --src has no faces to merge\n"),
            refused({"mesh-merge", "b.korv", "--src", "missing.korv"},
                    "Failed to load \"missing.korv\"\n"),
            ok({"unhide-all", "h.korv"}, "Unhidden 2 face(s)", "", hidden(0)),
            ok({"unhide-all", "b.korv"}, "Unhidden 0 face(s)", "", hidden(0)),
        });
}

TEST(FaceEditsCli, GroupsAndMirrors) {
    const auto side = [](const Document& d) { return d.find_node_by_name("Side"); };
    expect_saves(
        fixtures(),
        {
            ok({"make-group", "b.korv", "--faces", "1,2,77", "--name", "Walls"},
               "Made group \"Walls\" from 2 face(s) (3 input face(s))", "",
               [](const Document& d) {
                   EXPECT_EQ(root(d).alive_face_count(), 4u);
                   const SceneNode* g = d.find_node_by_name("Walls");
                   ASSERT_NE(g, nullptr);
                   EXPECT_EQ(g->mesh.alive_face_count(), 2u);
               }),
            ok({"make-group", "b.korv", "--faces", "1"},
               "Made group \"Group\" from 1 face(s) (1 input face(s))", "",
               [](const Document& d) { EXPECT_NE(d.find_node_by_name("Group"), nullptr); }),
            refused({"make-group", "b.korv", "--faces", "77"},
                    "make-group: no listed face is alive\n"),
            ok({"mirror-node", "grp.korv", "--name", "Side", "--normal", "1,0,0", "--point",
                "3,0,0"},
               "mirrored=1 name=Side flip=1", "",
               [&](const Document& d) {
                   ASSERT_NE(side(d), nullptr);
                   EXPECT_LT(linear_determinant(side(d)->transform), 0.0);
                   EXPECT_FLOAT_EQ(side(d)->transform.m[12], 6.0f);
               }),
            refused({"mirror-node", "grp.korv", "--name", "Nope", "--normal", "1,0,0"},
                    "mirror-node: no node named \"Nope\"\n"),
            refused({"mirror-node", "grp.korv", "--name", "Model", "--normal", "1,0,0"},
                    "mirror-node: cannot mirror \"Model\" (the model's root, or a normal without "
                    "direction)\n"),
            ok({"mirror-selection", "b.korv", "--faces", kAll, "--mirror", "plane", "--p1", "2,0,0",
                "--p2", "2,1,0", "--p3", "2,0,1"},
               "Mirrored 0 node(s) and 6 new face(s) at a plane erased_faces=0", "",
               both(volume(2), box({0, 0, 0}, {4, 1, 1}))),
            ok({"mirror-selection", "b.korv", "--faces", kAll, "--mirror", "point", "--p1", "0,0,0",
                "--erase", "yes"},
               "Mirrored 0 node(s) and 6 new face(s) at a point erased_faces=6", "",
               both(volume(1), box({-1, -1, -1}, {0, 0, 0}))),
            ok({"mirror-selection", "grp.korv", "--name", "Side", "--faces", "0", "--mirror",
                "line", "--p1", "0,0,0", "--p2", "0,0,1"},
               "Mirrored 1 node(s) and 1 new face(s) at a line erased_faces=0", "",
               [](const Document& d) {
                   ASSERT_EQ(d.root().children.size(), 2u);
                   EXPECT_EQ(d.root().children[1]->name, "Side copy");
                   EXPECT_FLOAT_EQ(d.root().children[1]->transform.m[0], -1.0f);
               }),
            refused(
                {"mirror-selection", "b.korv", "--faces", "0", "--mirror", "line", "--p1", "0,0,0"},
                "mirror-selection: --p2 is required\n"),
            refused({"mirror-selection", "b.korv", "--faces", "0", "--mirror", "circle", "--p1",
                     "0,0,0"},
                    "mirror-selection: --mirror must be point, line or plane\n"),
            refused(
                {"mirror-selection", "b.korv", "--faces", "0", "--mirror", "plane", "--p1", "0,0,0",
                 "--p2", "1,0,0", "--p3", "2,0,0"},
                "mirror-selection: the mirror is degenerate (coincident points, or plane points on "
                "one line)\n"),
            refused({"mirror-selection", "b.korv", "--name", "Ghost", "--mirror", "point", "--p1",
                     "0,0,0"},
                    "mirror-selection: no node named \"Ghost\"\n"),
        });
}

}  // namespace
}  // namespace korvan::test
