#pragma once

#include <string>

#include "core/mesh.h"
#include "document/document.h"

// Documents and meshes the .korv tests (and the fuzz seeds) write and read.

namespace korvan::test {

// Unit cube of six quads sharing their corner vertices (not linked).
Mesh korv_cube(const Vec3& corner = {}, float size = 1.0f);

// nx by ny quads in the z = 0 plane, spacing `step`; materials cycle through 0..3 by rows
// of 7, and every fourth row of sides is soft.
Mesh korv_grid(int nx, int ny, float step = 0.25f);

// A document that uses every block of the file: settings off their defaults, a saved view,
// materials with a tab in a name and a UV pattern, scenes with photo tails and properties,
// sections, every kind of light, labels, a hidden tag, definitions (one id with a space),
// root instances with every node-tail field and attributes with '=', '%', spaces and
// UTF-8, groups nested three deep. Its root mesh has a dead vertex and a dead face, face
// UVs, face extras, soft, hidden and seam edges, layers, guides, curves, notes and
// dimensions (one anchored to the dead face, one to a face that gets renumbered).
Document korv_rich_document();

// A short valid file: two triangles forming a square.
std::string korv_square_text();

}  // namespace korvan::test
