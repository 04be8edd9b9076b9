#include "cli/samples/building_blocks.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

#include "document/document.h"
#include "document/material_library.h"
#include "document/slab_solid.h"

namespace korvan::cli {
namespace {

// A site belongs to a wall when it faces the way the wall's outer face looks and sits on its
// plane within this distance.
constexpr float kOnWallTolerance = 1e-3f;
constexpr float kFacingCos = 0.999f;

std::uint32_t paint(const MaterialLibrary& materials, std::string_view id) {
    const std::int32_t index = materials.find_by_id(id);
    return index < 0 ? 0u : static_cast<std::uint32_t>(index);
}

// The openings of the sites centred on the wall, in its face coordinates, kept `side_margin` clear
// of the wall's ends and a wall thickness clear of its top.
std::vector<SlabHole> wall_holes(const SlabFrame& wall, std::span<const OpeningSite> sites,
                                 float side_margin) {
    std::vector<SlabHole> holes;
    const Vec3 out = cross(wall.u_axis, wall.v_axis);
    for (const OpeningSite& site : sites) {
        if (dot(normalize(site.normal), out) < kFacingCos) continue;
        const Vec3 rel = site.at - wall.origin;
        if (std::abs(dot(rel, out)) > kOnWallTolerance) continue;
        const float u = dot(rel, wall.u_axis), v = dot(rel, wall.v_axis);
        if (u < 0.0f || u > wall.length) continue;  // on the plane of a neighbouring wall
        holes.push_back({std::max(u - 0.5f * site.width, side_margin),
                         std::min(u + 0.5f * site.width, wall.length - side_margin), v,
                         std::min(v + site.height, wall.height - kWallThickness)});
    }
    return holes;
}

// A horizontal slab over [xa, xb] x [ya, yb] whose top is at z_top.
void add_floor_slab(Mesh& mesh, float xa, float xb, float ya, float yb, float z_top,
                    const SlabMaterials& materials) {
    SlabFrame frame;
    frame.origin = {xa, ya, z_top};
    frame.u_axis = {1.0f, 0.0f, 0.0f};
    frame.v_axis = {0.0f, 1.0f, 0.0f};
    frame.length = xb - xa;
    frame.height = yb - ya;
    frame.thickness = kSlabThickness;
    add_slab_solid(mesh, frame, {}, materials);
}

}  // namespace

SamplePaints SamplePaints::from(const MaterialLibrary& materials) {
    SamplePaints p;
    p.facade = paint(materials, "mat_paint_warm");
    p.interior = paint(materials, "mat_plaster_white");
    p.ground_floor = paint(materials, "mat_tile_ceramic");
    p.upper_floor = paint(materials, "mat_floor_wood");
    p.slab_edge = paint(materials, "mat_concrete_grey");
    p.roof = paint(materials, "mat_roof_tile");
    p.base = paint(materials, "mat_stucco_beige");
    p.water = paint(materials, "mat_glass_clear");
    return p;
}

bool fits_hollow(const BlockPlan& block) {
    const float walls = (block.left_wall ? 2.0f : 1.0f) * kWallThickness;
    return block.width > walls + kMinRoom && block.depth > 2.0f * kWallThickness + kMinRoom &&
           block.storey_height > 2.0f * kSlabThickness + kMinRoom;
}

void add_hollow_block(Mesh& mesh, const BlockPlan& block, std::span<const OpeningSite> sites,
                      const SamplePaints& paints) {
    const float t = kWallThickness;
    const float h = block.storey_height;
    const float top = static_cast<float>(block.storeys) * h;
    const float x0 = block.x0, x1 = block.x0 + block.width;
    const float y0 = block.y0, y1 = block.y0 + block.depth;
    const Vec3 up{0.0f, 0.0f, 1.0f};

    // Front and back walls run the full width; the side walls fit between them. Each wall's
    // u axis runs to the right seen from outside.
    struct Wall {
        SlabFrame frame;
        float side_margin = 0.0f;
    };
    std::vector<Wall> walls;
    walls.push_back({{{x0, y0, 0.0f}, {1, 0, 0}, up, block.width, top, t}, t});
    walls.push_back({{{x1, y1, 0.0f}, {-1, 0, 0}, up, block.width, top, t}, t});
    if (block.left_wall) {
        walls.push_back({{{x0, y1 - t, 0.0f}, {0, -1, 0}, up, block.depth - 2 * t, top, t}, 0});
    }
    walls.push_back({{{x1, y0 + t, 0.0f}, {0, 1, 0}, up, block.depth - 2 * t, top, t}, 0});
    for (const Wall& wall : walls) {
        const std::vector<SlabHole> holes = wall_holes(wall.frame, sites, wall.side_margin);
        add_slab_solid(mesh, wall.frame, holes, {paints.facade, paints.interior, paints.facade});
    }

    const float xa = block.left_wall ? x0 + t : x0, xb = x1 - t;
    const float ya = y0 + t, yb = y1 - t;
    add_floor_slab(mesh, xa, xb, ya, yb, kSlabThickness,
                   {paints.ground_floor, paints.slab_edge, paints.slab_edge});
    for (std::int32_t k = 1; k < block.storeys; ++k) {
        add_floor_slab(mesh, xa, xb, ya, yb, static_cast<float>(k) * h,
                       {paints.upper_floor, paints.interior, paints.slab_edge});
    }
    add_floor_slab(mesh, xa, xb, ya, yb, top, {paints.roof, paints.interior, paints.slab_edge});
}

void add_massing_block(Mesh& mesh, const BlockPlan& block, const SamplePaints& paints) {
    const float h = block.storey_height;
    for (std::int32_t k = 0; k < block.storeys; ++k) {
        const Vec3 lo{block.x0, block.y0, static_cast<float>(k) * h};
        const Vec3 hi{block.x0 + block.width, block.y0 + block.depth,
                      static_cast<float>(k + 1) * h};
        add_box_solid(mesh, lo, hi, k == 0 ? paints.base : paints.facade);
    }
}

void place_sites(Document& doc, std::span<const OpeningSite> sites, std::int32_t tag) {
    for (const OpeningSite& site : sites) {
        PlacementRequest request = opening_request(site.kind);
        request.definition_id = site.definition_id;
        request.width = site.width;
        request.height = site.height;
        request.at = site.at;
        request.normal = site.normal;
        request.name = site.name;
        request.tag = tag;
        // Sites are built from checked specs, so the placer has nothing to refuse.
        [[maybe_unused]] const bool placed = place_opening(doc, request).ok;
        assert(placed);
    }
}

Document make_sample_document(const MaterialLibrary& materials, Mesh building,
                              std::vector<Scene> scenes, std::span<const OpeningSite> sites,
                              bool with_openings) {
    Document doc;
    doc.materials() = materials;
    doc.root().mesh = std::move(building);
    doc.scenes() = std::move(scenes);
    if (with_openings) place_sites(doc, sites, doc.ensure_tag("Openings"));
    return doc;
}

}  // namespace korvan::cli
