#pragma once

#include <cstdint>

#include "core/vec3.h"

// Texture coordinates by projection: a face corner's coordinates follow from its position and
// the face normal, so nothing has to be stored for a face to be textured. Renderers call this
// at shade time; uv-bake stores its results as corner UVs.

namespace korvan {

// The plane a normal projects onto. Opposite normals share one frame, so both sides of a
// wall line up; V points up on walls and along +Y on floors and roofs.
struct UvFrame {
    Vec3 u_axis{1.0f, 0.0f, 0.0f};
    Vec3 v_axis{0.0f, 1.0f, 0.0f};
    std::uint8_t dominant_axis = 2;  // 0 x, 1 y, 2 z
};

// How projected coordinates map onto a material: one tile covers tile_width x tile_height
// metres (values not above 0 count as 1), shifted by offset tiles, turned by rotation_rad.
struct UvTransform {
    float tile_width = 1.0f;
    float tile_height = 1.0f;
    float offset_u = 0.0f;
    float offset_v = 0.0f;
    float rotation_rad = 0.0f;
};

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

// The frame of a normal of any length; the default frame (U along X, V along Y) for a
// degenerate normal or one too close to the reference direction.
UvFrame projection_frame(const Vec3& normal);

// Coordinates of `point` on a face whose projection frame is `frame`.
TexCoord project_uv(const Vec3& point, const UvFrame& frame, const UvTransform& transform);
TexCoord project_uv(const Vec3& point, const Vec3& normal, const UvTransform& transform);

// Both coordinates finite and of magnitude below 1e7; others are not worth storing.
bool uv_usable(const TexCoord& uv);

}  // namespace korvan
