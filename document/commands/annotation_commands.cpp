#include "document/commands/annotation_commands.h"

#include <utility>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"

namespace korvan {
namespace {

// Drops the entry an append made, provided it is still the last one: a list that changed
// shape since (which recorded history never allows) is left alone rather than losing the
// wrong entry.
template <class T>
std::vector<T> without_last(std::vector<T> list, std::size_t index) {
    if (!list.empty() && list.size() == index + 1) list.pop_back();
    return list;
}

}  // namespace

AddGuideCommand::AddGuideCommand(Document& doc, MeshLocator target, Guide guide)
    : doc_(doc), target_(std::move(target)), guide_(guide) {}

void AddGuideCommand::redo() {
    Mesh* mesh = target_.resolve(doc_);
    found_ = applied_ = mesh != nullptr;
    if (applied_) index_ = mesh->add_guide(guide_.a, guide_.b, guide_.infinite);
}

void AddGuideCommand::undo() {
    Mesh* mesh = target_.resolve(doc_);
    if (!applied_ || mesh == nullptr) return;
    mesh->exchange_guides(without_last(mesh->exchange_guides({}), index_));
    applied_ = false;
}

AddDimensionCommand::AddDimensionCommand(Document& doc, MeshLocator target, Dimension dimension)
    : doc_(doc), target_(std::move(target)), dimension_(std::move(dimension)) {}

void AddDimensionCommand::redo() {
    Mesh* mesh = target_.resolve(doc_);
    found_ = applied_ = mesh != nullptr;
    if (applied_) index_ = mesh->add_dimension(dimension_);
}

void AddDimensionCommand::undo() {
    Mesh* mesh = target_.resolve(doc_);
    if (!applied_ || mesh == nullptr) return;
    mesh->exchange_dimensions(without_last(mesh->exchange_dimensions({}), index_));
    applied_ = false;
}

}  // namespace korvan
