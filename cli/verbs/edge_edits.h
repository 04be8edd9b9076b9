#pragma once

#include "cli/verb_table.h"

// Edge edits of the root mesh: softening and hardening by angle, reversing every face,
// splitting an edge and erasing one. soften, harden and reverse-faces report on any model
// and write only when --out is given; edge-split and erase-edge always save.

namespace korvan::cli {

int run_soften(const VerbCall& call);
int run_harden(const VerbCall& call);
int run_reverse_faces(const VerbCall& call);
int run_edge_split(const VerbCall& call);
int run_erase_edge(const VerbCall& call);

}  // namespace korvan::cli
