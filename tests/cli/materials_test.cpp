// The materials and layers verbs through the built binary: exact reports, refusals, and
// which runs write a file (checked by reading it back) and which leave the input alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

Material material(const char* id, const char* name, float grey) {
    Material m;
    m.id = id;
    m.name = name;
    m.albedo = Rgb{grey, grey, grey};
    return m;
}

// A unit box in the root mesh: faces 0-3 (bottom, top, -y, +y) on Plaster and layer 0,
// faces 4-5 (-x, +x) on Brick and layer 2. Oak paints only a group's face; Glass is unused.
// Brick's tile is 0.5 x 0.5. Glass holds the id an added fifth material would try first.
Document box_model() {
    Document doc;
    doc.materials() = MaterialLibrary(
        {material("mat_plaster", "Plaster", 0.9f), material("mat_brick", "Brick", 0.5f),
         material("mat_oak", "Oak", 0.25f), material("mat_user_4", "Glass", 1.0f)});
    MaterialUv brick;
    brick.tile_width = brick.tile_height = 0.5f;
    doc.materials().set_uv(1, brick);
    Mesh& m = doc.root().mesh;
    m = cube_mesh();
    for (FaceId f : {4u, 5u}) {
        m.set_face_material(f, 1);
        m.set_face_layer(f, 2);
    }
    Mesh shelf;
    const VertexId a = shelf.add_vertex({0, 0, 0}), b = shelf.add_vertex({1, 0, 0}),
                   c = shelf.add_vertex({1, 1, 0});
    shelf.add_triangle(a, b, c);
    shelf.set_face_material(0, 2);
    doc.create_group(&doc.root(), "Shelf", std::move(shelf));
    return doc;
}

// Writes box_model() as a.korv in a fresh directory.
std::filesystem::path box_dir() {
    const auto dir = fresh_temp_dir();
    write_model(dir / "a.korv", box_model());
    return dir;
}

const char* const kList =
    "materials=4 unused=1\n"
    "  0 \"Plaster\" albedo=(0.9,0.9,0.9) faces=4 area=4\n"
    "  1 \"Brick\" albedo=(0.5,0.5,0.5) faces=2 area=2\n"
    "  2 \"Oak\" albedo=(0.25,0.25,0.25) faces=0 area=0\n"
    "  3 \"Glass\" albedo=(1,1,1) faces=0 area=0\n";

TEST(MaterialsVerbs, ListSelectAndRefuse) {
    const auto dir = box_dir();
    expect_runs(
        dir,
        {
            ok({"materials", "a.korv"}, kList),
            ok({"list-mats", "--in", "a.korv"}, kList),
            ok({"materials", "a.korv", "--index", "1"},
               "materials=4 unused=1\n  1 \"Brick\" albedo=(0.5,0.5,0.5) faces=2 area=2\n"),
            ok({"materials", "a.korv", "--name", "Glass"},
               "materials=4 unused=1\n  3 \"Glass\" albedo=(1,1,1) faces=0 area=0\n"),
            refused({"materials", "a.korv", "--index", "4"},
                    "materials: no material at index 4 (materials=4)\n"),
            refused({"list-mats", "a.korv", "--name", "Tin"},
                    "list-mats: no material named \"Tin\"\n"),
            refused({"materials", "a.korv", "--add", "--duplicate", "--name", "X"},
                    "materials: --add, --rename, --albedo, --roughness, --metallic, --opacity and "
                    "--duplicate are mutually exclusive\n"),
            refused({"materials", "a.korv", "--add"}, "materials: --add needs --name NAME\n"),
            refused({"materials", "a.korv", "--roughness", "0.5"},
                    "materials: this edit needs --name NAME or --index N to choose the material\n"),
            refused({"materials", "a.korv", "--index", "0", "--opacity", "1.5"},
                    "materials: --opacity must be in 0..1\n"),
            refused({"materials", "a.korv", "--index", "0", "--albedo", "0.5,-0.1,0.5"},
                    "materials: --albedo components must be in 0..1\n"),
            refused({"materials", "a.korv", "--index", "0", "--metallic", "2"},
                    "materials: --metallic must be in 0..1\n"),
        });
}

// Every edit prints its line, then the list; the file changes only through --out.
TEST(MaterialsVerbs, EditsReachTheDiskOnlyWithOut) {
    const auto dir = box_dir();
    const std::string added = "added=1 material_index=4 name=\"Tin\"\nmaterials=5 unused=2" +
                              std::string(kList).substr(std::string(kList).find('\n')) +
                              "  4 \"Tin\" albedo=(0.8,0.8,0.8) faces=0 area=0\n";
    expect_runs(dir, {ok({"materials", "a.korv", "--add", "--name", "Tin"}, added)});

    struct Edit {
        std::vector<std::string> args;
        std::string first_line;
        std::function<bool(const Material&)> applied;
        std::size_t index;
    };
    const std::vector<Edit> edits = {
        {{"--add", "--name", "Tin"},
         "added=1 material_index=4 name=\"Tin\"",
         [](const Material& m) { return m.name == "Tin" && m.id == "mat_user_5"; },
         4},
        {{"--index", "1", "--rename", "Red brick"},
         "renamed=1 material_index=1 name=\"Red brick\" old=\"Brick\"",
         [](const Material& m) { return m.name == "Red brick"; },
         1},
        {{"--name", "Oak", "--albedo", "0.5,0.25,0"},
         "albedo=(0.5,0.25,0) material_index=2 name=\"Oak\"",
         [](const Material& m) {
             return m.albedo == Rgb{0.5f, 0.25f, 0.0f};
         },
         2},
        {{"--index", "0", "--roughness", "0.125"},
         "roughness=0.125 material_index=0 name=\"Plaster\"",
         [](const Material& m) { return m.roughness == 0.125f; },
         0},
        {{"--index", "0", "--metallic", "1"},
         "metallic=1 material_index=0 name=\"Plaster\"",
         [](const Material& m) { return m.metallic == 1.0f; },
         0},
        {{"--name", "Glass", "--opacity", "0.25"},
         "opacity=0.25 material_index=3 name=\"Glass\"",
         [](const Material& m) { return m.opacity == 0.25f; },
         3},
        {{"--index", "1", "--duplicate"},
         "duplicated=1 material_index=4 name=\"Brick copy\" source=1",
         [](const Material& m) { return m.name == "Brick copy" && m.uv.tile_width == 0.5f; },
         4},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.first_line);
        std::vector<std::string> args = {"materials", "a.korv"};
        args.insert(args.end(), e.args.begin(), e.args.end());
        args.insert(args.end(), {"--out", "b.korv"});
        const CliRun run = run_cli(args, dir);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, run.out.find('\n')), e.first_line + ", saved to \"b.korv\"");
        const Document saved = load_model(dir / "b.korv");
        ASSERT_GT(saved.materials().size(), e.index);
        EXPECT_TRUE(e.applied(saved.materials()[e.index]));
    }
}

TEST(MaterialsVerbs, MatUvListsAndSetsTheTransform) {
    const auto dir = box_dir();
    expect_runs(
        dir, {
                 ok({"mat-uv", "a.korv"},
                    "materials=4\n"
                    "  0 \"Plaster\"\tpattern=none\tuv_scale=1,1\tuv_offset=0,0\tuv_rotation=0\n"
                    "  1 \"Brick\"\tpattern=none\tuv_scale=0.5,0.5\tuv_offset=0,0\tuv_rotation=0\n"
                    "  2 \"Oak\"\tpattern=none\tuv_scale=1,1\tuv_offset=0,0\tuv_rotation=0\n"
                    "  3 \"Glass\"\tpattern=none\tuv_scale=1,1\tuv_offset=0,0\tuv_rotation=0\n"),
                 refused({"mat-uv", "a.korv", "--uv-rotation", "45"},
                         "mat-uv mutation requires --name or --index\n"),
                 refused({"mat-uv", "a.korv", "--index", "7", "--uv-pattern", "brick"},
                         "mat-uv: no such material\n"),
                 refused({"mat-uv", "a.korv", "--name", "Tin", "--uv-pattern", "brick"},
                         "mat-uv: no such material\n"),
                 refused({"mat-uv", "a.korv", "--index", "1", "--uv-scale", "0.2,0.1m"},
                         "--uv-scale must be W,H (tile size in metres, e.g. 0.2,0.1)\n"),
                 // Without --out the change is reported and nothing is written.
                 ok({"mat-uv", "a.korv", "--index", "1", "--uv-pattern", "checker"},
                    "uv_set=1 material_index=1 name=\"Brick\"\tpattern=checker\tuv_scale=0.5,0.5"
                    "\tuv_offset=0,0\tuv_rotation=0\n"),
             });

    // Unset options keep what the material had: the tile size stays 0.5 x 0.5.
    const CliRun run = run_cli({"mat-uv", "a.korv", "--name", "Brick", "--uv-pattern", "brick",
                                "--uv-offset", "0.5,0", "--uv-rotation", "90", "--out", "b.korv"},
                               dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out,
              "uv_set=1 material_index=1 name=\"Brick\"\tpattern=brick\tuv_scale=0.5,0.5"
              "\tuv_offset=0.5,0\tuv_rotation=90, saved to \"b.korv\"\n");
    const MaterialUv uv = load_model(dir / "b.korv").materials()[1].uv;
    EXPECT_EQ(uv.pattern, TexturePattern::kBrick);
    EXPECT_EQ(uv.tile_width, 0.5f);
    EXPECT_EQ(uv.tile_height, 0.5f);
    EXPECT_EQ(uv.offset_u, 0.5f);
    EXPECT_EQ(uv.rotation_deg, 90.0f);
}

TEST(MaterialsVerbs, UvBakeStoresCornerUvsThatARetileLeavesAlone) {
    const auto dir = box_dir();
    Document empty;
    empty.materials() = MaterialLibrary(default_materials());
    write_model(dir / "empty.korv", empty);
    expect_runs(
        dir, {
                 ok({"uv-bake", "a.korv"},
                    "uv-bake faces=6 corners=24 stored_before=0 stored_after=24\n"),
                 refused({"uv-bake", "a.korv", "--face", "6"}, "uv-bake: no such alive face 6\n"),
                 refused({"uv-bake", "empty.korv"}, "uv-bake: nothing baked\n", 2),
             });
    // Face 5 is the +x wall on Brick (tile 0.5): U runs along +y, V up, both doubled.
    const auto baked = dir / "baked.korv";
    CliRun run = run_cli({"uv-bake", "a.korv", "--face", "5", "--out", baked.string()}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "uv-bake faces=1 corners=4 stored_before=0 stored_after=4, saved to \"" +
                           baked.string() + "\"\n");
    run = run_cli({"mat-uv", baked.string(), "--index", "1", "--uv-scale", "4,4", "--out",
                   (dir / "retiled.korv").string()},
                  dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Document doc = load_model(dir / "retiled.korv");
    const Mesh& m = doc.root().mesh;
    EXPECT_EQ(doc.materials()[1].uv.tile_width, 4.0f);
    EXPECT_TRUE(m.face_has_uvs(5));
    EXPECT_FALSE(m.face_has_uvs(4));
    for (const HalfEdgeId h : m.face_half_edges(5)) {
        const Vec3 p = m.vertices()[m.half_edges()[h].origin].position;
        SCOPED_TRACE(testing::Message() << "corner " << p.y << "," << p.z);
        EXPECT_EQ(m.corner_uv(h).u, p.y * 2.0f);
        EXPECT_EQ(m.corner_uv(h).v, p.z * 2.0f);
    }

    // A second bake counts the corners already stored.
    run = run_cli({"uv-bake", baked.string()}, dir);
    EXPECT_EQ(run.out, "uv-bake faces=6 corners=24 stored_before=4 stored_after=24\n");
}

TEST(MaterialsVerbs, FaceEditsReportAndSaveTheirChange) {
    const auto dir = box_dir();
    // Every listed face of the saved b.korv must pass `pred`.
    auto each = [](std::vector<FaceId> faces, auto pred) -> DocCheck {
        return [=](const Document& d) {
            for (const FaceId f : faces)
                EXPECT_TRUE(pred(d.root().mesh.faces()[f])) << "face " << f;
        };
    };
    expect_runs(
        dir,
        {
            ok({"reassign-mat", "a.korv", "--from", "0", "--to", "3", "--out", "b.korv"},
               "reassigned=4 from=0 to=3, saved to \"b.korv\"\n", "",
               each({0, 1, 2, 3}, [](const Face& f) { return f.material_id == 3; })),
            ok({"reassign-mat", "a.korv", "--from", "9", "--to", "3", "--out", "b.korv"},
               "reassigned=0 from=9 to=3, saved to \"b.korv\"\n", "",
               each({0, 4}, [](const Face& f) { return f.material_id != 3; })),
            ok({"reassign-layer", "a.korv", "--from", "2", "--to", "5", "--out", "b.korv"},
               "reassigned=2 from=2 to=5, saved to \"b.korv\"\n", "",
               each({4, 5}, [](const Face& f) { return f.layer_id == 5; })),
            ok({"paint-layer", "a.korv", "--layer", "2", "--mat", "2", "--out", "b.korv"},
               "painted=2 layer=2 mat=2, saved to \"b.korv\"\n", "",
               each({4, 5}, [](const Face& f) { return f.material_id == 2; })),
            ok({"assign-mat-layer", "a.korv", "--material", "0", "--layer", "7", "--out", "b.korv"},
               "assigned=4 mat=0 layer=7, saved to \"b.korv\"\n", "",
               each({0, 1, 2, 3}, [](const Face& f) { return f.layer_id == 7; })),
            ok({"hide-mat", "a.korv", "--mat", "1", "--out", "b.korv"},
               "changed=2 mat=1 visible=0, saved to \"b.korv\"\n", "",
               each({4, 5}, [](const Face& f) { return !f.visible; })),
            ok({"show-mat", "a.korv", "--material", "1", "--out", "b.korv"},
               "changed=0 mat=1 visible=1, saved to \"b.korv\"\n", "",
               each({4, 5}, [](const Face& f) { return f.visible; })),
            ok({"hide-layer-faces", "a.korv", "--layer", "0", "--out", "b.korv"},
               "changed=4 layer=0 visible=0, saved to \"b.korv\"\n", "",
               each({0, 1, 2, 3}, [](const Face& f) { return !f.visible; })),
            ok({"show-layer-faces", "a.korv", "--layer", "0", "--out", "b.korv"},
               "changed=0 layer=0 visible=1, saved to \"b.korv\"\n", "",
               each({0, 1, 2, 3}, [](const Face& f) { return f.visible; })),
        });

    expect_runs(
        dir,
        {
            refused({"reassign-mat", "a.korv", "--from", "0"},
                    "reassign-mat requires --from A and --to B\n"),
            refused({"reassign-mat", "a.korv", "--from", "0", "--to", "4"},
                    "reassign-mat: no material 4 (materials=4)\n"),
            refused(
                {"reassign-layer", "a.korv", "--from", "0", "--to", "4294967295"},
                "reassign-layer: layer 4294967295 is out of range (layer ids go up to 1048575)\n"),
            refused({"paint-layer", "a.korv", "--layer", "0", "--mat", "12"},
                    "paint-layer: no material 12 (materials=4)\n"),
            refused(
                {"assign-mat-layer", "a.korv", "--mat", "0", "--layer", "1048576"},
                "assign-mat-layer: layer 1048576 is out of range (layer ids go up to 1048575)\n"),
            refused({"hide-mat", "a.korv"}, "hide-mat requires --mat M\n"),
            // Without --out the edit is reported and nothing is written.
            ok({"hide-mat", "a.korv", "--mat", "1"}, "changed=2 mat=1 visible=0\n"),
            refused({"hide-mat", "a.korv", "--material", "x"}, "--material must be a uint index\n"),
        });
}

TEST(MaterialsVerbs, LayersListAndSetVisibility) {
    const auto dir = box_dir();
    const std::string list =
        "layers=3\n  0 on faces=4 area=4\n  1 on faces=0 area=0\n  2 on faces=2 area=2\n";
    expect_runs(
        dir, {
                 ok({"layers", "a.korv"}, list),
                 ok({"list-layers", "a.korv", "--layer", "2", "--visible", "off"},
                    "layer=2 visible=0 changed=1\nlayers=3\n  0 on faces=4 area=4\n"
                    "  1 on faces=0 area=0\n  2 off faces=2 area=2\n"),
                 refused({"layers", "a.korv", "--layer", "2"},
                         "layers: --layer and --visible go together (--layer N --visible 0|1)\n"),
                 refused({"layers", "a.korv", "--visible", "1"},
                         "layers: --layer and --visible go together (--layer N --visible 0|1)\n"),
                 refused({"layers", "a.korv", "--layer", "2000000", "--visible", "0"},
                         "layers: layer 2000000 is out of range (layer ids go up to 1048575)\n"),
             });

    const CliRun run =
        run_cli({"layers", "a.korv", "--layer", "4", "--visible", "0", "--out", "b.korv"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "layer=4 visible=0 changed=1, saved to \"b.korv\"\nlayers=5" +
                           list.substr(list.find('\n')) +
                           "  3 on faces=0 area=0\n  4 off faces=0 area=0\n");
    const Mesh m = load_model(dir / "b.korv").root().mesh;
    EXPECT_FALSE(m.layer_visible(4));
    EXPECT_TRUE(m.layer_visible(2));
}

}  // namespace
}  // namespace korvan::test
