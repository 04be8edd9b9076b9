#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/mesh_block_hashes.h"
#include "document/commands/command_stack.h"
#include "document/commands/definition_commands.h"
#include "document/commands/material_commands.h"
#include "document/commands/node_commands.h"
#include "document/commands/placement_commands.h"
#include "document/commands/table_commands.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::cube;
using doc_test::quad;

// A model that touches every table: materials, tags, nested groups with transforms, shared
// and unused definitions, instances, labels, scenes, sections and lights.
Document sample_document() {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    for (const char* tag : {"Walls", "Furniture", "Openings"}) doc.ensure_tag(tag);
    doc.root().mesh = cube({}, 4.0f, 3);
    doc.root().mesh.face_mut(2).layer_id = 2;
    doc.root().mesh.add_guide({0, 0, 0}, {4, 0, 0});

    Mat4 walls_at = Mat4::translation({1, 2, 0});
    SceneNode* walls = add_group(doc, &doc.root(), "Walls", cube({}, 1.0f, 5), walls_at);
    walls->tag = 1;
    walls->mesh.face_mut(0).layer_id = 1;
    SceneNode* shelf = add_group(doc, walls, "Shelf", quad({}, 0.5f, 7, 3));
    shelf->tag = 3;
    Mat4 annex_at = Mat4::translation({-3, 0, 1});
    annex_at.m[0] = annex_at.m[5] = annex_at.m[10] = 2.0f;
    add_group(doc, &doc.root(), "Annex", {}, annex_at);

    doc.add_definition(ComponentDefinition{"chair", "Chair", "Furniture", cube({}, 0.5f, 4)});
    doc.add_definition(ComponentDefinition{"lamp", "Lamp", "Lights", quad({}, 0.2f, 9)});
    SceneNode* chair =
        doc.create_instance(walls, "chair", "Chair", Mat4::translation({0.2f, 0, 0}));
    chair->tag = 2;
    chair->material = 6;
    doc.create_instance(&doc.root(), "chair", "Chair 2", Mat4::translation({2, 2, 0}));

    doc.add_label(TextLabel{"North", {0, 5, 0}, 0.3f, 1});
    doc.add_label(TextLabel{"Entry", {1, -1, 0}, 0.2f, 3});
    doc.add_scene("Front");
    doc.view().eye = {3, -9, 2};
    doc.add_scene("Back");
    doc.add_section("Cut");
    Light sun;
    sun.name = "Sun";
    sun.kind = LightKind::kSun;
    doc.add_light(sun);
    return doc;
}

using test::same_file;
using test::saved_bytes;

SceneNode* node(Document& doc, const char* name) {
    SceneNode* n = doc.find_node_by_name(name);
    EXPECT_NE(n, nullptr) << name;
    return n;
}

const SceneNode* node(const Document& doc, const char* name) { return doc.find_node_by_name(name); }

using Make = std::function<std::unique_ptr<Command>(Document&)>;
using Check = std::function<bool(const Document&)>;

struct UndoCase {
    const char* label;  // what name() must return
    Make make;
    Check applied;  // the edit's effect is in the document
};

template <class C, class... Args>
Make make(Args... args) {
    return [=](Document& doc) -> std::unique_ptr<Command> {
        return std::make_unique<C>(doc, args...);
    };
}

// Undo and redo of each command, twice over, must give back the saved file of the state
// before and after its first application byte for byte.
void expect_exact_round_trips(const std::vector<UndoCase>& cases) {
    for (const UndoCase& c : cases) {
        SCOPED_TRACE(c.label);
        Document doc = sample_document();
        std::unique_ptr<Command> cmd = c.make(doc);
        test::expect_undo_round_trips(doc, *cmd, c.label, saved_bytes, c.applied);
    }
}

NodeTransformEdit transform_edit(NodeTransformKind kind, Vec3 vector, float factor = 1.0f) {
    NodeTransformEdit e;
    e.kind = kind;
    e.vector = vector;
    e.factor = factor;
    return e;
}

// A command on the named node; the other constructor arguments follow the node.
template <class C, class... Args>
Make on(const char* name, Args... args) {
    return [=](Document& doc) -> std::unique_ptr<Command> {
        return std::make_unique<C>(doc, node(doc, name), args...);
    };
}

// Moves the named node under another one, both looked up when the command is built.
Make reparent(const char* name, const char* parent) {
    return [=](Document& doc) -> std::unique_ptr<Command> {
        return std::make_unique<ReparentNodeCommand>(doc, node(doc, name), node(doc, parent));
    };
}

template <class Pred>
Check with(const char* name, Pred pred) {
    return [=](const Document& doc) {
        const SceneNode* n = node(doc, name);
        return n != nullptr && pred(*n);
    };
}

TEST(CommandsUndo, NodeCommandsRestoreTheFileExactly) {
    using K = NodeTransformKind;
    auto transform = [](const char* name, K kind, Vec3 vector, float factor = 1.0f) {
        return on<SetNodeTransformCommand>(name, transform_edit(kind, vector, factor));
    };
    auto at_x = [](const char* name, float x) {
        return with(name, [=](const SceneNode& n) { return n.transform.m[12] == x; });
    };
    auto scale_x = [](const char* name, float s) {
        return with(name, [=](const SceneNode& n) { return n.transform.m[0] == s; });
    };
    auto parent_is = [](const char* name, const char* parent) {
        return [=](const Document& doc) {
            const SceneNode* n = node(doc, name);
            return n != nullptr && doc.parent_of(n) == node(doc, parent);
        };
    };
    const std::vector<UndoCase> cases = {
        {"Transform", transform("Walls", K::kTranslate, {0.5f, 0, 0}), at_x("Walls", 1.5f)},
        {"Transform", transform("Walls", K::kSetTranslation, {7, 0, 0}), at_x("Walls", 7.0f)},
        {"Transform", transform("Annex", K::kScale, {}, 1.5f), scale_x("Annex", 3.0f)},
        {"Transform", transform("Annex", K::kSetScale, {}, 0.25f), scale_x("Annex", 0.25f)},
        {"Transform", transform("Chair", K::kRotate, {0, 0, 90}),
         with("Chair", [](const SceneNode& n) { return n.transform.m[0] < 1e-6f; })},
        {"Assign Tag", on<SetNodeTagCommand>("Annex", 2),
         with("Annex", [](const SceneNode& n) { return n.tag == 2; })},
        {"Untag", on<SetNodeTagCommand>("Walls", -1),
         with("Walls", [](const SceneNode& n) { return n.tag == -1; })},
        {"Paint", on<SetNodeMaterialCommand>("Shelf", 11),
         with("Shelf", [](const SceneNode& n) { return n.material == 11; })},
        {"Hide", on<EditNodeCommand>("Walls", NodeEdit{NodeEditKind::kSetVisible, false, {}}),
         with("Walls", [](const SceneNode& n) { return !n.visible; })},
        {"Rename", on<EditNodeCommand>("Shelf", NodeEdit{NodeEditKind::kRename, true, "Rack"}),
         [](const Document& doc) { return node(doc, "Rack") != nullptr; }},
        {"Make Unique",
         on<EditNodeCommand>("Chair 2", NodeEdit{NodeEditKind::kMakeUnique, true, {}}),
         with("Chair 2", [](const SceneNode& n) { return n.definition_id == "chair_copy"; })},
        {"Delete Node", on<DeleteNodeCommand>("Walls"),
         [](const Document& doc) { return node(doc, "Shelf") == nullptr; }},
        {"Duplicate Node", on<DuplicateNodeCommand>("Walls"), parent_is("Walls copy", "Model")},
        {"Reparent Node", reparent("Shelf", "Annex"), parent_is("Shelf", "Annex")},
        {"Create Group", on<CreateGroupCommand>("Walls", std::string("Desk"), cube({}, 0.3f, 2)),
         parent_is("Desk", "Walls")},
        {"Create Instance",
         on<CreateInstanceCommand>("Annex", std::string("lamp"), std::string(),
                                   Mat4::translation({0, 0, 2})),
         parent_is("Instance", "Annex")},
        {"Explode", on<ExplodeInstanceCommand>("Chair"),
         [](const Document& doc) {
             return node(doc, "Chair") == nullptr &&
                    node(doc, "Walls")->mesh.alive_face_count() == 12;
         }},
    };
    expect_exact_round_trips(cases);
}

TEST(CommandsUndo, TableCommandsRestoreTheFileExactly) {
    auto tags = [](std::size_t n) {
        return [=](const Document& doc) { return doc.tags().size() == n; };
    };
    auto scenes = [](std::size_t n) {
        return [=](const Document& doc) { return doc.scenes().size() == n; };
    };
    auto first_scene_is = [](const char* name) {
        return [=](const Document& doc) { return doc.scenes()[0].name == name; };
    };
    const std::vector<UndoCase> cases = {
        {"Delete Tag", make<DeleteTagCommand>(1),
         [](const Document& doc) {
             return doc.tags().size() == 3 && doc.find_node_by_name("Walls")->tag == -1 &&
                    doc.find_node_by_name("Shelf")->tag == 2 && doc.labels()[1].tag == 2 &&
                    doc.find_node_by_name("Walls")->mesh.faces()[0].layer_id == 0;
         }},
        {"Add Tag", make<EditTagCommand>(TagEdit{TagEditKind::kAdd, -1, "Roof", true}), tags(5)},
        {"Hide Tag", make<EditTagCommand>(TagEdit{TagEditKind::kSetVisible, 2, {}, false}),
         [](const Document& doc) { return !doc.tags()[2].visible; }},
        {"Rename Tag", make<EditTagCommand>(TagEdit{TagEditKind::kRename, 1, "Shell", true}),
         [](const Document& doc) { return doc.tags()[1].name == "Shell"; }},
        {"Duplicate Tag", make<EditTagCommand>(TagEdit{TagEditKind::kDuplicate, 1, {}, true}),
         [](const Document& doc) { return doc.tags().back().name == "Walls copy"; }},
        {"Add Scene", make<EditSceneCommand>(SceneEdit{SceneEditKind::kAdd, -1, -1, ""}),
         [](const Document& doc) { return doc.scenes().back().name == "Scene 3"; }},
        {"Rename Scene", make<EditSceneCommand>(SceneEdit{SceneEditKind::kRename, 0, -1, "Top"}),
         first_scene_is("Top")},
        {"Delete Scene", make<EditSceneCommand>(SceneEdit{SceneEditKind::kDelete, 0, -1, ""}),
         first_scene_is("Back")},
        {"Duplicate Scene", make<EditSceneCommand>(SceneEdit{SceneEditKind::kDuplicate, 1, -1, ""}),
         scenes(3)},
        {"Update Scene", make<EditSceneCommand>(SceneEdit{SceneEditKind::kUpdate, 0, 1, ""}),
         [](const Document& doc) { return doc.scenes()[0].eye == doc.scenes()[1].eye; }},
        {"Add Section",
         make<EditSectionCommand>(SectionEdit{SectionEditKind::kAdd, -1, -1, "Cut", true}),
         [](const Document& doc) { return doc.sections().back().name == "Cut_2"; }},
        {"Deactivate Section",
         make<EditSectionCommand>(SectionEdit{SectionEditKind::kSetActive, 0, -1, "", false}),
         [](const Document& doc) { return !doc.sections()[0].active; }},
        {"Rename Section",
         make<EditSectionCommand>(SectionEdit{SectionEditKind::kRename, 0, -1, "Plan", true}),
         [](const Document& doc) { return doc.sections()[0].name == "Plan"; }},
        {"Delete Section",
         make<EditSectionCommand>(SectionEdit{SectionEditKind::kDelete, 0, -1, "", true}),
         [](const Document& doc) { return doc.sections().empty(); }},
        {"Add Light", make<EditLightCommand>(LightEdit{LightEditKind::kAdd, -1, Light{}, true}),
         [](const Document& doc) { return doc.lights().back().name == "Light 2"; }},
        {"Disable Light",
         make<EditLightCommand>(LightEdit{LightEditKind::kSetEnabled, 0, Light{}, false}),
         [](const Document& doc) { return !doc.lights()[0].enabled; }},
        {"Delete Light",
         make<EditLightCommand>(LightEdit{LightEditKind::kDelete, 0, Light{}, true}),
         [](const Document& doc) { return doc.lights().empty(); }},
        {"Add Label", make<AddLabelCommand>(TextLabel{"Stair", {1, 1, 3}, 0.4f, 2}),
         [](const Document& doc) { return doc.labels().size() == 3; }},
        {"Delete Label", make<DeleteLabelCommand>(0),
         [](const Document& doc) { return doc.labels()[0].text == "Entry"; }},
    };
    expect_exact_round_trips(cases);
}

TEST(CommandsUndo, MaterialAndDefinitionCommandsRestoreTheFileExactly) {
    auto material = [](MaterialEditKind kind, std::int32_t index, float value) {
        MaterialEdit e;
        e.kind = kind;
        e.index = index;
        e.value = value;
        e.name = "Slate";
        e.albedo = {0.1f, 0.2f, 0.3f};
        e.material.id = "mat_new";
        e.material.name = "New";
        return make<EditMaterialCommand>(e);
    };
    auto lib = [](std::int32_t i) {
        return [=](const Document& doc) -> const Material& { return doc.materials()[i]; };
    };
    MaterialUv brick;
    brick.tile_width = 0.2f;
    brick.tile_height = 0.1f;
    brick.rotation_deg = 30.0f;
    brick.pattern = TexturePattern::kBrick;
    const std::vector<UndoCase> cases = {
        {"Add Material", material(MaterialEditKind::kAdd, -1, 0),
         [](const Document& doc) { return doc.materials().size() == 26; }},
        {"Duplicate Material", material(MaterialEditKind::kDuplicate, 4, 0),
         [](const Document& doc) { return doc.materials().size() == 26; }},
        {"Rename Material", material(MaterialEditKind::kRename, 4, 0),
         [=](const Document& doc) { return lib(4)(doc).name == "Slate"; }},
        {"Set Colour", material(MaterialEditKind::kSetAlbedo, 4, 0),
         [=](const Document& doc) { return lib(4)(doc).albedo.g == 0.2f; }},
        {"Set Roughness", material(MaterialEditKind::kSetRoughness, 4, 0.05f),
         [=](const Document& doc) { return lib(4)(doc).roughness == 0.05f; }},
        {"Set Metallic", material(MaterialEditKind::kSetMetallic, 4, 0.75f),
         [=](const Document& doc) { return lib(4)(doc).metallic == 0.75f; }},
        {"Set Opacity", material(MaterialEditKind::kSetOpacity, 4, 0.5f),
         [=](const Document& doc) { return lib(4)(doc).opacity == 0.5f; }},
        {"Set Material UV", make<SetMaterialUvCommand>(2, brick),
         [=](const Document& doc) { return lib(2)(doc).uv == brick; }},
        // Walls faces use 5 (go to 0), the shelf 7 (moves to 6), the root 3 (stays); the
        // chair's paint 6 moves to 5.
        {"Delete Material", make<DeleteMaterialCommand>(5),
         [](const Document& doc) {
             return doc.materials().size() == 24 &&
                    doc.find_node_by_name("Walls")->mesh.faces()[0].material_id == 0 &&
                    doc.find_node_by_name("Shelf")->mesh.faces()[0].material_id == 6 &&
                    doc.root().mesh.faces()[0].material_id == 3 &&
                    doc.find_node_by_name("Chair")->material == 5;
         }},
        {"Delete Definition", make<DeleteDefinitionCommand>(std::string("lamp")),
         [](const Document& doc) { return doc.find_definition("lamp") < 0; }},
        {"Rename Definition",
         make<EditDefinitionCommand>(
             DefinitionEdit{DefinitionEditKind::kRename, "chair", "Armchair"}),
         [](const Document& doc) { return doc.definition("chair")->name == "Armchair"; }},
        {"Set Category",
         make<EditDefinitionCommand>(
             DefinitionEdit{DefinitionEditKind::kSetCategory, "lamp", "Lighting"}),
         [](const Document& doc) { return doc.definition("lamp")->category == "Lighting"; }},
        {"Duplicate Definition",
         make<EditDefinitionCommand>(DefinitionEdit{DefinitionEditKind::kDuplicate, "chair", ""}),
         [](const Document& doc) { return doc.find_definition("chair_copy") == 2; }},
    };
    expect_exact_round_trips(cases);
}

TEST(CommandsUndo, PlacementCommandsRestoreTheFileExactly) {
    PlacementRequest door = opening_request(OpeningKind::kDoor);
    door.at = {2, 0, 0};
    PlacementRequest window = opening_request(OpeningKind::kWindow);
    window.definition_id = "lamp";
    window.parent = nullptr;
    const std::vector<UndoCase> cases = {
        // The default door id is not registered: a fallback definition comes with it.
        {"Place door", make<PlaceOpeningCommand>(door),
         [](const Document& doc) {
             return doc.definitions().size() == 3 && doc.find_node_by_name("Door") != nullptr;
         }},
        {"Place window", make<PlaceOpeningCommand>(window),
         [](const Document& doc) {
             return doc.definitions().size() == 2 && doc.find_node_by_name("Window") != nullptr;
         }},
        {"Array", make<ArrayInstancesCommand>(std::string("lamp"), 3u, Vec3{2, 0, 0}),
         [](const Document& doc) {
             const SceneNode* last = doc.find_node_by_name("Array 3");
             return last != nullptr && last->transform.m[12] == 4.0f &&
                    doc.find_node_by_name("Array 1")->transform.m[12] == 0.0f;
         }},
    };
    expect_exact_round_trips(cases);
}

TEST(CommandsUndo, UndoStepsRestoreTheFileExactly) {
    // A clean-up that erased a face, added a vertex and a guide, and stored corner UVs.
    const Make mesh_step = [](Document& doc) -> std::unique_ptr<Command> {
        SceneNode* walls = doc.find_node_by_name("Walls");
        Mesh after = walls->mesh;
        after.erase_face(1);
        after.add_vertex({9, 9, 9});
        after.add_guide({0, 0, 0}, {0, 0, 3}, true);
        after.set_corner_uv(0, 0.5f, 0.25f);
        return std::make_unique<MeshEditStep>(doc, MeshLocator::of_node(walls), "Erase Stray",
                                              walls->mesh, std::move(after));
    };
    const Make repaint = [](Document& doc) -> std::unique_ptr<Command> {
        MeshRepaint chair{MeshLocator::of_definition("chair"), {{0, 4, 8}, {3, 4, 9}}};
        MeshRepaint root{MeshLocator::of_node(&doc.root()), {{5, 3, 1}}};
        std::vector<NodeRepaint> nodes{{doc.find_node_by_name("Chair"), 6, 2}};
        return std::make_unique<MaterialRepaintStep>(doc, "Replace Materials",
                                                     std::vector<MeshRepaint>{chair, root}, nodes);
    };
    const std::vector<UndoCase> cases = {
        {"Erase Stray", mesh_step,
         [](const Document& doc) {
             const Mesh& m = doc.find_node_by_name("Walls")->mesh;
             return m.alive_face_count() == 5 && m.guides().size() == 1 && m.has_corner_uvs();
         }},
        {"Replace Materials", repaint,
         [](const Document& doc) {
             const Mesh& chair = doc.definition("chair")->mesh;
             return chair.faces()[0].material_id == 8 && chair.faces()[3].material_id == 9 &&
                    doc.root().mesh.faces()[5].material_id == 1 &&
                    doc.find_node_by_name("Chair")->material == 2;
         }},
        {"Cleanup Model",
         make<RenameDefsStep>(
             std::vector<DefinitionRename>{{"chair", "Chair", "Ghe"}, {"lamp", "Lamp", "Den"}}),
         [](const Document& doc) {
             return doc.definition("chair")->name == "Ghe" && doc.definition("lamp")->name == "Den";
         }},
    };
    expect_exact_round_trips(cases);
}

// Undo restores the mesh record for record, dead elements and table sizes included, which
// the file (alive faces only) cannot show; the block hashes then match the content.
TEST(CommandsUndo, MeshEditStepRestoresTablesAndRefreshesBlockHashes) {
    Document doc = sample_document();
    doc.definitions()[0].mesh = cube({}, 1.0f);
    for (int i = 0; i < 40; ++i) doc.definitions()[0].mesh.add_vertex({float(i), 0, 0});
    Mesh& live = doc.definitions()[0].mesh;
    live.block_hashes();  // a cache the step must keep honest
    const Mesh before = live;
    Mesh after = before;
    after.erase_face(0);
    after.erase_face(5);
    for (int i = 0; i < 70; ++i) after.add_vertex({0, float(i), 0});
    after.add_curve({{0, 0, 0}, {1, 0, 0}}, false);
    MeshEditStep step(doc, MeshLocator::of_definition("chair"), "Purge", before, after);
    EXPECT_EQ(step.sizes_after().vertices, 8u + 40u + 70u);
    EXPECT_EQ(step.sizes_after().curves, 1u);

    // A definition inserted in front moves the mesh in memory; the locator still finds it.
    doc.insert_definition(0, ComponentDefinition{"bench", "Bench", "", quad()});
    auto expect_hashes_fresh = [](Mesh& mesh) {
        const auto hashes = mesh.block_hashes();
        const auto vertices = mesh.vertices();
        ASSERT_EQ(hashes->vertices.size(), (vertices.size() + 1023) / 1024);
        EXPECT_EQ(hashes->vertices[0], hash_records(vertices));
        EXPECT_EQ(hashes->faces[0], hash_records(mesh.faces()));
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        step.redo();
        Mesh& now = doc.definition("chair")->mesh;
        EXPECT_TRUE(same_mesh_content(now, after));
        EXPECT_EQ(MeshTableSizes::of(now), step.sizes_after());
        expect_hashes_fresh(now);
        step.undo();
        EXPECT_TRUE(same_mesh_content(doc.definition("chair")->mesh, before));
        EXPECT_EQ(MeshTableSizes::of(doc.definition("chair")->mesh), MeshTableSizes::of(before));
        expect_hashes_fresh(doc.definition("chair")->mesh);
    }

    MeshEditStep unchanged(doc, MeshLocator::of_definition("chair"), "Purge", before, before);
    unchanged.redo();
    EXPECT_TRUE(unchanged.is_noop());
    MeshEditStep gone(doc, MeshLocator::of_definition("sofa"), "Purge", before, after);
    gone.redo();
    EXPECT_TRUE(gone.is_noop());
}

TEST(CommandsUndo, RefusalsLeaveTheDocumentUntouched) {
    NodeTransformEdit zero_scale;
    zero_scale.kind = NodeTransformKind::kScale;
    zero_scale.factor = 0.0f;
    PlacementRequest flat_door = opening_request(OpeningKind::kDoor);
    flat_door.width = 0.0f;
    const std::vector<std::pair<const char*, Make>> cases = {
        {"transform of the root",
         [](Document& d) -> std::unique_ptr<Command> {
             return std::make_unique<SetNodeTransformCommand>(d, &d.root(), NodeTransformEdit{});
         }},
        {"zero scale", on<SetNodeTransformCommand>("Walls", zero_scale)},
        {"tag out of range", on<SetNodeTagCommand>("Walls", 4)},
        {"delete the root",
         [](Document& d) -> std::unique_ptr<Command> {
             return std::make_unique<DeleteNodeCommand>(d, &d.root());
         }},
        {"reparent under its own child", reparent("Walls", "Shelf")},
        {"group under an instance", on<CreateGroupCommand>("Chair", std::string("G"), cube())},
        {"instance of an unknown id",
         [](Document& d) -> std::unique_ptr<Command> {
             return std::make_unique<CreateInstanceCommand>(d, &d.root(), "sofa", "");
         }},
        {"make unique on a group",
         on<EditNodeCommand>("Walls", NodeEdit{NodeEditKind::kMakeUnique, true, {}})},
        {"delete tag out of range", make<DeleteTagCommand>(4)},
        {"add an existing tag",
         make<EditTagCommand>(TagEdit{TagEditKind::kAdd, -1, "Walls", true})},
        {"rename a missing scene",
         make<EditSceneCommand>(SceneEdit{SceneEditKind::kRename, 2, -1, "X"})},
        {"empty label", make<AddLabelCommand>(TextLabel{})},
        {"delete a missing label", make<DeleteLabelCommand>(2)},
        {"delete a missing material", make<DeleteMaterialCommand>(25)},
        {"uv of a missing material", make<SetMaterialUvCommand>(-1, MaterialUv{})},
        {"delete a definition in use", make<DeleteDefinitionCommand>(std::string("chair"))},
        {"array of an unknown id",
         make<ArrayInstancesCommand>(std::string("sofa"), 2u, Vec3{1, 0, 0})},
        {"empty array", make<ArrayInstancesCommand>(std::string("lamp"), 0u, Vec3{1, 0, 0})},
        {"door without width", make<PlaceOpeningCommand>(flat_door)},
    };
    for (const auto& [what, factory] : cases) {
        SCOPED_TRACE(what);
        Document doc = sample_document();
        const std::string before = saved_bytes(doc);
        std::unique_ptr<Command> cmd = factory(doc);
        cmd->redo();
        EXPECT_TRUE(cmd->is_noop());
        EXPECT_TRUE(same_file(saved_bytes(doc), before));
        cmd->undo();  // harmless after a refusal
        EXPECT_TRUE(same_file(saved_bytes(doc), before));
    }
}

// Commands that name nodes made by earlier ones stay valid while the history moves: every
// state along the way is met again exactly on the way back and forth.
TEST(CommandsUndo, StackHistoryRevisitsEveryStateExactly) {
    Document doc = sample_document();
    CommandStack stack;
    std::vector<std::string> states{saved_bytes(doc)};
    auto push = [&](std::unique_ptr<Command> cmd) {
        ASSERT_TRUE(stack.push(std::move(cmd)));
        states.push_back(saved_bytes(doc));
    };
    auto dup = std::make_unique<DuplicateNodeCommand>(doc, doc.find_node_by_name("Walls"));
    DuplicateNodeCommand* dup_ptr = dup.get();
    push(std::move(dup));
    SceneNode* copy = dup_ptr->copy();
    push(std::make_unique<SetNodeTagCommand>(doc, copy, 3));
    push(std::make_unique<ReparentNodeCommand>(doc, copy, doc.find_node_by_name("Annex")));
    push(std::make_unique<DeleteTagCommand>(doc, 3));
    push(std::make_unique<DeleteMaterialCommand>(doc, 4));
    push(std::make_unique<ExplodeInstanceCommand>(doc, doc.find_node_by_name("Chair 2")));
    push(std::make_unique<DeleteNodeCommand>(doc, copy));
    {
        ScopedCommandGroup group(stack, "Furnish");
        stack.push(std::make_unique<EditDefinitionCommand>(
            doc, DefinitionEdit{DefinitionEditKind::kDuplicate, "lamp", ""}));
        stack.push(std::make_unique<ArrayInstancesCommand>(doc, "lamp_copy", 2u, Vec3{0, 1, 0}));
    }
    states.push_back(saved_bytes(doc));
    ASSERT_EQ(stack.size(), states.size() - 1);

    for (std::size_t i = states.size() - 1; i-- > 0;) {
        ASSERT_TRUE(stack.undo());
        EXPECT_TRUE(same_file(saved_bytes(doc), states[i])) << "undone to state " << i;
    }
    EXPECT_FALSE(stack.undo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(stack.redo());
        EXPECT_TRUE(same_file(saved_bytes(doc), states[i])) << "redone to state " << i;
    }
}

}  // namespace
}  // namespace korvan
