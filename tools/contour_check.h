#pragma once

#include <cstdint>
#include <span>

#include "core/mesh_annotations.h"

// The contour gate: can a set of contour lines stand for one ground surface, that is, is the
// level a function of plan position? Contours are the alive curves, numbered by their place
// among the alive curves in table order.

namespace korvan {

struct ContourCheckOptions {
    float segment_tolerance = 1e-4f;  // shorter plan segments are skipped; also the contact distance
    std::uint64_t pair_budget = 20000000;
    std::uint64_t grid_cell_budget = 1048576;
};

struct ContourCheckResult {
    bool ok = true;
    const char* message = "";  // static text; empty when ok
    int blame_a = -1, blame_b = -1;
    bool crossing = false, touch = false;
    std::uint64_t closed = 0, open = 0, segments = 0;
    std::uint64_t pair_tests = 0, grid_cells = 0, grid_entries = 0;
    double blame_x = 0.0, blame_y = 0.0;
    double elevation_a = 0.0, elevation_b = 0.0;
    double worst_spread = 0.0;
};

// Mean z of the points in double precision; 0 for an empty contour.
double contour_elevation(const Curve& curve);
// Largest |z - elevation| over the points.
double contour_spread(const Curve& curve, double elevation);

// Checks the alive curves as contours; never edits. A grid over the segments' plan boxes
// keeps the pair tests near linear in the number of segments.
ContourCheckResult check_contours(std::span<const Curve> curves,
                                  const ContourCheckOptions& options = {});

}  // namespace korvan
