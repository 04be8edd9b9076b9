#include "document/commands/local_topology_commands.h"

namespace korvan {

void SplitVertexCommand::apply(Mesh& mesh) {
    result_ = group_ ? split_vertex(mesh, vertex_, *group_) : unweld_vertex(mesh, vertex_);
}

}  // namespace korvan
