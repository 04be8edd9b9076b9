#include "cli/samples/villa.h"

#include <cmath>
#include <string>
#include <utility>

#include "cli/samples/townhouse.h"
#include "document/component_placer.h"
#include "document/material_library.h"
#include "document/naming.h"
#include "document/slab_solid.h"

namespace korvan::cli {
namespace {

constexpr float kSillHeight = 0.9f;
// The pool: a coping slab behind the wing, set back from it, around a basin of water.
constexpr float kPoolSetback = 0.5f;
constexpr float kCopingWidth = 0.4f;
constexpr float kCopingHeight = 0.2f;
constexpr float kWaterLevel = 0.15f;

BlockPlan main_block(const VillaSpec& params) {
    BlockPlan block;
    block.width = params.width;
    block.depth = params.depth;
    block.storeys = params.storeys;
    block.storey_height = params.storey_height;
    return block;
}

// One storey against the main block's right wall, half as deep.
BlockPlan wing_block(const VillaSpec& params) {
    BlockPlan block;
    block.x0 = params.width;
    block.width = params.wing_width;
    block.depth = 0.5f * params.depth;
    block.storeys = 1;
    block.storey_height = params.storey_height;
    block.left_wall = false;
    return block;
}

struct PoolPlan {
    float x0 = 0.0f, x1 = 0.0f, y0 = 0.0f, y1 = 0.0f;
};

PoolPlan pool_plan(const VillaSpec& params) {
    return {params.width, params.width + params.wing_width, 0.5f * params.depth + kPoolSetback,
            params.depth};
}

void add_pool(Mesh& mesh, const VillaSpec& params, const SamplePaints& paints) {
    const PoolPlan p = pool_plan(params);
    SlabFrame coping;
    coping.origin = {p.x0, p.y0, kCopingHeight};
    coping.u_axis = {1.0f, 0.0f, 0.0f};
    coping.v_axis = {0.0f, 1.0f, 0.0f};
    coping.length = p.x1 - p.x0;
    coping.height = p.y1 - p.y0;
    coping.thickness = kCopingHeight;
    const SlabHole basin{kCopingWidth, coping.length - kCopingWidth, kCopingWidth,
                         coping.height - kCopingWidth};
    // A plot too small for a basin keeps a plain slab, with no water inside it.
    const bool has_basin = basin.u1 - basin.u0 > kMinRoom && basin.v1 - basin.v0 > kMinRoom;
    const std::span<const SlabHole> holes =
        has_basin ? std::span(&basin, 1) : std::span<const SlabHole>{};
    add_slab_solid(mesh, coping, holes, {paints.slab_edge, paints.slab_edge, paints.slab_edge});
    if (has_basin) {
        add_box_solid(mesh, {p.x0 + basin.u0, p.y0 + basin.v0, 0.0f},
                      {p.x0 + basin.u1, p.y0 + basin.v1, kWaterLevel}, paints.water);
    }
}

Scene make_scene(const char* name, const Vec3& eye, const Vec3& target, float fov_deg) {
    Scene scene;
    scene.name = name;
    scene.eye = eye;
    scene.target = target;
    scene.up = {0.0f, 0.0f, 1.0f};
    scene.fov_deg = fov_deg;
    return scene;
}

void add_block(Mesh& mesh, const BlockPlan& block, bool hollow, std::span<const OpeningSite> cut,
               const SamplePaints& paints) {
    if (hollow && fits_hollow(block)) {
        add_hollow_block(mesh, block, cut, paints);
    } else {
        add_massing_block(mesh, block, paints);
    }
}

Mesh make_villa_mesh(const VillaSpec& params, const MaterialLibrary& materials, bool hollow,
                     std::span<const OpeningSite> cut) {
    const SamplePaints paints = SamplePaints::from(materials);
    Mesh mesh;
    add_block(mesh, main_block(params), hollow, cut, paints);
    add_block(mesh, wing_block(params), hollow, cut, paints);
    if (params.pool) add_pool(mesh, params, paints);
    return mesh;
}

}  // namespace

const char* villa_spec_problem(const VillaSpec& params) {
    const TownhouseSpec main{params.width + params.wing_width, params.depth, params.storeys,
                             params.storey_height};
    if (!std::isfinite(params.wing_width) || !(params.wing_width > 0.0f) ||
        !std::isfinite(params.width) || !(params.width > 0.0f)) {
        return "width and wing width must be finite and greater than 0";
    }
    return townhouse_spec_problem(main);
}

std::vector<OpeningSite> villa_openings(const VillaSpec& params) {
    const float w = params.width, h = params.storey_height;
    const Vec3 front{0.0f, -1.0f, 0.0f};
    std::vector<OpeningSite> sites;
    sites.push_back({OpeningKind::kDoor,
                     "door_go_2canh_90",
                     "Door",
                     0.9f,
                     2.1f,
                     {0.5f * w, 0.0f, 0.0f},
                     front});
    std::size_t window = 0;
    for (std::int32_t k = 0; k < params.storeys; ++k) {
        const float sill = static_cast<float>(k) * h + kSillHeight;
        for (const float x : {0.25f * w, 0.75f * w}) {
            sites.push_back({OpeningKind::kWindow,
                             "window_nhom_120x140",
                             numbered_name("Window ", ++window),
                             1.2f,
                             1.4f,
                             {x, 0.0f, sill},
                             front});
        }
        if (k > 0) {
            sites.push_back({OpeningKind::kWindow,
                             "window_ban_cong_180",
                             numbered_name("Balcony window ", static_cast<std::size_t>(k)),
                             1.2f,
                             1.2f,
                             {0.5f * w, 0.0f, sill},
                             front});
        }
    }
    sites.push_back({OpeningKind::kWindow,
                     "window_nhom_120x140",
                     "Wing window",
                     1.2f,
                     1.4f,
                     {w + 0.5f * params.wing_width, 0.0f, kSillHeight},
                     front});
    return sites;
}

std::vector<Scene> villa_scenes(const VillaSpec& params) {
    const float total = params.width + params.wing_width, d = params.depth,
                h = params.storey_height;
    const float top = static_cast<float>(params.storeys) * h;
    const Vec3 middle{0.5f * total, 0.5f * d, h};
    std::vector<Scene> scenes{
        make_scene("Phối cảnh chính", {total + 6.0f, -1.5f * d, 2.5f * top}, middle, 40.0f),
        make_scene("Mặt đứng", {0.5f * total, -2.0f * d, 0.6f * top}, {0.5f * total, 0.0f, h},
                   35.0f),
        make_scene("Góc", {-0.6f * total, -0.9f * d, 1.8f * top}, middle, 45.0f),
    };
    if (params.pool) {
        const PoolPlan p = pool_plan(params);
        scenes.push_back(make_scene("Hồ bơi", {total + 6.0f, d + 6.0f, 6.0f},
                                    {0.5f * (p.x0 + p.x1), 0.5f * (p.y0 + p.y1), 0.0f}, 45.0f));
    }
    return scenes;
}

Mesh make_villa_shell(const VillaSpec& params, const MaterialLibrary& materials,
                      std::span<const OpeningSite> cut) {
    return make_villa_mesh(params, materials, true, cut);
}

Mesh make_villa_massing(const VillaSpec& params, const MaterialLibrary& materials) {
    return make_villa_mesh(params, materials, false, {});
}

std::optional<Document> make_villa_document(const VillaSpec& params,
                                            const MaterialLibrary& materials, bool with_openings) {
    if (villa_spec_problem(params) != nullptr) return std::nullopt;
    std::vector<OpeningSite> sites;
    if (with_openings) sites = villa_openings(params);
    Mesh building = params.hollow ? make_villa_shell(params, materials, sites)
                                  : make_villa_massing(params, materials);
    return make_sample_document(materials, std::move(building), villa_scenes(params), sites,
                                with_openings);
}

}  // namespace korvan::cli
