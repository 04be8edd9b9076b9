#include <charconv>
#include <string_view>

#include "tools/nesting.h"

// The cut list as typed on a command line: rows separated by ';', fields by ','. Values that
// parse but make no sense (a negative quantity, an unknown grain word, a thickness of 0) are
// kept, so the nesting can refuse that one row by name and still lay out the others.

namespace korvan {
namespace {

constexpr std::size_t kRequiredFields = 4;
constexpr std::size_t kMaxFields = 8;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' ||
                          s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

template <class T>
bool parse_whole(std::string_view text, T& out) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc{} && ptr == end;
}

std::uint8_t parse_grain(std::string_view word) {
    if (word.empty() || word == "none" || word == "0") return 0;
    if (word == "along_width" || word == "along-width" || word == "1") return 1;
    if (word == "along_height" || word == "along-height" || word == "2") return 2;
    return kUnknownGrain;
}

bool parse_row(std::string_view text, double sheet_thickness, std::string_view sheet_material,
               PartRow& row) {
    std::string_view fields[kMaxFields];
    std::size_t count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        if (count == kMaxFields) return false;
        fields[count++] = trim(text.substr(start, comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (count < kRequiredFields || fields[0].empty()) return false;
    row.name = std::string(fields[0]);
    if (!parse_whole(fields[1], row.width) || !parse_whole(fields[2], row.height) ||
        !parse_whole(fields[3], row.quantity))
        return false;
    row.grain = count > 4 ? parse_grain(fields[4]) : 0;
    row.finished_faces = 0;
    if (count > 5 && !fields[5].empty() && !parse_whole(fields[5], row.finished_faces))
        return false;
    row.thickness = sheet_thickness;
    if (count > 6 && !fields[6].empty() && !parse_whole(fields[6], row.thickness)) return false;
    row.material = count > 7 && !fields[7].empty() ? std::string(fields[7])
                                                   : std::string(sheet_material);
    return true;
}

}  // namespace

CutListParse parse_cut_list(std::string_view text, double sheet_thickness,
                            std::string_view sheet_material) {
    CutListParse parse;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t semi = text.find(';', start);
        if (semi == std::string_view::npos) semi = text.size();
        const std::string_view row_text = trim(text.substr(start, semi - start));
        start = semi + 1;
        if (row_text.empty()) continue;
        PartRow row;
        if (!parse_row(row_text, sheet_thickness, sheet_material, row)) {
            parse.bad_row = std::string(row_text);
            parse.rows.clear();
            return parse;
        }
        parse.rows.push_back(std::move(row));
    }
    parse.ok = !parse.rows.empty();
    return parse;
}

}  // namespace korvan
