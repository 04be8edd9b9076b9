#include "cli/verbs/model_files.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/samples/fallback_model.h"
#include "core/parallel_scan.h"
#include "document/material_library.h"
#include "io/korv_reader.h"

namespace korvan::cli {
namespace {

// Counts over the scene graph below the root (the root itself is neither a group nor an
// instance of the model).
struct NodeCounts {
    std::uint64_t groups = 0, instances = 0;
};

void count_nodes(const SceneNode& node, NodeCounts& counts, std::vector<bool>& used_materials,
                 std::size_t material_count) {
    // Explicit stack: a hostile file may nest nodes deeper than the call stack allows.
    std::vector<const SceneNode*> stack;
    for (const auto& child : node.children) stack.push_back(child.get());
    while (!stack.empty()) {
        const SceneNode* n = stack.back();
        stack.pop_back();
        (n->is_instance() ? counts.instances : counts.groups) += 1;
        if (n->material >= 0 && static_cast<std::size_t>(n->material) < material_count) {
            used_materials[static_cast<std::size_t>(n->material)] = true;
        }
        for (const auto& child : n->children) stack.push_back(child.get());
    }
}

void mark_face_materials(const Mesh& mesh, std::vector<bool>& used) {
    for (const Face& f : mesh.faces()) {
        if (f.alive && f.material_id < used.size()) used[f.material_id] = true;
    }
}

void mark_all_materials(const SceneNode& node, std::vector<bool>& used) {
    std::vector<const SceneNode*> stack{&node};
    while (!stack.empty()) {
        const SceneNode* n = stack.back();
        stack.pop_back();
        mark_face_materials(n->mesh, used);
        for (const auto& child : n->children) stack.push_back(child.get());
    }
}

void append_key(std::string& out, const char* key, std::uint64_t value) {
    if (!out.empty() && out.back() != '\n') out += ' ';
    out.append(key).append("=");
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

// The three report lines. The second and third lines describe the root mesh, the geometry the
// mesh verbs edit; world_faces on the first counts everything a render would show.
std::string stats_report(const Document& doc) {
    const Mesh& mesh = doc.root().mesh;
    std::uint64_t faces = 0, visible = 0, edges = 0, verts = 0, soft = 0;
    for (const Face& f : mesh.faces()) {
        if (!f.alive) continue;
        ++faces;
        if (f.visible) ++visible;
    }
    for (const Edge& e : mesh.edges()) {
        if (!e.alive) continue;
        ++edges;
        if (e.soft) ++soft;
    }
    for (const Vertex& v : mesh.vertices()) verts += v.alive ? 1 : 0;

    const std::size_t material_count = doc.materials().size();
    std::vector<bool> used_materials(material_count, false);
    NodeCounts nodes;
    count_nodes(doc.root(), nodes, used_materials, material_count);
    mark_all_materials(doc.root(), used_materials);
    for (const auto& def : doc.definitions()) mark_face_materials(def.mesh, used_materials);
    const auto mats_used =
        static_cast<std::uint64_t>(std::count(used_materials.begin(), used_materials.end(), true));
    std::uint64_t defs_unused = 0;
    for (const auto& def : doc.definitions()) defs_unused += doc.count_instances(def.id) == 0;

    const bool empty = faces == 0;
    const bool doc_empty = empty && doc.root().children.empty() && doc.definitions().empty();
    const std::uint64_t world_faces = doc.count_world_faces();

    std::string out;
    append_key(out, "empty", empty);
    append_key(out, "doc_empty", doc_empty);
    append_key(out, "faces", faces);
    append_key(out, "visible", visible);
    append_key(out, "hidden", faces - visible);
    append_key(out, "edges", edges);
    append_key(out, "verts", verts);
    append_key(out, "soft_edges", soft);
    append_key(out, "hard_edges", edges - soft);
    out += " soft_ratio=";
    append_float(out, edges ? static_cast<double>(soft) / static_cast<double>(edges) : 0.0);
    append_key(out, "guides", mesh.guides().size());
    append_key(out, "dims", mesh.dimensions().size());
    append_key(out, "world_faces", world_faces);
    append_key(out, "instances", nodes.instances);
    append_key(out, "tags", doc.tags().size());
    append_key(out, "groups", nodes.groups);
    append_key(out, "scenes", doc.scenes().size());
    append_key(out, "sections", doc.sections().size());
    append_key(out, "materials", material_count);
    append_key(out, "mats_used", mats_used);
    append_key(out, "mats_unused", material_count - mats_used);
    append_key(out, "defs", doc.definitions().size());
    append_key(out, "defs_unused", defs_unused);
    out += '\n';

    // Box over the vertices of alive faces, so stray dead or loose vertices don't widen it.
    // The scan runs in chunks on both cores; joining the chunks in order keeps the sums the
    // same from run to run.
    struct FacePart {
        Aabb box;
        double area = 0.0;
    };
    Aabb box;
    double area = 0.0;
    for (const FacePart& part :
         scan_chunks<FacePart>(mesh.faces().size(), [&](std::size_t b, std::size_t e) {
             FacePart chunk;
             for (auto f = static_cast<FaceId>(b); f < e; ++f) {
                 if (!mesh.faces()[f].alive) continue;
                 for (VertexId v : mesh.face_vertices(f))
                     chunk.box.expand(mesh.vertices()[v].position);
                 chunk.area += mesh.face_area(f);
             }
             return chunk;
         })) {
        if (!part.box.empty()) box.expand(part.box);
        area += part.area;
    }
    if (empty || box.empty()) {
        out += "bbox=empty\n";
    } else {
        const double sx = double(box.max.x) - box.min.x, sy = double(box.max.y) - box.min.y,
                     sz = double(box.max.z) - box.min.z;
        out += "bbox=min=";
        append_vec3(out, box.min.x, box.min.y, box.min.z);
        out += " max=";
        append_vec3(out, box.max.x, box.max.y, box.max.z);
        out += " size=";
        append_vec3(out, sx, sy, sz);
        out += " diag=";
        append_float(out, std::sqrt(sx * sx + sy * sy + sz * sz));
        out += " vol=";
        append_float(out, mesh.compute_volume());
        out += " center=";
        append_vec3(out, (double(box.min.x) + box.max.x) / 2, (double(box.min.y) + box.max.y) / 2,
                    (double(box.min.z) + box.max.z) / 2);
        // Surface area of the box: what wrapping the model's extents would take.
        out += " box_area=";
        append_float(out, 2.0 * (sx * sy + sy * sz + sz * sx));
        out += '\n';
    }

    struct EdgePart {
        double length = 0.0;
        EdgeId first = kInvalidId;
    };
    double edge_length = 0.0;
    EdgeId first_edge = kInvalidId;
    for (const EdgePart& part :
         scan_chunks<EdgePart>(mesh.edges().size(), [&](std::size_t b, std::size_t e) {
             EdgePart chunk;
             for (auto edge = static_cast<EdgeId>(b); edge < e; ++edge) {
                 if (!mesh.edges()[edge].alive) continue;
                 const auto ends = mesh.edge_vertices(edge);
                 if (!mesh.vertex_usable(ends[0]) || !mesh.vertex_usable(ends[1])) continue;
                 const Vec3 a = mesh.vertices()[ends[0]].position;
                 const Vec3 c = mesh.vertices()[ends[1]].position;
                 const double dx = double(c.x) - a.x, dy = double(c.y) - a.y,
                              dz = double(c.z) - a.z;
                 chunk.length += std::sqrt(dx * dx + dy * dy + dz * dz);
                 if (chunk.first == kInvalidId) chunk.first = edge;
             }
             return chunk;
         })) {
        edge_length += part.length;
        if (first_edge == kInvalidId) first_edge = part.first;
    }
    out += "area=";
    append_float(out, area);
    out += " avg_face_area=";
    append_float(out, faces ? area / static_cast<double>(faces) : 0.0);
    out += " avg_edge_len=";
    append_float(out, edges ? edge_length / static_cast<double>(edges) : 0.0);
    if (first_edge != kInvalidId) {
        const auto ends = mesh.edge_vertices(first_edge);
        const Vec3 a = mesh.vertices()[ends[0]].position, b = mesh.vertices()[ends[1]].position;
        out += " edge0_mid=";
        append_vec3(out, (double(a.x) + b.x) / 2, (double(a.y) + b.y) / 2, (double(a.z) + b.z) / 2);
    }
    out += '\n';
    return out;
}

bool has_skp_extension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".skp";
}

}  // namespace

int run_new(const VerbCall& call) {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    const auto& out = call.options.out.value;
    if (!save_document(doc, out)) return kExitFailure;
    write_out("Created an empty model, saved to " + quoted_path(out) + '\n');
    return kExitOk;
}

int run_stats(const VerbCall& call) {
    const auto& in = call.options.in;
    if (!in.empty() && has_skp_extension(in)) {
        // No reader for that format is built in.
        write_err("Failed to read SketchUp " + quoted_path(in) + '\n');
        return kExitFailure;
    }
    const auto start = std::chrono::steady_clock::now();
    Document doc;
    if (in.empty()) {
        install_fallback_model(doc);
    } else if (!io::load_document(in, doc)) {
        write_err("Failed to load " + quoted_path(in) + ": " + io::last_load_error() + '\n');
        return kExitFailure;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::string timing = "load_s=";
    append_float(timing, seconds.count());
    write_err(timing + '\n');
    write_out(stats_report(doc));
    return kExitOk;
}

}  // namespace korvan::cli
