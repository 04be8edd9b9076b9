#include "cli/verbs/shaping.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/sample_verbs.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "tools/deform.h"
#include "tools/soft_move.h"
#include "tools/stair.h"

// Reports:
//   deform     <Kind>: moved N vertices of M faces (amount=A extent=L origin=(x,y,z)
//              axis=(x,y,z)), saved to "PATH"
//   soft-move  soft-move handles=N delta=(x,y,z) radius=R curve=C metric=M, then the field
//              line, the move line and the warnings, each indented by two spaces
//   gen-stair  risers N x R m, goings Q x G m / 2R+G S m, developed run L m, footprint A x B m
//              / landing after riser K, depth D m (landing stairs), then the written model and
//              "<F> faces, <N> naked edges"

namespace korvan::cli {
namespace {

korvan::DeformKind kernel_kind(DeformKind kind) {
    return static_cast<korvan::DeformKind>(static_cast<std::uint32_t>(kind));
}

void append_vec(std::string& out, const Vec3& v) { append_vec3(out, v.x, v.y, v.z); }

const char* curve_word(SoftMoveCurve curve) {
    switch (curve) {
        case SoftMoveCurve::kLinear: return "linear";
        case SoftMoveCurve::kSmooth: return "smooth";
        case SoftMoveCurve::kSharp: return "sharp";
        case SoftMoveCurve::kConstant: return "constant";
    }
    return "smooth";
}

void append_count(std::string& out, const char* key, std::uint64_t n) {
    out.append(key);
    append_int(out, static_cast<std::int64_t>(n));
}

}  // namespace

int run_deform(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.kind.given) return refuse_missing(call, "--kind");
    if (!o.amount.given) return refuse_missing(call, "--amount");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;
    const korvan::DeformKind kind = kernel_kind(o.kind.value);
    const std::vector<FaceId> faces =
        o.faces.empty() ? mesh.alive_faces() : distinct_alive_faces(mesh, o.faces);
    const std::optional<DeformFrameRequest> fitted = fit_deform_frame(mesh, faces, kind);
    if (faces.empty() || !fitted) {
        return refuse(call, "the selection has no bounding box to fit a frame to");
    }
    DeformParams params;
    params.kind = kind;
    params.amount = o.amount.value;
    params.clamp = !o.no_clamp;
    params.frame = *fitted;
    if (o.deform_axis.given) params.frame.axis = to_vec3(o.deform_axis.value);
    if (o.up.given) params.frame.up = to_vec3(o.up.value);
    if (o.origin.given) params.frame.origin = to_vec3(o.origin.value);
    if (o.extent.given) params.frame.extent = o.extent.value;
    const std::uint64_t moved = deform_faces(mesh, faces, params);

    std::string report = deform_kind_name(kind);
    report += ": moved ";
    append_int(report, static_cast<std::int64_t>(moved));
    report += moved == 1 ? " vertex" : " vertices";
    report += " of ";
    append_int(report, static_cast<std::int64_t>(faces.size()));
    report += faces.size() == 1 ? " face" : " faces";
    report += " (amount=";
    append_float(report, params.amount);
    report += " extent=";
    append_float(report, params.frame.extent);
    report += " origin=";
    append_vec(report, params.frame.origin);
    report += " axis=";
    append_vec(report, params.frame.axis);
    report += ")";
    return finish_edit(call, *doc, std::move(report));
}

int run_soft_move(const VerbCall& call) {
    const Options& o = call.options;
    if (o.verts.empty() && o.faces.empty()) {
        return refuse(call,
                      "no handles -- give --verts N0,N1,... or --faces N0,N1,... (a soft move over "
                      "EVERY vertex is a translate, not a drag)");
    }
    if (!o.soft_delta.given) return refuse_missing(call, "--soft-delta X,Y,Z");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;

    std::vector<VertexId> handles;
    if (!o.verts.empty()) {
        handles.assign(o.verts.begin(), o.verts.end());
    } else {
        for (const FaceId f : distinct_alive_faces(mesh, o.faces)) {
            for (const VertexId v : mesh.face_vertices(f)) handles.push_back(v);
        }
    }
    std::vector<VertexId> distinct = handles;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    SoftMoveOptions options;
    options.radius = o.soft_radius;
    options.curve = static_cast<SoftMoveCurve>(o.soft_curve);
    options.metric = static_cast<SoftMoveMetric>(o.soft_metric);
    options.weld_tolerance = o.soft_weld_tol;
    options.move_epsilon = o.soft_move_eps;
    const Vec3 delta = to_vec3(o.soft_delta.value);
    SoftMoveVerticesCommand move(*doc, MeshLocator::of_node(&doc->root()), handles, delta,
                                 options);
    move.redo();
    const SoftMoveField& field = move.field();
    if (!field.ok) {
        write_err(std::string("soft-move refused: ") + field.message + "\n");
        return kExitFailure;
    }

    std::string out = "soft-move";
    append_count(out, " handles=", distinct.size());
    out += " delta=";
    append_vec(out, delta);
    out += " radius=";
    append_float(out, options.radius);
    out += " curve=";
    out += curve_word(options.curve);
    out += " metric=";
    out += options.metric == SoftMoveMetric::kSpace ? "space" : "surface";
    append_count(out, "\n  field: handles=", field.handles);
    append_count(out, " considered=", field.influenced.size());
    append_count(out, " moved=", move.moved());
    append_count(out, " space_only=", field.space_only);
    append_count(out, " coincident_unreached=", field.coincident_unreached);
    out += "\n  move: max_move=";
    append_float(out, move.max_move());
    out += " total_move=";
    append_float(out, move.total_move());
    out += " farthest_moved=";
    append_float(out, move.farthest_moved());
    out += "\n";
    if (field.space_only != 0) {
        out += "  ";
        append_int(out, static_cast<std::int64_t>(field.space_only));
        out +=
            " vertex/vertices sat inside the radius in STRAIGHT LINE and were not dragged: across "
            "the surface they are far away. That is the dent-through-a-wall the Surface metric "
            "exists to prevent -- --soft-metric space drags them\n";
    }
    if (field.coincident_unreached != 0) {
        out += "  ";
        append_int(out, static_cast<std::int64_t>(field.coincident_unreached));
        out +=
            " unreached vertex/vertices sit within the weld tolerance of one that moved. This "
            "mesh wants a weld-vertices first, or the drag will open that seam\n";
    }
    if (delta == Vec3{}) {
        out +=
            "  nothing moved: a ZERO delta is a legitimate no-op, not a refusal, and it takes no "
            "undo slot\n";
    } else if (move.moved() == 0) {
        out += "  nothing moved; the mesh is as it was found\n";
    } else {
        out +=
            "  topology is invariant under a soft move; PLANARITY IS NOT -- a quad whose corners "
            "moved by different weights is no longer flat, so anything downstream that needs "
            "planar faces wants make-planar next\n";
    }
    if (o.out.given) {
        if (!save_document(*doc, o.out.value)) {
            write_out(out);
            return kExitFailure;
        }
        out += "  saved to ";
        append_quoted_path(out, o.out.value);
        out += "\n";
    }
    write_out(out);
    return kExitOk;
}

int run_gen_stair(const VerbCall& call) {
    const Options& o = call.options;
    StairSpec spec;
    spec.total_rise = o.rise;
    spec.run_cap = o.run;
    if (o.width.given) spec.width = o.width.value;
    spec.shape = static_cast<korvan::StairShape>(o.shape);
    spec.landing_after = o.landing_after;
    spec.landing_depth = o.landing_depth;
    spec.tread_thickness = o.tread_thickness;
    spec.nosing = o.nosing;
    spec.open_risers = o.open_risers;
    spec.stringers = static_cast<StairStringers>(o.stringers);
    if (o.well_gap.given) spec.well_gap = o.well_gap.value;

    const StairSolution sol = solve_stair(spec);
    std::string reason = sol.ok ? StairGenerator::geometry_problem(spec, sol) : sol.message;
    std::optional<Document> doc;
    if (reason.empty()) {
        doc = StairGenerator::make_stair_document(spec, sol);
        if (!doc) reason = "the stair geometry could not be built";
    }
    if (!reason.empty()) {
        write_err("gen-stair: no code-legal stair for this spec: " + reason + "\n");
        return kExitNothingToDo;
    }

    const StairFootprint foot = StairGenerator::footprint(*doc);
    std::string out = "risers ";
    append_int(out, sol.risers);
    out += " x ";
    append_float(out, sol.riser);
    out += " m, goings ";
    append_int(out, sol.goings);
    out += " x ";
    append_float(out, sol.going);
    out += " m\n2R+G ";
    append_float(out, sol.blondel);
    out += " m, developed run ";
    append_float(out, sol.run);
    out += " m, footprint ";
    append_float(out, foot.length);
    out += " x ";
    append_float(out, foot.width);
    out += " m\n";
    if (spec.shape != korvan::StairShape::kStraight) {
        out += "landing after riser ";
        append_int(out, sol.landing_after);
        out += ", depth ";
        append_float(out, sol.landing_depth);
        out += " m\n";
    }
    write_out(out);
    if (o.solve_only) return kExitOk;

    const int written = write_sample(call, *doc);
    if (written != kExitOk) return written;
    const Mesh& mesh = doc->root().mesh;
    std::string tail;
    append_int(tail, static_cast<std::int64_t>(mesh.alive_face_count()));
    tail += " faces, ";
    append_int(tail, static_cast<std::int64_t>(mesh.naked_edge_count()));
    tail += " naked edges\n";
    write_out(tail);
    return kExitOk;
}

}  // namespace korvan::cli
