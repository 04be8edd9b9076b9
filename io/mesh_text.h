#pragma once

#include <charconv>
#include <cstdint>
#include <span>
#include <string>

#include "core/mesh.h"

// Number formatting and ring walking shared by the OBJ, PLY and STL writers. Include only
// from .cpp files.

namespace korvan::io::detail {

// Six significant digits, general notation: what a text stream writes by default.
inline void append_number(std::string& out, float v, int precision = 6) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
    out.append(buf, r.ptr);
}

inline void append_uint(std::string& out, std::uint64_t v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Calls visit(h) for each half-edge of an alive face's ring in order. A ring that does not
// close within the half-edge count (a corrupt mesh) is cut there, so writers never loop.
template <class Visit>
void for_each_ring_half_edge(const Mesh& mesh, FaceId face, Visit&& visit) {
    const std::span<const HalfEdge> he = mesh.half_edges();
    const HalfEdgeId start = mesh.faces()[face].half_edge;
    std::size_t steps = 0;
    for (HalfEdgeId h = start; h < he.size() && steps <= he.size(); ++steps) {
        visit(h);
        h = he[h].next;
        if (h == start) break;
    }
}

// Output numbers of the alive vertices in id order starting at `first`; dead ones get
// kInvalidId.
inline std::vector<std::uint32_t> number_alive_vertices(const Mesh& mesh, std::uint32_t first) {
    const std::span<const Vertex> vs = mesh.vertices();
    std::vector<std::uint32_t> number(vs.size(), kInvalidId);
    std::uint32_t next = first;
    for (VertexId v = 0; v < vs.size(); ++v) {
        if (vs[v].alive) number[v] = next++;
    }
    return number;
}

}  // namespace korvan::io::detail
