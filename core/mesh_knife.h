#pragma once

#include <cstdint>
#include <span>

#include "core/vec3.h"

namespace korvan {

class Mesh;

struct KnifeReport {
    bool ok = false;
    const char* message = "";  // static text; empty when ok
    std::uint64_t faces_cut = 0;
    std::uint64_t t_vertices = 0;  // vertices made inside existing edges
    std::uint64_t reused = 0;      // times the path came back to a vertex it had made
};

// Cuts the polyline across every face that holds a stretch of it. A path point lying on an
// edge (within 1e-3, found through the spatial index) becomes a vertex there, shared by both
// faces on the edge; each segment is then clipped to the faces whose plane holds it (within
// 1e-4) and drawn into them, with a vertex wherever it crosses a face's border. Stretches
// along an existing edge, and stretches that end inside a face, cut nothing. Refuses fewer
// than 2 distinct points, non-finite points, and a path that cuts no face; a refusal leaves
// the mesh as it was.
KnifeReport knife_path(Mesh& mesh, std::span<const Vec3> path);

}  // namespace korvan
