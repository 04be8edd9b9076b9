#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "cli/samples/building_blocks.h"
#include "core/mesh.h"
#include "document/document.h"
#include "document/scene.h"

namespace korvan::cli {

// A villa: a main block of width x depth (front wall in y = 0) with storeys of storey_height,
// and a one-storey wing of wing_width against its right side, half the main block deep. The
// pool lies behind the wing.
struct VillaSpec {
    float width = 12.0f;
    float depth = 16.0f;
    std::int32_t storeys = 2;
    float storey_height = 3.5f;
    float wing_width = 6.0f;
    bool pool = false;
    bool hollow = false;
};

inline constexpr VillaSpec kShellVilla{12.0f, 16.0f, 2, 3.5f, 6.0f, false, true};
inline constexpr VillaSpec kGenVilla{12.0f, 16.0f, 2, 3.5f, 6.0f, false, false};

// Why the parameters cannot be built, or null; the townhouse's limits, with the wing counted in
// the width.
const char* villa_spec_problem(const VillaSpec& params);

// The front door, two windows per storey on the main front, a balcony window over the door
// on every upper storey and a window in the wing's front.
std::vector<OpeningSite> villa_openings(const VillaSpec& params);

// "Phối cảnh chính", "Mặt đứng" and "Góc", and "Hồ bơi" looking at the pool when there is one.
std::vector<Scene> villa_scenes(const VillaSpec& params);

// The thin-wall shell of the main block and the wing, openings of `cut` cut through their
// walls, and the pool; each piece a closed solid. A block too small for 0.15 m walls and
// slabs is built solid.
Mesh make_villa_shell(const VillaSpec& params, const MaterialLibrary& materials,
                      std::span<const OpeningSite> cut);

// Solid storey massing of the main block and the wing, and the pool.
Mesh make_villa_massing(const VillaSpec& params, const MaterialLibrary& materials);

// As make_townhouse_document, for the villa.
std::optional<Document> make_villa_document(const VillaSpec& params, const MaterialLibrary& materials,
                                            bool with_openings);

}  // namespace korvan::cli
