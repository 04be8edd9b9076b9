#include "core/mesh.h"

#include "core/parallel_scan.h"
#include "core/plane.h"
#include "core/rotation.h"
#include "core/spatial_index.h"

#include <algorithm>
#include <cmath>

// Moving the vertices of a face selection. Each move computes every new position first, then
// finds the faces that use the vertices about to move (neighbours outside the selection
// change shape too), writes the positions and refreshes those faces' normals. The lookup goes
// through the spatial index while the moved set is small against the mesh, else it scans the
// face table once.

namespace korvan {
namespace {

// A lookup over k vertices uses the spatial index while kIndexLookupRatio * k is at most the
// vertex count.
constexpr std::size_t kIndexLookupRatio = 16;

}  // namespace

std::vector<FaceId> Mesh::faces_using_vertices(std::span<const VertexId> vertices) {
    std::vector<VertexId> wanted;
    wanted.reserve(vertices.size());
    for (const VertexId v : vertices) {
        if (vertex_usable(v)) wanted.push_back(v);
    }
    sort_ids(wanted);
    if (wanted.empty()) return {};
    if (kIndexLookupRatio * wanted.size() <= vertices_.size()) {
        return spatial_index()->faces_using_vertices(wanted);
    }
    std::vector<std::uint8_t> marked(vertices_.size(), 0);
    for (const VertexId v : wanted) marked[v] = 1;
    const std::span<const HalfEdge> he = half_edges_.view();
    const std::span<const Face> fs = faces_.view();
    return concat_chunks(
        scan_chunks<std::vector<FaceId>>(fs.size(), [&](std::size_t begin, std::size_t end) {
            std::vector<FaceId> out;
            for (std::size_t f = begin; f < end; ++f) {
                if (!fs[f].alive) continue;
                bool uses = false;
                const bool intact = walk_ring(static_cast<FaceId>(f), [&](HalfEdgeId h) {
                    const VertexId o = he[h].origin;
                    uses = uses || (o < marked.size() && marked[o]);
                });
                if (intact && uses) out.push_back(static_cast<FaceId>(f));
            }
            return out;
        }));
}

template <class Move>
std::uint64_t Mesh::move_selection(std::span<const FaceId> faces, Move&& move) {
    const std::span<const HalfEdge> he = half_edges_.view();
    std::vector<VertexId> selected;
    for (const FaceId f : distinct_alive(faces)) {
        walk_ring(f, [&](HalfEdgeId h) {
            if (he[h].origin < vertices_.size()) selected.push_back(he[h].origin);
        });
    }
    sort_ids(selected);

    std::vector<VertexId> changed;
    std::vector<Vec3> targets;
    std::uint64_t moved = 0;
    for (const VertexId v : selected) {
        const Vec3 from = vertices_[v].position;
        const Vec3 to = move(from);
        if (to == from) continue;
        changed.push_back(v);
        targets.push_back(to);
        moved += length(to - from) > kMovedVertexThreshold ? 1 : 0;
    }
    if (changed.empty()) return 0;
    // Which faces use a vertex does not depend on where it is, so the lookup may read the
    // index as it stands, before the move makes it stale.
    const std::vector<FaceId> touched = faces_using_vertices(changed);
    for (std::size_t i = 0; i < changed.size(); ++i) vertex_mut(changed[i]).position = targets[i];
    for (const FaceId f : touched) recompute_face_normal(f);
    mark_changed(kVertexTableBit | kFaceTableBit);
    return moved;
}

std::uint64_t Mesh::translate_faces(std::span<const FaceId> faces, const Vec3& delta) {
    return move_selection(faces, [&](const Vec3& p) { return p + delta; });
}

std::uint64_t Mesh::rotate_faces(std::span<const FaceId> faces, const Vec3& pivot, const Vec3& axis,
                                 float angle_rad) {
    const std::optional<Rotation> r = make_rotation(pivot, axis, angle_rad);
    if (!r) return 0;
    return move_selection(faces, [&](const Vec3& p) { return rotate_point(*r, p); });
}

std::uint64_t Mesh::scale_faces(std::span<const FaceId> faces, const Vec3& pivot,
                                const Vec3& scale) {
    return move_selection(faces, [&](const Vec3& p) { return scale_point(p, pivot, scale); });
}

std::uint64_t Mesh::flatten_faces_to_plane(std::span<const FaceId> faces, const Vec3& point,
                                           const Vec3& normal) {
    const std::optional<Plane> plane = make_plane(point, normal);
    if (!plane) return 0;
    return move_selection(faces, [&](const Vec3& p) { return project_point(*plane, p); });
}

std::uint64_t Mesh::scale_faces_in_frame(std::span<const FaceId> faces, const Obb& frame,
                                         const Vec3& size) {
    // Per axis: the factor that takes the frame's full extent to the wanted size, or 1 where
    // the extent is too small to scale or the size makes no sense.
    const float extents[3] = {frame.half_extents.x, frame.half_extents.y, frame.half_extents.z};
    const float sizes[3] = {size.x, size.y, size.z};
    float factor[3];
    bool any = false;
    for (int a = 0; a < 3; ++a) {
        const float full = 2.0f * extents[a];
        factor[a] = full > kMovedVertexThreshold && sizes[a] >= 0.0f ? sizes[a] / full : 1.0f;
        any = any || factor[a] != 1.0f;
    }
    if (!any) return 0;
    return move_selection(faces, [&](const Vec3& p) {
        // Only the change along each scaled axis is added, so unscaled axes add nothing.
        const Vec3 q = p - frame.center;
        Vec3 out = p;
        for (int a = 0; a < 3; ++a) {
            if (factor[a] == 1.0f) continue;
            out += frame.axes[a] * (dot(q, frame.axes[a]) * (factor[a] - 1.0f));
        }
        return out;
    });
}

}  // namespace korvan
