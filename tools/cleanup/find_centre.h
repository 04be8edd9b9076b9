#pragma once

#include <optional>

#include "core/box.h"
#include "core/ids.h"
#include "core/vec3.h"

namespace korvan {

class Document;
class Mesh;
struct SceneNode;

// Centre of the box round the face's corners; none for an invalid or dead face.
std::optional<Vec3> face_box_centre(const Mesh& mesh, FaceId face);

// World box of everything the node shows: the alive vertices of its own mesh and of every
// node below it, instances' definition meshes included, each through its world transform.
// Empty when there is nothing, or when the node is not in the document's tree.
Aabb node_world_box(const Document& doc, const SceneNode& node);

}  // namespace korvan
