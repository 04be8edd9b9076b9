// new, load and stats through the built binary: reports, refusals, and how paths come back.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

constexpr const char* kEmptyModelReport =
    "empty=1 doc_empty=1 faces=0 visible=0 hidden=0 edges=0 verts=0 soft_edges=0 hard_edges=0 "
    "soft_ratio=0 guides=0 dims=0 world_faces=0 instances=0 tags=1 groups=0 scenes=0 sections=0 "
    "materials=25 mats_used=0 mats_unused=25 defs=0 defs_unused=0\n"
    "bbox=empty\n"
    "area=0 avg_face_area=0 avg_edge_len=0\n";

const char* const kNewModel = "Created an empty model, saved to ";

}  // namespace

TEST(ModelFiles, NewThenStatsGivesTheEmptyModelReport) {
    const auto dir = fresh_temp_dir();
    expect_runs(dir, {ok({"new", "--out", "a.korv"}, kNewModel + std::string("\"a.korv\"\n"))});
    for (const Args& args : std::vector<Args>{{"stats", "a.korv"},
                                              {"stats", "--in", "a.korv"},
                                              {"load", "a.korv"},
                                              {"load", "--in", "a.korv"},
                                              {"stats", "--in", "a.korv", "missing.korv"},
                                              // An unknown option's word is taken as the file
                                              // when --in is still empty.
                                              {"stats", "--no-such-option", "a.korv"}}) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const CliRun run = run_cli(args, dir);
        EXPECT_EQ(run.exit_code, 0);
        EXPECT_EQ(run.out, kEmptyModelReport);
        const std::string warning = args[1] == "--no-such-option"
                                        ? "warning: unknown option --no-such-option ignored\n"
                                        : "";
        EXPECT_EQ(run.err.rfind(warning + "load_s=", 0), 0u) << run.err;
    }
}

TEST(ModelFiles, NewTwiceWritesIdenticalBytes) {
    const auto dir = make_models({{"new", "--out", "a.korv"}, {"new", "--out", "b.korv"}});
    EXPECT_EQ(read_file(dir / "a.korv"), read_file(dir / "b.korv"));
}

TEST(ModelFiles, PathsComeBackQuotedAndIntact) {
    struct Row {
        const char* out;
        const char* printed;
    } rows[] = {
        {"nhà phố/mẫu.korv", "\"nhà phố/mẫu.korv\""},
        {"a\"b\\c.korv", "\"a\\\"b\\\\c.korv\""},
        {"deep/er/still.korv", "\"deep/er/still.korv\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.out);
        const auto dir = fresh_temp_dir();
        const CliRun run = run_cli({"new", "--out", row.out}, dir);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, kNewModel + std::string(row.printed) + "\n");
        EXPECT_TRUE(std::filesystem::is_regular_file(dir / row.out));
        // The same bytes reach the file system on the way in.
        EXPECT_EQ(run_cli({"stats", row.out}, dir).out, kEmptyModelReport);
    }
}

// A load that fails names the path and the reason; a save that fails leaves nothing behind.
TEST(ModelFiles, LoadAndSaveFailuresSaySo) {
    const auto dir = fresh_temp_dir();
    std::ofstream(dir / "empty.korv").close();
    std::ofstream(dir / "other.korv") << "solid cube\n";
    std::ofstream(dir / "blocker") << "a file where a folder should be";
    expect_runs(
        dir,
        {
            refused({"stats", "missing.korv"},
                    "Failed to load \"missing.korv\": The file could not be opened (it may have "
                    "been moved, or be in use).\n"),
            refused({"stats", "empty.korv"},
                    "Failed to load \"empty.korv\": The file is empty (0 bytes).\n"),
            refused({"stats", "other.korv"},
                    "Failed to load \"other.korv\": This is not a Korvan model: the file does not "
                    "start with the KORVAN header.\n"),
            refused({"stats", "house.SKP"}, "Failed to read SketchUp \"house.SKP\"\n"),
            refused({"new", "--out", "blocker/a.korv"},
                    "Failed to save: \"blocker/a.korv\": Not a directory\n"),
        });
}

TEST(ModelFiles, StatsWithoutInDescribesTheSampleTownhouse) {
    const CliRun run = run_cli({"stats"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    for (const char* token : {" instances=3 ", " tags=2 ", " scenes=3 ", " materials=25 ",
                              " defs=3 ", " defs_unused=0\n", "empty=0 doc_empty=0 "}) {
        EXPECT_NE(run.out.find(token), std::string::npos) << token << " in " << run.out;
    }
    // The shell sits on the 5 x 12 m footprint, two storeys of 3.3 m.
    EXPECT_NE(run.out.find("bbox=min=(0,0,0) max=(5,12,6.6) "), std::string::npos) << run.out;
    // Deterministic: a second run prints the same report.
    EXPECT_EQ(run_cli({"stats"}).out, run.out);

    // Other verbs without --in read the same sample: their counts agree with the report.
    const CliRun mats = run_cli({"materials"}), alive = run_cli({"faces-alive"});
    ASSERT_EQ(mats.exit_code, 0) << mats.err;
    ASSERT_EQ(alive.exit_code, 0) << alive.err;
    ASSERT_NE(stat_value(run.out, "faces"), "");
    const std::pair<std::string, std::string> agree[] = {
        {stat_value(mats.out, "materials"), stat_value(run.out, "materials")},
        {stat_value(mats.out, "unused"), stat_value(run.out, "mats_unused")},
        {alive.out.substr(0, alive.out.find('\n')), "count=" + stat_value(run.out, "faces")},
    };
    for (const auto& [verb_says, stats_says] : agree) {
        EXPECT_NE(stats_says, "");
        EXPECT_EQ(verb_says, stats_says);
    }
    EXPECT_EQ(run_cli({"faces-alive"}).out, alive.out);
}

}  // namespace korvan::test
