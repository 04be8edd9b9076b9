#pragma once

#include "cli/verb_table.h"

// Furniture work: boards emitted as closed solids and the joints cut into them (each through
// its undoable command; a refusal exits 2 with the mesh as it was found), and the nesting of
// cut lists onto sheets (read-only: a layout is a report, not geometry).

namespace korvan::cli {

int run_panel_emit(const VerbCall& call);
int run_panel_dowels(const VerbCall& call);
// `panel-tenon` and `panel-mortise` (the tenon with its length negated).
int run_panel_tenon(const VerbCall& call);
int run_panel_rabbet(const VerbCall& call);
int run_panel_rabbet_pair(const VerbCall& call);
int run_panel_groove(const VerbCall& call);

int run_nest_boards(const VerbCall& call);
int run_nest_sheet(const VerbCall& call);

}  // namespace korvan::cli
