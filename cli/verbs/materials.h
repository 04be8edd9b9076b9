#pragma once

#include "cli/verb_table.h"

namespace korvan::cli {

// Materials and layers of the root mesh (materials.cpp).
// `materials` and `list-mats`.
int run_materials(const VerbCall& call);
int run_mat_uv(const VerbCall& call);
int run_uv_bake(const VerbCall& call);
// `reassign-mat` and `reassign-layer`.
int run_reassign(const VerbCall& call);
int run_paint_layer(const VerbCall& call);
int run_assign_mat_layer(const VerbCall& call);
// `hide-mat`, `show-mat`, `hide-layer-faces` and `show-layer-faces`.
int run_face_visibility(const VerbCall& call);
// `layers` and `list-layers`.
int run_layers(const VerbCall& call);

}  // namespace korvan::cli
