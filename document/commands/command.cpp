#include "document/commands/command.h"

#include <utility>

namespace korvan {

void CompoundCommand::redo() {
    for (const auto& child : children_) child->redo();
}

void CompoundCommand::undo() {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) (*it)->undo();
}

void CompoundCommand::add(std::unique_ptr<Command> child) {
    if (child) children_.push_back(std::move(child));
}

}  // namespace korvan
