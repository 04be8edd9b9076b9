#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvan {
class Mesh;
}

// STL: binary written; binary or ASCII read. Positions as the model stores them.

namespace korvan::io {

// Writes every alive face of 3 or more corners as triangles (n-gons through the kernel's
// triangulation), 50 bytes each, little-endian. False when the file cannot be written
// (platform::last_write_error() says why).
bool export_stl(const std::filesystem::path& path, const Mesh& mesh);
std::string format_stl(const Mesh& mesh);

// Replaces the mesh by the file's triangles, welded and linked. A file whose size is exactly
// 84 + 50 x its triangle count is binary, whatever its header says; anything else is read as
// ASCII. False, with last_import_error() saying why, when nothing usable is found.
bool import_stl(const std::filesystem::path& path, Mesh& mesh);
bool parse_stl(std::string_view bytes, Mesh& mesh);

}  // namespace korvan::io
