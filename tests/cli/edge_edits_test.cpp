// Edge edit verbs through the built binary: reports, refusals, exit codes, and the saved
// model read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_reader.h"
#include "tests/support/cli_runner.h"

namespace korvan::test {
namespace {

// The value of `key=` in a report ("" when absent).
std::string value_of(const std::string& report, const std::string& key) {
    std::size_t at = report.find(" " + key + "=");
    at = at == std::string::npos ? (report.rfind(key + "=", 0) == 0 ? 0 : at) : at + 1;
    if (at == std::string::npos) return "";
    const std::size_t begin = at + key.size() + 1;
    return report.substr(begin, report.find_first_of(" \n", begin) - begin);
}

Mesh reload(const std::filesystem::path& path) {
    Document doc;
    EXPECT_TRUE(io::load_document(path, doc)) << path;
    return doc.root().mesh;
}

EdgeId edge_between(const Mesh& m, VertexId a, VertexId b) {
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edge_usable(e)) continue;
        const auto [p, q] = m.edge_vertices(e);
        if ((p == a && q == b) || (p == b && q == a)) return e;
    }
    return kInvalidId;
}

// box.korv: a closed unit box (base face 0 on vertices 0-3, cap face 5 on 4-7).
std::filesystem::path box_dir() {
    const auto dir = fresh_temp_dir();
    for (const std::vector<std::string>& step : std::vector<std::vector<std::string>>{
             {"new", "--out", "e.korv"},
             {"create-rect", "e.korv", "--width", "1", "--depth", "1", "--out", "r.korv"},
             {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "box.korv"}}) {
        EXPECT_EQ(run_cli(step, dir).exit_code, 0) << step[0];
    }
    return dir;
}

struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err = {};
    int exit_code = 0;
    // When the verb saved: keys of `stats` on the saved file and their expected values.
    std::vector<std::pair<std::string, std::string>> stats = {};
};

void expect_cases(const std::vector<Case>& cases, const std::filesystem::path& dir) {
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        const auto files_before = std::distance(std::filesystem::directory_iterator(dir), {});
        const CliRun run = run_cli(c.args, dir);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.exit_code, c.exit_code);
        const auto out_at = std::find(c.args.begin(), c.args.end(), "--out");
        if (out_at == c.args.end() || c.exit_code != 0) {
            // No --out, or a refusal: nothing new on disk.
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), files_before);
            continue;
        }
        const CliRun stats = run_cli({"stats", *(out_at + 1)}, dir);
        ASSERT_EQ(stats.exit_code, 0) << stats.err;
        for (const auto& [key, want] : c.stats) EXPECT_EQ(value_of(stats.out, key), want) << key;
    }
}

TEST(EdgeEditsCli, SoftenHardenAndReverseReportAndWriteOnlyWithOut) {
    const auto dir = box_dir();
    expect_cases(
        {
            // The box's faces meet at 90 degrees: nothing is within 30.
            {{"soften", "box.korv"}, "soft_edges=0 total_soft=0\n"},
            {{"soften", "box.korv", "--angle", "91"}, "soft_edges=12 total_soft=12\n"},
            {{"soften", "box.korv", "--angle", "91", "--out", "soft.korv"},
             "soft_edges=12 total_soft=12, saved to \"soft.korv\"\n",
             "",
             0,
             {{"soft_edges", "12"}, {"faces", "6"}}},
            // Already soft edges are not counted again.
            {{"soften", "soft.korv", "--angle", "91"}, "soft_edges=0 total_soft=12\n"},
            {{"harden", "soft.korv"}, "hardened=12\n"},
            {{"harden", "soft.korv", "--out", "sub/hard.korv"},
             "hardened=12, saved to \"sub/hard.korv\"\n",
             "",
             0,
             {{"soft_edges", "0"}, {"faces", "6"}}},
            {{"reverse-faces", "box.korv", "--out", "rev.korv"},
             "reversed=6, saved to \"rev.korv\"\n",
             "",
             0,
             {{"faces", "6"}, {"vol", "1"}}},
        },
        dir);
    // Reversed, the base looks up and the cap down.
    EXPECT_EQ(run_cli({"faces-facing", "rev.korv", "--vector", "0,0,1"}, dir).out,
              "count=1 angle=5\nfaces=0\n");
}

TEST(EdgeEditsCli, SplitAndEraseAnEdge) {
    const auto dir = box_dir();
    Mesh box = reload(dir / "box.korv");
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

    expect_cases(
        {
            {{"edge-split", "box.korv", "--edge", e, "--t", "0.25", "--out", "split.korv"},
             "Split edge " + e + " at t=0.25 -> new vertex 8 naked_before=0 naked_after=" +
                 std::to_string(naked_after_split) + ", saved to \"split.korv\"\n",
             "",
             0,
             {{"faces", "6"}, {"verts", "9"}, {"vol", "1"}}},
            {{"edge-split", "box.korv", "--edge", "100000", "--out", "bad.korv"},
             "",
             "edge-split: edge 100000 could not be split (invalid/dead edge, equal ends, or no "
             "alive face)\n",
             1},
            {{"edge-split", "box.korv", "--out", "bad.korv"},
             "",
             "edge-split: --edge E is required\n",
             1},
            {{"erase-edge", "box.korv", "--edge", e, "--out", "erased.korv"},
             "Erased edge " + e + ", saved to \"erased.korv\"\n",
             "",
             0,
             {{"faces", "4"}}},
            {{"erase-edge", "box.korv", "--edge", std::to_string(retired), "--out", "bad.korv"},
             "",
             "Failed to erase edge " + std::to_string(retired) + " (invalid/dead edge)\n",
             1},
        },
        dir);

    // The split point sits a quarter of the way along the edge it replaced.
    const Mesh split = reload(dir / "split.korv");
    const auto [a, b] = box.edge_vertices(base_edge);
    const Vec3 pa = box.vertices()[a].position, pb = box.vertices()[b].position;
    const Vec3 want = pa + (pb - pa) * 0.25f;
    ASSERT_GT(split.vertices().size(), 8u);
    EXPECT_EQ(split.vertices()[8].position, want);
    // Both faces on the erased edge went with it, leaving the rim of a two-face hole.
    EXPECT_EQ(run_cli({"mesh-naked-edges", "erased.korv"}, dir).out, "naked_edges=6\n");
}

}  // namespace
}  // namespace korvan::test
