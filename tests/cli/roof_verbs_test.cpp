// The roof verbs end to end: a dry run prints what the saving run saves, the saved model
// holds the faces the report counts, and refusals exit 2 without writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

const std::string kEll = "0,0 10,0 10,4 4,4 4,10 0,10";

TEST(RoofVerbs, DryRunPrintsWhatTheSavingRunSaves) {
    for (const std::string verb : {"flat-roof", "pitched-roof", "skeleton-roof"}) {
        SCOPED_TRACE(verb);
        const std::filesystem::path dir = fresh_temp_dir();
        const CliRun dry = run_cli({verb, "--roof-plan", kEll}, dir);
        ASSERT_EQ(dry.exit_code, 0) << dry.err;
        EXPECT_TRUE(std::filesystem::is_empty(dir));
        ASSERT_EQ(dry.out.rfind(verb + " footprint=64 roofed=", 0), 0u) << dry.out;
        const CliRun saved = run_cli({verb, "--roof-plan", kEll, "--out", "o.korv"}, dir);
        ASSERT_EQ(saved.exit_code, 0) << saved.err;
        EXPECT_EQ(saved.out, dry.out.substr(0, dry.out.size() - 1) + ", saved to \"o.korv\"\n");
        const Document doc = load_model(dir / "o.korv");
        const std::string faces = stat_value(dry.out, "faces");
        EXPECT_EQ(faces.substr(faces.find("->") + 2),
                  std::to_string(doc.root().mesh.alive_face_count()));
    }
}

TEST(RoofVerbs, DefaultFootprintIsTheTownhouse) {
    const CliRun run = run_cli({"skeleton-roof", "--roof-overhang", "0", "--roof-pitch", "45"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(stat_value(run.out, "footprint"), "60");
    EXPECT_EQ(stat_value(run.out, "facets"), "4");
    EXPECT_EQ(stat_value(run.out, "apex_height"), "2.5");
}

TEST(RoofVerbs, RefusalsExitTwoAndWriteNothing) {
    expect_runs(fresh_temp_dir(),
                {refused({"skeleton-roof", "--roof-pitch", "0", "--out", "o.korv"},
                         "skeleton-roof: pitch must be between 0 and 85 degrees\n", 2),
                 refused({"pitched-roof", "--roof-step", "4", "--out", "o.korv"},
                         "pitched-roof: the first inward step consumed the plan (is it thinner "
                         "than 2 * step?)\n",
                         2),
                 refused({"flat-roof", "--roof-overhang", "0", "--roof-parapet-thick", "2.6",
                          "--out", "o.korv"},
                         "flat-roof: the parapet is thicker than the plan can carry\n", 2),
                 refused({"flat-roof", "--roof-plan", "0,0 1,1 2,2", "--out", "o.korv"},
                         "flat-roof: footprint has zero area\n", 2)});
}

}  // namespace
}  // namespace korvan::test
