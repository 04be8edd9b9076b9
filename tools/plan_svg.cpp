#include <algorithm>
#include <cmath>
#include <limits>

#include "io/svg.h"
#include "platform/atomic_file.h"
#include "tools/plan.h"

namespace korvan::plan {
namespace {

constexpr double kMarginMm = 10.0;

struct Sheet {
    double min_x = 0, max_y = 0, mm_per_m = 10;
    io::SvgPoint at(Point2 p) const {
        return {(p.x - min_x) * mm_per_m + kMarginMm, (max_y - p.y) * mm_per_m + kMarginMm};
    }
};

}  // namespace

std::string plan_svg(const PlanResult& plan, double scale) {
    if (!(scale > 0)) scale = 100;
    double lo_x = std::numeric_limits<double>::max(), lo_y = lo_x;
    double hi_x = std::numeric_limits<double>::lowest(), hi_y = hi_x;
    auto take = [&](Point2 p) {
        lo_x = std::min(lo_x, double(p.x));
        lo_y = std::min(lo_y, double(p.y));
        hi_x = std::max(hi_x, double(p.x));
        hi_y = std::max(hi_y, double(p.y));
    };
    for (const PlanLine& l : plan.lines) {
        take(l.a);
        take(l.b);
    }
    for (const HatchRing& r : plan.rings) {
        for (Point2 p : r.points) take(p);
    }
    if (lo_x > hi_x) lo_x = lo_y = hi_x = hi_y = 0;
    Sheet sheet{lo_x, hi_y, 1000.0 / scale};
    io::SvgDocument doc((hi_x - lo_x) * sheet.mm_per_m + 2 * kMarginMm,
                        (hi_y - lo_y) * sheet.mm_per_m + 2 * kMarginMm);

    auto draw_lines = [&](LineKind kind, const io::SvgStyle& style, const char* title) {
        doc.begin_group(title);
        for (const PlanLine& l : plan.lines) {
            if (l.kind == kind) doc.line(sheet.at(l.a), sheet.at(l.b), style);
        }
        doc.end_group();
    };
    io::SvgStyle beyond;
    beyond.stroke = "#555555";
    beyond.stroke_width = 0.13;
    draw_lines(LineKind::kBeyond, beyond, "beyond");
    io::SvgStyle hidden;
    hidden.stroke = "#555555";
    hidden.stroke_width = 0.13;
    hidden.dash = {1.5, 1.0};
    draw_lines(LineKind::kHidden, hidden, "hidden");

    // Each outer ring with its holes is one even-odd path, so the openings stay unfilled.
    io::SvgStyle poche;
    poche.fill = "#3a3a3a";
    poche.stroke = "none";
    poche.stroke_width = 0;
    doc.begin_group("poche");
    for (std::size_t i = 0; i < plan.rings.size(); ++i) {
        if (plan.rings[i].is_hole) continue;
        std::string data;
        auto ring_path = [&](const HatchRing& r) {
            for (std::size_t k = 0; k < r.points.size(); ++k) {
                const io::SvgPoint p = sheet.at(r.points[k]);
                data += k == 0 ? "M " : " L ";
                io::append_svg_number(data, p.x);
                data += ' ';
                io::append_svg_number(data, p.y);
            }
            data += " Z ";
        };
        ring_path(plan.rings[i]);
        for (const HatchRing& h : plan.rings) {
            if (h.is_hole && h.parent == i) ring_path(h);
        }
        doc.path(data, poche);
    }
    doc.end_group();

    io::SvgStyle cut;
    cut.stroke = "black";
    cut.stroke_width = 0.5;
    draw_lines(LineKind::kCut, cut, "cut");
    return doc.finish();
}

bool export_plan_svg(const std::filesystem::path& path, const PlanResult& plan, double scale) {
    return platform::write_file_atomic(path, plan_svg(plan, scale));
}

}  // namespace korvan::plan
