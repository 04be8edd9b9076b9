#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "document/document.h"
#include "document/material_library.h"

namespace korvan {
namespace {

// Ids, names, colours, textures and tiling of the default list are pinned byte for byte by
// the writer's test of a new document. The catalogue is not saved, so it is checked here:
// the textured materials, and only they, have a category.
TEST(MaterialLibrary, OnlyTheTexturedDefaultsAreCatalogued) {
    const std::vector<Material> mats = default_materials();
    ASSERT_EQ(mats.size(), 25u);
    for (const Material& m : mats) {
        SCOPED_TRACE(m.id);
        EXPECT_EQ(!m.category.empty(), !m.texture_path.empty());
    }
    EXPECT_EQ(mats[22].category, "Brick and Cladding");
}

TEST(MaterialLibrary, TexturesOfTheDefaultListExist) {
    const std::filesystem::path assets = KORVAN_TEST_ASSETS_DIR;
    for (const Material& m : default_materials()) {
        if (m.texture_path.empty()) continue;
        SCOPED_TRACE(m.texture_path);
        EXPECT_TRUE(std::filesystem::is_regular_file(assets / m.texture_path));
    }
}

TEST(MaterialLibrary, EditsRefuseIndicesOutOfRange) {
    MaterialLibrary lib(default_materials());
    const MaterialLibrary before = lib;
    for (std::int64_t index : {std::int64_t{-1}, std::int64_t{25}, std::int64_t{1} << 40}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(lib.rename(index, "x"));
        EXPECT_FALSE(lib.set_albedo(index, {1, 0, 0}));
        EXPECT_FALSE(lib.set_roughness(index, 0.1f));
        EXPECT_FALSE(lib.set_metallic(index, 0.1f));
        EXPECT_FALSE(lib.set_opacity(index, 0.1f));
        EXPECT_FALSE(lib.set_uv(index, MaterialUv{2, 2, 0, 0, 0, TexturePattern::kBrick}));
        EXPECT_EQ(lib.duplicate(index), -1);
        EXPECT_FALSE(lib.erase(index));
        EXPECT_EQ(lib.get(index), nullptr);
    }
    EXPECT_FALSE(lib.insert(26, Material{}));
    EXPECT_EQ(lib, before);
    EXPECT_TRUE(lib.set_albedo(24, {0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(lib[24].albedo, (Rgb{0.1f, 0.2f, 0.3f}));
}

TEST(MaterialLibrary, AddDuplicateAndFind) {
    Document doc;
    EXPECT_TRUE(doc.materials().empty());
    doc.materials() = MaterialLibrary(default_materials());
    Material m;
    m.id = "mat_custom";
    m.name = "Gạch men";  // the same name as entry 4: adding never de-duplicates
    EXPECT_EQ(doc.materials().add(m), 25);
    EXPECT_EQ(doc.materials().find_by_name("Gạch men"), 4);
    EXPECT_EQ(doc.materials().find_by_name("gạch men"), -1);
    EXPECT_EQ(doc.materials().find_by_id("mat_custom"), 25);

    const std::int32_t a = doc.materials().duplicate(1);
    const std::int32_t b = doc.materials().duplicate(1);
    EXPECT_EQ(doc.materials()[static_cast<std::size_t>(a)].id, "mat_brick_red_copy");
    EXPECT_EQ(doc.materials()[static_cast<std::size_t>(b)].id, "mat_brick_red_copy2");
    EXPECT_EQ(doc.materials()[static_cast<std::size_t>(b)].name, "Gạch đỏ copy2");
    EXPECT_EQ(doc.materials()[static_cast<std::size_t>(b)].albedo, doc.materials()[1].albedo);

    ASSERT_TRUE(doc.materials().erase(0));
    EXPECT_EQ(doc.materials()[0].id, "mat_brick_red");
    ASSERT_TRUE(doc.materials().insert(0, default_materials()[0]));
    EXPECT_EQ(doc.materials()[0].id, "mat_plaster_white");
}

}  // namespace
}  // namespace korvan
