#pragma once

#include <cstdint>
#include <vector>

#include "core/ids.h"
#include "core/mesh_elements.h"

namespace korvan {

// One alive face as a plain vertex ring, for operations that edit rings instead of half-edges
// and then rebuild the whole topology from them (Mesh::snapshot_rings, Mesh::rebuild_from_rings).
struct RingFace {
    std::vector<VertexId> ring;
    // One entry per ring vertex when the face had stored texture coordinates, else empty. An
    // operation that edits `ring` either edits these alongside or clears them; the rebuild
    // restores them only when both lists have the same length.
    std::vector<CornerUv> corners;
    std::uint32_t material_id = 0;
    std::uint32_t layer_id = 0;
    bool visible = true;
};

// Every alive face in ascending id order. The same snapshot is the copy a failed attempt is
// rolled back from.
struct RingSnapshot {
    std::vector<RingFace> faces;
};

}  // namespace korvan
