#include "cli/verbs/plan_verbs.h"

#include <charconv>
#include <optional>
#include <string>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "document/document.h"
#include "platform/atomic_file.h"
#include "tools/plan.h"

namespace korvan::cli {
namespace {

// "1:50" or "50" gives 50; anything else nothing.
std::optional<double> parse_scale(const std::string& text) {
    std::string_view s = text;
    if (const auto colon = s.find(':'); colon != std::string_view::npos) {
        if (s.substr(0, colon) != "1") return std::nullopt;
        s.remove_prefix(colon + 1);
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !(v > 0) || v > 1e6) return std::nullopt;
    return v;
}

}  // namespace

int run_plan(const VerbCall& call) {
    const Options& o = call.options;
    double scale = 100;
    if (!o.svg_scale.empty()) {
        const std::optional<double> s = parse_scale(o.svg_scale);
        if (!s) {
            write_err("--svg-scale must be 1:N with N a positive number\n");
            return kExitFailure;
        }
        scale = *s;
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const Mesh& mesh = doc->root().mesh;
    const std::uint64_t faces_before = mesh.alive_face_count();
    const std::uint64_t verts_before = mesh.alive_vertex_count();
    const std::uint64_t hash_before = plan::geometry_hash(mesh);

    plan::PlanSettings settings;
    settings.height = o.plan_height;
    settings.include_beyond = !o.no_beyond;
    settings.include_above = o.plan_above;
    settings.hatch = !o.no_hatch;
    const plan::PlanResult result = plan::build_plan(mesh, settings);

    const bool same = plan::geometry_hash(mesh) == hash_before;
    std::string out = "Plan at z=";
    append_float(out, result.height);
    out += ": cut_lines=";
    append_int(out, static_cast<std::int64_t>(plan::line_count(result, plan::LineKind::kCut)));
    out += " beyond_lines=";
    append_int(out, static_cast<std::int64_t>(plan::line_count(result, plan::LineKind::kBeyond)));
    out += " hidden_lines=";
    append_int(out, static_cast<std::int64_t>(plan::line_count(result, plan::LineKind::kHidden)));
    out += " hatch_rings=";
    append_int(out, static_cast<std::int64_t>(result.rings.size()));
    out += " hatch_area=";
    append_float(out, plan::hatch_area(result));
    out += " m2\n  faces cut=";
    append_int(out, static_cast<std::int64_t>(result.faces_cut));
    out += " beyond=";
    append_int(out, static_cast<std::int64_t>(result.faces_beyond));
    out += " above=";
    append_int(out, static_cast<std::int64_t>(result.faces_above));
    out += " in_plane=";
    append_int(out, static_cast<std::int64_t>(result.faces_in_plane));
    out += "\n  raw_cut_segments=";
    append_int(out, static_cast<std::int64_t>(result.raw_cut_segments));
    out += " duplicates_dropped=";
    append_int(out, static_cast<std::int64_t>(result.duplicates_dropped));
    out += " buried_overlaps=";
    append_int(out, static_cast<std::int64_t>(result.buried_overlaps));
    out += " junction_nodes=";
    append_int(out, static_cast<std::int64_t>(result.junction_nodes));
    out += " open_chains=";
    append_int(out, static_cast<std::int64_t>(result.open_chains));
    out += "\n  poche is ";
    out += result.junction_nodes == 0 && result.open_chains == 0
               ? "EXACT (every node valence 2)"
               : "BEST EFFORT (traced through a junction)";
    out += "\n  mesh unchanged: faces ";
    append_int(out, static_cast<std::int64_t>(faces_before));
    out += " -> ";
    append_int(out, static_cast<std::int64_t>(mesh.alive_face_count()));
    out += ", verts ";
    append_int(out, static_cast<std::int64_t>(verts_before));
    out += " -> ";
    append_int(out, static_cast<std::int64_t>(mesh.alive_vertex_count()));
    out += ", hash ";
    out += same ? "MATCH\n" : "CHANGED\n";

    if (!o.dxf.empty()) {
        if (!plan::export_plan_dxf(o.dxf, result.lines, doc->labels())) {
            write_out(out);
            write_err("Failed to write " + o.dxf.string() + platform::write_error_suffix() + '\n');
            return kExitFailure;
        }
        out += "  wrote ";
        append_int(out, static_cast<std::int64_t>(result.lines.size()));
        out += " lines and ";
        append_int(out, static_cast<std::int64_t>(doc->labels().size()));
        out += " labels to " + o.dxf.string() + '\n';
    }
    if (!o.svg.empty()) {
        if (!plan::export_plan_svg(o.svg, result, scale)) {
            write_out(out);
            write_err("Failed to write " + o.svg.string() + platform::write_error_suffix() + '\n');
            return kExitFailure;
        }
        out += "  wrote the sheet at 1:";
        append_float(out, scale);
        out += " to " + o.svg.string() + '\n';
    }
    write_out(out);
    return same ? kExitOk : kExitFailure;
}

}  // namespace korvan::cli
