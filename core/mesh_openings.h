#pragma once

#include <cstdint>

#include "core/ids.h"

namespace korvan {

class Mesh;

// What cutting an opening did, or why it refused (the mesh is then unchanged).
struct OpeningResult {
    bool ok = false;
    const char* message = "";      // static text; empty when ok
    FaceId far_face = kInvalidId;  // the wall's other face; kInvalidId for a planar opening
    float depth = 0.0f;            // distance between the two faces; 0 for a planar opening
    std::uint64_t faces_made = 0;  // pieces of the cut faces plus the jambs
};

// Cuts a width x height rectangle through the face, its bottom at z = sill, centred under the
// face's centroid. With thickness <= 1e-6 the wall's far face is the nearest alive face facing
// the other way behind it that the opening's centre falls on; with thickness > 0 it is such a
// face within 0.1 x thickness + 0.05 of that distance. With a far face both faces get the hole
// and four jamb quads (the face's material and layer) join the rims, so a closed wall stays
// closed and loses width x height x depth of volume; without one (thickness <= 0 only) the face
// alone gets a planar hole. An opening with one side on the face's border (a door on the
// floor line) becomes a notch instead: the face joining the wall's two borders there loses
// the strip under the opening and three jambs line it. Refuses a dead face, sizes not above
// 1e-4, a degenerate face, an opening that is not inside the face (or the far face) clear of
// its border except along that one side, a notch whose border face is not shared by both wall
// faces, and a thickness with no face behind it.
OpeningResult cut_opening_through(Mesh& mesh, FaceId face, float width, float height, float sill,
                                  float thickness);

// Sizes of a door and a window when the caller gives none, in metres.
inline constexpr float kDoorWidth = 0.9f, kDoorHeight = 2.1f, kDoorSill = 0.0f;
inline constexpr float kWindowWidth = 1.2f, kWindowHeight = 1.4f, kWindowSill = 0.9f;

bool cut_door_opening_through(Mesh& mesh, FaceId face, float width = kDoorWidth,
                              float height = kDoorHeight, float sill = kDoorSill,
                              float thickness = 0.0f);
bool cut_window_opening_through(Mesh& mesh, FaceId face, float width = kWindowWidth,
                                float height = kWindowHeight, float sill = kWindowSill,
                                float thickness = 0.0f);

}  // namespace korvan
