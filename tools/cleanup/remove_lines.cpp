// Redundant lines.
//
// A line is redundant when removing it changes neither the shape nor the look of the model:
// it is an edge with a face on each side, the two faces are different alive faces, their
// normals agree within the coplanar tolerance, every corner of each face lies within the
// distance tolerance of the other face's plane, and the two faces carry the same material,
// layer, visibility and face tag. Such an edge is dissolved: the two faces become one polygon
// with the lower face id, so a closed solid stays closed and keeps its volume.
//
// Never touched: naked edges (a face on one side only), loose lines (no face at all), texture
// seams (drawn on purpose to cut the UV layout), edges whose faces differ in any attribute
// above, and an edge that has the same face on both sides (a slit, which the dissolve refuses).
//
// A flat region of like faces joined by such edges is only merged when it is a disk (Euler
// characteristic V - E + F = 1 over its faces): a region that runs round an opening needs its
// cuts, because a face has one outline and cannot hold a hole. Those lines are counted as kept.
//
// Order: edges are visited in ascending id order; a dissolve keeps every surviving id, so one
// pass sees each edge once. Passes repeat until one removes nothing, because a merge can make
// a face flat enough against a neighbour it was not compared with before.
#include "tools/cleanup/remove_lines.h"

#include <cmath>
#include <algorithm>
#include <cstddef>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/mesh.h"
#include "core/mesh_local_ops.h"
#include "core/vec3.h"

namespace korvan {
namespace {

// Largest distance of a face's corners from the plane through `origin` with unit `normal`.
double stand_off(const Mesh& mesh, FaceId face, const Vec3& origin, const Vec3& normal) {
    double worst = 0.0;
    for (const VertexId v : mesh.face_vertices(face)) {
        if (!mesh.vertex_usable(v)) continue;
        const Vec3 d = mesh.vertices()[v].position - origin;
        worst = std::fmax(worst, std::fabs(static_cast<double>(dot(d, normal))));
    }
    return worst;
}

bool same_look(const Face& a, const Face& b) {
    return a.material_id == b.material_id && a.layer_id == b.layer_id &&
           a.visible == b.visible && a.tag == b.tag;
}

// Union-find root with path halving.
std::uint32_t root_of(std::vector<std::uint32_t>& parent, std::uint32_t x) {
    while (parent[x] != x) {
        parent[x] = parent[parent[x]];
        x = parent[x];
    }
    return x;
}

// The edges that pass is_redundant_line and lie inside a region that is a disk; `kept` gets
// the number of the others.
std::vector<EdgeId> dissolvable_lines(const Mesh& mesh, float tolerance, std::uint64_t& kept) {
    std::vector<EdgeId> lines;
    const std::size_t edge_count = mesh.edges().size();
    for (EdgeId e = 0; e < edge_count; ++e) {
        if (is_redundant_line(mesh, e, tolerance)) lines.push_back(e);
    }
    kept = 0;
    if (lines.empty()) return lines;
    const std::size_t face_count = mesh.faces().size();
    std::vector<std::uint32_t> parent(face_count);
    for (std::uint32_t f = 0; f < face_count; ++f) parent[f] = f;
    auto faces_of = [&](EdgeId e) {
        const HalfEdge& h = mesh.half_edges()[mesh.edges()[e].half_edge];
        return std::pair<FaceId, FaceId>{h.face, mesh.half_edges()[h.twin].face};
    };
    for (const EdgeId e : lines) {
        const auto [a, b] = faces_of(e);
        parent[root_of(parent, a)] = root_of(parent, b);
    }
    // Euler characteristic of each region that has a line inside it.
    std::unordered_map<std::uint32_t, std::vector<FaceId>> regions;
    for (const EdgeId e : lines) regions[root_of(parent, faces_of(e).first)];
    for (FaceId f = 0; f < face_count; ++f) {
        if (!mesh.face_usable(f)) continue;
        const auto it = regions.find(root_of(parent, f));
        if (it != regions.end()) it->second.push_back(f);
    }
    std::unordered_set<std::uint32_t> disks;
    for (const auto& [root, faces] : regions) {
        std::set<VertexId> verts;
        std::set<std::pair<VertexId, VertexId>> sides;
        for (const FaceId f : faces) {
            const std::vector<VertexId> ring = mesh.face_vertices(f);
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const VertexId a = ring[i], b = ring[(i + 1) % ring.size()];
                verts.insert(a);
                sides.insert({std::min(a, b), std::max(a, b)});
            }
        }
        const std::int64_t euler = static_cast<std::int64_t>(verts.size()) -
                                   static_cast<std::int64_t>(sides.size()) +
                                   static_cast<std::int64_t>(faces.size());
        if (euler == 1) disks.insert(root);
    }
    std::vector<EdgeId> out;
    for (const EdgeId e : lines) {
        if (disks.count(root_of(parent, faces_of(e).first)) != 0) {
            out.push_back(e);
        } else {
            ++kept;
        }
    }
    return out;
}

}  // namespace

bool is_redundant_line(const Mesh& mesh, EdgeId edge, float tolerance) {
    if (!mesh.edge_usable(edge)) return false;
    const Edge& e = mesh.edges()[edge];
    if (e.seam || !mesh.half_edge_usable(e.half_edge)) return false;
    const HalfEdge& h = mesh.half_edges()[e.half_edge];
    if (!mesh.half_edge_usable(h.twin)) return false;
    const FaceId fa = h.face;
    const FaceId fb = mesh.half_edges()[h.twin].face;
    if (!mesh.face_usable(fa) || !mesh.face_usable(fb) || fa == fb) return false;
    const Face& a = mesh.faces()[fa];
    const Face& b = mesh.faces()[fb];
    if (!same_look(a, b)) return false;
    if (dot(a.normal, b.normal) < kCoplanarNormalDot) return false;
    const Vec3 origin = mesh.vertices()[h.origin].position;
    return stand_off(mesh, fb, origin, a.normal) <= tolerance &&
           stand_off(mesh, fa, origin, b.normal) <= tolerance;
}

RedundantLinesResult remove_redundant_lines(Mesh& mesh, float tolerance) {
    RedundantLinesResult r;
    r.faces_before = mesh.alive_faces().size();
    for (;;) {
        std::uint64_t removed_now = 0;
        for (const EdgeId e : dissolvable_lines(mesh, tolerance, r.kept)) {
            // An earlier dissolve in this pass may have changed the faces on either side.
            if (!is_redundant_line(mesh, e, tolerance)) continue;
            if (dissolve_edge(mesh, e, tolerance).status == DissolveStatus::kOk) ++removed_now;
        }
        r.removed += removed_now;
        if (removed_now == 0) break;
    }
    // What is left: lines round openings and any the dissolve refused.
    r.kept = 0;
    const std::size_t edge_count = mesh.edges().size();
    for (EdgeId e = 0; e < edge_count; ++e) r.kept += is_redundant_line(mesh, e, tolerance) ? 1 : 0;
    r.faces_after = mesh.alive_faces().size();
    return r;
}

}  // namespace korvan
