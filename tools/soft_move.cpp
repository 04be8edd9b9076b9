#include "tools/soft_move.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/edge_distance.h"
#include "core/spatial_index.h"
#include "document/document.h"

// The field keeps every distance in hash maps keyed by vertex id and asks the spatial index
// for what lies near each handle, so a drag on a large model costs what it reaches. The
// coincidence test looks, from each vertex the drag examined, for unexamined vertices within
// the weld tolerance: an unwelded seam inside the radius that the drag would tear open.

namespace korvan {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

bool finite(const Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Alive vertices within `distance` of the point (inclusive): through the index when there is
// one, else by scanning every vertex.
template <class Visit>
void for_each_near(const Mesh& mesh, const MeshSpatialIndex* index, const Vec3& point,
                   float distance, Visit&& visit) {
    const auto verts = mesh.vertices();
    if (index != nullptr) {
        for (const VertexId v : index->vertices_near(point, distance)) {
            if (mesh.vertex_usable(v)) visit(v);
        }
        return;
    }
    const double limit = double(distance) * distance;
    for (VertexId v = 0; v < verts.size(); ++v) {
        if (!verts[v].alive) continue;
        const Vec3 d = verts[v].position - point;
        if (double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z <= limit) visit(v);
    }
}

SoftMoveField refused(const char* message) {
    SoftMoveField f;
    f.ok = false;
    f.message = message;
    return f;
}

}  // namespace

float soft_move_weight(SoftMoveCurve curve, float distance, float radius) {
    const float t = 1.0f - distance / radius;
    switch (curve) {
        case SoftMoveCurve::kLinear: return t;
        case SoftMoveCurve::kSmooth: {
            const float s = std::min(std::max(t, 0.0f), 1.0f);
            return s * s * (3.0f - 2.0f * s);
        }
        case SoftMoveCurve::kSharp: return t * t;
        case SoftMoveCurve::kConstant: return 1.0f;
    }
    return 0.0f;
}

SoftMoveField soft_move_field(const Mesh& mesh, const MeshSpatialIndex* index,
                              std::span<const VertexId> handles, const SoftMoveOptions& options) {
    const float r = options.radius;
    if (!std::isfinite(r) || !(r > 0.0f)) return refused("radius must be finite and positive");
    if (!std::isfinite(options.weld_tolerance) || !(options.weld_tolerance > 0.0f)) {
        return refused("weld tolerance must be finite and positive");
    }
    if (!std::isfinite(options.move_epsilon) || options.move_epsilon < 0.0f) {
        return refused("move epsilon must be finite and non-negative");
    }
    if (options.metric == SoftMoveMetric::kSurface && index == nullptr) {
        return refused("the surface metric needs a vertex graph");
    }
    if (handles.empty()) return refused("no handle vertex given");

    const auto verts = mesh.vertices();
    std::vector<VertexId> alive;
    std::unordered_set<VertexId> seen;
    for (const VertexId h : handles) {
        if (!mesh.vertex_usable(h) || !finite(verts[h].position)) continue;
        if (seen.insert(h).second) alive.push_back(h);
    }
    if (alive.empty()) return refused("no alive handle vertex");

    SoftMoveField field;
    field.handles = alive.size();

    // Straight-line distance to the nearest handle, for the vertices inside the radius only:
    // every other vertex is at or beyond it, which is all the weighting needs to know.
    std::unordered_map<VertexId, float> space;
    for (const VertexId h : alive) {
        const Vec3 p = verts[h].position;
        for_each_near(mesh, index, p, r, [&](VertexId v) {
            const float d = length(verts[v].position - p);
            const auto [it, fresh] = space.try_emplace(v, d);
            if (!fresh && d < it->second) it->second = d;
        });
    }

    std::vector<std::pair<VertexId, float>> within;  // distance used, below the radius
    if (options.metric == SoftMoveMetric::kSpace) {
        for (const auto& [v, d] : space) {
            if (d < r) within.emplace_back(v, d);
        }
    } else {
        const EdgeDistances reach = edge_distances_within(mesh, *index, alive, r);
        field.graph_vertices = reach.settled;
        field.graph_edges = reach.edges_scanned;
        for (const EdgeReach& e : reach.reached) within.emplace_back(e.vertex, e.distance);
        std::unordered_set<VertexId> reached;
        for (const EdgeReach& e : reach.reached) reached.insert(e.vertex);
        for (const auto& [v, d] : space) {
            if (d < r && reached.count(v) == 0) ++field.space_only;
        }
    }
    std::sort(within.begin(), within.end());

    std::unordered_set<VertexId> examined;
    for (const auto& [v, d] : within) {
        examined.insert(v);
        if (!std::isfinite(d)) continue;
        const float w = d == 0.0f ? 1.0f : soft_move_weight(options.curve, d, r);
        if (!(w > 0.0f)) continue;
        field.influenced.push_back({v, d, w});
        field.max_distance = std::max(field.max_distance, d);
    }

    std::unordered_set<VertexId> coincident;
    for (const auto& [v, d] : within) {
        for_each_near(mesh, index, verts[v].position, options.weld_tolerance, [&](VertexId u) {
            if (examined.count(u) == 0) coincident.insert(u);
        });
    }
    field.coincident_unreached = coincident.size();
    return field;
}

SoftMoveVerticesCommand::SoftMoveVerticesCommand(Document& doc, MeshLocator target,
                                                 std::vector<VertexId> handles,
                                                 const Vec3& delta, const SoftMoveOptions& options)
    : doc_(doc),
      target_(std::move(target)),
      handles_(std::move(handles)),
      delta_(delta),
      options_(options) {}

void SoftMoveVerticesCommand::redo() {
    if (applied_) return;
    moved_ = 0;
    max_move_ = total_move_ = farthest_moved_ = 0.0f;
    Mesh* mesh = target_.resolve(doc_);
    if (mesh == nullptr) {
        field_ = refused("the mesh is gone");
        return;
    }
    const std::shared_ptr<const MeshSpatialIndex> index = mesh->spatial_index();
    field_ = soft_move_field(*mesh, index.get(), handles_, options_);
    if (!field_.ok || delta_ == Vec3{}) return;

    // Which vertices move, and the faces around them, are settled before anything moves:
    // the index still describes the mesh as it is, and asking it again after the move would
    // rebuild every chunk the drag touched a second time.
    struct Step {
        VertexId vertex;
        Vec3 step;
        float travel;
        float distance;
    };
    std::vector<Step> steps;
    std::vector<VertexId> moved;
    for (const SoftInfluence& s : field_.influenced) {
        const Vec3 step = delta_ * s.weight;
        const float travel = length(step);
        if (!(travel > options_.move_epsilon)) continue;
        steps.push_back({s.vertex, step, travel, s.distance});
        moved.push_back(s.vertex);
    }
    if (steps.empty()) return;
    const std::vector<FaceId> around = index->faces_using_vertices(moved);

    journal_ = std::make_unique<MeshJournal>();
    {
        const ScopedMeshJournal guard(*mesh, *journal_);
        double total = 0.0;
        for (const Step& s : steps) {
            mesh->vertex_mut(s.vertex).position += s.step;
            total += s.travel;
            max_move_ = std::max(max_move_, s.travel);
            farthest_moved_ = std::max(farthest_moved_, s.distance);
        }
        total_move_ = static_cast<float>(total);
        for (const FaceId f : around) mesh->recompute_face_normal(f);
    }
    moved_ = moved.size();
    applied_ = moved_ > 0;
}

void SoftMoveVerticesCommand::undo() {
    if (!applied_) return;
    if (Mesh* mesh = target_.resolve(doc_)) mesh->restore(*journal_);
    applied_ = false;
}

}  // namespace korvan
