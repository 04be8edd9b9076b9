#include "document/commands/command_stack.h"

#include <utility>

namespace korvan {

CommandStack::~CommandStack() {
    // Newest first: a later command may hold what an earlier one created.
    clear();
}

bool CommandStack::push(std::unique_ptr<Command> command) {
    if (!command) return false;
    command->redo();
    if (command->is_noop()) {
        noop_ = std::move(command);
        return false;
    }
    noop_.reset();
    if (!groups_.empty()) {
        groups_.back()->add(std::move(command));
        return true;
    }
    drop_redo_tail();
    commands_.push_back(std::move(command));
    cursor_ = commands_.size();
    return true;
}

void CommandStack::begin_group(std::string label) {
    groups_.push_back(std::make_unique<CompoundCommand>(std::move(label)));
}

std::size_t CommandStack::end_group() {
    if (groups_.empty()) return 0;
    std::unique_ptr<CompoundCommand> group = std::move(groups_.back());
    groups_.pop_back();
    const std::size_t children = group->size();
    if (children == 0) return 0;
    if (!groups_.empty()) {
        groups_.back()->add(std::move(group));
        return children;
    }
    drop_redo_tail();
    commands_.push_back(std::move(group));
    cursor_ = commands_.size();
    return children;
}

bool CommandStack::undo() {
    if (!can_undo()) return false;
    commands_[--cursor_]->undo();
    return true;
}

bool CommandStack::redo() {
    if (!can_redo()) return false;
    commands_[cursor_++]->redo();
    return true;
}

void CommandStack::clear() {
    noop_.reset();
    while (!groups_.empty()) groups_.pop_back();
    while (!commands_.empty()) commands_.pop_back();
    cursor_ = 0;
}

void CommandStack::drop_redo_tail() {
    while (commands_.size() > cursor_) commands_.pop_back();
}

ScopedCommandGroup::ScopedCommandGroup(CommandStack& stack, std::string label) : stack_(stack) {
    stack_.begin_group(std::move(label));
}

ScopedCommandGroup::~ScopedCommandGroup() { close(); }

std::size_t ScopedCommandGroup::close() {
    if (!active_) return 0;
    active_ = false;
    return stack_.end_group();
}

}  // namespace korvan
