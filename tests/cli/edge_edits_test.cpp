// Edge edit verbs through the built binary: reports, refusals, exit codes, and the saved
// model read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// box.korv: a closed unit box (base face 0 on vertices 0-3, cap face 5 on 4-7).
std::filesystem::path box_dir() {
    return make_models({
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--width", "1", "--depth", "1", "--out", "r.korv"},
        {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "box.korv"},
    });
}

TEST(EdgeEditsCli, SoftenHardenAndReverseReportAndWriteOnlyWithOut) {
    const auto dir = box_dir();
    expect_runs(
        dir,
        {
            // The box's faces meet at 90 degrees: nothing is within 30.
            ok({"soften", "box.korv"}, "soft_edges=0 total_soft=0\n"),
            ok({"soften", "box.korv", "--angle", "91"}, "soft_edges=12 total_soft=12\n"),
            ok({"soften", "box.korv", "--angle", "91", "--out", "soft.korv"},
               "soft_edges=12 total_soft=12, saved to \"soft.korv\"\n", "soft_edges=12 faces=6"),
            // Already soft edges are not counted again.
            ok({"soften", "soft.korv", "--angle", "91"}, "soft_edges=0 total_soft=12\n"),
            ok({"harden", "soft.korv"}, "hardened=12\n"),
            ok({"harden", "soft.korv", "--out", "sub/hard.korv"},
               "hardened=12, saved to \"sub/hard.korv\"\n", "soft_edges=0 faces=6"),
            ok({"reverse-faces", "box.korv", "--out", "rev.korv"},
               "reversed=6, saved to \"rev.korv\"\n", "faces=6 vol=1"),
            // Reversed, the base looks up and the cap down.
            ok({"faces-facing", "rev.korv", "--vector", "0,0,1"}, "count=1 angle=5\nfaces=0\n"),
        });
}

TEST(EdgeEditsCli, SplitAndEraseAnEdge) {
    const auto dir = box_dir();
    Mesh box = load_model(dir / "box.korv").root().mesh;
    const EdgeId base_edge = edge_between(box, 0, 1);
    ASSERT_NE(base_edge, kInvalidId);
    EdgeId retired = kInvalidId;  // an edge the reader retired when it joined the faces
    for (EdgeId e = 0; e < box.edges().size() && retired == kInvalidId; ++e) {
        if (!box.edge_usable(e)) retired = e;
    }
    ASSERT_NE(retired, kInvalidId);
    const std::string e = std::to_string(base_edge);
    const std::uint64_t naked_after_split = [&] {
        Mesh m = box;
        m.split_edge(base_edge, 0.25f);
        return m.naked_edge_count();
    }();

    expect_runs(
        dir,
        {
            ok({"edge-split", "box.korv", "--edge", e, "--t", "0.25", "--out", "split.korv"},
               "Split edge " + e + " at t=0.25 -> new vertex 8 naked_before=0 naked_after=" +
                   std::to_string(naked_after_split) + ", saved to \"split.korv\"\n",
               "faces=6 verts=9 vol=1"),
            refused(
                {"edge-split", "box.korv", "--edge", "100000", "--out", "bad.korv"},
                "edge-split: edge 100000 could not be split (invalid/dead edge, equal ends, or no "
                "alive face)\n"),
            refused({"edge-split", "box.korv", "--out", "bad.korv"},
                    "edge-split: --edge E is required\n"),
            ok({"erase-edge", "box.korv", "--edge", e, "--out", "erased.korv"},
               "Erased edge " + e + ", saved to \"erased.korv\"\n", "faces=4"),
            // Both faces on the erased edge went with it, leaving the rim of a two-face hole.
            ok({"mesh-naked-edges", "erased.korv"}, "naked_edges=6\n"),
            refused(
                {"erase-edge", "box.korv", "--edge", std::to_string(retired), "--out", "bad.korv"},
                "Failed to erase edge " + std::to_string(retired) + " (invalid/dead edge)\n"),
        });

    // The split point sits a quarter of the way along the edge it replaced.
    const Mesh split = load_model(dir / "split.korv").root().mesh;
    const auto [a, b] = box.edge_vertices(base_edge);
    const Vec3 pa = box.vertices()[a].position, pb = box.vertices()[b].position;
    const Vec3 want = pa + (pb - pa) * 0.25f;
    ASSERT_GT(split.vertices().size(), 8u);
    EXPECT_EQ(split.vertices()[8].position, want);
}

}  // namespace
}  // namespace korvan::test
