#include "document/material_library.h"

#include <algorithm>
#include <iterator>

#include "document/naming.h"

namespace korvan {

const Material* MaterialLibrary::get(std::int64_t index) const {
    return valid(index) ? &materials_[static_cast<std::size_t>(index)] : nullptr;
}

Material* MaterialLibrary::get_mut(std::int64_t index) {
    return valid(index) ? &materials_[static_cast<std::size_t>(index)] : nullptr;
}

std::int32_t MaterialLibrary::find_by_name(std::string_view name) const {
    for (std::size_t i = 0; i < materials_.size(); ++i) {
        if (materials_[i].name == name) return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t MaterialLibrary::find_by_id(std::string_view id) const {
    for (std::size_t i = 0; i < materials_.size(); ++i) {
        if (materials_[i].id == id) return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t MaterialLibrary::add(Material material) {
    materials_.push_back(std::move(material));
    return static_cast<std::int32_t>(materials_.size() - 1);
}

std::int32_t MaterialLibrary::duplicate(std::int64_t index) {
    const Material* source = get(index);
    if (source == nullptr) return -1;
    Material copy = *source;
    copy.id =
        copy_name(source->id, "_copy", [&](const std::string& c) { return find_by_id(c) >= 0; });
    copy.name = copy_name(source->name, " copy",
                          [&](const std::string& c) { return find_by_name(c) >= 0; });
    return add(std::move(copy));
}

bool MaterialLibrary::rename(std::int64_t index, std::string name) {
    Material* m = get_mut(index);
    if (m == nullptr) return false;
    m->name = std::move(name);
    return true;
}

bool MaterialLibrary::set_albedo(std::int64_t index, const Rgb& albedo) {
    Material* m = get_mut(index);
    if (m == nullptr) return false;
    m->albedo = albedo;
    return true;
}

bool MaterialLibrary::set_roughness(std::int64_t index, float roughness) {
    Material* m = get_mut(index);
    if (m == nullptr) return false;
    m->roughness = roughness;
    return true;
}

bool MaterialLibrary::set_metallic(std::int64_t index, float metallic) {
    Material* m = get_mut(index);
    if (m == nullptr) return false;
    m->metallic = metallic;
    return true;
}

bool MaterialLibrary::set_opacity(std::int64_t index, float opacity) {
    Material* m = get_mut(index);
    if (m == nullptr) return false;
    m->opacity = opacity;
    return true;
}

bool MaterialLibrary::set_uv(std::int64_t index, const MaterialUv& uv) {
    Material* m = get_mut(index);
    if (m == nullptr) return false;
    m->uv = uv;
    return true;
}

bool MaterialLibrary::erase(std::int64_t index) {
    if (!valid(index)) return false;
    materials_.erase(materials_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool MaterialLibrary::insert(std::int64_t index, Material material) {
    if (index < 0 || static_cast<std::uint64_t>(index) > materials_.size()) return false;
    materials_.insert(materials_.begin() + static_cast<std::ptrdiff_t>(index), std::move(material));
    return true;
}

// ---- The built-in library ----------------------------------------------------------------

namespace {

struct PlainEntry {
    const char* id;
    const char* name;
    Rgb albedo;
    float opacity;
    float roughness;
    float metallic;
};

// Linear albedo. Glass is the only see-through kind; aluminium, black steel and metal
// roofing the only metals.
constexpr PlainEntry kPlainEntries[] = {
    {"mat_plaster_white", "Sơn tường trắng", {0.92f, 0.92f, 0.90f}, 1.0f, 0.85f, 0.0f},
    {"mat_brick_red", "Gạch đỏ", {0.62f, 0.28f, 0.18f}, 1.0f, 0.75f, 0.0f},
    {"mat_concrete_grey", "Bê tông xám", {0.55f, 0.55f, 0.53f}, 1.0f, 0.7f, 0.0f},
    {"mat_wood_oak", "Gỗ sồi", {0.55f, 0.36f, 0.20f}, 1.0f, 0.55f, 0.0f},
    {"mat_tile_ceramic", "Gạch men", {0.85f, 0.82f, 0.78f}, 1.0f, 0.35f, 0.0f},
    {"mat_glass_clear", "Kính trong", {0.80f, 0.90f, 0.95f}, 0.25f, 0.05f, 0.0f},
    {"mat_metal_alu", "Nhôm cửa", {0.72f, 0.74f, 0.76f}, 1.0f, 0.35f, 0.85f},
    {"mat_roof_tile", "Ngói đỏ", {0.55f, 0.18f, 0.12f}, 1.0f, 0.7f, 0.0f},
    {"mat_stone_granite", "Đá granite", {0.35f, 0.35f, 0.38f}, 1.0f, 0.4f, 0.0f},
    {"mat_paint_warm", "Sơn kem ấm", {0.93f, 0.88f, 0.78f}, 1.0f, 0.9f, 0.0f},
    {"mat_floor_wood", "Sàn gỗ công nghiệp", {0.60f, 0.42f, 0.25f}, 1.0f, 0.45f, 0.0f},
    {"mat_stucco_beige", "Trát tường be", {0.86f, 0.80f, 0.70f}, 1.0f, 0.8f, 0.0f},
    {"mat_paint_navy", "Sơn xanh navy", {0.15f, 0.22f, 0.35f}, 1.0f, 0.85f, 0.0f},
    {"mat_terrazzo", "Terrazzo", {0.78f, 0.76f, 0.72f}, 1.0f, 0.3f, 0.0f},
    {"mat_marble_white", "Đá marble trắng", {0.90f, 0.90f, 0.88f}, 1.0f, 0.2f, 0.0f},
    {"mat_brick_yellow", "Gạch vàng", {0.78f, 0.58f, 0.28f}, 1.0f, 0.7f, 0.0f},
    {"mat_glass_frosted", "Kính mờ", {0.85f, 0.88f, 0.90f}, 0.45f, 0.55f, 0.0f},
    {"mat_steel_black", "Thép đen", {0.08f, 0.08f, 0.09f}, 1.0f, 0.4f, 0.9f},
    {"mat_roof_metal", "Tôn lạnh", {0.55f, 0.58f, 0.60f}, 1.0f, 0.35f, 0.7f},
    {"mat_grass", "Cỏ sân", {0.25f, 0.45f, 0.18f}, 1.0f, 0.95f, 0.0f},
};

struct TexturedEntry {
    const char* id;
    const char* name;
    const char* texture_path;  // relative to the assets directory
    Rgb albedo;                // what remains when the texture is cleared
    float roughness;
    float tile_width;  // metres covered by one copy of the image
    float tile_height;
    const char* category;
};

// clang-format off
constexpr TexturedEntry kTexturedEntries[] = {
    {"mat_stone_cladding_tex", "Đá ốp kẻ ngang", "materials/textures/stone_cladding.png",
     {0.647f, 0.620f, 0.557f}, 0.6f, 1.2f, 1.2f, "Stone"},
    {"mat_wood_planks_tex", "Gỗ ván", "materials/textures/wood_planks.png",
     {0.596f, 0.369f, 0.196f}, 0.5f, 0.8f, 0.8f, "Wood"},
    {"mat_brick_exposed_tex", "Gạch trần", "materials/textures/brick_exposed.png",
     {0.608f, 0.333f, 0.243f}, 0.75f, 0.8f, 0.52f, "Brick and Cladding"},
    {"mat_granite_tex", "Đá granite hạt", "materials/textures/granite_speckle.png",
     {0.467f, 0.459f, 0.467f}, 0.35f, 0.6f, 0.6f, "Stone"},
    {"mat_marble_tex", "Đá marble vân", "materials/textures/marble_veined.png",
     {0.902f, 0.894f, 0.878f}, 0.2f, 1.0f, 1.0f, "Stone"},
};
// clang-format on

}  // namespace

std::vector<Material> default_materials() {
    std::vector<Material> out;
    out.reserve(std::size(kPlainEntries) + std::size(kTexturedEntries));
    for (const PlainEntry& e : kPlainEntries) {
        Material m;
        m.id = e.id;
        m.name = e.name;
        m.albedo = e.albedo;
        m.opacity = e.opacity;
        m.roughness = e.roughness;
        m.metallic = e.metallic;
        out.push_back(std::move(m));
    }
    for (const TexturedEntry& e : kTexturedEntries) {
        // Starts from the record's defaults (grey 0.8, opaque, roughness 0.6, not metallic,
        // tile 1 x 1); the row sets the rest.
        Material m;
        m.id = e.id;
        m.name = e.name;
        m.albedo = e.albedo;
        m.roughness = e.roughness;
        m.uv.tile_width = e.tile_width;
        m.uv.tile_height = e.tile_height;
        m.texture_path = e.texture_path;
        m.category = e.category;
        out.push_back(std::move(m));
    }
    return out;
}

}  // namespace korvan
