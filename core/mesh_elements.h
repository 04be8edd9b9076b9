#pragma once

#include <cstdint>

#include "core/ids.h"
#include "core/vec3.h"

// The four element records of a Mesh. Field order and sizes are part of the format: block
// hashes read the records as bytes (16, 28, 8 and 36 bytes), so don't add, drop or reorder
// fields.

namespace korvan {

struct Vertex {
    Vec3 position;
    bool alive = true;
};

struct HalfEdge {
    VertexId origin = kInvalidId;
    HalfEdgeId twin = kInvalidId;
    HalfEdgeId next = kInvalidId;
    HalfEdgeId prev = kInvalidId;
    FaceId face = kInvalidId;  // invalid on a boundary (phantom) half-edge
    EdgeId edge = kInvalidId;
    bool alive = true;
};

struct Edge {
    HalfEdgeId half_edge = kInvalidId;  // the face side when created
    bool soft = false;
    bool visible = true;  // cleared for a hidden edge
    bool alive = true;
    bool seam = false;
};

struct Face {
    HalfEdgeId half_edge = kInvalidId;  // ring start
    Vec3 normal;                        // unit Newell normal; zero when degenerate
    std::uint32_t material_id = 0;
    std::uint32_t layer_id = 0;
    bool visible = true;  // cleared for a soft-hidden face
    bool alive = true;
    std::int32_t tag = -1;  // -1: none
    // Stored and saved for the desktop program; nothing in the kernel reads them.
    bool extra_flag_1 = true;
    bool extra_flag_2 = true;
};

static_assert(sizeof(Vertex) == 16 && sizeof(HalfEdge) == 28 && sizeof(Edge) == 8 &&
              sizeof(Face) == 36);

// Texture coordinates of one face corner (the corner at a half-edge's origin).
struct CornerUv {
    float u = 0.0f;
    float v = 0.0f;
    bool set = false;
};

}  // namespace korvan
