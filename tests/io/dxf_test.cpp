#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "io/dxf_drawing.h"
#include "io/dxf_import.h"
#include "io/dxf_write.h"
#include "tests/support/cli_runner.h"

namespace korvan {
namespace {

constexpr double kPi = 3.14159265358979;
// A full turn tessellated at 24 segments: the area of a unit circle as imported.
const double kUnitCircleArea = 12.0 * std::sin(2.0 * kPi / 24.0);

// DXF text from alternating codes and values, in sections of our choosing.
std::string dxf(std::initializer_list<std::pair<int, std::string>> pairs) {
    std::string out;
    for (const auto& [code, value] : pairs) out += std::to_string(code) + "\n" + value + "\n";
    return out;
}

std::string entities(const std::string& body, const std::string& header = "",
                     const std::string& blocks = "") {
    std::string out;
    if (!header.empty()) out += "0\nSECTION\n2\nHEADER\n" + header + "0\nENDSEC\n";
    if (!blocks.empty()) out += "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n";
    return out + "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n";
}

std::string insunits(int code) { return dxf({{9, "$INSUNITS"}, {70, std::to_string(code)}}); }

std::string lwpolyline(const std::vector<std::array<double, 3>>& xyb, bool closed) {
    std::string out =
        dxf({{0, "LWPOLYLINE"}, {90, std::to_string(xyb.size())}, {70, closed ? "1" : "0"}});
    for (const auto& p : xyb) {
        out += dxf({{10, std::to_string(p[0])}, {20, std::to_string(p[1])}});
        if (p[2] != 0.0) out += dxf({{42, std::to_string(p[2])}});
    }
    return out;
}

std::string block(const std::string& name, const std::string& body, double bx = 0, double by = 0) {
    return dxf({{0, "BLOCK"},
                {2, name},
                {10, std::to_string(bx)},
                {20, std::to_string(by)},
                {30, "0"}}) +
           body + dxf({{0, "ENDBLK"}});
}

std::string insert(const std::string& name, double x = 0, double y = 0, double scale = 1,
                   double rotation = 0) {
    return dxf({{0, "INSERT"},
                {2, name},
                {10, std::to_string(x)},
                {20, std::to_string(y)},
                {41, std::to_string(scale)},
                {42, std::to_string(scale)},
                {50, std::to_string(rotation)}});
}

struct Imported {
    Document doc;
    Mesh mesh;
    io::DxfImportReport report;
    bool ok = false;
};

Imported import_text(const std::string& text) {
    Imported r;
    io::Drawing drawing;
    r.ok = io::parse_dxf(text, drawing);
    if (r.ok) io::convert_drawing(drawing, "DXF", r.doc, r.mesh, r.report);
    return r;
}

bool has_note(const io::DxfImportReport& report, std::string_view text) {
    for (const std::string& n : report.notes) {
        if (n.find(text) != std::string::npos) return true;
    }
    return false;
}

const std::string kSquare =
    lwpolyline({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}}, true);

TEST(Dxf, ExportWritesOneLinePerEdgeAndNothingElse) {
    Mesh m;
    std::array<VertexId, 8> v{};
    for (int i = 0; i < 8; ++i)
        v[i] = m.add_vertex({float(i & 1), float((i >> 1) & 1), float(i >> 2)});
    m.add_quad(v[0], v[2], v[3], v[1]);
    m.add_quad(v[4], v[5], v[7], v[6]);
    m.add_quad(v[0], v[1], v[5], v[4]);
    m.add_quad(v[2], v[6], v[7], v[3]);
    m.add_quad(v[0], v[4], v[6], v[2]);
    m.add_quad(v[1], v[3], v[7], v[5]);
    m.weld_vertices();
    m.link_shared_edges();
    const auto path = test::fresh_temp_dir() / "cube.dxf";
    ASSERT_TRUE(io::export_dxf(path, m));
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(text.starts_with("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n"));
    EXPECT_TRUE(text.ends_with("0\nENDSEC\n0\nEOF\n"));
    // Walk the pairs: the records are the section frame and twelve LINEs, all on layer "0".
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    ASSERT_EQ(lines.size() % 2, 0u);
    std::string records;
    std::size_t layer_zero = 0;
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        if (lines[i] == "0") records += lines[i + 1] + " ";
        layer_zero += lines[i] == "8" && lines[i + 1] == "0";
    }
    std::string expected = "SECTION ";
    for (int i = 0; i < 12; ++i) expected += "LINE ";
    EXPECT_EQ(records, expected + "ENDSEC EOF ");
    EXPECT_EQ(layer_zero, 12u);

    // Read back, the twelve edges are twelve guides.
    const Imported back = import_text(text);
    EXPECT_EQ(back.report.guides, 12u);
    EXPECT_EQ(back.report.faces, 0u);
}

TEST(Dxf, UnitsScaleToMetres) {
    struct Row {
        int code;
        double area;
        bool note;
    };
    const Row rows[] = {{4, 1.0, false},
                        {5, 100.0, false},
                        {6, 1e6, false},
                        {0, 1e6, false},
                        {1, 0.0254 * 0.0254 * 1e6, false},
                        {13, 1e6, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        const Imported r = import_text(entities(kSquare, insunits(row.code)));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.report.faces, 1u);
        EXPECT_NEAR(r.mesh.area_of_faces(r.mesh.alive_faces()), row.area, row.area * 1e-5);
        EXPECT_EQ(has_note(r.report,
                           "DXF $INSUNITS 13 is a unit this importer does not convert; "
                           "the drawing was read as metres."),
                  row.note);
    }
}

TEST(Dxf, EntitiesBecomeGuidesCurvesAndFaces) {
    struct Row {
        const char* what;
        std::string body;
        std::uint64_t faces, guides, curves;
        double area;
    };
    const double slot = 2.0 + 0.25 * kUnitCircleArea;  // 2 x 1 rectangle with round ends
    const Row rows[] = {
        {"line", dxf({{0, "LINE"}, {10, "0"}, {20, "0"}, {11, "3"}, {21, "4"}}), 0, 1, 0, 0},
        {"open polyline", lwpolyline({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, false), 0, 2, 0, 0},
        {"bulged slot", lwpolyline({{0, 0, 0}, {2, 0, 1}, {2, 1, 0}, {0, 1, 1}}, true), 1, 26, 0,
         slot},
        {"old polyline",
         dxf({{0, "POLYLINE"},
              {70, "1"},
              {0, "VERTEX"},
              {10, "0"},
              {20, "0"},
              {0, "VERTEX"},
              {10, "2"},
              {20, "0"},
              {0, "VERTEX"},
              {10, "0"},
              {20, "2"},
              {0, "SEQEND"}}),
         1, 3, 0, 2.0},
        {"quarter arc", dxf({{0, "ARC"}, {10, "5"}, {20, "5"}, {40, "2"}, {50, "0"}, {51, "90"}}),
         0, 6, 1, 0},
        {"circle", dxf({{0, "CIRCLE"}, {10, "5"}, {20, "5"}, {40, "1"}}), 1, 24, 1,
         kUnitCircleArea},
        {"tiny circle", dxf({{0, "CIRCLE"}, {40, "0.0000001"}}), 0, 0, 0, 0},
        {"mirrored circle", dxf({{0, "CIRCLE"}, {10, "5"}, {40, "1"}, {230, "-1"}}), 1, 24, 1,
         kUnitCircleArea},
        {"ellipse", dxf({{0, "ELLIPSE"}, {11, "2"}, {40, "0.5"}}), 1, 48, 1, 0},
        {"3dface",
         dxf({{0, "3DFACE"}, {10, "0"}, {11, "1"}, {12, "1"}, {22, "1"}, {13, "1"}, {23, "1"}}), 1,
         3, 0, 0.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Imported r = import_text(entities(row.body));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.report.faces, row.faces);
        EXPECT_EQ(r.report.guides, row.guides);
        EXPECT_EQ(r.report.curves, row.curves);
        if (row.area > 0) {
            EXPECT_NEAR(r.mesh.area_of_faces(r.mesh.alive_faces()), row.area, 1e-4);
        }
        for (FaceId f : r.mesh.alive_faces()) EXPECT_GT(r.mesh.face_normal(f).z, 0.99f);
    }
}

TEST(Dxf, SplinesEvaluateOrExplainWhyNot) {
    auto spline = [](int degree, std::vector<std::array<double, 3>> control,
                     std::vector<double> knots, std::vector<double> weights = {},
                     std::vector<std::array<double, 2>> fit = {}) {
        std::string s = dxf({{0, "SPLINE"}, {71, std::to_string(degree)}});
        for (double k : knots) s += dxf({{40, std::to_string(k)}});
        for (double w : weights) s += dxf({{41, std::to_string(w)}});
        for (const auto& c : control)
            s += dxf({{10, std::to_string(c[0])}, {20, std::to_string(c[1])}, {30, "0"}});
        for (const auto& f : fit)
            s += dxf({{11, std::to_string(f[0])}, {21, std::to_string(f[1])}});
        return s;
    };
    const double w = std::sqrt(0.5);
    struct Row {
        const char* what;
        std::string body;
        std::uint64_t splines, refused;
        const char* note;
    };
    const Row rows[] = {
        {"quarter circle",
         spline(2, {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 0, 1, 1, 1}, {1, w, 1}), 1, 0,
         nullptr},
        {"short of points", spline(3, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {}), 0, 1,
         "SPLINE declares degree 3 but carries only 3 control points (needs 4); skipped."},
        {"wrong knots", spline(1, {{0, 0, 0}, {1, 0, 0}}, {0, 1}), 1, 0,
         "SPLINE carries 2 knots but needs 4; a clamped uniform knot vector was used instead."},
        {"flat knots", spline(1, {{0, 0, 0}, {1, 0, 0}}, {0, 0, 0, 0}), 0, 1,
         "SPLINE has a degenerate knot vector (no parameter range); skipped."},
        {"fit points", spline(3, {}, {}, {}, {{0, 0}, {1, 1}, {2, 0}}), 1, 0,
         "SPLINE had fit points but no control points; imported as a polyline through the fit "
         "points (the curvature between them is not reconstructed)."},
        {"nothing", spline(3, {}, {}, {}, {{0, 0}}), 0, 1,
         "SPLINE has no control points and fewer than two fit points; skipped."},
        {"zero weights", spline(1, {{0, 0, 0}, {1, 0, 0}}, {0, 0, 1, 1}, {0, 0}), 0, 1,
         "SPLINE could not be evaluated (control points or knots are degenerate); skipped."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Imported r = import_text(entities(row.body));
        EXPECT_EQ(r.report.splines, row.splines);
        EXPECT_EQ(r.report.refused_splines, row.refused);
        EXPECT_EQ(r.report.curves, row.splines);
        if (row.note) {
            EXPECT_TRUE(has_note(r.report, row.note)) << r.report.notes.size();
        } else {
            EXPECT_TRUE(r.report.notes.empty());
        }
    }
    // The rational quarter circle lies on the unit circle at every evaluated point.
    const Imported r = import_text(entities(rows[0].body));
    ASSERT_EQ(r.mesh.curves().size(), 1u);
    for (const Vec3& p : r.mesh.curves()[0].points) EXPECT_NEAR(std::hypot(p.x, p.y), 1.0, 1e-6);
}

TEST(Dxf, BlocksBecomeSharedDefinitionsPlacedByInserts) {
    const std::string square = lwpolyline({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, true);
    // SQ's base point (1, 1) is its origin; the insert scales by 2, turns 90 degrees and
    // lands the base point on (10, 0): the square's corner (0, 0) goes to (12, -2).
    const Imported r = import_text(
        entities(insert("SQ", 10, 0, 2, 90) + insert("sq", 0, 0), "", block("SQ", square, 1, 1)));
    ASSERT_EQ(r.doc.definitions().size(), 1u);
    EXPECT_EQ(r.report.instances, 2u);
    EXPECT_EQ(r.report.faces, 2u);
    const Mesh world = r.doc.flatten_world();
    bool found = false;
    for (const Vertex& v : world.vertices()) {
        found = found ||
                (std::abs(v.position.x - 12.0f) < 1e-5f && std::abs(v.position.y + 2.0f) < 1e-5f);
    }
    EXPECT_TRUE(found);
    EXPECT_NEAR(world.area_of_faces(world.alive_faces()), 4.0 + 1.0, 1e-4);
}

TEST(Dxf, NestingCyclesAndUnknownBlocksAreRefusedWithNotes) {
    std::string chain;
    for (int i = 1; i <= 17; ++i)
        chain += block("B" + std::to_string(i), i < 17 ? insert("B" + std::to_string(i + 1)) : "");
    struct Row {
        const char* what;
        std::string text;
        std::uint64_t instances, refused;
        const char* note;
    };
    const Row rows[] = {
        {"cycle", entities(insert("A"), "", block("A", insert("B")) + block("B", insert("A"))), 2,
         1,
         "DXF block \"B\": block \"A\" is inserted inside itself (block reference cycle); that "
         "INSERT was dropped."},
        {"17 levels", entities(insert("B1"), "", chain), 16, 1,
         "\"B17\" nests deeper than 16 levels; the nested INSERT was dropped."},
        {"unknown in model space", entities(insert("NOPE")), 0, 1,
         "INSERT names unknown block \"NOPE\"."},
        {"unknown in a block", entities(insert("A"), "", block("A", insert("NOPE"))), 1, 1,
         "DXF block \"A\": inserts unknown block \"NOPE\"."},
        {"defined twice", entities(insert("A"), "", block("A", "") + block("a", "")), 1, 0,
         "DXF defines block \"a\" twice; the second definition was ignored."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Imported r = import_text(row.text);
        EXPECT_EQ(r.report.instances, row.instances);
        EXPECT_EQ(r.report.refused_inserts, row.refused);
        EXPECT_EQ(r.doc.root().children.size(), row.instances);
        EXPECT_TRUE(has_note(r.report, row.note));
    }
}

TEST(Dxf, ReadFailuresAndRealDrawings) {
    const auto dir = test::fresh_temp_dir();
    std::ofstream(dir / "png.dxf", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    Document doc;
    Mesh mesh;
    io::DxfImportReport report;
    EXPECT_FALSE(io::import_dxf(dir / "png.dxf", doc, mesh, report));
    EXPECT_FALSE(io::import_dxf(dir / "absent.dxf", doc, mesh, report));

    const std::filesystem::path data = KORVAN_SHARED_DATA_DIR "/dxf";
    if (!std::filesystem::is_directory(data)) GTEST_SKIP() << "no real drawings at " << data;
    for (const auto& entry : std::filesystem::directory_iterator(data)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".dxf") continue;
        SCOPED_TRACE(entry.path().string());
        Document d;
        Mesh m;
        io::DxfImportReport rep;
        EXPECT_TRUE(io::import_dxf(entry.path(), d, m, rep));
    }
}

}  // namespace
}  // namespace korvan
