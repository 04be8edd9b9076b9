#pragma once

#include <string>

namespace korvan {
class Document;
}

namespace korvan::test {

// The bytes the native writer saves for the document, written through a real file so the
// writer's one-call path is what gets compared. The file name carries the process id:
// ctest runs tests of one program in parallel processes that share the temp folder.
std::string saved_bytes(const Document& doc);

}  // namespace korvan::test
