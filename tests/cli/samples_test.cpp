#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cli/samples/fallback_model.h"
#include "cli/samples/townhouse.h"
#include "cli/samples/villa.h"
#include "document/document.h"
#include "document/material_library.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"
#include "tests/cli/cli_checks.h"
#include "tests/support/solid_checks.h"

namespace korvan::cli {
namespace {

MaterialLibrary library() { return MaterialLibrary(default_materials()); }

Document townhouse(const TownhouseSpec& params, bool with_openings = true) {
    std::optional<Document> doc = make_townhouse_document(params, library(), with_openings);
    EXPECT_TRUE(doc.has_value());
    return doc ? std::move(*doc) : Document{};
}

Document villa(const VillaSpec& params, bool with_openings = true) {
    std::optional<Document> doc = make_villa_document(params, library(), with_openings);
    EXPECT_TRUE(doc.has_value());
    return doc ? std::move(*doc) : Document{};
}

TownhouseSpec with(TownhouseSpec params, float width, float depth, std::int32_t storeys,
                   float storey_height) {
    params.width = width;
    params.depth = depth;
    params.storeys = storeys;
    params.storey_height = storey_height;
    return params;
}

void expect_all_closed(const Document& doc) {
    {
        SCOPED_TRACE("root mesh");
        test::expect_closed_solids(doc.root().mesh);
    }
    for (const ComponentDefinition& def : doc.definitions()) {
        SCOPED_TRACE(def.id);
        test::expect_closed_solids(def.mesh);
    }
}

TEST(SampleTownhouse, EverySolidIsClosedWithPositiveVolume) {
    TownhouseSpec massing = kGenTownhouse;
    massing.hollow = false;
    struct Row {
        const char* what;
        TownhouseSpec params;
        std::size_t pieces;  // closed solids in the root mesh
    };
    const Row rows[] = {
        // Four walls and storeys + 1 slabs; solid massing has one box per storey.
        {"shell townhouse", kShellTownhouse, 4 + 3},
        {"gen-townhouse massing", kGenTownhouse, 2},
        {"one-storey shell", with(kShellTownhouse, 5, 12, 1, 3.3f), 4 + 2},
        {"five-storey shell", with(kShellTownhouse, 7, 20, 5, 3), 4 + 6},
        {"narrow shell, the door wider than the room", with(kShellTownhouse, 1, 3, 2, 2.5f), 4 + 3},
        {"low storeys, the balcony window above the roof", with(kShellTownhouse, 5, 12, 2, 1),
         4 + 3},
        {"too small for walls: massing", with(kShellTownhouse, 0.3f, 12, 2, 3.3f), 2},
        {"six-storey massing", with(massing, 4, 9, 6, 2.8f), 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Document doc = townhouse(row.params);
        expect_all_closed(doc);
        EXPECT_EQ(test::piece_volumes(doc.root().mesh).size(), row.pieces);
    }
}

TEST(SampleTownhouse, ShellWallsAreCutWhereTheOpeningsSit) {
    // The shell's volume is the walls' less the openings' areas times the wall thickness,
    // plus storeys + 1 slabs between the walls.
    const TownhouseSpec s = kShellTownhouse;
    const double t = kWallThickness, w = s.width, d = s.depth, top = s.storeys * s.storey_height;
    const double walls = t * (2 * w * top + 2 * (d - 2 * t) * top);
    const double slabs = (w - 2 * t) * (d - 2 * t) * kSlabThickness * (s.storeys + 1);
    const double openings = t * (0.9 * 2.1 + 1.2 * 1.4 + 1.2 * 1.2);
    EXPECT_NEAR(townhouse(s).root().mesh.signed_volume(), walls + slabs - openings, 1e-3);
    EXPECT_NEAR(townhouse(s, false).root().mesh.signed_volume(), walls + slabs, 1e-3);

    // Each opening's corners are vertices on its wall's outer plane.
    const Document doc = townhouse(s);
    const Mesh& mesh = doc.root().mesh;
    auto has_vertex = [&](Vec3 p) {
        for (const Vertex& v : mesh.vertices()) {
            if (std::abs(v.position.x - p.x) < 1e-5f && std::abs(v.position.y - p.y) < 1e-5f &&
                std::abs(v.position.z - p.z) < 1e-5f) {
                return true;
            }
        }
        return false;
    };
    const float mid = 2.5f, h = 3.3f;
    const Vec3 corners[] = {
        {mid - 0.45f, 0, 0},       {mid + 0.45f, 0, 2.1f},     // door
        {mid - 0.6f, 0, h + 0.9f}, {mid + 0.6f, 0, h + 2.1f},  // balcony window
        {0, 6 - 0.6f, 0.9f},       {0, 6 + 0.6f, 2.3f},        // side window
    };
    for (const Vec3& c : corners) EXPECT_TRUE(has_vertex(c)) << c.x << "," << c.y << "," << c.z;
}

TEST(SampleTownhouse, ScenesAreNamedAndFramedOnTheSpec) {
    Document doc = townhouse(with(kGenTownhouse, 6, 10, 3, 3));
    struct Row {
        const char* name;
        Vec3 eye, target;
        float fov;
    };
    const Row rows[] = {
        {"Phối cảnh chính", {14, -18, 9}, {3, 5, 3}, 40},
        {"Mặt đứng", {3, -22, 4}, {3, 0, 3}, 35},
        {"Góc", {12, -10, 8}, {2, 4, 3}, 45},
    };
    ASSERT_EQ(doc.scenes().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].name);
        const Scene& scene = doc.scenes()[i];
        EXPECT_EQ(scene.name, rows[i].name);
        EXPECT_EQ(scene.eye, rows[i].eye);
        EXPECT_EQ(scene.target, rows[i].target);
        EXPECT_EQ(scene.up, (Vec3{0, 0, 1}));
        EXPECT_EQ(scene.fov_deg, rows[i].fov);
    }
}

TEST(SampleTownhouse, OpeningsFollowTheFlagsAndStoreys) {
    struct Row {
        const char* what;
        TownhouseSpec params;
        bool with_openings;
        std::vector<std::string> instances;
    };
    TownhouseSpec bare = kGenTownhouse;
    bare.door = bare.windows = false;
    TownhouseSpec one_storey = kGenTownhouse;
    one_storey.storeys = 1;
    TownhouseSpec door_only = kShellTownhouse;
    door_only.windows = false;
    const Row rows[] = {
        {"all openings",
         kShellTownhouse,
         true,
         {"door_go_2canh_90", "window_nhom_120x140", "window_ban_cong_180"}},
        {"one storey has no balcony",
         one_storey,
         true,
         {"door_go_2canh_90", "window_nhom_120x140"}},
        {"no door, no windows", bare, true, {}},
        {"door only", door_only, true, {"door_go_2canh_90"}},
        {"openings not asked for", kShellTownhouse, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Document doc = townhouse(row.params, row.with_openings);
        EXPECT_EQ(test::instance_definitions(doc), row.instances);
        EXPECT_EQ(doc.definitions().size(), row.instances.size());
        const std::int32_t tag = doc.find_tag("Openings");
        EXPECT_EQ(tag >= 0, row.with_openings);
        for (const auto& child : doc.root().children) EXPECT_EQ(child->tag, tag);
    }
}

TEST(SampleTownhouse, OpeningsSitWhereTheyShould) {
    const Document doc = townhouse(kShellTownhouse);
    ASSERT_EQ(doc.root().children.size(), 3u);
    struct Row {
        const char* name;
        Vec3 at;
        Vec3 along;  // where the component's local x axis points
    };
    const Row rows[] = {
        {"Door", {2.5f, 0, 0}, {1, 0, 0}},
        {"Side window", {0, 6, 0.9f}, {0, -1, 0}},
        {"Balcony window", {2.5f, 0, 4.2f}, {1, 0, 0}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].name);
        const SceneNode& node = *doc.root().children[i];
        EXPECT_EQ(node.name, rows[i].name);
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(node.transform.m[12 + a], (&rows[i].at.x)[a], 1e-6f) << "at " << a;
            EXPECT_NEAR(node.transform.m[a], (&rows[i].along.x)[a], 1e-6f) << "along " << a;
        }
    }
    const ComponentDefinition* balcony = doc.definition("window_ban_cong_180");
    ASSERT_NE(balcony, nullptr);
    EXPECT_EQ(balcony->name, "Window 1.2 x 1.2 m");
}

TEST(SampleTownhouse, RefusesSpecsItCannotBuild) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Row {
        const char* what;
        TownhouseSpec params;
    };
    const Row rows[] = {
        {"NaN width", with(kGenTownhouse, nan, 12, 2, 3)},
        {"infinite depth", with(kGenTownhouse, 5, inf, 2, 3)},
        {"zero storey height", with(kGenTownhouse, 5, 12, 2, 0)},
        {"no storeys", with(kGenTownhouse, 5, 12, 0, 3)},
        {"too many storeys", with(kGenTownhouse, 5, 12, kMaxStoreys + 1, 3)},
        {"too tall", with(kGenTownhouse, 5, 12, 200, 60)},
        {"too wide", with(kGenTownhouse, 20000, 12, 2, 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const char* problem = townhouse_spec_problem(row.params);
        ASSERT_NE(problem, nullptr);
        EXPECT_GT(std::strlen(problem), 0u);
        EXPECT_FALSE(make_townhouse_document(row.params, library(), true).has_value());
    }
    EXPECT_EQ(townhouse_spec_problem(with(kGenTownhouse, 5, 12, kMaxStoreys, 3)), nullptr);
}

TEST(SampleModels, OutputIsIdenticalAcrossRuns) {
    VillaSpec pool_villa = kShellVilla;
    pool_villa.pool = true;
    const auto formatted = [&] {
        return std::vector<std::string>{io::format_document(townhouse(kShellTownhouse)),
                                        io::format_document(townhouse(kGenTownhouse)),
                                        io::format_document(villa(pool_villa))};
    };
    const std::vector<std::string> first = formatted(), second = formatted();
    for (std::size_t i = 0; i < first.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(first[i].empty());
        EXPECT_TRUE(first[i] == second[i]);
    }
}

TEST(SampleModels, SavedFileReadsBackClosed) {
    Document doc;
    install_fallback_model(doc);
    Document back;
    ASSERT_TRUE(io::parse_document(io::format_document(doc), back)) << io::last_load_error();
    EXPECT_EQ(back.root().mesh.alive_face_count(), doc.root().mesh.alive_face_count());
    expect_all_closed(back);
    EXPECT_NEAR(back.root().mesh.signed_volume(), doc.root().mesh.signed_volume(), 1e-4);
}

TEST(FallbackModel, IsTheShellTownhouseWithItsThreeOpenings) {
    Document doc;
    doc.ensure_tag("Leftover");
    doc.add_scene("Old");
    install_fallback_model(doc);
    EXPECT_EQ(doc.materials().size(), 25u);
    ASSERT_EQ(doc.tags().size(), 2u);
    EXPECT_EQ(doc.tags()[0].name, "Layer0");
    EXPECT_EQ(doc.tags()[1].name, "Openings");
    ASSERT_EQ(doc.scenes().size(), 3u);
    EXPECT_EQ(doc.scenes()[0].name, "Phối cảnh chính");
    EXPECT_EQ(doc.root().children.size(), 3u);
    EXPECT_EQ(doc.definitions().size(), 3u);
    expect_all_closed(doc);
    // Walls 0.15 m thick, the whole house 5 x 12 x 6.6 m.
    const Aabb box = *doc.root().mesh.compute_aabb_of_faces(doc.root().mesh.alive_faces());
    EXPECT_EQ(box.min, (Vec3{0, 0, 0}));
    EXPECT_NEAR(box.max.x, 5.0f, 1e-6f);
    EXPECT_NEAR(box.max.y, 12.0f, 1e-6f);
    EXPECT_NEAR(box.max.z, 6.6f, 1e-5f);
}

TEST(SampleVilla, EverySolidIsClosedAndScenesFollowThePool) {
    struct Row {
        const char* what;
        VillaSpec params;
        std::size_t pieces;
        std::size_t scenes;
    };
    VillaSpec shell_pool = kShellVilla;
    shell_pool.pool = true;
    VillaSpec massing_pool = kGenVilla;
    massing_pool.pool = true;
    VillaSpec narrow_wing = kShellVilla;
    narrow_wing.wing_width = 0.2f;  // too narrow for walls: built solid
    const Row rows[] = {
        // Main block: four walls and three slabs; wing: three walls and two slabs.
        {"shell villa", kShellVilla, 7 + 5, 3},
        {"shell villa with pool", shell_pool, 7 + 5 + 2, 4},
        {"massing villa", kGenVilla, 2 + 1, 3},
        {"massing villa with pool", massing_pool, 2 + 1 + 2, 4},
        {"wing too narrow for walls", narrow_wing, 7 + 1, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Document doc = villa(row.params);
        expect_all_closed(doc);
        EXPECT_EQ(test::piece_volumes(doc.root().mesh).size(), row.pieces);
        EXPECT_EQ(doc.scenes().size(), row.scenes);
        // Door, two windows per storey, one balcony window per upper storey, wing window.
        EXPECT_EQ(test::instance_definitions(doc).size(), 1u + 4u + 1u + 1u);
        EXPECT_EQ(doc.definitions().size(), 3u);
    }
    VillaSpec bad = kGenVilla;
    bad.wing_width = -1.0f;
    EXPECT_NE(villa_spec_problem(bad), nullptr);
    EXPECT_FALSE(make_villa_document(bad, library(), true).has_value());
}

}  // namespace
}  // namespace korvan::cli
