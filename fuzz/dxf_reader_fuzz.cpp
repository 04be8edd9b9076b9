// libFuzzer harness for the DXF reader and its conversion into a model: never crash, never
// leak, and every instance placed names a definition the document holds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/mesh.h"
#include "document/document.h"
#include "io/dxf_drawing.h"
#include "io/dxf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    io::Drawing drawing;
    if (!io::parse_dxf(std::string_view(reinterpret_cast<const char*>(data), size), drawing)) {
        return 0;
    }
    Document doc;
    Mesh mesh;
    io::DxfImportReport report;
    io::convert_drawing(drawing, "DXF", doc, mesh, report);
    for (const auto& node : doc.root().children) {
        if (doc.find_definition(node->definition_id) < 0) std::abort();
    }
    if (report.instances != doc.root().children.size()) std::abort();
    return 0;
}
