#include "tools/nesting.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "tools/nesting_internal.h"

// First-fit layout. Instances go in order of placed height (tallest first); each takes the
// first strip of the first sheet with room for it, else opens a strip on that sheet, else a
// new sheet. This is Berkey and Wang's finite first-fit rule, written for a saw: every strip
// is as tall as its first part, and every cut leaves a kerf of dust behind it.

namespace korvan {
namespace {

using nesting_detail::kFitTolerance;

constexpr std::uint64_t kMaxInstances = 5000;
constexpr double kMinUsableSide = 0.001;

bool finite_positive(double v) { return std::isfinite(v) && v > 0.0; }
bool finite_non_negative(double v) { return std::isfinite(v) && v >= 0.0; }

// The orientations a row's grain allows on this sheet, in preference order.
std::uint8_t orientations(const PartRow& row, const SheetSpec& sheet,
                          std::array<Orientation, 2>& out) {
    const Orientation upright{row.width, row.height, false};
    const Orientation turned{row.height, row.width, true};
    const auto grain = static_cast<PartGrain>(row.grain);
    if (sheet.grained && grain != PartGrain::kNone) {
        out[0] = grain == PartGrain::kAlongWidth ? upright : turned;
        return 1;
    }
    // Longer side along x first: long strips waste less height.
    out[0] = row.width >= row.height ? upright : turned;
    out[1] = row.width >= row.height ? turned : upright;
    return 2;
}

const char* sheet_refusal(const SheetSpec& sheet, double u, double v) {
    if (!finite_positive(sheet.width) || !finite_positive(sheet.height))
        return "sheet width and height must be positive finite lengths";
    if (!finite_positive(sheet.thickness)) return "sheet thickness must be a positive finite length";
    if (!finite_non_negative(sheet.trim)) return "sheet edge trim must be a non-negative finite length";
    if (!finite_non_negative(sheet.kerf)) return "saw kerf must be a non-negative finite length";
    if (sheet.finished_faces < 0 || sheet.finished_faces > 2)
        return "sheet finished_faces must be 0, 1 or 2";
    if (u <= 0.0 || v <= 0.0) return "edge trim leaves no usable sheet";
    if (u < kMinUsableSide || v < kMinUsableSide)
        return "usable sheet is smaller than the fit tolerance -- check the units";
    if (u <= sheet.kerf || v <= sheet.kerf) return "saw kerf is wider than the usable sheet";
    return nullptr;
}

// Places the instances by the finite first-fit rule into result.sheets and placements.
void place_first_fit(const std::vector<PartInstance>& instances, const SheetSpec& sheet,
                     NestResult& result) {
    const double u = result.usable_width, v = result.usable_height;
    auto put = [&](const PartInstance& inst, const Orientation& o, std::uint32_t s,
                   std::uint32_t k) {
        Strip& strip = result.sheets[s].strips[k];
        Placement p;
        p.row = inst.row;
        p.copy = inst.copy;
        p.sheet = s;
        p.strip = k;
        p.x = strip.cursor;
        p.y = strip.y;
        p.w = o.w;
        p.h = o.h;
        p.rotated = o.rotated;
        result.placements.push_back(p);
        strip.right_end = strip.cursor + o.w;
        strip.cursor = strip.right_end + sheet.kerf;
        ++strip.parts;
    };
    auto open_strip = [&](std::uint32_t s, const Orientation& o) {
        SheetLayout& layout = result.sheets[s];
        Strip strip;
        strip.y = layout.used_height;
        strip.height = o.h;
        layout.strips.push_back(strip);
        layout.used_height += o.h + sheet.kerf;
        return static_cast<std::uint32_t>(layout.strips.size() - 1);
    };
    for (const PartInstance& inst : instances) {
        bool placed = false;
        for (std::uint32_t s = 0; s < result.sheets.size() && !placed; ++s) {
            SheetLayout& layout = result.sheets[s];
            for (std::uint32_t k = 0; k < layout.strips.size() && !placed; ++k) {
                const Strip& strip = layout.strips[k];
                for (std::uint8_t c = 0; c < inst.candidate_count && !placed; ++c) {
                    const Orientation& o = inst.candidates[c];
                    if (o.h <= strip.height + kFitTolerance &&
                        strip.cursor + o.w <= u + kFitTolerance) {
                        put(inst, o, s, k);
                        placed = true;
                    }
                }
            }
            for (std::uint8_t c = 0; c < inst.candidate_count && !placed; ++c) {
                const Orientation& o = inst.candidates[c];
                if (o.w <= u + kFitTolerance && layout.used_height + o.h <= v + kFitTolerance) {
                    put(inst, o, s, open_strip(s, o));
                    placed = true;
                }
            }
        }
        if (placed) continue;
        // The fit screen guarantees the first orientation fits an empty sheet.
        result.sheets.emplace_back();
        const auto s = static_cast<std::uint32_t>(result.sheets.size() - 1);
        put(inst, inst.candidates[0], s, open_strip(s, inst.candidates[0]));
    }
}

void append_fixed1(std::string& out, double v) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    out.append(buf, ec == std::errc{} ? end : buf);
}

}  // namespace

std::string board_key(std::string_view material, double thickness) {
    std::string key(material);
    if (!key.empty()) key += ' ';
    if (finite_positive(thickness)) {
        append_fixed1(key, thickness * 1000.0);
    } else {
        key += '?';
    }
    key += " mm";
    return key;
}

namespace nesting_detail {

std::vector<PartInstance> screen(const std::vector<PartRow>& rows, const SheetSpec& sheet,
                                 NestResult& result) {
    result.usable_width = sheet.width - 2.0 * sheet.trim;
    result.usable_height = sheet.height - 2.0 * sheet.trim;
    const double u = result.usable_width, v = result.usable_height;
    if (const char* reason = sheet_refusal(sheet, u, v)) {
        result.ok = false;
        result.message = reason;
        return {};
    }
    if (rows.empty()) {
        result.ok = false;
        result.message = "no parts";
        return {};
    }
    const std::string sheet_key = board_key(sheet.material, sheet.thickness);
    NestCounters& n = result.counts;
    n.rows = static_cast<std::uint32_t>(rows.size());
    std::vector<PartInstance> instances;
    std::uint64_t total = 0;
    for (std::uint32_t r = 0; r < rows.size(); ++r) {
        const PartRow& row = rows[r];
        auto refuse = [&](const char* reason) {
            result.refused.push_back({r, reason});
            ++n.refused;
        };
        if (!finite_positive(row.width) || !finite_positive(row.height)) {
            refuse("part width and height must be positive finite lengths");
            continue;
        }
        if (row.quantity < 0) {
            refuse("part quantity is negative");
            continue;
        }
        if (row.grain > static_cast<std::uint8_t>(PartGrain::kAlongHeight)) {
            refuse("part grain must be none, along_width or along_height");
            continue;
        }
        if (board_key(row.material, row.thickness) != sheet_key) {
            refuse("part is not on this board -- material and thickness must both match the sheet");
            continue;
        }
        if (row.finished_faces < 0 || row.finished_faces > 2) {
            refuse("part finished_faces must be 0, 1 or 2");
            continue;
        }
        if (row.finished_faces > sheet.finished_faces) {
            refuse("the sheet has fewer finished faces than the part needs");
            continue;
        }
        PartInstance proto;
        std::array<Orientation, 2> all{};
        const std::uint8_t count = orientations(row, sheet, all);
        for (std::uint8_t c = 0; c < count; ++c) {
            if (all[c].w <= u + kFitTolerance && all[c].h <= v + kFitTolerance)
                proto.candidates[proto.candidate_count++] = all[c];
        }
        if (proto.candidate_count == 0) {
            refuse("part is larger than the usable sheet in every orientation its grain allows");
            continue;
        }
        const bool declared = row.grain != static_cast<std::uint8_t>(PartGrain::kNone);
        if (declared && sheet.grained) ++n.grain_locked;
        if (declared && !sheet.grained) ++n.grain_ignored;
        if (row.finished_faces == 0) ++n.faces_unfinished;
        if (row.finished_faces == 1) ++n.faces_single;
        if (row.finished_faces == 2) ++n.faces_double;
        if (row.quantity == 0) {
            ++n.zero_quantity;
            continue;
        }
        total += static_cast<std::uint64_t>(row.quantity);
        if (total > kMaxInstances) {
            result.ok = false;
            result.message = "too many copies -- check the quantity column for a units mistake";
            return {};
        }
        proto.row = r;
        for (std::int64_t c = 0; c < row.quantity; ++c) {
            proto.copy = static_cast<std::uint32_t>(c);
            instances.push_back(proto);
        }
    }
    n.instances = static_cast<std::uint32_t>(instances.size());
    std::stable_sort(instances.begin(), instances.end(),
                     [](const PartInstance& a, const PartInstance& b) {
                         const Orientation &oa = a.candidates[0], &ob = b.candidates[0];
                         if (oa.h != ob.h) return oa.h > ob.h;
                         if (oa.w != ob.w) return oa.w > ob.w;
                         if (a.row != b.row) return a.row < b.row;
                         return a.copy < b.copy;
                     });
    return instances;
}

void account(NestResult& result, const SheetSpec& sheet) {
    const double u = result.usable_width, v = result.usable_height, kerf = sheet.kerf;
    for (SheetLayout& s : result.sheets) {
        s.placements = 0;
        s.rips = s.crosscuts = 0;
        s.cut_length = s.part_area = s.headroom = s.tail = s.offcut = s.sliver = 0.0;
    }
    NestCounters& n = result.counts;
    n.placed = static_cast<std::uint32_t>(result.placements.size());
    n.rotated = 0;
    for (const Placement& p : result.placements) {
        SheetLayout& s = result.sheets[p.sheet];
        ++s.placements;
        s.part_area += p.w * p.h;
        s.headroom += (s.strips[p.strip].height - p.h) * p.w;
        if (p.rotated) ++n.rotated;
    }
    result.part_area = result.kerf_area = result.cut_length = 0.0;
    for (SheetLayout& s : result.sheets) {
        for (Strip& strip : s.strips) {
            if (strip.parts > 0) {
                s.crosscuts += strip.parts - 1;
                s.cut_length += (strip.parts - 1) * strip.height;
            }
            const double tail = std::max(0.0, u - strip.right_end);
            if (tail < kerf || tail <= kFitTolerance) {
                s.sliver += tail * strip.height;
                strip.tail_width = 0.0;
            } else {
                ++s.crosscuts;
                s.cut_length += strip.height;
                strip.tail_width = tail - kerf;
                s.tail += strip.tail_width * strip.height;
            }
        }
        const auto strips = static_cast<std::uint32_t>(s.strips.size());
        s.rips = strips > 0 ? strips - 1 : 0;
        s.cut_length += s.rips * u;
        const double top = strips > 0 ? s.strips.back().y + s.strips.back().height : 0.0;
        s.offcut_height = std::max(0.0, v - top);
        if (s.offcut_height < kerf || s.offcut_height <= kFitTolerance) {
            s.sliver += s.offcut_height * u;
            s.offcut_height = 0.0;
        } else {
            s.rips = strips;
            s.cut_length += u;
            s.offcut_height -= kerf;
            s.offcut = s.offcut_height * u;
        }
        s.kerf_area = s.cut_length * kerf;
        s.utilisation = s.part_area / (u * v);
        result.part_area += s.part_area;
        result.kerf_area += s.kerf_area;
        result.cut_length += s.cut_length;
    }
    const double sheets = static_cast<double>(result.sheets.size());
    result.utilisation = sheets > 0 ? result.part_area / (sheets * u * v) : 0.0;
    result.gross_utilisation =
        sheets > 0 ? result.part_area / (sheets * sheet.width * sheet.height) : 0.0;
    std::sort(result.placements.begin(), result.placements.end(),
              [](const Placement& a, const Placement& b) {
                  if (a.sheet != b.sheet) return a.sheet < b.sheet;
                  if (a.strip != b.strip) return a.strip < b.strip;
                  return a.x < b.x;
              });
    for (std::uint32_t i = 0; i < result.placements.size(); ++i) result.placements[i].order = i;
}

}  // namespace nesting_detail

NestResult nest_parts(const std::vector<PartRow>& rows, const SheetSpec& sheet) {
    NestResult result;
    const std::vector<PartInstance> instances = nesting_detail::screen(rows, sheet, result);
    if (!result.ok) return result;
    place_first_fit(instances, sheet, result);
    nesting_detail::account(result, sheet);
    return result;
}

BoardGroups group_parts_by_board(const std::vector<PartRow>& rows) {
    BoardGroups groups;
    for (std::uint32_t r = 0; r < rows.size(); ++r) {
        const PartRow& row = rows[r];
        if (!finite_positive(row.thickness)) ++groups.bad_thickness;
        const std::string key = board_key(row.material, row.thickness);
        auto it = std::find_if(groups.boards.begin(), groups.boards.end(),
                               [&](const BoardPile& b) { return b.key == key; });
        if (it == groups.boards.end()) {
            groups.boards.push_back({key, {}, 0});
            it = groups.boards.end() - 1;
        }
        it->rows.push_back(r);
        if (row.quantity > 0) it->instances += static_cast<std::uint64_t>(row.quantity);
    }
    return groups;
}

}  // namespace korvan
