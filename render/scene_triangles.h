#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/ids.h"
#include "core/mesh.h"
#include "core/uv.h"
#include "core/vec3.h"
#include "render/bvh.h"

namespace korvan {

class Document;

// How a triangle is drawn apart from its material.
enum class TriangleKind : std::uint8_t { kOrdinary = 0, kStippleA = 1, kStippleB = 2, kPale = 3 };

// One triangle of a shown face, in world space, with what shading needs of its face.
struct SceneTriangle {
    std::array<Vec3, 3> corners;
    Vec3 face_normal;            // unit normal of the whole face: its texture projection frame
    std::uint32_t material = 0;  // index into the document's materials; 0 = default surface
    FaceId face = kInvalidId;    // the face in the flattened world mesh
    TriangleKind kind = TriangleKind::kOrdinary;
    bool ghost = false;
    bool has_uvs = false;  // the face stores corner UVs; uvs follows the corners
    std::array<TexCoord, 3> uvs{};
};

// A line drawn over a render.
struct SceneSegment {
    Vec3 a, b;
};

// Everything a renderer casts rays at or draws over: the triangles of the shown faces of
// the whole scene graph and their hierarchy, plus the model's edge, guide and dimension lines.
struct RenderScene {
    std::vector<SceneTriangle> triangles;
    Bvh bvh;  // over `triangles`, same indices
    std::vector<SceneSegment> hard_edges;
    std::vector<SceneSegment> guides;  // infinite guides already stretched to kGuideReach
    std::vector<SceneSegment> dimensions;
};

// How far an infinite guide is drawn each way from its defining points, metres.
inline constexpr float kGuideReach = 1000.0f;

// Triangles of every alive, visible face of a world mesh (ear-clipped, a fan when the clipper
// gives up). Faces on a layer listed in hidden_layers are skipped.
std::vector<SceneTriangle> triangulate_for_render(const Mesh& world,
                                                  const std::vector<bool>& hidden_layers = {});

// Flattens the document (Document::flatten_world), triangulates it, builds the hierarchy and
// collects the overlay lines. Faces on hidden tags are left out.
RenderScene build_render_scene(const Document& doc);
// The same for an already flattened mesh.
RenderScene build_render_scene(const Mesh& world, const std::vector<bool>& hidden_layers = {});

}  // namespace korvan
