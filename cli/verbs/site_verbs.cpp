#include "cli/verbs/site_verbs.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "tools/contour_check.h"
#include "tools/contour_join.h"
#include "tools/terrain_extrude.h"

namespace korvan::cli {
namespace {

void key(std::string& out, const char* name, std::uint64_t value) {
    out.append(" ").append(name).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

void key(std::string& out, const char* name, double value) {
    out.append(" ").append(name).append("=");
    append_float(out, value);
}

std::uint64_t alive_contours(const Mesh& mesh) {
    std::uint64_t n = 0;
    for (const Curve& c : mesh.curves()) n += c.alive ? 1 : 0;
    return n;
}

void append_gate(std::string& out, const ContourCheckResult& g) {
    out.append("  gate:");
    key(out, "closed", g.closed);
    key(out, "open", g.open);
    key(out, "segments", g.segments);
    key(out, "crossings", std::uint64_t{g.crossing ? 1u : 0u});
    key(out, "touches", std::uint64_t{g.touch ? 1u : 0u});
    key(out, "worst_elevation_spread", g.worst_spread);
    out.append("\n  broadphase:");
    key(out, "pair_tests", g.pair_tests);
    key(out, "grid_cells", g.grid_cells);
    key(out, "grid_entries", g.grid_entries);
    out.append("\n");
}

// "<verb>: <message>" and the blamed pair, on standard error; exit 2.
int refuse_gate(const VerbCall& call, const ContourCheckResult& g) {
    std::string err(call.verb);
    err.append(": ").append(g.message).append("\n  blame contour ");
    append_int(err, g.blame_a);
    err.append(" against contour ");
    append_int(err, g.blame_b);
    err.append(" at plan (");
    append_float(err, g.blame_x);
    err.append(", ");
    append_float(err, g.blame_y);
    err.append(") z=");
    append_float(err, g.elevation_a);
    err.append(" vs z=");
    append_float(err, g.elevation_b);
    err.append("\n");
    write_err(err);
    return kExitNothingToDo;
}

// Saves when the verb has somewhere to save, adding "  saved to" and the path to the report.
int print_and_save(const VerbCall& call, const Document& doc, std::string report) {
    if (const std::optional<std::filesystem::path> target = save_target(call)) {
        if (!save_document(doc, *target)) {
            write_out(report);
            return kExitFailure;
        }
        report.append("  saved to ");
        append_quoted_path(report, *target);
        report.append("\n");
    }
    write_out(report);
    return kExitOk;
}

}  // namespace

int run_contour_check(const VerbCall& call) {
    const std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const Mesh& mesh = doc->root().mesh;
    if (alive_contours(mesh) == 0) {
        return refuse(call,
                      "this model carries no alive contours (add-curve, or a DXF import, is what "
                      "puts them there)",
                      kExitNothingToDo);
    }
    const ContourCheckResult g = check_contours(mesh.curves());
    std::string out(call.verb);
    key(out, "contours", g.closed + g.open);
    key(out, "open", g.open);
    out.append("\n");
    append_gate(out, g);
    if (g.ok) out.append("  usable as terrain: YES (the level query is a function of x,y everywhere)\n");
    write_out(out);
    return g.ok ? kExitOk : refuse_gate(call, g);
}

int run_contour_join(const VerbCall& call) {
    const Options& o = call.options;
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    if (alive_contours(doc->root().mesh) == 0) {
        return refuse(call,
                      "this model carries no alive contours (add-curve, or a DXF import, is what "
                      "puts them there)",
                      kExitNothingToDo);
    }
    ContourJoinOptions options;
    options.join_tolerance = o.contour_tol;
    options.elevation_tolerance = o.contour_elev_tol;
    options.spread_limit = o.contour_spread;
    JoinContourEndsCommand join(*doc, MeshLocator::of_node(&doc->root()), options);
    join.redo();
    const ContourJoinResult& r = join.result();
    if (!r.ok) {
        std::string err(call.verb);
        err.append(": ").append(r.message).append("\n");
        if (r.blame_contour >= 0) {
            err.append("  blame contour ");
            append_int(err, r.blame_contour);
            err.append("\n");
        }
        write_err(err);
        return kExitNothingToDo;
    }
    std::string out(call.verb);
    key(out, "contours", r.contours);
    key(out, "open_contours", r.open_contours);
    key(out, "ends", r.ends);
    key(out, "joined", r.joined);
    key(out, "loops_closed", r.loops_closed);
    out.append("\n ");
    key(out, "left_open", r.left_open);
    out.append(" (no_partner=");
    append_int(out, static_cast<std::int64_t>(r.no_partner));
    key(out, "contested", r.contested);
    key(out, "elevation_mismatch", r.elevation_mismatch);
    key(out, "degenerate_loop", r.degenerate_loop);
    out.append(")\n ");
    key(out, "ambiguous_ends", r.ambiguous_ends);
    key(out, "duplicate_points_dropped", r.duplicate_points_dropped);
    key(out, "rewound", r.rewound);
    out.append("\n ");
    key(out, "worst_join_gap", r.worst_join_gap);
    key(out, "worst_join_elevation_step", r.worst_join_elevation_step);
    key(out, "worst_rejected_elevation_step", r.worst_rejected_elevation_step);
    key(out, "worst_elevation_spread", r.worst_elevation_spread);
    out.append("\n");
    if (!r.changed) out.append("  nothing to repair: the curve table was left exactly as found\n");
    return print_and_save(call, *doc, std::move(out));
}

int run_terrain_extrude(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const Mesh& mesh = doc->root().mesh;
    std::vector<FaceId> faces(call.options.faces.begin(), call.options.faces.end());
    if (faces.empty()) faces = mesh.alive_faces();
    if (mesh.alive_face_count() == 0) return refuse(call, "no alive faces to extrude", kExitNothingToDo);
    if (alive_contours(mesh) == 0) {
        return refuse(call,
                      "this model carries no alive contours to extrude up to (add-curve, or a DXF "
                      "import, is what puts them there)",
                      kExitNothingToDo);
    }
    ExtrudeUpToContoursCommand extrude(*doc, MeshLocator::of_node(&doc->root()), std::move(faces));
    extrude.redo();
    const TerrainExtrudeResult& r = extrude.result();
    std::string out;
    if (r.gate_ran) append_gate(out, r.gate);
    if (r.gate_refused) {
        write_out(out);
        return refuse_gate(call, r.gate);
    }
    if (!r.ok) {
        write_out(out);
        return refuse(call, r.message, kExitNothingToDo);
    }
    out.append(call.verb);
    key(out, "contours", r.contours);
    key(out, "faces_in", r.faces_in);
    key(out, "extruded", r.extruded);
    out.append("\n  skipped:");
    key(out, "invalid", r.invalid);
    key(out, "not_horizontal", r.not_horizontal);
    key(out, "degenerate", r.degenerate);
    key(out, "off_face", r.off_face);
    key(out, "uncovered", r.uncovered);
    key(out, "already_at_level", r.already_at_level);
    key(out, "contour_below", r.contour_below);
    out.append("\n ");
    key(out, "samples_off_face", r.samples_off_face);
    key(out, "spanning", r.spanning);
    key(out, "ambiguous", r.ambiguous);
    key(out, "open_contours_ignored", r.open_contours_ignored);
    key(out, "rewound", r.rewound);
    key(out, "linked", r.linked);
    out.append("\n ");
    key(out, "levels", r.levels);
    key(out, "lowest", r.lowest);
    key(out, "highest", r.highest);
    key(out, "plateau_area", r.plateau_area);
    key(out, "volume", r.volume);
    key(out, "faces", r.faces);
    out.append("\n");
    return print_and_save(call, *doc, std::move(out));
}

}  // namespace korvan::cli
