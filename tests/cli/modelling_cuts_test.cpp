// Knife, opening and sweep verbs through the built binary: sentences, refusals, exit codes,
// and the saved model read back.
#include <gtest/gtest.h>

#include <string>

#include "core/mesh.h"
#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// wall.korv: a closed 4 x 0.2 x 3 m wall (base 0, face 1 looking along -y, face 3 its far
// side, top 5); sq.korv: a lone unit square facing +z (face 0); box.korv: a closed unit box.
std::filesystem::path fixtures() {
    return make_models({
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--width", "4", "--depth", "0.2", "--out", "floor.korv"},
        {"face-pushpull", "floor.korv", "--face", "0", "--distance", "3", "--out", "wall.korv"},
        {"create-rect", "e.korv", "--width", "1", "--depth", "1", "--out", "sq.korv"},
        {"face-pushpull", "sq.korv", "--face", "0", "--distance", "1", "--out", "box.korv"},
    });
}

// Closed models must come back closed: the saved file is read and its naked edges counted.
DocCheck naked(std::uint64_t n) {
    return [n](const Document& d) { EXPECT_EQ(d.root().mesh.naked_edge_count(), n); };
}

TEST(ModellingCutsCli, SentencesRefusalsAndSavedModels) {
    expect_saves(
        fixtures(),
        {
            ok({"cut-window", "wall.korv", "--face", "1"},
               "Cut window opening 1.2 x 1.4 at sill 0.9 through face 1 and far face 3: depth=0.2 "
               "new_faces=8 volume_before=2.4 volume_after=2.064 naked_after=0",
               "faces=12 vol=2.064", naked(0)),
            ok({"cut-door", "wall.korv", "--face", "1", "--sill", "0.05", "--thickness", "0.2"},
               "Cut door opening 0.9 x 2.1 at sill 0.05 through face 1 and far face 3: depth=0.2 "
               "new_faces=8 volume_before=2.4 volume_after=2.022 naked_after=0",
               "faces=12 vol=2.022", naked(0)),
            ok({"cut-window", "sq.korv", "--face", "0", "--width", "0.5", "--height", "0.5"},
               "Cut window opening 0.5 x 0.5 at sill 0.9 in face 0 (no far face): new_faces=2 "
               "volume_before=0 volume_after=0 naked_after=8",
               "faces=2", naked(8)),
            ok({"cut-door", "wall.korv", "--face", "1"},
               "Cut door opening 0.9 x 2.1 at sill 0 through face 1 and far face 3: depth=0.2 "
               "new_faces=7 volume_before=2.4 volume_after=2.022 naked_after=0",
               "faces=10 vol=2.022", naked(0)),
            refused({"cut-door", "wall.korv", "--face", "1", "--width", "4"},
                    "cut-door: face 1 could not be opened (the opening does not fit inside the "
                    "face)\n"),
            refused({"cut-window", "wall.korv", "--face", "1", "--thickness", "2"},
                    "cut-window: face 1 could not be opened (no face of the wall lies that far "
                    "behind the face)\n"),
            refused({"cut-window", "wall.korv", "--face", "40"},
                    "cut-window: face 40 could not be opened (invalid/dead face, <3 vertices, or "
                    "degenerate normal)\n"),
            refused({"cut-door", "wall.korv"}, "cut-door: --face is required\n"),
            refused({"cut-window", "wall.korv", "--width", "0"},
                    "--width must be a positive float\n"),
            ok({"mesh-knife", "box.korv", "--path", "0.5,0,1 0.5,1,1 0.5,1,0 0.5,0,0 0.5,0,1"},
               "Knife cut 4 face(s) along 5 path point(s): t_vertices=4 reused=1 faces_before=6 "
               "faces_after=10 naked_before=0 naked_after=0",
               "faces=10 vol=1", naked(0)),
            refused({"mesh-knife", "box.korv", "--path", "0,0,1 1,0,1"},
                    "mesh-knife: nothing cut (the path cuts no face)\n"),
            refused({"mesh-knife", "box.korv"}, "mesh-knife: --path is required\n"),
            ok({"face-sweep", "sq.korv", "--face", "0", "--path", "0.5,0.5,0 0.5,0.5,1 2.5,0.5,1"},
               "Swept face 0 along 3 path point(s) -> end cap face 9 sections=3 new_faces=9 "
               "soft_edges=0 volume=3 naked_after=0",
               "faces=10 vol=3", naked(0)),
            refused({"face-sweep", "sq.korv", "--face", "0", "--path", "0,0,0 1,0,0"},
                    "face-sweep: face 0 could not be swept (the path starts along the face's "
                    "plane)\n"),
            refused({"face-sweep", "sq.korv", "--face", "0"},
                    "face-sweep: --face and --path are required\n"),
            refused({"face-sweep", "sq.korv", "--path", "0,0,0 0,0,1"},
                    "face-sweep: --face and --path are required\n"),
        });
}

}  // namespace
}  // namespace korvan::test
