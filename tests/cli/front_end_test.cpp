// What a person (or an AI client) meets before any verb runs: help pages, the version, typo
// hints, warnings for unknown options and the completion scripts, all read from the tables.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cli/mcp_server.h"
#include "cli/suggest.h"
#include "cli/verb_help.h"
#include "cli/verb_table.h"
#include "io/json.h"
#include "tests/cli/cli_checks.h"

namespace korvan::cli {
namespace {

using test::Args;
using test::CliRun;
using test::run_cli;

// The first verb carrying each mark, so every mark's words are seen on some page.
std::vector<const VerbSpec*> one_verb_per_mark() {
    std::map<std::uint32_t, const VerbSpec*> first;
    for (const VerbSpec& v : verb_table()) {
        for (std::uint32_t bit = 1; bit <= kRequiresIn; bit <<= 1) {
            if ((v.marks & bit) && !first.count(bit)) first[bit] = &v;
        }
    }
    std::vector<const VerbSpec*> out;
    for (const auto& [bit, verb] : first) out.push_back(verb);
    return out;
}

TEST(FrontEnd, EveryVerbMissingOneLetterSuggestsThatVerb) {
    const std::vector<std::string_view> names = verb_names();
    for (std::string_view name : names) {
        for (std::size_t i = 0; i < name.size(); ++i) {
            const std::string typo =
                std::string(name.substr(0, i)) + std::string(name.substr(i + 1));
            if (find_verb(typo)) continue;  // "faces-mat" minus its s may be a verb of its own
            const auto near = suggest(typo, names);
            SCOPED_TRACE(typo);
            ASSERT_FALSE(near.empty());
            EXPECT_LE(near.size(), 3u);
            EXPECT_NE(std::find(near.begin(), near.end(), name), near.end());
            // Nothing offered is further from the typo than the verb meant.
            for (std::string_view s : near)
                EXPECT_LE(typo_distance(typo, s), typo_distance(typo, name)) << s;
        }
    }
}

TEST(FrontEnd, HelpPagesExitZeroBeforeAnyRuleOfTheVerb) {
    const CliRun reference = run_cli({});
    for (const Args& args : std::vector<Args>{{"help"}, {"--help"}, {"-h"}}) {
        const CliRun run = run_cli(args);
        EXPECT_EQ(run.exit_code, 0) << args[0];
        EXPECT_EQ(run.out, reference.out) << args[0];
    }
    for (const VerbSpec* verb : one_verb_per_mark()) {
        const std::string name(verb->name);
        SCOPED_TRACE(name);
        const CliRun page = run_cli({"help", name});
        ASSERT_EQ(page.exit_code, 0);
        EXPECT_EQ(page.err, "");
        EXPECT_EQ(page.out.rfind("usage: korvan_cli " + name, 0), 0u);
        for (const std::string& phrase : mark_phrases(*verb))
            EXPECT_NE(page.out.find("  * " + phrase + "\n"), std::string::npos) << phrase;
        for (const SynopsisOption& o : synopsis_options(verb->synopsis))
            EXPECT_NE(page.out.find("\n  " + std::string(o.name)), std::string::npos) << o.name;
        // Options that would trip a precondition, a value rule or a strict parser come first;
        // the page still wins.
        for (const Args& args : std::vector<Args>{{name, "--help"},
                                                  {name, "--face", "x", "--out", "o.korv", "-h"},
                                                  {name, "--bogus", "--help"}}) {
            const CliRun run = run_cli(args);
            EXPECT_EQ(run.exit_code, 0);
            EXPECT_EQ(run.out, page.out);
            EXPECT_EQ(run.err, "");
        }
    }
    const CliRun face = run_cli({"help", "face-pushpull"});
    EXPECT_NE(face.out.find("  --face F"), std::string::npos);
    EXPECT_NE(face.out.find("a uint FaceId"), std::string::npos);
    EXPECT_NE(run_cli({"help", "gen-stair"}).out.find("straight|l|u"), std::string::npos);
}

TEST(FrontEnd, VersionNamesTheProgramLibrariesAndTheMcpServersVersion) {
    McpServer server("/", [](const std::vector<std::string>&, const std::filesystem::path&,
                             std::uint32_t) { return platform::ChildRun{}; });
    io::JsonValue reply;
    ASSERT_TRUE(io::parse_json(server.handle_line(R"({"id":1,"method":"initialize"})"), reply));
    const std::string served(
        reply.find("result")->find("serverInfo")->get_string("version", "missing"));
    const CliRun version = run_cli({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(version.out.rfind("korvan_cli " + served + "\n", 0), 0u) << version.out;
    for (const char* line :
         {"\nrevision  ", "\ntbb       ", "\nopenssl   OpenSSL ", "\nstb_image ", "\nassets    "}) {
        EXPECT_NE(version.out.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(run_cli({"version"}).out, version.out);
}

TEST(FrontEnd, UnknownVerbKeepsUsageAndExitAndHintsOnStderr) {
    const CliRun reference = run_cli({});
    const struct {
        Args args;
        const char* err;
    } cases[] = {
        {{"stat"}, "korvan_cli: unknown verb 'stat'; did you mean 'stats'?\n"},
        {{"face-pushpul", "--face", "1"},
         "korvan_cli: unknown verb 'face-pushpul'; did you mean 'face-pushpull'?\n"},
        {{"zzzzzzzzzzzz"}, "korvan_cli: unknown verb 'zzzzzzzzzzzz'\n"},
        {{"hepl"}, "korvan_cli: unknown verb 'hepl'; did you mean 'help'?\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const CliRun run = run_cli(c.args);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, reference.out);
        EXPECT_EQ(run.err, c.err);
    }
    const CliRun help = run_cli({"help", "stat"});
    EXPECT_EQ(help.exit_code, 1);
    EXPECT_EQ(help.err, "korvan_cli: unknown verb 'stat'; did you mean 'stats'?\n");
}

// The same runs with and without a misspelt option: stdout, exit code and the written file
// agree; stderr only gains the warning, first. (A word after an unknown option is a bare
// file, so the runs that carry one also name --in, which wins over it.)
TEST(FrontEnd, UnknownOptionWarnsButNeverChangesTheRun) {
    const auto dir = test::make_models({{"new", "--out", "empty.korv"}});
    const struct {
        Args args;
        Args extra;
        const char* warning;
    } cases[] = {
        {{"face-pushpull", "--face", "0", "--distance", "0.5", "--out", "a.korv"},
         {"--distnce"},
         "warning: unknown option --distnce ignored (did you mean --distance?)\n"},
        {{"face-pushpull", "--face", "999999", "--distance", "1", "--out", "b.korv"},
         {"--fase"},
         "warning: unknown option --fase ignored (did you mean --face?)\n"},
        {{"mesh-volume", "--in", "empty.korv"},
         {"-v", "x.korv"},
         "warning: unknown option -v ignored\n"},
        {{"faces-mat", "--mat", "1", "--in", "empty.korv"},
         {"--material", "4"},
         "warning: unknown option --material ignored\n"},  // an option of other verbs only
        {{"faces-mat", "--mat", "1", "--in", "empty.korv"},
         {"--mats"},
         "warning: unknown option --mats ignored (did you mean --mat?)\n"},
        {{"new", "--out", "c.korv"},
         {"--zzzzzzzz"},
         "warning: unknown option --zzzzzzzz ignored\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.extra[0]);
        const CliRun plain = run_cli(c.args, dir);
        const std::string out_file = c.args.back().ends_with(".korv") ? c.args.back() : "";
        const std::string first = out_file.empty() ? "" : test::read_file(dir / out_file);
        Args with = c.args;
        with.insert(with.begin() + 1, c.extra.begin(), c.extra.end());
        const CliRun warned = run_cli(with, dir);
        EXPECT_EQ(warned.exit_code, plain.exit_code);
        EXPECT_EQ(warned.out, plain.out);
        EXPECT_EQ(warned.err, c.warning + plain.err);
        if (!out_file.empty()) {
            EXPECT_EQ(test::read_file(dir / out_file), first);
        }
    }
}

bool have(const char* program) {
    const std::string probe = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(probe.c_str()) == 0;
}

TEST(FrontEnd, CompletionScriptsParseInEveryInstalledShell) {
    const auto dir = test::fresh_temp_dir();
    for (const char* shell : {"bash", "zsh", "fish"}) {
        SCOPED_TRACE(shell);
        const CliRun run = run_cli({"completion", shell});
        ASSERT_EQ(run.exit_code, 0);
        const auto script = dir / (std::string("script.") + shell);
        std::ofstream(script) << run.out;
        if (!have(shell)) continue;
        const std::string check = std::string(shell) + " -n " + script.string();
        EXPECT_EQ(std::system(check.c_str()), 0) << check;
    }
    EXPECT_EQ(run_cli({"completion", "tcsh"}).exit_code, 1);
}

// A scripted bash session: the words typed so far, the completion function's answer.
TEST(FrontEnd, BashCompletesVerbsOptionsWordsAndModelFiles) {
    const auto dir = test::fresh_temp_dir();
    std::ofstream(dir / "completion.bash") << run_cli({"completion", "bash"}).out;
    std::ofstream(dir / "house.korv") << "";
    std::ofstream(dir / "notes.txt") << "";
    const struct {
        const char* words;
        const char* expected;
    } cases[] = {
        {"korvan_cli face-pu", "face-pushpull"},
        {"korvan_cli mesh-v", "mesh-volume"},
        {"korvan_cli face-pushpull --dis", "--distance"},
        {"korvan_cli mesh-boolean --op s", "subtract"},
        {"korvan_cli gen-stair --shape ", "straight l u"},
        {"korvan_cli stats h", "house.korv"},
        {"korvan_cli help stat", "stats"},
        {"korvan_cli completion f", "fish"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        const std::string script = "cd '" + dir.string() +
                                   "' && source completion.bash && COMP_WORDS=(" + c.words +
                                   (std::string_view(c.words).ends_with(" ") ? "''" : "") +
                                   ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _korvan_cli && "
                                   "echo \"${COMPREPLY[*]}\" > reply";
        std::ofstream(dir / "session.sh") << script;
        ASSERT_EQ(std::system(("bash " + (dir / "session.sh").string()).c_str()), 0);
        EXPECT_EQ(test::read_file(dir / "reply"), std::string(c.expected) + "\n");
    }
}

}  // namespace
}  // namespace korvan::cli
