#pragma once

#include <filesystem>

#include "cli/verb_table.h"

namespace korvan {
class Document;
}

// glTF and DXF verbs: exports of the flattened scene, imports into a fresh model.

namespace korvan::cli {

int run_export_gltf(const VerbCall& call);
int run_export_dxf(const VerbCall& call);
int run_import_gltf(const VerbCall& call);
// import-dxf and import-dwg (a ".dwg" input picks the DWG reader).
int run_import_dxf(const VerbCall& call);

// The flattened scene as glTF (".glb" writes the binary container, anything else the JSON
// with a .bin beside it): what export-gltf writes, for the demo verbs that write a model's
// glTF beside its native file. False when nothing could be written; the scene may be empty.
bool write_model_gltf(const Document& doc, const std::filesystem::path& path);

}  // namespace korvan::cli
