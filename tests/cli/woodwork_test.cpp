#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <string>
#include <vector>

#include "document/document.h"
#include "tests/cli/cli_checks.h"
#include "tests/support/solid_checks.h"

namespace korvan::test {
namespace {

double number(const std::string& text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// The value of `key=` on the last line that has it.
std::string last_value(const std::string& report, const std::string& key) {
    const std::size_t at = report.rfind("  solid:");
    return stat_value(at == std::string::npos ? report : report.substr(at), key);
}

TEST(WoodworkVerbs, EveryPanelVerbSavesTheClosedSolidItReports) {
    const std::filesystem::path dir = fresh_temp_dir();
    const std::vector<Args> runs = {
        {"panel-emit"},
        {"panel-tenon"},
        {"panel-mortise", "--tenon-at-min", "--tenon-axis", "width"},
        {"panel-dowels", "--dowel-count", "4", "--dowel-segments", "24"},
        {"panel-rabbet", "--rabbet-side", "width_max", "--rabbet-edge", "thickness_min"},
        {"panel-rabbet-pair", "--pair-a-female"},
        {"panel-groove", "--groove-stop-start", "0.1", "--groove-stop-end", "0.05"},
    };
    for (const Args& args : runs) {
        SCOPED_TRACE(args[0]);
        Args with_out = args;
        with_out.insert(with_out.end(), {"--out", "o.korv"});
        const CliRun first = run_cli(with_out, dir);
        ASSERT_EQ(first.exit_code, 0) << first.err;
        EXPECT_EQ(first.err, "");
        EXPECT_NE(first.out.find("  solid: YES"), std::string::npos) << first.out;
        const std::string bytes = read_file(dir / "o.korv");
        const Document doc = load_model(dir / "o.korv");
        expect_closed_solids(doc.root().mesh);
        double volume = 0;
        for (const double v : piece_volumes(doc.root().mesh)) volume += v;
        EXPECT_NEAR(volume, number(last_value(first.out, "volume")), 1e-8);
        // The same run writes the same bytes.
        ASSERT_EQ(run_cli(with_out, dir).exit_code, 0);
        EXPECT_EQ(read_file(dir / "o.korv"), bytes);
    }
}

TEST(WoodworkVerbs, CutsChainThroughFiles) {
    const std::filesystem::path dir = fresh_temp_dir();
    make_models({{"panel-emit", "--out", "b.korv"},
                 {"panel-tenon", "--in", "b.korv", "--out", "b.korv"},
                 {"panel-mortise", "--tenon-at-min", "--tenon-length", "0.005", "--in", "b.korv",
                  "--out", "b.korv"}},
                dir);
    const Document doc = load_model(dir / "b.korv");
    expect_closed_solids(doc.root().mesh);
    double volume = 0;
    for (const double v : piece_volumes(doc.root().mesh)) volume += v;
    EXPECT_NEAR(volume, 0.6 * 0.4 * 0.018 + 0.03 * 0.012 * (0.012 - 0.005), 1e-8);
    // A second tenon on the same face finds no plain side and leaves the file alone.
    const CliRun again = run_cli({"panel-tenon", "--in", "b.korv", "--out", "b.korv"}, dir);
    EXPECT_EQ(again.exit_code, 2);
    EXPECT_EQ(again.err,
              "panel-tenon refused: the side is not a plain rectangle of this panel\n"
              "  nothing was cut and no undo slot was taken; the mesh is as it was found\n");
}

TEST(WoodworkVerbs, RefusalsExitTwoAndWriteNothing) {
    const std::filesystem::path dir = fresh_temp_dir();
    expect_runs(dir, {
        CliCase{{"panel-dowels", "--dowel-segments", "257", "--out", "x.korv"},
                "panel-dowels side=length-max row=width row_offset=0.009 first=0.05 "
                "pitch=0.032 count=2 diameter=0.008 depth=0.0115 segments=257\n"
                "  fixture: no --in, so 1 board(s) were emitted at the --panel-* box first\n",
                "panel-dowels refused: bore segment count is capped at 256\n"
                "  nothing was drilled and no undo slot was taken; the mesh is as it was found\n",
                2},
        CliCase{{"panel-emit", "--panel-width", "-1", "--out", "x.korv"},
                "panel-emit 0.6x-1x0.018 at (0,0,0) volume=-0.0108\n",
                "panel-emit refused: invalid panel box\n"
                "  nothing was emitted; the mesh is as it was found\n",
                2},
        CliCase{{"panel-tenon", "--panel-thickness", "0", "--out", "x.korv"},
                "panel-tenon axis=thickness at=max u=0.285+0.03 v=0.194+0.012 length=0.012\n",
                "panel-tenon refused: the --panel-* box is not a board: invalid panel box\n"
                "  nothing was cut and no undo slot was taken; the mesh is as it was found\n",
                2},
        CliCase{{"panel-rabbet-pair", "--pair-lap", "0.6", "--out", "x.korv"},
                "panel-rabbet-pair a=thickness-max->length-max b=thickness-min->length-min "
                "lap=0.6 depths=0.009/0.009 clearance=0.0002 female=B\n"
                "  fixture: no --in, so 2 board(s) were emitted at the --panel-* box first\n",
                "panel-rabbet-pair refused: rabbet width reaches across the panel\n"
                "  a.ok=no\n  b.ok=no\n"
                "  neither board was touched: every SPEC-level check for both boards runs "
                "before either cut\n",
                2},
    });
    EXPECT_FALSE(std::filesystem::exists(dir / "x.korv"));
    // B named where no board lies: A is cut, B refuses, the snapshot takes A's cut back.
    make_models({{"panel-emit", "--out", "a.korv"}}, dir);
    const CliRun pair =
        run_cli({"panel-rabbet-pair", "--in", "a.korv", "--panel-b-origin", "3,0,0"}, dir);
    EXPECT_EQ(pair.exit_code, 2);
    EXPECT_NE(pair.err.find("the module cut A before B refused -- the command's snapshot took "
                            "A's cut back out, so NOTHING was left in the model (alive faces 6)"),
              std::string::npos)
        << pair.err;
}

TEST(WoodworkVerbs, GroovePurposeYieldsToExplicitSizes) {
    const CliRun run = run_cli({"panel-groove", "--groove-width", "0.03", "--groove-purpose",
                                "flush-handle"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(stat_value(run.out, "width"), "0.03");
    EXPECT_EQ(stat_value(run.out, "depth"), "0.012");
}

const char* kWardrobe =
    "side,0.58,2.2,2,along_height;top,1.2,0.58,2;shelf,1.164,0.409,3;door,0.597,2.19,2,"
    "along_height;plinth,1.164,0.1,2;back,2.2,1.2,1,none,0,0.005";

TEST(WoodworkVerbs, NestSheetReportsAndDraws) {
    const std::filesystem::path dir = fresh_temp_dir();
    const Args wardrobe = {"nest-sheet", "--sheet-material", "MDF melamine", "--sheet-trim",
                           "0.005", "--cut-list", kWardrobe};
    const CliRun run = run_cli(wardrobe, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(stat_value(run.out, "sheets"), "4");
    EXPECT_EQ(stat_value(run.out, "utilisation"), "69.89%");
    EXPECT_NE(run.out.find("    row 5 \"back\": part is not on this board"), std::string::npos);

    Args drawn = wardrobe;
    drawn.insert(drawn.end(), {"--optimise", "0.2", "--svg", "cut.svg"});
    const CliRun best = run_cli(drawn, dir);
    ASSERT_EQ(best.exit_code, 0) << best.err;
    EXPECT_EQ(stat_value(best.out, "optimised_from"), "4");
    const std::string svg = read_file(dir / "cut.svg");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("viewBox=\"0 0 "), std::string::npos);
    std::size_t sheets = 0;
    for (std::size_t at = svg.find("<title>sheet "); at != std::string::npos;
         at = svg.find("<title>sheet ", at + 1))
        ++sheets;
    EXPECT_EQ(double(sheets), number(stat_value(best.out, "sheets")));
}

TEST(WoodworkVerbs, SheetValuesReachTheNestingChecks) {
    const std::filesystem::path dir = fresh_temp_dir();
    struct Case {
        const char* option;
        const char* value;
        const char* err;
        int exit_code;
    };
    const Case cases[] = {
        {"--sheet-width", "0", "nest-sheet: sheet width and height must be positive finite lengths\n", 2},
        {"--sheet-trim", "-0.01", "nest-sheet: sheet edge trim must be a non-negative finite length\n", 2},
        {"--sheet-kerf", "-1", "nest-sheet: saw kerf must be a non-negative finite length\n", 2},
        {"--sheet-faces", "3", "nest-sheet: sheet finished_faces must be 0, 1 or 2\n", 2},
        {"--sheet-thickness", "0", "nest-sheet: sheet thickness must be a positive finite length\n", 2},
        {"--sheet-width", "2m", "--sheet-width must be a float\n", 1},
        {"--cut-list", "a,1,1", "--cut-list: bad row \"a,1,1\", expected "
                                "NAME,W,H,QTY[,GRAIN[,FACES[,THICKNESS[,MATERIAL]]]]\n", 1},
        {"--cut-list", ";", "--cut-list parsed no rows\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.value);
        Args args = {"nest-sheet", "--cut-list", "a,0.5,0.5,1", c.option, c.value};
        const CliRun run = run_cli(args, dir);
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(run.err, c.err);
    }
    const CliRun boards = run_cli(
        {"nest-boards", "--cut-list", "a,1,1,2;b,1,1,1,none,0,0.005;c,1,1,3", "--sheet-material",
         "MDF"},
        dir);
    EXPECT_EQ(boards.exit_code, 0);
    EXPECT_EQ(boards.out,
              "nest-boards rows=3 boards=2 bad_thickness=0\n"
              "  board 0 \"MDF 18.0 mm\" rows=2 instances=5 from rows: 0 2\n"
              "  board 1 \"MDF 5.0 mm\" rows=1 instances=1 from rows: 1\n");
}

}  // namespace
}  // namespace korvan::test
