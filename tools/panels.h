#pragma once

#include <array>
#include <cstdint>

#include "core/ids.h"
#include "core/mesh.h"
#include "core/vec3.h"

// Furniture boards and their joints. A board is one rectangular box emitted into a mesh as a
// closed, welded, outward-wound solid; a joint is cut by erasing the faces of the board it
// changes and adding re-ringed replacements plus the faces the cut exposes. There is no volume
// boolean: every feature is measured from the board box, so two features cut from different
// faces cannot see each other. Every operation refuses with a sentence and leaves the mesh
// untouched, except cut_rabbet_pair (see there).

namespace korvan {

enum class PanelAxis : std::uint8_t { kLength = 0, kWidth = 1, kThickness = 2 };
// A side's axis is side / 2; it lies at the maximum of that axis when side is odd.
enum class PanelSide : std::uint8_t {
    kLengthMin = 0,
    kLengthMax = 1,
    kWidthMin = 2,
    kWidthMax = 3,
    kThicknessMin = 4,
    kThicknessMax = 5,
};

// "length-max", ...; "length", "width", "thickness".
const char* panel_side_name(PanelSide side);
const char* panel_axis_name(PanelAxis axis);

// Panel-local x runs along axes[0] over [0, length], y along axes[1] over [0, width], z along
// axes[2] over [0, thickness], from the origin.
struct PanelBox {
    Vec3 origin{};
    std::array<Vec3, 3> axes{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
    float length = 0.6f, width = 0.4f, thickness = 0.018f;
};

// Each extent above 1e-4, unit axes (within 1e-4), pairwise perpendicular (|dot| <= 1e-4) and
// right-handed; otherwise "invalid panel box".
const char* panel_box_refusal(const PanelBox& box);

struct PanelOptions {
    float weld_tolerance = 1e-5f;  // finer than the mesh-wide weld: joinery is millimetre work
    std::int32_t cut_material = -1;  // for the surfaces a cut exposes; -1: the cut face's own
};

// Topology and volume of the whole mesh after an operation.
struct SolidCheck {
    bool solid = false;
    std::uint64_t faces = 0, vertices = 0, edges = 0;
    std::int64_t euler = 0;
    std::uint64_t open_edges = 0, nonmanifold = 0, reversed_pairs = 0;
    double volume = 0.0;
};
SolidCheck panel_solid_check(const Mesh& mesh);

struct MeshChangeCounts {
    std::uint64_t faces_erased = 0, faces_added = 0, vertices_added = 0, linked_pairs = 0;
    std::uint64_t stray_edges_retired = 0, edge_records_rehomed = 0, half_edge_naked_edges = 0;
};

struct PanelEmitResult {
    bool ok = false;
    const char* message = "";
    std::array<FaceId, 6> sides{};  // by PanelSide
    std::uint64_t linked_pairs = 0;
    SolidCheck solid;
};

// Adds the 8 corners and 6 outward quads, welds the new corners and links shared edges over
// the whole mesh (so any other unlinked seam is welded too).
PanelEmitResult emit_panel(Mesh& mesh, const PanelBox& box, const PanelOptions& options);

// What every cut reports besides its own figures.
struct PanelCutCommon {
    bool ok = false;
    const char* message = "";
    MeshChangeCounts changes;
    SolidCheck solid;
};

struct DowelRowSpec {
    PanelSide side = PanelSide::kLengthMax;
    PanelAxis row_axis = PanelAxis::kWidth;
    float row_offset = 0.009f;  // along the other in-face axis
    float first = 0.05f;        // along the row to the first centre
    float pitch = 0.032f;
    std::int32_t count = 2;
    float diameter = 0.008f;
    float depth = 0.0115f;
    std::int32_t segments = 12;
};

struct DowelResult : PanelCutCommon {
    std::uint32_t holes = 0;
    double row_length = 0.0, removed_volume = 0.0;
    std::uint64_t mouth_faces = 0, mouth_faces_expected = 0;
    double chord_sagitta = 0.0, bore_area_ratio = 0.0;
};
DowelResult drill_dowels(Mesh& mesh, const PanelBox& box, const DowelRowSpec& spec,
                         const PanelOptions& options);

// The footprint in the face's own (u, v) coordinates: the two other axes in axis order.
struct TenonSpec {
    PanelAxis axis = PanelAxis::kThickness;
    bool at_max = true;
    float u_offset = 0.0f, u_size = 0.03f;
    float v_offset = 0.0f, v_size = 0.012f;
    float length = 0.012f;  // negative for a mortise
};

// The spec with both offsets centring the footprint on its face.
TenonSpec centered_tenon(const PanelBox& box, TenonSpec spec, bool centre_u, bool centre_v);

struct TenonResult : PanelCutCommon {
    double projection = 0.0, footprint_area = 0.0, cheek_area = 0.0, volume_change = 0.0;
    double remaining_thickness = 0.0, board_thickness = 0.0;  // along the tenon axis
};
TenonResult cut_tenon(Mesh& mesh, const PanelBox& box, const TenonSpec& spec,
                      const PanelOptions& options);

struct RabbetSpec {
    PanelSide side = PanelSide::kThicknessMax;
    PanelSide edge = PanelSide::kLengthMax;
    float width = 0.012f;  // across the side, in from the edge
    float depth = 0.009f;  // down from the side
};

struct RabbetResult : PanelCutCommon {
    double cut_length = 0.0, shoulder_area = 0.0, removed_volume = 0.0;
    double remaining_width = 0.0, remaining_thickness = 0.0, board_thickness = 0.0;
};
RabbetResult cut_rabbet(Mesh& mesh, const PanelBox& box, const RabbetSpec& spec,
                        const PanelOptions& options);

struct RabbetPairSpec {
    PanelSide a_side = PanelSide::kThicknessMax, a_edge = PanelSide::kLengthMax;
    PanelSide b_side = PanelSide::kThicknessMin, b_edge = PanelSide::kLengthMin;
    float lap = 0.012f;
    float a_depth = 0.009f, b_depth = 0.009f;
    float clearance = 0.0002f;  // added to the female rabbet's width only
    bool b_female = true;
};

struct RabbetPairResult : PanelCutCommon {
    bool a_ok = false, b_ok = false;
    bool a_cut = false;  // A was cut before B refused: the caller must restore the mesh
    double tongue_a = 0.0, tongue_b = 0.0, assembled_thickness = 0.0, proud = 0.0;
    double end_slack = 0.0;
    RabbetResult a, b;
};
// Checks every spec-level condition of both boards, then cuts A and then B. If B refuses
// after A was cut, A's cut stays in the mesh (a_cut is set) for the caller's snapshot to undo.
RabbetPairResult cut_rabbet_pair(Mesh& mesh, const PanelBox& a, const PanelBox& b,
                                 const RabbetPairSpec& spec, const PanelOptions& options);

struct GrooveSpec {
    PanelSide side = PanelSide::kThicknessMax;
    PanelAxis run_axis = PanelAxis::kLength;
    float offset = 0.032f;  // from the low edge of the remaining in-face axis
    float width = 0.012f;
    float depth = 0.008f;
    float stop_start = 0.0f, stop_end = 0.0f;  // uncut length at each end; 0 runs out
};

struct GrooveResult : PanelCutCommon {
    std::uint32_t open_ends = 0;
    bool through = false;
    double cut_length = 0.0, floor_area = 0.0, removed_volume = 0.0;
    double remaining_thickness = 0.0, board_thickness = 0.0;
};
GrooveResult cut_groove(Mesh& mesh, const PanelBox& box, const GrooveSpec& spec,
                        const PanelOptions& options);

}  // namespace korvan
