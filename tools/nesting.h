#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Sheet nesting: the rectangular parts of a cut list laid onto stock sheets as a two-stage
// guillotine layout (rip the sheet into horizontal strips, crosscut each strip into parts),
// the only layout a panel saw can follow. NOTHING HERE TOUCHES A Mesh, and that is a decision
// rather than an omission: a layout is a drawing of rectangles, not geometry.
// Lengths are metres; sheet coordinates are those of the usable sheet (inside the trim).

namespace korvan {

enum class PartGrain : std::uint8_t { kNone = 0, kAlongWidth = 1, kAlongHeight = 2 };
// A grain word the cut list did not know; screening refuses the row by name.
inline constexpr std::uint8_t kUnknownGrain = 0xFF;

struct SheetSpec {
    double width = 2.44, height = 1.22;
    double thickness = 0.018;
    std::string material;
    double trim = 0.0;     // edge trim on every side
    double kerf = 0.0032;  // 0.0032 a panel saw, 0.006 a router bit, 0 a laser
    bool grained = true;   // grain runs along the width (x)
    std::int32_t finished_faces = 1;
};

// One cut-list row. `grain` holds a PartGrain or kUnknownGrain; finished_faces is checked by
// screening, so any integer the list carried stays here.
struct PartRow {
    std::string name;
    double width = 0.0, height = 0.0;
    std::int64_t quantity = 0;
    std::uint8_t grain = 0;
    std::int32_t finished_faces = 0;
    double thickness = 0.018;
    std::string material;
};

// "MDF 18.0 mm", "18.0 mm" without a material, "? mm" for a thickness that is not a
// finite positive length.
std::string board_key(std::string_view material, double thickness);

struct Orientation {
    double w = 0.0, h = 0.0;  // placed width along x, placed height along y
    bool rotated = false;
};

// One copy of a row with the orientations its grain allows that fit the empty sheet, in
// preference order.
struct PartInstance {
    std::uint32_t row = 0, copy = 0;
    std::array<Orientation, 2> candidates{};
    std::uint8_t candidate_count = 0;
};

struct Placement {
    std::uint32_t row = 0, copy = 0;
    std::uint32_t sheet = 0, strip = 0;
    double x = 0.0, y = 0.0, w = 0.0, h = 0.0;
    bool rotated = false;
    std::uint32_t order = 0;  // position in the cut order
};

struct Strip {
    double y = 0.0, height = 0.0;
    double cursor = 0.0;     // next free x
    double right_end = 0.0;  // right end of the last part
    std::uint32_t parts = 0;
    double tail_width = 0.0;  // what the freeing crosscut leaves; 0 for a sliver
};

struct SheetLayout {
    std::vector<Strip> strips;
    double used_height = 0.0;  // top of the last strip plus its kerf, while placing
    std::uint32_t placements = 0, rips = 0, crosscuts = 0;
    double cut_length = 0.0, part_area = 0.0, headroom = 0.0, tail = 0.0, offcut = 0.0,
           sliver = 0.0, kerf_area = 0.0, offcut_height = 0.0, utilisation = 0.0;
};

struct RefusedRow {
    std::uint32_t row = 0;
    const char* reason = "";
};

struct NestCounters {
    std::uint32_t rows = 0, refused = 0, instances = 0, placed = 0, rotated = 0;
    std::uint32_t grain_locked = 0, grain_ignored = 0, zero_quantity = 0;
    std::uint32_t faces_unfinished = 0, faces_single = 0, faces_double = 0;
};

struct NestResult {
    bool ok = true;
    const char* message = "";  // the whole-run refusal; empty when ok
    double usable_width = 0.0, usable_height = 0.0;
    std::vector<SheetLayout> sheets;
    std::vector<Placement> placements;  // in cut order
    std::vector<RefusedRow> refused;
    NestCounters counts;
    double part_area = 0.0, kerf_area = 0.0, cut_length = 0.0;
    double utilisation = 0.0, gross_utilisation = 0.0;
    // Sheets of the first-fit layout when a search was asked for; 0 otherwise.
    std::uint32_t optimised_from = 0;
};

// Lays the rows onto as many sheets as the finite first-fit rule opens: instances sorted by
// placed height, each put into the first strip of the first sheet that takes it, else a new
// strip on that sheet, else a new sheet. A bad sheet refuses the whole run; a bad row is
// refused by name and the others are still laid out.
NestResult nest_parts(const std::vector<PartRow>& rows, const SheetSpec& sheet);

// nest_parts, then up to `budget_seconds` of searching for a two-stage layout on fewer
// sheets; the first-fit layout is kept unless the search beats it. optimised_from holds the
// first-fit sheet count.
NestResult nest_parts_optimised(const std::vector<PartRow>& rows, const SheetSpec& sheet,
                                double budget_seconds);

struct BoardPile {
    std::string key;
    std::vector<std::uint32_t> rows;
    std::uint64_t instances = 0;  // copies over the pile's rows (negative quantities add 0)
};

struct BoardGroups {
    std::vector<BoardPile> boards;  // in order of first appearance
    std::uint32_t bad_thickness = 0;
};

// One pile per board key (material plus thickness), so 18 mm sides never share a sheet with
// 5 mm backs.
BoardGroups group_parts_by_board(const std::vector<PartRow>& rows);

struct CutListParse {
    bool ok = false;
    std::vector<PartRow> rows;
    std::string bad_row;  // the malformed row as typed; empty when the list had no rows
};

// Reads "NAME,W,H,QTY[,GRAIN[,FACES[,THICKNESS[,MATERIAL]]]]" rows separated by ";". A row
// that omits THICKNESS or MATERIAL takes the sheet's. GRAIN is none, along_width or
// along_height (or 0, 1, 2; hyphens accepted for underscores); FACES an integer. Blank rows
// are skipped. Fails on the first malformed row, or when no row was found.
CutListParse parse_cut_list(std::string_view text, double sheet_thickness,
                            std::string_view sheet_material);

// The layout as an SVG cut diagram, one sheet per row of the page, in millimetres.
std::string nest_layout_svg(const NestResult& result, const std::vector<PartRow>& rows,
                            const SheetSpec& sheet);

}  // namespace korvan
