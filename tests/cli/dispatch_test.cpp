// Runs the built binary: what a user sees for usage errors and preconditions.
#include <gtest/gtest.h>

#include "tests/cli/cli_checks.h"

namespace korvan::test {

// The usage text itself, exit code included, is pinned by the golden-file test.
TEST(Dispatch, UnknownVerbPrintsTheSameUsage) {
    const CliRun none = run_cli({});
    ASSERT_EQ(none.out.rfind("Korvan CLI\n", 0), 0u);
    for (const char* verb : {"no-such-verb", "STATS", "stats2", ""}) {
        SCOPED_TRACE(verb);
        const CliRun run = run_cli({verb});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, none.out);
    }
}

// The input of the first run does not exist: the precondition must fire before any load.
TEST(Dispatch, PreconditionsRefuseBeforeLoadingOrWriting) {
    expect_runs(
        fresh_temp_dir(),
        {
            refused({"face-pushpull", "--in", "missing.korv", "--face", "3", "--distance", "1"},
                    "face-pushpull requires --out\n"),
            refused({"mesh-check", "--out", "x.korv"},
                    "mesh-check is read-only and takes no --out\n"),
            refused({"new"}, "new requires --out file.korv\n"),
            refused({"load"}, "--in or file.korv required\n"),
        });
}

}  // namespace korvan::test
