#pragma once

#include "cli/verb_table.h"

// Edits of a face list of the root mesh (erase, hide, paint, move, mirror, copies), whole-mesh
// clean-ups (weld, stitch, fill, repair, triangulate, merge) and the two edits that reach into
// the scene graph (grouping faces, mirroring nodes). Each prints one sentence and saves; a
// refusal prints the verb's reason and exits 1 without writing.

namespace korvan::cli {

int run_faces_erase(const VerbCall& call);
// `faces-hide` and `faces-show`.
int run_faces_visibility(const VerbCall& call);
int run_faces_paint(const VerbCall& call);
int run_faces_set_layer(const VerbCall& call);
int run_faces_reverse(const VerbCall& call);
int run_join_faces(const VerbCall& call);
int run_faces_flatten(const VerbCall& call);
int run_faces_mirror(const VerbCall& call);
int run_faces_scale(const VerbCall& call);
int run_faces_scale_frame(const VerbCall& call);
int run_faces_translate(const VerbCall& call);
int run_faces_rotate(const VerbCall& call);
int run_faces_array(const VerbCall& call);
int run_faces_duplicate(const VerbCall& call);
int run_mesh_triangulate(const VerbCall& call);
int run_weld_vertices(const VerbCall& call);
int run_mesh_stitch_edges(const VerbCall& call);
int run_mesh_fill_holes(const VerbCall& call);
int run_mesh_union_pairs(const VerbCall& call);
int run_mesh_repair(const VerbCall& call);
int run_mesh_merge(const VerbCall& call);
int run_unhide_all(const VerbCall& call);
int run_make_group(const VerbCall& call);
int run_mirror_node(const VerbCall& call);
int run_mirror_selection(const VerbCall& call);

}  // namespace korvan::cli
