#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/woodwork.h"
#include "io/svg.h"
#include "platform/atomic_file.h"
#include "tools/nesting.h"

namespace korvan::cli {
namespace {

constexpr std::string_view kCutListShape = "NAME,W,H,QTY[,GRAIN[,FACES[,THICKNESS[,MATERIAL]]]]";

// The cut list, or nothing after the refusal was printed (exit 1: a bad option value).
std::optional<std::vector<PartRow>> read_cut_list(const Options& o) {
    CutListParse parse = parse_cut_list(o.cut_list, o.sheet_thickness, o.sheet_material);
    if (parse.ok) return std::move(parse.rows);
    std::string err;
    if (parse.bad_row.empty()) {
        err = "--cut-list parsed no rows\n";
    } else {
        err = "--cut-list: bad row ";
        append_quoted(err, parse.bad_row);
        err += ", expected ";
        err += kCutListShape;
        err += '\n';
    }
    write_err(err);
    return std::nullopt;
}

void append_count(std::string& out, std::uint64_t n) { append_int(out, static_cast<std::int64_t>(n)); }

void append_percent(std::string& out, double ratio) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, ratio * 100.0, std::chars_format::fixed, 2);
    out.append(buf, ec == std::errc{} ? end : buf);
    out += '%';
}

void append_size(std::string& out, double w, double h) {
    append_float(out, w);
    out += 'x';
    append_float(out, h);
}

SheetSpec sheet_of(const Options& o) {
    SheetSpec sheet;
    sheet.width = o.sheet_width;
    sheet.height = o.sheet_height;
    sheet.thickness = o.sheet_thickness;
    sheet.material = o.sheet_material;
    sheet.trim = o.sheet_trim;
    sheet.kerf = o.sheet_kerf;
    sheet.grained = !o.sheet_ungrained;
    sheet.finished_faces = o.sheet_faces;
    return sheet;
}

void append_sheet(std::string& out, const SheetLayout& s, std::size_t index, double u, double v) {
    out += "  sheet ";
    append_count(out, index);
    out += ": strips=";
    append_count(out, s.strips.size());
    out += " placements=";
    append_count(out, s.placements);
    out += " rips=";
    append_count(out, s.rips);
    out += " crosscuts=";
    append_count(out, s.crosscuts);
    out += " offcut_height=";
    append_float(out, s.offcut_height);
    out += " cut_length=";
    append_float(out, s.cut_length);
    out += " utilisation=";
    append_percent(out, s.utilisation);
    out += "\n    area: part=";
    append_float(out, s.part_area);
    out += " headroom=";
    append_float(out, s.headroom);
    out += " tail=";
    append_float(out, s.tail);
    out += " offcut=";
    append_float(out, s.offcut);
    out += " sliver=";
    append_float(out, s.sliver);
    out += " kerf=";
    append_float(out, s.kerf_area);
    out += " accounted=";
    append_float(out, s.part_area + s.headroom + s.tail + s.offcut + s.sliver + s.kerf_area);
    out += " of ";
    append_float(out, u * v);
    out += '\n';
    for (std::size_t j = 0; j < s.strips.size(); ++j) {
        const Strip& strip = s.strips[j];
        out += "    strip ";
        append_count(out, j);
        out += ": y=";
        append_float(out, strip.y);
        out += " height=";
        append_float(out, strip.height);
        out += " used_width=";
        append_float(out, strip.right_end);
        out += " tail_width=";
        append_float(out, strip.tail_width);
        out += " parts=";
        append_count(out, strip.parts);
        out += '\n';
    }
}

}  // namespace

int run_nest_sheet(const VerbCall& call) {
    const Options& o = call.options;
    const std::optional<std::vector<PartRow>> rows = read_cut_list(o);
    if (!rows) return kExitFailure;
    const SheetSpec sheet = sheet_of(o);

    std::string out = "nest-sheet board=\"";
    out += board_key(sheet.material, sheet.thickness);
    out += "\" sheet=";
    append_size(out, sheet.width, sheet.height);
    out += " trim=";
    append_float(out, sheet.trim);
    out += " kerf=";
    append_float(out, sheet.kerf);
    out += sheet.grained ? " grained=yes" : " grained=no";
    out += " finished_faces=";
    append_int(out, sheet.finished_faces);
    out += '\n';

    const NestResult r = o.optimise.given ? nest_parts_optimised(*rows, sheet, o.optimise.value)
                                          : nest_parts(*rows, sheet);
    if (!r.ok) {
        write_out(out);
        write_err(std::string("nest-sheet: ") + r.message + "\n");
        return kExitNothingToDo;
    }
    const double u = r.usable_width, v = r.usable_height;
    out += "  usable=";
    append_size(out, u, v);
    out += " = ";
    append_float(out, u * v);
    out += " m^2 per sheet\n";
    const NestCounters& n = r.counts;
    out += "  parts: rows=";
    append_count(out, n.rows);
    out += " refused=";
    append_count(out, n.refused);
    out += " instances=";
    append_count(out, n.instances);
    out += " placed=";
    append_count(out, n.placed);
    out += " rotated=";
    append_count(out, n.rotated);
    out += " grain_locked=";
    append_count(out, n.grain_locked);
    out += " grain_ignored=";
    append_count(out, n.grain_ignored);
    out += " zero_quantity=";
    append_count(out, n.zero_quantity);
    out += "\n  faces: unfinished=";
    append_count(out, n.faces_unfinished);
    out += " single=";
    append_count(out, n.faces_single);
    out += " double=";
    append_count(out, n.faces_double);
    std::size_t strips = 0;
    double headroom = 0, tails = 0, offcuts = 0, slivers = 0;
    for (const SheetLayout& s : r.sheets) {
        strips += s.strips.size();
        headroom += s.headroom;
        tails += s.tail;
        offcuts += s.offcut;
        slivers += s.sliver;
    }
    out += "\n  sheets=";
    append_count(out, r.sheets.size());
    out += " strips=";
    append_count(out, strips);
    out += " utilisation=";
    append_percent(out, r.utilisation);
    out += " gross_utilisation=";
    append_percent(out, r.gross_utilisation);
    out += " part_area=";
    append_float(out, r.part_area);
    out += " kerf_area=";
    append_float(out, r.kerf_area);
    out += " cut_length=";
    append_float(out, r.cut_length);
    if (o.optimise.given) {
        out += " optimised_from=";
        append_count(out, r.optimised_from);
    }
    out += '\n';
    if (n.grain_ignored > 0) {
        out += "  ";
        append_count(out, n.grain_ignored);
        out +=
            " row(s) declared a grain onto a board that has none (--sheet-ungrained), so the "
            "declaration was dropped and both orientations were allowed\n";
    }
    for (std::size_t i = 0; i < r.sheets.size(); ++i) append_sheet(out, r.sheets[i], i, u, v);
    out += "  waste: headroom=";
    append_float(out, headroom);
    out += " tails=";
    append_float(out, tails);
    out += " offcuts=";
    append_float(out, offcuts);
    out += " slivers=";
    append_float(out, slivers);
    out += " m^2 (the kerf is neither waste nor utilisation -- it left the building as dust)\n";
    out += "  cut order -- sheets in order, strips bottom to top, parts left to right:\n";
    for (const Placement& p : r.placements) {
        out += "    ";
        append_count(out, p.order);
        out += ": part=";
        out += (*rows)[p.row].name;
        out += " copy=";
        append_count(out, p.copy);
        out += " sheet=";
        append_count(out, p.sheet);
        out += " strip=";
        append_count(out, p.strip);
        out += " at ";
        append_float(out, p.x);
        out += ',';
        append_float(out, p.y);
        out += " size ";
        append_size(out, p.w, p.h);
        if (p.rotated) out += " ROTATED";
        out += '\n';
    }
    if (!r.refused.empty()) {
        out += "  refused parts (one bad row must not cost the other rows their layout):\n";
        for (const RefusedRow& bad : r.refused) {
            out += "    row ";
            append_count(out, bad.row);
            out += " \"";
            out += (*rows)[bad.row].name;
            out += "\": ";
            out += bad.reason;
            out += '\n';
        }
    }
    if (!o.svg.empty()) {
        if (!platform::write_file_atomic(o.svg, nest_layout_svg(r, *rows, sheet))) {
            write_out(out);
            write_err("nest-sheet: could not write the cut diagram " + quoted_path(o.svg) +
                      platform::write_error_suffix() + "\n");
            return kExitFailure;
        }
        out += "  cut diagram: ";
        append_count(out, r.sheets.size());
        out += " sheet(s) drawn to ";
        append_quoted_path(out, o.svg);
        out += '\n';
    }
    write_out(out);
    return kExitOk;
}

int run_nest_boards(const VerbCall& call) {
    const Options& o = call.options;
    const std::optional<std::vector<PartRow>> rows = read_cut_list(o);
    if (!rows) return kExitFailure;
    const BoardGroups groups = group_parts_by_board(*rows);
    std::string out = "nest-boards rows=";
    append_count(out, rows->size());
    out += " boards=";
    append_count(out, groups.boards.size());
    out += " bad_thickness=";
    append_count(out, groups.bad_thickness);
    out += '\n';
    for (std::size_t i = 0; i < groups.boards.size(); ++i) {
        const BoardPile& b = groups.boards[i];
        out += "  board ";
        append_count(out, i);
        out += " \"";
        out += b.key;
        out += "\" rows=";
        append_count(out, b.rows.size());
        out += " instances=";
        append_count(out, b.instances);
        out += " from rows:";
        for (const std::uint32_t r : b.rows) {
            out += ' ';
            append_count(out, r);
        }
        out += '\n';
    }
    if (groups.bad_thickness > 0) {
        out += "  ";
        append_count(out, groups.bad_thickness);
        out +=
            " row(s) carry a non-finite or non-positive thickness and grouped under \"? mm\" -- "
            "nest-sheet will refuse each of them by name\n";
    }
    write_out(out);
    return kExitOk;
}

}  // namespace korvan::cli
