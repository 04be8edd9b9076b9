#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/planar_ring.h"

// Roof generators over a building footprint in plan. Each adds closed solids to a mesh and
// returns its report, or a refusal with the mesh untouched. Lengths in metres, angles in
// radians.

namespace korvan {

class Mesh;

// The stock footprint: the 5 x 12 townhouse with its front wall on y = 0.
std::vector<Point2> default_roof_footprint();

struct FlatRoofSpec {
    double base_z = 0.0;
    double slab = 0.12;
    double overhang = 0.3;
    double parapet = 0.9;  // height
    double parapet_thickness = 0.11;
    double parapet_inset = 0.0;
    double fascia = 0.0;  // depth
    double fascia_thickness = 0.05;
};

struct PitchedRoofSpec {
    double base_z = 0.0;
    double pitch_rad = 0.5235987755982988;  // 30 degrees
    double step = 0.25;
    double overhang = 0.6;
    double fascia = 0.15;
    std::uint32_t max_contours = 512;
};

struct SkeletonRoofSpec {
    double base_z = 0.0;
    double pitch_rad = 0.5235987755982988;
    double overhang = 0.6;
    double fascia = 0.15;
};

struct FlatRoofReport {
    bool ok = false;
    const char* message = "";  // static text; empty when ok
    double footprint = 0.0;    // plan areas
    double roofed = 0.0;
    double slab = 0.0;  // part volumes
    double parapet = 0.0;
    double fascia = 0.0;
    double volume = 0.0;
    std::uint32_t solids = 0;
    std::uint32_t bevelled = 0;
    std::uint64_t faces_before = 0, faces_after = 0;
};

struct PitchedRoofReport {
    bool ok = false;
    const char* message = "";
    double footprint = 0.0;
    double roofed = 0.0;
    std::uint32_t contours = 0;
    double apex_inset = 0.0;   // inset of the last contour
    double apex_height = 0.0;  // its height above base z
    double ridge_deviation = 0.0;  // height the quantised ridge lost against the true apex
    double volume = 0.0;
    std::uint32_t collapsed_offsets = 0;  // contour steps across which the wavefront lost sides
    std::uint32_t bevelled = 0;
    std::uint64_t faces_before = 0, faces_after = 0;
};

struct SkeletonRoofReport {
    bool ok = false;
    const char* message = "";
    double footprint = 0.0;
    double roofed = 0.0;
    std::uint32_t facets = 0;
    std::uint64_t nodes = 0, arcs = 0, edge_events = 0, split_events = 0;
    double apex_inset = 0.0;
    double apex_height = 0.0;  // above base z
    double ridge_deviation = 0.0;
    double planarity = 0.0;  // worst distance of a facet point from its facet's best-fit plane
    double volume = 0.0;
    std::uint32_t bevelled = 0;
    std::uint64_t faces_before = 0, faces_after = 0;
};

FlatRoofReport build_flat_roof(Mesh& mesh, std::span<const Point2> footprint,
                               const FlatRoofSpec& spec);
PitchedRoofReport build_pitched_roof(Mesh& mesh, std::span<const Point2> footprint,
                                     const PitchedRoofSpec& spec);
SkeletonRoofReport build_skeleton_roof(Mesh& mesh, std::span<const Point2> footprint,
                                       const SkeletonRoofSpec& spec);

}  // namespace korvan
