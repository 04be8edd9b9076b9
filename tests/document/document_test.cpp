#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document.h"
#include "tests/document/document_builders.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::quad;

TEST(Document, NewEntriesAreNumberedThenMadeUnique) {
    struct Row {
        const char* existing[3];
        const char* given;
        const char* expected;
    };
    const Row rows[] = {
        {{"A", "B", nullptr}, "", "@3"},
        {{"A", "@3", nullptr}, "", "@3_2"},
        {{"@3", "@3_2", nullptr}, "", "@3_3"},
        {{"Front", nullptr, nullptr}, "Front", "Front_2"},
        {{"Front", "Front_2", nullptr}, "Front", "Front_3"},
        {{nullptr, nullptr, nullptr}, "", "@1"},
    };
    struct Table {
        const char* prefix;
        std::int32_t (*add)(Document&, std::string);
        std::string (*name_at)(const Document&, std::size_t);
    };
    const Table tables[] = {
        {"Scene ", [](Document& d, std::string n) { return d.add_scene(std::move(n)); },
         [](const Document& d, std::size_t i) { return d.scenes()[i].name; }},
        {"Section ", [](Document& d, std::string n) { return d.add_section(std::move(n)); },
         [](const Document& d, std::size_t i) { return d.sections()[i].name; }},
        {"Light ",
         [](Document& d, std::string n) {
             Light l;
             l.name = std::move(n);
             return d.add_light(l);
         },
         [](const Document& d, std::size_t i) { return d.lights()[i].name; }},
    };
    // "@" stands for the list's prefix, so one table of names serves all three lists.
    auto expand = [](const char* text, const char* prefix) {
        std::string s(text);
        return s.rfind('@', 0) == 0 ? prefix + s.substr(1) : s;
    };
    for (const Table& table : tables) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(table.prefix) + " given '" + row.given + "'");
            Document doc;
            std::size_t count = 0;
            for (const char* name : row.existing) {
                if (name == nullptr) continue;
                ASSERT_EQ(table.add(doc, expand(name, table.prefix)),
                          static_cast<std::int32_t>(count));
                ++count;
            }
            const std::int32_t index = table.add(doc, row.given);
            ASSERT_EQ(index, static_cast<std::int32_t>(count));
            EXPECT_EQ(table.name_at(doc, count), expand(row.expected, table.prefix));
        }
    }
}

TEST(Document, DuplicatesCountCopiesWithoutSeparator) {
    Document doc;
    SceneNode* door = add_group(doc, &doc.root(), "Door", quad());
    const std::int32_t scene = doc.add_scene("Door");
    const std::int32_t tag = doc.ensure_tag("Door");
    std::vector<std::string> nodes, scenes, tags;
    for (int i = 0; i < 3; ++i) {
        SceneNode* copy = doc.duplicate_node(door);
        ASSERT_NE(copy, nullptr);
        nodes.push_back(copy->name);
        scenes.push_back(doc.scenes()[static_cast<std::size_t>(doc.duplicate_scene(scene))].name);
        tags.push_back(doc.tags()[static_cast<std::size_t>(doc.duplicate_tag(tag))].name);
    }
    const std::vector<std::string> expected{"Door copy", "Door copy2", "Door copy3"};
    EXPECT_EQ(nodes, expected);
    EXPECT_EQ(scenes, expected);
    EXPECT_EQ(tags, expected);
    // Copies are appended to the source's parent and carry the geometry.
    ASSERT_EQ(doc.root().children.size(), 4u);
    EXPECT_EQ(doc.root().children[3]->mesh.alive_face_count(), 1u);
}

TEST(Document, RefusalsLeaveTheTablesUnchanged) {
    Document doc;
    doc.add_scene("S");
    doc.add_section("P");
    doc.add_light(Light{});
    ASSERT_EQ(doc.add_label(TextLabel{"note", {}, 0.2f, -1}), 0);
    const Document before = doc;

    EXPECT_EQ(doc.add_label(TextLabel{}), -1);
    EXPECT_FALSE(doc.rename_scene(1, "x"));
    EXPECT_FALSE(doc.rename_scene(-1, "x"));
    EXPECT_FALSE(doc.delete_scene(1).has_value());
    EXPECT_EQ(doc.duplicate_scene(-1), -1);
    EXPECT_FALSE(doc.update_scene(0, 1));
    EXPECT_FALSE(doc.set_section_active(1, false));
    EXPECT_FALSE(doc.update_section(-1, 0));
    EXPECT_FALSE(doc.delete_section(3).has_value());
    EXPECT_FALSE(doc.set_light_enabled(1, false));
    EXPECT_FALSE(doc.delete_light(-1).has_value());
    EXPECT_FALSE(doc.delete_label(1).has_value());
    EXPECT_FALSE(doc.set_tag_visible(1, false));
    EXPECT_FALSE(doc.rename_tag(-1, "x"));
    EXPECT_EQ(doc.duplicate_tag(1), -1);
    EXPECT_EQ(doc.ensure_tag(""), -1);

    EXPECT_EQ(doc.scenes(), before.scenes());
    EXPECT_EQ(doc.sections(), before.sections());
    EXPECT_EQ(doc.lights(), before.lights());
    EXPECT_EQ(doc.labels(), before.labels());
    EXPECT_EQ(doc.tags(), before.tags());
}

TEST(Document, UpdateCopiesEverythingButTheName) {
    Document doc;
    doc.add_scene("Front");
    doc.view().eye = {1, 2, 3};
    doc.add_scene("Back");
    doc.scenes()[1].photo = "photo.jpg";
    doc.scenes()[1].photo_params = {1.5f, 2.0f};
    ASSERT_TRUE(doc.update_scene(0, 1));
    EXPECT_EQ(doc.scenes()[0].name, "Front");
    EXPECT_EQ(doc.scenes()[0].eye, (Vec3{1, 2, 3}));
    EXPECT_EQ(doc.scenes()[0].photo_params, doc.scenes()[1].photo_params);

    doc.add_section("Cut A");
    doc.add_section("Cut B");
    doc.sections()[1].point = {0, 0, 1.2f};
    doc.sections()[1].active = false;
    ASSERT_TRUE(doc.update_section(0, 1));
    EXPECT_EQ(doc.sections()[0].name, "Cut A");
    EXPECT_EQ(doc.sections()[0].point.z, 1.2f);
    EXPECT_FALSE(doc.sections()[0].active);
}

TEST(Document, CopiesAreDeepButShareTheDefinitionIndex) {
    Document doc;
    add_group(doc, &doc.root(), "G", quad());
    doc.add_definition(ComponentDefinition{"door", "Door", "", quad()});
    const Document copy = doc;
    EXPECT_EQ(copy.definition_index(), doc.definition_index());
    doc.root().children[0]->mesh.add_vertex({9, 9, 9});
    doc.root().children[0]->name = "changed";
    EXPECT_EQ(copy.root().children[0]->name, "G");
    EXPECT_EQ(copy.root().children[0]->mesh.vertices().size(), 4u);
    EXPECT_EQ(copy.find_definition("door"), 0);

    // Moving keeps the nodes where they are, so pointers held by commands stay good.
    SceneNode* node = doc.root().children[0].get();
    Document moved = std::move(doc);
    EXPECT_EQ(moved.find_node_by_name("changed"), node);

    moved.clear();
    EXPECT_TRUE(moved.root().children.empty());
    EXPECT_NE(moved.definition_index(), copy.definition_index());
}

}  // namespace
}  // namespace korvan
