#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/planar_ring.h"

// Plan polygons offset by the angle-bisector rule: every side moves along its own inward
// normal by the same distance and each corner slides along the bisector of its two sides.
// Roofs, wall junctions and site trims all build on it.

namespace korvan {

// A mitre reaching further than this many offset distances from its corner is bevelled.
inline constexpr double kMitreLimit = 4.0;

struct PolygonOffset {
    bool ok = false;
    std::vector<Point2> points;
    // For each output point, the input corner it came from; a bevelled corner gives two
    // consecutive points with the same source.
    std::vector<std::uint32_t> source;
    std::uint32_t bevelled = 0;
};

// Unit inward normal of the side from a to b of a counter-clockwise ring (its left).
Point2 inward_normal(const Point2& a, const Point2& b);

// Offsets the simple counter-clockwise ring by `distance` (positive inwards, negative
// outwards). Corners whose mitre would jut past kMitreLimit on the side the offset moves
// away from are bevelled. Fails (ok false) when a side turns round, the result crosses
// itself or its area is gone: the offset has outrun what the plan can carry.
PolygonOffset offset_polygon(std::span<const Point2> ring, double distance);

}  // namespace korvan
