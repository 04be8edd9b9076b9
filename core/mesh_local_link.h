#pragma once

#include <cstdint>
#include <span>

#include "core/ids.h"

namespace korvan {

class Mesh;

// Pairs each naked side of the given faces with a naked side running the other way between
// the same two vertex ids, on one of these faces or on any face using their vertices. Edits
// that rebuild a few faces as islands call it so the rest of the mesh is not rescanned the way
// Mesh::link_shared_edges would. Dead and invalid ids are skipped. Returns the pairs made.
std::uint64_t link_faces_locally(Mesh& mesh, std::span<const FaceId> faces);

}  // namespace korvan
