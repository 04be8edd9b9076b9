// Runs the built binary: what a user sees for usage errors and preconditions.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/cli_runner.h"

namespace korvan::test {

TEST(Dispatch, NoArgumentsPrintsUsageAndExitsOne) {
    const CliRun run = run_cli({});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out.rfind("Korvan CLI\n", 0), 0u);
    EXPECT_EQ(run.err, "");
}

TEST(Dispatch, UnknownVerbPrintsTheSameUsage) {
    const CliRun none = run_cli({});
    for (const char* verb : {"no-such-verb", "STATS", "stats2", ""}) {
        SCOPED_TRACE(verb);
        const CliRun run = run_cli({verb});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, none.out);
    }
}

TEST(Dispatch, RequiredOutIsCheckedBeforeLoading) {
    // The input does not exist: the precondition must fire before any load is attempted.
    const CliRun run =
        run_cli({"face-pushpull", "--in", "missing.korv", "--face", "3", "--distance", "1"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "face-pushpull requires --out\n");
    EXPECT_EQ(run.out, "");
}

TEST(Dispatch, ReadOnlyVerbRefusesOut) {
    const auto dir = fresh_temp_dir();
    const CliRun run = run_cli({"mesh-check", "--out", "x.korv"}, dir);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "mesh-check is read-only and takes no --out\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "x.korv"));
}

TEST(Dispatch, VerbsWithTheirOwnRequirementSentences) {
    EXPECT_EQ(run_cli({"new"}).err, "new requires --out file.korv\n");
    EXPECT_EQ(run_cli({"load"}).err, "--in or file.korv required\n");
}

}  // namespace korvan::test
