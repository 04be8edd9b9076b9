// libFuzzer harness for the .korv reader. Besides "never crash, never leak", it checks the
// reader's contract: a failed load always leaves a message, and whatever loads writes a file
// that reads back and writes the very same bytes again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    Document doc;
    io::KorvFileInfo info;
    Mesh root;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (!io::parse_document(std::move(text), doc, info, root)) {
        if (io::last_load_error().empty()) std::abort();
        return 0;
    }
    const std::string first = io::format_document(doc, &root);
    Document again;
    Mesh again_root;
    if (!io::parse_document(first, again, info, again_root)) std::abort();
    if (io::format_document(again, &again_root) != first) std::abort();
    return 0;
}
