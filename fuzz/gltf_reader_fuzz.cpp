// libFuzzer harness for the glTF reader (JSON text and the GLB container). Besides "never
// crash, never leak": whatever imports has faces, and its export is valid JSON that the
// reader takes again without harm.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/mesh.h"
#include "document/material_library.h"
#include "io/gltf.h"
#include "io/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    Mesh mesh;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // No base folder: a fuzzed "uri" must never reach the file system.
    if (!io::import_gltf_bytes(bytes, {}, mesh)) return 0;
    if (mesh.alive_face_count() == 0) std::abort();
    const io::GltfPayload payload = io::build_gltf(mesh, MaterialLibrary(), {});
    io::JsonValue json;
    if (!io::parse_json(payload.json, json)) std::abort();
    // Welding may have collapsed every triangle, so the result of a second import is free.
    Mesh again;
    io::import_gltf_bytes(io::glb_container(payload), {}, again);
    return 0;
}
