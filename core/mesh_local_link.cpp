#include "core/mesh_local_link.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "core/mesh.h"

namespace korvan {
namespace {

std::uint64_t directed_key(VertexId from, VertexId to) { return (std::uint64_t{from} << 32) | to; }

}  // namespace

std::uint64_t link_faces_locally(Mesh& mesh, std::span<const FaceId> faces) {
    std::vector<VertexId> corners;
    std::vector<FaceId> made;
    for (const FaceId f : faces) {
        if (!mesh.face_usable(f)) continue;
        made.push_back(f);
        for (const VertexId v : mesh.face_vertices(f)) corners.push_back(v);
    }
    if (made.empty()) return 0;
    std::sort(corners.begin(), corners.end());
    corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
    std::vector<FaceId> around = mesh.faces_using_vertices(corners);
    around.insert(around.end(), made.begin(), made.end());
    std::sort(around.begin(), around.end());
    around.erase(std::unique(around.begin(), around.end()), around.end());

    auto naked = [&](HalfEdgeId h) {
        const auto he = mesh.half_edges();
        const HalfEdgeId t = he[h].twin;
        return t >= he.size() || !mesh.face_usable(he[t].face);
    };
    // Naked sides by their directed vertex pair; the first in face order wins a repeated pair.
    std::unordered_map<std::uint64_t, HalfEdgeId> sides;
    for (const FaceId f : around) {
        for (const HalfEdgeId h : mesh.face_half_edges(f)) {
            if (!naked(h)) continue;
            const VertexId a = mesh.half_edges()[h].origin, b = mesh.half_edge_end(h);
            sides.try_emplace(directed_key(a, b), h);
        }
    }
    std::uint64_t linked = 0;
    for (const FaceId f : made) {
        for (const HalfEdgeId h : mesh.face_half_edges(f)) {
            if (!naked(h)) continue;
            const VertexId a = mesh.half_edges()[h].origin, b = mesh.half_edge_end(h);
            const auto it = sides.find(directed_key(b, a));
            if (it == sides.end() || !naked(it->second)) continue;
            if (mesh.half_edges()[it->second].face == f) continue;
            if (mesh.link_half_edges(h, it->second)) ++linked;
        }
    }
    return linked;
}

}  // namespace korvan
