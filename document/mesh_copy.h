#pragma once

#include <cstdint>

#include "core/mat4.h"
#include "core/mesh.h"

// Whole-mesh copies between the meshes of a document (flattening, baking) and the winding
// reversal that keeps mirrored geometry facing outwards.

namespace korvan {

// True when the mesh has an alive face, a guide, an alive curve, a note or a dimension.
bool mesh_has_content(const Mesh& mesh);

// Appends a copy of src through t to dst: every alive face (each source vertex copied once,
// so shared corners stay shared) with its material, layer, visibility, tag, extra flags,
// stored corner UVs and the soft, hidden and seam flags of its sides, then the guides, alive
// curves, notes and dimensions (face anchors follow their faces). Faces whose material is 0
// take `paint` when it is 0 or more. The copies are islands: nothing is linked. Normals are
// computed from the copied rings, so a mirroring t leaves them matching the winding.
// src may not be dst. Returns the number of faces appended.
std::uint64_t append_transformed(Mesh& dst, const Mesh& src, const Mat4& t,
                                 std::int32_t paint = -1);

// The number of faces append_transformed would append from src: alive faces whose ring is
// intact and would make a valid n-gon.
std::uint64_t count_appendable_faces(const Mesh& src);

// Reverses the ring of every alive face (next and prev swap; origins, twins and edges stay)
// and recomputes its normal; applying it twice restores the mesh. Returns the number of
// faces reversed; faces with broken rings are left alone.
std::uint64_t reverse_all_windings(Mesh& mesh);

}  // namespace korvan
