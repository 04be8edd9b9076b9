#include "cli/verbs/mesh_queries.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "core/mesh_loops.h"

// Report lines. The first line holds the numbers, the lines after it one id list each
// ("faces=3,7,9"; an empty list prints as "faces="), so a script reads counts without
// parsing lists. Counts are integers, other numbers six significant digits, points X,Y,Z
// without brackets:
//   mesh-volume                 volume=F
//   mesh-naked-edges            naked_edges=N
//   faces-alive/-visible/-hidden/-soft-hidden   count=N / faces=
//   faces-mat, faces-layer      count=N mat=M area=F (layer=L) / faces=
//   faces-aabb                  ok=1 count=N min=X,Y,Z max=X,Y,Z, or ok=0 count=N
//   faces-coplanar              count=N seed=S linked=N / faces=
//   faces-connected, -adjacent  count=N seed=S linked=N / faces=
//   faces-shrink                count=N selected=N linked=N / faces=
//   faces-grow                  count=N selected=N welded=N linked=N / faces=
//   faces-invert                count=N selected=N / faces=
//   faces-boundary-edges        count=N perimeter=F linked=N / edges=   (count: outline edges)
//   edge-loop, edge-ring        linked=N seed=E count=N / edges=
//   face-loop, quad-loop        linked=N edge=E face=F count=N / faces=
//   vertex-adjacency            vertex=V valence=N linked=N / faces= / edges= / half_edges=
//   quad-info                   face=F quad=1 kind=four-sided corners=A,B,C,D diagonal=A,C
//                               diagonal_length=F linked=N; a triangle pair adds
//                               partner=G soft_edge=E after kind; not a quad: face=F quad=0
//                               sides=N linked=N
//   faces-facing                count=N angle=F / faces=
//   faces-area                  count=N area=F
//   faces-centroid              count=N centroid=X,Y,Z (or centroid=none)
//   faces-perimeter             count=N perimeter=F linked=N
//   faces-by-area               count=N min=F max=F / faces=
//   faces-in-aabb               count=N / faces=
// "selected" and the "count" of the face-list sums are the distinct alive listed faces.
// Adjacency exists only through twins, and a face made by an edit is an island until its
// sides are paired, so every verb that walks neighbours links shared edges first and says how
// many pairs it joined (faces-grow welds coincident corners before that). Linking retires one
// edge of each pair; a seed edge that went that way is followed to the edge that kept its
// side, and the report names the edge actually used.

namespace korvan::cli {
namespace {

void append_key(std::string& out, std::string_view key, std::uint64_t value) {
    out.append(key).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

void append_key(std::string& out, std::string_view key, double value) {
    out.append(key).append("=");
    append_float(out, value);
}

void append_xyz(std::string& out, const Vec3& v) {
    append_float(out, v.x);
    out += ',';
    append_float(out, v.y);
    out += ',';
    append_float(out, v.z);
}

// "key=3,7,9" (just "key=" for an empty list).
void append_id_list(std::string& out, std::string_view key, std::span<const std::uint32_t> ids) {
    out.append(key).append("=");
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) out += ',';
        append_int(out, ids[i]);
    }
}

// An id list on a line of its own.
void append_ids(std::string& out, std::string_view key, std::span<const std::uint32_t> ids) {
    append_id_list(out, key, ids);
    out += '\n';
}

// "<verb>: <what> <id> <why>".
int refuse_id(const VerbCall& call, std::string_view what, std::uint32_t id, std::string_view why) {
    std::string reason(what);
    reason += ' ';
    append_int(reason, id);
    reason.append(" ").append(why);
    return refuse(call, reason);
}

// Loads the model and runs query(mesh) on its root mesh, which the query may link or weld
// freely: the document is dropped unsaved. Returns the query's exit code.
template <class Query>
int on_root_mesh(const VerbCall& call, Query&& query) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    return query(doc->root().mesh);
}

// The edge that now carries the side `edge` had: linking (ours, or the reader's when it joined
// the file's faces) retires the second edge of each pair and hands its half-edges to the
// first. `side` is edge's half-edge, taken before any link this run makes.
EdgeId followed_edge(const Mesh& mesh, EdgeId edge, HalfEdgeId side) {
    if (mesh.edge_usable(edge) || side >= mesh.half_edges().size()) return edge;
    const EdgeId kept = mesh.half_edges()[side].edge;
    return mesh.edge_usable(kept) ? kept : edge;
}

// Links shared edges and returns the pair count, keeping `edge` (when given) pointed at the
// edge that carries its side afterwards.
std::uint64_t link_keeping(Mesh& mesh, EdgeId* edge = nullptr) {
    HalfEdgeId side = kInvalidId;
    if (edge != nullptr && *edge < mesh.edges().size()) side = mesh.edges()[*edge].half_edge;
    const std::uint64_t linked = mesh.link_shared_edges();
    if (edge != nullptr) *edge = followed_edge(mesh, *edge, side);
    return linked;
}

// "count=N<extra>" then "faces=", the common shape of a face-list answer.
int print_face_list(const std::vector<FaceId>& faces, std::string_view extra = {}) {
    std::string out;
    append_key(out, "count", faces.size());
    out.append(extra).append("\n");
    append_ids(out, "faces", faces);
    write_out(out);
    return kExitOk;
}

}  // namespace

int run_mesh_volume(const VerbCall& call) {
    return on_root_mesh(call, [](Mesh& mesh) {
        std::string out;
        append_key(out, "volume", mesh.compute_volume());
        write_out(out + "\n");
        return kExitOk;
    });
}

int run_mesh_naked_edges(const VerbCall& call) {
    return on_root_mesh(call, [](Mesh& mesh) {
        std::string out;
        append_key(out, "naked_edges", mesh.naked_edge_count());
        write_out(out + "\n");
        return kExitOk;
    });
}

int run_faces_by_state(const VerbCall& call) {
    return on_root_mesh(call, [&](Mesh& mesh) {
        if (call.verb == "faces-visible") return print_face_list(mesh.visible_faces());
        if (call.verb == "faces-alive") return print_face_list(mesh.alive_faces());
        return print_face_list(mesh.soft_hidden_faces());
    });
}

namespace {

// faces-mat and faces-layer: the faces carrying one id, the id and their area.
template <class Select>
int faces_with_id(const VerbCall& call, const Given<std::uint32_t>& id, std::string_view key,
                  Select&& select) {
    if (!id.given) {
        return refuse(call, key == "mat" ? "--mat M is required" : "--layer L is required");
    }
    return on_root_mesh(call, [&](Mesh& mesh) {
        const std::vector<FaceId> faces = select(mesh, id.value);
        std::string extra(" ");
        append_key(extra, key, std::uint64_t{id.value});
        append_key(extra, " area", mesh.area_of_faces(faces));
        return print_face_list(faces, extra);
    });
}

}  // namespace

int run_faces_mat(const VerbCall& call) {
    return faces_with_id(call, call.options.mat, "mat", [](const Mesh& mesh, std::uint32_t mat) {
        return mesh.faces_with_material(mat);
    });
}

int run_faces_layer(const VerbCall& call) {
    return faces_with_id(
        call, call.options.layer, "layer",
        [](const Mesh& mesh, std::uint32_t layer) { return mesh.faces_with_layer(layer); });
}

int run_faces_aabb(const VerbCall& call) {
    const Options& o = call.options;
    const int filters = (o.faces.empty() ? 0 : 1) + (o.mat.given ? 1 : 0) + (o.layer.given ? 1 : 0);
    if (filters > 1) return refuse(call, "--faces, --mat and --layer exclude each other");
    return on_root_mesh(call, [&](Mesh& mesh) {
        std::vector<FaceId> faces;
        if (!o.faces.empty()) {
            faces = distinct_alive_faces(mesh, o.faces);
        } else if (o.mat.given) {
            faces = mesh.faces_with_material(o.mat.value);
        } else if (o.layer.given) {
            faces = mesh.faces_with_layer(o.layer.value);
        } else {
            faces = mesh.alive_faces();
        }
        const std::optional<Aabb> box = mesh.compute_aabb_of_faces(faces);
        std::string out = box ? "ok=1 " : "ok=0 ";
        append_key(out, "count", faces.size());
        if (box) {
            out += " min=";
            append_xyz(out, box->min);
            out += " max=";
            append_xyz(out, box->max);
        }
        write_out(out + "\n");
        return kExitOk;
    });
}

int run_faces_coplanar(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given) return refuse(call, "--face F is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        if (!mesh.face_usable(o.face.value)) {
            return refuse_id(call, "face", o.face.value, "is invalid or dead");
        }
        const std::uint64_t linked = link_keeping(mesh);
        std::string extra;
        append_key(extra, " seed", std::uint64_t{o.face.value});
        append_key(extra, " linked", linked);
        return print_face_list(mesh.coplanar_faces(o.face.value, o.eps), extra);
    });
}

int run_faces_neighbours(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given) return refuse(call, "--face F is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        if (!mesh.face_usable(o.face.value)) {
            return refuse_id(call, "face", o.face.value, "is invalid or dead");
        }
        const std::uint64_t linked = link_keeping(mesh);
        std::string extra;
        append_key(extra, " seed", std::uint64_t{o.face.value});
        append_key(extra, " linked", linked);
        return print_face_list(call.verb == "faces-adjacent" ? mesh.adjacent_faces(o.face.value)
                                                             : mesh.connected_faces(o.face.value),
                               extra);
    });
}

int run_faces_shrink(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces N0,N1,... is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        const std::uint64_t linked = link_keeping(mesh);
        std::string extra;
        append_key(extra, " selected", distinct_alive_faces(mesh, o.faces).size());
        append_key(extra, " linked", linked);
        return print_face_list(mesh.shrink_faces(o.faces), extra);
    });
}

int run_faces_grow(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces N0,N1,... is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        // Faces drawn separately meet only at coincident corners; welding makes those one
        // vertex so the link can pair the sides.
        const std::uint64_t welded = mesh.weld_vertices(o.tolerance);
        const std::uint64_t linked = link_keeping(mesh);
        std::string extra;
        append_key(extra, " selected", distinct_alive_faces(mesh, o.faces).size());
        append_key(extra, " welded", welded);
        append_key(extra, " linked", linked);
        return print_face_list(mesh.grow_faces(o.faces), extra);
    });
}

int run_faces_invert(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces N0,N1,... is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        std::string extra;
        append_key(extra, " selected", distinct_alive_faces(mesh, o.faces).size());
        return print_face_list(mesh.invert_face_selection(o.faces), extra);
    });
}

int run_faces_boundary_edges(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces N0,N1,... is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        const std::uint64_t linked = link_keeping(mesh);
        const std::vector<EdgeId> edges = mesh.boundary_edges_of_faces(o.faces);
        std::string out;
        append_key(out, "count", edges.size());
        append_key(out, " perimeter", mesh.perimeter_of_faces(o.faces));
        append_key(out, " linked", linked);
        out += '\n';
        append_ids(out, "edges", edges);
        write_out(out);
        return kExitOk;
    });
}

int run_edge_loop(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        EdgeId seed = o.edge.value;
        const std::uint64_t linked = link_keeping(mesh, &seed);
        const std::vector<EdgeId> edges =
            call.verb == "edge-ring" ? mesh.edge_ring(seed) : mesh.edge_loop(seed);
        if (edges.empty()) {
            return refuse_id(call, "edge", o.edge.value, "is invalid or dead or has no alive face");
        }
        std::string out;
        append_key(out, "linked", linked);
        append_key(out, " seed", std::uint64_t{seed});
        append_key(out, " count", edges.size());
        out += '\n';
        append_ids(out, "edges", edges);
        write_out(out);
        return kExitOk;
    });
}

int run_face_loop(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        EdgeId edge = o.edge.value;
        const std::uint64_t linked = link_keeping(mesh, &edge);
        FaceId face = o.face.given ? o.face.value : kInvalidId;
        if (!o.face.given) {
            const std::vector<FaceId> on_edge = mesh.edge_faces(edge);
            if (!on_edge.empty()) face = on_edge.front();
        }
        const std::vector<FaceId> faces = call.verb == "quad-loop"
                                              ? quad_loop_faces(mesh, face, edge)
                                              : mesh.face_loop(face, edge);
        if (faces.empty()) {
            const bool quads = call.verb == "quad-loop";
            if (!o.face.given) {
                return refuse_id(call, "edge", o.edge.value,
                                 quads ? "is invalid or dead, has no alive face, or is a diagonal"
                                       : "is invalid or dead or has no alive face");
            }
            std::string reason = "edge ";
            append_int(reason, o.edge.value);
            reason += quads ? " is invalid or dead, not on face "
                            : " is invalid or dead, or not on face ";
            append_int(reason, o.face.value);
            if (quads) reason += ", or its diagonal";
            return refuse(call, reason);
        }
        std::string out;
        append_key(out, "linked", linked);
        append_key(out, " edge", std::uint64_t{edge});
        append_key(out, " face", std::uint64_t{face});
        append_key(out, " count", faces.size());
        out += '\n';
        append_ids(out, "faces", faces);
        write_out(out);
        return kExitOk;
    });
}

int run_vertex_adjacency(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.vertex.given) return refuse(call, "--vertex V is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        const VertexId v = o.vertex.value;
        if (!mesh.vertex_usable(v)) return refuse_id(call, "vertex", v, "is invalid or dead");
        const std::uint64_t linked = link_keeping(mesh);
        const std::vector<EdgeId> edges = mesh.vertex_edges(v);
        std::string out;
        append_key(out, "vertex", std::uint64_t{v});
        append_key(out, " valence", edges.size());
        append_key(out, " linked", linked);
        out += '\n';
        append_ids(out, "faces", mesh.vertex_faces(v));
        append_ids(out, "edges", edges);
        append_ids(out, "half_edges", mesh.vertex_half_edges(v));
        write_out(out);
        return kExitOk;
    });
}

int run_quad_info(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given) return refuse(call, "--face F is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        const FaceId face = o.face.value;
        if (!mesh.face_usable(face)) return refuse_id(call, "face", face, "is invalid or dead");
        // A triangle pair is found across its soft edge, which needs the twins.
        const std::uint64_t linked = link_keeping(mesh);
        const QuadCell cell = quad_at(mesh, face);
        std::string out;
        append_key(out, "face", std::uint64_t{face});
        if (cell.kind == QuadKind::kNone) {
            append_key(out, " quad", std::uint64_t{0});
            append_key(out, " sides", mesh.face_degree(face));
        } else {
            append_key(out, " quad", std::uint64_t{1});
            if (cell.kind == QuadKind::kFourSided) {
                out += " kind=four-sided";
            } else {
                out += " kind=triangle-pair";
                append_key(out, " partner", std::uint64_t{cell.partner});
                append_key(out, " soft_edge", std::uint64_t{cell.diagonal});
            }
            append_id_list(out, " corners", cell.corners);
            const std::array<VertexId, 2> diagonal = quad_diagonal(mesh, cell);
            append_id_list(out, " diagonal", diagonal);
            // A ring may name a vertex the file never defined; such a diagonal has no length.
            const std::span<const Vertex> vs = mesh.vertices();
            double diagonal_length = 0.0;
            if (diagonal[0] < vs.size() && diagonal[1] < vs.size()) {
                diagonal_length = length(vs[diagonal[1]].position - vs[diagonal[0]].position);
            }
            append_key(out, " diagonal_length", diagonal_length);
        }
        append_key(out, " linked", linked);
        write_out(out + "\n");
        return kExitOk;
    });
}

int run_faces_facing(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.vector.given) return refuse(call, "--vector X,Y,Z is required");
    const float angle = o.angle.given ? o.angle.value : kFacingConeDeg;
    const Vec3 dir{o.vector.value[0], o.vector.value[1], o.vector.value[2]};
    return on_root_mesh(call, [&](Mesh& mesh) {
        std::string extra;
        append_key(extra, " angle", angle);
        return print_face_list(mesh.faces_facing(dir, angle), extra);
    });
}

int run_faces_sums(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces N0,N1,... is required");
    return on_root_mesh(call, [&](Mesh& mesh) {
        std::string out;
        if (call.verb == "faces-perimeter") {
            // The outline depends on which sides are shared, so pair them first.
            const std::uint64_t linked = link_keeping(mesh);
            append_key(out, "count", distinct_alive_faces(mesh, o.faces).size());
            append_key(out, " perimeter", mesh.perimeter_of_faces(o.faces));
            append_key(out, " linked", linked);
        } else {
            append_key(out, "count", distinct_alive_faces(mesh, o.faces).size());
            if (call.verb == "faces-area") {
                append_key(out, " area", mesh.area_of_faces(o.faces));
            } else if (const std::optional<Vec3> c = mesh.centroid_of_faces(o.faces)) {
                out += " centroid=";
                append_xyz(out, *c);
            } else {
                out += " centroid=none";
            }
        }
        write_out(out + "\n");
        return kExitOk;
    });
}

int run_faces_by_area(const VerbCall& call) {
    const Options& o = call.options;
    const float lo = o.min_area.given ? o.min_area.value : 0.0f;
    const float hi = o.max_area.given ? o.max_area.value : kMaxFaceArea;
    return on_root_mesh(call, [&](Mesh& mesh) {
        std::string extra;
        append_key(extra, " min", lo);
        append_key(extra, " max", hi);
        return print_face_list(mesh.faces_with_area_between(lo, hi), extra);
    });
}

int run_faces_in_aabb(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.min.given || !o.max.given)
        return refuse(call, "--min X,Y,Z and --max X,Y,Z are required");
    Aabb box;
    box.min = {o.min.value[0], o.min.value[1], o.min.value[2]};
    box.max = {o.max.value[0], o.max.value[1], o.max.value[2]};
    return on_root_mesh(call,
                        [&](Mesh& mesh) { return print_face_list(mesh.faces_within_aabb(box)); });
}

}  // namespace korvan::cli
