#include "io/svg.h"

#include <charconv>
#include <cmath>

#include "platform/atomic_file.h"

namespace korvan::io {
namespace {

void append_escaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
}

void append_attr(std::string& out, std::string_view name, double v) {
    out += ' ';
    out += name;
    out += "=\"";
    append_svg_number(out, v);
    out += '"';
}

}  // namespace

void append_svg_number(std::string& out, double v) {
    if (!std::isfinite(v)) v = 0.0;
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    if (ec != std::errc{}) {
        out += '0';
        return;
    }
    std::string_view s(buf, static_cast<std::size_t>(end - buf));
    while (s.back() == '0') s.remove_suffix(1);
    if (s.back() == '.') s.remove_suffix(1);
    if (s == "-0") s = "0";
    out += s;
}

SvgDocument::SvgDocument(double width_mm, double height_mm)
    : width_(width_mm), height_(height_mm) {}

void SvgDocument::append_style(const SvgStyle& style) {
    body_ += " fill=\"";
    append_escaped(body_, style.fill);
    body_ += '"';
    if (style.opacity < 1.0) append_attr(body_, "fill-opacity", style.opacity);
    body_ += " stroke=\"";
    append_escaped(body_, style.stroke);
    body_ += '"';
    if (style.stroke != "none") append_attr(body_, "stroke-width", style.stroke_width);
    if (!style.dash.empty()) {
        body_ += " stroke-dasharray=\"";
        for (std::size_t i = 0; i < style.dash.size(); ++i) {
            if (i > 0) body_ += ' ';
            append_svg_number(body_, style.dash[i]);
        }
        body_ += '"';
    }
}

void SvgDocument::rect(double x, double y, double w, double h, const SvgStyle& style) {
    body_ += "<rect";
    append_attr(body_, "x", x);
    append_attr(body_, "y", y);
    append_attr(body_, "width", w);
    append_attr(body_, "height", h);
    append_style(style);
    body_ += "/>\n";
}

void SvgDocument::line(SvgPoint a, SvgPoint b, const SvgStyle& style) {
    body_ += "<line";
    append_attr(body_, "x1", a.x);
    append_attr(body_, "y1", a.y);
    append_attr(body_, "x2", b.x);
    append_attr(body_, "y2", b.y);
    append_style(style);
    body_ += "/>\n";
}

void SvgDocument::polyline(std::span<const SvgPoint> points, bool closed, const SvgStyle& style) {
    if (points.size() < 2) return;
    body_ += closed ? "<polygon points=\"" : "<polyline points=\"";
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0) body_ += ' ';
        append_svg_number(body_, points[i].x);
        body_ += ',';
        append_svg_number(body_, points[i].y);
    }
    body_ += '"';
    append_style(style);
    body_ += "/>\n";
}

void SvgDocument::path(std::string_view data, const SvgStyle& style) {
    body_ += "<path d=\"";
    append_escaped(body_, data);
    body_ += "\" fill-rule=\"evenodd\"";
    append_style(style);
    body_ += "/>\n";
}

void SvgDocument::text(SvgPoint at, std::string_view text, const SvgTextStyle& style) {
    body_ += "<text";
    append_attr(body_, "x", at.x);
    append_attr(body_, "y", at.y);
    append_attr(body_, "font-size", style.size);
    body_ += " font-family=\"sans-serif\" fill=\"";
    append_escaped(body_, style.fill);
    body_ += '"';
    if (style.anchor == SvgAnchor::kMiddle) body_ += " text-anchor=\"middle\"";
    if (style.anchor == SvgAnchor::kEnd) body_ += " text-anchor=\"end\"";
    if (style.bold) body_ += " font-weight=\"bold\"";
    if (style.rotate_deg != 0.0) {
        body_ += " transform=\"rotate(";
        append_svg_number(body_, style.rotate_deg);
        body_ += ' ';
        append_svg_number(body_, at.x);
        body_ += ' ';
        append_svg_number(body_, at.y);
        body_ += ")\"";
    }
    body_ += '>';
    append_escaped(body_, text);
    body_ += "</text>\n";
}

void SvgDocument::begin_group(std::string_view title) {
    body_ += "<g>";
    if (!title.empty()) {
        body_ += "<title>";
        append_escaped(body_, title);
        body_ += "</title>";
    }
    body_ += '\n';
    ++open_groups_;
}

void SvgDocument::end_group() {
    if (open_groups_ == 0) return;
    body_ += "</g>\n";
    --open_groups_;
}

std::string SvgDocument::finish() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
    out += " width=\"";
    append_svg_number(out, width_);
    out += "mm\" height=\"";
    append_svg_number(out, height_);
    out += "mm\" viewBox=\"0 0 ";
    append_svg_number(out, width_);
    out += ' ';
    append_svg_number(out, height_);
    out += "\">\n";
    out += body_;
    for (int i = 0; i < open_groups_; ++i) out += "</g>\n";
    out += "</svg>\n";
    return out;
}

bool write_svg(const std::filesystem::path& path, const SvgDocument& doc) {
    return platform::write_file_atomic(path, doc.finish());
}

}  // namespace korvan::io
