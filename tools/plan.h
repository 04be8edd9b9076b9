#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/text_label.h"

// Plan drawings: a horizontal section through a mesh drawn as heavy cut lines, thin lines for
// what lies below and dashed lines for what lies above, with the cut chained into closed
// poche rings for hatching. Planning is a view: the mesh is only ever read.

namespace korvan::plan {

struct PlanSettings {
    float height = 1.2f;          // z of the section plane, metres
    bool include_beyond = true;   // faces below and in the plane as beyond lines
    bool include_above = false;   // faces above the plane as hidden lines
    bool hatch = true;            // chain the cut into rings; draw curves and guides
    float plane_epsilon = 1e-6f;  // <= 0 means 1e-6
    float merge_tolerance = 1e-4f;  // <= 0 means 1e-4
};

struct Point2 {
    float x = 0.0f, y = 0.0f;
};

enum class LineKind : std::uint8_t { kCut = 0, kBeyond = 1, kHidden = 2 };
inline constexpr std::uint32_t kNoFace = 0xffffffffu;

struct PlanLine {
    Point2 a, b;
    LineKind kind = LineKind::kCut;
    std::uint32_t face = kNoFace;  // all ones for curves and guides
};

struct HatchRing {
    std::vector<Point2> points;  // not repeated at the end
    bool is_hole = false;
    std::uint32_t parent = 0;  // enclosing outer ring, when is_hole
};

enum class FaceClass : std::uint8_t { kCut = 0, kBeyond = 1, kAbove = 2, kInPlane = 3 };

struct PlanResult {
    std::vector<PlanLine> lines;  // emission order
    std::vector<HatchRing> rings;
    float height = 0.0f;
    std::uint64_t faces_cut = 0, faces_beyond = 0, faces_above = 0, faces_in_plane = 0;
    std::uint64_t raw_cut_segments = 0, duplicates_dropped = 0, buried_overlaps = 0;
    std::uint64_t junction_nodes = 0, open_chains = 0;
};

const char* line_kind_name(LineKind kind);

PlanResult build_plan(const Mesh& mesh, const PlanSettings& settings);

std::uint64_t line_count(const PlanResult& plan, LineKind kind);
// Sum of the rings' shoelace areas: holes wind clockwise and subtract.
double hatch_area(const PlanResult& plan);
double ring_signed_area(const std::vector<Point2>& ring);

// Order-independent hash of the mesh's geometry (vertices, curve points, face and guide
// counts): equal before and after planning proves the plan changed nothing.
std::uint64_t geometry_hash(const Mesh& mesh);

// Writes the drawing as an entities-only DXF on the layers KORVAN-CUT, KORVAN-BEYOND,
// KORVAN-HIDDEN and KORVAN-TEXT; labels with empty text are skipped. False on failure.
bool export_plan_dxf(const std::filesystem::path& path, std::span<const PlanLine> lines,
                     std::span<const TextLabel> labels);

// The drawing as an architect's sheet: poche filled, cut heavy, beyond thin, hidden dashed;
// `scale` is the paper-to-world denominator (100 for 1:100) and one SVG unit is a millimetre.
std::string plan_svg(const PlanResult& plan, double scale);
bool export_plan_svg(const std::filesystem::path& path, const PlanResult& plan, double scale);

}  // namespace korvan::plan
