#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvan {

class Document;
class MaterialLibrary;

enum class PurgeKind : std::uint8_t { kTag = 0, kDefinition = 1, kMaterial = 2 };

// "tag", "definition" or "material".
const char* purge_kind_name(PurgeKind kind);

struct PurgeEntry {
    PurgeKind kind = PurgeKind::kTag;
    std::int64_t index = 0;  // tag index, definition position or material index
    std::string name;
    std::string id;                         // definitions only
    std::uint64_t faces = 0, vertices = 0;  // a definition's alive faces and vertices
    // Text labels that still carry an unused tag: deleting the tag would untag them.
    std::uint64_t labels = 0;
};

// What a model carries but does not use. Tags and definitions are unused by the document's
// own tests (no node carries the tag; no instance shows the definition), so the report never
// disagrees with the delete verbs. Materials count face uses only, over every mesh.
struct PurgeReport {
    std::uint64_t tags_unused = 0, tags_total = 0;
    std::uint64_t definitions_unused = 0, definitions_total = 0;
    std::uint64_t materials_unused = 0, materials_total = 0;
    bool materials_examined = false;
    std::uint64_t meshes_scanned = 0;  // meshes whose faces were counted for materials
    std::uint64_t free_faces = 0, free_vertices = 0;  // of the unused definitions
    std::uint64_t empty_nodes = 0;                    // nodes below the root that hold nothing
    std::uint64_t faces_out_of_range = 0;  // alive faces with a material id past the library
    // Unused tags in index order, then definitions in list order, then materials.
    std::vector<PurgeEntry> entries;
};

// Read-only. Materials are examined only when a library is given: the root mesh, every
// node's own mesh (visible or not) and every definition's mesh are scanned, so a material
// used only inside a definition is used.
PurgeReport build_purge_report(const Document& doc, const MaterialLibrary* library);

}  // namespace korvan
