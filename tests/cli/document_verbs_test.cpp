// The document and scene-graph verbs through the built binary: exact reports, naming of new
// entries, refusals, and which runs write a file and which leave it alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

Mesh unit_box(std::uint32_t material = 0) {
    Mesh m = cube_mesh();
    for (FaceId f = 0; f < 6; ++f) m.face_mut(f).material_id = material;
    return m;
}

// A small model: a root box, groups "Door" (tagged Doors) and "Shelf" (empty) and an instance
// "Chair" of "chair", an unused definition "stool", two scenes, a section and a label on an
// otherwise unused tag.
Document small_model() {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    const std::int32_t doors = doc.ensure_tag("Doors");
    const std::int32_t notes = doc.ensure_tag("Notes");
    doc.root().mesh = unit_box(2);
    SceneNode* door =
        doc.create_group(&doc.root(), "Door", unit_box(3), Mat4::translation({4, 0, 0}));
    door->tag = doors;
    doc.create_group(&doc.root(), "Shelf");
    doc.add_definition(ComponentDefinition{"chair", "Chair", "Seating", unit_box(5)});
    doc.add_definition(ComponentDefinition{"stool", "Stool", "Seating", unit_box(6)});
    doc.create_instance(&doc.root(), "chair", "Chair", Mat4::translation({0, 3, 0}));
    doc.add_scene("Front");
    doc.add_scene("Back");
    doc.add_section("Cut");
    doc.add_label(TextLabel{"North", {0, 5, 0}, 0.3f, notes});
    return doc;
}

// Writes small_model() as a.korv in a fresh directory.
std::filesystem::path model_dir() {
    const auto dir = fresh_temp_dir();
    write_model(dir / "a.korv", small_model());
    return dir;
}

}  // namespace

TEST(DocumentVerbs, ListingsPrintEveryTable) {
    const auto dir = model_dir();
    expect_runs(
        dir,
        {
            ok({"tags", "a.korv"},
               "tags=3\n  0 \"Layer0\" on nodes=0\n  1 \"Doors\" on nodes=1\n"
               "  2 \"Notes\" on nodes=0\n"),
            ok({"list-groups", "a.korv"},
               "groups=2\n  0 \"Door\" children=0 at=(4,0,0) scale=(1,1,1) tag=1 \"Doors\" "
               "visible=1\n"
               "  1 \"Shelf\" children=0 at=(0,0,0) scale=(1,1,1) tag=-1 visible=1\n"),
            ok({"instances", "a.korv"},
               "instances=1\n  0 \"Chair\" def=\"chair\" at=(0,3,0) scale=(1,1,1) tag=-1 "
               "visible=1\n"),
            ok({"defs", "a.korv"},
               "defs=2 unused=1\n"
               "  0 id=\"chair\" name=\"Chair\" category=\"Seating\" faces=6 instances=1\n"
               "  1 id=\"stool\" name=\"Stool\" category=\"Seating\" faces=6 instances=0\n"),
            ok({"list-sections", "a.korv"},
               "sections=1\n  0 \"Cut\"  point=(0,0,0)  normal=(0,0,1)  active=1\n"),
            ok({"lights", "a.korv"}, "lights=0\n"),
            ok({"find-nodes", "a.korv", "--nodes", "o", "--node-match", "contains"},
               "matches=2\n  \"Model\" kind=group parent=\"\"\n  \"Door\" kind=group "
               "parent=\"Model\"\n"),
            ok({"find-nodes", "a.korv", "--nodes", "CH", "--node-match", "prefix", "--node-ci"},
               "matches=1\n  \"Chair\" kind=instance parent=\"Model\"\n"),
            ok({"find-nodes", "a.korv", "--nodes", "CH", "--node-match", "prefix"}, "matches=0\n"),
        });
}

TEST(DocumentVerbs, PurgeReportListsUnusedThingsAndWarnsAboutLabelledTags) {
    const auto dir = model_dir();
    const CliRun run = run_cli({"purge-report", "a.korv"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    std::string want =
        "purge-report meshes_scanned=6 (the root mesh, every node mesh visible or not, and every "
        "definition mesh -- a material used only inside a ComponentDefinition IS used)\n"
        "  tags=2/3 definitions=1/2 materials=21/25\n"
        "  would free: definition_faces=6 definition_vertices=8  empty_nodes=1 (an empty group "
        "is not \"unused\" -- it can be a deliberate folder)\n"
        "  unused tag 0 \"Layer0\" faces=0 vertices=0\n"
        "  unused tag 2 \"Notes\" faces=0 vertices=0\n"
        "  unused definition 1 \"Stool\" id=stool faces=6 vertices=8\n";
    ASSERT_EQ(run.out.substr(0, want.size()), want);
    EXPECT_NE(run.out.find("  unused material 0 "), std::string::npos);
    EXPECT_EQ(run.out.find("  unused material 2 "), std::string::npos);  // root faces
    EXPECT_EQ(run.out.find("  unused material 6 "), std::string::npos);  // unused definition's
    EXPECT_NE(run.out.find("  WARNING: tag 2 \"Notes\" is listed as unused but 1 label(s) still "
                           "carry it; deleting it leaves them untagged\n"),
              std::string::npos);
}

TEST(DocumentVerbs, NewEntriesAreNamedByTheTableRules) {
    const auto dir = model_dir();
    Document doc = small_model();
    // Two scenes: the third is Scene 3; when that name is taken, Scene 3_2.
    doc.scenes()[1].name = "Scene 3";
    write_model(dir / "taken.korv", doc);
    expect_runs(
        dir,
        {
            ok({"scenes", "a.korv", "--add", "--out", "a.korv"},
               "added=1 scene_index=2 name=\"Scene 3\", saved to \"a.korv\"\n"
               "scenes=3\n"
               "  0 \"Front\"  eye=(10,-14,8)  target=(0,0,2.5)  up=(0,0,1)  fov=45  photo=\"\"\n"
               "  1 \"Back\"  eye=(10,-14,8)  target=(0,0,2.5)  up=(0,0,1)  fov=45  photo=\"\"\n"
               "  2 \"Scene 3\"  eye=(10,-14,8)  target=(0,0,2.5)  up=(0,0,1)  fov=45  "
               "photo=\"\"\n"),
            ok({"sections", "a.korv", "--add"},
               "added=1 section_index=1 name=\"Section 2\"\n"
               "sections=2\n  0 \"Cut\"  point=(0,0,0)  normal=(0,0,1)  active=1\n"
               "  1 \"Section 2\"  point=(0,0,0)  normal=(0,0,1)  active=1\n"),
        });
    const CliRun taken = run_cli({"scenes", "taken.korv", "--add"}, dir);
    EXPECT_EQ(taken.out.substr(0, taken.out.find('\n')),
              "added=1 scene_index=2 name=\"Scene 3_2\"");

    // Duplicating Door twice through the file: Door copy, then Door copy2.
    for (const char* want : {"Door copy", "Door copy2"}) {
        SCOPED_TRACE(want);
        const CliRun run = run_cli(
            {"groups", "--in", "a.korv", "--name", "Door", "--duplicate", "--out", "a.korv"}, dir);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
                  std::string("duplicated=\"Door\" copy=\"") + want + "\", saved to \"a.korv\"");
    }
    const Document saved = load_model(dir / "a.korv");
    EXPECT_NE(saved.find_node_by_name("Door copy2"), nullptr);
    EXPECT_EQ(saved.scenes().size(), 3u);
}

TEST(DocumentVerbs, ConflictingEditsAreRefusedBeforeAnythingIsWritten) {
    const auto dir = model_dir();
    const std::string out = "b.korv";
    expect_runs(
        dir,
        {
            refused(
                {"groups", "a.korv", "--name", "Door", "--translate", "1,0,0", "--rotate", "0,0,90",
                 "--out", out},
                "groups: --translate, --position, --scale, --set-scale, and --rotate are mutually "
                "exclusive\n"),
            refused({"instances", "a.korv", "--name", "Chair", "--position", "1,0,0", "--set-scale",
                     "2", "--out", out},
                    "instances: --translate, --position, --scale, --set-scale, and --rotate are "
                    "mutually "
                    "exclusive\n"),
            refused(
                {"groups", "a.korv", "--name", "Door", "--delete", "--visible", "0", "--out", out},
                "groups: --delete cannot be combined with any other edit\n"),
            refused({"groups", "a.korv", "--name", "Door", "--duplicate", "--rename", "X", "--out",
                     out},
                    "groups: --duplicate cannot be combined with any other edit\n"),
            refused(
                {"instances", "a.korv", "--name", "Chair", "--bake", "--tag", "1", "--out", out},
                "instances: --bake cannot be combined with any other edit\n"),
            refused({"groups", "a.korv", "--name", "Door", "--reparent", "Shelf", "--delete",
                     "--out", out},
                    "groups: --delete cannot be combined with any other edit\n"),
            refused({"groups", "a.korv", "--name", "Door", "--make-unique", "--out", out},
                    "groups: --make-unique applies to instances only\n"),
            refused({"groups", "a.korv", "--name", "Chair", "--visible", "0", "--out", out},
                    "groups: no group named \"Chair\"\n"),
            refused({"groups", "a.korv", "--name", "Door", "--tag", "Missing", "--out", out},
                    "groups: no tag named \"Missing\"\n"),
            refused(
                {"defs", "a.korv", "--name", "chair", "--rename", "X", "--delete", "--out", out},
                "defs: --rename, --delete, --duplicate and --category are mutually exclusive\n"),
            refused(
                {"defs", "a.korv", "--name", "chair", "--delete", "--out", out},
                "defs: definition \"chair\" is still shown by 1 instance(s); nothing deleted\n"),
            refused({"tags", "a.korv", "--name", "Doors", "--delete", "--duplicate", "--out", out},
                    "tags: --add, --visible, --rename, --delete and --duplicate are mutually "
                    "exclusive\n"),
            refused({"scenes", "a.korv", "--index", "7", "--delete", "--out", out},
                    "scenes: no scene at index 7 (scenes=2)\n"),
            refused({"explode", "a.korv", "--index", "3", "--out", out},
                    "explode: index 3 out of range (explodables=3)\n"),
            refused(
                {"align-nodes", "a.korv", "--nodes", "Door", "--align-mode", "min", "--out", out},
                "align-nodes refused: aligning needs at least two nodes; nothing moved\n"),
            refused(
                {"align-nodes", "a.korv", "--nodes", "", "--node-match", "contains", "--align-mode",
                 "max", "--out", out},
                "align-nodes requires --nodes TEXT and --align-mode min|centre|max|distribute\n"),
            refused({"align-nodes", "a.korv", "--nodes", "Shelf", "--node-match", "prefix",
                     "--align-mode", "max", "--out", out},
                    "align-nodes refused: aligning needs at least two nodes; nothing moved\n"),
            refused({"batch-rename", "a.korv", "--nodes", "C", "--node-match", "prefix",
                     "--rename-pattern", "Door", "--rename-strict", "--out", out},
                    "batch-rename refused: 1 new name(s) collide with other nodes' names "
                    "(--rename-strict); nothing renamed\n"),
            refused({"isolate", "a.korv", "--nodes", "Nothing", "--out", out},
                    "isolate: no node matches \"Nothing\"\n", 2),
        });
}

TEST(DocumentVerbs, ListingEditsStayInMemoryWithoutOut) {
    const auto dir = model_dir();
    const auto path = dir / "a.korv";
    const std::string before = read_file(path);
    const std::vector<std::vector<std::string>> runs = {
        {"tags", "--in", "a.korv", "--add", "--name", "Windows"},
        {"tags", "--in", "a.korv", "--name", "Doors", "--delete"},
        {"groups", "--in", "a.korv", "--name", "Door", "--translate", "0,1,0"},
        {"instances", "--in", "a.korv", "--name", "Chair", "--make-unique"},
        {"defs", "--in", "a.korv", "--name", "stool", "--delete"},
        {"scenes", "--in", "a.korv", "--index", "0", "--rename", "Street"},
        {"sections", "--in", "a.korv", "--name", "Cut", "--delete"},
        {"lights", "--in", "a.korv", "--add", "--light-kind", "sun"},
        {"align-nodes", "--in", "a.korv", "--nodes", "r", "--node-match", "suffix", "--align-mode",
         "min"},
        {"batch-rename", "--in", "a.korv", "--nodes", "Door", "--rename-pattern", "D{n}"},
        {"isolate", "--in", "a.korv", "--nodes", "Door"},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[0] + " " + args[3]);
        const CliRun run = run_cli(args, dir);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out.find("saved to"), std::string::npos) << run.out;
        EXPECT_EQ(read_file(path), before);
    }
}

TEST(DocumentVerbs, WriteBackVerbsOverwriteTheInputWithoutOut) {
    const auto dir = fresh_temp_dir();
    expect_runs(dir, {
                         refused({"clear-mesh", "--in", "a.korv"}, "Failed to load \"a.korv\"\n"),
                     });
    write_model(dir / "a.korv", small_model());
    expect_runs(
        dir, {
                 ok({"clear-mesh", "--in", "a.korv"}, "faces=0 empty=1, saved to \"a.korv\"\n"),
                 // The file keeps instances before groups, so the chair comes first, then the door.
                 ok({"explode", "--in", "a.korv"}, "faces_added=6, saved to \"a.korv\"\n"),
                 ok({"explode", "--in", "a.korv", "--index", "0"},
                    "faces_added=6, saved to \"a.korv\"\n"),
             });
    Document doc = load_model(dir / "a.korv");
    EXPECT_EQ(doc.root().mesh.alive_faces().size(), 12u);
    ASSERT_EQ(doc.root().children.size(), 1u);
    EXPECT_EQ(doc.root().children[0]->name, "Shelf");

    expect_runs(dir, {
                         ok({"clear-document", "a.korv", "--out", "c.korv"},
                            "doc_empty=1 empty=1, saved to \"c.korv\"\n"),
                         ok({"clear-doc", "a.korv"}, "doc_empty=1 empty=1, saved to \"a.korv\"\n"),
                     });
    const Document cleared = load_model(dir / "a.korv");
    EXPECT_TRUE(cleared.root().children.empty());
    EXPECT_TRUE(cleared.definitions().empty());
    EXPECT_EQ(cleared.materials().size(), 25u);
    EXPECT_EQ(read_file(dir / "a.korv"), read_file(dir / "c.korv"));
}

TEST(DocumentVerbs, NodeEditsReachTheSavedFile) {
    const auto dir = fresh_temp_dir();
    Document model = small_model();
    model.create_group(&model.root(), "Floor", unit_box(), Mat4::translation({0, 0, 2}));
    write_model(dir / "a.korv", model);
    expect_runs(
        dir,
        {
            ok({"instances", "a.korv", "--name", "Chair", "--scale", "2,1,1", "--tag", "Doors",
                "--visible", "0", "--rename", "Armchair", "--out", "a.korv"},
               "edited=\"Chair\" visible=0 tag=1 transform=scale at=(0,3,0) name=\"Armchair\", "
               "saved to \"a.korv\"\n"
               "instances=1\n"
               "  0 \"Armchair\" def=\"chair\" at=(0,3,0) scale=(2,1,1) tag=1 \"Doors\" "
               "visible=0\n"),
            refused({"align-nodes", "a.korv", "--nodes", "o", "--node-match", "contains",
                     "--align-axis", "z", "--align-mode", "max", "--out", "a.korv"},
                    "align-nodes refused: the root node has no placement to move; nothing moved\n"),
            ok({"align-nodes", "a.korv", "--nodes", "oor", "--node-match", "suffix", "--out",
                "a.korv", "--align-axis", "z", "--align-mode", "min"},
               "matched=2 moved=1 axis=z mode=min target=0, saved to \"a.korv\"\n"),
            {{"align-nodes", "a.korv", "--nodes", "oor", "--node-match", "suffix", "--align-axis",
              "z", "--align-mode", "min", "--out", "b.korv"},
             "matched=2 moved=0 axis=z mode=min target=0\n",
             "",
             2},
            ok({"batch-rename", "a.korv", "--nodes", "o", "--node-match", "contains", "--node-ci",
                "--rename-find", "o", "--rename-replace", "0", "--rename-dry-run", "--out",
                "b.korv"},
               "matched=3 renamed=3 collisions=0 dry_run=1\n  \"Model\" -> \"M0del\"\n"
               "  \"Door\" -> \"D00r\"\n  \"Floor\" -> \"Fl00r\"\n"),
            refused({"batch-rename", "a.korv", "--nodes", "o", "--node-match", "suffix",
                     "--rename-pattern", "{name}-{i}"},
                    "batch-rename: no node matches \"o\"\n", 2),
        });
    const Document doc = load_model(dir / "a.korv");
    const SceneNode* chair = doc.find_node_by_name("Armchair");
    ASSERT_NE(chair, nullptr);
    EXPECT_FALSE(chair->visible);
    EXPECT_EQ(chair->transform.m[0], 2.0f);

    expect_runs(
        dir,
        {
            refused({"align-nodes", "a.korv", "--nodes", "Door Floor", "--node-match", "exact",
                     "--align-mode", "min"},
                    "align-nodes: no node matches \"Door Floor\"\n", 2),
            ok({"isolate", "a.korv", "--nodes", "Door", "--isolate-keep-loose", "--out", "i.korv"},
               "kept=1 hidden_nodes=2 hidden_faces=0, saved to \"i.korv\"\n"),
        });
    const Document isolated = load_model(dir / "i.korv");
    EXPECT_FALSE(isolated.find_node_by_name("Floor")->visible);
    EXPECT_EQ(isolated.find_node_by_name("Floor")->transform.m[14], 0.0f);
    EXPECT_TRUE(isolated.find_node_by_name("Door")->visible);
}

}  // namespace korvan::test
