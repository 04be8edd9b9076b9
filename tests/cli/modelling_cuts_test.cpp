// Knife, opening and sweep verbs through the built binary: sentences, refusals, exit codes,
// and the saved model read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_reader.h"
#include "tests/support/cli_runner.h"

namespace korvan::test {
namespace {

std::string stat(const std::string& report, const std::string& key) {
    const std::size_t at = report.find(" " + key + "=") != std::string::npos
                               ? report.find(" " + key + "=") + 1
                               : report.find(key + "=");
    if (at == std::string::npos) return "";
    const std::size_t begin = at + key.size() + 1;
    return report.substr(begin, report.find_first_of(" \n", begin) - begin);
}

// wall.korv: a closed 4 x 0.2 x 3 m wall (base 0, face 1 looking along -y, face 3 its far
// side, top 5); sq.korv: a lone unit square facing +z (face 0); box.korv: a closed unit box.
std::filesystem::path fixtures() {
    const auto dir = fresh_temp_dir();
    const std::vector<std::vector<std::string>> steps = {
        {"new", "--out", "e.korv"},
        {"create-rect", "e.korv", "--width", "4", "--depth", "0.2", "--out", "floor.korv"},
        {"face-pushpull", "floor.korv", "--face", "0", "--distance", "3", "--out", "wall.korv"},
        {"create-rect", "e.korv", "--width", "1", "--depth", "1", "--out", "sq.korv"},
        {"face-pushpull", "sq.korv", "--face", "0", "--distance", "1", "--out", "box.korv"},
    };
    for (const auto& step : steps) EXPECT_EQ(run_cli(step, dir).exit_code, 0) << step[0];
    return dir;
}

struct Case {
    std::vector<std::string> args;  // "--out o.korv" is appended
    std::string out;                // without ", saved to ..." and the line feed
    std::string err;
    int exit_code;
    std::string faces = {}, vol = {}, naked = {};  // o.korv after a success
};

TEST(ModellingCutsCli, SentencesRefusalsAndSavedModels) {
    const auto dir = fixtures();
    const Case cases[] = {
        {{"cut-window", "wall.korv", "--face", "1"},
         "Cut window opening 1.2 x 1.4 at sill 0.9 through face 1 and far face 3: depth=0.2 "
         "new_faces=8 volume_before=2.4 volume_after=2.064 naked_after=0",
         "",
         0,
         "12",
         "2.064",
         "0"},
        {{"cut-door", "wall.korv", "--face", "1", "--sill", "0.05", "--thickness", "0.2"},
         "Cut door opening 0.9 x 2.1 at sill 0.05 through face 1 and far face 3: depth=0.2 "
         "new_faces=8 volume_before=2.4 volume_after=2.022 naked_after=0",
         "",
         0,
         "12",
         "2.022",
         "0"},
        {{"cut-window", "sq.korv", "--face", "0", "--width", "0.5", "--height", "0.5"},
         "Cut window opening 0.5 x 0.5 at sill 0.9 in face 0 (no far face): new_faces=2 "
         "volume_before=0 volume_after=0 naked_after=8",
         "",
         0,
         "2",
         "",
         "8"},
        {{"cut-door", "wall.korv", "--face", "1"},
         "Cut door opening 0.9 x 2.1 at sill 0 through face 1 and far face 3: depth=0.2 "
         "new_faces=7 volume_before=2.4 volume_after=2.022 naked_after=0",
         "",
         0,
         "10",
         "2.022",
         "0"},
        {{"cut-door", "wall.korv", "--face", "1", "--width", "4"},
         "",
         "cut-door: face 1 could not be opened (the opening does not fit inside the face)\n",
         1},
        {{"cut-window", "wall.korv", "--face", "1", "--thickness", "2"},
         "",
         "cut-window: face 1 could not be opened (no face of the wall lies that far behind the "
         "face)\n",
         1},
        {{"cut-window", "wall.korv", "--face", "40"},
         "",
         "cut-window: face 40 could not be opened (invalid/dead face, <3 vertices, or degenerate "
         "normal)\n",
         1},
        {{"mesh-knife", "box.korv", "--path", "0.5,0,1 0.5,1,1 0.5,1,0 0.5,0,0 0.5,0,1"},
         "Knife cut 4 face(s) along 5 path point(s): t_vertices=4 reused=1 faces_before=6 "
         "faces_after=10 naked_before=0 naked_after=0",
         "",
         0,
         "10",
         "1",
         "0"},
        {{"mesh-knife", "box.korv", "--path", "0,0,1 1,0,1"},
         "",
         "mesh-knife: nothing cut (the path cuts no face)\n",
         1},
        {{"face-sweep", "sq.korv", "--face", "0", "--path", "0.5,0.5,0 0.5,0.5,1 2.5,0.5,1"},
         "Swept face 0 along 3 path point(s) -> end cap face 9 sections=3 new_faces=9 "
         "soft_edges=0 volume=3 naked_after=0",
         "",
         0,
         "10",
         "3",
         "0"},
        {{"face-sweep", "sq.korv", "--face", "0", "--path", "0,0,0 1,0,0"},
         "",
         "face-sweep: face 0 could not be swept (the path starts along the face's plane)\n",
         1},
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
        // Closed models must come back closed: read the file and count naked edges.
        Document doc;
        ASSERT_TRUE(io::load_document(dir / "o.korv", doc)) << io::last_load_error();
        EXPECT_EQ(std::to_string(doc.root().mesh.naked_edge_count()), c.naked);
    }
}

TEST(ModellingCutsCli, MissingOptionsAreRefusedBeforeAnythingIsWritten) {
    const auto dir = fixtures();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"mesh-knife", "box.korv"}, "mesh-knife: --path is required\n"},
        {{"face-sweep", "sq.korv", "--face", "0"}, "face-sweep: --face and --path are required\n"},
        {{"face-sweep", "sq.korv", "--path", "0,0,0 0,0,1"},
         "face-sweep: --face and --path are required\n"},
        {{"cut-door", "wall.korv"}, "cut-door: --face is required\n"},
        {{"cut-window", "wall.korv", "--width", "0"}, "--width must be a positive float\n"},
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
}

}  // namespace
}  // namespace korvan::test
