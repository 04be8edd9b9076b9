#pragma once

#include <cstddef>
#include <string>

namespace korvan {
class Mesh;
}

namespace korvan::io::korv {

// Appends the mesh block, MESH to ENDMESH. Alive faces are renumbered 0, 1, 2 ... in id
// order, and everything in the block that names a face uses the new numbers; vertices keep
// their ids (dead ones are written too).
void append_mesh_block(std::string& out, const Mesh& mesh);

// A close upper estimate of the bytes the mesh's block takes, for reserving the buffer.
std::size_t mesh_block_estimate(const Mesh& mesh);

}  // namespace korvan::io::korv
