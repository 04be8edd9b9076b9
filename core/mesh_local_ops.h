#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/ids.h"
#include "core/tolerances.h"

// Surgical edits of one vertex, one edge or a small selection. split_vertex, unweld_vertex,
// weld_selected_vertices, split_edge_welded and collapse_edge edit a ring snapshot and
// rebuild the topology from it, so face, edge and half-edge ids are renumbered and every face
// is relinked (a closed solid stays closed); dissolve_edge and turn_edge relink half-edges in
// place and keep every surviving id; make_planar only moves vertices. Each expects a linked
// mesh. A refusal leaves the mesh exactly as it was: every check runs before the first write.

namespace korvan {

class Mesh;

struct SplitVertexResult {
    bool ok = false;
    const char* message = "";          // why it refused; empty when ok
    std::vector<VertexId> copies;      // new vertices, at the split vertex's position
    std::uint64_t faces_rewritten = 0;  // faces whose corner moved to a copy
};

// Moves the corner of every group face at `vertex` to one new vertex in the same place.
// Refuses a vertex that is out of range or dead or that no alive face uses, an empty group,
// a group face that does not touch the vertex and a group that is the whole fan.
SplitVertexResult split_vertex(Mesh& mesh, VertexId vertex, std::span<const FaceId> group);
// Gives every face of the vertex's fan after the first (by face id) its own copy.
SplitVertexResult unweld_vertex(Mesh& mesh, VertexId vertex);

struct WeldSelectedResult {
    std::uint64_t considered = 0;  // alive listed vertices, each once
    std::uint64_t clusters = 0;    // clusters of two or more
    std::uint64_t merged = 0;      // vertices retired into their cluster's first member
    std::uint64_t faces_before = 0;
    std::uint64_t faces_after = 0;
    std::uint64_t faces_dropped = 0;  // left with fewer than three distinct corners
};

// Welds only the listed vertices: greedy clusters round the lowest unclustered vertex, each
// later one joining when within `tolerance` of that first member (not transitive). Nothing
// changes when no two are that close.
WeldSelectedResult weld_selected_vertices(Mesh& mesh, std::span<const VertexId> verts,
                                          float tolerance = kWeldTolerance);

struct MakePlanarResult {
    std::uint64_t considered = 0;  // alive listed faces, each once
    std::uint64_t projected = 0;   // faces with a plane
    std::uint64_t degenerate = 0;  // collinear rings, left alone
    std::uint64_t moved = 0;       // vertices moved more than 1e-6 m
    std::uint64_t shared = 0;      // vertices claimed by two or more listed faces
    float worst_before = 0.0f;     // largest distance of a ring vertex from its face's plane
    float worst_after = 0.0f;
};

// Projects every ring vertex onto its face's least-squares plane, all planes fitted before
// anything moves; a vertex of several listed faces goes to the mean of its projections.
MakePlanarResult make_planar(Mesh& mesh, std::span<const FaceId> faces);

struct SplitEdgeWeldedResult {
    bool ok = false;
    const char* message = "";
    VertexId vertex = kInvalidId;
    std::uint64_t faces_rewritten = 0;
};

// New vertex at a + t (b - a) inserted between a and b in every ring where they are
// neighbours; the rebuild relinks both halves, so no seam opens. Refuses what
// Mesh::split_edge refuses.
SplitEdgeWeldedResult split_edge_welded(Mesh& mesh, EdgeId edge, float t = 0.5f);

enum class DissolveStatus : std::uint8_t {
    kOk, kInvalidEdge, kNakedEdge, kNotCoplanar, kSharedTwice, kDegenerate };
const char* status_name(DissolveStatus status);

struct DissolveEdgeResult {
    DissolveStatus status = DissolveStatus::kInvalidEdge;
    float deviation = 0.0f;  // of the two rings from their common plane
    FaceId kept = kInvalidId;  // the lower face id; it receives the merged ring
    FaceId removed = kInvalidId;
    std::uint64_t sides = 0;
    float area = 0.0f;
};

// Joins the two faces across the edge into one polygon; `tolerance` is an absolute distance
// from their common plane.
DissolveEdgeResult dissolve_edge(Mesh& mesh, EdgeId edge, float tolerance = kWeldTolerance);

enum class CollapseTarget : std::uint8_t { kMidpoint, kFirst, kSecond };
enum class CollapseStatus : std::uint8_t {
    kOk, kInvalidEdge, kNoFace, kLinkCondition, kBoundaryPinch, kTooFewVertices, kDegenerate };
const char* status_name(CollapseStatus status);

struct CollapseEdgeResult {
    CollapseStatus status = CollapseStatus::kInvalidEdge;
    // Vertices adjacent to both ends, and how many of them the triangles on the edge account
    // for (a face of more sides accounts for none).
    std::uint64_t shared = 0;
    std::uint64_t expected = 0;
    VertexId kept = kInvalidId;  // the lower end
    VertexId removed = kInvalidId;
    std::uint64_t faces_before = 0;
    std::uint64_t faces_after = 0;
    std::uint64_t faces_dropped = 0;
    std::uint64_t naked_after = 0;
};

// Contracts the edge into its lower end, placed at the midpoint or at either end.
CollapseEdgeResult collapse_edge(Mesh& mesh, EdgeId edge,
                                 CollapseTarget target = CollapseTarget::kMidpoint);

enum class TurnStatus : std::uint8_t {
    kOk, kInvalidEdge, kNakedEdge, kNotTriangles, kNonPlanar, kNonConvex, kDuplicateEdge,
    kDegenerate };
const char* status_name(TurnStatus status);

struct TurnEdgeResult {
    TurnStatus status = TurnStatus::kInvalidEdge;
    float deviation = 0.0f;
    std::array<VertexId, 2> old_diagonal{kInvalidId, kInvalidId};
    std::array<VertexId, 2> new_diagonal{kInvalidId, kInvalidId};
    float area_before = 0.0f;
    float area_after = 0.0f;
};

// Flips the diagonal between two triangles by relinking their six half-edges: the edge then
// joins the two vertices opposite the old diagonal. `tolerance` is an absolute distance.
TurnEdgeResult turn_edge(Mesh& mesh, EdgeId edge, float tolerance = kWeldTolerance);

}  // namespace korvan
