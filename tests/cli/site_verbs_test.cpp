// The site verbs end to end: a dry run prints the numbers the saving run saves and writes
// nothing; refusals exit 2 with the blamed contours; contour-join repairs once.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// A 2 x 2 face at z = 0 inside a square contour at z = 2, and an open contour.
std::filesystem::path site() {
    return make_models({{"new", "--out", "s.korv"},
                        {"create-rect", "s.korv", "--at", "1,1,0", "--width", "2", "--depth", "2",
                         "--out", "s.korv"},
                        {"add-curve", "s.korv", "--path", "0,0,2 4,0,2 4,4,2 0,4,2", "--closed",
                         "--out", "s.korv"},
                        {"add-curve", "s.korv", "--path", "6,0,1 6,3,1", "--out", "s.korv"},
                        {"add-curve", "s.korv", "--path", "6,3.2,1 6,6,1", "--out", "s.korv"}});
}

TEST(SiteVerbs, DryRunsPrintWhatSavingRunsSave) {
    for (const std::string verb : {"contour-join", "terrain-extrude"}) {
        SCOPED_TRACE(verb);
        const std::filesystem::path dir = site();
        const std::string before = read_file(dir / "s.korv");
        const CliRun dry = run_cli({verb, "--in", "s.korv"}, dir);
        ASSERT_EQ(dry.exit_code, 0) << dry.err;
        EXPECT_EQ(read_file(dir / "s.korv"), before);
        EXPECT_FALSE(std::filesystem::exists(dir / "o.korv"));
        const CliRun saved = run_cli({verb, "--in", "s.korv", "--out", "o.korv"}, dir);
        ASSERT_EQ(saved.exit_code, 0) << saved.err;
        EXPECT_EQ(saved.out, dry.out + "  saved to \"o.korv\"\n");
    }
    const std::filesystem::path dir = site();
    const CliRun terraces = run_cli({"terrain-extrude", "--in", "s.korv"}, dir);
    EXPECT_EQ(stat_value(terraces.out, "extruded"), "1");
    EXPECT_EQ(stat_value(terraces.out, "volume"), "8");
    EXPECT_EQ(stat_value(terraces.out, "open_contours_ignored"), "2");
    ASSERT_EQ(run_cli({"contour-join", "--in", "s.korv", "--out", "s.korv"}, dir).exit_code, 0);
    const CliRun again = run_cli({"contour-join", "--in", "s.korv"}, dir);
    EXPECT_EQ(stat_value(again.out, "contours"), "2");
    EXPECT_NE(again.out.find("  nothing to repair: the curve table was left exactly as found\n"),
              std::string::npos);
    const CliRun gate = run_cli({"contour-check", "s.korv"}, dir);
    EXPECT_EQ(gate.exit_code, 0) << gate.err;
    EXPECT_EQ(gate.out.substr(0, gate.out.find('\n')), "contour-check contours=2 open=1");
}

TEST(SiteVerbs, RefusalsExitTwoWithTheBlame) {
    const std::filesystem::path dir = make_models(
        {{"new", "--out", "s.korv"},
         {"add-curve", "s.korv", "--path", "0,0,1 4,4,1 4,0,1 0,4,1", "--closed", "--out", "s.korv"},
         {"new", "--out", "empty.korv"}});
    const CliRun check = run_cli({"contour-check", "s.korv"}, dir);
    EXPECT_EQ(check.exit_code, 2);
    EXPECT_EQ(check.err,
              "contour-check: a contour crosses itself\n"
              "  blame contour 0 against contour 0 at plan (2, 2) z=1 vs z=1\n");
    expect_runs(dir, {refused({"contour-check", "empty.korv"},
                              "contour-check: this model carries no alive contours (add-curve, or a "
                              "DXF import, is what puts them there)\n",
                              2),
                      refused({"contour-join", "--in", "empty.korv", "--out", "o.korv"},
                              "contour-join: this model carries no alive contours (add-curve, or a "
                              "DXF import, is what puts them there)\n",
                              2),
                      refused({"terrain-extrude", "--in", "empty.korv", "--out", "o.korv"},
                              "terrain-extrude: no alive faces to extrude\n", 2)});
    const CliRun terrain = run_cli({"terrain-extrude", "--in", "s.korv", "--out", "o.korv"}, dir);
    EXPECT_EQ(terrain.exit_code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "o.korv"));
}

}  // namespace
}  // namespace korvan::test
