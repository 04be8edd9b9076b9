#pragma once

#include <string_view>

#include "cli/verb_table.h"
#include "core/mesh.h"
#include "document/document.h"

// The end every import verb shares: the imported model becomes a new native file and a beauty
// image in the --out folder, and the verb prints one line. Readers fill a document from
// new_import_document() (or hand over a single mesh) and call finish_import; a reader that
// failed calls report_import_failure.

namespace korvan::cli {

// A fresh document with the built-in material library, for a reader to add to.
Document new_import_document();

// Creates the --out folder, adds the scene "Main" framing the model, writes
// folder/import.korv and the 1280 x 720 beauty image folder/import_beauty.bmp, and prints
// "Wrote <format> import (.korv + beauty) to <folder>  faces=N". On a failed write prints
// "Failed to write " and the path and returns 1.
int finish_import(const VerbCall& call, Document doc, std::string_view format);
// The same with `mesh` (already welded and linked) as the root's geometry.
int finish_import(const VerbCall& call, Document doc, Mesh mesh, std::string_view format);

// "Failed to import <format> <--in path>: <cause>" on standard error; returns 1.
int report_import_failure(const VerbCall& call, std::string_view format, std::string_view cause);

}  // namespace korvan::cli
