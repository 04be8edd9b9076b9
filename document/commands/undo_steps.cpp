#include "document/commands/undo_steps.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

#include "document/document.h"

namespace korvan {
namespace {

template <class T>
bool same_bytes(std::span<const T> a, std::span<const T> b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Blocks of the table whose contents differ between a and b, a block missing from one side
// included.
template <class T>
std::vector<std::uint32_t> differing_blocks(const ElementTable<T>& a, const ElementTable<T>& b) {
    constexpr std::uint32_t kBlock = ElementTable<T>::kBlockSize;
    const std::span<const T> va = a.view();
    const std::span<const T> vb = b.view();
    const std::size_t longest = std::max(va.size(), vb.size());
    std::vector<std::uint32_t> out;
    for (std::size_t first = 0; first < longest; first += kBlock) {
        const auto block_of = [&](std::span<const T> v) {
            return first < v.size()
                       ? v.subspan(first, std::min<std::size_t>(kBlock, v.size() - first))
                       : std::span<const T>();
        };
        if (!same_bytes(block_of(va), block_of(vb))) {
            out.push_back(static_cast<std::uint32_t>(first / kBlock));
        }
    }
    return out;
}

bool same_guide(const Guide& a, const Guide& b) {
    return a.a == b.a && a.b == b.b && a.infinite == b.infinite;
}
bool same_curve(const Curve& a, const Curve& b) {
    return a.points == b.points && a.alive == b.alive && a.closed == b.closed && a.kind == b.kind;
}
bool same_note(const Note& a, const Note& b) {
    return a.alive == b.alive && a.flag == b.flag && a.number_a == b.number_a &&
           a.number_b == b.number_b && a.a == b.a && a.b == b.b && a.text == b.text;
}
bool same_dimension(const Dimension& a, const Dimension& b) {
    return a.a == b.a && a.b == b.b && a.value == b.value && a.tail_int_a == b.tail_int_a &&
           a.tail_numbers_a == b.tail_numbers_a && a.tail_int_b == b.tail_int_b &&
           a.tail_numbers_b == b.tail_numbers_b && a.anchor_a == b.anchor_a &&
           a.anchor_b == b.anchor_b && a.direction == b.direction && a.label == b.label;
}

template <class T, class Same>
bool same_list(std::span<const T> a, std::span<const T> b, Same&& same) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

bool same_corner_uvs(const Mesh& a, const Mesh& b) {
    const std::size_t count = std::max(a.half_edges().size(), b.half_edges().size());
    for (std::size_t h = 0; h < count; ++h) {
        const CornerUv ua = a.corner_uv(static_cast<HalfEdgeId>(h));
        const CornerUv ub = b.corner_uv(static_cast<HalfEdgeId>(h));
        if (ua.set != ub.set || (ua.set && (ua.u != ub.u || ua.v != ub.v))) return false;
    }
    return true;
}

bool same_annotations(const Mesh& a, const Mesh& b) {
    const auto la = a.layer_visibility();
    const auto lb = b.layer_visibility();
    return std::equal(la.begin(), la.end(), lb.begin(), lb.end()) &&
           same_list(a.guides(), b.guides(), same_guide) &&
           same_list(a.curves(), b.curves(), same_curve) &&
           same_list(a.notes(), b.notes(), same_note) &&
           same_list(a.dimensions(), b.dimensions(), same_dimension) && same_corner_uvs(a, b);
}

// Writing an element through the mutable accessor is what stamps its block.
template <class Touch>
void stamp_blocks(const std::vector<std::uint32_t>& blocks, std::uint32_t size,
                  std::uint32_t block_size, Touch&& touch) {
    for (const std::uint32_t b : blocks) {
        const std::uint32_t first = b * block_size;
        if (first < size) touch(first);
    }
}

}  // namespace

// ---- MeshLocator -----------------------------------------------------------------------

MeshLocator MeshLocator::of_node(SceneNode* node) { return MeshLocator{node, {}}; }

MeshLocator MeshLocator::of_definition(std::string id) {
    return MeshLocator{nullptr, std::move(id)};
}

Mesh* MeshLocator::resolve(Document& doc) const {
    if (!definition_id.empty()) {
        ComponentDefinition* def = doc.definition(definition_id);
        return def == nullptr ? nullptr : &def->mesh;
    }
    return doc.contains(node) ? &node->mesh : nullptr;
}

MeshTableSizes MeshTableSizes::of(const Mesh& mesh) {
    return {mesh.vertex_table().size(), mesh.half_edge_table().size(), mesh.edge_table().size(),
            mesh.face_table().size(), mesh.curves().size()};
}

// ---- Mesh comparison and replacement ---------------------------------------------------

bool same_mesh_content(const Mesh& a, const Mesh& b) {
    return same_bytes(a.vertices(), b.vertices()) && same_bytes(a.half_edges(), b.half_edges()) &&
           same_bytes(a.edges(), b.edges()) && same_bytes(a.faces(), b.faces()) &&
           same_annotations(a, b);
}

void assign_mesh_marking_changes(Mesh& target, const Mesh& source) {
    const auto vertices = differing_blocks(target.vertex_table(), source.vertex_table());
    const auto half_edges = differing_blocks(target.half_edge_table(), source.half_edge_table());
    const auto edges = differing_blocks(target.edge_table(), source.edge_table());
    const auto faces = differing_blocks(target.face_table(), source.face_table());
    const bool annotations_differ = !same_annotations(target, source);
    target = source;

    std::uint32_t bits = 0;
    if (!vertices.empty()) bits |= kVertexTableBit;
    if (!half_edges.empty()) bits |= kHalfEdgeTableBit;
    if (!edges.empty()) bits |= kEdgeTableBit;
    if (!faces.empty()) bits |= kFaceTableBit;
    if (bits == 0 && !annotations_differ) return;
    // The copy brought its own stamps, which say nothing about how it differs from what was
    // there before; restamp exactly the blocks that differ.
    stamp_blocks(vertices, target.vertex_table().size(), ElementTable<Vertex>::kBlockSize,
                 [&](std::uint32_t i) { target.vertex_mut(i); });
    stamp_blocks(half_edges, target.half_edge_table().size(), ElementTable<HalfEdge>::kBlockSize,
                 [&](std::uint32_t i) { target.half_edge_mut(i); });
    stamp_blocks(edges, target.edge_table().size(), ElementTable<Edge>::kBlockSize,
                 [&](std::uint32_t i) { target.edge_mut(i); });
    stamp_blocks(faces, target.face_table().size(), ElementTable<Face>::kBlockSize,
                 [&](std::uint32_t i) { target.face_mut(i); });
    target.mark_changed(bits);
}

// ---- MeshEditStep ----------------------------------------------------------------------

MeshEditStep::MeshEditStep(Document& doc, MeshLocator target, std::string label, Mesh before,
                           Mesh after)
    : doc_(doc),
      target_(std::move(target)),
      label_(std::move(label)),
      before_(std::move(before)),
      after_(std::move(after)),
      sizes_after_(MeshTableSizes::of(after_)),
      changed_(!same_mesh_content(before_, after_)) {}

void MeshEditStep::redo() {
    Mesh* mesh = target_.resolve(doc_);
    found_ = mesh != nullptr;
    if (mesh != nullptr && changed_) assign_mesh_marking_changes(*mesh, after_);
}

void MeshEditStep::undo() {
    Mesh* mesh = target_.resolve(doc_);
    if (mesh != nullptr && changed_) assign_mesh_marking_changes(*mesh, before_);
}

// ---- MaterialRepaintStep ---------------------------------------------------------------

MaterialRepaintStep::MaterialRepaintStep(Document& doc, std::string label,
                                         std::vector<MeshRepaint> meshes,
                                         std::vector<NodeRepaint> nodes)
    : doc_(doc), label_(std::move(label)), meshes_(std::move(meshes)), nodes_(std::move(nodes)) {
    for (const MeshRepaint& m : meshes_) {
        for (const FaceRepaint& f : m.faces) noop_ = noop_ && f.old_material == f.new_material;
    }
    for (const NodeRepaint& n : nodes_) noop_ = noop_ && n.old_material == n.new_material;
}

void MaterialRepaintStep::apply(bool forward) {
    if (noop_) return;
    // Undo walks the entries last-first, so a face listed twice ends at its first old value.
    const std::size_t mesh_count = meshes_.size();
    for (std::size_t mi = 0; mi < mesh_count; ++mi) {
        const MeshRepaint& m = meshes_[forward ? mi : mesh_count - 1 - mi];
        Mesh* mesh = m.mesh.resolve(doc_);
        if (mesh == nullptr) continue;
        bool touched = false;
        const std::size_t face_count = m.faces.size();
        for (std::size_t fi = 0; fi < face_count; ++fi) {
            const FaceRepaint& f = m.faces[forward ? fi : face_count - 1 - fi];
            if (f.face >= mesh->faces().size()) continue;
            mesh->face_mut(f.face).material_id = forward ? f.new_material : f.old_material;
            touched = true;
        }
        if (touched) mesh->mark_changed(kFaceTableBit);
    }
    const std::size_t node_count = nodes_.size();
    for (std::size_t ni = 0; ni < node_count; ++ni) {
        const NodeRepaint& n = nodes_[forward ? ni : node_count - 1 - ni];
        if (doc_.contains(n.node)) n.node->material = forward ? n.new_material : n.old_material;
    }
}

// ---- RenameDefsStep --------------------------------------------------------------------

RenameDefsStep::RenameDefsStep(Document& doc, std::vector<DefinitionRename> renames)
    : doc_(doc), renames_(std::move(renames)) {
    for (const DefinitionRename& r : renames_) noop_ = noop_ && r.old_name == r.new_name;
}

void RenameDefsStep::apply(bool forward) {
    if (noop_) return;
    const std::size_t count = renames_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const DefinitionRename& r = renames_[forward ? i : count - 1 - i];
        doc_.rename_definition(r.id, forward ? r.new_name : r.old_name);
    }
}

}  // namespace korvan
