#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "document/document.h"
#include "tests/document/document_builders.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::quad;

ComponentDefinition def(std::string id) {
    return ComponentDefinition{id, "Name " + id, "", quad()};
}

TEST(Definitions, KeysAreFnv1a64) {
    struct Row {
        const char* text;
        std::uint64_t hash;
    };
    for (const Row row : {Row{"", 0xcbf29ce484222325ull}, Row{"a", 0xaf63dc4c8601ec8cull},
                          Row{"foobar", 0x85944171f73967e8ull}}) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(fnv1a_64(row.text), row.hash);
    }
}

TEST(Definitions, LookupsStayExactWhenTheListChangesBehindTheIndex) {
    Document doc;
    for (const char* id : {"door", "window", "stair"}) ASSERT_GE(doc.add_definition(def(id)), 0);
    EXPECT_EQ(doc.find_definition("window"), 1);
    EXPECT_EQ(doc.find_definition("Window"), -1);
    EXPECT_EQ(doc.find_definition(""), -1);

    // A reader or command may edit the list directly; answers must follow it.
    auto& defs = doc.definitions();
    defs.erase(defs.begin());
    defs.push_back(def("roof"));
    std::swap(defs[0], defs[1]);  // stair, window, roof
    EXPECT_EQ(doc.find_definition("stair"), 0);
    EXPECT_EQ(doc.find_definition("window"), 1);
    EXPECT_EQ(doc.find_definition("roof"), 2);
    EXPECT_EQ(doc.find_definition("door"), -1);
    defs.push_back(def(""));
    EXPECT_EQ(doc.find_definition(""), 3);
}

TEST(Definitions, ConcurrentLookupsThroughASharedIndex) {
    Document doc;
    constexpr int kDefinitions = 200;
    for (int i = 0; i < kDefinitions; ++i) doc.add_definition(def("def_" + std::to_string(i)));
    // The copy shares the index but lists the definitions backwards, so lookups through the
    // two documents keep invalidating each other's view of the index.
    Document reversed = doc;
    ASSERT_EQ(reversed.definition_index(), doc.definition_index());
    std::reverse(reversed.definitions().begin(), reversed.definitions().end());

    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&, t] {
            const Document& target = t % 2 == 0 ? doc : reversed;
            for (int round = 0; round < 20; ++round) {
                for (int i = 0; i < kDefinitions; i += 7) {
                    const std::string id = "def_" + std::to_string(i);
                    const int expected = t % 2 == 0 ? i : kDefinitions - 1 - i;
                    if (target.find_definition(id) != expected) ++wrong;
                    if (target.find_definition(id + "x") != -1) ++wrong;
                }
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(Definitions, DeleteRefusesDefinitionsInUse) {
    Document doc;
    doc.add_definition(def("used"));
    doc.add_definition(def("free"));
    SceneNode* g = add_group(doc, &doc.root(), "G");
    SceneNode* deep = add_group(doc, g, "Deep");
    doc.create_instance(deep, "used", "I");
    EXPECT_EQ(doc.count_instances("used"), 1u);

    EXPECT_FALSE(doc.delete_definition("used").has_value());
    EXPECT_FALSE(doc.delete_definition("missing").has_value());
    std::optional<RemovedDefinition> removed = doc.delete_definition("free");
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(removed->position, 1u);
    EXPECT_EQ(doc.find_definition("free"), -1);
    ASSERT_TRUE(doc.insert_definition(removed->position, std::move(removed->definition)));
    EXPECT_EQ(doc.find_definition("free"), 1);

    EXPECT_EQ(doc.add_definition(def("used")), -1);
    EXPECT_EQ(doc.add_definition(def("")), -1);
    EXPECT_FALSE(doc.insert_definition(0, def("free")));
}

TEST(Definitions, DuplicatesGetCopyIdsAndNames) {
    Document doc;
    doc.add_definition(ComponentDefinition{"door", "Door", "Doors", quad()});
    std::vector<std::string> ids, names;
    for (int i = 0; i < 3; ++i) {
        const std::int32_t pos = doc.duplicate_definition("door");
        ASSERT_GE(pos, 0);
        ids.push_back(doc.definitions()[static_cast<std::size_t>(pos)].id);
        names.push_back(doc.definitions()[static_cast<std::size_t>(pos)].name);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"door_copy", "door_copy2", "door_copy3"}));
    EXPECT_EQ(names, (std::vector<std::string>{"Door copy", "Door copy2", "Door copy3"}));
    EXPECT_EQ(doc.definitions()[1].category, "Doors");
    EXPECT_EQ(doc.duplicate_definition("nope"), -1);
    EXPECT_TRUE(doc.rename_definition("door", "Front door"));
    EXPECT_TRUE(doc.set_definition_category("door", "Openings"));
    EXPECT_FALSE(doc.rename_definition("nope", "x"));
    EXPECT_EQ(doc.definitions()[0].name, "Front door");
}

}  // namespace
}  // namespace korvan
