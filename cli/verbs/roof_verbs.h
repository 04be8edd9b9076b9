#pragma once

#include "cli/verb_table.h"

// The roof generators over --roof-plan (or the stock townhouse footprint). Each prints one
// report line; a refusal prints the reason and exits 2 with nothing written.

namespace korvan::cli {

int run_flat_roof(const VerbCall& call);
int run_pitched_roof(const VerbCall& call);
int run_skeleton_roof(const VerbCall& call);

}  // namespace korvan::cli
