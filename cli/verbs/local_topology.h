#pragma once

#include "cli/verb_table.h"

// The local topology operators on the root mesh. Each links the mesh first and reports
// linked=N, runs its command once and saves; a refusal names the reason and exits 1 with
// nothing written.

namespace korvan::cli {

int run_split_vertex(const VerbCall& call);
int run_weld_verts(const VerbCall& call);
int run_make_planar(const VerbCall& call);
int run_edge_split_welded(const VerbCall& call);
int run_edge_dissolve(const VerbCall& call);
int run_edge_collapse(const VerbCall& call);
int run_turn_edge(const VerbCall& call);

}  // namespace korvan::cli
