#include "tests/document/saved_bytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/commands/command.h"
#include "document/document.h"
#include "io/korv_writer.h"

namespace korvan::test {

std::string saved_bytes(const Document& doc) {
    const auto path = std::filesystem::path(testing::TempDir()) /
                      ("saved_bytes_" + std::to_string(getpid()) + ".korv");
    EXPECT_TRUE(io::write_document(path, doc));
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::filesystem::remove(path);
    return bytes;
}

testing::AssertionResult same_file(const std::string& got, const std::string& want) {
    if (got == want) return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const std::size_t line_start = want.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = line_start == std::string::npos ? 0 : line_start + 1;
    auto line_of = [&](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
    return testing::AssertionFailure()
           << "files differ at byte " << at << ": got line \"" << line_of(got) << "\", expected \""
           << line_of(want) << "\"";
}

void expect_undo_round_trips(Document& doc, Command& cmd, const std::string& label,
                             const DocumentState& state, const DocumentCheck& applied) {
    EXPECT_EQ(cmd.name(), label);
    const std::string before = state(doc);
    cmd.redo();
    ASSERT_FALSE(cmd.is_noop());
    if (applied) {
        EXPECT_TRUE(applied(doc));
    }
    const std::string after = state(doc);
    ASSERT_FALSE(same_file(after, before));
    for (int cycle = 0; cycle < 2; ++cycle) {
        cmd.undo();
        EXPECT_TRUE(same_file(state(doc), before)) << "undo " << cycle;
        if (applied) {
            EXPECT_FALSE(applied(doc));
        }
        cmd.redo();
        EXPECT_TRUE(same_file(state(doc), after)) << "redo " << cycle;
    }
}

}  // namespace korvan::test
