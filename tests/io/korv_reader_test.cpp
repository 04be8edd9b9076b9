#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "io/korv_edge_link.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"
#include "tests/io/korv_test_models.h"
#include "tests/support/cli_runner.h"
#include "tests/support/mesh_checks.h"

namespace korvan::io {
namespace {

const std::string kTruncatedEnd = " It was probably cut off while it was being copied or saved.";

std::string replace_once(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string load_error(const std::string& text) {
    Document doc;
    if (parse_document(text, doc)) return "loaded";
    return last_load_error();
}

TEST(KorvReader, ReportsEachFailureWithItsMessage) {
    const std::string square = test::korv_square_text();
    const std::size_t faces_end = square.find("FACES 2\n") + 8;
    const std::string damaged = replace_once(square, "FACES 2\n", "FACES 4000000000\n");
    struct Case {
        const char* name;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"empty", "", "The file is empty (0 bytes)."},
        {"not korvan", "KORV 0.1\nENDKORVAN\n",
         "This is not a Korvan model: the file does not start with the KORVAN header."},
        {"inside FACES records", square.substr(0, faces_end + 14),
         "The file is truncated: it ends inside the FACES block." + kTruncatedEnd},
        {"inside a FACES line", square.substr(0, faces_end + 20),
         "The file is truncated: it ends inside the FACES block." + kTruncatedEnd},
        {"after ENDMESH", square.substr(0, square.find("ENDKORVAN")),
         "The file is truncated: it stops before its ENDKORVAN line." + kTruncatedEnd},
        {"damaged count", damaged,
         "The file is damaged: its FACES block declares 4000000000 entries, but only " +
             std::to_string(square.size() - faces_end) + " bytes of the file follow."},
        {"damaged tag count", replace_once(square, "TAGS 1\n", "TAGS 999999\n"),
         "The file is damaged: its TAGS block declares 999999 entries, but only " +
             std::to_string(square.size() - square.find("Layer0")) + " bytes of the file follow."},
        {"no VERTICES", replace_once(square, "VERTICES 4\n", "VERTEX 4\n"),
         "The file is damaged: a MESH block has no VERTICES line."},
        {"bad number", replace_once(square, "1 1 1 0\n", "1 1 x 0\n"),
         "The file holds no geometry, materials or components Korvan can read."},
        {"face of two corners", replace_once(square, "3 0 0 1 0 2 3\n", "2 0 0 1 0 2\n"),
         "The file holds no geometry, materials or components Korvan can read."},
        {"inside a definition",
         replace_once(square, "MESH\n", "DEFINITIONS 1\nDEF d\tD\t\nMESH\nVERTICES 0\n")
             .substr(0, square.find("MESH\n") + 39),
         "The file is truncated: it ends inside the DEFINITIONS block." + kTruncatedEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(load_error(c.text), c.message);
    }
}

TEST(KorvReader, FileErrorsAndTheErrorOutVariant) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    Document doc;
    KorvFileInfo info;
    Mesh root;
    std::string error;
    const std::string cannot_open =
        "The file could not be opened (it may have been moved, or be in use).";
    EXPECT_FALSE(load_document(dir / "missing.korv", doc, info, root, error));
    EXPECT_EQ(error, cannot_open);
    EXPECT_EQ(last_load_error(), cannot_open);
    EXPECT_FALSE(load_document(dir, doc));
    EXPECT_EQ(last_load_error(), cannot_open);

    std::ofstream(dir / "square.korv", std::ios::binary) << test::korv_square_text();
    EXPECT_TRUE(load_document(dir / "square.korv", doc, info, root, error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(last_load_error(), "");
    EXPECT_EQ(info.header, "KORVAN 0.1");
    EXPECT_FALSE(info.earlier_generation);
    EXPECT_EQ(root.alive_face_count(), 2u);
    EXPECT_EQ(doc.root().mesh.alive_face_count(), 0u);

    std::ofstream(dir / "empty.korv", std::ios::binary).flush();
    EXPECT_FALSE(load_document(dir / "empty.korv", doc, info, root, error));
    EXPECT_EQ(error, "The file is empty (0 bytes).");
}

TEST(KorvReader, LastErrorIsPerThread) {
    EXPECT_EQ(load_error(""), "The file is empty (0 bytes).");
    std::string seen = "unset";
    std::thread([&] {
        seen = last_load_error();
        Document doc;
        parse_document(test::korv_square_text(), doc);
    }).join();
    EXPECT_EQ(seen, "");
    EXPECT_EQ(last_load_error(), "The file is empty (0 bytes).");
}

TEST(KorvReader, EveryTruncatedPrefixFailsCleanly) {
    const std::string text = format_document(test::korv_rich_document());
    // Only the line feed after the end line carries nothing.
    for (std::size_t n = 0; n + 1 < text.size(); ++n) {
        Document doc;
        const bool loaded = parse_document(text.substr(0, n), doc);
        ASSERT_FALSE(loaded) << "prefix of " << n << " bytes loaded";
        ASSERT_FALSE(last_load_error().empty()) << n;
    }
    Document doc;
    EXPECT_TRUE(parse_document(text.substr(0, text.size() - 1), doc));
}

TEST(KorvReader, CrLfLineEndsReadLikeLineFeeds) {
    const std::string text = format_document(test::korv_rich_document());
    std::string crlf;
    for (const char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    Document doc;
    ASSERT_TRUE(parse_document(crlf, doc)) << last_load_error();
    EXPECT_EQ(format_document(doc), text);

    // A carriage return that does not end a line is part of the text.
    const std::string lone = replace_once(test::korv_square_text(), "Layer0\t1\n", "A\rB\t1\n");
    ASSERT_TRUE(parse_document(lone, doc));
    ASSERT_EQ(doc.tags().size(), 1u);
    EXPECT_EQ(doc.tags()[0].name, "A\rB");
}

TEST(KorvReader, ReadsWhatTheWriterStored) {
    const Document original = test::korv_rich_document();
    Document doc;
    ASSERT_TRUE(parse_document(format_document(original), doc)) << last_load_error();

    EXPECT_EQ(doc.length_unit(), LengthUnit::kFoot);
    EXPECT_EQ(doc.units_options(), original.units_options());
    EXPECT_EQ(doc.shadows(), original.shadows());
    EXPECT_EQ(doc.view(), original.view());
    EXPECT_EQ(doc.sections(), original.sections());
    EXPECT_EQ(doc.labels(), original.labels());
    EXPECT_EQ(doc.tags(), original.tags());
    EXPECT_EQ(doc.lights().size(), 5u);
    EXPECT_EQ(doc.lights()[3], original.lights()[3]);
    ASSERT_EQ(doc.scenes().size(), 3u);
    EXPECT_EQ(doc.scenes()[0], original.scenes()[0]);
    EXPECT_EQ(doc.scenes()[2], original.scenes()[2]);
    ASSERT_EQ(doc.materials().size(), 26u);
    EXPECT_EQ(doc.materials()[25].name, "Name with tab");
    EXPECT_EQ(doc.materials()[25].uv, original.materials()[25].uv);
    EXPECT_EQ(doc.materials()[20].category, "");  // catalogue categories are not stored

    ASSERT_EQ(doc.definitions().size(), 2u);
    EXPECT_EQ(doc.find_definition("win dow"), 1);
    EXPECT_EQ(doc.definitions()[0].mesh.guides().size(), 1u);

    const SceneNode& root = doc.root();
    ASSERT_EQ(root.children.size(), 4u);
    const SceneNode& door = *root.children[0];
    const SceneNode& want = *original.root().children[0];
    EXPECT_TRUE(door.is_instance());
    EXPECT_EQ(door.definition_id, "door");
    EXPECT_EQ(door.transform.m, want.transform.m);
    EXPECT_EQ(door.tag, 1);
    EXPECT_FALSE(door.visible);
    EXPECT_TRUE(door.locked);
    EXPECT_EQ(door.material, 3);
    EXPECT_FALSE(door.casts_shadows);
    EXPECT_FALSE(door.receives_shadows);
    EXPECT_EQ(door.attributes, want.attributes);
    const SceneNode* room = doc.find_node_by_name("Room");
    ASSERT_NE(room, nullptr);
    ASSERT_EQ(room->children.size(), 1u);
    EXPECT_EQ(room->children[0]->name, "Door B");
    EXPECT_EQ(doc.find_node_by_name("Wing")->mesh.alive_face_count(), 6u);

    const Mesh& m = root.mesh;
    EXPECT_EQ(m.vertices().size(), 10u);
    EXPECT_FALSE(m.vertices()[9].alive);
    EXPECT_EQ(m.alive_face_count(), 6u);
    EXPECT_TRUE(m.face_has_uvs(0));
    EXPECT_TRUE(m.face_has_uvs(5));
    EXPECT_FALSE(m.face_has_uvs(1));
    EXPECT_EQ(m.corner_uv(m.face_half_edges(5)[1]).u, 0.1f);
    EXPECT_EQ(m.faces()[1].tag, 4);
    EXPECT_FALSE(m.faces()[4].visible);
    EXPECT_EQ(m.faces()[3].layer_id, 2u);
    EXPECT_FALSE(m.layer_visible(1));
    EXPECT_EQ(m.soft_edge_count(), 1u);
    ASSERT_EQ(m.dimensions().size(), 4u);
    EXPECT_EQ(m.dimensions()[2].anchor_a.id, kInvalidId);
    EXPECT_EQ(m.dimensions()[2].anchor_b.id, 5u);
    EXPECT_EQ(m.notes().size(), 1u);
    EXPECT_EQ(m.curves()[1].kind, CurveKind::kArc);
}

TEST(KorvReader, LinksFacesAndFlagsTheSharedEdges) {
    Document doc;
    Mesh cube = test::korv_cube();
    for (EdgeId e = 0; e < cube.edges().size(); e += 5) cube.edge_mut(e).soft = true;
    ASSERT_TRUE(parse_document(format_document(doc, &cube), doc)) << last_load_error();
    const Mesh& m = doc.root().mesh;
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_FLOAT_EQ(m.compute_volume(), 1.0f);
    // One soft side per flagged pair, even where only one face's side was flagged.
    EXPECT_EQ(m.soft_edge_count(), 5u);

    ASSERT_TRUE(parse_document(test::korv_square_text(), doc));
    EXPECT_EQ(doc.root().mesh.naked_edge_count(), 4u);
    EXPECT_EQ(doc.root().mesh.soft_edge_count(), 1u);
    EXPECT_EQ(doc.root().mesh.adjacent_faces(0), std::vector<FaceId>{1});
}

TEST(KorvReader, LinkingPairsOppositeSidesFirstComeFirstServed) {
    struct Case {
        const char* name;
        std::vector<std::vector<VertexId>> rings;
        std::uint64_t links;
        std::uint64_t naked;
    };
    const Case cases[] = {
        {"opposite sides", {{0, 1, 2}, {1, 0, 3}}, 1, 4},
        {"same direction", {{0, 1, 2}, {0, 1, 3}}, 0, 6},
        {"three faces on an edge", {{0, 1, 2}, {1, 0, 3}, {1, 0, 4}}, 1, 7},
        {"missing vertices pair by id", {{0, 1, 70}, {1, 0, 71}, {70, 1, 71}}, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m;
        for (int i = 0; i < 5; ++i) m.add_vertex({float(i), float(i * i), 0});
        for (const auto& ring : c.rings) m.add_ngon(ring);
        EXPECT_EQ(VertexFans(m).link(m), c.links);
        EXPECT_EQ(m.naked_edge_count(), c.naked);
    }
    // Of the two faces opposite face 0, the lower id takes the edge.
    Mesh m;
    for (int i = 0; i < 5; ++i) m.add_vertex({float(i), 0, float(i % 2)});
    m.add_ngon(std::vector<VertexId>{0, 1, 2});
    m.add_ngon(std::vector<VertexId>{1, 0, 3});
    m.add_ngon(std::vector<VertexId>{1, 0, 4});
    VertexFans(m).link(m);
    EXPECT_EQ(m.adjacent_faces(0), std::vector<FaceId>{1});
    EXPECT_TRUE(m.adjacent_faces(2).empty());
}

TEST(KorvReader, LinkingMatchesTheKernelsSharedEdgeLinking) {
    // Random rings over few vertices give shared, repeated and non-manifold sides, and ids
    // past the vertex table.
    const unsigned seed = 7031;
    std::mt19937 rng(seed);
    for (int round = 0; round < 200; ++round) {
        Mesh a;
        const int vertices = 3 + static_cast<int>(rng() % 6);
        for (int i = 0; i < vertices; ++i) a.add_vertex({float(i), float(i % 3), 0});
        const int faces = 1 + static_cast<int>(rng() % 12);
        for (int f = 0; f < faces; ++f) {
            std::vector<VertexId> ring(3 + rng() % 3);
            for (VertexId& v : ring) v = rng() % static_cast<unsigned>(vertices + 2);
            a.add_ngon(ring);
        }
        for (EdgeId e = 0; e < a.edges().size(); e += 3) a.edge_mut(e).soft = true;
        Mesh b = a;
        const std::uint64_t links = VertexFans(a).link(a);
        SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round);
        ASSERT_EQ(links, b.link_shared_edges());
        ASSERT_NO_FATAL_FAILURE(test::expect_same_links(a, b));
    }
}

TEST(KorvReader, SettingsRulesAndOlderFiles) {
    const std::string square = test::korv_square_text();
    Document doc;
    ASSERT_TRUE(parse_document(replace_once(square, "LENGTH_UNIT m\n",
                                            "LENGTH_UNIT furlong\nUNITS_OPTIONS 9 1 0 7 0 -2\n"),
                               doc));
    EXPECT_EQ(doc.length_unit(), LengthUnit::kMetre);
    EXPECT_EQ(doc.units_options(), (UnitsOptions{6, true, 0.01f, 3, false, 15.0f}));

    ASSERT_TRUE(parse_document(
        replace_once(square, "LENGTH_UNIT m\n", "LENGTH_UNIT mm\nUNITS_OPTIONS -4 0 0.5 -1 1 5\n"),
        doc));
    EXPECT_EQ(doc.length_unit(), LengthUnit::kMillimetre);
    EXPECT_EQ(doc.units_options(), (UnitsOptions{-1, false, 0.5f, 0, true, 5.0f}));

    // Values missing at the end of a VIEW line keep their defaults.
    ASSERT_TRUE(
        parse_document(replace_once(square, "SCENES 0\n", "VIEW 1 2 3 4 5 6\nSCENES 0\n"), doc));
    SavedView view;
    view.has_view = true;
    view.eye = {1, 2, 3};
    view.target = {4, 5, 6};
    EXPECT_EQ(doc.view(), view);

    // The earlier generation, blocks of later versions and a reordered file.
    std::string older = replace_once(square, "KORVAN 0.1\n", "NERVA 0.9\n");
    older = replace_once(older, "ENDKORVAN\n", "ENDNERVA\n");
    older = replace_once(older, "SCENES 0\n", "FUTURE_BLOCK 2\nwhatever\n");
    KorvFileInfo info;
    Mesh root;
    ASSERT_TRUE(parse_document(older, doc, info, root)) << last_load_error();
    EXPECT_TRUE(info.earlier_generation);
    EXPECT_EQ(root.alive_face_count(), 2u);
    EXPECT_EQ(doc.tags().size(), 1u);
}

TEST(KorvReader, RefusesInconsistentTables) {
    const std::string square = test::korv_square_text();
    const std::string unreadable =
        "The file holds no geometry, materials or components Korvan can read.";
    const std::string defs = "DEFINITIONS 2\nDEF a\tA\t\nENDDEF\nDEF a\tB\t\nENDDEF\nMESH\n";
    const std::string deep_groups = [] {
        std::string s = "GROUPS 1\n";
        for (int i = 0; i < 1002; ++i) s += "GROUP\tg\t1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";
        for (int i = 0; i < 1002; ++i) s += "ENDGROUP\n";
        return s + "MESH\n";
    }();
    const std::string cases[] = {
        replace_once(square, "MESH\n", defs),
        replace_once(square, "MESH\n", deep_groups),
        replace_once(square, "LAYER_VIS 1\n0 1\n", "LAYER_VIS 1\n7 1\n"),
        replace_once(square, "3 0 0 1 0 1 2\n", "3 0 4000 1 0 1 2\n"),
        replace_once(square, "SOFT_EDGES 1\n0 2\n", "FACE_UV 1\n0 4 0 0 0 0 0 0 0 0\n"),
        replace_once(square, "TAGS 1\nLayer0\t1\n", "TAGS 1\nLayer0\t1\textra\n"),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(load_error(text), unreadable);
    }
}

}  // namespace
}  // namespace korvan::io
