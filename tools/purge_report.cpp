#include "tools/purge_report.h"

#include <cstddef>
#include <utility>

#include "core/mesh.h"
#include "document/document.h"
#include "document/material_library.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

std::uint64_t alive_faces(const Mesh& mesh) {
    std::uint64_t n = 0;
    for (const Face& f : mesh.faces()) n += f.alive ? 1 : 0;
    return n;
}

std::uint64_t alive_vertices(const Mesh& mesh) {
    std::uint64_t n = 0;
    for (const Vertex& v : mesh.vertices()) n += v.alive ? 1 : 0;
    return n;
}

bool holds_geometry(const Mesh& mesh) {
    if (!mesh.guides().empty()) return true;
    for (const Face& f : mesh.faces()) {
        if (f.alive) return true;
    }
    for (const Edge& e : mesh.edges()) {
        if (e.alive) return true;
    }
    return false;
}

// An instance shows its definition's mesh while the definition exists, its own otherwise.
const Mesh& shown_mesh(const Document& doc, const SceneNode& node) {
    if (node.is_instance() && !node.definition_id.empty()) {
        if (const ComponentDefinition* def = doc.definition(node.definition_id)) return def->mesh;
    }
    return node.mesh;
}

// Nodes below the root that hold nothing, counting the outermost of an empty subtree once:
// a node is empty only when every node under it is, so an empty node whose parent holds
// something is the top of its empty subtree.
std::uint64_t count_empty_nodes(const Document& doc) {
    struct Entry {
        std::size_t parent;
        bool holds;
    };
    std::vector<Entry> order;
    std::vector<std::size_t> path;
    walk_nodes(doc.root(), [&](const SceneNode& n, std::size_t depth) {
        path.resize(depth);
        order.push_back({depth == 0 ? 0 : path.back(), holds_geometry(shown_mesh(doc, n))});
        path.push_back(order.size() - 1);
        return true;
    });
    for (std::size_t i = order.size(); i-- > 1;) {
        if (order[i].holds) order[order[i].parent].holds = true;
    }
    std::uint64_t empty = 0;
    for (std::size_t i = 1; i < order.size(); ++i) {
        const std::size_t parent = order[i].parent;
        if (!order[i].holds && (parent == 0 || order[parent].holds)) ++empty;
    }
    return empty;
}

void count_materials(const Mesh& mesh, std::vector<std::uint64_t>& uses, PurgeReport& report) {
    ++report.meshes_scanned;
    for (const Face& f : mesh.faces()) {
        if (!f.alive) continue;
        if (f.material_id < uses.size()) {
            ++uses[f.material_id];
        } else {
            ++report.faces_out_of_range;
        }
    }
}

}  // namespace

const char* purge_kind_name(PurgeKind kind) {
    switch (kind) {
        case PurgeKind::kTag:
            return "tag";
        case PurgeKind::kDefinition:
            return "definition";
        case PurgeKind::kMaterial:
            return "material";
    }
    return "unknown";
}

PurgeReport build_purge_report(const Document& doc, const MaterialLibrary* library) {
    PurgeReport report;

    report.tags_total = doc.tags().size();
    for (std::size_t t = 0; t < doc.tags().size(); ++t) {
        const auto tag = static_cast<std::int32_t>(t);
        if (doc.count_nodes_with_tag(tag) != 0) continue;
        ++report.tags_unused;
        PurgeEntry e;
        e.kind = PurgeKind::kTag;
        e.index = tag;
        e.name = doc.tags()[t].name;
        for (const TextLabel& label : doc.labels()) e.labels += label.tag == tag ? 1 : 0;
        report.entries.push_back(std::move(e));
    }

    report.definitions_total = doc.definitions().size();
    for (std::size_t d = 0; d < doc.definitions().size(); ++d) {
        const ComponentDefinition& def = doc.definitions()[d];
        if (doc.count_instances(def.id) != 0) continue;
        ++report.definitions_unused;
        PurgeEntry e;
        e.kind = PurgeKind::kDefinition;
        e.index = static_cast<std::int64_t>(d);
        e.name = def.name;
        e.id = def.id;
        e.faces = alive_faces(def.mesh);
        e.vertices = alive_vertices(def.mesh);
        report.free_faces += e.faces;
        report.free_vertices += e.vertices;
        report.entries.push_back(std::move(e));
    }

    report.empty_nodes = count_empty_nodes(doc);

    if (library != nullptr) {
        report.materials_examined = true;
        report.materials_total = library->size();
        std::vector<std::uint64_t> uses(library->size(), 0);
        // Every node's own mesh, the root's included, hidden or not.
        walk_nodes(doc.root(), [&](const SceneNode& n, std::size_t) {
            count_materials(n.mesh, uses, report);
            return true;
        });
        for (const ComponentDefinition& def : doc.definitions()) {
            count_materials(def.mesh, uses, report);
        }
        for (std::size_t m = 0; m < uses.size(); ++m) {
            if (uses[m] != 0) continue;
            ++report.materials_unused;
            PurgeEntry e;
            e.kind = PurgeKind::kMaterial;
            e.index = static_cast<std::int64_t>(m);
            e.name = (*library)[m].name;
            report.entries.push_back(std::move(e));
        }
    }
    return report;
}

}  // namespace korvan
