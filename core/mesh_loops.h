#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/ids.h"

// Quads as a modeller sees them: a four-sided face, or two triangles joined across a soft
// edge (what triangulating a quad and softening its diagonal leaves behind), and the strips
// of such quads that an edge cuts across.

namespace korvan {

class Mesh;

enum class QuadKind : std::uint8_t {
    kNone,          // not a quad (or not usable)
    kFourSided,     // one face of four corners
    kTrianglePair,  // two triangles across one soft edge
};

// One quad cell. `sides` are its four outline half-edges in ring order, each on one of the
// cell's faces, so side (i + 2) % 4 is the side opposite side i. For a triangle pair
// `diagonal` is the soft edge between the two triangles and `partner` the other triangle.
struct QuadCell {
    QuadKind kind = QuadKind::kNone;
    FaceId face = kInvalidId;
    FaceId partner = kInvalidId;
    EdgeId diagonal = kInvalidId;
    std::array<HalfEdgeId, 4> sides{kInvalidId, kInvalidId, kInvalidId, kInvalidId};
    std::array<VertexId, 4> corners{kInvalidId, kInvalidId, kInvalidId, kInvalidId};
};

// The quad the face belongs to. A triangle pairs only when exactly one of its edges is soft
// with an alive triangle across it, and that triangle sees the same single soft edge: a fan
// of softened triangles is ambiguous and counts as no quad. kNone for dead or invalid faces.
QuadCell quad_at(const Mesh& mesh, FaceId face);

// The two corners the quad's diagonal joins: the shared soft edge of a triangle pair, or the
// shorter diagonal of a four-sided face (the one a split would use; corners 0 and 2 on a tie).
// Invalid ids for anything that is not a quad.
std::array<VertexId, 2> quad_diagonal(const Mesh& mesh, const QuadCell& cell);

// Like Mesh::face_loop, but a triangle pair counts as one quad: the strip of quads the edge
// cuts across, from `face` (or, when invalid, the lower-id alive face on the edge), both
// triangles of a pair listed. Sorted ascending; empty when the edge is dead, the face is not
// on it, or the edge is the diagonal of the face's own triangle pair.
std::vector<FaceId> quad_loop_faces(const Mesh& mesh, FaceId face, EdgeId edge);

}  // namespace korvan
