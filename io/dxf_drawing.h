#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A 2D/3D drawing as the DXF and DWG readers see it: entities keep the values of the file
// (drawing units, object coordinates, degrees), and the conversion into a model
// (dxf_import.h) does units, extrusions, tessellation and blocks. A DWG reader fills the
// same records and hands them to the same conversion.

namespace korvan::io {

using DrawingPoint = std::array<double, 3>;

inline constexpr DrawingPoint kWorldZ{0.0, 0.0, 1.0};

// LINE, LWPOLYLINE or POLYLINE. bulges is empty or holds one value per point: the bulge of
// the segment leaving that point (tan of a quarter of its arc's angle, positive turning
// left). Points of a 2D polyline are in the object coordinate system of `extrusion`; 3D
// polylines and lines carry world points and the world Z extrusion.
struct DrawingPolyline {
    std::vector<DrawingPoint> points;
    std::vector<double> bulges;
    bool closed = false;
    DrawingPoint extrusion = kWorldZ;
    std::string handle;
};

// ARC or CIRCLE (is_circle); centre in object coordinates of `extrusion`, angles in degrees.
struct DrawingArc {
    DrawingPoint centre{};
    double radius = 0.0;
    double start_deg = 0.0;
    double end_deg = 360.0;
    bool is_circle = false;
    DrawingPoint extrusion = kWorldZ;
    std::string handle;
};

// ELLIPSE: world centre, the major axis' end point relative to the centre, the minor/major
// ratio, and the parameter range in radians.
struct DrawingEllipse {
    DrawingPoint centre{};
    DrawingPoint major{};
    double ratio = 1.0;
    double start_param = 0.0;
    double end_param = 6.283185307179586;
    DrawingPoint extrusion = kWorldZ;
    std::string handle;
};

struct DrawingSpline {
    int degree = 3;
    std::vector<double> knots;
    std::vector<double> weights;
    std::vector<DrawingPoint> control;
    std::vector<DrawingPoint> fit;
    std::uint32_t flags = 0;  // bit 1: closed
    std::string handle;
};

// A flat face: 3DFACE or one face of a polyface mesh (3 or 4 distinct world points).
struct DrawingFace {
    std::vector<DrawingPoint> points;
};

struct DrawingInsert {
    std::string block;
    DrawingPoint point{};  // object coordinates of `extrusion`
    DrawingPoint scale{1.0, 1.0, 1.0};
    double rotation_deg = 0.0;
    DrawingPoint extrusion = kWorldZ;
    std::string handle;
};

// The entities of model space or of one block, by kind, each list in file order.
struct DrawingEntities {
    std::vector<DrawingPolyline> polylines;
    std::vector<DrawingArc> arcs;
    std::vector<DrawingEllipse> ellipses;
    std::vector<DrawingSpline> splines;
    std::vector<DrawingFace> faces;
    std::vector<DrawingInsert> inserts;
};

struct DrawingBlock {
    std::string name;
    DrawingPoint base{};
    DrawingEntities entities;
};

struct Drawing {
    std::int64_t insunits = -1;  // $INSUNITS; -1 when the header has none
    DrawingEntities model;
    std::vector<DrawingBlock> blocks;  // in file order, duplicates included
};

// Reads ASCII DXF text into the drawing. False when the text is not group-code/value pairs
// (a code line that is not an integer), which is how binary DXF and other files end.
// Paper-space entities are left out: a model is what the user asked for.
bool parse_dxf(std::string_view text, Drawing& drawing);

// Block and layer names compare without regard to ASCII case.
bool same_drawing_name(std::string_view a, std::string_view b);

}  // namespace korvan::io
