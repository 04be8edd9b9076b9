#include "cli/verbs/roof_verbs.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/tolerances.h"
#include "tools/roofs/roof_commands.h"

namespace korvan::cli {
namespace {

constexpr double kDegToRadD = 3.14159265358979323846 / 180.0;

std::vector<Point2> footprint_of(const Options& o) {
    if (o.roof_plan.empty()) return default_roof_footprint();
    std::vector<Point2> plan;
    for (const Float2& p : o.roof_plan) plan.push_back({p[0], p[1]});
    return plan;
}

void key(std::string& out, const char* name, double value) {
    out.append(" ").append(name).append("=");
    append_float(out, value);
}

void key(std::string& out, const char* name, std::uint64_t value) {
    out.append(" ").append(name).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

void faces(std::string& out, std::uint64_t before, std::uint64_t after) {
    key(out, "faces", before);
    out.append("->");
    append_int(out, static_cast<std::int64_t>(after));
}

// Loads the model, runs the command on the root mesh and reports; a refusal is exit 2.
template <class RoofCommand, class Spec, class Print>
int run_roof(const VerbCall& call, const Spec& spec, Print&& print) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    RoofCommand command(*doc, MeshLocator::of_node(&doc->root()), footprint_of(call.options),
                        spec);
    command.redo();
    if (!command.report().ok) return refuse(call, command.report().message, kExitNothingToDo);
    std::string line(call.verb);
    print(line, command.report());
    return finish_edit(call, *doc, std::move(line));
}

}  // namespace

int run_flat_roof(const VerbCall& call) {
    const Options& o = call.options;
    FlatRoofSpec spec;
    spec.base_z = o.roof_base_z;
    spec.slab = o.roof_slab;
    if (o.roof_overhang.given) spec.overhang = o.roof_overhang.value;
    spec.parapet = o.roof_parapet;
    spec.parapet_thickness = o.roof_parapet_thick;
    spec.parapet_inset = o.roof_parapet_inset;
    if (o.roof_fascia.given) spec.fascia = o.roof_fascia.value;
    spec.fascia_thickness = o.roof_fascia_thick;
    return run_roof<BuildFlatRoofCommand>(call, spec, [](std::string& out, const FlatRoofReport& r) {
        key(out, "footprint", r.footprint);
        key(out, "roofed", r.roofed);
        key(out, "slab", r.slab);
        key(out, "parapet", r.parapet);
        key(out, "fascia", r.fascia);
        key(out, "volume", r.volume);
        key(out, "solids", std::uint64_t{r.solids});
        key(out, "bevelled", std::uint64_t{r.bevelled});
        faces(out, r.faces_before, r.faces_after);
    });
}

int run_pitched_roof(const VerbCall& call) {
    const Options& o = call.options;
    PitchedRoofSpec spec;
    spec.base_z = o.roof_base_z;
    spec.pitch_rad = o.roof_pitch * kDegToRadD;
    spec.step = o.roof_step;
    if (o.roof_overhang.given) spec.overhang = o.roof_overhang.value;
    if (o.roof_fascia.given) spec.fascia = o.roof_fascia.value;
    return run_roof<BuildPitchedRoofCommand>(
        call, spec, [](std::string& out, const PitchedRoofReport& r) {
            key(out, "footprint", r.footprint);
            key(out, "roofed", r.roofed);
            key(out, "contours", std::uint64_t{r.contours});
            key(out, "apex_inset", r.apex_inset);
            key(out, "apex_height", r.apex_height);
            key(out, "ridge_deviation", r.ridge_deviation);
            key(out, "volume", r.volume);
            key(out, "collapsed_offsets", std::uint64_t{r.collapsed_offsets});
            faces(out, r.faces_before, r.faces_after);
        });
}

int run_skeleton_roof(const VerbCall& call) {
    const Options& o = call.options;
    SkeletonRoofSpec spec;
    spec.base_z = o.roof_base_z;
    spec.pitch_rad = o.roof_pitch * kDegToRadD;
    if (o.roof_overhang.given) spec.overhang = o.roof_overhang.value;
    if (o.roof_fascia.given) spec.fascia = o.roof_fascia.value;
    return run_roof<BuildSkeletonRoofCommand>(
        call, spec, [](std::string& out, const SkeletonRoofReport& r) {
            key(out, "footprint", r.footprint);
            key(out, "roofed", r.roofed);
            key(out, "facets", std::uint64_t{r.facets});
            key(out, "nodes", r.nodes);
            key(out, "arcs", r.arcs);
            key(out, "edge_events", r.edge_events);
            key(out, "split_events", r.split_events);
            key(out, "apex_inset", r.apex_inset);
            key(out, "apex_height", r.apex_height);
            key(out, "ridge_deviation", r.ridge_deviation);
            key(out, "planarity", r.planarity);
            key(out, "volume", r.volume);
            faces(out, r.faces_before, r.faces_after);
        });
}

}  // namespace korvan::cli
