#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "document/commands/command.h"

namespace korvan {

// The undo history. The commands before the cursor are applied; those at and after it are
// the redo tail, which the next recorded command destroys. Open groups collect pushed
// commands so that several edits become one undo step.
class CommandStack {
  public:
    CommandStack() = default;
    CommandStack(const CommandStack&) = delete;
    CommandStack& operator=(const CommandStack&) = delete;
    ~CommandStack();

    // Applies the command. A command that reports a no-op replaces the one in the no-op slot
    // and changes nothing else; otherwise the slot is emptied and the command is recorded in
    // the innermost open group, or, with none open, appended after the redo tail is dropped.
    // True when the command was recorded.
    bool push(std::unique_ptr<Command> command);

    // Opens a group (nested in any open one).
    void begin_group(std::string label);
    // Closes the innermost group and returns its number of children; an empty group is
    // discarded (0). Its children ran when they were pushed, so nothing runs again. Without
    // an open group it does nothing and returns 0.
    std::size_t end_group();
    std::size_t open_group_count() const { return groups_.size(); }

    // Undoes the command below the cursor, or redoes the one at it, and moves the cursor.
    // False when there is none or a group is open: history is not rewound under a group
    // that is still being filled.
    bool undo();
    bool redo();
    bool can_undo() const { return groups_.empty() && cursor_ > 0; }
    bool can_redo() const { return groups_.empty() && cursor_ < commands_.size(); }

    // Recorded commands, applied or not.
    std::size_t size() const { return commands_.size(); }
    std::size_t cursor() const { return cursor_; }
    const Command& command(std::size_t i) const { return *commands_[i]; }
    // The most recent command that turned out to be a no-op, kept so its result fields can
    // still be read; null when the last push recorded something.
    const Command* noop_command() const { return noop_.get(); }

    // Drops the history, the open groups and the no-op slot.
    void clear();

  private:
    void drop_redo_tail();

    std::vector<std::unique_ptr<Command>> commands_;
    std::size_t cursor_ = 0;
    std::vector<std::unique_ptr<CompoundCommand>> groups_;  // innermost last
    std::unique_ptr<Command> noop_;
};

// Opens a group on construction and closes it on destruction (or at close()).
class ScopedCommandGroup {
  public:
    ScopedCommandGroup(CommandStack& stack, std::string label);
    ScopedCommandGroup(const ScopedCommandGroup&) = delete;
    ScopedCommandGroup& operator=(const ScopedCommandGroup&) = delete;
    ~ScopedCommandGroup();

    // Closes the group now; returns what end_group returned, or 0 when already closed.
    std::size_t close();

  private:
    CommandStack& stack_;
    bool active_ = true;
};

}  // namespace korvan
