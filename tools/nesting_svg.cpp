#include <algorithm>
#include <charconv>
#include <cstdint>

#include "io/svg.h"
#include "tools/nesting.h"

// The cut diagram: one sheet per row of the page, drawn to scale with the sheet's bottom edge
// at the bottom (the layout's y runs up, the page's down). Strips are shaded, the tails and
// the offcut above the strips get their own shade, parts carry their name and placed size in
// millimetres, and rotated parts are drawn with a dashed inner border and marked "R".

namespace korvan {
namespace {

constexpr double kSheetDrawingWidthMm = 260.0;
constexpr double kMarginMm = 10.0;
constexpr double kHeaderMm = 9.0;
constexpr double kGapMm = 6.0;
constexpr double kMaxLabelMm = 3.2;
constexpr double kMinLabelMm = 1.2;

void append_mm(std::string& out, double metres) { io::append_svg_number(out, metres * 1000.0); }

void append_count(std::string& out, std::uint64_t n) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, ec == std::errc{} ? end : buf);
}

void append_percent(std::string& out, double ratio) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, ratio * 100.0, std::chars_format::fixed, 2);
    out.append(buf, ec == std::errc{} ? end : buf);
    out += '%';
}

}  // namespace

std::string nest_layout_svg(const NestResult& result, const std::vector<PartRow>& rows,
                            const SheetSpec& sheet) {
    const double scale = kSheetDrawingWidthMm / sheet.width;  // page mm per metre
    const double sheet_w = sheet.width * scale, sheet_h = sheet.height * scale;
    const double row_h = kHeaderMm + sheet_h + kGapMm;
    const std::size_t count = std::max<std::size_t>(result.sheets.size(), 1);
    io::SvgDocument doc(2.0 * kMarginMm + sheet_w, kMarginMm + count * row_h);

    io::SvgStyle stock{"#e6e6e6", "#555555", 0.3, {}, 1.0};
    io::SvgStyle usable{"#ffffff", "#999999", 0.15, {0.8, 0.8}, 1.0};
    io::SvgStyle strip_shade{"#dbe8f5", "none", 0.0, {}, 1.0};
    io::SvgStyle offcut_shade{"#cfe9cf", "#7fb07f", 0.15, {}, 1.0};
    io::SvgStyle part_style{"#f3dcb2", "#5a3d1a", 0.25, {}, 1.0};
    io::SvgStyle rotated_mark{"none", "#a0522d", 0.2, {1.0, 0.7}, 1.0};
    io::SvgTextStyle header{3.5, "#222222", io::SvgAnchor::kStart, true, 0.0};

    const double trim = sheet.trim, u = result.usable_width, v = result.usable_height;
    for (std::size_t s = 0; s < result.sheets.size(); ++s) {
        const SheetLayout& layout = result.sheets[s];
        const double left = kMarginMm, top = kMarginMm + s * row_h + kHeaderMm;
        // Usable-sheet metres to page millimetres.
        auto px = [&](double x) { return left + (trim + x) * scale; };
        auto py = [&](double y) { return top + (sheet.height - trim - y) * scale; };

        std::string title = "sheet ";
        append_count(title, s);
        doc.begin_group(title);
        title += ": strips=";
        append_count(title, layout.strips.size());
        title += " parts=";
        append_count(title, layout.placements);
        title += " utilisation=";
        append_percent(title, layout.utilisation);
        doc.text({left, top - 2.5}, title, header);

        doc.rect(left, top, sheet_w, sheet_h, stock);
        doc.rect(px(0), py(v), u * scale, v * scale, usable);
        for (const Strip& strip : layout.strips) {
            doc.rect(px(0), py(strip.y + strip.height), u * scale, strip.height * scale,
                     strip_shade);
            if (strip.tail_width > 0.0) {
                doc.rect(px(u - strip.tail_width), py(strip.y + strip.height),
                         strip.tail_width * scale, strip.height * scale, offcut_shade);
            }
        }
        if (layout.offcut_height > 0.0) {
            doc.rect(px(0), py(v), u * scale, layout.offcut_height * scale, offcut_shade);
            io::SvgTextStyle note{std::min(kMaxLabelMm, layout.offcut_height * scale * 0.5),
                                  "#3d6b3d", io::SvgAnchor::kMiddle, false, 0.0};
            if (note.size >= kMinLabelMm) {
                std::string label = "offcut ";
                append_mm(label, u);
                label += 'x';
                append_mm(label, layout.offcut_height);
                doc.text({px(u / 2), py(v - layout.offcut_height / 2) + note.size * 0.35}, label,
                         note);
            }
        }
        for (const Placement& p : result.placements) {
            if (p.sheet != s) continue;
            const std::string& name = rows[p.row].name;
            std::string size;
            append_mm(size, p.w);
            size += 'x';
            append_mm(size, p.h);
            std::string tip = name + ' ' + size;
            if (p.rotated) tip += " rotated";
            doc.begin_group(tip);
            const double x0 = px(p.x), y0 = py(p.y + p.h), w = p.w * scale, h = p.h * scale;
            doc.rect(x0, y0, w, h, part_style);
            if (p.rotated) {
                const double inset = std::min({0.8, w / 4, h / 4});
                doc.rect(x0 + inset, y0 + inset, w - 2 * inset, h - 2 * inset, rotated_mark);
            }
            // Two lines (name, size) when the part is tall enough, else one; none when even
            // the smallest type would not fit (the group's title still names it).
            const double longest = static_cast<double>(std::max(name.size(), size.size() + 2));
            double text_size = std::min({kMaxLabelMm, h / 2.8, w / (0.6 * longest)});
            io::SvgTextStyle label{text_size, "#2b1a05", io::SvgAnchor::kMiddle, false, 0.0};
            if (text_size >= kMinLabelMm) {
                doc.text({x0 + w / 2, y0 + h / 2 - 0.15 * text_size}, name, label);
                doc.text({x0 + w / 2, y0 + h / 2 + 1.0 * text_size},
                         p.rotated ? size + " R" : size, label);
            }
            doc.end_group();
        }
        doc.end_group();
    }
    return doc.finish();
}

}  // namespace korvan
