#pragma once

#include "cli/verb_table.h"

// Read-only queries of the root mesh: volume and naked edges, face selections by state,
// material, layer, box, area and direction, flood fills and neighbourhoods, edge loops and
// rings, quad strips, and sums over a face list. None writes; a missing or unusable seed is
// refused with exit 1.

namespace korvan::cli {

int run_mesh_volume(const VerbCall& call);
int run_mesh_naked_edges(const VerbCall& call);
// `faces-alive`, `faces-visible`, `faces-hidden` and its alias `faces-soft-hidden`.
int run_faces_by_state(const VerbCall& call);
int run_faces_mat(const VerbCall& call);
int run_faces_layer(const VerbCall& call);
int run_faces_aabb(const VerbCall& call);
int run_faces_coplanar(const VerbCall& call);
// `faces-connected` and `faces-adjacent`.
int run_faces_neighbours(const VerbCall& call);
int run_faces_shrink(const VerbCall& call);
int run_faces_grow(const VerbCall& call);
int run_faces_invert(const VerbCall& call);
int run_faces_boundary_edges(const VerbCall& call);
// `edge-loop` and `edge-ring`.
int run_edge_loop(const VerbCall& call);
// `face-loop` and `quad-loop`.
int run_face_loop(const VerbCall& call);
int run_vertex_adjacency(const VerbCall& call);
int run_quad_info(const VerbCall& call);
int run_faces_facing(const VerbCall& call);
// `faces-area`, `faces-centroid` and `faces-perimeter`.
int run_faces_sums(const VerbCall& call);
int run_faces_by_area(const VerbCall& call);
int run_faces_in_aabb(const VerbCall& call);

}  // namespace korvan::cli
