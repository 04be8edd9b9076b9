#include "cli/value_parse.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

namespace korvan::cli {
namespace {

constexpr float kMinExposure = 0.05f;
constexpr float kMaxExposure = 8.0f;
constexpr std::int32_t kMaxRoundSegments = 64;

// The whole text read as one number of type T, or false. from_chars reports overflow as
// result_out_of_range, which lands here like trailing garbage.
template <class T>
bool whole(std::string_view text, T& out) {
    const char* end = text.data() + text.size();
    T value{};
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty()) return false;
    out = value;
    return true;
}

bool whole_int_at_least(std::string_view text, std::int32_t low, std::int32_t& out) {
    std::int32_t value = 0;
    if (!whole(text, value) || value < low) return false;
    out = value;
    return true;
}

// Splits `text` at every `sep` into exactly N parts and reads each with `read`. Empty parts
// fail because every reader refuses empty text.
template <std::size_t N, class T, class Read>
bool split_exact(std::string_view text, char sep, std::array<T, N>& out, Read read) {
    std::array<T, N> parts{};
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t cut = text.find(sep);
        const bool last = i + 1 == N;
        if (last != (cut == std::string_view::npos)) return false;  // too few or too many parts
        if (!read(text.substr(0, cut), parts[i])) return false;
        if (!last) text.remove_prefix(cut + 1);
    }
    out = parts;
    return true;
}

bool is_point_separator(char c) { return c == ' ' || c == ';'; }

// Points separated by runs of blanks or semicolons: "0,0,0 1,0,0", "0,0,0;1,0,0".
template <class Point, class Read>
bool read_loose_points(std::string_view text, std::size_t min_points, std::vector<Point>& out,
                       Read read) {
    std::vector<Point> points;
    std::size_t i = 0;
    while (i < text.size()) {
        if (is_point_separator(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !is_point_separator(text[end])) ++end;
        Point p{};
        if (!read(text.substr(i, end - i), p)) return false;
        points.push_back(p);
        i = end;
    }
    if (points.size() < min_points) return false;
    out = std::move(points);
    return true;
}

}  // namespace

bool kind_has_shape(ValueKind kind) {
    switch (kind) {
        case ValueKind::kVec3:
        case ValueKind::kVec2:
        case ValueKind::kIdList:
        case ValueKind::kPointPath:
        case ValueKind::kPolygon:
        case ValueKind::kPlanPath:
        case ValueKind::kPlanPolygon:
        case ValueKind::kPixelSize:
        case ValueKind::kSizeWxH:
        case ValueKind::kRegion:
        case ValueKind::kSectionPlane:
            return true;
        default:
            return false;
    }
}

bool kind_can_refuse(ValueKind kind) {
    return kind != ValueKind::kNone && kind != ValueKind::kFlag && kind != ValueKind::kText &&
           kind != ValueKind::kPath;
}

// Non-finite values are refused too: "inf" and "nan" read cleanly but no length, angle or
// factor of this program means anything with them.
bool parse_float(std::string_view text, float& out) {
    float value = 0.0f;
    if (!whole(text, value) || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool parse_positive_float(std::string_view text, float& out) {
    float value = 0.0f;
    if (!parse_float(text, value) || !(value > 0.0f)) return false;
    out = value;
    return true;
}

bool parse_non_negative_float(std::string_view text, float& out) {
    float value = 0.0f;
    if (!parse_float(text, value) || !(value >= 0.0f)) return false;
    out = value;
    return true;
}

bool parse_open_unit(std::string_view text, float& out) {
    float value = 0.0f;
    if (!parse_float(text, value) || !(value > 0.0f && value < 1.0f)) return false;
    out = value;
    return true;
}

bool parse_exposure(std::string_view text, float& out) {
    float value = 0.0f;
    if (!parse_float(text, value) || !(value >= kMinExposure && value <= kMaxExposure)) {
        return false;
    }
    out = value;
    return true;
}

bool parse_unit_float(std::string_view text, float& out) {
    float value = 0.0f;
    if (!parse_float(text, value) || !(value >= 0.0f && value <= 1.0f)) return false;
    out = value;
    return true;
}

bool parse_index(std::string_view text, std::uint32_t& out) { return whole(text, out); }

// Read signed so that "-1" is refused as negative rather than as unreadable, and "-0" is 0.
bool parse_non_negative_int(std::string_view text, std::uint32_t& out) {
    std::int64_t value = 0;
    if (!whole(text, value) || value < 0 || value > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool parse_integer(std::string_view text, std::int32_t& out) { return whole(text, out); }

bool parse_segments(std::string_view text, std::int32_t& out) {
    return whole_int_at_least(text, 3, out);
}

bool parse_positive_int(std::string_view text, std::int32_t& out) {
    return whole_int_at_least(text, 1, out);
}

bool parse_label_tag(std::string_view text, std::int32_t& out) {
    return whole_int_at_least(text, -1, out);
}

bool parse_round_segments(std::string_view text, std::int32_t& out) {
    std::int32_t value = 0;
    if (!whole_int_at_least(text, 1, value) || value > kMaxRoundSegments) return false;
    out = value;
    return true;
}

bool parse_vec3(std::string_view text, Float3& out) {
    return split_exact(text, ',', out, parse_float);
}

bool parse_vec2(std::string_view text, Float2& out) {
    return split_exact(text, ',', out, parse_float);
}

bool parse_id_list(std::string_view text, std::vector<std::uint32_t>& out) {
    std::vector<std::uint32_t> ids;
    while (true) {
        const std::size_t cut = text.find(',');
        std::uint32_t id = 0;
        if (!parse_index(text.substr(0, cut), id)) return false;
        ids.push_back(id);
        if (cut == std::string_view::npos) break;
        text.remove_prefix(cut + 1);
    }
    out = std::move(ids);
    return true;
}

bool parse_point_path(std::string_view text, std::vector<Float3>& out) {
    return read_loose_points(text, 2, out, parse_vec3);
}

// Strictly semicolon-separated: a blank anywhere or an empty triple refuses the polygon.
bool parse_polygon(std::string_view text, std::vector<Float3>& out) {
    std::vector<Float3> points;
    while (true) {
        const std::size_t cut = text.find(';');
        Float3 p{};
        if (!parse_vec3(text.substr(0, cut), p)) return false;
        points.push_back(p);
        if (cut == std::string_view::npos) break;
        text.remove_prefix(cut + 1);
    }
    if (points.size() < 3) return false;
    out = std::move(points);
    return true;
}

bool parse_plan_path(std::string_view text, std::vector<Float2>& out) {
    return read_loose_points(text, 2, out, parse_vec2);
}

bool parse_plan_polygon(std::string_view text, std::vector<Float2>& out) {
    return read_loose_points(text, 3, out, parse_vec2);
}

bool parse_pixel_size(std::string_view text, PixelSize& out) {
    std::array<std::int32_t, 2> wh{};
    if (!split_exact(text, 'x', wh, parse_positive_int)) return false;
    out = {wh[0], wh[1]};
    return true;
}

bool parse_size_wxh(std::string_view text, Float2& out) {
    return split_exact(text, 'x', out, parse_positive_float);
}

bool parse_region(std::string_view text, Region& out) {
    std::array<std::int32_t, 4> r{};
    if (!split_exact(text, ',', r, parse_integer)) return false;
    out = {r[0], r[1], r[2], r[3]};
    return true;
}

SectionPlaneParse parse_section_plane(std::string_view text, SectionPlane& out) {
    std::array<Float3, 2> pn{};
    if (!split_exact(text, ';', pn, parse_vec3)) return SectionPlaneParse::kMalformed;
    const Float3& n = pn[1];
    if (n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f) return SectionPlaneParse::kZeroNormal;
    out = {pn[0], pn[1]};
    return SectionPlaneParse::kOk;
}

bool parse_choice(std::string_view text, std::span<const std::string_view> words,
                  bool underscore_hyphens, std::size_t& out) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (word.size() != text.size()) continue;
        bool same = true;
        for (std::size_t c = 0; c < word.size() && same; ++c) {
            same = text[c] == word[c] || (underscore_hyphens && word[c] == '-' && text[c] == '_');
        }
        if (same) {
            out = i;
            return true;
        }
    }
    return false;
}

bool parse_switch(std::string_view text, bool& out) {
    if (text == "1" || text == "on") {
        out = true;
    } else if (text == "0" || text == "off") {
        out = false;
    } else {
        return false;
    }
    return true;
}

bool parse_yes_no(std::string_view text, bool& out) {
    if (text == "yes") {
        out = true;
    } else if (text == "no") {
        out = false;
    } else {
        return false;
    }
    return true;
}

}  // namespace korvan::cli
