#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/ids.h"

// Shortest distances along a mesh's edges from a set of source vertices, cut off at a radius.
// The search asks the spatial index for the edges at each vertex it settles, so it touches
// only the vertices within reach, never the whole mesh: a drag, a drape or a selection that
// grows by distance costs what it reaches.

namespace korvan {

class Mesh;
class MeshSpatialIndex;

struct EdgeReach {
    VertexId vertex = kInvalidId;
    float distance = 0.0f;  // metres along the edges; 0 for a source
};

struct EdgeDistances {
    std::vector<EdgeReach> reached;  // every vertex closer than the radius, ascending by id
    std::uint64_t settled = 0;       // vertices whose edges were looked up
    std::uint64_t edges_scanned = 0;  // alive edges seen at settled vertices (each from both ends)
};

// Dijkstra over the alive edges of `mesh`, each weighted by its length, from every usable
// source at distance 0. The queue is ordered by distance and then by lower vertex id; the
// search ends once the nearest queued distance reaches `radius`, and a neighbour is relaxed
// only to a distance below both its current one and the radius. Dead vertices are never
// entered. `index` must be the mesh's current spatial index. Nothing is reached for a radius
// that is not positive or not finite.
EdgeDistances edge_distances_within(const Mesh& mesh, const MeshSpatialIndex& index,
                                    std::span<const VertexId> sources, float radius);

}  // namespace korvan
