#pragma once

#include <cstdint>

#include "core/mat4.h"
#include "core/mesh.h"
#include "document/document.h"

namespace korvan::doc_test {

// Axis-aligned cube of six quads with outward normals from `corner`, edge `size`. The faces
// are left unlinked: nothing here needs adjacency.
Mesh cube(const Vec3& corner = {}, float size = 1.0f, std::uint32_t material = 0);

// One quad in the z = 0 plane from `corner`, facing +z.
Mesh quad(const Vec3& corner = {}, float size = 1.0f, std::uint32_t material = 0,
          std::uint32_t layer = 0);

// Adds a group holding `mesh` under parent; fails the test when refused.
SceneNode* add_group(Document& doc, SceneNode* parent, const char* name, Mesh mesh = {},
                     const Mat4& transform = {});

// Box of the corners of the alive faces, for comparing placements.
Aabb face_bounds(const Mesh& mesh);

}  // namespace korvan::doc_test
