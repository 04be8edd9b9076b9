#include "cli/option_parse.h"

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

#include "cli/option_table.h"
#include "cli/value_parse.h"

namespace korvan::cli {
namespace {

enum class Outcome : std::uint8_t { kStored, kRefused, kZeroNormal };

template <class T, class Variant>
struct IsAlternative;
template <class T, class... Ts>
struct IsAlternative<T, std::variant<Ts...>> : std::disjunction<std::is_same<T, Ts>...> {};

// Puts `value` into the field the slot names, through its Given when it has one. The table
// proves at compile time that each kind's slot has one of these two types.
template <class T>
Outcome store(const Slot& slot, Options& options, T value) {
    if constexpr (IsAlternative<T Options::*, Slot>::value) {
        if (auto* field = std::get_if<T Options::*>(&slot)) {
            options.*(*field) = std::move(value);
            return Outcome::kStored;
        }
    }
    if constexpr (IsAlternative<Given<T> Options::*, Slot>::value) {
        if (auto* field = std::get_if<Given<T> Options::*>(&slot)) {
            options.*(*field) = {std::move(value), true};
            return Outcome::kStored;
        }
    }
    assert(false && "option slot type does not match its kind");
    return Outcome::kRefused;
}

// Reads `text` with `parse` into a T and stores it, or refuses.
template <class T, class Parse>
Outcome parse_into(std::string_view text, Parse parse, const Slot& slot, Options& options) {
    T value{};
    if (!parse(text, value)) return Outcome::kRefused;
    return store(slot, options, std::move(value));
}

Outcome apply(ValueKind kind, const Slot& slot, std::string_view text, Options& options) {
    using K = ValueKind;
    switch (kind) {
        case K::kNone:
        case K::kFlag:
            break;  // never reach here: no value is consumed for them
        case K::kText:
            return store(slot, options, std::string(text));
        case K::kPath:
            return store(slot, options, std::filesystem::path(text));
        case K::kFloat:
            return parse_into<float>(text, parse_float, slot, options);
        case K::kPositiveFloat:
            return parse_into<float>(text, parse_positive_float, slot, options);
        case K::kNonNegativeFloat:
            return parse_into<float>(text, parse_non_negative_float, slot, options);
        case K::kOpenUnit:
            return parse_into<float>(text, parse_open_unit, slot, options);
        case K::kExposure:
            return parse_into<float>(text, parse_exposure, slot, options);
        case K::kUnitFloat:
            return parse_into<float>(text, parse_unit_float, slot, options);
        case K::kIndex:
            return parse_into<std::uint32_t>(text, parse_index, slot, options);
        case K::kNonNegativeInt:
            return parse_into<std::uint32_t>(text, parse_non_negative_int, slot, options);
        case K::kInteger:
            return parse_into<std::int32_t>(text, parse_integer, slot, options);
        case K::kSegments:
            return parse_into<std::int32_t>(text, parse_segments, slot, options);
        case K::kPositiveInt:
            return parse_into<std::int32_t>(text, parse_positive_int, slot, options);
        case K::kLabelTag:
            return parse_into<std::int32_t>(text, parse_label_tag, slot, options);
        case K::kRoundSegments:
            return parse_into<std::int32_t>(text, parse_round_segments, slot, options);
        case K::kSheetFaces:
            return parse_into<std::int32_t>(text, parse_sheet_faces, slot, options);
        case K::kVec3:
            return parse_into<Float3>(text, parse_vec3, slot, options);
        case K::kVec2:
            return parse_into<Float2>(text, parse_vec2, slot, options);
        case K::kSizeWxH:
            return parse_into<Float2>(text, parse_size_wxh, slot, options);
        case K::kIdList:
            return parse_into<std::vector<std::uint32_t>>(text, parse_id_list, slot, options);
        case K::kPointPath:
            return parse_into<std::vector<Float3>>(text, parse_point_path, slot, options);
        case K::kPolygon:
            return parse_into<std::vector<Float3>>(text, parse_polygon, slot, options);
        case K::kPlanPath:
            return parse_into<std::vector<Float2>>(text, parse_plan_path, slot, options);
        case K::kPlanPolygon:
            return parse_into<std::vector<Float2>>(text, parse_plan_polygon, slot, options);
        case K::kPixelSize:
            return parse_into<PixelSize>(text, parse_pixel_size, slot, options);
        case K::kRegion:
            return parse_into<Region>(text, parse_region, slot, options);
        case K::kSectionPlane: {
            SectionPlane plane;
            switch (parse_section_plane(text, plane)) {
                case SectionPlaneParse::kOk:
                    return store(slot, options, plane);
                case SectionPlaneParse::kZeroNormal:
                    return Outcome::kZeroNormal;
                case SectionPlaneParse::kMalformed:
                    return Outcome::kRefused;
            }
            break;
        }
        case K::kChoice: {
            const ChoiceSlot& choice = std::get<ChoiceSlot>(slot);
            std::size_t index = 0;
            if (!parse_choice(text, choice.words, choice.underscore_hyphens, index)) {
                return Outcome::kRefused;
            }
            choice.store(options, index);
            return Outcome::kStored;
        }
        case K::kSwitch:
            return parse_into<bool>(text, parse_switch, slot, options);
        case K::kYesNo:
            return parse_into<bool>(text, parse_yes_no, slot, options);
    }
    return Outcome::kRefused;
}

// "--name" or "-x": what a user means as an option. A negative number ("-1.5") is a value.
bool looks_like_option(std::string_view arg) {
    if (arg.starts_with("--")) return arg.size() > 2;
    return arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.';
}

// "--vector must be X,Y,Z ..." becomes "--vector requires X,Y,Z ...": the same shape, said
// about a value that is missing rather than wrong.
std::string requires_sentence(std::string_view message) {
    constexpr std::string_view kMustBe = " must be ";
    std::string line(message);
    if (const std::size_t at = line.find(kMustBe); at != std::string::npos) {
        line.replace(at, kMustBe.size(), " requires ");
    }
    return line;
}

}  // namespace

OptionParseResult parse_options(int argc, char** argv, std::string_view verb,
                                bool accepts_bare_file, Options& options) {
    OptionParseResult result;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const OptionRow* row = find_option(arg);
        if (!row || reading_for(*row, verb).kind == ValueKind::kNone) {
            if (looks_like_option(arg)) result.unknown.push_back(arg);
        } else {
            const OptionReading reading = reading_for(*row, verb);
            if (reading.kind == ValueKind::kFlag) {
                options.*std::get<bool Options::*>(*reading.slot) = true;
                continue;
            }
            if (reading.kind != ValueKind::kNone) {
                if (i + 1 < argc) {
                    switch (apply(reading.kind, *reading.slot, argv[++i], options)) {
                        case Outcome::kStored:
                            continue;
                        case Outcome::kRefused:
                            return {false, std::string(reading.message)};
                        case Outcome::kZeroNormal:
                            return {false, std::string(row->name) + " normal must not be zero"};
                    }
                }
                if (kind_has_shape(reading.kind)) {
                    return {false, requires_sentence(reading.message)};
                }
            }
        }
        // Not an option here, or a value option with nothing after it.
        if (accepts_bare_file && !arg.empty() && arg[0] != '-' && options.in.empty()) {
            options.in = arg;
        }
    }
    return result;
}

}  // namespace korvan::cli
