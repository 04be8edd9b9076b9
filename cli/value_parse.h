#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "cli/options.h"

namespace korvan::cli {

// How an option's value is read. Every parser consumes the whole text or refuses it; none
// clamps. Numbers go through std::from_chars, so they are locale-free and a leading '+' or
// blank is refused.
enum class ValueKind : std::uint8_t {
    kNone,              // not an option for this verb
    kFlag,              // takes no value
    kText,              // kept as given
    kPath,              // kept as given, as a filesystem path
    kFloat,             // finite 32-bit float
    kPositiveFloat,     // > 0
    kNonNegativeFloat,  // >= 0
    kOpenUnit,          // 0 < t < 1
    kExposure,          // 0.05..8
    kUnitFloat,         // 0..1
    kIndex,             // unsigned 32-bit id or table index
    kNonNegativeInt,    // 0..4294967295, "-0" included
    kInteger,           // signed 32-bit
    kSegments,          // integer >= 3
    kPositiveInt,       // integer >= 1
    kLabelTag,          // integer >= -1
    kRoundSegments,     // integer 1..64
    kVec3,              // X,Y,Z
    kVec2,              // X,Y
    kIdList,            // N0,N1,...
    kPointPath,         // 2+ X,Y,Z points, blank- or semicolon-separated
    kPolygon,           // 3+ X,Y,Z points, semicolon-separated
    kPlanPath,          // 2+ X,Y points, blank- or semicolon-separated
    kPlanPolygon,       // 3+ X,Y points, blank- or semicolon-separated
    kPixelSize,         // WxH, positive integers
    kSizeWxH,           // WxH, positive floats
    kRegion,            // x,y,w,h integers
    kSectionPlane,      // PX,PY,PZ;NX,NY,NZ with a non-zero normal
    kChoice,            // one word of a fixed list
    kSwitch,            // 0|1|on|off
    kYesNo,             // yes|no
};

// Kinds whose value has a shape (vectors, lists, sizes, planes). Given as the last
// argument they stop the run with their "requires" sentence instead of being ignored.
bool kind_has_shape(ValueKind kind);

// Whether a value of this kind can be refused (flags, text and paths never are).
bool kind_can_refuse(ValueKind kind);

bool parse_float(std::string_view text, float& out);
bool parse_positive_float(std::string_view text, float& out);
bool parse_non_negative_float(std::string_view text, float& out);
bool parse_open_unit(std::string_view text, float& out);
bool parse_exposure(std::string_view text, float& out);
bool parse_unit_float(std::string_view text, float& out);

bool parse_index(std::string_view text, std::uint32_t& out);
bool parse_non_negative_int(std::string_view text, std::uint32_t& out);
bool parse_integer(std::string_view text, std::int32_t& out);
bool parse_segments(std::string_view text, std::int32_t& out);
bool parse_positive_int(std::string_view text, std::int32_t& out);
bool parse_label_tag(std::string_view text, std::int32_t& out);
bool parse_round_segments(std::string_view text, std::int32_t& out);

bool parse_vec3(std::string_view text, Float3& out);
bool parse_vec2(std::string_view text, Float2& out);
bool parse_id_list(std::string_view text, std::vector<std::uint32_t>& out);
bool parse_point_path(std::string_view text, std::vector<Float3>& out);
bool parse_polygon(std::string_view text, std::vector<Float3>& out);
bool parse_plan_path(std::string_view text, std::vector<Float2>& out);
bool parse_plan_polygon(std::string_view text, std::vector<Float2>& out);
bool parse_pixel_size(std::string_view text, PixelSize& out);
bool parse_size_wxh(std::string_view text, Float2& out);
bool parse_region(std::string_view text, Region& out);

enum class SectionPlaneParse : std::uint8_t { kOk, kMalformed, kZeroNormal };
SectionPlaneParse parse_section_plane(std::string_view text, SectionPlane& out);

// The position of `text` in `words`. With `underscore_hyphens`, '_' in the text stands for
// '-' (the board sides are typed either way).
bool parse_choice(std::string_view text, std::span<const std::string_view> words,
                  bool underscore_hyphens, std::size_t& out);
bool parse_switch(std::string_view text, bool& out);  // 0|1|on|off
bool parse_yes_no(std::string_view text, bool& out);

}  // namespace korvan::cli
