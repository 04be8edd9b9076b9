#pragma once

#include "cli/verb_table.h"

// Checking and combining solids: the defect report of every mesh and the solid booleans.

namespace korvan::cli {

int run_mesh_check(const VerbCall& call);
int run_mesh_boolean(const VerbCall& call);

}  // namespace korvan::cli
