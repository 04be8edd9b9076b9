#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "document/document.h"
#include "io/korv_reader.h"
#include "tests/support/cli_runner.h"
#include "tests/support/solid_checks.h"

namespace korvan::cli {
namespace {

namespace fs = std::filesystem;
using test::run_cli;

Document load(const fs::path& path) {
    Document doc;
    EXPECT_TRUE(io::load_document(path, doc)) << path;
    return doc;
}

std::string bytes_of(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> instance_definitions(const Document& doc) {
    std::vector<std::string> ids;
    for (const auto& child : doc.root().children) {
        if (child->is_instance()) ids.push_back(child->definition_id);
    }
    return ids;
}

// Runs args in an empty folder and expects exit 1, exactly err, and the folder still empty.
void expect_refused(const std::vector<std::string>& args, const std::string& err) {
    std::string trace;
    for (const std::string& a : args) trace += a + ' ';
    SCOPED_TRACE(trace);
    const fs::path dir = test::fresh_temp_dir();
    const test::CliRun run = run_cli(args, dir);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, err);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(SampleVerbs, GeneratorsWriteTheNativeFileWithTheRequestedOpenings) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> openings;
        bool hollow;
    };
    const std::vector<Case> cases = {
        {{"shell-townhouse"},
         {"door_go_2canh_90", "window_nhom_120x140", "window_ban_cong_180"},
         true},
        {{"gen-townhouse"},
         {"door_go_2canh_90", "window_nhom_120x140", "window_ban_cong_180"},
         false},
        {{"gen-townhouse", "--storeys", "1"}, {"door_go_2canh_90", "window_nhom_120x140"}, false},
        {{"gen-townhouse", "--no-door", "--no-windows", "--hollow"}, {}, true},
        {{"gen-townhouse", "--bwidth", "7", "--bdepth", "9", "--storey-height", "3", "--no-door"},
         {"window_nhom_120x140", "window_ban_cong_180"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
        const fs::path dir = test::fresh_temp_dir();
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", "house.korv"});
        const test::CliRun run = run_cli(args, dir);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, "Wrote Session \"house.korv\"\n");
        EXPECT_EQ(run.err, "");
        const Document doc = load(dir / "house.korv");
        EXPECT_EQ(instance_definitions(doc), c.openings);
        EXPECT_EQ(doc.definitions().size(), c.openings.size());
        EXPECT_EQ(doc.scenes().size(), 3u);
        test::expect_closed_solids(doc.root().mesh);
        // A shell has walls, slabs and a roof: far more faces than the storey boxes.
        if (c.hollow) {
            EXPECT_GT(doc.root().mesh.alive_face_count(), 6u * 3u);
        } else {
            EXPECT_LE(doc.root().mesh.alive_face_count(), 6u * 3u);
        }
    }
}

TEST(SampleVerbs, GeneratedFilesAreIdenticalAcrossRuns) {
    for (const char* verb : {"gen-townhouse", "shell-villa", "gen-villa"}) {
        SCOPED_TRACE(verb);
        const fs::path dir = test::fresh_temp_dir();
        std::vector<std::string> args{verb, "--pool", "--out", "a.korv"};
        if (std::string(verb) == "gen-townhouse") args.erase(args.begin() + 1);
        ASSERT_EQ(run_cli(args, dir).exit_code, 0);
        args.back() = "b.korv";
        ASSERT_EQ(run_cli(args, dir).exit_code, 0);
        const std::string first = bytes_of(dir / "a.korv");
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(first, bytes_of(dir / "b.korv"));
    }
}

TEST(SampleVerbs, RefusalsAndUnbuiltFormsWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"shell-townhouse", "--out", "house.obj"}, "shell-townhouse: not built yet\n"},
        {{"gen-villa", "--out", "house.obj", "--korvan"}, "gen-villa: not built yet\n"},
        {{"shell-villa", "--out", "folder"}, "shell-villa: not built yet\n"},
        // Without --out the output is the folder "korvan_out".
        {{"gen-townhouse"}, "gen-townhouse: not built yet\n"},
        {{"gen-townhouse", "--storeys", "201", "--out", "a.korv"},
         "gen-townhouse: storeys must be from 1 to 200\n"},
        {{"gen-villa", "--bwidth", "0", "--out", "a.korv"}, "--bwidth must be a positive float\n"},
    };
    for (const Case& c : cases) expect_refused(c.args, c.err);
}

TEST(SampleVerbs, UnwritableTargetFailsWithTheSessionMessage) {
    const fs::path dir = test::fresh_temp_dir();
    std::ofstream(dir / "blocker") << "a file where a folder should be";
    const test::CliRun run = run_cli({"gen-townhouse", "--out", "blocker/house.korv"}, dir);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Failed to write Session \"blocker/house.korv\"\n");
}

TEST(PlacementVerbs, PlaceDoorAndWindowAddInstancesAndFallbackDefinitions) {
    const fs::path dir = test::fresh_temp_dir();
    // The fallback model already holds three openings.
    test::CliRun run = run_cli({"place-door", "--at", "1,0,0", "--out", "a.korv"}, dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "Placed door \"Door\", 4 total instances, saved to \"a.korv\"\n");

    run = run_cli({"place-window", "a.korv", "--id", "slot_1x1", "--width", "1", "--height", "1",
                   "--at", "0,3,1", "--normal", "-1,0,0", "--out", "b.korv"},
                  dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "Placed window \"Window\", 5 total instances, saved to \"b.korv\"\n");

    const Document doc = load(dir / "b.korv");
    ASSERT_GE(doc.find_definition("slot_1x1"), 0);
    const SceneNode& window = *doc.root().children.back();
    EXPECT_EQ(window.definition_id, "slot_1x1");
    EXPECT_FLOAT_EQ(window.transform.m[12], 0.0f);
    EXPECT_FLOAT_EQ(window.transform.m[13], 3.0f);
    EXPECT_FLOAT_EQ(window.transform.m[14], 1.0f);
    // The fallback frame is built at the requested size and closed.
    test::expect_closed_solids(
        doc.definitions()[static_cast<std::size_t>(doc.find_definition("slot_1x1"))].mesh);
}

TEST(PlacementVerbs, CreateInstanceAndArrayPlaceRegisteredDefinitions) {
    const fs::path dir = test::fresh_temp_dir();
    test::CliRun run = run_cli({"create-instance", "--def-id", "door_go_2canh_90", "--at", "1,2,3",
                                "--name", "Back door", "--out", "a.korv"},
                               dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out,
              "Created instance \"Back door\" of \"door_go_2canh_90\", 4 total instances, saved to "
              "\"a.korv\"\n");

    run = run_cli({"instance-array", "a.korv", "--def-id", "window_nhom_120x140", "--count", "3",
                   "--step", "0,2.5,0", "--out", "b.korv"},
                  dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out,
              "Arrayed 3 instance(s) of \"window_nhom_120x140\" at step (0,2.5,0), 7 total "
              "instances, saved to \"b.korv\"\n");

    const Document doc = load(dir / "b.korv");
    const auto& children = doc.root().children;
    ASSERT_GE(children.size(), 4u);
    const SceneNode& back_door = *children[children.size() - 4];
    EXPECT_EQ(back_door.name, "Back door");
    EXPECT_FLOAT_EQ(back_door.transform.m[14], 3.0f);
    for (std::size_t i = 0; i < 3; ++i) {
        const SceneNode& node = *children[children.size() - 3 + i];
        EXPECT_EQ(node.name, "Array " + std::to_string(i + 1));
        EXPECT_EQ(node.definition_id, "window_nhom_120x140");
        EXPECT_FLOAT_EQ(node.transform.m[13], 2.5f * static_cast<float>(i));
    }
}

TEST(PlacementVerbs, RefusalsWriteNothing) {
    const std::string missing =
        " not found in document (use 'korvan_cli defs --in file.korv' to list available ids, or "
        "run place-door/place-window first to create a fallback definition)\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"create-instance", "--def-id", "nope", "--out", "x.korv"},
         "create-instance: definition \"nope\"" + missing},
        {{"create-instance", "--out", "x.korv"}, "create-instance: --def-id ID is required\n"},
        {{"instance-array", "--def-id", "nope", "--count", "2", "--out", "x.korv"},
         "instance-array: definition \"nope\"" + missing},
        {{"instance-array", "--def-id", "door_go_2canh_90", "--count", "0", "--out", "x.korv"},
         "instance-array: --count must be at least 1\n"},
        {{"instance-array", "--def-id", "door_go_2canh_90", "--count", "100001", "--out",
          "x.korv"},
         "instance-array: --count must be at most 100000\n"},
        {{"place-door", "--normal", "0,0,0", "--out", "x.korv"},
         "place-door: normal must have a direction\n"},
        {{"place-window", "--id", "bad\tid", "--out", "x.korv"},
         "place-window: definition id must not hold a tab or line break\n"},
    };
    for (const Case& c : cases) expect_refused(c.args, c.err);
}

}  // namespace
}  // namespace korvan::cli
