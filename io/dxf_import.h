#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "io/dxf_drawing.h"

namespace korvan {
class Document;
class Mesh;
}  // namespace korvan

namespace korvan::io {

// What an import made and what it had to leave out. faces counts every face a render of the
// result shows (the root mesh's plus each instance's share of its definition), guides and
// curves those of the root mesh and of the definitions.
struct DxfImportReport {
    std::uint64_t faces = 0;
    std::uint64_t guides = 0;
    std::uint64_t curves = 0;
    std::uint64_t blocks = 0;       // distinct block definitions in the drawing
    std::uint64_t instances = 0;    // component instances placed (nested ones included)
    std::uint64_t definitions = 0;  // blocks used, each one shared definition
    std::uint64_t splines = 0;      // splines imported
    std::uint64_t refused_splines = 0;
    std::uint64_t refused_inserts = 0;
    std::vector<std::string> notes;  // one sentence each, in the order met
};

// Converts the drawing: units to metres, outlines and linework into `mesh` (faces for closed
// planar outlines, guide segments for all linework, curves for arcs, ellipses and splines),
// every used block into a definition of `doc` and every INSERT, nested ones expanded, into an
// instance under doc's root. `label` begins the notes ("DXF", "DWG").
void convert_drawing(const Drawing& drawing, std::string_view label, Document& doc, Mesh& mesh,
                     DxfImportReport& report);

// Reads an ASCII DXF file and converts it. False when the file cannot be read or is not DXF
// text; refused entities only add notes.
bool import_dxf(const std::filesystem::path& path, Document& doc, Mesh& mesh,
                DxfImportReport& report);

// Metres per drawing unit for a $INSUNITS code; 0 for a code this program does not convert.
// Code 0 (unitless) and a missing value (-1) read as metres.
double insunits_to_metres(std::int64_t code);

}  // namespace korvan::io
