#pragma once

#include <filesystem>
#include <string>

namespace korvan {
class Document;
class Mesh;
}  // namespace korvan

// Writer of the native .korv model file. Writing is a pure function of the document: the
// same document always gives the same bytes, and reading a written file and writing it
// again gives the same bytes.

namespace korvan::io {

// The whole file as text. root_mesh, when given, is written in place of the root node's
// own mesh.
std::string format_document(const Document& doc, const Mesh* root_mesh = nullptr);

// Builds the whole file in memory, then writes it whole or not at all (platform's atomic
// writer): on failure the old file at path keeps its bytes and platform::last_write_error()
// says why.
bool write_document(const std::filesystem::path& path, const Document& doc,
                    const Mesh* root_mesh = nullptr);

}  // namespace korvan::io
