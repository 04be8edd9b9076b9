#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace korvan {
class Command;
class Document;
}  // namespace korvan

namespace korvan::test {

// The bytes the native writer saves for the document, written through a real file so the
// writer's one-call path is what gets compared. The file name carries the process id:
// ctest runs tests of one program in parallel processes that share the temp folder.
std::string saved_bytes(const Document& doc);

// Byte equality of two saved files; a mismatch names the first line that differs rather
// than printing both files.
testing::AssertionResult same_file(const std::string& got, const std::string& want);

using DocumentState = std::function<std::string(const Document&)>;
using DocumentCheck = std::function<bool(const Document&)>;

// Applies the command, which must be named `label` and must change the state, then undoes
// and redoes it twice: each undo must give back the state before it, each redo the state
// after it. `applied`, when given, must hold exactly while the edit is in place.
void expect_undo_round_trips(Document& doc, Command& cmd, const std::string& label,
                             const DocumentState& state = saved_bytes,
                             const DocumentCheck& applied = {});

}  // namespace korvan::test
