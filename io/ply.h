#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvan {
class Mesh;
}

// PLY: ASCII written; ASCII and binary (either byte order) read. One output vertex per
// alive mesh vertex, so shared corners stay shared, and faces keep their corner count.

namespace korvan::io {

// False when the file cannot be written (platform::last_write_error() says why).
bool export_ply(const std::filesystem::path& path, const Mesh& mesh);
std::string format_ply(const Mesh& mesh);

// Replaces the mesh by the file's `vertex` and `face` elements, welded and linked; vertex
// positions come from the x, y and z properties wherever they sit among the others. False,
// with last_import_error() saying why, for a bad header, a file that ends early, or no face.
bool import_ply(const std::filesystem::path& path, Mesh& mesh);
bool parse_ply(std::string_view bytes, Mesh& mesh);

}  // namespace korvan::io
