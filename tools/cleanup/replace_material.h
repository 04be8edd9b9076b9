#pragma once

#include <cstdint>
#include <memory>

#include "document/commands/command.h"

namespace korvan {

class Document;

struct MaterialReplacement {
    std::uint64_t faces = 0;   // faces repainted, over every mesh
    std::uint64_t meshes = 0;  // meshes that had such a face
    std::uint64_t nodes = 0;   // node paints changed
    bool any() const { return faces + nodes > 0; }
};

// The command that repaints with `to` every face and node painted `from` (library indices;
// -1 is the default), with what it will change in `counts`; null when nothing used `from`.
// The command is built, not run. "Replace Materials".
std::unique_ptr<Command> make_replace_material(Document& doc, std::int32_t from, std::int32_t to,
                                               MaterialReplacement& counts);

}  // namespace korvan
