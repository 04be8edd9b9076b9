#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvan {
class Mesh;
class MaterialLibrary;
}  // namespace korvan

// Wavefront OBJ, with its MTL material library. Positions go out and come in exactly as the
// model stores them (metres, +Z up): no axis swap, scale or recentring either way.

namespace korvan::io {

// Writes the alive vertices and faces (n-gons kept, stored corner UVs as `vt`), grouped by
// material. With a non-empty material list the faces carry `usemtl` lines and a .mtl file
// named after the OBJ's stem is written beside it. False when a file cannot be written
// (platform::last_write_error() says why); nothing half-written is left behind.
bool export_obj(const std::filesystem::path& path, const Mesh& mesh,
                const MaterialLibrary* materials = nullptr);
// The OBJ text itself, `mtl_name` naming the library in its `mtllib` line (none when empty);
// the MTL text goes to *mtl when both it and a non-empty material list are given.
std::string format_obj(const Mesh& mesh, const MaterialLibrary* materials,
                       std::string_view mtl_name, std::string* mtl);

// Replaces the mesh by the file's faces (n-gons of more than four corners split into
// triangles), welded and linked. With `materials`, the materials that `usemtl` names in a
// readable `mtllib` file are appended to the list and the faces take them; otherwise every
// face keeps material 0. False, with last_import_error() saying why, when the file cannot
// be read, is malformed, or yields no face.
bool import_obj(const std::filesystem::path& path, Mesh& mesh,
                MaterialLibrary* materials = nullptr);
// The same from text in memory; `mtl_dir` is where `mtllib` files are looked for (an empty
// path reads no material library).
bool parse_obj(std::string_view text, Mesh& mesh, MaterialLibrary* materials,
               const std::filesystem::path& mtl_dir);

}  // namespace korvan::io
