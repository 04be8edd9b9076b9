#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/dvec3.h"
#include "core/planar_ring.h"
#include "core/polygon_2d_offset.h"

// What the three roof generators share: the footprint rules, and solids staged in double
// precision so that a refusal found late still leaves the mesh as it was.

namespace korvan {

class Mesh;

struct Footprint {
    const char* message = "";  // empty when usable
    std::vector<Point2> ring;  // counter-clockwise, consecutive duplicates merged
    double area = 0.0;
};

// Applies the footprint rules: finite points, three distinct ones, an area, no corner that
// doubles back, no crossing sides, and counter-clockwise order (a clockwise plan is reversed).
Footprint normalise_footprint(std::span<const Point2> points);

// Closed polyhedra waiting to be added to a mesh: points and rings of point indices, every
// ring counter-clockwise seen from outside.
struct StagedSolids {
    std::vector<DVec3> points;
    std::vector<std::vector<std::uint32_t>> rings;
    std::uint32_t solids = 0;

    std::uint32_t add_point(double x, double y, double z);
    // A vertical prism over the counter-clockwise ring from z0 up to z1.
    void add_prism(std::span<const Point2> ring, double z0, double z1);
    // A vertical ring wall between `outer` and its inward offset, from z0 up to z1.
    void add_band(std::span<const Point2> outer, const PolygonOffset& inner, double z0, double z1);
    // Divergence-theorem volume of every staged ring.
    double volume() const;
    // True when every ring has three or more points and no point twice in a row.
    bool rings_valid() const;
    // Adds everything to the mesh and links the shared sides.
    void commit(Mesh& mesh) const;
};

}  // namespace korvan
