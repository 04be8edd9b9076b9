// `cmake --install` into a temporary prefix, then the installed program run from there: it
// must find its assets beside itself, without KORVAN_ASSETS_DIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

TEST(Install, LaysOutProgramAssetsManualPageAndCompletions) {
    const std::filesystem::path dir = fresh_temp_dir();
    const std::filesystem::path prefix = dir / "prefix";
    const std::string install = std::string("'") + KORVAN_CMAKE_COMMAND + "' --install '" +
                                KORVAN_BUILD_DIR + "' --prefix '" + prefix.string() + "' > '" +
                                (dir / "install.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << read_file(dir / "install.log");
    for (const char* file :
         {"bin/korvan_cli", "share/korvan/assets/components/index.json",
          "share/man/man1/korvan_cli.1", "share/bash-completion/completions/korvan_cli",
          "share/zsh/site-functions/_korvan_cli",
          "share/fish/vendor_completions.d/korvan_cli.fish"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(prefix / file)) << file;
    }

    ::unsetenv("KORVAN_ASSETS_DIR");
    const std::filesystem::path program = prefix / "bin" / "korvan_cli";
    const CliRun version = run_program(program, {"--version"});
    EXPECT_NE(
        version.out.find("\nassets    \"" +
                         (prefix / "share/korvan/assets").lexically_normal().string() + "\"\n"),
        std::string::npos)
        << version.out;
    for (const Args& args : std::vector<Args>{{"stats"}, {"help"}, {"help", "stats"}}) {
        SCOPED_TRACE(args.back());
        const CliRun installed = run_program(program, args);
        const CliRun built = run_cli(args);
        EXPECT_EQ(installed.exit_code, 0);
        EXPECT_EQ(installed.out, built.out);
    }
    // The installed scripts are the ones the program prints.
    EXPECT_EQ(read_file(prefix / "share/bash-completion/completions/korvan_cli"),
              run_cli({"completion", "bash"}).out);

    // The manual page renders without a roff warning where groff is installed (long
    // synopses that cannot be justified aside).
    if (std::system("command -v groff >/dev/null 2>&1") == 0) {
        const std::string render = "groff -man -Tutf8 -ww -Wbreak -z '" +
                                   (prefix / "share/man/man1/korvan_cli.1").string() + "' 2> '" +
                                   (dir / "groff.log").string() + "'";
        EXPECT_EQ(std::system(render.c_str()), 0);
        EXPECT_EQ(read_file(dir / "groff.log"), "");
    }
}

}  // namespace
}  // namespace korvan::test
