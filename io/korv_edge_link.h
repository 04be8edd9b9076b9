#pragma once

#include <cstdint>
#include <vector>

#include "core/ids.h"
#include "core/mesh.h"

namespace korvan::io {

// The ring half-edges leaving each vertex of a mesh whose faces were all just created by
// add_ngon (the state the reader leaves a mesh in after its FACES block), grouped by start
// vertex and within a group sorted by end vertex, then id. The reader uses it twice: to join
// the faces into one surface, and to find the edges between the vertex pairs of the soft,
// hidden and seam lists.
//
// Start vertices outside the vertex table (rings may name missing vertices) share one
// overflow group sorted by (start, end, id), so such rings still pair up by id.
class VertexFans {
  public:
    // Groups the ring half-edges of every alive face. The mesh must outlive this object.
    explicit VertexFans(const Mesh& mesh);

    // Pairs the naked sides of different faces that run between the same two vertices in
    // opposite directions, the way the kernel's shared-edge linking does: sides in order of
    // (start, end, id); each takes the first unpaired opposite side on another face, and the
    // second side of a pair joins the first one's edge. Returns the number of pairs.
    std::uint64_t link(Mesh& mesh) const;

    // Calls fn(edge) for the edge of every ring half-edge running from a to b or from b to a
    // (an edge shared by two faces is reported twice).
    template <class Fn>
    void for_edges_between(VertexId a, VertexId b, Fn&& fn) const {
        const std::span<const HalfEdge> he = mesh_->half_edges();
        for (const auto& [start, end] : {std::pair{a, b}, std::pair{b, a}}) {
            const auto [first, last] = find_range(start, end);
            for (std::uint32_t i = first; i < last; ++i) fn(he[order_[i]].edge);
        }
    }

  private:
    // Positions [first, last) in order_ of the ring half-edges from start to end.
    std::pair<std::uint32_t, std::uint32_t> find_range(VertexId start, VertexId end) const;
    std::uint32_t group_of(VertexId v) const { return v < vertex_count_ ? v : vertex_count_; }
    VertexId start_of(HalfEdgeId h) const { return mesh_->half_edges()[h].origin; }

    const Mesh* mesh_ = nullptr;
    std::uint32_t vertex_count_ = 0;
    std::vector<std::uint32_t> offsets_;  // group g is order_[offsets_[g], offsets_[g + 1])
    std::vector<HalfEdgeId> order_;
    std::vector<VertexId> ends_;  // end vertex of order_[i]; saves a walk into the mesh
};

}  // namespace korvan::io
