#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "document/component_placer.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/document/document_builders.h"
#include "tests/support/near_checks.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

TEST(ComponentPlacer, UnregisteredIdGetsAClosedFallbackDefinition) {
    struct Row {
        OpeningKind kind;
        const char* id;
        const char* name;
        const char* category;
        std::size_t pieces;  // frame and leaf or glazing; a component is one block
    };
    const Row rows[] = {
        {OpeningKind::kDoor, "door_go_2canh_90", "Door 0.9 x 2.1 m", "Doors", 2},
        {OpeningKind::kWindow, "window_nhom_120x140", "Window 1.2 x 1.4 m", "Windows", 2},
        {OpeningKind::kComponent, "component", "Component 1 x 1 m", "Components", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        Document doc;
        doc.materials() = MaterialLibrary(default_materials());
        const PlacementResult r = place_opening(doc, opening_request(row.kind));
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_TRUE(r.created_definition);
        EXPECT_EQ(r.definition_id, row.id);
        ASSERT_EQ(r.definition_position, 0);
        const ComponentDefinition& def = doc.definitions()[0];
        EXPECT_EQ(def.id, row.id);
        EXPECT_EQ(def.name, row.name);
        EXPECT_EQ(def.category, row.category);
        test::expect_closed_solids(def.mesh);
        EXPECT_EQ(test::piece_volumes(def.mesh).size(), row.pieces);
        ASSERT_EQ(r.parent, &doc.root());
        ASSERT_EQ(r.child_index, 0u);
        EXPECT_EQ(doc.root().children[0].get(), r.instance);
        EXPECT_EQ(r.instance->definition_id, row.id);
        EXPECT_EQ(r.total_instances, 1u);
    }
}

TEST(ComponentPlacer, FallbackPaintsFromTheLibraryOrFallsBackToMaterialZero) {
    Document with_library;
    with_library.materials() = MaterialLibrary(default_materials());
    Document bare;
    for (Document* doc : {&with_library, &bare}) {
        ASSERT_TRUE(place_opening(*doc, opening_request(OpeningKind::kWindow)).ok);
    }
    const Mesh& painted = with_library.definitions()[0].mesh;
    const std::int32_t glass = with_library.materials().find_by_id("mat_glass_clear");
    const std::int32_t alu = with_library.materials().find_by_id("mat_metal_alu");
    EXPECT_EQ(painted.faces_with_material(static_cast<std::uint32_t>(glass)).size(), 6u);
    EXPECT_EQ(painted.faces_with_material(static_cast<std::uint32_t>(alu)).size() + 6u,
              painted.alive_face_count());
    const Mesh& plain = bare.definitions()[0].mesh;
    EXPECT_EQ(plain.faces_with_material(0).size(), plain.alive_face_count());
}

TEST(ComponentPlacer, InstanceSitsAtTheOpeningFacingTheNormal) {
    // A 1.2 x 1.4 window whose fallback runs from 2 cm outside the wall plane to 10 cm in.
    struct Row {
        const char* what;
        Vec3 at, normal, min, max;
    };
    const Row rows[] = {
        {"front wall", {2.5f, 0, 0.9f}, {0, -1, 0}, {1.9f, -0.02f, 0.9f}, {3.1f, 0.1f, 2.3f}},
        {"left wall", {0, 6, 0.9f}, {-1, 0, 0}, {-0.02f, 5.4f, 0.9f}, {0.1f, 6.6f, 2.3f}},
        {"back wall, unnormalised",
         {2.5f, 12, 0},
         {0, 7, 0},
         {1.9f, 11.9f, 0},
         {3.1f, 12.02f, 1.4f}},
        {"roof light looking up", {1, 1, 5}, {0, 0, 2}, {0.4f, 1, 4.9f}, {1.6f, 2.4f, 5.02f}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Document doc;
        PlacementRequest request = opening_request(OpeningKind::kWindow);
        request.at = row.at;
        request.normal = row.normal;
        ASSERT_TRUE(place_opening(doc, request).ok);
        const Mesh world = doc.flatten_world();
        test::expect_near(doc_test::face_bounds(world), row.min, row.max);
        // Turning keeps the solid inside out or not: the world copy stays outward.
        EXPECT_GT(world.signed_volume(), 0.0f);
    }
}

TEST(ComponentPlacer, RegisteredIdIsReusedAndKeepsItsMesh) {
    Document doc;
    ComponentDefinition own{"door_go_2canh_90", "Own door", "Doors", doc_test::cube()};
    ASSERT_EQ(doc.add_definition(own), 0);
    SceneNode* group = doc_test::add_group(doc, &doc.root(), "Storey");
    const std::int32_t tag = doc.ensure_tag("Openings");

    PlacementRequest request = opening_request(OpeningKind::kDoor);
    request.width = 3.0f;  // sizes only a fallback
    request.name = "Front door";
    request.parent = group;
    request.tag = tag;
    const PlacementResult first = place_opening(doc, request);
    ASSERT_TRUE(first.ok);
    EXPECT_FALSE(first.created_definition);
    EXPECT_EQ(first.definition_position, 0);
    EXPECT_EQ(first.parent, group);
    EXPECT_EQ(first.instance->name, "Front door");
    EXPECT_EQ(first.instance->tag, tag);
    EXPECT_EQ(first.total_instances, 1u);

    request.definition_id = "window_nhom_120x140";
    request.kind = OpeningKind::kWindow;
    request.parent = nullptr;
    const PlacementResult second = place_opening(doc, request);
    ASSERT_TRUE(second.ok);
    EXPECT_TRUE(second.created_definition);
    EXPECT_EQ(second.definition_position, 1);
    EXPECT_EQ(second.total_instances, 2u);
    EXPECT_EQ(doc.definitions()[0].mesh.alive_face_count(), 6u);
    EXPECT_EQ(doc.definitions()[1].name, "Window 3 x 2.1 m");
}

TEST(ComponentPlacer, RefusalsChangeNothing) {
    Document other;
    struct Row {
        const char* what;
        void (*edit)(PlacementRequest&, Document&, Document&);
    };
    const Row rows[] = {
        {"zero normal",
         [](auto& r, auto&, auto&) {
             r.normal = {0, 0, 0};
         }},
        {"NaN width", [](auto& r, auto&, auto&) { r.width = std::nanf(""); }},
        {"negative height", [](auto& r, auto&, auto&) { r.height = -1; }},
        {"infinite position", [](auto& r, auto&, auto&) { r.at.y = INFINITY; }},
        {"tab in the id", [](auto& r, auto&, auto&) { r.definition_id = "a\tb"; }},
        {"tag out of range", [](auto& r, auto&, auto&) { r.tag = 1; }},
        {"tag below -1", [](auto& r, auto&, auto&) { r.tag = -2; }},
        {"parent of another document", [](auto& r, auto&, auto& o) { r.parent = &o.root(); }},
        {"instance as parent",
         [](auto& r, auto& d, auto&) { r.parent = d.create_instance(&d.root(), "x", "Inst"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Document doc;
        PlacementRequest request = opening_request(OpeningKind::kDoor);
        row.edit(request, doc, other);
        const std::size_t children = doc.root().children.size();
        const PlacementResult r = place_opening(doc, request);
        EXPECT_FALSE(r.ok);
        EXPECT_STRNE(r.message, "");
        EXPECT_EQ(r.instance, nullptr);
        EXPECT_TRUE(doc.definitions().empty());
        EXPECT_EQ(doc.root().children.size(), children);
    }
}

}  // namespace
}  // namespace korvan
