#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "io/image.h"
#include "tests/cli/cli_checks.h"
#include "tests/io/image_samples.h"

namespace korvan::test {
namespace {

namespace fs = std::filesystem;

// Picture verbs write files their reports name in their own words, so the runs are compared
// here rather than by expect_runs (which allows only ", saved to" files).
void expect_pictures(const fs::path& dir, const std::vector<CliCase>& cases) {
    for (const CliCase& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const CliRun run = run_cli(c.args, dir);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.exit_code, c.exit_code);
    }
}

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Image load(const fs::path& path) {
    Image image;
    EXPECT_TRUE(io::load_image(path, image)) << path;
    return image;
}

TEST(Pictures, StillWritesWhereOutSaysAndReportsIt) {
    const fs::path dir = fresh_temp_dir();
    const std::string faces = "\n  faces=74\n";
    expect_pictures(
        dir, {
                 ok({"still", "--size", "64x36"},
                    "Wrote PBR beauty still (64x36) to \"korvan_out/still_beauty.bmp\"" + faces),
                 ok({"export-bmp", "--size", "64x36", "--out", "a/b/pic.BMP"},
                    "Wrote PBR beauty still (64x36) to \"a/b/pic.BMP\"" + faces),
                 ok({"still", "--size", "64x36", "--ssaa", "3", "--out", "pics"},
                    "Wrote PBR beauty still (64x36, ssaa=3) to \"pics/still_beauty.bmp\"" + faces),
                 ok({"still", "--size", "64x36", "--ssaa", "1", "--out", "one.png"},
                    "Wrote PBR beauty still (64x36) to \"one.png\"" + faces),
             });
    // The files are the pictures reported; --ssaa 1 is the plain render, PNG or BMP alike.
    const Image plain = load(dir / "korvan_out/still_beauty.bmp");
    EXPECT_EQ(plain.width, 64);
    EXPECT_EQ(plain.height, 36);
    EXPECT_EQ(load(dir / "one.png").rgba, plain.rgba);
    EXPECT_EQ(load(dir / "a/b/pic.BMP").rgba, plain.rgba);
    EXPECT_NE(load(dir / "pics/still_beauty.bmp").rgba, plain.rgba);
}

TEST(Pictures, StillRefusesAModelWithoutFacesAndWritesNothing) {
    const fs::path dir = make_models({{"new", "--out", "empty.korv"}});
    expect_runs(dir,
                {refused({"still", "--in", "empty.korv"}, "No faces to render\n"),
                 refused({"still", "--in", "absent.korv"}, "Failed to load \"absent.korv\"\n"),
                 refused({"render", "--preset", "dusk"}, "render requires --input file.korv\n")});
    EXPECT_FALSE(fs::exists(dir / "korvan_out"));
}

// The sample townhouse from its first scene, against the picture kept in the tests. Pixels
// may move a little between compilers (float rounding at silhouettes), so a small share of
// them may differ and no pixel by much.
TEST(Pictures, TownhouseMatchesTheGoldenPicture) {
    const fs::path dir = fresh_temp_dir();
    ASSERT_EQ(run_cli({"still", "--size", "320x180", "--out", "t.png"}, dir).exit_code, 0);
    const fs::path golden = fs::path(KORVAN_TESTS_DIR) / "golden" / "townhouse_still.png";
    if (std::getenv("KORVAN_UPDATE_GOLDEN") != nullptr) {
        fs::copy_file(dir / "t.png", golden, fs::copy_options::overwrite_existing);
    }
    const Image got = load(dir / "t.png"), want = load(golden);
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    std::size_t off = 0;
    int worst = 0;
    for (std::size_t i = 0; i < got.rgba.size(); i += 4) {
        int d = 0;
        for (std::size_t c = 0; c < 3; ++c)
            d = std::max(d, std::abs(got.rgba[i + c] - want.rgba[i + c]));
        off += d > 2 ? 1 : 0;
        worst = std::max(worst, d);
    }
    EXPECT_LE(off, got.rgba.size() / 4 / 100);
    EXPECT_LE(worst, 160);
}

TEST(Pictures, PresentRendersEveryScenePlusTheContactSheet) {
    const fs::path dir = fresh_temp_dir();
    expect_pictures(dir, {ok({"present", "--fast", "--out", "show"},
                             "Presentation of 3 scene(s) at 400x225 in \"show\"\n"
                             "  Wrote scene 1 \"Phối cảnh chính\" to \"show/scene_1.bmp\"\n"
                             "  Wrote scene 2 \"Mặt đứng\" to \"show/scene_2.bmp\"\n"
                             "  Wrote scene 3 \"Góc\" to \"show/scene_3.bmp\"\n"
                             "  Wrote contact sheet: \"show/contact_sheet.bmp\"\n")});
    std::vector<Image> scenes;
    for (int i = 1; i <= 3; ++i)
        scenes.push_back(load(dir / "show" / ("scene_" + std::to_string(i) + ".bmp")));
    EXPECT_NE(scenes[0].rgba, scenes[1].rgba);
    // The sheet is exactly the composition of the pictures written (alpha aside).
    Image sheet = make_contact_sheet(scenes);
    for (std::size_t i = 3; i < sheet.rgba.size(); i += 4) sheet.rgba[i] = 255;
    EXPECT_EQ(load(dir / "show/contact_sheet.bmp").rgba, sheet.rgba);
}

TEST(Pictures, SampleFoldersHoldTheModelAndItsPicture) {
    const fs::path dir = fresh_temp_dir();
    expect_pictures(
        dir,
        {
            ok({"shell-townhouse", "--out", "st"},
               "Wrote shell_townhouse (.korv + beauty) to \"st\"\n"),
            ok({"gen-villa", "--out", "gv"}, "Wrote gen_villa (.korv + beauty) to \"gv\"\n"),
            ok({"townhouse", "--out", "td"}, "Wrote townhouse demo to \"td\"\n"),
        });
    EXPECT_EQ(load(dir / "st/shell_townhouse_beauty.bmp").width, 800);
    EXPECT_EQ(load_model(dir / "st/shell_townhouse.korv").scenes().size(), 3u);
    EXPECT_EQ(load(dir / "gv/gen_villa_beauty.bmp").height, 450);
    const Image viewport = load(dir / "td/townhouse_viewport.bmp");
    EXPECT_EQ(read_file(dir / "td/townhouse_viewport.ppm"), io::encode_ppm(viewport));
    EXPECT_NE(load(dir / "td/townhouse_beauty.bmp").rgba, viewport.rgba);
    for (const char* copy : {"td/townhouse.obj", "td/townhouse.gltf", "td/townhouse.bin"}) {
        EXPECT_GT(fs::file_size(dir / copy), 0u) << copy;
    }
}

TEST(Pictures, ImportImageLaysTheTexturedRectangle) {
    const fs::path dir = fresh_temp_dir();
    write_bytes(dir / "pic.png", encode_png_file(sample_image(200, 100, false), PngKind::kRgb));
    write_bytes(dir / "bad.png", "not a picture");
    expect_runs(
        dir,
        {
            ok({"import-image", "--image", "pic.png", "--out", "a.korv"},
               "import-image 200x100 px as face 0, 2 x 1 m, uvs=1, saved to \"a.korv\"\n"),
            ok({"import-image", "--image", "pic.png", "--image-width", "0.5", "--out", "b.korv"},
               "import-image 200x100 px as face 0, 0.5 x 0.25 m, uvs=1, saved to \"b.korv\"\n"),
            refused({"import-image", "--image", "bad.png", "--out", "c.korv"},
                    "import-image: could not read \"bad.png\" (PNG, JPEG, BMP, TGA or PSD)\n"),
            refused({"import-image", "--image", "pic.png", "--image-width", "0", "--out", "c.korv"},
                    "import-image: --width must be positive\n"),
        });
    const Document doc = load_model(dir / "a.korv");
    const Mesh& mesh = doc.root().mesh;
    ASSERT_EQ(mesh.alive_face_count(), 1u);
    const Material* m = doc.materials().get(mesh.faces()[0].material_id);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->name, "Anh nen");
    EXPECT_EQ(m->texture_path, "pic.png");
    // v = 0 along the picture's top row, which lies along y = H.
    for (HalfEdgeId h : mesh.face_half_edges(0)) {
        const Vec3 p = mesh.vertices()[mesh.half_edges()[h].origin].position;
        const CornerUv uv = mesh.corner_uv(h);
        EXPECT_FLOAT_EQ(uv.u, p.x / 2.0f);
        EXPECT_FLOAT_EQ(uv.v, 1.0f - p.y / 1.0f);
    }
}

}  // namespace
}  // namespace korvan::test
