#pragma once

#include "cli/verb_table.h"

// Site planning over the root mesh's curves as contours: the gate, the end joiner and the
// terraces. A refusal is exit 2 with nothing written; without --out the edits are dry runs.

namespace korvan::cli {

int run_contour_check(const VerbCall& call);
int run_contour_join(const VerbCall& call);
int run_terrain_extrude(const VerbCall& call);

}  // namespace korvan::cli
