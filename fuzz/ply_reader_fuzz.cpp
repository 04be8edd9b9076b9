// libFuzzer harness for the PLY reader (see mesh_reader_fuzz.h for what it checks).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/mesh.h"
#include "fuzz/mesh_reader_fuzz.h"
#include "io/ply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    korvan::Mesh mesh;
    check_mesh_read(korvan::io::parse_ply(text, mesh), mesh);
    return 0;
}
