#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/material_library.h"
#include "io/mesh_import.h"
#include "io/obj.h"
#include "io/ply.h"
#include "io/stl.h"
#include "tests/support/cli_runner.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

// A closed box away from the origin, faces wound outwards.
Mesh box(const Vec3& lo, const Vec3& hi) {
    Mesh m;
    std::vector<VertexId> v;
    for (int i = 0; i < 8; ++i) {
        v.push_back(m.add_vertex({i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z}));
    }
    m.add_quad(v[0], v[2], v[3], v[1]);
    m.add_quad(v[4], v[5], v[7], v[6]);
    m.add_quad(v[0], v[1], v[5], v[4]);
    m.add_quad(v[1], v[3], v[7], v[5]);
    m.add_quad(v[3], v[2], v[6], v[7]);
    m.add_quad(v[2], v[0], v[4], v[6]);
    m.link_shared_edges();
    return m;
}

// A closed prism over a regular n-gon: two n-gon caps and n quads.
Mesh prism(int n, float radius, float height) {
    Mesh m;
    std::vector<VertexId> bottom, top;
    for (int i = 0; i < n; ++i) {
        const float a = 6.2831853f * float(i) / float(n);
        bottom.push_back(m.add_vertex({radius * std::cos(a), radius * std::sin(a), 0.0f}));
        top.push_back(m.add_vertex({radius * std::cos(a), radius * std::sin(a), height}));
    }
    m.add_ngon(std::vector<VertexId>(bottom.rbegin(), bottom.rend()));
    m.add_ngon(top);
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        m.add_quad(bottom[i], bottom[j], top[j], top[i]);
    }
    m.link_shared_edges();
    return m;
}

std::string num(std::uint64_t n) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
}

struct Format {
    const char* name;
    std::string (*write)(const Mesh&);
    bool (*read)(std::string_view, Mesh&);
};

std::string write_obj(const Mesh& m) { return io::format_obj(m, nullptr, {}, nullptr); }
bool read_obj(std::string_view text, Mesh& m) { return io::parse_obj(text, m, nullptr, {}); }

const Format kFormats[] = {{"OBJ", write_obj, read_obj},
                           {"STL", io::format_stl, io::parse_stl},
                           {"PLY", io::format_ply, io::parse_ply}};

std::vector<std::uint64_t> corner_counts(const Mesh& m) {
    std::vector<std::uint64_t> counts;
    for (const FaceId f : m.alive_faces()) counts.push_back(m.face_degree(f));
    return counts;
}

TEST(MeshFormats, ClosedSolidsComeBackWeldedClosedWithTheirVolume) {
    const Mesh solids[] = {box({10.5f, -3.0f, 2.0f}, {12.0f, 1.0f, 2.75f}), prism(6, 2.0f, 3.0f),
                           prism(9, 0.5f, 0.25f)};
    for (const Format& format : kFormats) {
        for (const Mesh& solid : solids) {
            SCOPED_TRACE(std::string(format.name) + " with " +
                         num(solid.alive_face_count()) + " faces");
            Mesh back;
            ASSERT_TRUE(format.read(format.write(solid), back)) << io::last_import_error();
            test::expect_closed_solids(back);
            EXPECT_EQ(back.alive_vertex_count(), solid.alive_vertex_count());
            EXPECT_NEAR(back.compute_volume(), solid.compute_volume(),
                        1e-5 * solid.compute_volume());
        }
    }
}

TEST(MeshFormats, PlyKeepsNgonsObjSplitsThemAndStlTriangulates) {
    const Mesh hexagonal = prism(6, 1.0f, 1.0f);
    Mesh obj, stl, ply;
    ASSERT_TRUE(read_obj(write_obj(hexagonal), obj));
    ASSERT_TRUE(io::parse_stl(io::format_stl(hexagonal), stl));
    ASSERT_TRUE(io::parse_ply(io::format_ply(hexagonal), ply));
    EXPECT_EQ(corner_counts(ply), corner_counts(hexagonal));
    EXPECT_EQ(obj.alive_face_count(), 6u + 2 * 4);  // quads stay, each hexagon gives 4
    EXPECT_EQ(stl.alive_face_count(), 2u * 6 + 2 * 4);
    // The binary layout: header, count, 50 bytes per triangle.
    const std::string bytes = io::format_stl(hexagonal);
    EXPECT_EQ(bytes.substr(0, 17), "Korvan STL export");
    EXPECT_EQ(bytes.size(), 84u + 50u * 20u);
}

TEST(MeshFormats, ObjTextNumbersUvsAndMaterialGroups) {
    // Faces of materials 3, 0, 3; a dead vertex between live ones; UVs on two faces only,
    // sharing one (u, v) pair.
    Mesh m;
    for (int i = 0; i < 6; ++i) m.add_vertex({float(i), float(i % 2), 0.5f});
    m.vertex_mut(1).alive = false;
    const FaceId a = *m.add_triangle(0, 2, 3);
    m.add_triangle(3, 4, 5);
    const FaceId c = *m.add_triangle(0, 3, 5);
    m.set_face_material(a, 3);
    m.set_face_material(c, 3);
    const std::vector<HalfEdgeId> ha = m.face_half_edges(a), hc = m.face_half_edges(c);
    const float uv_a[3][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.1f, 0.7f}};
    const float uv_c[3][2] = {{0.1f, 0.7f}, {0.25f, 1.0f}, {0.0f, 0.0f}};
    for (int i = 0; i < 3; ++i) {
        m.set_corner_uv(ha[i], uv_a[i][0], uv_a[i][1]);
        m.set_corner_uv(hc[i], uv_c[i][0], uv_c[i][1]);
    }
    EXPECT_EQ(write_obj(m),
              "# Korvan OBJ export\n"
              "v 0 0 0.5\nv 2 0 0.5\nv 3 1 0.5\nv 4 0 0.5\nv 5 1 0.5\n"
              "vt 0 0\nvt 1 0\nvt 0.100000001 0.699999988\nvt 0.25 1\n"
              "f 1/1 2/2 3/3\nf 1/3 3/4 5/1\nf 3 4 5\n");

    // With materials: usemtl per group and an MTL entry per used material, names made safe.
    MaterialLibrary lib;
    Material odd;
    odd.name = "my #1\tpaint";
    odd.albedo = {0.5f, 0.25f, 1.0f};
    odd.roughness = 0.5f;
    odd.opacity = 0.75f;
    odd.texture_path = "tex/wood.png";
    while (lib.size() < 3) lib.add(Material{});
    lib.add(odd);
    std::string mtl;
    const std::string text = io::format_obj(m, &lib, "model.mtl", &mtl);
    EXPECT_NE(text.find("mtllib model.mtl\n"), std::string::npos);
    EXPECT_NE(text.find("usemtl my_1_paint\nf 1/1 2/2 3/3\nf 1/3 3/4 5/1\nusemtl mat_0\nf 3"),
              std::string::npos);
    EXPECT_NE(mtl.find("newmtl my_1_paint\nKd 0.5 0.25 1\nKa 0.1 0.05 0.2\nNs 250\nd 0.75\n"
                       "map_Kd tex/wood.png\n\n"),
              std::string::npos);
}

TEST(MeshFormats, ObjUvsSurviveTheRoundTrip) {
    Mesh m = box({0, 0, 0}, {1, 1, 1});
    for (const FaceId f : m.alive_faces()) {
        float k = 0.0f;
        for (const HalfEdgeId h : m.face_half_edges(f)) m.set_corner_uv(h, k += 0.25f, float(f));
    }
    Mesh back;
    ASSERT_TRUE(read_obj(write_obj(m), back));
    ASSERT_EQ(back.alive_face_count(), 6u);
    for (const FaceId f : back.alive_faces()) {
        const std::vector<HalfEdgeId> ring = back.face_half_edges(f);
        ASSERT_TRUE(back.face_has_uvs(f));
        for (std::size_t i = 0; i < ring.size(); ++i) {
            EXPECT_EQ(back.corner_uv(ring[i]).u, 0.25f * float(i + 1));
            EXPECT_EQ(back.corner_uv(ring[i]).v, float(f));
        }
    }
}

// What real exporters write: comments, object and group lines, normals, tabs and runs of
// blanks, CR LF, a continued line, negative indices and no final newline.
constexpr char kUnitCubeObj[] =
    "# exported elsewhere\r\nmtllib none.mtl\r\no Cube\r\n"
    "v 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\nv 0 1 0\r\nv 0 0 1\r\nv 1 0 1\r\nv 1 1 1\r\nv 0 1 1\r\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 -1\ng side\ns 1\nusemtl none\n"
    "f 1/1/1 4/2/1 3/3/1 2/3/1\n"
    "f\t5//1   6//1\t7//1 8//1\n"
    "f -8/-1 -7/-2 -3/-3 \\\n -4/-1\n"
    "f 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8";

TEST(MeshFormats, ObjReaderTakesWhatRealFilesHold) {
    Mesh m;
    MaterialLibrary lib;
    ASSERT_TRUE(io::parse_obj(kUnitCubeObj, m, &lib, {})) << io::last_import_error();
    test::expect_closed_solids(m);
    EXPECT_NEAR(m.compute_volume(), 1.0, 1e-6);
    EXPECT_TRUE(lib.empty());  // no readable library: default material
    // Texture indices -1, -2, -3 name the last three coordinates so far, in reverse order.
    const FaceId third = m.alive_faces()[2];
    const std::vector<HalfEdgeId> ring = m.face_half_edges(third);
    ASSERT_TRUE(m.face_has_uvs(third));
    EXPECT_EQ(m.corner_uv(ring[0]).u, 1.0f);
    EXPECT_EQ(m.corner_uv(ring[1]).u, 1.0f);
    EXPECT_EQ(m.corner_uv(ring[2]).u, 0.0f);
    EXPECT_FALSE(m.face_has_uvs(m.alive_faces()[1]));

    EXPECT_FALSE(io::parse_obj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 x\n", m, nullptr, {}));
    EXPECT_NE(io::last_import_error().find("line 4"), std::string::npos);
}

TEST(MeshFormats, ObjMaterialsComeFromAReadableLibrary) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    std::ofstream(dir / "paints.mtl") << "newmtl red\nKd 1 0 0\nd 0.5\nmap_Kd -s 1 1 1 red.png\n"
                                         "newmtl glass\nKd 0.2 0.3 0.4\nTr 0.75\nmap_Kd gone.png\n";
    std::ofstream(dir / "red.png") << "png";
    std::ofstream(dir / "m.obj") << "mtllib paints.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                    "usemtl glass\nf 1 2 3\nusemtl unknown\nf 1 3 4\n"
                                    "usemtl red\nf 3 2 1\nusemtl glass\nf 4 3 1\n";
    MaterialLibrary lib(default_materials());
    const std::size_t before = lib.size();
    Mesh m;
    ASSERT_TRUE(io::import_obj(dir / "m.obj", m, &lib)) << io::last_import_error();
    ASSERT_EQ(lib.size(), before + 2);
    const Material& glass = lib[before];
    const Material& red = lib[before + 1];
    EXPECT_EQ(glass.name, "glass");
    EXPECT_EQ(glass.albedo, (Rgb{0.2f, 0.3f, 0.4f}));
    EXPECT_FLOAT_EQ(glass.opacity, 0.25f);
    EXPECT_TRUE(glass.texture_path.empty());
    EXPECT_EQ(red.name, "red");
    EXPECT_FLOAT_EQ(red.opacity, 0.5f);
    EXPECT_EQ(std::filesystem::path(red.texture_path), dir / "red.png");
    std::vector<std::uint32_t> materials;
    for (const FaceId f : m.alive_faces()) materials.push_back(m.faces()[f].material_id);
    const auto g = static_cast<std::uint32_t>(before);
    EXPECT_EQ(materials, (std::vector<std::uint32_t>{g, 0, g + 1, g}));

    // Without the library file every face keeps the default material.
    std::filesystem::remove(dir / "paints.mtl");
    MaterialLibrary untouched(default_materials());
    ASSERT_TRUE(io::import_obj(dir / "m.obj", m, &untouched));
    EXPECT_EQ(untouched.size(), before);
    for (const FaceId f : m.alive_faces()) EXPECT_EQ(m.faces()[f].material_id, 0u);
}

std::string binary_ply(bool big_endian, const Mesh& solid) {
    // Extra properties round the coordinates, a face flag before the list, an edge element.
    std::string out = std::string("ply\nformat ") +
                      (big_endian ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\nelement vertex " + num(solid.alive_vertex_count()) +
                      "\nproperty float nx\nproperty double z\nproperty float y\n"
                      "property uchar red\nproperty float x\nelement face " +
                      num(solid.alive_face_count()) +
                      "\nproperty uchar flags\nproperty list uchar uint vertex_indices\n"
                      "element edge 1\nproperty int a\nproperty int b\nend_header\n";
    auto put = [&](auto value) {
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        if (big_endian) std::reverse(bytes, bytes + sizeof value);
        out.append(bytes, sizeof value);
    };
    for (const Vertex& v : solid.vertices()) {
        put(0.5f), put(double(v.position.z)), put(v.position.y), put(std::uint8_t{9}),
            put(v.position.x);
    }
    for (const FaceId f : solid.alive_faces()) {
        const std::vector<VertexId> ring = solid.face_vertices(f);
        put(std::uint8_t{1}), put(std::uint8_t(ring.size()));
        for (const VertexId v : ring) put(std::uint32_t{v});
    }
    put(std::int32_t{0}), put(std::int32_t{1});
    return out;
}

TEST(MeshFormats, BinaryPlyInBothByteOrdersWithExtraProperties) {
    const Mesh solid = prism(7, 1.5f, 2.0f);
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big endian" : "little endian");
        Mesh back;
        ASSERT_TRUE(io::parse_ply(binary_ply(big, solid), back)) << io::last_import_error();
        test::expect_closed_solids(back);
        EXPECT_EQ(corner_counts(back), corner_counts(solid));
        EXPECT_NEAR(back.compute_volume(), solid.compute_volume(), 1e-5 * solid.compute_volume());
    }
}

TEST(MeshFormats, StlIsBinaryBySizeAndIgnoresStoredNormals) {
    std::string bytes = io::format_stl(box({0, 0, 0}, {2, 1, 1}));
    std::memcpy(bytes.data(), "solid but binary", 16);
    for (std::size_t at = 84; at < bytes.size(); at += 50) {
        const float wrong[3] = {0.0f, 0.0f, -1.0f};
        std::memcpy(bytes.data() + at, wrong, sizeof wrong);
    }
    Mesh m;
    ASSERT_TRUE(io::parse_stl(bytes, m)) << io::last_import_error();
    test::expect_closed_solids(m);
    EXPECT_NEAR(m.compute_volume(), 2.0, 1e-6);
    // A collinear triangle is written with a zero normal.
    Mesh line;
    line.add_triangle(line.add_vertex({0, 0, 0}), line.add_vertex({1, 0, 0}),
                      line.add_vertex({2, 0, 0}));
    const std::string flat = io::format_stl(line);
    EXPECT_EQ(flat.substr(84, 12), std::string(12, '\0'));
}

// Every prefix of a valid file and every file with one byte spoiled either reads into a mesh
// with faces or fails with a message; none may crash (the sanitizer build watches this).
TEST(MeshFormats, TruncatedAndCorruptedFilesFailCleanly) {
    const Mesh solid = prism(5, 1.0f, 1.0f);
    const std::string files[] = {write_obj(solid), io::format_stl(solid), io::format_ply(solid),
                                 binary_ply(false, solid)};
    bool (*const readers[])(std::string_view, Mesh&) = {read_obj, io::parse_stl, io::parse_ply,
                                                       io::parse_ply};
    for (std::size_t k = 0; k < std::size(files); ++k) {
        const std::string& file = files[k];
        std::uint64_t failures = 0;
        for (std::size_t cut = 0; cut < file.size(); ++cut) {
            Mesh m;
            if (readers[k](std::string_view(file).substr(0, cut), m)) {
                EXPECT_GT(m.alive_face_count(), 0u);
            } else {
                ++failures;
                EXPECT_FALSE(io::last_import_error().empty()) << "file " << k << " cut " << cut;
            }
            std::string spoiled = file;
            spoiled[cut] = static_cast<char>(spoiled[cut] ^ 0x5A);
            if (!readers[k](spoiled, m)) {
                EXPECT_FALSE(io::last_import_error().empty());
            }
        }
        // Binary files carry their sizes up front: no prefix of one is complete.
        if (k == 1 || k == 3) {
            EXPECT_EQ(failures, file.size()) << "file " << k;
        }
    }
}

TEST(MeshFormats, BadHeadersAndMissingFilesAreRefused) {
    const char* ply_refusals[] = {
        "plyx\nformat ascii 1.0\nend_header\n",
        "ply\nformat binary_middle_endian 1.0\nend_header\n",
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nend_header\n"
        "0 0\n1 0\n0 1\n",
        "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n",
    };
    for (const char* text : ply_refusals) {
        SCOPED_TRACE(text);
        Mesh m;
        EXPECT_FALSE(io::parse_ply(text, m));
        EXPECT_FALSE(io::last_import_error().empty());
    }
    Mesh m;
    const std::filesystem::path missing = test::fresh_temp_dir() / "absent";
    EXPECT_FALSE(io::import_obj(missing, m));
    EXPECT_FALSE(io::import_stl(missing, m));
    EXPECT_FALSE(io::import_ply(missing, m));
    EXPECT_FALSE(io::last_import_error().empty());
}

}  // namespace
}  // namespace korvan
