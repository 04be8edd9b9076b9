#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "cli/verbs/woodwork.h"
#include "document/material_library.h"
#include "tools/panel_commands.h"

namespace korvan::cli {
namespace {

// Gap between board A and the B board a fixture emits beside it, metres.
constexpr float kFixtureGap = 0.05f;

korvan::PanelSide side_of(cli::PanelSide s) { return static_cast<korvan::PanelSide>(s); }
korvan::PanelAxis axis_of(cli::PanelAxis a) { return static_cast<korvan::PanelAxis>(a); }

PanelBox box_a(const Options& o) {
    PanelBox box;
    box.origin = to_vec3(o.panel_origin);
    box.length = o.panel_length;
    box.width = o.panel_width;
    box.thickness = o.panel_thickness;
    return box;
}

// B's extents default to A's; it lies beside A along the length unless placed.
PanelBox box_b(const Options& o) {
    const PanelBox a = box_a(o);
    PanelBox b = a;
    if (o.panel_b_length.given) b.length = o.panel_b_length.value;
    if (o.panel_b_width.given) b.width = o.panel_b_width.value;
    if (o.panel_b_thickness.given) b.thickness = o.panel_b_thickness.value;
    b.origin = o.panel_b_origin.given ? to_vec3(o.panel_b_origin.value)
                                      : a.origin + Vec3{a.length + kFixtureGap, 0.0f, 0.0f};
    return b;
}

PanelOptions panel_options(const Options& o) {
    PanelOptions p;
    p.weld_tolerance = o.panel_weld_eps;
    if (o.panel_cut_mat.given) p.cut_material = static_cast<std::int32_t>(o.panel_cut_mat.value);
    return p;
}

void append_key(std::string& out, std::string_view key, double value) {
    out += ' ';
    out += key;
    out += '=';
    append_float(out, value);
}

void append_count_key(std::string& out, std::string_view key, std::uint64_t value) {
    out += ' ';
    out += key;
    out += '=';
    append_int(out, static_cast<std::int64_t>(value));
}

void append_solid(std::string& out, const SolidCheck& s, bool full) {
    out += s.solid ? "  solid: YES" : "  solid: NO";
    append_count_key(out, "F", s.faces);
    append_count_key(out, "V", s.vertices);
    append_count_key(out, "E", s.edges);
    out += " euler=";
    append_int(out, s.euler);
    append_count_key(out, "open_edges", s.open_edges);
    if (full) {
        append_count_key(out, "nonmanifold", s.nonmanifold);
        append_count_key(out, "reversed_pairs", s.reversed_pairs);
    }
    append_key(out, "volume", s.volume);
    out += '\n';
}

void append_mesh(std::string& out, const MeshChangeCounts& c) {
    out += "  mesh:";
    append_count_key(out, "faces_erased", c.faces_erased);
    append_count_key(out, "faces_added", c.faces_added);
    append_count_key(out, "vertices_added", c.vertices_added);
    append_count_key(out, "linked_pairs", c.linked_pairs);
    append_count_key(out, "stray_edges_retired", c.stray_edges_retired);
    append_count_key(out, "edge_records_rehomed", c.edge_records_rehomed);
    append_count_key(out, "half_edge_naked_edges", c.half_edge_naked_edges);
    out += '\n';
}

void append_remaining(std::string& out, double remaining, double board) {
    out += "  remaining_thickness=";
    append_float(out, remaining);
    out += " of ";
    append_float(out, board);
    out += " (";
    append_float(out, remaining / board * 100.0);
    out +=
        "% of the board left)\n"
        "  NOTE: measured from the BOARD, not from what an earlier cut left -- there is no "
        "volume boolean here, so two features cut from different faces cannot see each other\n";
}

// The document a panel verb works on: --in, or a fresh model with the material library and,
// for the joint verbs, the fixture boards the joint is cut into.
std::optional<Document> panel_document(const VerbCall& call, int fixture_boards,
                                       std::string& out, std::string& refusal) {
    const Options& o = call.options;
    if (!o.in.empty()) return acquire_model(call);
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    if (fixture_boards == 0) return doc;
    const PanelOptions options = panel_options(o);
    const PanelBox boxes[2] = {box_a(o), box_b(o)};
    for (int i = 0; i < fixture_boards; ++i) {
        if (const char* reason = panel_box_refusal(boxes[i])) {
            refusal = std::string(i == 0 ? "the --panel-* box is not a board: "
                                         : "the --panel-b-* box is not a board: ") +
                      reason;
            return doc;
        }
        emit_panel(doc.root().mesh, boxes[i], options);
    }
    out += "  fixture: no --in, so ";
    append_int(out, fixture_boards);
    out += " board(s) were emitted at the --panel-* box first\n";
    return doc;
}

// Prints the report (and the refusal) and saves; `cut` says whether the command changed the
// mesh. `nothing` is the verb's "nothing was ..." wording.
int conclude(const VerbCall& call, const Document& doc, std::string out, const char* refusal,
             std::string_view nothing, std::string_view extra = {}) {
    if (refusal != nullptr) {
        write_out(out);
        std::string err(call.verb);
        err += " refused: ";
        err += refusal;
        err += '\n';
        err += extra;
        if (extra.empty()) {
            err += "  ";
            err += nothing;
            err += nothing == "nothing was emitted" ? "" : " and no undo slot was taken";
            err += "; the mesh is as it was found\n";
        }
        write_err(err);
        return kExitNothingToDo;
    }
    if (const std::optional<std::filesystem::path> target = save_target(call)) {
        if (!save_document(doc, *target)) {
            write_out(out);
            return kExitFailure;
        }
        out += "  saved to ";
        append_quoted_path(out, *target);
        out += '\n';
    }
    write_out(out);
    return kExitOk;
}

// Loads or builds the document and runs the command; report(result, out) adds the verb's
// result lines.
template <class Make, class Report>
int run_panel_command(const VerbCall& call, std::string out, int fixture_boards,
                      std::string_view nothing, Make make, Report report) {
    std::string refusal;
    std::optional<Document> doc = panel_document(call, fixture_boards, out, refusal);
    if (!doc) return kExitFailure;
    if (!refusal.empty()) return conclude(call, *doc, std::move(out), refusal.c_str(), nothing);
    auto command = make(*doc);
    command.redo();
    const auto& r = command.result();
    if (!r.ok) return conclude(call, *doc, std::move(out), r.message, nothing);
    report(r, out);
    append_mesh(out, r.changes);
    append_solid(out, r.solid, true);
    return conclude(call, *doc, std::move(out), nullptr, nothing);
}

MeshLocator root_of(Document& doc) { return MeshLocator::of_node(&doc.root()); }

}  // namespace

int run_panel_emit(const VerbCall& call) {
    const Options& o = call.options;
    const PanelBox box = box_a(o);
    std::string out = "panel-emit ";
    append_float(out, box.length);
    out += 'x';
    append_float(out, box.width);
    out += 'x';
    append_float(out, box.thickness);
    out += " at ";
    append_vec3(out, box.origin.x, box.origin.y, box.origin.z);
    append_key(out, "volume", double(box.length) * box.width * box.thickness);
    out += '\n';
    std::string refusal;
    std::optional<Document> doc = panel_document(call, 0, out, refusal);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;
    const std::uint64_t faces_before = mesh.alive_face_count();
    EmitPanelCommand command(*doc, root_of(*doc), box, panel_options(o));
    command.redo();
    const PanelEmitResult& r = command.result();
    if (!r.ok) return conclude(call, *doc, std::move(out), r.message, "nothing was emitted");
    out += "  sides:";
    for (int s = 0; s < 6; ++s) {
        out += ' ';
        out += panel_side_name(static_cast<korvan::PanelSide>(s));
        out += '=';
        append_int(out, r.sides[s]);
    }
    out += '\n';
    append_solid(out, r.solid, false);
    out += "  linked_pairs=";
    append_int(out, static_cast<std::int64_t>(r.linked_pairs));
    out += " (mesh-wide: emitting a board also welds any other unlinked seam it finds)\n";
    out += "  faces ";
    append_int(out, static_cast<std::int64_t>(faces_before));
    out += "->";
    append_int(out, static_cast<std::int64_t>(mesh.alive_face_count()));
    out += '\n';
    return conclude(call, *doc, std::move(out), nullptr, "nothing was emitted");
}

int run_panel_dowels(const VerbCall& call) {
    const Options& o = call.options;
    DowelRowSpec spec;
    spec.side = side_of(o.dowel_side);
    spec.row_axis = axis_of(o.dowel_row);
    spec.row_offset = o.dowel_row_offset;
    spec.first = o.dowel_first;
    spec.pitch = o.dowel_pitch;
    spec.count = o.dowel_count;
    spec.diameter = o.dowel_diameter;
    spec.depth = o.dowel_depth;
    spec.segments = o.dowel_segments;
    std::string out = "panel-dowels side=";
    out += panel_side_name(spec.side);
    out += " row=";
    out += panel_axis_name(spec.row_axis);
    append_key(out, "row_offset", spec.row_offset);
    append_key(out, "first", spec.first);
    append_key(out, "pitch", spec.pitch);
    append_count_key(out, "count", static_cast<std::uint64_t>(std::max(0, spec.count)));
    append_key(out, "diameter", spec.diameter);
    append_key(out, "depth", spec.depth);
    append_count_key(out, "segments", static_cast<std::uint64_t>(std::max(0, spec.segments)));
    out += '\n';
    return run_panel_command(
        call, std::move(out), 1, "nothing was drilled",
        [&](Document& doc) {
            return DrillDowelsCommand(doc, root_of(doc), box_a(o), spec, panel_options(o));
        },
        [](const DowelResult& r, std::string& s) {
            s += "  drilled:";
            append_count_key(s, "holes", r.holes);
            append_key(s, "row_length", r.row_length);
            append_key(s, "removed_volume", r.removed_volume);
            append_count_key(s, "mouth_faces", r.mouth_faces);
            s += " (2 + holes x (segments + 2) = ";
            append_int(s, static_cast<std::int64_t>(r.mouth_faces_expected));
            s += ')';
            append_key(s, "chord_sagitta", r.chord_sagitta);
            append_key(s, "bore_area_ratio", r.bore_area_ratio);
            s += '\n';
        });
}

int run_panel_tenon(const VerbCall& call) {
    const Options& o = call.options;
    const bool mortise = call.verb == "panel-mortise";
    TenonSpec spec;
    spec.axis = axis_of(o.tenon_axis);
    spec.at_max = !o.tenon_at_min;
    spec.u_offset = o.tenon_u_offset.value;
    spec.u_size = o.tenon_u_size;
    spec.v_offset = o.tenon_v_offset.value;
    spec.v_size = o.tenon_v_size;
    spec.length = mortise ? -o.tenon_length : o.tenon_length;
    spec = centered_tenon(box_a(o), spec, !o.tenon_u_offset.given, !o.tenon_v_offset.given);
    std::string out(call.verb);
    out += " axis=";
    out += panel_axis_name(spec.axis);
    out += spec.at_max ? " at=max u=" : " at=min u=";
    append_float(out, spec.u_offset);
    out += '+';
    append_float(out, spec.u_size);
    out += " v=";
    append_float(out, spec.v_offset);
    out += '+';
    append_float(out, spec.v_size);
    append_key(out, "length", spec.length);
    out += '\n';
    return run_panel_command(
        call, std::move(out), 1, "nothing was cut",
        [&](Document& doc) {
            return CutTenonCommand(doc, root_of(doc), box_a(o), spec, panel_options(o));
        },
        [&](const TenonResult& r, std::string& s) {
            s += "  cut:";
            append_key(s, "projection", r.projection);
            append_key(s, "footprint_area", r.footprint_area);
            append_key(s, "cheek_area", r.cheek_area);
            append_key(s, "volume_change", r.volume_change);
            s += '\n';
            if (mortise) append_remaining(s, r.remaining_thickness, r.board_thickness);
            s += "  cheek_area is the glue area -- the number that says whether the joint holds\n";
        });
}

int run_panel_rabbet(const VerbCall& call) {
    const Options& o = call.options;
    const RabbetSpec spec{side_of(o.rabbet_side), side_of(o.rabbet_edge), o.rabbet_width,
                          o.rabbet_depth};
    std::string out = "panel-rabbet side=";
    out += panel_side_name(spec.side);
    out += " edge=";
    out += panel_side_name(spec.edge);
    append_key(out, "width", spec.width);
    append_key(out, "depth", spec.depth);
    out += '\n';
    return run_panel_command(
        call, std::move(out), 1, "nothing was cut",
        [&](Document& doc) {
            return CutRabbetCommand(doc, root_of(doc), box_a(o), spec, panel_options(o));
        },
        [](const RabbetResult& r, std::string& s) {
            s += "  cut:";
            append_key(s, "cut_length", r.cut_length);
            append_key(s, "shoulder_area", r.shoulder_area);
            append_key(s, "removed_volume", r.removed_volume);
            append_key(s, "remaining_width", r.remaining_width);
            s += '\n';
            append_remaining(s, r.remaining_thickness, r.board_thickness);
        });
}

int run_panel_rabbet_pair(const VerbCall& call) {
    const Options& o = call.options;
    RabbetPairSpec spec;
    spec.a_side = side_of(o.pair_a_side);
    spec.a_edge = side_of(o.pair_a_edge);
    spec.b_side = side_of(o.pair_b_side);
    spec.b_edge = side_of(o.pair_b_edge);
    spec.lap = o.pair_lap;
    spec.a_depth = o.pair_a_depth;
    spec.b_depth = o.pair_b_depth;
    spec.clearance = o.pair_clearance;
    spec.b_female = !o.pair_a_female;
    std::string out = "panel-rabbet-pair a=";
    out += panel_side_name(spec.a_side);
    out += "->";
    out += panel_side_name(spec.a_edge);
    out += " b=";
    out += panel_side_name(spec.b_side);
    out += "->";
    out += panel_side_name(spec.b_edge);
    append_key(out, "lap", spec.lap);
    out += " depths=";
    append_float(out, spec.a_depth);
    out += '/';
    append_float(out, spec.b_depth);
    append_key(out, "clearance", spec.clearance);
    out += spec.b_female ? " female=B\n" : " female=A\n";

    std::string refusal;
    std::optional<Document> doc = panel_document(call, 2, out, refusal);
    if (!doc) return kExitFailure;
    if (!refusal.empty()) return conclude(call, *doc, std::move(out), refusal.c_str(), "nothing was cut");
    CutRabbetPairCommand command(*doc, root_of(*doc), box_a(o), box_b(o), spec, panel_options(o));
    command.redo();
    const RabbetPairResult& r = command.result();
    if (!r.ok) {
        std::string extra = "  a.ok=";
        extra += r.a_ok ? "yes" : "no";
        extra += "\n  b.ok=";
        extra += r.b_ok ? "yes" : "no";
        extra += '\n';
        if (command.restored()) {
            extra +=
                "  the module cut A before B refused -- the command's snapshot took A's cut back "
                "out, so NOTHING was left in the model (alive faces ";
            append_int(extra, static_cast<std::int64_t>(doc->root().mesh.alive_face_count()));
            extra += ")\n";
        } else {
            extra +=
                "  neither board was touched: every SPEC-level check for both boards runs before "
                "either cut\n";
        }
        return conclude(call, *doc, std::move(out), r.message, "nothing was cut", extra);
    }
    out += "  fit:";
    append_key(out, "tongue_a", r.tongue_a);
    append_key(out, "tongue_b", r.tongue_b);
    append_key(out, "assembled_thickness", r.assembled_thickness);
    append_key(out, "proud", r.proud);
    append_key(out, "end_slack", r.end_slack);
    out += '\n';
    if (r.proud > 0.0) {
        out += "  the lap stands PROUD by ";
        append_float(out, r.proud);
        out += " m -- a shadow line if you meant it\n";
    } else if (r.proud < 0.0) {
        out += "  the lap is SUNK by ";
        append_float(out, -r.proud);
        out += " m -- it wants a facing if you meant it\n";
    }
    for (const auto& [name, board] : {std::pair{"  A:", &r.a}, std::pair{"  B:", &r.b}}) {
        out += name;
        append_key(out, "cut_length", board->cut_length);
        append_key(out, "shoulder_area", board->shoulder_area);
        append_key(out, "removed_volume", board->removed_volume);
        out += '\n';
    }
    append_mesh(out, r.changes);
    append_solid(out, r.solid, true);
    return conclude(call, *doc, std::move(out), nullptr, "nothing was cut");
}

int run_panel_groove(const VerbCall& call) {
    const Options& o = call.options;
    GrooveSpec spec;
    spec.side = side_of(o.groove_side);
    spec.run_axis = axis_of(o.groove_run);
    spec.offset = o.groove_offset;
    if (o.groove_purpose.given) {
        // What each purpose needs; an explicit width or depth still wins.
        static constexpr float kPurpose[3][2] = {{0.012f, 0.008f}, {0.006f, 0.01f}, {0.02f, 0.012f}};
        const auto p = static_cast<std::size_t>(o.groove_purpose.value);
        spec.width = kPurpose[p][0];
        spec.depth = kPurpose[p][1];
    }
    if (o.groove_width.given) spec.width = o.groove_width.value;
    if (o.groove_depth.given) spec.depth = o.groove_depth.value;
    spec.stop_start = o.groove_stop_start;
    spec.stop_end = o.groove_stop_end;
    std::string out = "panel-groove side=";
    out += panel_side_name(spec.side);
    out += " run=";
    out += panel_axis_name(spec.run_axis);
    append_key(out, "offset", spec.offset);
    append_key(out, "width", spec.width);
    append_key(out, "depth", spec.depth);
    out += " stops=";
    append_float(out, spec.stop_start);
    out += '/';
    append_float(out, spec.stop_end);
    out += '\n';
    return run_panel_command(
        call, std::move(out), 1, "nothing was cut",
        [&](Document& doc) {
            return CutGrooveCommand(doc, root_of(doc), box_a(o), spec, panel_options(o));
        },
        [](const GrooveResult& r, std::string& s) {
            s += "  cut:";
            append_count_key(s, "open_ends", r.open_ends);
            s += r.through ? " through=yes" : " through=no";
            append_key(s, "cut_length", r.cut_length);
            append_key(s, "floor_area", r.floor_area);
            append_key(s, "removed_volume", r.removed_volume);
            s += '\n';
            append_remaining(s, r.remaining_thickness, r.board_thickness);
        });
}

}  // namespace korvan::cli
