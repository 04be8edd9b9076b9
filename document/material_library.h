#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/colour.h"

namespace korvan {

// Procedural pattern a renderer may draw when a material has no texture. Codes other than
// these are kept as read and treated as kNone.
enum class TexturePattern : std::int32_t { kNone = 0, kChecker = 1, kBrick = 2 };

// How projected texture coordinates map onto a material: one tile covers tile_width x
// tile_height metres (values not above 0 count as 1), shifted by offset tiles and turned
// by rotation_deg.
struct MaterialUv {
    float tile_width = 1.0f;
    float tile_height = 1.0f;
    float offset_u = 0.0f;
    float offset_v = 0.0f;
    float rotation_deg = 0.0f;
    TexturePattern pattern = TexturePattern::kNone;

    // True for tile 1 x 1, no offset, no rotation and no pattern: such a transform is not
    // worth storing.
    bool is_default() const {
        return tile_width == 1.0f && tile_height == 1.0f && offset_u == 0.0f && offset_v == 0.0f &&
               rotation_deg == 0.0f && pattern == TexturePattern::kNone;
    }
    friend bool operator==(const MaterialUv&, const MaterialUv&) = default;
};

// One entry of the material library; faces and nodes refer to it by index.
struct Material {
    std::string id;                // ASCII key used by scripts and assets, e.g. "mat_brick_red"
    std::string name;              // display name, UTF-8
    Rgb albedo{0.8f, 0.8f, 0.8f};  // linear
    float opacity = 1.0f;          // 1 = opaque
    float roughness = 0.6f;
    float metallic = 0.0f;
    std::string texture_path;  // relative to the assets directory; empty = untextured
    MaterialUv uv;
    std::string category;  // catalogue category; not saved with the model

    friend bool operator==(const Material&, const Material&) = default;
};

// The ordered material list of a model. Indices are stable except across erase/insert;
// every setter refuses an index out of range and then changes nothing.
class MaterialLibrary {
  public:
    MaterialLibrary() = default;
    explicit MaterialLibrary(std::vector<Material> materials) : materials_(std::move(materials)) {}

    std::size_t size() const { return materials_.size(); }
    bool empty() const { return materials_.empty(); }
    bool valid(std::int64_t index) const {
        return index >= 0 && static_cast<std::uint64_t>(index) < materials_.size();
    }
    std::span<const Material> materials() const { return materials_; }
    // The index must be valid.
    const Material& operator[](std::size_t index) const { return materials_[index]; }
    // Null for an index out of range.
    const Material* get(std::int64_t index) const;
    Material* get_mut(std::int64_t index);

    // Exact comparison of the name (or id) field; -1 when absent.
    std::int32_t find_by_name(std::string_view name) const;
    std::int32_t find_by_id(std::string_view id) const;

    // Appends without checking for a duplicate name; returns the new index.
    std::int32_t add(Material material);
    // Appends a copy named like its source plus " copy" (then " copy2", ...) with the id
    // plus "_copy" (then "_copy2", ...); returns the new index or -1.
    std::int32_t duplicate(std::int64_t index);
    bool rename(std::int64_t index, std::string name);
    bool set_albedo(std::int64_t index, const Rgb& albedo);
    bool set_roughness(std::int64_t index, float roughness);
    bool set_metallic(std::int64_t index, float metallic);
    bool set_opacity(std::int64_t index, float opacity);
    bool set_uv(std::int64_t index, const MaterialUv& uv);

    // Removal and reinsertion for undo. Faces keep their numbers: callers that erase a
    // material remap the faces themselves.
    bool erase(std::int64_t index);
    // index may equal size() (append).
    bool insert(std::int64_t index, Material material);
    void clear() { materials_.clear(); }

    friend bool operator==(const MaterialLibrary&, const MaterialLibrary&) = default;

  private:
    std::vector<Material> materials_;
};

// The 25 materials a model starts with when it does not come from a file: 20 plain
// entries, then 5 textured ones. Index 0 is the default paint of new faces.
std::vector<Material> default_materials();

}  // namespace korvan
