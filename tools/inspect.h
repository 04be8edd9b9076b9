#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/ids.h"

namespace korvan {

class Document;
class Mesh;

// Defect classes in printing order; the value is the index into MeshInspection::ids.
enum class DefectClass : std::uint8_t {
    kDegenerateFaces = 0,
    kNonPlanarFaces = 1,
    kDuplicateFaces = 2,
    kInternalFaces = 3,
    kStrayEdges = 4,
    kNakedEdges = 5,
    kNonManifoldVertices = 6,
    kReversedFaces = 7,
};
inline constexpr int kDefectClassCount = 8;

// "Degenerate faces" ... "Reversed faces"; "Unknown" out of range.
const char* defect_label(DefectClass c);
// "face", "edge" or "vertex": what the ids of the class are; "entity" out of range.
const char* defect_id_kind(DefectClass c);

struct InspectionTolerances {
    float area_epsilon = 1e-9f;  // square metres: a face this small or smaller is degenerate
    float planarity = 1e-4f;     // metres a vertex may stand off its face's plane
};

// Defects of one mesh. Edges are judged by their undirected vertex pair, not by twin links,
// so unwelded geometry is seen as the eye sees it; half_edge_naked is the twin-link count.
struct MeshInspection {
    std::array<std::vector<std::uint32_t>, kDefectClassCount> ids;  // ascending where sorted
    std::uint64_t faces = 0, edges = 0, verts = 0;                  // alive counts
    std::uint64_t half_edge_naked = 0;
    std::uint64_t redundant_edge_records = 0;
    std::uint64_t non_manifold_edges = 0;  // 3+ faces on a pair that is not a solid contact
    std::uint64_t contact_edges = 0;       // two solids touching along the pair
    std::vector<VertexId> contact_vertices;
    std::uint64_t orientation_conflicts = 0;
    float worst_planarity = 0.0f;  // metres
    float volume = 0.0f;           // Mesh::compute_volume

    const std::vector<std::uint32_t>& of(DefectClass c) const { return ids[static_cast<int>(c)]; }
    std::uint64_t count(DefectClass c) const { return of(c).size(); }
    // Sum of the eight list lengths.
    std::uint64_t total() const;
    // No defect in any class.
    bool solid() const { return total() == 0; }
};

// The report of a whole document: (name, inspection) in walk order.
using InspectionReport = std::vector<std::pair<std::string, MeshInspection>>;

MeshInspection inspect_mesh(const Mesh& mesh, const InspectionTolerances& tolerances = {});

// The root's mesh, every node below it depth first (a node's own mesh before its children),
// then every definition; meshes without an alive face and instances' own meshes are left out.
InspectionReport inspect_document(const Document& doc, const InspectionTolerances& tolerances = {});

std::uint64_t total_defects(const InspectionReport& report);

// "solid", or "<N> defect(s) in <K> class(es)".
std::string inspection_verdict(const MeshInspection& inspection);

// What a solid tool needs to know of its output: the inspection's naked-edge and
// non-manifold-vertex counts. Closed when both are 0.
struct SolidCheck {
    std::uint64_t naked_edges = 0;
    std::uint64_t non_manifold_vertices = 0;
    bool closed() const { return naked_edges == 0 && non_manifold_vertices == 0; }
};
SolidCheck check_solid(const Mesh& mesh);

}  // namespace korvan
