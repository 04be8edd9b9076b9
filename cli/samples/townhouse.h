#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "cli/samples/building_blocks.h"
#include "core/mesh.h"
#include "document/document.h"
#include "document/scene.h"

namespace korvan::cli {

// A townhouse: width along x with the front wall in the plane y = 0, depth along y, and
// storeys of storey_height stacked from z = 0.
struct TownhouseSpec {
    float width = 5.0f;   // --bwidth
    float depth = 12.0f;  // --bdepth
    std::int32_t storeys = 2;
    float storey_height = 3.3f;
    bool door = true;
    bool windows = true;
    bool hollow = false;  // thin-wall shell instead of solid storey massing
};

// The model of every verb without --in, and of shell-townhouse.
inline constexpr TownhouseSpec kShellTownhouse{5.0f, 12.0f, 2, 3.3f, true, true, true};
// The defaults of gen-townhouse.
inline constexpr TownhouseSpec kGenTownhouse{5.0f, 12.0f, 2, 3.3f, true, true, false};

// Generated models stay within these bounds so that a typo cannot exhaust memory.
inline constexpr std::int32_t kMaxStoreys = 200;
inline constexpr float kMaxSampleSize = 10000.0f;

// Why the parameters cannot be built (a static sentence without the verb's name), or null when it
// can: sizes must be finite and above 0, the storeys 1 to kMaxStoreys, and the width, depth
// and whole height at most kMaxSampleSize metres.
const char* townhouse_spec_problem(const TownhouseSpec& params);

// The door (front wall, centred), the side window (left wall, sill 0.9 m, halfway along) and,
// from two storeys up, the balcony window over the door, as the parameters' flags ask.
std::vector<OpeningSite> townhouse_openings(const TownhouseSpec& params);

// "Phối cảnh chính", "Mặt đứng" and "Góc", framed on the house's size.
std::vector<Scene> townhouse_scenes(const TownhouseSpec& params);

// The thin-wall shell: walls 0.15 m thick with the openings of `cut` cut through them,
// a slab at the foot of each storey and a flat roof, every piece a closed solid. A plan too
// small for 0.15 m walls and slabs (see fits_hollow) comes out as solid massing.
Mesh make_townhouse_shell(const TownhouseSpec& params, const MaterialLibrary& materials,
                          std::span<const OpeningSite> cut);

// One closed box per storey.
Mesh make_townhouse_massing(const TownhouseSpec& params, const MaterialLibrary& materials);

// A fresh document holding the library, the building in its root mesh (shell when hollow,
// else massing), the three scenes and, with openings, the tag "Openings" and the door and
// windows as component instances on it (their walls cut in a shell). Nothing for parameters that
// townhouse_spec_problem refuses.
std::optional<Document> make_townhouse_document(const TownhouseSpec& params,
                                                const MaterialLibrary& materials,
                                                bool with_openings);

}  // namespace korvan::cli
