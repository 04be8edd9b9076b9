// Face and mesh edit verbs through the built binary: sentences, refusals, exit codes, and the
// saved model read back.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// e.korv (empty), r.korv (unit square, face 0), r2.korv (2 x 2 square) and b.korv (the unit
// square pulled into a closed unit box: base 0, walls 1-4, cap 5).
std::filesystem::path fixtures() {
    return make_models({
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--at", "0,0,0", "--width", "1", "--depth", "1", "--out",
         "r.korv"},
        {"create-rect", "e.korv", "--width", "2", "--depth", "2", "--out", "r2.korv"},
        {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "b.korv"},
    });
}

TEST(ModellingCli, SentencesRefusalsAndSavedModels) {
    expect_saves(
        fixtures(),
        {
            ok({"face-pushpull", "b.korv", "--face", "5", "--distance", "0.5"},
               "Pushed/pulled face 5 -> new cap face 10", "faces=11"),
            refused({"face-pushpull", "b.korv", "--face", "99", "--distance", "0.5"},
                    "face-pushpull: face 99 could not be pushed/pulled (invalid/dead face, <3 "
                    "vertices, or degenerate normal)\n"),
            refused({"face-pushpull", "b.korv", "--face", "1"},
                    "face-pushpull: --face and --distance are required\n"),
            ok({"face-extrude", "r.korv", "--face", "0", "--vector", "0,0,-2"},
               "Extruded face 0 along (0,0,-2) -> new cap face 5", "faces=6"),
            refused({"face-extrude", "r.korv", "--face", "0", "--vector", "0,0,0"},
                    "face-extrude: face 0 could not be extruded (invalid/dead face, <3 vertices, "
                    "or a zero vector)\n"),
            ok({"faces-extrude", "r.korv", "--faces", "0,99", "--vector", "0,0,-1"},
               "Extruded 2 listed face(s) along (0,0,-1) -> 5 new face(s)", "faces=6"),
            ok({"face-offset", "r2.korv", "--face", "0", "--distance", "0.5"},
               "Offset face 0 -> new face 5 frame_faces=4 area_before=4 area_after=1", "faces=5"),
            refused({"face-offset", "r2.korv", "--face", "0", "--distance", "1.1"},
                    "face-offset: face 0 could not be offset (invalid/dead face, <3 vertices, or "
                    "an offset wider than the face)\n"),
            ok({"face-inset", "r.korv", "--face", "0", "--distance", "-0.5"},
               "Inset face 0 -> new face 1 area_before=1 area_after=4", "faces=2"),
            refused({"face-inset", "r.korv", "--face", "0", "--distance", "0"},
                    "face-inset: face 0 could not be inset (invalid/dead face, zero distance, "
                    "degenerate ring, or the inset collapses or turns inside out)\n"),
            ok({"face-split-plane", "r.korv", "--face", "0", "--point", "0,0,0", "--normal",
                "1,-1,0"},
               "Split face 0 by the plane -> faces 1 and 2", "faces=2"),
            refused({"face-split-plane", "r.korv", "--face", "0", "--point", "0,0,0", "--normal",
                     "1,1,0"},
                    "face-split-plane: the plane does not cross face 0 (or the face is "
                    "invalid/dead, or the normal is degenerate)\n"),
            ok({"face-split-edge", "r.korv", "--face", "0", "--a", "0.5,0,0", "--b", "0.5,1,0"},
               "Split face 0 along the segment -> new face 1", "faces=2"),
            ok({"mesh-split-plane", "b.korv", "--point", "0,0,0.5", "--normal", "0,0,1"},
               "Split 4 face(s) by the plane: faces_before=6 faces_after=10 seam_vertices=4 "
               "seam_shared=4 volume_before=1 volume_after=1 naked_before=0 naked_after=0",
               "faces=10 vol=1"),
            refused({"mesh-split-plane", "b.korv", "--point", "0,0,3", "--normal", "0,0,1"},
                    "mesh-split-plane: nothing split (the plane crosses no face)\n"),
            ok({"mesh-slice", "b.korv", "--point", "0,0,0.25", "--normal", "0,0,1", "--keep",
                "neg"},
               "Sliced by the plane keeping neg: faces_split=4 faces_removed=5 loops_capped=1 "
               "triangles=2 volume_before=1 volume_after=0.25 closed=1",
               "faces=7 vol=0.25"),
            ok({"mesh-slice", "b.korv", "--point", "0,0,0.25", "--normal", "0,0,1", "--no-cap"},
               "Sliced by the plane keeping pos: faces_split=4 faces_removed=5 loops_capped=0 "
               "triangles=0 volume_before=1 volume_after=0.666667 closed=0 naked=4",
               "faces=5"),
            refused(
                {"mesh-slice", "b.korv", "--point", "0,0,3", "--normal", "0,0,1", "--keep", "neg"},
                "mesh-slice: nothing sliced (the plane neither cuts nor discards anything)\n"),
            refused({"mesh-slice", "b.korv", "--point", "0,0,0"},
                    "mesh-slice: --point and --normal are required\n"),
            refused({"mesh-slice-cap", "b.korv", "--point", "0,0,1", "--normal", "0,0,1"},
                    "mesh-slice-cap: nothing capped (no boundary loop lies in the plane, or the "
                    "cap would not close the mesh)\n"),
            refused({"create-rect", "e.korv", "--width", "0.00001", "--depth", "1"},
                    "create-rect: degenerate size (width and depth must be > 1e-4)\n"),
            ok({"create-circle", "e.korv", "--radius", "1", "--segments", "5"},
               "Created circle face 0 area=2.37764 segments=5", "faces=1"),
            refused({"create-circle", "e.korv", "--radius", "0.00001"},
                    "create-circle: degenerate radius (must be > 1e-4)\n"),
            ok({"create-arc", "e.korv", "--a", "1,0,0", "--angle", "90"},
               "Created arc face 0 area=0.776457 vertices=8", "faces=1"),
            refused({"create-arc", "e.korv", "--a", "1,0,0", "--angle", "0"},
                    "create-arc: degenerate arc (radius and sweep must be > 1e-4)\n"),
            refused({"create-arc", "e.korv", "--a", "1,0,0"},
                    "create-arc: --a and --angle are required\n"),
            ok({"create-line", "e.korv", "--a", "0,0,0", "--b", "1,0,0"},
               "Created line face 0 area=0.01", "faces=1"),
            refused({"create-line", "e.korv", "--a", "0,0,0", "--b", "0,0,0"},
                    "create-line: degenerate line (width and length must be > 1e-4)\n"),
            ok({"add-ngon", "e.korv", "--points", "0,0,0;1,0,0;0,1,0"},
               "Added face 0 with 3 vertices area=0.5", "faces=1"),
        });
}

TEST(ModellingCli, SliceThenCapClosesTheUpperHalf) {
    const auto dir = fixtures();
    // The kept half lies above the plane, so the cap faces down: the first winding fails.
    expect_runs(dir, {
                         ok({"mesh-slice", "b.korv", "--point", "0,0,0.25", "--normal", "0,0,1",
                             "--no-cap", "--out", "open.korv"},
                            "Sliced by the plane keeping pos: faces_split=4 faces_removed=5 "
                            "loops_capped=0 triangles=0 volume_before=1 volume_after=0.666667 "
                            "closed=0 naked=4, saved to \"open.korv\"\n"),
                         ok({"mesh-slice-cap", "open.korv", "--point", "0,0,0.25", "--normal",
                             "0,0,1", "--out", "c.korv"},
                            "Capped 1 loop(s) with 2 triangle(s): reversed=1 naked_before=4 "
                            "naked_after=0 volume=0.75, saved to \"c.korv\"\n",
                            "vol=0.75 faces=7"),
                     });
}

}  // namespace
}  // namespace korvan::test
