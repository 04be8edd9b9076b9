#pragma once

#include "cli/verb_table.h"

// Plan drawing verbs: the section plan with its report and drawings.

namespace korvan::cli {

int run_plan(const VerbCall& call);
int run_plan_draft(const VerbCall& call);
int run_ortho_set(const VerbCall& call);

}  // namespace korvan::cli
