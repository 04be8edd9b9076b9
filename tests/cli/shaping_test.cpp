// Shaping and stair verbs through the built binary: reports, refusals, exit codes and the
// saved models read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// beam.korv: 1 m along x, 0.1 m deep, 0.2 m high, closed.
std::filesystem::path beam_dir() {
    return make_models({
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--width", "1", "--depth", "0.1", "--out", "r.korv"},
        {"face-pushpull", "r.korv", "--face", "0", "--distance", "0.2", "--out", "beam.korv"},
    });
}

void expect_closed(const Document& doc) { EXPECT_EQ(doc.root().mesh.naked_edge_count(), 0u); }

TEST(ShapingCli, DeformReportsTheFrameAndKeepsTheSolidClosed) {
    expect_runs(
        beam_dir(),
        {
            ok({"deform", "--in", "beam.korv", "--kind", "bend", "--amount", "1.5707964", "--out",
                "b.korv"},
               "Bend: moved 4 vertices of 6 faces (amount=1.5708 extent=1 origin=(0,0.05,0.1) "
               "axis=(1,0,0)), saved to \"b.korv\"\n",
               "faces=6", expect_closed),
            ok({"deform", "--in", "beam.korv", "--kind", "radial-twist", "--amount", "0",
                "--faces", "1", "--out", "z.korv"},
               "Radial Twist: moved 0 vertices of 1 face (amount=0 extent=0.1 "
               "origin=(0.5,0,0.1) axis=(1,0,0)), saved to \"z.korv\"\n",
               "faces=6 vol=0.02"),
            refused({"deform", "--in", "beam.korv", "--amount", "1", "--out", "x.korv"},
                    "deform requires --kind\n"),
            refused({"deform", "--in", "beam.korv", "--kind", "twist", "--out", "x.korv"},
                    "deform requires --amount\n"),
            refused({"deform", "--in", "beam.korv", "--kind", "twist", "--amount", "1", "--faces",
                     "99", "--out", "x.korv"},
                    "deform: the selection has no bounding box to fit a frame to\n"),
        });
}

TEST(ShapingCli, SoftMoveReportsTheFieldAndWritesOnlyWithOut) {
    const std::string header =
        "soft-move handles=1 delta=(0,0,0.1) radius=0.5 curve=linear metric=surface\n"
        "  field: handles=1 considered=4 moved=4 space_only=0 coincident_unreached=0\n";
    const std::string planarity =
        "  topology is invariant under a soft move; PLANARITY IS NOT -- a quad whose corners "
        "moved by different weights is no longer flat, so anything downstream that needs planar "
        "faces wants make-planar next\n";
    expect_runs(
        beam_dir(),
        {
            ok({"soft-move", "beam.korv", "--verts", "0", "--soft-delta", "0,0,0.1",
                "--soft-radius", "0.5", "--soft-curve", "linear"},
               header + "  move: max_move=0.1 total_move=0.28 farthest_moved=0.3\n" + planarity),
            ok({"soft-move", "beam.korv", "--verts", "0,0", "--soft-delta", "0,0,0.1",
                "--soft-radius", "0.5", "--soft-curve", "linear", "--out", "s.korv"},
               header + "  move: max_move=0.1 total_move=0.28 farthest_moved=0.3\n" + planarity +
                   "  saved to \"s.korv\"\n",
               "faces=6"),
            ok({"soft-move", "beam.korv", "--verts", "0", "--soft-delta", "0,0,0"},
               "soft-move handles=1 delta=(0,0,0) radius=1 curve=smooth metric=surface\n"
               "  field: handles=1 considered=4 moved=0 space_only=0 coincident_unreached=0\n"
               "  move: max_move=0 total_move=0 farthest_moved=0\n"
               "  nothing moved: a ZERO delta is a legitimate no-op, not a refusal, and it takes "
               "no undo slot\n"),
            refused({"soft-move", "beam.korv", "--soft-delta", "0,0,1"},
                    "soft-move: no handles -- give --verts N0,N1,... or --faces N0,N1,... (a soft "
                    "move over EVERY vertex is a translate, not a drag)\n"),
            refused({"soft-move", "beam.korv", "--verts", "77", "--soft-delta", "0,0,1"},
                    "soft-move refused: no alive handle vertex\n"),
            refused({"soft-move", "beam.korv", "--verts", "0", "--soft-delta", "0,0,1",
                     "--soft-radius", "-1"},
                    "soft-move refused: radius must be finite and positive\n"),
        });
}

TEST(ShapingCli, GenStairSolvesWritesAndRefuses) {
    const std::string straight =
        "risers 19 x 0.173684 m, goings 18 x 0.282632 m\n"
        "2R+G 0.63 m, developed run 5.08737 m, footprint 5.13237 x 0.98 m\n";
    const std::string refusal = "gen-stair: no code-legal stair for this spec: ";
    expect_runs(
        fresh_temp_dir(),
        {
            ok({"gen-stair", "--solve-only"}, straight),
            ok({"gen-stair", "--out", "s.korv"},
               straight + "Wrote Session \"s.korv\"\n271 faces, 0 naked edges\n", "faces=271",
               expect_closed),
            ok({"gen-stair", "--shape", "u", "--landing-after", "1", "--solve-only"},
               "risers 19 x 0.173684 m, goings 17 x 0.282632 m\n"
               "2R+G 0.63 m, developed run 4.80474 m, footprint 5.44211 x 1.98 m\n"
               "landing after riser 2, depth 0.9 m\n"),
            refused({"gen-stair", "--run", "4"},
                    refusal +
                        "run_length 4.000 m is too short: the shortest code-legal going run for a "
                        "3.300 m rise is 4.547 m\n",
                    2),
            refused({"gen-stair", "--rise", "0", "--out", "z.korv"},
                    refusal + "total_rise must be positive (got 0.000 m)\n", 2),
            refused({"gen-stair", "--tread-thickness", "0.3", "--solve-only"},
                    refusal +
                        "the tread thickness must be above 1 mm and below the riser height\n",
                    2),
        });
}

}  // namespace
}  // namespace korvan::test
