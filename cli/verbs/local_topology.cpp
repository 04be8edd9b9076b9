#include "cli/verbs/local_topology.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "document/commands/local_topology_commands.h"

// Reports, one line each, with ", saved to " and the quoted path:
//   split-vertex       linked=N vertex=V copies=C first_copy=V faces_rewritten=N
//   weld-verts         linked=N considered=N clusters=N merged=N faces_before=N faces_after=N
//                      dropped=N
//   make-planar        linked=N considered=N projected=N degenerate=N moved=N shared=N
//                      worst_before=D worst_after=D
//   edge-split-welded  linked=N edge=E t=T vertex=V faces_rewritten=N naked_before=N
//                      naked_after=N
//   edge-dissolve      linked=N edge=E face=F removed_face=G sides=N area=A deviation=D
//   edge-collapse      linked=N edge=E kept=V removed=V shared=N expected=N faces_before=N
//                      faces_after=N dropped=N naked_after=N
//   turn-edge          linked=N edge=E old=A-B new=C-D deviation=D area_before=A area_after=A
// Refusals: "<verb>: linked=N edge E refused: <status>" (and the two numbers of the link
// condition, or the deviation, where they explain it); split-vertex and edge-split-welded
// print their message instead of a status.

namespace korvan::cli {
namespace {

void key(std::string& out, std::string_view name, std::uint64_t value) {
    out.append(" ").append(name).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

void key_float(std::string& out, std::string_view name, double value) {
    out.append(" ").append(name).append("=");
    append_float(out, value);
}

std::string linked_line(std::uint64_t linked) {
    std::string out = "linked=";
    append_int(out, static_cast<std::int64_t>(linked));
    return out;
}

// Loads the model, links the root mesh and runs the verb's body: run(doc, linked) returns
// the exit code.
template <class Run>
int with_linked_root(const VerbCall& call, Run&& run) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const std::uint64_t linked = doc->root().mesh.link_shared_edges();
    return run(*doc, linked);
}

int refuse_edge(const VerbCall& call, std::uint64_t linked, EdgeId edge, const char* status,
                std::string extra = {}) {
    std::string reason = linked_line(linked) + " edge ";
    append_int(reason, edge);
    reason += " refused: ";
    reason += status;
    reason += extra;
    return refuse(call, reason);
}

MeshLocator root_of(Document& doc) { return MeshLocator::of_node(&doc.root()); }

}  // namespace

int run_split_vertex(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.vertex.given) return refuse(call, "--vertex V is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        std::optional<std::vector<FaceId>> group;
        if (!o.faces.empty()) group.emplace(o.faces.begin(), o.faces.end());
        SplitVertexCommand split(doc, root_of(doc), o.vertex.value, group);
        split.redo();
        const SplitVertexResult& r = split.result();
        if (!r.ok) return refuse(call, linked_line(linked) + " " + r.message);
        if (r.copies.empty()) {
            return refuse(call, linked_line(linked) +
                                    " only one face uses this vertex -- there is nothing to "
                                    "pull apart");
        }
        std::string report = linked_line(linked);
        key(report, "vertex", o.vertex.value);
        key(report, "copies", r.copies.size());
        key(report, "first_copy", r.copies.front());
        key(report, "faces_rewritten", r.faces_rewritten);
        return finish_edit(call, doc, std::move(report));
    });
}

int run_weld_verts(const VerbCall& call) {
    const Options& o = call.options;
    if (o.verts.empty()) return refuse(call, "--verts N0,N1,... is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        WeldSelectedVerticesCommand weld(doc, root_of(doc),
                                         std::vector<VertexId>(o.verts.begin(), o.verts.end()),
                                         o.tolerance);
        weld.redo();
        const WeldSelectedResult& r = weld.result();
        if (r.merged == 0) {
            std::string err = "weld-verts merged nothing: of ";
            append_int(err, static_cast<std::int64_t>(r.considered));
            err += " alive vertices in --verts, no two were within ";
            append_float(err, o.tolerance);
            err += " m\n";
            write_err(err);
            return kExitFailure;
        }
        std::string report = linked_line(linked);
        key(report, "considered", r.considered);
        key(report, "clusters", r.clusters);
        key(report, "merged", r.merged);
        key(report, "faces_before", r.faces_before);
        key(report, "faces_after", r.faces_after);
        key(report, "dropped", r.faces_dropped);
        return finish_edit(call, doc, std::move(report));
    });
}

int run_make_planar(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces N0,N1,... is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        MakePlanarCommand planar(doc, root_of(doc),
                                 std::vector<FaceId>(o.faces.begin(), o.faces.end()));
        planar.redo();
        const MakePlanarResult& r = planar.result();
        if (r.projected == 0) {
            return refuse(call, linked_line(linked) +
                                    " no listed face is alive with a plane (collinear rings "
                                    "cannot be flattened)");
        }
        std::string report = linked_line(linked);
        key(report, "considered", r.considered);
        key(report, "projected", r.projected);
        key(report, "degenerate", r.degenerate);
        key(report, "moved", r.moved);
        key(report, "shared", r.shared);
        key_float(report, "worst_before", r.worst_before);
        key_float(report, "worst_after", r.worst_after);
        return finish_edit(call, doc, std::move(report));
    });
}

int run_edge_split_welded(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        const std::uint64_t naked_before = doc.root().mesh.naked_edge_count();
        SplitEdgeWeldedCommand split(doc, root_of(doc), o.edge.value, o.t);
        split.redo();
        const SplitEdgeWeldedResult& r = split.result();
        if (!r.ok) return refuse_edge(call, linked, o.edge.value, r.message);
        std::string report = linked_line(linked);
        key(report, "edge", o.edge.value);
        key_float(report, "t", o.t);
        key(report, "vertex", r.vertex);
        key(report, "faces_rewritten", r.faces_rewritten);
        key(report, "naked_before", naked_before);
        key(report, "naked_after", doc.root().mesh.naked_edge_count());
        return finish_edit(call, doc, std::move(report));
    });
}

int run_edge_dissolve(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        DissolveEdgeCommand dissolve(doc, root_of(doc), o.edge.value, o.tolerance);
        dissolve.redo();
        const DissolveEdgeResult& r = dissolve.result();
        if (r.status != DissolveStatus::kOk) {
            std::string extra;
            if (r.status == DissolveStatus::kNotCoplanar) key_float(extra, "deviation", r.deviation);
            return refuse_edge(call, linked, o.edge.value, status_name(r.status), extra);
        }
        std::string report = linked_line(linked);
        key(report, "edge", o.edge.value);
        key(report, "face", r.kept);
        key(report, "removed_face", r.removed);
        key(report, "sides", r.sides);
        key_float(report, "area", r.area);
        key_float(report, "deviation", r.deviation);
        return finish_edit(call, doc, std::move(report));
    });
}

int run_edge_collapse(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        const auto where = static_cast<CollapseTarget>(o.target);
        CollapseEdgeCommand collapse(doc, root_of(doc), o.edge.value, where);
        collapse.redo();
        const CollapseEdgeResult& r = collapse.result();
        if (r.status != CollapseStatus::kOk) {
            std::string extra;
            if (r.status == CollapseStatus::kLinkCondition) {
                key(extra, "shared", r.shared);
                key(extra, "expected", r.expected);
            }
            return refuse_edge(call, linked, o.edge.value, status_name(r.status), extra);
        }
        std::string report = linked_line(linked);
        key(report, "edge", o.edge.value);
        key(report, "kept", r.kept);
        key(report, "removed", r.removed);
        key(report, "shared", r.shared);
        key(report, "expected", r.expected);
        key(report, "faces_before", r.faces_before);
        key(report, "faces_after", r.faces_after);
        key(report, "dropped", r.faces_dropped);
        key(report, "naked_after", r.naked_after);
        return finish_edit(call, doc, std::move(report));
    });
}

int run_turn_edge(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    return with_linked_root(call, [&](Document& doc, std::uint64_t linked) {
        TurnEdgeCommand turn(doc, root_of(doc), o.edge.value, o.tolerance);
        turn.redo();
        const TurnEdgeResult& r = turn.result();
        if (r.status != TurnStatus::kOk) {
            std::string extra;
            if (r.status == TurnStatus::kNonPlanar) key_float(extra, "deviation", r.deviation);
            return refuse_edge(call, linked, o.edge.value, status_name(r.status), extra);
        }
        std::string report = linked_line(linked);
        key(report, "edge", o.edge.value);
        report += " old=";
        append_int(report, r.old_diagonal[0]);
        report += "-";
        append_int(report, r.old_diagonal[1]);
        report += " new=";
        append_int(report, r.new_diagonal[0]);
        report += "-";
        append_int(report, r.new_diagonal[1]);
        key_float(report, "deviation", r.deviation);
        key_float(report, "area_before", r.area_before);
        key_float(report, "area_after", r.area_after);
        return finish_edit(call, doc, std::move(report));
    });
}

}  // namespace korvan::cli
