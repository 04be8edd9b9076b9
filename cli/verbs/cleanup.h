#pragma once

#include "cli/verb_table.h"

// Clean-up tools: each edit is one undoable command over the meshes it touches; exit 2 means
// there was nothing to do and nothing was written.

namespace korvan::cli {

int run_remove_lines(const VerbCall& call);
int run_find_name(const VerbCall& call);
int run_clear_textures(const VerbCall& call);
int run_replace_material(const VerbCall& call);
int run_circle_centre(const VerbCall& call);
int run_find_centre(const VerbCall& call);

}  // namespace korvan::cli
