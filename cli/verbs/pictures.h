#pragma once

#include <filesystem>
#include <string_view>

#include "cli/verb_table.h"
#include "document/document.h"

namespace korvan::cli {

// still and export-bmp: one beauty image of the model.
int run_still(const VerbCall& call);
// present and presentation: a beauty image per scene and their contact sheet.
int run_present(const VerbCall& call);
// render: one still of --input lit by a lighting preset's sun.
int run_render(const VerbCall& call);
// import-image: a picture laid on the ground as one textured rectangle.
int run_import_image(const VerbCall& call);

// Writes the document's beauty image (the first scene's camera, 800 x 450) to path with a
// progress line labelled by the verb. False after printing "Failed to write " and the path.
bool write_model_beauty(std::string_view verb, const Document& doc,
                        const std::filesystem::path& path);

}  // namespace korvan::cli
