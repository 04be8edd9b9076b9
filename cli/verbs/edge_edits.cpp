#include "cli/verbs/edge_edits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "document/commands/edge_commands.h"

// Reports, one line each, with ", saved to " and the quoted path when the model was written:
//   soften          soft_edges=N total_soft=N     (N softened by this run; soft edges after)
//   harden          hardened=N
//   reverse-faces   reversed=N
//   edge-split      Split edge E at t=T -> new vertex V naked_before=N naked_after=N
//   erase-edge      Erased edge E
// Refusals name the verb, except erase-edge's "Failed to erase edge E (invalid/dead edge)".

namespace korvan::cli {
namespace {

void append_key(std::string& out, std::string_view key, std::uint64_t value) {
    out.append(key).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

// Runs a whole-mesh pass that returns a count and reports it under `key`.
template <class Pass>
int count_pass(const VerbCall& call, std::string_view key, Pass&& pass) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::string report;
    append_key(report, key, pass(doc->root().mesh));
    return finish_edit(call, *doc, std::move(report));
}

}  // namespace

int run_soften(const VerbCall& call) {
    const float angle_deg = call.options.angle.given ? call.options.angle.value : 30.0f;
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;
    std::string report;
    append_key(report, "soft_edges", mesh.soften_edges_by_angle(angle_deg));
    append_key(report, " total_soft", mesh.soft_edge_count());
    return finish_edit(call, *doc, std::move(report));
}

int run_harden(const VerbCall& call) {
    return count_pass(call, "hardened", [](Mesh& mesh) { return mesh.harden_all_edges(); });
}

int run_reverse_faces(const VerbCall& call) {
    return count_pass(call, "reversed", [](Mesh& mesh) { return mesh.reverse_all_faces(); });
}

int run_edge_split(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;
    const std::uint64_t naked_before = mesh.naked_edge_count();
    const std::optional<VertexId> v = mesh.split_edge(o.edge.value, o.t);
    if (!v) {
        std::string reason = "edge ";
        append_int(reason, o.edge.value);
        reason += " could not be split (invalid/dead edge, equal ends, or no alive face)";
        return refuse(call, reason);
    }
    std::string report = "Split edge ";
    append_int(report, o.edge.value);
    report += " at t=";
    append_float(report, o.t);
    report += " -> new vertex ";
    append_int(report, *v);
    append_key(report, " naked_before", naked_before);
    append_key(report, " naked_after", mesh.naked_edge_count());
    return finish_edit(call, *doc, std::move(report));
}

int run_erase_edge(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.edge.given) return refuse(call, "--edge E is required");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    EraseEdgeCommand erase(*doc, MeshLocator::of_node(&doc->root()), o.edge.value);
    erase.redo();
    if (erase.is_noop()) {
        std::string err = "Failed to erase edge ";
        append_int(err, o.edge.value);
        write_err(err + " (invalid/dead edge)\n");
        return kExitFailure;
    }
    std::string report = "Erased edge ";
    append_int(report, o.edge.value);
    return finish_edit(call, *doc, std::move(report));
}

}  // namespace korvan::cli
