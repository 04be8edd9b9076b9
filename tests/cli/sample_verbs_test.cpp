#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "tests/cli/cli_checks.h"
#include "tests/support/solid_checks.h"

namespace korvan::test {
namespace {

namespace fs = std::filesystem;

// A generated house holds one instance and one definition per opening, three scenes and
// closed solids; a shell has walls, slabs and a roof: far more faces than the storey boxes.
DocCheck house(std::vector<std::string> openings, bool hollow) {
    return [=](const Document& doc) {
        EXPECT_EQ(instance_definitions(doc), openings);
        EXPECT_EQ(doc.definitions().size(), openings.size());
        EXPECT_EQ(doc.scenes().size(), 3u);
        expect_closed_solids(doc.root().mesh);
        EXPECT_EQ(doc.root().mesh.alive_face_count() > 6u * 3u, hollow);
    };
}

TEST(SampleVerbs, GeneratorsWriteTheNativeFileWithTheRequestedOpenings) {
    const std::string wrote = "Wrote Session \"house.korv\"\n";
    const std::string door = "door_go_2canh_90", window = "window_nhom_120x140",
                      balcony = "window_ban_cong_180";
    expect_runs(
        fresh_temp_dir(),
        {
            ok({"shell-townhouse", "--out", "house.korv"}, wrote, "",
               house({door, window, balcony}, true)),
            ok({"gen-townhouse", "--out", "house.korv"}, wrote, "",
               house({door, window, balcony}, false)),
            ok({"gen-townhouse", "--storeys", "1", "--out", "house.korv"}, wrote, "",
               house({door, window}, false)),
            ok({"gen-townhouse", "--no-door", "--no-windows", "--hollow", "--out", "house.korv"},
               wrote, "", house({}, true)),
            ok({"gen-townhouse", "--bwidth", "7", "--bdepth", "9", "--storey-height", "3",
                "--no-door", "--out", "house.korv"},
               wrote, "", house({window, balcony}, false)),
        });
}

TEST(SampleVerbs, GeneratedFilesAreIdenticalAcrossRuns) {
    for (const char* verb : {"gen-townhouse", "shell-villa", "gen-villa"}) {
        SCOPED_TRACE(verb);
        const fs::path dir = fresh_temp_dir();
        std::vector<std::string> args{verb, "--pool", "--out", "a.korv"};
        if (std::string(verb) == "gen-townhouse") args.erase(args.begin() + 1);
        ASSERT_EQ(run_cli(args, dir).exit_code, 0);
        args.back() = "b.korv";
        ASSERT_EQ(run_cli(args, dir).exit_code, 0);
        const std::string first = read_file(dir / "a.korv");
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(first, read_file(dir / "b.korv"));
    }
}

TEST(SampleVerbs, RefusalsAndUnbuiltFormsWriteNothing) {
    expect_runs(
        fresh_temp_dir(),
        {
            refused({"gen-townhouse", "--storeys", "201", "--out", "a.korv"},
                    "gen-townhouse: storeys must be from 1 to 200\n"),
            refused({"gen-villa", "--bwidth", "0", "--out", "a.korv"},
                    "--bwidth must be a positive float\n"),
        });
    const fs::path dir = fresh_temp_dir();
    std::ofstream(dir / "blocker") << "a file where a folder should be";
    expect_runs(dir, {refused({"gen-townhouse", "--out", "blocker/house.korv"},
                              "Failed to write Session \"blocker/house.korv\": Not a directory\n"),
                      refused({"gen-townhouse", "--out", "blocker/folder"},
                              "gen-townhouse: could not create the folder \"blocker/folder\": Not "
                              "a directory\n")});
}

TEST(PlacementVerbs, PlaceDoorAndWindowAddInstancesAndFallbackDefinitions) {
    // The fallback model already holds three openings.
    expect_runs(
        fresh_temp_dir(),
        {
            ok({"place-door", "--at", "1,0,0", "--out", "a.korv"},
               "Placed door \"Door\", 4 total instances, saved to \"a.korv\"\n"),
            ok({"place-window", "a.korv", "--id", "slot_1x1", "--width", "1", "--height", "1",
                "--at", "0,3,1", "--normal", "-1,0,0", "--out", "b.korv"},
               "Placed window \"Window\", 5 total instances, saved to \"b.korv\"\n", "",
               [](const Document& doc) {
                   ASSERT_GE(doc.find_definition("slot_1x1"), 0);
                   const SceneNode& window = *doc.root().children.back();
                   EXPECT_EQ(window.definition_id, "slot_1x1");
                   EXPECT_FLOAT_EQ(window.transform.m[12], 0.0f);
                   EXPECT_FLOAT_EQ(window.transform.m[13], 3.0f);
                   EXPECT_FLOAT_EQ(window.transform.m[14], 1.0f);
                   // The fallback frame is built at the requested size and closed.
                   expect_closed_solids(
                       doc.definitions()[static_cast<std::size_t>(doc.find_definition("slot_1x1"))]
                           .mesh);
               }),
        });
}

TEST(PlacementVerbs, CreateInstanceAndArrayPlaceRegisteredDefinitions) {
    expect_runs(
        fresh_temp_dir(),
        {
            ok({"create-instance", "--def-id", "door_go_2canh_90", "--at", "1,2,3", "--name",
                "Back door", "--out", "a.korv"},
               "Created instance \"Back door\" of \"door_go_2canh_90\", 4 total instances, saved "
               "to \"a.korv\"\n"),
            ok({"instance-array", "a.korv", "--def-id", "window_nhom_120x140", "--count", "3",
                "--step", "0,2.5,0", "--out", "b.korv"},
               "Arrayed 3 instance(s) of \"window_nhom_120x140\" at step (0,2.5,0), 7 total "
               "instances, saved to \"b.korv\"\n",
               "",
               [](const Document& doc) {
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
               }),
        });
}

TEST(PlacementVerbs, RefusalsWriteNothing) {
    const std::string missing =
        " not found in document (use 'korvan_cli defs --in file.korv' to list available ids, or "
        "run place-door/place-window first to create a fallback definition)\n";
    expect_runs(
        fresh_temp_dir(),
        {
            refused({"create-instance", "--def-id", "nope", "--out", "x.korv"},
                    "create-instance: definition \"nope\"" + missing),
            refused({"create-instance", "--out", "x.korv"},
                    "create-instance: --def-id ID is required\n"),
            refused({"instance-array", "--def-id", "nope", "--count", "2", "--out", "x.korv"},
                    "instance-array: definition \"nope\"" + missing),
            refused({"instance-array", "--def-id", "door_go_2canh_90", "--count", "0", "--out",
                     "x.korv"},
                    "instance-array: --count must be at least 1\n"),
            refused({"instance-array", "--def-id", "door_go_2canh_90", "--count", "100001", "--out",
                     "x.korv"},
                    "instance-array: --count must be at most 100000\n"),
            refused({"place-door", "--normal", "0,0,0", "--out", "x.korv"},
                    "place-door: normal must have a direction\n"),
            refused({"place-window", "--id", "bad\tid", "--out", "x.korv"},
                    "place-window: definition id must not hold a tab or line break\n"),
        });
}

}  // namespace
}  // namespace korvan::test
