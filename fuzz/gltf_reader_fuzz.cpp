// libFuzzer harness for the glTF reader (JSON text and the GLB container). Besides "never
// crash, never leak", whatever imports must export and import again with faces.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/mesh.h"
#include "document/material_library.h"
#include "io/gltf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    Mesh mesh;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // No base folder: a fuzzed "uri" must never reach the file system.
    if (!io::import_gltf_bytes(bytes, {}, mesh)) return 0;
    if (mesh.alive_face_count() == 0) std::abort();
    const io::GltfPayload payload = io::build_gltf(mesh, MaterialLibrary(), {});
    Mesh again;
    if (!io::import_gltf_bytes(io::glb_container(payload), {}, again)) std::abort();
    return 0;
}
