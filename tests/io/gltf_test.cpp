#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/material_library.h"
#include "io/gltf.h"
#include "io/json.h"
#include "tests/support/cli_runner.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

// A linked unit cube of six quads at `corner`, faces wound outwards.
Mesh cube(const Vec3& corner = {}, float size = 1.0f) {
    Mesh m;
    std::array<VertexId, 8> v{};
    for (int i = 0; i < 8; ++i) {
        v[i] = m.add_vertex({corner.x + size * (i & 1), corner.y + size * ((i >> 1) & 1),
                             corner.z + size * ((i >> 2) & 1)});
    }
    m.add_quad(v[0], v[2], v[3], v[1]);
    m.add_quad(v[4], v[5], v[7], v[6]);
    m.add_quad(v[0], v[1], v[5], v[4]);
    m.add_quad(v[2], v[6], v[7], v[3]);
    m.add_quad(v[0], v[4], v[6], v[2]);
    m.add_quad(v[1], v[3], v[7], v[5]);
    m.link_shared_edges();
    return m;
}

std::vector<std::array<float, 3>> sorted_positions(const Mesh& m) {
    std::vector<std::array<float, 3>> out;
    for (const Vertex& v : m.vertices()) {
        if (v.alive) out.push_back({v.position.x, v.position.y, v.position.z});
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

std::string floats(std::initializer_list<float> values) {
    std::string out;
    for (float f : values) out.append(reinterpret_cast<const char*>(&f), 4);
    return out;
}

// A glTF with one data-URI buffer of positions (glTF axes) and the given primitive and nodes.
std::string hand_made(const std::string& positions, int count, const std::string& primitive,
                      const std::string& nodes) {
    return R"({"asset": {"version": "2.0"}, "buffers": [{"byteLength": )" +
           std::to_string(positions.size()) + R"(, "uri": "data:application/octet-stream;base64,)" +
           base64(positions) + R"("}], "bufferViews": [{"buffer": 0, "byteLength": )" +
           std::to_string(positions.size()) +
           R"(}], "accessors": [{"bufferView": 0, "componentType": 5126, "count": )" +
           std::to_string(count) + R"(, "type": "VEC3"}], "meshes": [{"primitives": [)" +
           primitive + R"(]}], "nodes": )" + nodes + R"(, "scenes": [{"nodes": [0]}], "scene": 0})";
}

const std::string kQuadXY = floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});

TEST(Gltf, CubeRoundTripIsTheSameClosedCube) {
    const Mesh original = cube({0.25f, -3.0f, 1.1f});
    for (const char* name : {"cube.gltf", "cube.glb"}) {
        SCOPED_TRACE(name);
        const auto path = test::fresh_temp_dir() / name;
        const bool glb = std::string(name).ends_with(".glb");
        ASSERT_TRUE(glb ? io::export_glb(path, original, MaterialLibrary())
                        : io::export_gltf(path, original, MaterialLibrary()));
        EXPECT_EQ(std::filesystem::exists(path.parent_path() / "cube.bin"), !glb);
        Mesh back;
        ASSERT_TRUE(io::import_gltf(path, back));
        EXPECT_EQ(back.alive_face_count(), 12u);
        test::expect_closed_solids(back);
        EXPECT_NEAR(back.compute_volume(), 1.0f, 1e-5f);
        EXPECT_EQ(sorted_positions(back), sorted_positions(original));
    }
}

TEST(Gltf, JsonCarriesUvsMaterialsAndExactBounds) {
    MaterialLibrary materials;
    Material glass;
    glass.name = "Glass";
    glass.opacity = 0.5f;
    materials.add(glass);
    Material stone;
    stone.id = "stone";
    materials.add(stone);
    struct Row {
        const char* what;
        std::vector<std::uint32_t> face_materials;
        bool uvs;
        std::size_t material_entries;
        bool blend;
    };
    const Row rows[] = {{"one material, no uvs", {1, 1, 1, 1, 1, 1}, false, 1, false},
                        {"glass and stone with uvs", {0, 1, 0, 1, 0, 7}, true, 3, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // Coordinates six digits cannot hold: the bounds must still read back exactly.
        Mesh m = cube({0.1234567f, 1e-7f, 123456.78f}, 0.3f);
        for (FaceId f = 0; f < 6; ++f) m.set_face_material(f, row.face_materials[f]);
        if (row.uvs) {
            for (HalfEdgeId h : m.face_half_edges(0)) m.set_corner_uv(h, 0.5f, 0.25f);
        }
        const io::GltfPayload p = io::build_gltf(m, materials, "x.bin");
        io::JsonValue json;
        ASSERT_TRUE(io::parse_json(p.json, json)) << p.json;
        EXPECT_EQ(p.triangles, 12u);
        EXPECT_EQ(json.find("materials")->items().size(), row.material_entries);
        EXPECT_EQ(p.json.find("TEXCOORD_0") != std::string::npos, row.uvs);
        EXPECT_EQ(json.find("bufferViews")->items().size(), row.uvs ? 3u : 2u);
        EXPECT_EQ(p.json.find("\"alphaMode\": \"BLEND\"") != std::string::npos, row.blend);
        EXPECT_EQ(json.find("buffers")->items()[0].get_number("byteLength", 0), p.buffer.size());

        // The bounds equal the extremes of the buffer's positions, float for float.
        const io::JsonValue& acc = json.find("accessors")->items()[0];
        const auto count = static_cast<std::size_t>(acc.get_number("count", 0));
        for (int axis = 0; axis < 3; ++axis) {
            float lo = INFINITY, hi = -INFINITY;
            for (std::size_t v = 0; v < count; ++v) {
                float c;
                std::memcpy(&c, p.buffer.data() + 12 * v + 4 * axis, 4);
                lo = std::min(lo, c), hi = std::max(hi, c);
            }
            EXPECT_EQ(static_cast<float>(acc.find("min")->items()[axis].as_number()), lo);
            EXPECT_EQ(static_cast<float>(acc.find("max")->items()[axis].as_number()), hi);
        }
        // Y up: the model's height (z from 123456.78) is glTF's y.
        EXPECT_NEAR(acc.find("min")->items()[1].as_number(), 123456.78, 0.01);
    }
}

TEST(Gltf, GlbPadsItsJsonChunkWithBlanks) {
    const std::string glb = io::glb_container({"0123456789", floats({1, 2, 3}), 0});
    ASSERT_EQ(glb.size(), 12u + 8u + 12u + 8u + 12u);
    EXPECT_EQ(glb.substr(0, 4), "glTF");
    EXPECT_EQ(static_cast<unsigned char>(glb[12]), 12);
    EXPECT_EQ(glb.substr(20, 12), "0123456789  ");
    EXPECT_EQ(glb.substr(36, 4), std::string("BIN\0", 4));
}

TEST(Gltf, StripsFansAndMirrorsKeepFacesOutward) {
    struct Row {
        const char* what;
        std::string primitive;
        std::string nodes;
    };
    const Row rows[] = {
        {"list", R"({"attributes": {"POSITION": 0}, "mode": 4})", R"([{"mesh": 0}])"},
        {"strip", R"({"attributes": {"POSITION": 0}, "mode": 5})", R"([{"mesh": 0}])"},
        {"fan", R"({"attributes": {"POSITION": 0}, "mode": 6})", R"([{"mesh": 0}])"},
        {"mirrored strip", R"({"attributes": {"POSITION": 0}, "mode": 5})",
         R"([{"children": [1], "scale": [-1, 1, 1]}, {"mesh": 0}])"},
        {"mirrored by matrix", R"({"attributes": {"POSITION": 0}, "mode": 5})",
         R"([{"mesh": 0, "matrix": [1,0,0,0, 0,1,0,0, 0,0,-1,0, 0,0,0,1]}])"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // The fan visits the quad's corners in order 0 1 3 2 to cover it.
        const std::string pos =
            std::string(row.what) == "fan" ? floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}) : kQuadXY;
        Mesh m;
        ASSERT_TRUE(io::import_gltf_bytes(hand_made(pos, 4, row.primitive, row.nodes), {}, m));
        const std::uint64_t faces = std::string(row.what) == "list" ? 1 : 2;
        EXPECT_EQ(m.alive_face_count(), faces);
        EXPECT_NEAR(m.area_of_faces(m.alive_faces()), faces == 1 ? 0.5f : 1.0f, 1e-6f);
        // The quad faces glTF's +Z (or -Z after the z mirror), which is the model's -Y (+Y).
        const float expected = std::string(row.what) == "mirrored by matrix" ? 1.0f : -1.0f;
        for (FaceId f : m.alive_faces()) EXPECT_NEAR(m.face_normal(f).y, expected, 1e-6f);
    }
}

TEST(Gltf, NodesComposeTranslationRotationAndScale) {
    // Child turned 90 degrees about glTF's Y and scaled by 2 under a parent moved 10 along X:
    // glTF (1, 0, 0) lands on (10, 0, -2), which is the model's (10, 2, 0).
    const std::string nodes =
        R"([{"translation": [10, 0, 0], "children": [1]},
            {"mesh": 0, "scale": [2, 2, 2], "rotation": [0, 0.70710678, 0, 0.70710678]}])";
    Mesh m;
    ASSERT_TRUE(io::import_gltf_bytes(hand_made(floats({0, 0, 0, 1, 0, 0, 0, 1, 0}), 3,
                                                R"({"attributes": {"POSITION": 0}})", nodes),
                                      {}, m));
    const auto p = sorted_positions(m);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_NEAR(p[0][0], 10.0f, 1e-5f);  // the origin
    EXPECT_NEAR(p[2][0], 10.0f, 1e-5f);  // glTF (1, 0, 0)
    EXPECT_NEAR(p[2][1], 2.0f, 1e-5f);
    EXPECT_NEAR(p[2][2], 0.0f, 1e-5f);
}

TEST(Gltf, SideBufferFilesAndBadInputs) {
    const auto dir = test::fresh_temp_dir();
    std::ofstream(dir / "quad data.bin", std::ios::binary) << kQuadXY;
    const std::string side =
        R"({"asset": {"version": "2.0"}, "buffers": [{"byteLength": 48, "uri": "quad%20data.bin"}],
            "bufferViews": [{"buffer": 0, "byteLength": 48}],
            "accessors": [{"bufferView": 0, "componentType": 5126, "count": COUNT, "type": "VEC3"}],
            "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "mode": 5}]}],
            "nodes": [{"mesh": 0}]})";
    auto with_count = [&](const char* count) {
        std::string s = side;
        s.replace(s.find("COUNT"), 5, count);
        return s;
    };
    Mesh m;
    EXPECT_TRUE(io::import_gltf_bytes(with_count("4"), dir, m));
    EXPECT_EQ(m.alive_face_count(), 2u);
    struct Row {
        const char* what;
        std::string text;
        std::filesystem::path dir;
    };
    const Row rows[] = {
        {"accessor past its view", with_count("5"), dir},
        {"side file not looked up", with_count("4"), {}},
        {"not JSON", "{\"asset\": ", dir},
        {"no triangles", R"({"asset": {"version": "2.0"}})", dir},
        {"float indices",
         hand_made(kQuadXY, 4, R"({"attributes": {"POSITION": 0}, "indices": 0})",
                   R"([{"mesh": 0}])"),
         dir},
        {"bad GLB version", std::string("glTF\1\0\0\0\24\0\0\0", 12) + std::string(8, '\0'), dir},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Mesh bad;
        EXPECT_FALSE(io::import_gltf_bytes(row.text, row.dir, bad));
    }
    Mesh missing;
    EXPECT_FALSE(io::import_gltf(dir / "absent.gltf", missing));
}

TEST(Gltf, EveryTruncatedGlbFailsCleanly) {
    const std::string glb = io::glb_container(io::build_gltf(cube(), MaterialLibrary(), {}));
    for (std::size_t n = 0; n < glb.size(); n += 7) {
        Mesh m;
        EXPECT_FALSE(io::import_gltf_bytes(std::string_view(glb).substr(0, n), {}, m)) << n;
    }
}

}  // namespace
}  // namespace korvan
