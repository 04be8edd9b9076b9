#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace korvan {

// One undoable edit. A command is built with its target and parameters, applied by redo()
// and reverted by undo(); recorded commands alternate strictly between the two. redo()
// validates its input and leaves the target untouched when it refuses, so a refusal never
// needs an undo: it reports is_noop() and a stack does not record it.
class Command {
  public:
    virtual ~Command() = default;
    // The label of the undo menu; some commands choose it from their parameters.
    virtual std::string name() const = 0;
    virtual void redo() = 0;
    virtual void undo() = 0;
    // True when the last redo() changed nothing (refused, or nothing to do).
    virtual bool is_noop() const { return false; }

  protected:
    Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
};

// Children applied in order and undone last-first, as one step.
class CompoundCommand : public Command {
  public:
    explicit CompoundCommand(std::string label) : label_(std::move(label)) {}

    std::string name() const override { return label_; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return children_.empty(); }

    // Appends a child; null is ignored. The child is not run here.
    void add(std::unique_ptr<Command> child);
    std::size_t size() const { return children_.size(); }
    const Command& child(std::size_t i) const { return *children_[i]; }

  private:
    std::string label_;
    std::vector<std::unique_ptr<Command>> children_;
};

}  // namespace korvan
