#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "core/dvec3.h"
#include "core/polygon_2d.h"
#include "tools/boolean_bsp.h"
#include "tools/boolean_exact.h"
#include "tools/corefine.h"

// Our meshes to and from the exact engine's triangle surfaces. Operands go in as triangles
// (convex faces fanned, others ear-clipped), each tagged with its operand and source face. On
// the way back the triangles of one tag that touch each other are joined into one face when
// their outline is a single loop, which gives back the input's n-gons, cut where the other
// solid cut them; each face takes the material of the face it came from.

namespace korvan {
namespace {

constexpr std::uint32_t kToolBit = 0x80000000u;  // the tag of a face of the second operand
// Metres: points closer than this after rounding to floats are one point. Far below the
// kernel's weld tolerance, so thin but real features of the result survive.
constexpr float kRoundingWeld = 1e-6f;
constexpr std::uint64_t kMaxRoundingSplits = 100000;
constexpr float kFlatArea = 1e-9f;  // square metres: a face this small folds away

bool convex(std::span<const Vec3> ring) {
    DVec3 n;
    const std::size_t k = ring.size();
    for (std::size_t i = 0; i < k; ++i) {
        const DVec3 p(ring[i]), q(ring[(i + 1) % k]);
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    for (std::size_t i = 0; i < k; ++i) {
        const DVec3 a(ring[i]), b(ring[(i + 1) % k]), c(ring[(i + 2) % k]);
        if (dot(cross(b - a, c - b), n) < 0.0) return false;
    }
    return true;
}

// Every alive face's triangles over the mesh's used vertices, tagged with the face id.
TriangleSurface to_triangles(const Mesh& mesh, std::uint32_t tag_bit) {
    TriangleSurface out;
    const auto vs = mesh.vertices();
    std::vector<std::uint32_t> index(vs.size(), kInvalidId);
    std::vector<Vec3> points;
    for (const FaceId f : mesh.alive_faces()) {
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        if (ring.size() < 3) continue;
        points.clear();
        for (const VertexId v : ring) {
            if (v >= vs.size()) return {};
            points.push_back(vs[v].position);
            if (index[v] == kInvalidId) {
                index[v] = static_cast<std::uint32_t>(out.points.size());
                const Vec3 p = vs[v].position;
                out.points.push_back({p.x, p.y, p.z});
            }
        }
        auto add = [&](std::uint32_t i, std::uint32_t j, std::uint32_t k) {
            out.triangles.push_back({index[ring[i]], index[ring[j]], index[ring[k]]});
            out.origins.push_back(f | tag_bit);
        };
        if (convex(points)) {
            for (std::uint32_t i = 2; i < ring.size(); ++i) add(0, i - 1, i);
        } else {
            for (const IndexTriangle& t : triangulate_polygon_2d(points)) add(t[0], t[1], t[2]);
        }
    }
    return out;
}

struct Side {
    VertexId from, to;
    std::uint32_t tri;
};
bool by_ends(const Side& x, const Side& y) {
    return x.from != y.from ? x.from < y.from : x.to < y.to;
}

// The result's triangles as faces: the touching triangles of one tag joined where their
// outline is one loop, each face on its source face's material.
Mesh to_mesh(const TriangleSurface& s, const Mesh& a, const Mesh& b) {
    Mesh mesh;
    for (const auto& p : s.points) {
        mesh.add_vertex(
            {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
    }
    auto material_of = [&](std::uint32_t tag) {
        const Mesh& src = (tag & kToolBit) ? b : a;
        const FaceId f = tag & ~kToolBit;
        return src.face_usable(f) ? src.faces()[f].material_id : 0u;
    };
    auto add = [&](std::span<const VertexId> ring, std::uint32_t tag) {
        if (const auto f = mesh.add_ngon(ring)) mesh.set_face_material(*f, material_of(tag));
    };
    // Triangles grouped by tag, in order of their first appearance within a tag.
    std::vector<std::uint32_t> order(s.triangles.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t x, std::uint32_t y) { return s.origins[x] < s.origins[y]; });

    std::vector<Side> sides, outline;
    std::vector<std::uint32_t> stack, members;
    std::vector<VertexId> loop;
    std::vector<std::uint8_t> seen;
    for (std::size_t g0 = 0; g0 < order.size();) {
        std::size_t g1 = g0 + 1;
        while (g1 < order.size() && s.origins[order[g1]] == s.origins[order[g0]]) ++g1;
        const std::uint32_t tag = s.origins[order[g0]];
        const std::size_t n = g1 - g0;
        auto tri = [&](std::uint32_t local) -> const std::array<std::uint32_t, 3>& {
            return s.triangles[order[g0 + local]];
        };
        sides.clear();
        for (std::uint32_t i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k) sides.push_back({tri(i)[k], tri(i)[(k + 1) % 3], i});
        }
        std::sort(sides.begin(), sides.end(), by_ends);
        auto find_side = [&](VertexId from, VertexId to) -> const Side* {
            const auto it =
                std::lower_bound(sides.begin(), sides.end(), Side{from, to, 0}, by_ends);
            return it != sides.end() && it->from == from && it->to == to ? &*it : nullptr;
        };
        seen.assign(n, 0);
        for (std::uint32_t seed = 0; seed < n; ++seed) {
            if (seen[seed]) continue;
            members.clear();
            stack.assign(1, seed);
            seen[seed] = 1;
            while (!stack.empty()) {
                const std::uint32_t t = stack.back();
                stack.pop_back();
                members.push_back(t);
                for (int k = 0; k < 3; ++k) {
                    const Side* across = find_side(tri(t)[(k + 1) % 3], tri(t)[k]);
                    if (across && !seen[across->tri]) {
                        seen[across->tri] = 1;
                        stack.push_back(across->tri);
                    }
                }
            }
            std::sort(members.begin(), members.end());
            // The outline: sides whose reverse is not in the piece.
            outline.clear();
            for (const std::uint32_t t : members) {
                for (int k = 0; k < 3; ++k) {
                    const VertexId p = tri(t)[k], q = tri(t)[(k + 1) % 3];
                    const Side* back = find_side(q, p);
                    if (!back || !std::binary_search(members.begin(), members.end(), back->tri)) {
                        outline.push_back({p, q, t});
                    }
                }
            }
            std::sort(outline.begin(), outline.end(), by_ends);
            bool single = members.size() > 1 && !outline.empty();
            for (std::size_t i = 1; i < outline.size() && single; ++i) {
                single = outline[i].from != outline[i - 1].from;  // one way out of each vertex
            }
            loop.clear();
            if (single) {
                // Walk from one outline vertex until the walk comes home: one loop only when
                // that took every outline side.
                const VertexId start = outline[0].from;
                VertexId v = start;
                do {
                    loop.push_back(v);
                    const auto it = std::lower_bound(
                        outline.begin(), outline.end(), Side{v, 0, 0},
                        [](const Side& x, const Side& y) { return x.from < y.from; });
                    if (it == outline.end() || it->from != v) break;
                    v = it->to;
                } while (v != start && loop.size() <= outline.size());
                single = v == start && loop.size() == outline.size();
            }
            if (single) {
                add(loop, tag);
            } else {
                for (const std::uint32_t t : members) add(tri(t), tag);
            }
        }
        g0 = g1;
    }
    // Points that are distinct in exact arithmetic can round to one float (a cut through a
    // triangle's diagonal leaves a sliver there): weld what rounding made coincident and fold
    // away the faces that lost their area, so the result stays closed.
    const bool welded = mesh.weld_vertices(kRoundingWeld) > 0;
    bool flat = false;
    for (const FaceId f : mesh.alive_faces()) {
        flat = flat || mesh.face_area(f) <= kFlatArea;
        if (flat) break;
    }
    // Usually nothing rounded together, and the search for T-junctions is skipped.
    if (welded || flat) split_edges_at_vertices(mesh, kRoundingWeld, kMaxRoundingSplits);
    mesh.link_shared_edges();
    return mesh;
}

}  // namespace

std::optional<Mesh> exact_boolean(BooleanOp op, const Mesh& a, const Mesh& b) {
    const TriangleSurface sa = to_triangles(a, 0), sb = to_triangles(b, kToolBit);
    TriangleSurface out;
    if (sa.triangles.empty() || sb.triangles.empty() || !corefine_surfaces(op, sa, sb, out)) {
        return std::nullopt;
    }
    return to_mesh(out, a, b);
}

}  // namespace korvan
