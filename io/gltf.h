#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvan {
class Mesh;
class MaterialLibrary;
}  // namespace korvan

// glTF 2.0 out and in. The model is Z up and glTF is Y up: positions leave through the
// rotation (x, y, z) -> (x, z, -y) and come back through its inverse, so a file opens upright
// in every viewer and a round trip returns the same coordinates (the rotation keeps
// handedness, so windings stay as they are).

namespace korvan::io {

// Writes the mesh's triangles as `path` (JSON) plus the buffer in a file beside it whose
// name is path with the extension ".bin", named in the JSON by its base name. One primitive
// per material, in the order materials first appear. False when a file cannot be written
// (the .bin is written first, so a .gltf never names a buffer that is missing).
bool export_gltf(const std::filesystem::path& path, const Mesh& mesh,
                 const MaterialLibrary& materials);
// The same JSON (without the buffer's "uri") and buffer in one binary container.
bool export_glb(const std::filesystem::path& path, const Mesh& mesh,
                const MaterialLibrary& materials);

// The JSON text and the buffer bytes export_gltf would write; `bin_name` is the "uri" of the
// buffer, none when empty (the GLB form).
struct GltfPayload {
    std::string json;
    std::string buffer;
    std::uint64_t triangles = 0;
};
GltfPayload build_gltf(const Mesh& mesh, const MaterialLibrary& materials,
                       std::string_view bin_name);
// The GLB container around a payload built without a "uri".
std::string glb_container(const GltfPayload& payload);

// Reads a .gltf (JSON with external or data-URI buffers) or .glb file and appends every
// triangle reached from the scene's nodes, placed by its world matrix, then welds and links.
// True when the mesh has at least one alive face afterwards.
bool import_gltf(const std::filesystem::path& path, Mesh& mesh);
// The same from bytes in memory; external buffers are looked up relative to `base_dir`
// (none are read when it is empty).
bool import_gltf_bytes(std::string_view bytes, const std::filesystem::path& base_dir, Mesh& mesh);

}  // namespace korvan::io
