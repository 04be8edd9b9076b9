#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "core/vec3.h"

namespace korvan {
class Mesh;
}

namespace korvan::io {

// Builds an ASCII DXF drawing in memory: entities on named layers, numbers with six
// significant digits. Without declared layers the file is one ENTITIES section (every
// reader accepts that and takes undeclared layers as they come); with layers a TABLES
// section with a LAYER table precedes it, so the colours survive.
class DxfWriter {
  public:
    // Declares a layer with an indexed colour (1 red, 2 yellow, 3 green, 4 cyan, 5 blue,
    // 6 magenta, 7 white/black, 8 grey). Declaring a name twice keeps the first.
    void add_layer(std::string_view name, int colour = 7);
    void line(std::string_view layer, const Vec3& a, const Vec3& b);
    // A flat polyline at the first point's height (POLYLINE with VERTEX records); fewer than
    // 2 points write nothing.
    void polyline(std::string_view layer, std::span<const Vec3> points, bool closed);
    // Single-line text with its insertion point at the baseline's left end; characters
    // beyond ASCII are written as \U+XXXX, line breaks as blanks.
    void text(std::string_view layer, const Vec3& at, float height, std::string_view text,
              float rotation_deg = 0.0f);
    std::size_t entity_count() const { return entities_count_; }
    // The whole file: tables (when layers were declared), entities, EOF.
    std::string finish() const;

  private:
    void begin(std::string_view kind, std::string_view layer);
    void pair(int code, std::string_view value);
    void pair(int code, double value);
    void pair_int(int code, long long value);

    std::string layers_;  // LAYER table records
    std::size_t layer_count_ = 0;
    std::string declared_;  // "\n"-separated layer names, to ignore second declarations
    std::string entities_;
    std::size_t entities_count_ = 0;
};

// Every alive edge of the mesh with two alive ends, in edge order, as a LINE on layer "0"
// (metres, Z up). False when the file cannot be written.
bool export_dxf(const std::filesystem::path& path, const Mesh& mesh);

}  // namespace korvan::io
