#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/commands/command.h"
#include "document/commands/command_stack.h"

namespace korvan {
namespace {

// Writes "+id" to the log on redo and "-id" on undo; a no-op one still logs its redo.
class Recorder : public Command {
  public:
    Recorder(std::vector<std::string>& log, std::string id, bool noop = false)
        : log_(log), id_(std::move(id)), noop_(noop) {}
    std::string name() const override { return id_; }
    void redo() override { log_.push_back("+" + id_); }
    void undo() override { log_.push_back("-" + id_); }
    bool is_noop() const override { return noop_; }

  private:
    std::vector<std::string>& log_;
    std::string id_;
    bool noop_;
};

using Log = std::vector<std::string>;

struct StackFixture : testing::Test {
    std::unique_ptr<Command> rec(const char* id, bool noop = false) {
        return std::make_unique<Recorder>(log, id, noop);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < stack.size(); ++i) out.push_back(stack.command(i).name());
        return out;
    }
    Log log;
    CommandStack stack;
};

TEST_F(StackFixture, NoopPushKeepsHistoryAndRedoTail) {
    stack.push(rec("a"));
    stack.push(rec("b"));
    ASSERT_TRUE(stack.undo());
    EXPECT_FALSE(stack.push(rec("n1", true)));
    EXPECT_FALSE(stack.push(rec("n2", true)));
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(stack.cursor(), 1u);
    ASSERT_NE(stack.noop_command(), nullptr);
    EXPECT_EQ(stack.noop_command()->name(), "n2");  // the slot keeps only the latest
    ASSERT_TRUE(stack.redo());
    EXPECT_EQ(log, (Log{"+a", "+b", "-b", "+n1", "+n2", "+b"}));

    EXPECT_TRUE(stack.push(rec("c")));
    EXPECT_EQ(stack.noop_command(), nullptr);
}

TEST_F(StackFixture, PushDropsTheRedoTail) {
    for (const char* id : {"a", "b", "c"}) stack.push(rec(id));
    ASSERT_TRUE(stack.undo());
    ASSERT_TRUE(stack.undo());
    stack.push(rec("d"));
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(stack.cursor(), 2u);
    EXPECT_FALSE(stack.can_redo());
    EXPECT_FALSE(stack.redo());
}

TEST_F(StackFixture, NestedGroupsBecomeOneStepUndoneLastFirst) {
    stack.push(rec("before"));
    stack.begin_group("outer");
    stack.push(rec("a"));
    stack.begin_group("inner");
    stack.push(rec("b"));
    stack.push(rec("c"));
    EXPECT_FALSE(stack.undo()) << "no rewinding while a group is open";
    EXPECT_EQ(stack.end_group(), 2u);
    stack.push(rec("d"));
    EXPECT_EQ(stack.end_group(), 3u);  // a, inner, d
    EXPECT_EQ(names(), (std::vector<std::string>{"before", "outer"}));
    EXPECT_EQ(log, (Log{"+before", "+a", "+b", "+c", "+d"})) << "closing runs nothing again";

    log.clear();
    ASSERT_TRUE(stack.undo());
    EXPECT_EQ(log, (Log{"-d", "-c", "-b", "-a"}));
    log.clear();
    ASSERT_TRUE(stack.redo());
    EXPECT_EQ(log, (Log{"+a", "+b", "+c", "+d"}));
}

TEST_F(StackFixture, EmptyGroupIsDiscardedAndKeepsTheRedoTail) {
    stack.push(rec("a"));
    stack.push(rec("b"));
    ASSERT_TRUE(stack.undo());
    {
        ScopedCommandGroup group(stack, "nothing");
        stack.push(rec("n", true));
        ScopedCommandGroup inner(stack, "also nothing");
    }
    EXPECT_EQ(stack.open_group_count(), 0u);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(stack.can_redo());
    EXPECT_EQ(stack.end_group(), 0u) << "closing with none open";
}

TEST_F(StackFixture, OuterGroupDropsTheRedoTailWhenItCloses) {
    stack.push(rec("a"));
    stack.push(rec("b"));
    ASSERT_TRUE(stack.undo());
    std::size_t closed = 0;
    {
        ScopedCommandGroup group(stack, "Chain Dimensions");
        stack.push(rec("d1"));
        stack.push(rec("d2"));
        EXPECT_EQ(stack.size(), 2u) << "the tail lives until the group closes";
        closed = group.close();
    }
    EXPECT_EQ(closed, 2u);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "Chain Dimensions"}));
    EXPECT_EQ(stack.cursor(), 2u);
}

TEST(CompoundCommand, UndoesChildrenLastFirst) {
    Log log;
    CompoundCommand group("Both");
    EXPECT_TRUE(group.is_noop());
    group.add(std::make_unique<Recorder>(log, "x"));
    group.add(nullptr);
    group.add(std::make_unique<Recorder>(log, "y"));
    EXPECT_EQ(group.size(), 2u);
    EXPECT_FALSE(group.is_noop());
    group.redo();
    group.undo();
    EXPECT_EQ(log, (Log{"+x", "+y", "-y", "-x"}));
    EXPECT_EQ(group.name(), "Both");
}

}  // namespace
}  // namespace korvan
