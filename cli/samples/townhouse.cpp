#include "cli/samples/townhouse.h"

#include <cmath>
#include <utility>

#include "document/component_placer.h"
#include "document/material_library.h"

namespace korvan::cli {
namespace {

constexpr float kSillHeight = 0.9f;

BlockPlan townhouse_block(const TownhouseSpec& params) {
    BlockPlan block;
    block.width = params.width;
    block.depth = params.depth;
    block.storeys = params.storeys;
    block.storey_height = params.storey_height;
    return block;
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

bool usable_size(float s) { return std::isfinite(s) && s > 0.0f; }

}  // namespace

const char* townhouse_spec_problem(const TownhouseSpec& params) {
    if (!usable_size(params.width) || !usable_size(params.depth) ||
        !usable_size(params.storey_height)) {
        return "width, depth and storey height must be finite and greater than 0";
    }
    if (params.storeys < 1 || params.storeys > kMaxStoreys) return "storeys must be from 1 to 200";
    const double height = static_cast<double>(params.storeys) * params.storey_height;
    if (params.width > kMaxSampleSize || params.depth > kMaxSampleSize || height > kMaxSampleSize) {
        return "width, depth and total height must be at most 10000 m";
    }
    return nullptr;
}

std::vector<OpeningSite> townhouse_openings(const TownhouseSpec& params) {
    std::vector<OpeningSite> sites;
    const float mid = 0.5f * params.width;
    if (params.door) {
        sites.push_back({OpeningKind::kDoor,
                         "door_go_2canh_90",
                         "Door",
                         0.9f,
                         2.1f,
                         {mid, 0.0f, 0.0f},
                         {0.0f, -1.0f, 0.0f}});
    }
    if (params.windows) {
        sites.push_back({OpeningKind::kWindow,
                         "window_nhom_120x140",
                         "Side window",
                         1.2f,
                         1.4f,
                         {0.0f, 0.5f * params.depth, kSillHeight},
                         {-1.0f, 0.0f, 0.0f}});
    }
    if (params.windows && params.storeys >= 2) {
        sites.push_back({OpeningKind::kWindow,
                         "window_ban_cong_180",
                         "Balcony window",
                         1.2f,
                         1.2f,
                         {mid, 0.0f, params.storey_height + kSillHeight},
                         {0.0f, -1.0f, 0.0f}});
    }
    return sites;
}

std::vector<Scene> townhouse_scenes(const TownhouseSpec& params) {
    const float w = params.width, d = params.depth, h = params.storey_height;
    return {
        make_scene("Phối cảnh chính", {14.0f, -18.0f, 9.0f}, {0.5f * w, 0.5f * d, h}, 40.0f),
        make_scene("Mặt đứng", {0.5f * w, -22.0f, 4.0f}, {0.5f * w, 0.0f, h}, 35.0f),
        make_scene("Góc", {12.0f, -10.0f, 8.0f}, {2.0f, 4.0f, 3.0f}, 45.0f),
    };
}

Mesh make_townhouse_shell(const TownhouseSpec& params, const MaterialLibrary& materials,
                          std::span<const OpeningSite> cut) {
    const BlockPlan block = townhouse_block(params);
    const SamplePaints paints = SamplePaints::from(materials);
    Mesh mesh;
    if (fits_hollow(block)) {
        add_hollow_block(mesh, block, cut, paints);
    } else {
        add_massing_block(mesh, block, paints);
    }
    return mesh;
}

Mesh make_townhouse_massing(const TownhouseSpec& params, const MaterialLibrary& materials) {
    Mesh mesh;
    add_massing_block(mesh, townhouse_block(params), SamplePaints::from(materials));
    return mesh;
}

std::optional<Document> make_townhouse_document(const TownhouseSpec& params,
                                                const MaterialLibrary& materials,
                                                bool with_openings) {
    if (townhouse_spec_problem(params) != nullptr) return std::nullopt;
    std::vector<OpeningSite> sites;
    if (with_openings) sites = townhouse_openings(params);
    Mesh building = params.hollow ? make_townhouse_shell(params, materials, sites)
                                  : make_townhouse_massing(params, materials);
    return make_sample_document(materials, std::move(building), townhouse_scenes(params), sites,
                                with_openings);
}

}  // namespace korvan::cli
