#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "cli/samples/fallback_model.h"
#include "cli/samples/townhouse.h"
#include "document/document.h"
#include "tests/support/cli_runner.h"
#include "tools/plan.h"

namespace korvan::cli {
namespace {

double distance_to_line(const plan::PlanLine& l, double x, double y) {
    const double dx = double(l.b.x) - l.a.x, dy = double(l.b.y) - l.a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x - l.a.x) * dx + (y - l.a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(l.a.x + t * dx - x, l.a.y + t * dy - y);
}

bool on_cut(const plan::PlanResult& r, double x, double y) {
    for (const plan::PlanLine& l : r.lines) {
        if (l.kind == plan::LineKind::kCut && distance_to_line(l, x, y) < 1e-3) return true;
    }
    return false;
}

TEST(PlanTownhouse, PocheRingsCloseAndOpeningsAreGapsInTheCut) {
    Document doc;
    install_fallback_model(doc);
    const plan::PlanResult r = plan::build_plan(doc.root().mesh, plan::PlanSettings{});
    ASSERT_FALSE(r.rings.empty());
    EXPECT_EQ(r.open_chains, 0u);
    // Closed: every side of every ring, the closing one included, is drawn as a cut line.
    for (const plan::HatchRing& ring : r.rings) {
        ASSERT_GE(ring.points.size(), 3u);
        for (std::size_t k = 0; k < ring.points.size(); ++k) {
            const plan::Point2 a = ring.points[k], b = ring.points[(k + 1) % ring.points.size()];
            EXPECT_TRUE(on_cut(r, (double(a.x) + b.x) / 2, (double(a.y) + b.y) / 2));
        }
    }
    int crossed = 0;
    for (const OpeningSite& o : townhouse_openings(kShellTownhouse)) {
        if (!(o.at.z <= 1.2f && 1.2f < o.at.z + o.height)) continue;
        SCOPED_TRACE(o.name);
        ++crossed;
        const double ux = -o.normal.y, uy = o.normal.x;
        for (const double s : {-0.45, 0.0, 0.45}) {
            const double along = s * o.width;
            EXPECT_FALSE(on_cut(r, o.at.x + ux * along, o.at.y + uy * along)) << along;
        }
        for (const double s : {-1.0, 1.0}) {
            const double along = s * (o.width / 2 + 0.1);
            EXPECT_TRUE(on_cut(r, o.at.x + ux * along, o.at.y + uy * along)) << along;
        }
    }
    EXPECT_EQ(crossed, 2);  // the door and the side window
}

TEST(PlanVerb, WritesTheDrawingsItReportsAndNothingOnARefusal) {
    const auto dir = test::fresh_temp_dir();
    const test::CliRun run = test::run_cli({"plan", "--dxf", "p.dxf", "--svg", "p.svg"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("  poche is EXACT (every node valence 2)\n"), std::string::npos);
    EXPECT_NE(run.out.find(", hash MATCH\n"), std::string::npos);
    EXPECT_NE(run.out.find(" labels to p.dxf\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "p.dxf"));
    ASSERT_TRUE(std::filesystem::exists(dir / "p.svg"));

    // The sheet is XML and renders cleanly, where the tools exist.
    if (std::filesystem::exists("/usr/bin/python3")) {
        const test::CliRun xml = test::run_program(
            "/usr/bin/python3",
            {"-c", "import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])", "p.svg"},
            dir);
        EXPECT_EQ(xml.exit_code, 0) << xml.err;
    } else {
        GTEST_LOG_(INFO) << "python3 missing: the SVG's XML check is skipped";
    }
    if (std::filesystem::exists("/usr/bin/rsvg-convert")) {
        const test::CliRun png =
            test::run_program("/usr/bin/rsvg-convert", {"-o", "p.png", "p.svg"}, dir);
        EXPECT_EQ(png.exit_code, 0);
        EXPECT_EQ(png.err, "");
        EXPECT_TRUE(std::filesystem::exists(dir / "p.png"));
    } else {
        GTEST_LOG_(INFO) << "rsvg-convert missing: the SVG's rendering check is skipped";
    }

    struct Case {
        std::vector<std::string> args;
        std::string err_start;
    };
    const Case refusals[] = {
        {{"plan", "--svg-scale", "2:50", "--svg", "x.svg"}, "--svg-scale must be 1:N"},
        {{"plan", "--dxf", "missing/dir/x.dxf"}, "Failed to write missing/dir/x.dxf"},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(c.args[2]);
        const auto here = test::fresh_temp_dir();
        const test::CliRun bad = test::run_cli(c.args, here);
        EXPECT_EQ(bad.exit_code, 1);
        EXPECT_EQ(bad.err.rfind(c.err_start, 0), 0u) << bad.err;
        EXPECT_TRUE(std::filesystem::is_empty(here));
    }
}

TEST(PlanDraftVerb, ReportsTheCacheTheRadiusAndTheCommittedSnap) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"plan-draft"},
         {"Plan draft: storey base_z=0 section z=1.2 (1.2 above the floor)\n",
          "  cache: refreshes=2 rebuilds=1 ", " snap_radius=0.333333 m\n",
          "  snap: kind=Endpoint ", "  COMMIT: plan=(0,0) ", "faces 74 -> 74, hash MATCH\n"}},
        {{"plan-draft", "--snap-radius", "2"}, {" snap_radius=0.5 m (CLAMPED)\n"}},
        {{"plan-draft", "--snap-radius", "0.0001", "--cursor", "1.3,0.05"},
         {" snap_radius=0.001 m (CLAMPED)\n", "  snap: kind=none\n",
          "  COMMIT: plan=(1.3,0.05) "}},
        {{"plan-draft", "--plan-base-z", "3.3", "--cursor", "2.5,6"},
         {"section z=4.5 (1.2 above the floor)", "mesh pick straight down: face="}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size());
        const test::CliRun run = test::run_cli(c.args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        for (const std::string& piece : c.expected)
            EXPECT_NE(run.out.find(piece), std::string::npos) << piece << "\n" << run.out;
    }
}

TEST(OrthoSetVerb, DrawsTheLooseGeometryAndRefusesAMissingNode) {
    const auto dir = test::fresh_temp_dir();
    ASSERT_EQ(test::run_cli({"shell-townhouse", "--out", "th.korv"}, dir).exit_code, 0);
    const test::CliRun run = test::run_cli({"ortho-set", "th.korv"}, dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    for (const char* view : {"front", "right", "back", "left"})
        EXPECT_NE(run.out.find(std::string("  elevation ") + view + ": faces="), std::string::npos);
    EXPECT_NE(run.out.find("  plan at z=1.2: cut_lines=24 "), std::string::npos) << run.out;
    const test::CliRun missing = test::run_cli({"ortho-set", "th.korv", "--name", "nope"}, dir);
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.err.rfind("ortho-set: no node named \"nope\"\n", 0), 0u) << missing.err;
}

}  // namespace
}  // namespace korvan::cli
