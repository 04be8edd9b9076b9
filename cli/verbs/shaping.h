#pragma once

#include "cli/verb_table.h"

// Shaping and stairs: global deformations of a face selection, the soft move of handle
// vertices, and the stair generator.

namespace korvan::cli {

int run_deform(const VerbCall& call);
int run_soft_move(const VerbCall& call);
int run_gen_stair(const VerbCall& call);

}  // namespace korvan::cli
