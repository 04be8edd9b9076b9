// Face and mesh edit verbs through the built binary: sentences, refusals, exit codes, and the
// saved model read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace korvan::test {
namespace {

// The value of `key=` in a stats report ("" when absent).
std::string stat(const std::string& report, const std::string& key) {
    const std::size_t at = report.find(" " + key + "=") != std::string::npos
                               ? report.find(" " + key + "=") + 1
                               : report.find(key + "=");
    if (at == std::string::npos) return "";
    const std::size_t begin = at + key.size() + 1;
    return report.substr(begin, report.find_first_of(" \n", begin) - begin);
}

// e.korv (empty), r.korv (unit square, face 0), r2.korv (2 x 2 square) and b.korv (the unit
// square pulled into a closed unit box: base 0, walls 1-4, cap 5).
std::filesystem::path fixtures() {
    const auto dir = fresh_temp_dir();
    const std::vector<std::vector<std::string>> steps = {
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--at", "0,0,0", "--width", "1", "--depth", "1", "--out",
         "r.korv"},
        {"create-rect", "e.korv", "--width", "2", "--depth", "2", "--out", "r2.korv"},
        {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "b.korv"},
    };
    for (const auto& step : steps) EXPECT_EQ(run_cli(step, dir).exit_code, 0) << step[0];
    return dir;
}

struct Case {
    std::vector<std::string> args;  // "--out o.korv" is appended
    std::string out;                // without ", saved to ..." and the line feed
    std::string err;
    int exit_code;
    std::string faces = {}, vol = {};  // expected stats of o.korv when the verb succeeded
};

TEST(ModellingCli, SentencesRefusalsAndSavedModels) {
    const auto dir = fixtures();
    const Case cases[] = {
        {{"face-pushpull", "b.korv", "--face", "5", "--distance", "0.5"},
         "Pushed/pulled face 5 -> new cap face 10",
         "",
         0,
         "11",
         ""},
        {{"face-pushpull", "b.korv", "--face", "99", "--distance", "0.5"},
         "",
         "face-pushpull: face 99 could not be pushed/pulled (invalid/dead face, <3 vertices, or "
         "degenerate normal)\n",
         1},
        {{"face-extrude", "r.korv", "--face", "0", "--vector", "0,0,-2"},
         "Extruded face 0 along (0,0,-2) -> new cap face 5",
         "",
         0,
         "6",
         ""},
        {{"face-extrude", "r.korv", "--face", "0", "--vector", "0,0,0"},
         "",
         "face-extrude: face 0 could not be extruded (invalid/dead face, <3 vertices, or a zero "
         "vector)\n",
         1},
        {{"faces-extrude", "r.korv", "--faces", "0,99", "--vector", "0,0,-1"},
         "Extruded 2 listed face(s) along (0,0,-1) -> 5 new face(s)",
         "",
         0,
         "6",
         ""},
        {{"face-offset", "r2.korv", "--face", "0", "--distance", "0.5"},
         "Offset face 0 -> new face 5 frame_faces=4 area_before=4 area_after=1",
         "",
         0,
         "5",
         ""},
        {{"face-offset", "r2.korv", "--face", "0", "--distance", "1.1"},
         "",
         "face-offset: face 0 could not be offset (invalid/dead face, <3 vertices, or an offset "
         "wider than the face)\n",
         1},
        {{"face-inset", "r.korv", "--face", "0", "--distance", "-0.5"},
         "Inset face 0 -> new face 1 area_before=1 area_after=4",
         "",
         0,
         "2",
         ""},
        {{"face-inset", "r.korv", "--face", "0", "--distance", "0"},
         "",
         "face-inset: face 0 could not be inset (invalid/dead face, zero distance, degenerate "
         "ring, or the inset collapses or turns inside out)\n",
         1},
        {{"face-split-plane", "r.korv", "--face", "0", "--point", "0,0,0", "--normal", "1,-1,0"},
         "Split face 0 by the plane -> faces 1 and 2",
         "",
         0,
         "2",
         ""},
        {{"face-split-plane", "r.korv", "--face", "0", "--point", "0,0,0", "--normal", "1,1,0"},
         "",
         "face-split-plane: the plane does not cross face 0 (or the face is invalid/dead, or the "
         "normal is degenerate)\n",
         1},
        {{"face-split-edge", "r.korv", "--face", "0", "--a", "0.5,0,0", "--b", "0.5,1,0"},
         "Split face 0 along the segment -> new face 1",
         "",
         0,
         "2",
         ""},
        {{"mesh-split-plane", "b.korv", "--point", "0,0,0.5", "--normal", "0,0,1"},
         "Split 4 face(s) by the plane: faces_before=6 faces_after=10 seam_vertices=4 "
         "seam_shared=4 volume_before=1 volume_after=1 naked_before=0 naked_after=0",
         "",
         0,
         "10",
         "1"},
        {{"mesh-split-plane", "b.korv", "--point", "0,0,3", "--normal", "0,0,1"},
         "",
         "mesh-split-plane: nothing split (the plane crosses no face)\n",
         1},
        {{"mesh-slice", "b.korv", "--point", "0,0,0.25", "--normal", "0,0,1", "--keep", "neg"},
         "Sliced by the plane keeping neg: faces_split=4 faces_removed=5 loops_capped=1 "
         "triangles=2 volume_before=1 volume_after=0.25 closed=1",
         "",
         0,
         "7",
         "0.25"},
        {{"mesh-slice", "b.korv", "--point", "0,0,0.25", "--normal", "0,0,1", "--no-cap"},
         "Sliced by the plane keeping pos: faces_split=4 faces_removed=5 loops_capped=0 "
         "triangles=0 volume_before=1 volume_after=0.666667 closed=0 naked=4",
         "",
         0,
         "5",
         ""},
        {{"mesh-slice", "b.korv", "--point", "0,0,3", "--normal", "0,0,1", "--keep", "neg"},
         "",
         "mesh-slice: nothing sliced (the plane neither cuts nor discards anything)\n",
         1},
        {{"mesh-slice-cap", "b.korv", "--point", "0,0,1", "--normal", "0,0,1"},
         "",
         "mesh-slice-cap: nothing capped (no boundary loop lies in the plane, or the cap would "
         "not close the mesh)\n",
         1},
        {{"create-rect", "e.korv", "--width", "0.00001", "--depth", "1"},
         "",
         "create-rect: degenerate size (width and depth must be > 1e-4)\n",
         1},
        {{"create-circle", "e.korv", "--radius", "1", "--segments", "5"},
         "Created circle face 0 area=2.37764 segments=5",
         "",
         0,
         "1",
         ""},
        {{"create-circle", "e.korv", "--radius", "0.00001"},
         "",
         "create-circle: degenerate radius (must be > 1e-4)\n",
         1},
        {{"create-arc", "e.korv", "--a", "1,0,0", "--angle", "90"},
         "Created arc face 0 area=0.776457 vertices=8",
         "",
         0,
         "1",
         ""},
        {{"create-arc", "e.korv", "--a", "1,0,0", "--angle", "0"},
         "",
         "create-arc: degenerate arc (radius and sweep must be > 1e-4)\n",
         1},
        {{"create-line", "e.korv", "--a", "0,0,0", "--b", "1,0,0"},
         "Created line face 0 area=0.01",
         "",
         0,
         "1",
         ""},
        {{"create-line", "e.korv", "--a", "0,0,0", "--b", "0,0,0"},
         "",
         "create-line: degenerate line (width and length must be > 1e-4)\n",
         1},
        {{"add-ngon", "e.korv", "--points", "0,0,0;1,0,0;0,1,0"},
         "Added face 0 with 3 vertices area=0.5",
         "",
         0,
         "1",
         ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", "o.korv"});
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        std::filesystem::remove(dir / "o.korv");
        const CliRun run = run_cli(args, dir);
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(run.err, c.err);
        if (c.exit_code != 0) {
            EXPECT_EQ(run.out, "");
            EXPECT_FALSE(std::filesystem::exists(dir / "o.korv"));
            continue;
        }
        EXPECT_EQ(run.out, c.out + ", saved to \"o.korv\"\n");
        const CliRun stats = run_cli({"stats", "o.korv"}, dir);
        ASSERT_EQ(stats.exit_code, 0) << stats.err;
        EXPECT_EQ(stat(stats.out, "faces"), c.faces);
        if (!c.vol.empty()) {
            EXPECT_EQ(stat(stats.out, "vol"), c.vol);
        }
    }
}

TEST(ModellingCli, SliceThenCapClosesTheUpperHalf) {
    const auto dir = fixtures();
    ASSERT_EQ(run_cli({"mesh-slice", "b.korv", "--point", "0,0,0.25", "--normal", "0,0,1",
                       "--no-cap", "--out", "open.korv"},
                      dir)
                  .exit_code,
              0);
    const CliRun cap = run_cli({"mesh-slice-cap", "open.korv", "--point", "0,0,0.25", "--normal",
                                "0,0,1", "--out", "c.korv"},
                               dir);
    ASSERT_EQ(cap.exit_code, 0) << cap.err;
    // The kept half lies above the plane, so the cap faces down: the first winding fails.
    EXPECT_EQ(cap.out,
              "Capped 1 loop(s) with 2 triangle(s): reversed=1 naked_before=4 naked_after=0 "
              "volume=0.75, saved to \"c.korv\"\n");
    const CliRun stats = run_cli({"stats", "c.korv"}, dir);
    EXPECT_EQ(stat(stats.out, "vol"), "0.75");
    EXPECT_EQ(stat(stats.out, "faces"), "7");
}

TEST(ModellingCli, MissingOptionsAreRefusedBeforeAnythingIsWritten) {
    const auto dir = fixtures();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"face-pushpull", "b.korv", "--face", "1"},
         "face-pushpull: --face and --distance are required\n"},
        {{"mesh-slice", "b.korv", "--point", "0,0,0"},
         "mesh-slice: --point and --normal are required\n"},
        {{"create-arc", "e.korv", "--a", "1,0,0"}, "create-arc: --a and --angle are required\n"},
    };
    for (const auto& [args, err] : cases) {
        SCOPED_TRACE(args[0]);
        std::vector<std::string> full = args;
        full.insert(full.end(), {"--out", "o.korv"});
        const CliRun run = run_cli(full, dir);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.err, err);
        EXPECT_FALSE(std::filesystem::exists(dir / "o.korv"));
    }
    EXPECT_EQ(run_cli({"face-pushpull", "--face", "0", "--distance", "1"}, dir).err,
              "face-pushpull requires --out\n");
}

}  // namespace
}  // namespace korvan::test
