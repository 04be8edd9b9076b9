#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "core/vec3.h"
#include "document/component_placer.h"
#include "document/document.h"
#include "document/scene.h"

// Pieces shared by the sample buildings: the openings they place, the paints they use, and
// the hollow and solid blocks their root meshes are made of.

namespace korvan {
class Document;
class MaterialLibrary;
}  // namespace korvan

namespace korvan::cli {

inline constexpr float kWallThickness = 0.15f;
inline constexpr float kSlabThickness = 0.15f;
// A hollow block needs at least this much room between its walls and between its slabs;
// smaller blocks are built solid.
inline constexpr float kMinRoom = 0.1f;

// A door or window of a sample model: where its component goes and where its wall is cut.
struct OpeningSite {
    OpeningKind kind = OpeningKind::kDoor;
    std::string definition_id;
    std::string name;
    float width = 0.0f;
    float height = 0.0f;
    Vec3 at;      // bottom centre on the wall's outer plane
    Vec3 normal;  // the way the wall's outer face looks
};

// Material indices of the sample buildings, looked up by id (0 for an id the library lacks).
struct SamplePaints {
    std::uint32_t facade = 0;
    std::uint32_t interior = 0;
    std::uint32_t ground_floor = 0;
    std::uint32_t upper_floor = 0;
    std::uint32_t slab_edge = 0;
    std::uint32_t roof = 0;
    std::uint32_t base = 0;  // the ground storey of solid massing
    std::uint32_t water = 0;

    static SamplePaints from(const MaterialLibrary& materials);
};

// A rectangular block standing on z = 0: x from x0 over width, y from y0 over depth, front in
// the plane y = y0.
struct BlockPlan {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float width = 0.0f;
    float depth = 0.0f;
    std::int32_t storeys = 1;
    float storey_height = 3.0f;
    // Without its own wall on the side x = x0, the block leans on a neighbour there and its
    // slabs run up to x0.
    bool left_wall = true;
};

// True when the block leaves room inside 0.15 m walls and slabs.
bool fits_hollow(const BlockPlan& block);

// Appends the block as walls 0.15 m thick (one closed solid per wall) with a slab at the
// foot of every storey and a roof slab flush with the wall tops. Every site that lies on a
// wall's outer plane and faces out of it cuts its opening through that wall, kept a wall
// thickness clear of the corners and the top.
void add_hollow_block(Mesh& mesh, const BlockPlan& block, std::span<const OpeningSite> sites,
                      const SamplePaints& paints);

// Appends one closed box per storey.
void add_massing_block(Mesh& mesh, const BlockPlan& block, const SamplePaints& paints);

// Places each site as a component instance on the given tag through the component placer.
void place_sites(Document& doc, std::span<const OpeningSite> sites, std::int32_t tag);

// A sample document: the library, the building as the root mesh, the scenes and, with
// openings, the tag "Openings" (even when no site is left) with an instance per site on it.
Document make_sample_document(const MaterialLibrary& materials, Mesh building,
                              std::vector<Scene> scenes, std::span<const OpeningSite> sites,
                              bool with_openings);

}  // namespace korvan::cli
