#pragma once

#include <filesystem>

namespace korvan {
class Document;
}

// COLLADA (.dae) models in. The file is read by the assimp library; its node hierarchy
// becomes groups with the nodes' transforms, each group holding its nodes' meshes (welded
// and linked), and its materials are appended to the document's list by name and diffuse
// colour. Y-up files are turned to this program's +Z up; unit sizes are applied.

namespace korvan::io {

// Adds the file's model under doc's root. False, with last_import_error() saying why
// (io/mesh_import.h), when the file cannot be read or holds no face.
bool import_collada(const std::filesystem::path& path, Document& doc);

}  // namespace korvan::io
