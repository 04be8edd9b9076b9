#pragma once

#include "cli/verb_table.h"

namespace korvan::cli {

// curves / list-curves: the curve slots of the root mesh.
int run_curves(const VerbCall& call);
int run_add_curve(const VerbCall& call);
// guides / list-guides.
int run_guides(const VerbCall& call);
// dims / list-dims.
int run_dims(const VerbCall& call);
int run_add_guide(const VerbCall& call);
int run_add_dim(const VerbCall& call);
int run_dim_chain(const VerbCall& call);
int run_dim_auto(const VerbCall& call);
int run_dim_reanchor(const VerbCall& call);
// clear-guides, clear-dims and clear-dimensions.
int run_clear_annotations(const VerbCall& call);
// labels / list-labels, with --add and --delete.
int run_labels(const VerbCall& call);

}  // namespace korvan::cli
