#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/mesh.h"

// Closed solids for the tests of solid tools: boxes and prisms with outward normals, welded
// and linked, optionally moved through a point map (a rotation, a shear). Header-only, like
// solid_checks.h.

namespace korvan::test {

using PointMap = std::function<Vec3(const Vec3&)>;

// Rotation by angle_rad about the z axis through `pivot`, then a move by `offset`.
inline PointMap turn_about_z(float angle_rad, const Vec3& pivot = {}, const Vec3& offset = {}) {
    const float c = std::cos(angle_rad), s = std::sin(angle_rad);
    return [=](const Vec3& p) {
        const Vec3 d = p - pivot;
        return Vec3{pivot.x + c * d.x - s * d.y, pivot.y + s * d.x + c * d.y, p.z} + offset;
    };
}

// Faces over `points` (each ring outward, counter-clockwise seen from outside), linked.
inline Mesh solid_from_rings(const std::vector<Vec3>& points,
                             const std::vector<std::vector<std::uint32_t>>& rings,
                             std::uint32_t material, const PointMap& map) {
    Mesh m;
    std::vector<VertexId> v;
    for (const Vec3& p : points) v.push_back(m.add_vertex(map ? map(p) : p));
    for (const auto& ring : rings) {
        std::vector<VertexId> ids;
        for (const std::uint32_t i : ring) ids.push_back(v[i]);
        if (const auto f = m.add_ngon(ids)) m.set_face_material(*f, material);
    }
    m.link_shared_edges();
    return m;
}

inline Mesh box_solid(const Vec3& lo, const Vec3& hi, std::uint32_t material = 0,
                      const PointMap& map = {}) {
    const std::vector<Vec3> p = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                                 {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                                 {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    return solid_from_rings(
        p, {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}},
        material, map);
}

// Prism over a regular n-gon of `radius` about (cx, cy), from z0 to z1; caps are n-gons.
inline Mesh prism_solid(int sides, float radius, float cx, float cy, float z0, float z1,
                        std::uint32_t material = 0, const PointMap& map = {}) {
    std::vector<Vec3> p;
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < sides; ++i) {
            const float a = 6.2831855f * static_cast<float>(i) / static_cast<float>(sides);
            p.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), k ? z1 : z0});
        }
    }
    std::vector<std::vector<std::uint32_t>> rings(2);
    const auto n = static_cast<std::uint32_t>(sides);
    for (std::uint32_t i = 0; i < n; ++i) {
        rings[0].push_back(n - 1 - i);  // bottom, facing down
        rings[1].push_back(n + i);      // top, facing up
        rings.push_back({i, (i + 1) % n, n + (i + 1) % n, n + i});
    }
    return solid_from_rings(p, rings, material, map);
}

// Closed lat-long sphere: `rings` latitude bands of `segments` quads split into triangles,
// triangle fans at the poles; 2 * segments * (rings - 1) triangles.
inline Mesh sphere_solid(int segments, int rings, float radius, const PointMap& map = {}) {
    std::vector<Vec3> p;
    p.push_back({0, 0, -radius});
    for (int r = 1; r < rings; ++r) {
        const float phi = 3.14159265f * (static_cast<float>(r) / rings - 0.5f);
        for (int s = 0; s < segments; ++s) {
            const float theta = 6.2831855f * static_cast<float>(s) / segments;
            p.push_back({radius * std::cos(phi) * std::cos(theta),
                         radius * std::cos(phi) * std::sin(theta), radius * std::sin(phi)});
        }
    }
    p.push_back({0, 0, radius});
    const auto seg = static_cast<std::uint32_t>(segments);
    const auto top = static_cast<std::uint32_t>(p.size() - 1);
    auto at = [seg](int r, std::uint32_t s) { return 1 + (r - 1) * seg + s % seg; };
    std::vector<std::vector<std::uint32_t>> faces;
    for (std::uint32_t s = 0; s < seg; ++s) {
        faces.push_back({0, at(1, s + 1), at(1, s)});
        for (int r = 1; r + 1 < rings; ++r) {
            faces.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1)});
            faces.push_back({at(r, s), at(r + 1, s + 1), at(r + 1, s)});
        }
        faces.push_back({at(rings - 1, s), at(rings - 1, s + 1), top});
    }
    return solid_from_rings(p, faces, 0, map);
}

}  // namespace korvan::test
