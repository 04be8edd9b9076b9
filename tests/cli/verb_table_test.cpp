// The verb table is the one list of verbs: the usage text, dispatch, the preconditions and
// the bare-file rule all read it, so its rows are checked here as data and through the binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/verb_table.h"
#include "tests/cli/cli_checks.h"

namespace korvan::cli {
namespace {

// Every name of the catalogue, aliases included, and how many of them take a bare file.
constexpr std::size_t kVerbNames = 258;
constexpr std::size_t kBareFileVerbs = 172;
constexpr std::string_view kSiteDivider =
    "--- SITE PLAN (terrain from contours, drape, massing) ---------------------";

// Verbs whose handler still answers "<verb>: not built yet". When a verb lands, take its
// name out: this list only ever shrinks.
constexpr std::string_view kNotBuiltYet =
    "batch-villa chamfer-check chamfer-edges cleanup3 crop-to-boundary deep-unhide drape "
    "edge-grid-divide explode-all facade-screen face-maker fixit flatten-to-z gen-wall "
    "generate-buildings jpp list-profiles loft loose-to-groups magnet massing-chain "
    "merge-buildings move-to-plane move-to-z openings-demo orix-delete-tagged "
    "orix-explode orix-isolate orix-purge orix-rename pathtrace push-face quadface "
    "quick-rotate quick-tags railing replace-component reset-axis road-profile "
    "round-check round-edges shape-bend shape-bend-plan shape-bender sweep-profile "
    "tavikscale thicken thinwall-demo tile-face toggle-tags truebend window-joinery";

std::set<std::string_view> words(std::string_view text) {
    std::set<std::string_view> out;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        if (end > 0) out.insert(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return out;
}

bool is_divider(const VerbSpec& v) { return v.name.empty(); }

// Lower-case words (digits allowed) joined by single hyphens.
bool is_verb_name(std::string_view name) {
    if (name.empty() || name.front() == '-' || name.back() == '-') return false;
    char prev = 0;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok || (c == '-' && prev == '-')) return false;
        prev = c;
    }
    return true;
}

// Square brackets nest properly and double quotes pair up.
bool brackets_balance(std::string_view text) {
    int depth = 0, quotes = 0;
    for (char c : text) {
        if (c == '[') ++depth;
        if (c == ']' && --depth < 0) return false;
        if (c == '"') ++quotes;
    }
    return depth == 0 && quotes % 2 == 0;
}

TEST(VerbTable, NamesAreUniqueLowerCaseAndComplete) {
    std::set<std::string_view> seen;
    for (const VerbSpec& v : verb_table()) {
        if (is_divider(v)) continue;
        SCOPED_TRACE(std::string(v.name));
        EXPECT_TRUE(is_verb_name(v.name));
        EXPECT_TRUE(seen.insert(v.name).second) << "listed twice";
    }
    EXPECT_EQ(seen.size(), kVerbNames);
}

TEST(VerbTable, EveryRowHasExactlyOneHandlerOfItsKind) {
    for (const VerbSpec& v : verb_table()) {
        SCOPED_TRACE(std::string(v.name));
        if (is_divider(v)) {
            EXPECT_TRUE(v.run == nullptr && v.run_argv == nullptr && v.marks == 0);
            EXPECT_TRUE(v.synopsis.empty() && v.refusal.empty());
            continue;
        }
        EXPECT_NE(v.run == nullptr, v.run_argv == nullptr);
        EXPECT_EQ(v.run_argv != nullptr, (v.marks & kOwnArgs) != 0);
    }
}

TEST(VerbTable, MarksNeverContradictEachOther) {
    std::size_t bare_file = 0;
    for (const VerbSpec& v : verb_table()) {
        SCOPED_TRACE(std::string(v.name));
        const bool out = v.marks & kRequiresOut, read_only = v.marks & kReadOnly;
        EXPECT_FALSE(out && read_only);
        // An optional --out (D, W) contradicts one that is required or refused.
        const bool optional_out = v.marks & (kDryRun | kWriteBack);
        EXPECT_FALSE(optional_out && (out || read_only));
        const bool requires_in = v.marks & kRequiresIn;
        EXPECT_FALSE(requires_in && v.refusal.empty());
        // A sentence that no precondition can print would be dead text.
        EXPECT_TRUE(v.refusal.empty() || out || read_only || requires_in);
        if (v.marks & kBareFile) ++bare_file;
    }
    EXPECT_EQ(bare_file, kBareFileVerbs);
}

TEST(VerbTable, EarlyVerbsParseTheirOwnArguments) {
    const std::set<std::string_view> early = {"mcp",           "update-keygen", "update-sign",
                                              "update-verify", "truebend",      "shape-bender",
                                              "tavikscale",    "jpp",           "quadface"};
    std::set<std::string_view> own_args;
    for (const VerbSpec& v : verb_table())
        if (v.marks & kOwnArgs) own_args.insert(v.name);
    EXPECT_EQ(own_args, early);
}

TEST(VerbTable, UsageOpensWithReleaseToolingMcpAndNew) {
    std::vector<std::string_view> first;
    int dividers = 0;
    for (const VerbSpec& v : verb_table()) {
        if (!is_divider(v)) {
            if (first.size() < 5) first.push_back(v.name);
            continue;
        }
        ++dividers;
        EXPECT_EQ(v.help, kSiteDivider);
    }
    EXPECT_EQ(first, (std::vector<std::string_view>{"update-keygen", "update-sign", "update-verify",
                                                    "mcp", "new"}));
    EXPECT_EQ(dividers, 1);
}

TEST(VerbTable, SynopsisAndHelpAreWellFormed) {
    for (const VerbSpec& v : verb_table()) {
        if (is_divider(v)) continue;
        SCOPED_TRACE(std::string(v.name));
        EXPECT_TRUE(brackets_balance(v.synopsis)) << v.synopsis;
        EXPECT_EQ(v.synopsis.find("  "), std::string_view::npos);
        ASSERT_FALSE(v.help.empty());
        EXPECT_FALSE(v.help.front() == '\n' || v.help.back() == '\n' || v.help.back() == ' ');
        EXPECT_EQ(v.help.find(" \n"), std::string_view::npos);
        EXPECT_EQ(v.help.find("\n\n"), std::string_view::npos);
        // The synopsis shows what the marks promise.
        if (v.marks & kBareFile) {
            EXPECT_TRUE(v.synopsis.starts_with("[file.korv | --in file.korv]") ||
                        v.synopsis.starts_with("file.korv | --in file.korv"));
        }
        const bool shows_out = v.synopsis.find("--out") != std::string_view::npos;
        EXPECT_TRUE(shows_out || !(v.marks & kRequiresOut));
        EXPECT_FALSE(shows_out && (v.marks & kReadOnly));
    }
}

TEST(VerbTable, FindVerbMatchesWholeNamesOnly) {
    for (const VerbSpec& v : verb_table()) {
        if (!is_divider(v)) {
            EXPECT_EQ(find_verb(v.name), &v) << v.name;
        }
    }
    for (std::string_view name : {"", "STATS", "stats ", "stat", "--in", "#"}) {
        SCOPED_TRACE(std::string(name));
        EXPECT_EQ(find_verb(name), nullptr);
    }
}

TEST(VerbTable, VerbsNotBuiltYetAreExactlyTheListed) {
    const std::set<std::string_view> listed = words(kNotBuiltYet);
    std::set<std::string_view> stubbed;
    for (const VerbSpec& v : verb_table())
        if (v.run == &run_not_built || v.run_argv == &run_argv_not_built) stubbed.insert(v.name);
    for (std::string_view name : stubbed)
        EXPECT_TRUE(listed.count(name)) << name << " answers \"not built yet\" but is not listed";
    for (std::string_view name : listed)
        EXPECT_TRUE(stubbed.count(name)) << name << " has landed: take it out of kNotBuiltYet";
}

TEST(VerbTableCli, UsageMatchesTheGoldenFile) {
    const test::CliRun run = test::run_cli({});
    ASSERT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "");
    const std::string golden = std::string(KORVAN_TESTS_DIR) + "/golden/usage.txt";
    if (const char* update = std::getenv("KORVAN_UPDATE_GOLDEN");
        update != nullptr && std::string_view(update) == "1") {
        std::ofstream(golden, std::ios::binary) << run.out;
    }
    EXPECT_EQ(run.out, test::read_file(golden))
        << "regenerate with KORVAN_UPDATE_GOLDEN=1 and review the diff";
    EXPECT_NE(run.out.find("\n  # " + std::string(kSiteDivider) + "\n"), std::string::npos);
}

// The first stub of each handler kind, run through the binary: the answer comes after the
// option loop and the preconditions, so pick rows that have none to trip.
TEST(VerbTableCli, NotBuiltVerbsSaySoAndExitOne) {
    const VerbSpec* plain = nullptr;
    const VerbSpec* own_args = nullptr;
    for (const VerbSpec& v : verb_table()) {
        if (!plain && v.run == &run_not_built && !(v.marks & (kRequiresOut | kRequiresIn)))
            plain = &v;
        if (!own_args && v.run_argv == &run_argv_not_built) own_args = &v;
    }
    if (!plain && !own_args) GTEST_SKIP() << "every verb has landed";
    for (const VerbSpec* v : {plain, own_args}) {
        if (!v) continue;
        SCOPED_TRACE(std::string(v->name));
        const test::CliRun run = test::run_cli({std::string(v->name)});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.err, std::string(v->name) + ": not built yet\n");
        EXPECT_EQ(run.out, "");
    }
}

// The sentences that replace the standard "requires --out" and "read-only" ones, and the
// defaults where a row has none. Each stops the run before anything is read or written.
TEST(VerbTableCli, PreconditionSentencesComeFromTheRows) {
    using test::refused;
    test::expect_runs(
        test::fresh_temp_dir(),
        {
            refused({"reset-axis", "--in", "missing.korv"},
                    "reset-axis requires --name A[,B...] and --out\n"),
            refused({"shape-bend"},
                    "shape-bend requires --out (use shape-bend-plan for the curve's own numbers "
                    "without the file)\n"),
            refused({"thicken"}, "thicken requires --out\n"),
            refused({"chamfer-check", "--out", "x.korv"},
                    "chamfer-check is read-only; it mutates nothing, so there is nothing to write. "
                    "The mutating verb is chamfer-edges\n"),
            refused({"round-check", "--out", "x.korv"},
                    "round-check is read-only; it mutates nothing, so there is nothing to write. "
                    "The mutating verb is round-edges\n"),
            refused({"shape-bend-plan", "--out", "x.korv"},
                    "shape-bend-plan is read-only -- it is the GATE, the same way contour-check is "
                    "terrain's. The mutating verb is shape-bend\n"),
            refused({"ortho-set", "--out", "x.korv"},
                    "ortho-set is read-only; four elevations and a plan are a drawing, not "
                    "geometry (--dxf on `plan` is how a drawing gets written)\n"),
            refused({"plan", "--out", "x.korv"},
                    "plan is read-only; use --dxf to write the drawing\n"),
            refused({"plan-draft", "--out", "x.korv"},
                    "plan-draft is read-only; it resolves a cursor, it does not edit\n"),
            refused({"contour-check", "--out", "x.korv"},
                    "contour-check is read-only; it reports the contour set, it does not repair it "
                    "(that is contour-join)\n"),
            refused({"purge-report", "--out", "x.korv"},
                    "purge-report is read-only; it is an INVENTORY, not a purge -- the verbs that "
                    "remove things are the delete ones, and each refuses while anything still "
                    "references what it was asked to drop\n"),
            refused({"nest-sheet", "--out", "x.korv"},
                    "nest-sheet is read-only; a sheet layout is a drawing, not geometry -- every "
                    "placement below carries x,y,w,h, so a caller that wants a diagram already has "
                    "the rectangles\n"),
            refused(
                {"nest-boards", "--out", "x.korv"},
                "nest-boards is read-only; nesting produces no geometry (nesting.hpp: \"NOTHING "
                "HERE TOUCHES A Mesh, and that is a decision rather than an omission\")\n"),
            refused({"find-nodes", "--out", "x.korv"},
                    "find-nodes is read-only and takes no --out\n"),
            refused({"loft"}, "loft: --in file.korv is required (its curves are the sections)\n"),
            refused({"dim-reanchor"}, "dim-reanchor requires --in\n"),
        });
}

}  // namespace
}  // namespace korvan::cli
