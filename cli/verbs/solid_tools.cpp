#include "cli/verbs/solid_tools.h"

#include <algorithm>
#include <optional>
#include <string>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "io/korv_reader.h"
#include "tools/inspect.h"
#include "tools/solid_boolean.h"

namespace korvan::cli {
namespace {

constexpr std::size_t kIdsShown = 12;
constexpr std::size_t kLabelWidth = 22;

void append_count(std::string& out, std::uint64_t n) {
    append_int(out, static_cast<std::int64_t>(n));
}

// "1,2,3" with at most kIdsShown ids unless all are asked for, then the held-back tail.
void append_ids(std::string& out, const std::vector<std::uint32_t>& ids, bool all) {
    const std::size_t shown = all ? ids.size() : std::min(ids.size(), kIdsShown);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) out += ',';
        append_count(out, ids[i]);
    }
    if (shown < ids.size()) {
        out += ",... (+";
        append_count(out, ids.size() - shown);
        out += ", --ids for all)";
    }
}

void append_block(std::string& out, const std::string& name, const MeshInspection& r, bool all) {
    out += name;
    out += "  faces=";
    append_count(out, r.faces);
    out += " edges=";
    append_count(out, r.edges);
    out += " verts=";
    append_count(out, r.verts);
    out += " volume=";
    append_float(out, r.volume);
    out += '\n';
    for (int c = 0; c < kDefectClassCount; ++c) {
        const auto cls = static_cast<DefectClass>(c);
        const std::string_view label = defect_label(cls);
        out += "  ";
        out += label;
        out.append(kLabelWidth > label.size() ? kLabelWidth - label.size() : 0, ' ');
        append_count(out, r.count(cls));
        if (!r.of(cls).empty()) {
            out += "  ";
            out += defect_id_kind(cls);
            out += ' ';
            append_ids(out, r.of(cls), all);
        }
        out += '\n';
    }
    out += "  context: half-edge naked ";
    append_count(out, r.half_edge_naked);
    out += " (Mesh::naked_edge_count), redundant edge records ";
    append_count(out, r.redundant_edge_records);
    out += ", non-manifold edges ";
    append_count(out, r.non_manifold_edges);
    out += ", orientation conflicts ";
    append_count(out, r.orientation_conflicts);
    out += ", worst planarity ";
    append_float(out, r.worst_planarity);
    out += " m\n";
    if (r.contact_edges > 0 || !r.contact_vertices.empty()) {
        out += "  solid contact (two solids touching, not a defect): ";
        append_count(out, r.contact_vertices.size());
        out += " vertex/vertices over ";
        append_count(out, r.contact_edges);
        out += " edge(s)";
        if (!r.contact_vertices.empty()) {
            out += "  vertex ";
            append_ids(out, r.contact_vertices, all);
        }
        out += '\n';
    }
    out += "  => ";
    out += inspection_verdict(r);
    out += '\n';
}

}  // namespace

int run_mesh_check(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const InspectionReport report = inspect_document(*doc);
    std::string out = "mesh-check: ";
    out += call.options.in.empty() ? std::string("shell-townhouse (built-in)")
                                   : call.options.in.string();
    out += "\n\n";
    for (const auto& [name, inspection] : report) {
        append_block(out, name, inspection, call.options.ids);
        out += '\n';
    }
    out += "TOTAL: ";
    append_count(out, total_defects(report));
    out += " defect(s) over ";
    append_count(out, report.size());
    out += " mesh(es)\n";
    write_out(out);
    return kExitOk;
}

int run_mesh_boolean(const VerbCall& call) {
    const Options& o = call.options;
    if (o.src.empty()) return refuse_missing(call, "--src other.korv");
    Document tool;
    if (!io::load_document(o.src, tool)) {
        write_err("Failed to load --src " + quoted_path(o.src) + '\n');
        return kExitFailure;
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& target = doc->root().mesh;

    // Inside and outside are what a boolean computes: an open operand has neither.
    const std::uint64_t target_open = inspect_mesh(target).count(DefectClass::kNakedEdges);
    const std::uint64_t tool_open = inspect_mesh(tool.root().mesh).count(DefectClass::kNakedEdges);
    if (target_open > 0 || tool_open > 0) {
        std::string err =
            "mesh-boolean refused: a boolean needs two CLOSED solids, and \"inside\" is not a "
            "property an open surface has.\n";
        if (target_open > 0) {
            err += "  target (";
            err += o.in.empty() ? std::string("shell-townhouse") : quoted_path(o.in);
            err += ") has ";
            append_count(err, target_open);
            err += " naked edge(s)\n";
        }
        if (tool_open > 0) {
            err += "  tool   (";
            err += quoted_path(o.src);
            err += ") has ";
            append_count(err, tool_open);
            err += " naked edge(s)\n";
        }
        err += "  run mesh-repair on the open one first, or mesh-check to see what is open\n";
        write_err(err);
        return kExitNothingToDo;
    }
    const double volume_a = target.compute_volume();
    const double volume_b = tool.root().mesh.compute_volume();

    const std::optional<BooleanOp> op = parse_boolean_op(o.op);
    if (!op) {
        std::string err = "mesh-boolean --op must be union, subtract or intersect (got \"";
        err += o.op;
        err += "\")\n";
        write_err(err);
        return kExitFailure;
    }

    const BooleanEngine engine =
        o.engine == BooleanEngineChoice::kExact ? BooleanEngine::kExact : BooleanEngine::kBsp;
    SolidBooleanCommand command(*doc, MeshLocator::of_node(&doc->root()),
                                std::move(tool.root().mesh), *op, engine);
    command.redo();
    if (command.status() == SolidBooleanCommand::Status::kEmpty) {
        write_err(
            "mesh-boolean produced an EMPTY mesh. Both inputs were closed, so this is a real "
            "answer for a disjoint --op intersect or for subtracting a solid from itself -- but "
            "nothing will be written.\n");
        return kExitNothingToDo;
    }
    if (command.status() != SolidBooleanCommand::Status::kApplied) {
        // Only the exact engine can decline: it needs both operands to be two-manifold
        // triangle surfaces, and a result it can build as one.
        return refuse(call,
                      "the exact engine cannot combine these solids (an operand is not a "
                      "two-manifold surface, or the result would touch itself); try --engine bsp",
                      kExitNothingToDo);
    }

    const Mesh& result = doc->root().mesh;
    const MeshInspection check = inspect_mesh(result);
    static constexpr const char* kRelation[] = {"union <= |a| + |b|", "subtract <= |a|",
                                                "intersect <= min(|a|, |b|)"};
    std::string out = "mesh-boolean ";
    out += boolean_op_name(*op);
    out += ": |a|=";
    append_float(out, volume_a);
    out += " |b|=";
    append_float(out, volume_b);
    out += " -> ";
    append_float(out, result.compute_volume());
    out += " (";
    out += kRelation[static_cast<int>(*op)];
    out += ')';
    if (engine == BooleanEngine::kExact) out += " engine=exact";
    out += "\n  faces ";
    append_count(out, result.alive_face_count());
    out += ", holes ";
    append_count(out, check.count(DefectClass::kNakedEdges));
    out += ", non-manifold vertices ";
    append_count(out, check.count(DefectClass::kNonManifoldVertices));
    out += " (a boolean of two closed solids must come back closed; both should read 0)";
    return finish_edit(call, *doc, std::move(out));
}

}  // namespace korvan::cli
