#include "cli/verbs/plan_verbs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "document/definitions.h"
#include "document/document.h"
#include "document/scene_node.h"
#include "platform/atomic_file.h"
#include "tools/plan.h"
#include "tools/plan_draft.h"

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

namespace {

void append_point(std::string& out, double x, double y) {
    append_float(out, x);
    out += ',';
    append_float(out, y);
}

void append_line(std::string& out, const char* name, const plan::PlanSnapEngine& engine,
                 std::uint32_t index) {
    const plan::PlanLine& l = engine.lines()[index];
    out += "    ";
    out += name;
    out += " (";
    out += plan::line_kind_name(l.kind);
    out += ") world=(";
    append_point(out, l.a.x, l.a.y);
    out += ")-(";
    append_point(out, l.b.x, l.b.y);
    out += ") len=";
    append_float(out, std::hypot(double(l.b.x) - l.a.x, double(l.b.y) - l.a.y));
    out += " face=";
    if (l.face == plan::kNoFace)
        out += "none";
    else
        append_int(out, l.face);
    out += '\n';
}

}  // namespace

namespace {

// A node's geometry in world coordinates, its subtree included; instances show their
// definition's mesh.
void gather_world(const Document& doc, const SceneNode& node, Mesh& out) {
    const Mesh* mesh = &node.mesh;
    if (!node.definition_id.empty()) {
        if (const ComponentDefinition* d = doc.definition(node.definition_id)) mesh = &d->mesh;
    }
    if (const std::optional<Mat4> world = doc.world_transform(&node))
        out.merge_mesh(*mesh, *world);
    for (const auto& child : node.children) gather_world(doc, *child, out);
}

}  // namespace

int run_ortho_set(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const std::string& name = call.options.name.value;
    Mesh geometry;
    if (name.empty()) {
        geometry = doc->root().mesh;
    } else {
        const SceneNode* node = doc->find_node_by_name(name);
        if (!node) {
            write_err("ortho-set: no node named \"" + name + "\"\n");
            return kExitFailure;
        }
        gather_world(*doc, *node, geometry);
    }
    const plan::OrthoSet set = plan::build_ortho_set(geometry);
    if (set.empty) {
        write_err(name.empty() ? std::string("ortho-set: no loose geometry to draw\n")
                               : "ortho-set: \"" + name + "\" has no geometry to draw\n");
        return kExitFailure;
    }
    std::string out = "Ortho set of ";
    out += name.empty() ? std::string("the loose geometry") : "\"" + name + "\"";
    out += ": box min=";
    append_vec3(out, set.lo.x, set.lo.y, set.lo.z);
    out += " max=";
    append_vec3(out, set.hi.x, set.hi.y, set.hi.z);
    out += '\n';
    for (const plan::Elevation& e : set.elevations) {
        out += "  elevation ";
        out += e.name;
        out += ": faces=";
        append_int(out, static_cast<std::int64_t>(e.faces));
        out += " edges=";
        append_int(out, static_cast<std::int64_t>(e.edges));
        out += " width=";
        append_float(out, e.width);
        out += " height=";
        append_float(out, e.height);
        out += " facing_area=";
        append_float(out, e.area);
        out += " m2\n";
    }
    const plan::PlanResult& p = set.plan;
    out += "  plan at z=";
    append_float(out, p.height);
    out += ": cut_lines=";
    append_int(out, static_cast<std::int64_t>(plan::line_count(p, plan::LineKind::kCut)));
    out += " beyond_lines=";
    append_int(out, static_cast<std::int64_t>(plan::line_count(p, plan::LineKind::kBeyond)));
    out += " hatch_rings=";
    append_int(out, static_cast<std::int64_t>(p.rings.size()));
    out += " hatch_area=";
    append_float(out, plan::hatch_area(p));
    out += " m2\n";
    write_out(out);
    return kExitOk;
}

int run_plan_draft(const VerbCall& call) {
    const Options& o = call.options;
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const Mesh& mesh = doc->root().mesh;
    const std::uint64_t faces_before = mesh.alive_face_count();
    const std::uint64_t hash_before = plan::geometry_hash(mesh);

    plan::PlanWorkPlane storey;
    storey.base_z = o.plan_base_z.given ? o.plan_base_z.value : 0.0f;
    storey.cut_height = o.plan_height;
    plan::PlanSettings settings;
    settings.height = storey.section_height();
    settings.include_beyond = !o.no_beyond;
    settings.hatch = !o.no_hatch;
    // A view refreshes its plan on every redraw; the second one finds nothing changed.
    plan::PlanCache cache(settings);
    cache.sync(mesh);
    cache.sync(mesh);
    plan::PlanSnapEngine& engine = cache.snaps();

    const plan::Point2 cursor =
        o.cursor.given ? plan::Point2{o.cursor.value[0], o.cursor.value[1]} : plan::Point2{};
    const plan::SnapRadius radius = o.snap_radius.given
                                        ? plan::plan_snap_radius(o.snap_radius.value, 1)
                                                  : plan::plan_snap_radius(20.0 / 720.0, 12);

    std::string out = "Plan draft: storey base_z=";
    append_float(out, storey.base_z);
    out += " section z=";
    append_float(out, storey.section_height());
    out += " (";
    append_float(out, storey.cut_height);
    out += " above the floor)\n  cache: refreshes=";
    append_int(out, static_cast<std::int64_t>(cache.refreshes));
    out += " rebuilds=";
    append_int(out, static_cast<std::int64_t>(cache.rebuilds));
    out += " lines=";
    append_int(out, static_cast<std::int64_t>(engine.lines().size()));
    out += " segments=";
    append_int(out, static_cast<std::int64_t>(engine.segment_count()));
    out += " point_samples=";
    append_int(out, static_cast<std::int64_t>(engine.point_sample_count()));
    out += " degenerate_lines=";
    append_int(out, static_cast<std::int64_t>(engine.degenerate_lines()));
    out += "\n  cursor=(";
    append_point(out, cursor.x, cursor.y);
    out += ") snap_radius=";
    append_float(out, radius.metres);
    out += " m";
    if (radius.clamped) out += " (CLAMPED)";
    out += '\n';

    float top = 1000.0f;
    bool any = false;
    for (const Vertex& v : mesh.vertices()) {
        if (!v.alive) continue;
        top = any ? std::max(top, v.position.z) : v.position.z;
        any = true;
    }
    const Vec3 origin{cursor.x, cursor.y, any ? top + 10.0f : 1000.0f};
    const Vec3 down{0.0f, 0.0f, -1.0f};
    if (const auto pick = plan::pick_straight_down(mesh, cursor.x, cursor.y)) {
        out += "  mesh pick straight down: face=";
        append_int(out, pick->face);
        out += " at z=";
        append_float(out, pick->z);
        out += "   <-- what screen_to_world would have committed\n";
    } else {
        out += "  mesh pick straight down: MISS (nothing under the cursor)\n";
    }
    const std::optional<Vec3> on_plane = storey.hit(origin, down);
    if (!on_plane) {
        write_out(out);
        write_err("plan-draft: the ray never met the work plane (parallel or not finite)\n");
        return kExitFailure;
    }
    out += "  work plane pick: plan=(";
    append_point(out, on_plane->x, on_plane->y);
    out += ")   <-- the storey, whatever is in the way\n";

    const plan::SnapCandidate snap =
        engine.query({on_plane->x, on_plane->y}, radius.metres);
    plan::Point2 commit{on_plane->x, on_plane->y};
    if (snap.kind == plan::SnapKind::kNone) {
        out += "  snap: kind=none\n";
    } else {
        commit = snap.point;
        out += "  snap: kind=";
        out += plan::snap_kind_name(snap.kind);
        out += " label=\"" + snap.label + "\" point=(";
        append_point(out, snap.point.x, snap.point.y);
        out += ") distance=";
        append_float(out, snap.distance);
        out += " t=";
        append_float(out, snap.t);
        out += " held=";
        out += snap.held ? '1' : '0';
        out += " extended=";
        out += snap.extended ? '1' : '0';
        out += '\n';
        if (snap.kind == plan::SnapKind::kIntersection) {
            append_line(out, "line_a", engine, snap.line_a);
            append_line(out, "line_b", engine, snap.line_b);
        }
    }
    out += "  pairs tested this query=";
    append_int(out, static_cast<std::int64_t>(engine.pairs_tested()));
    out += "\n  COMMIT: plan=(";
    append_point(out, commit.x, commit.y);
    out += ")   <-- the snapped point, not the raw cursor\n";
    const bool same =
        plan::geometry_hash(mesh) == hash_before && mesh.alive_face_count() == faces_before;
    out += "  mesh unchanged: faces ";
    append_int(out, static_cast<std::int64_t>(faces_before));
    out += " -> ";
    append_int(out, static_cast<std::int64_t>(mesh.alive_face_count()));
    out += ", hash ";
    out += same ? "MATCH\n" : "CHANGED\n";
    write_out(out);
    return same ? kExitOk : kExitFailure;
}

}  // namespace korvan::cli
