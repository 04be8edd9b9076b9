#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/polygon_2d.h"
#include "core/vec3.h"

namespace korvan {
class Mesh;
}

// What the OBJ, STL and PLY readers share: the per-thread failure text, reading a file
// whole, the weld and link that turn a polygon soup into one connected mesh, and the ring
// triangulation the STL writer and the OBJ reader both use.
//
// The last-import-error text is written only by the mesh readers: cleared when a read
// starts, set to the first failure when it fails.

namespace korvan::io {

// Why this thread's last mesh import failed; empty after a successful one.
const std::string& last_import_error();

namespace detail {

void clear_import_error();
// Sets the text and returns false, so a reader can `return fail("...")`.
bool fail_import(std::string message);

// Reads the whole file; false with the import error set when it cannot be read.
bool read_whole_file(const std::filesystem::path& path, std::string& bytes);

// Welds corners within the kernel tolerance and pairs the sides that now run between the
// same vertices, then reports whether any face survived (failing with a message if not).
bool weld_link_and_check(Mesh& mesh);

// Triangles over a polygon's corner positions, as indices into the ring: the kernel's
// polygon triangulation, or a fan from the first corner when that yields nothing. Empty
// for fewer than 3 corners.
std::vector<IndexTriangle> triangulate_ring(std::span<const Vec3> ring);

// " (line N)" for messages that point into a text file.
std::string at_line(std::uint64_t line);

}  // namespace detail
}  // namespace korvan::io
