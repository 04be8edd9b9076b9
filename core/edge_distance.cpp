#include "core/edge_distance.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/box.h"
#include "core/mesh.h"
#include "core/spatial_index.h"

// The distances live in a hash map rather than a table as long as the mesh, and a vertex's
// edges come from the spatial index (edges whose box holds the vertex, kept when one end is
// the vertex itself), so the cost follows the vertices reached. Stale queue entries are
// skipped when popped instead of being decreased in place.

namespace korvan {
namespace {

struct Queued {
    float distance;
    VertexId vertex;
    // std::priority_queue pops the largest: invert so the nearest, then the lowest id, comes
    // first.
    bool operator<(const Queued& o) const {
        if (distance != o.distance) return distance > o.distance;
        return vertex > o.vertex;
    }
};

}  // namespace

EdgeDistances edge_distances_within(const Mesh& mesh, const MeshSpatialIndex& index,
                                    std::span<const VertexId> sources, float radius) {
    EdgeDistances out;
    if (!std::isfinite(radius) || radius <= 0.0f) return out;
    const auto verts = mesh.vertices();
    std::unordered_map<VertexId, float> best;
    std::unordered_set<VertexId> settled;
    std::priority_queue<Queued> queue;
    for (const VertexId s : sources) {
        if (!mesh.vertex_usable(s) || best.count(s) != 0) continue;
        best.emplace(s, 0.0f);
        queue.push({0.0f, s});
    }
    while (!queue.empty()) {
        const Queued top = queue.top();
        if (top.distance >= radius) break;
        queue.pop();
        if (best.at(top.vertex) != top.distance || !settled.insert(top.vertex).second) continue;
        ++out.settled;
        const Vec3 p = verts[top.vertex].position;
        Aabb at;
        at.expand(p);
        for (const EdgeId e : index.edges_in_box(at)) {
            const auto ends = mesh.edge_vertices(e);
            VertexId other = kInvalidId;
            if (ends[0] == top.vertex) other = ends[1];
            else if (ends[1] == top.vertex) other = ends[0];
            if (other == kInvalidId || other == top.vertex || !mesh.vertex_usable(other)) continue;
            ++out.edges_scanned;
            const float d = top.distance + length(verts[other].position - p);
            if (!(d < radius)) continue;
            const auto it = best.find(other);
            if (it != best.end() && !(d < it->second)) continue;
            best[other] = d;
            queue.push({d, other});
        }
    }
    out.reached.reserve(best.size());
    for (const auto& [v, d] : best) out.reached.push_back({v, d});
    std::sort(out.reached.begin(), out.reached.end(),
              [](const EdgeReach& a, const EdgeReach& b) { return a.vertex < b.vertex; });
    return out;
}

}  // namespace korvan
