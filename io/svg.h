#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A small SVG writer for drawings measured in millimetres: the page's width and height are
// given in mm and the viewBox uses the same numbers, so one user unit is one millimetre on
// paper. The y axis points down, as in every SVG; callers that draw in model space with y up
// flip it themselves. Text is escaped; numbers are written with at most three decimals.

namespace korvan::io {

struct SvgPoint {
    double x = 0.0, y = 0.0;
};

// How a shape is painted. Colours are any SVG colour text ("#d0e4f5", "none", "black").
struct SvgStyle {
    std::string fill = "none";
    std::string stroke = "black";
    double stroke_width = 0.25;  // mm
    std::vector<double> dash;    // mm on, mm off, ...; empty for a solid line
    double opacity = 1.0;        // of the fill
};

enum class SvgAnchor { kStart, kMiddle, kEnd };

struct SvgTextStyle {
    double size = 3.5;  // mm, the height of capitals roughly 0.7 of it
    std::string fill = "black";
    SvgAnchor anchor = SvgAnchor::kStart;
    bool bold = false;
    double rotate_deg = 0.0;  // about the anchor point, clockwise on the page
};

class SvgDocument {
public:
    // A page of width x height millimetres with the viewBox "0 0 width height".
    SvgDocument(double width_mm, double height_mm);

    void rect(double x, double y, double w, double h, const SvgStyle& style);
    void line(SvgPoint a, SvgPoint b, const SvgStyle& style);
    // An open or closed polyline; nothing for fewer than two points.
    void polyline(std::span<const SvgPoint> points, bool closed, const SvgStyle& style);
    // Raw path data ("M 0 0 L 10 0 ..."), for arcs and holes (fill-rule evenodd).
    void path(std::string_view data, const SvgStyle& style);
    void text(SvgPoint at, std::string_view text, const SvgTextStyle& style);
    // Groups nest; a title shows as a tooltip in viewers and names the group for tools.
    void begin_group(std::string_view title = {});
    void end_group();

    // The whole document, closing any group left open.
    std::string finish() const;

private:
    void append_style(const SvgStyle& style);

    double width_, height_;
    std::string body_;
    int open_groups_ = 0;
};

// Appends a length the way the writer prints one: fixed, at most three decimals, no
// trailing zeros ("12.5", "0.003", "-4").
void append_svg_number(std::string& out, double v);

// Writes the finished document whole or not at all; false on failure (the platform's last
// write error says why).
bool write_svg(const std::filesystem::path& path, const SvgDocument& doc);

}  // namespace korvan::io
