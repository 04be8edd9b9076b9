// The local topology verbs through the built binary on a closed box and its triangulated
// copy: reports, refusals with their reasons, and closed results read back.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/mesh.h"
#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// box.korv: a closed unit box; tri.korv: the same box in triangles (edge 3 is the diagonal
// of the base, between vertices 0 and 2).
std::filesystem::path box_dir() {
    return make_models({
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--width", "1", "--depth", "1", "--out", "r.korv"},
        {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "box.korv"},
        {"mesh-triangulate", "box.korv", "--all", "--out", "tri.korv"},
    });
}

void closed(const Document& doc) { EXPECT_EQ(doc.root().mesh.naked_edge_count(), 0u); }

TEST(LocalTopologyCli, EdgeVerbsReportTheirNumbersAndRefuseWithTheStatus) {
    expect_saves(
        box_dir(),
        {
            ok({"turn-edge", "tri.korv", "--edge", "3"},
               "linked=0 edge=3 old=0-2 new=1-3 deviation=0 area_before=1 area_after=1",
               "faces=12 vol=1", closed),
            refused({"turn-edge", "tri.korv", "--edge", "0"},
                    "turn-edge: linked=0 edge 0 refused: non-planar deviation=0.353553\n"),
            refused({"turn-edge", "box.korv", "--edge", "0"},
                    "turn-edge: linked=0 edge 0 refused: not-triangles\n"),
            ok({"edge-dissolve", "tri.korv", "--edge", "3"},
               "linked=0 edge=3 face=0 removed_face=1 sides=4 area=1 deviation=0",
               "faces=11 vol=1", closed),
            refused({"edge-dissolve", "tri.korv", "--edge", "1"},
                    "edge-dissolve: linked=0 edge 1 refused: invalid-edge\n"),
            ok({"edge-collapse", "tri.korv", "--edge", "3"},
               "linked=0 edge=3 kept=0 removed=2 shared=2 expected=2 faces_before=12 "
               "faces_after=10 dropped=2 naked_after=0",
               "faces=10", closed),
            ok({"edge-split-welded", "box.korv", "--edge", "0", "--t", "0.25"},
               "linked=0 edge=0 t=0.25 vertex=8 faces_rewritten=2 naked_before=0 naked_after=0",
               "faces=6 vol=1", closed),
            refused({"edge-split-welded", "box.korv", "--edge", "1"},
                    "edge-split-welded: linked=0 edge 1 refused: edge is out of range or dead\n"),
            refused({"edge-collapse", "box.korv"}, "edge-collapse: --edge E is required\n"),
        });
}

TEST(LocalTopologyCli, VertexAndFaceVerbs) {
    expect_saves(
        box_dir(),
        {
            ok({"split-vertex", "box.korv", "--vertex", "0"},
               "linked=0 vertex=0 copies=2 first_copy=8 faces_rewritten=2", "faces=6"),
            ok({"split-vertex", "box.korv", "--vertex", "0", "--faces", "0"},
               "linked=0 vertex=0 copies=1 first_copy=8 faces_rewritten=1", "faces=6"),
            refused({"split-vertex", "box.korv", "--vertex", "0", "--faces", "0,1,4"},
                    "split-vertex: linked=0 the group is the whole fan -- that is a rename, not "
                    "a split\n"),
            ok({"weld-verts", "box.korv", "--verts", "0,1", "--tolerance", "2"},
               "linked=0 considered=2 clusters=1 merged=1 faces_before=6 faces_after=6 dropped=0",
               "faces=6"),
            refused({"weld-verts", "box.korv", "--verts", "0,1,1"},
                    "weld-verts merged nothing: of 2 alive vertices in --verts, no two were "
                    "within 0.0001 m\n"),
            ok({"make-planar", "box.korv", "--faces", "0,1"},
               "linked=0 considered=2 projected=2 degenerate=0 moved=0 shared=2 worst_before=0 "
               "worst_after=0",
               "faces=6 vol=1", closed),
        });
}

}  // namespace
}  // namespace korvan::test
