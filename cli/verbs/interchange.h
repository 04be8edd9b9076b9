#pragma once

#include <cstdint>
#include <filesystem>

#include "cli/verb_table.h"
#include "document/document.h"

namespace korvan::cli {

// export-obj, export-stl and export-ply: the flattened model into one file.
int run_export_mesh(const VerbCall& call);
int run_faces_export_obj(const VerbCall& call);
// import-obj (which hands .dae files to the COLLADA reader), import-dae, import-stl,
// import-ply and import-skp.
int run_import_mesh(const VerbCall& call);
int run_import_korvan(const VerbCall& call);

// Writes the flattened model (flatten_world) as OBJ, creating the parent folders; the face
// count goes to *faces. False on a failed write (platform::write_error_suffix() has why).
bool export_document_obj(const Document& doc, const std::filesystem::path& path,
                         std::uint64_t* faces = nullptr);

}  // namespace korvan::cli
