// Replacing a material.
//
// Faces and nodes name materials differently: a face always holds a library index, index 0
// being the default paint of new faces, while a node holds -1 when it is unpainted and its
// faces show their own materials. "-1, the default" therefore means material 0 on faces and
// "unpainted" on nodes, both as the material replaced and as the replacement. Every mesh of
// the document is visited -- the root's, every group's and instance's own, and every
// definition's -- and every node's paint. An unpainted node is never painted: the faces it
// shows as "default" are material-0 faces, which are repainted themselves. Nothing else changes: the library keeps every
// entry, so the replaced material stays available (a purge removes it once unused).
#include "tools/cleanup/replace_material.h"

#include <string>
#include <utility>
#include <vector>

#include "document/commands/node_commands.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

constexpr const char* kLabel = "Replace Materials";

std::uint32_t face_material(std::int32_t material) {
    return material < 0 ? 0u : static_cast<std::uint32_t>(material);
}

}  // namespace

std::unique_ptr<Command> make_replace_material(Document& doc, std::int32_t from, std::int32_t to,
                                               MaterialReplacement& counts) {
    counts = {};
    auto command = std::make_unique<CompoundCommand>(kLabel);
    const std::uint32_t face_from = face_material(from), face_to = face_material(to);
    const std::int32_t node_from = from < 0 ? -1 : from, node_to = to < 0 ? -1 : to;
    auto repaint = [&](const Mesh& mesh, MeshLocator where) {
        if (face_from == face_to || mesh.faces_with_material(face_from).empty()) return;
        Mesh after = mesh;
        counts.faces += after.replace_material_id(face_from, face_to);
        ++counts.meshes;
        command->add(std::make_unique<MeshEditStep>(doc, std::move(where), kLabel, mesh,
                                                    std::move(after)));
    };
    walk_nodes(doc.root(), [&](SceneNode& n, std::size_t) {
        repaint(n.mesh, MeshLocator::of_node(&n));
        if (node_from >= 0 && n.material == node_from && node_from != node_to) {
            command->add(std::make_unique<SetNodeMaterialCommand>(doc, &n, node_to));
            ++counts.nodes;
        }
        return true;
    });
    for (const ComponentDefinition& d : doc.definitions()) {
        repaint(d.mesh, MeshLocator::of_definition(d.id));
    }
    if (!counts.any()) return nullptr;
    return command;
}

}  // namespace korvan
