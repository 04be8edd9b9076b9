#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvan {
class Document;
class Mesh;
}  // namespace korvan

// Reader of the native .korv model file. Each load first resets its targets (a fresh
// document with empty tables, a fresh root mesh), then fills them; on failure they are left
// reset or partly filled and the caller discards them.
//
// The per-thread last-load-error text is written only by these functions: cleared when a
// load starts, set to the first failure message when it fails.

namespace korvan::io {

// What a load learnt besides the document itself.
struct KorvFileInfo {
    std::string header;               // the first line, e.g. "KORVAN 0.1"
    bool earlier_generation = false;  // the file starts "NERVA"
    std::uint64_t bytes = 0;          // size of the text as read
};

// Reads the file into doc, with the root mesh into root_mesh. root_mesh must not be
// doc.root().mesh (the reset replaces that node); the two-argument form puts it there.
bool load_document(const std::filesystem::path& path, Document& doc, KorvFileInfo& info,
                   Mesh& root_mesh);
// As above, also handing back the failure text (empty on success).
bool load_document(const std::filesystem::path& path, Document& doc, KorvFileInfo& info,
                   Mesh& root_mesh, std::string& error);
// Reads the file into doc with the root mesh as the root node's own mesh.
bool load_document(const std::filesystem::path& path, Document& doc);

// The same from text in memory (a whole file's bytes). The text is taken by value because
// line ends are normalised in place.
bool parse_document(std::string text, Document& doc, KorvFileInfo& info, Mesh& root_mesh);
bool parse_document(std::string text, Document& doc);

// The message of this thread's last failed load; empty after a successful one.
const std::string& last_load_error();

}  // namespace korvan::io
