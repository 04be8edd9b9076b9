#include "io/mesh_import.h"

#include <charconv>
#include <fstream>
#include <system_error>
#include <utility>

#include "core/mesh.h"
#include "core/tolerances.h"

namespace korvan::io {
namespace {

thread_local std::string g_import_error;

}  // namespace

const std::string& last_import_error() { return g_import_error; }

namespace detail {

void clear_import_error() { g_import_error.clear(); }

bool fail_import(std::string message) {
    g_import_error = std::move(message);
    return false;
}

bool read_whole_file(const std::filesystem::path& path, std::string& bytes) {
    bytes.clear();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return fail_import("it is a directory");
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail_import("the file cannot be opened");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return fail_import("the file cannot be read");
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(bytes.data(), size)) return fail_import("the file cannot be read");
    return true;
}

bool weld_link_and_check(Mesh& mesh) {
    mesh.weld_vertices(kWeldTolerance);
    mesh.link_shared_edges();
    if (mesh.alive_face_count() == 0) return fail_import("it holds no face");
    return true;
}

std::vector<IndexTriangle> triangulate_ring(std::span<const Vec3> ring) {
    const auto n = static_cast<std::uint32_t>(ring.size());
    if (n < 3) return {};
    if (n == 3) return {IndexTriangle{0, 1, 2}};
    std::vector<IndexTriangle> tris = triangulate_polygon_2d(ring);
    if (tris.empty()) {
        tris.reserve(n - 2);
        for (std::uint32_t i = 2; i < n; ++i) tris.push_back({0, i - 1, i});
    }
    return tris;
}

std::string at_line(std::uint64_t line) {
    char buf[24];
    std::string out = " (line ";
    out.append(buf, std::to_chars(buf, buf + sizeof buf, line).ptr);
    out += ')';
    return out;
}

}  // namespace detail
}  // namespace korvan::io
