#pragma once

#include "cli/verb_table.h"

// Face and mesh edits of the root mesh: push/pull, extrusion, offset and inset, plane cuts,
// knife cuts, openings through walls, sweeps, and the primitive creators. Each prints one sentence
// and saves; a refusal prints the verb's reason and exits 1 without writing.

namespace korvan::cli {

int run_face_pushpull(const VerbCall& call);
// `face-extrude` and `faces-extrude`.
int run_face_extrude(const VerbCall& call);
int run_face_inset(const VerbCall& call);
int run_face_offset(const VerbCall& call);
int run_face_split_plane(const VerbCall& call);
int run_face_split_edge(const VerbCall& call);
int run_mesh_split_plane(const VerbCall& call);
int run_mesh_slice(const VerbCall& call);
int run_mesh_slice_cap(const VerbCall& call);
int run_mesh_knife(const VerbCall& call);
int run_face_sweep(const VerbCall& call);
// `cut-door` and `cut-window`.
int run_cut_opening(const VerbCall& call);
int run_add_ngon(const VerbCall& call);
int run_create_rect(const VerbCall& call);
int run_create_circle(const VerbCall& call);
int run_create_arc(const VerbCall& call);
int run_create_line(const VerbCall& call);

}  // namespace korvan::cli
