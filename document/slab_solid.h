#pragma once

#include <cstdint>
#include <span>

#include "core/mesh.h"
#include "core/vec3.h"

// Closed, linked solids for generated geometry: walls with openings, slabs, boxes and the
// frames of fallback components. Each call adds one solid with its own vertices, so solids
// that touch never share an edge and every solid stays closed on its own.

namespace korvan {

// A rectangular slab. Its outer face spans origin + u * u_axis + v * v_axis for u in
// [0, length] and v in [0, height]; the outer face looks along u_axis x v_axis, and the slab
// runs `thickness` from it the other way. The axes must be unit length and perpendicular.
struct SlabFrame {
    Vec3 origin;
    Vec3 u_axis{1.0f, 0.0f, 0.0f};
    Vec3 v_axis{0.0f, 0.0f, 1.0f};
    float length = 1.0f;
    float height = 1.0f;
    float thickness = 0.15f;
};

// An opening [u0, u1] x [v0, v1] in the slab's face coordinates, cut through its thickness.
struct SlabHole {
    float u0 = 0.0f;
    float u1 = 0.0f;
    float v0 = 0.0f;
    float v1 = 0.0f;
};

// Material indices of the outer face, the inner face and everything else (edges of the slab
// and the sides of the tunnels).
struct SlabMaterials {
    std::uint32_t outer = 0;
    std::uint32_t inner = 0;
    std::uint32_t sides = 0;
};

// Appends the slab as a closed solid with outward normals and every edge linked. Holes are
// clipped to the face; an opening that reaches the face's border leaves a notch (a door at
// the foot of a wall), one inside it a tunnel, and overlapping openings merge. Opening edges
// closer than the weld tolerance to another edge snap to it, so no sliver faces appear.
// Returns the number of faces added: 0, with the mesh untouched, for a frame whose sizes are
// not finite and above the weld tolerance or when the openings remove everything.
std::uint64_t add_slab_solid(Mesh& mesh, const SlabFrame& frame, std::span<const SlabHole> holes,
                             const SlabMaterials& materials = {});

// Appends the axis-aligned box between the corners as a closed solid of six quads; 0 faces
// for a box thinner than the weld tolerance along any axis or with a non-finite corner.
std::uint64_t add_box_solid(Mesh& mesh, const Vec3& min, const Vec3& max,
                            std::uint32_t material = 0);

}  // namespace korvan
