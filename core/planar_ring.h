#pragma once

#include <span>

#include "core/vec3.h"

// Two-dimensional helpers for work inside one face's plane (openings, knife cuts): a frame
// that maps model points to plane coordinates and back, and the ring tests those edits need.
// Coordinates are doubles so the tests do not lose what the float positions carry.

namespace korvan {

struct Point2 {
    double x = 0.0;
    double y = 0.0;
};

// An orthonormal frame (u, v, n) with u x v = n. For a wall (a normal away from vertical) u
// is horizontal and v points up the wall, so widths run along u and heights along v.
struct PlaneFrame {
    Vec3 origin;
    Vec3 u{1.0f, 0.0f, 0.0f};
    Vec3 v{0.0f, 1.0f, 0.0f};
    Vec3 n{0.0f, 0.0f, 1.0f};

    Point2 to_2d(const Vec3& p) const;
    Vec3 to_3d(const Point2& p) const;
    // Signed distance of p from the plane, along n.
    double height_of(const Vec3& p) const;
};

// The frame through origin about the unit normal n.
PlaneFrame frame_about(const Vec3& origin, const Vec3& n);

// Newell normal of a ring of positions, not normalised; zero for fewer than 3 points.
Vec3 ring_normal_of(std::span<const Vec3> ring);

// Twice the signed area; positive for a counter-clockwise ring.
double signed_area2(std::span<const Point2> ring);
// Even-odd test; a point on the border may go either way.
bool point_in_ring(std::span<const Point2> ring, const Point2& p);
double distance_to_segment(const Point2& p, const Point2& a, const Point2& b);
// True when the closed segments a-b and c-d share a point.
bool segments_touch(const Point2& a, const Point2& b, const Point2& c, const Point2& d);
// No two sides touch except consecutive ones at their shared corner, and no side has zero
// length.
bool ring_is_simple(std::span<const Point2> ring);

}  // namespace korvan
