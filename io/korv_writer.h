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

// Builds the whole file in memory, then writes it to path in one call; no temporary file.
// True only when the file opened, every byte was written and it closed without error. A
// failed write removes what it left, so the path never holds part of a model.
bool write_document(const std::filesystem::path& path, const Document& doc,
                    const Mesh* root_mesh = nullptr);

}  // namespace korvan::io
