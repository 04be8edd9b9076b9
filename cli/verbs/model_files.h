#pragma once

#include "cli/verb_table.h"

namespace korvan::cli {

int run_new(const VerbCall& call);
// `stats` and `load`: the three-line model report.
int run_stats(const VerbCall& call);

}  // namespace korvan::cli
