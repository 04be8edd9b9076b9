#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/korv_reader.h"
#include "io/korv_writer.h"
#include "tests/io/korv_test_models.h"
#include "tests/support/cli_runner.h"

namespace korvan::io {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The lines of the block that starts with `header_prefix`, header excluded, up to the
// count the header declares.
std::vector<std::string> block(const std::string& text, const std::string& keyword) {
    const std::vector<std::string> lines = lines_of(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(keyword + " ", 0) != 0) continue;
        const std::size_t n = std::stoul(lines[i].substr(keyword.size() + 1));
        return {lines.begin() + static_cast<std::ptrdiff_t>(i + 1),
                lines.begin() + static_cast<std::ptrdiff_t>(i + 1 + n)};
    }
    return {};
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(KorvWriter, NewDocumentWritesExactBytes) {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    const std::string expected =
        "KORVAN 0.1\n"
        "LENGTH_UNIT m\n"
        "MATERIALS 25\n"
        "mat_plaster_white\tSơn tường trắng\t0.92 0.92 0.9 1 0.85 0\n"
        "mat_brick_red\tGạch đỏ\t0.62 0.28 0.18 1 0.75 0\n"
        "mat_concrete_grey\tBê tông xám\t0.55 0.55 0.53 1 0.7 0\n"
        "mat_wood_oak\tGỗ sồi\t0.55 0.36 0.2 1 0.55 0\n"
        "mat_tile_ceramic\tGạch men\t0.85 0.82 0.78 1 0.35 0\n"
        "mat_glass_clear\tKính trong\t0.8 0.9 0.95 0.25 0.05 0\n"
        "mat_metal_alu\tNhôm cửa\t0.72 0.74 0.76 1 0.35 0.85\n"
        "mat_roof_tile\tNgói đỏ\t0.55 0.18 0.12 1 0.7 0\n"
        "mat_stone_granite\tĐá granite\t0.35 0.35 0.38 1 0.4 0\n"
        "mat_paint_warm\tSơn kem ấm\t0.93 0.88 0.78 1 0.9 0\n"
        "mat_floor_wood\tSàn gỗ công nghiệp\t0.6 0.42 0.25 1 0.45 0\n"
        "mat_stucco_beige\tTrát tường be\t0.86 0.8 0.7 1 0.8 0\n"
        "mat_paint_navy\tSơn xanh navy\t0.15 0.22 0.35 1 0.85 0\n"
        "mat_terrazzo\tTerrazzo\t0.78 0.76 0.72 1 0.3 0\n"
        "mat_marble_white\tĐá marble trắng\t0.9 0.9 0.88 1 0.2 0\n"
        "mat_brick_yellow\tGạch vàng\t0.78 0.58 0.28 1 0.7 0\n"
        "mat_glass_frosted\tKính mờ\t0.85 0.88 0.9 0.45 0.55 0\n"
        "mat_steel_black\tThép đen\t0.08 0.08 0.09 1 0.4 0.9\n"
        "mat_roof_metal\tTôn lạnh\t0.55 0.58 0.6 1 0.35 0.7\n"
        "mat_grass\tCỏ sân\t0.25 0.45 0.18 1 0.95 0\n"
        "mat_stone_cladding_tex\tĐá ốp kẻ ngang\t0.647 0.62 0.557 1 0.6 0\t"
        "materials/textures/stone_cladding.png\n"
        "mat_wood_planks_tex\tGỗ ván\t0.596 0.369 0.196 1 0.5 0\t"
        "materials/textures/wood_planks.png\n"
        "mat_brick_exposed_tex\tGạch trần\t0.608 0.333 0.243 1 0.75 0\t"
        "materials/textures/brick_exposed.png\n"
        "mat_granite_tex\tĐá granite hạt\t0.467 0.459 0.467 1 0.35 0\t"
        "materials/textures/granite_speckle.png\n"
        "mat_marble_tex\tĐá marble vân\t0.902 0.894 0.878 1 0.2 0\t"
        "materials/textures/marble_veined.png\n"
        "MATERIALUV 4\n"
        "20 1.2 1.2 0 0 0 0\n"
        "21 0.8 0.8 0 0 0 0\n"
        "22 0.8 0.52 0 0 0 0\n"
        "23 0.6 0.6 0 0 0 0\n"
        "SCENES 0\n"
        "SECTIONS 0\n"
        "TAGS 1\n"
        "Layer0\t1\n"
        "MESH\n"
        "VERTICES 0\n"
        "FACES 0\n"
        "LAYER_VIS 1\n"
        "0 1\n"
        "ENDMESH\n"
        "ENDKORVAN\n";
    EXPECT_EQ(format_document(doc), expected);
}

TEST(KorvWriter, RichDocumentWritesEveryBlockInOrder) {
    const std::string text = format_document(test::korv_rich_document());
    const char* order[] = {"KORVAN 0.1\n",
                           "LENGTH_UNIT ft\n",
                           "UNITS_OPTIONS 3 1 0.005 2 0 7.5\n",
                           "SHADOW_INFO 1 600 180\n",
                           "VIEW 1 2 3 4 5 6 0 0.5 1 35 1 12.5\n",
                           "MATERIALS 26\n",
                           "MATERIALUV 5\n",
                           "SCENES 3\n",
                           "SCENEPROPS 1\n",
                           "SECTIONS 2\n",
                           "LIGHTS 5\n",
                           "LABELS 2\n",
                           "TAGS 2\n",
                           "DEFINITIONS 2\n",
                           "INSTANCES 2\n",
                           "GROUPS 2\n",
                           "ENDKORVAN\n"};
    std::size_t at = 0;
    for (const char* header : order) {
        SCOPED_TRACE(header);
        const std::size_t found = text.find(header, at);
        ASSERT_NE(found, std::string::npos);
        EXPECT_TRUE(found == 0 || text[found - 1] == '\n');
        at = found;
    }
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(KorvWriter, TextFieldsAndNodeTails) {
    const std::string text = format_document(test::korv_rich_document());
    const std::vector<std::string> materials = block(text, "MATERIALS");
    ASSERT_EQ(materials.size(), 26u);
    EXPECT_EQ(materials.back(), "mat_custom\tName with tab\t0.1 0.2 0.3 0.5 0.6 0");
    EXPECT_EQ(block(text, "MATERIALUV").back(), "25 2 0.5 0.25 0 45 1");

    const std::vector<std::string> scenes = block(text, "SCENES");
    ASSERT_EQ(scenes.size(), 3u);
    EXPECT_EQ(scenes[0], "Front\t10 -14 8 0 0 2.5 45 0 0 1\tG 1.5 2 0.25\tphotos/front.jpg");
    EXPECT_EQ(scenes[1], "Back\t-3 4 1.7 0 0 2.5 45 0 0 1\tback.png");
    EXPECT_EQ(scenes[2], "Top\t10 -14 8 0 0 2.5 60 0 0 1");
    EXPECT_EQ(block(text, "SCENEPROPS")[0], "2 1 2.5 7 -1 0 -3 1 4 5\tLayer0\t\tTầng 2");

    const std::vector<std::string> lights = block(text, "LIGHTS");
    ASSERT_EQ(lights.size(), 5u);
    EXPECT_EQ(lights[0], "Light 1\tsun 1 2 3 0 0 -1 0 1 0 1 1 1 0.9 0.8 2.5 1 30 45");
    EXPECT_EQ(lights[4].substr(0, 16), "Light 5\tunknown ");

    const std::vector<std::string> instances = block(text, "INSTANCES");
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(instances[0],
              "door\tDoor A\t1 0 0 0 0 1 0 0 0 0 1 0 1 2 0 1\t1\tv0\tL1\tM:3\tSC0\tSR0"
              "\tA:a%3Db=c%25d%20e\tA:tên=giá%20trị%3D1\tA:k%09x=");
    EXPECT_EQ(instances[1], "win dow\tWindow\t1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");

    // Groups: Wing (with its mesh) > Floor > Room > Door B, then an empty group without a
    // mesh block.
    const std::string groups = text.substr(text.find("GROUPS 2\n"));
    const char* nesting[] = {
        "GROUP\tWing\t1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\t0\nMESH\n", "ENDMESH\nGROUP\tFloor\t",
        "GROUP\tRoom\t",
        "\tA:use=kitchen\nINSTANCE\tdoor\tDoor B\t1 0 0 0 0 1 0 0 0 0 1 0 0.5 0 0 1\n"
        "ENDGROUP\nENDGROUP\nENDGROUP\n",
        "GROUP\tEmpty group\t1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\nENDGROUP\nMESH\n"};
    std::size_t at = 0;
    for (const char* piece : nesting) {
        SCOPED_TRACE(piece);
        at = groups.find(piece, at);
        ASSERT_NE(at, std::string::npos);
    }
}

TEST(KorvWriter, RootMeshRenumbersFacesAndKeepsDeadVertices) {
    const std::string text = format_document(test::korv_rich_document());
    const std::string mesh = text.substr(text.rfind("MESH\nVERTICES"));

    const std::vector<std::string> vertices = block(mesh, "VERTICES");
    ASSERT_EQ(vertices.size(), 10u);
    EXPECT_EQ(vertices[8], "1 0.5 -1 0");
    EXPECT_EQ(vertices[9], "0 9 9 9");

    // Cube face 1 is dead: faces 0, 2, 3, 4, 5 and the triangle 6 become 0 .. 5.
    const std::vector<std::string> faces = block(mesh, "FACES");
    ASSERT_EQ(faces.size(), 6u);
    EXPECT_EQ(faces[0], "4 0 0 1 0 2 3 1");
    EXPECT_EQ(faces[1], "4 0 0 1 0 1 5 4");
    EXPECT_EQ(faces[3], "4 0 2 1 0 4 6 2");
    EXPECT_EQ(faces[4], "4 0 0 0 1 3 7 5");
    EXPECT_EQ(faces[5], "3 0 0 1 0 8 1");

    EXPECT_EQ(block(mesh, "FACE_UV"),
              (std::vector<std::string>{"0 4 0 0.333333343 0.100000001 0.333333343 "
                                        "0.200000003 0.333333343 0.300000012 0.333333343",
                                        "5 3 0 0.333333343 0.100000001 0.333333343 "
                                        "0.200000003 0.333333343"}));
    EXPECT_EQ(block(mesh, "FACE_EXTRAS"), (std::vector<std::string>{"1 4 1 1", "2 -1 0 1"}));

    const std::vector<std::string> dims = block(mesh, "DIMENSIONS");
    ASSERT_EQ(dims.size(), 4u);
    EXPECT_EQ(dims[0], "0 0 0 1 0 0 1\t1 m");
    EXPECT_EQ(dims[1], "0 0 0 1 0 0 1 0 1 0\t");
    EXPECT_EQ(dims[2],
              "0 0 0 1 0 0 1 2 0 0 0 0 0 0 0 0 0 0.75 3 4294967295 0.5 3 5 0.25 0 0 1\t1 m");
    EXPECT_EQ(dims[3], "0 0 0 1 0 0 1 0 0 0 0 0 0 0 0 0 0 0 1 7 0 0 4294967295 0\t1 m");

    EXPECT_EQ(block(mesh, "NOTES"),
              (std::vector<std::string>{"1 1 1.5 -2 0 0 1 1 0 1\tGhi chú: cửa"}));
    EXPECT_EQ(
        block(mesh, "CURVES"),
        (std::vector<std::string>{"1 0 3 0 0 0 1 0 0 1 1 0", "1 1 3 0 0 0 0.5 0.5 0 1 0 0 arc",
                                  "1 0 3 2 2 0 3 2 0 3 3 0 bound", "0 0 1 5 5 5"}));
    EXPECT_EQ(block(mesh, "GUIDES"),
              (std::vector<std::string>{"1 0 0 0 1 1 1 0", "1 0 0 0 0 0 1 1"}));
    EXPECT_EQ(block(mesh, "LAYER_VIS"), (std::vector<std::string>{"0 1", "1 0", "2 1"}));
}

TEST(KorvWriter, EdgePairsAreSortedByLargerThenSmallerEnd) {
    Mesh mesh = test::korv_cube();
    for (EdgeId e = 0; e < mesh.edges().size(); ++e) mesh.edge_mut(e).soft = true;
    Document doc;
    const std::string text = format_document(doc, &mesh);
    // Every cube edge once, whichever face it came from.
    EXPECT_EQ(block(text, "SOFT_EDGES"),
              (std::vector<std::string>{"0 1", "0 2", "1 3", "2 3", "0 4", "1 5", "4 5", "2 6",
                                        "4 6", "3 7", "5 7", "6 7"}));
    EXPECT_EQ(text.find("HIDDEN_EDGES"), std::string::npos);
}

TEST(KorvWriter, WriteReadWriteGivesIdenticalBytes) {
    struct Case {
        const char* name;
        Document doc;
    };
    Document grid;
    grid.root().mesh = test::korv_grid(230, 150);  // more than two chunks of vertices and faces
    Case cases[] = {{"new", Document()}, {"rich", test::korv_rich_document()}, {"grid", grid}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = format_document(c.doc);
        Document back;
        ASSERT_TRUE(parse_document(first, back)) << last_load_error();
        EXPECT_EQ(format_document(back), first);
    }
}

TEST(KorvWriter, WritesTheFileInOneGoAndRefusesBadPaths) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    const Document doc = test::korv_rich_document();
    EXPECT_TRUE(write_document(dir / "a.korv", doc));
    EXPECT_EQ(read_file(dir / "a.korv"), format_document(doc));

    Mesh other = test::korv_cube({5, 5, 5});
    EXPECT_TRUE(write_document(dir / "b.korv", doc, &other));
    EXPECT_EQ(read_file(dir / "b.korv"), format_document(doc, &other));

    EXPECT_FALSE(write_document(dir / "missing" / "c.korv", doc));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_FALSE(write_document(dir, doc));
    EXPECT_TRUE(std::filesystem::is_directory(dir));
}

}  // namespace
}  // namespace korvan::io
