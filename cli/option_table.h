#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/options.h"
#include "cli/value_parse.h"

namespace korvan::cli {

// An enumeration's words with the typed store for the chosen word's position. `store` is
// instantiated per field, so each enumeration keeps its own enum type in Options.
struct ChoiceSlot {
    std::span<const std::string_view> words;
    void (*store)(Options&, std::size_t) = nullptr;
    bool underscore_hyphens = false;
};

// Where a parsed value goes. Every alternative is a pointer to an Options member of the type
// the row's kind produces; the table checks the pairing at compile time.
using Slot = std::variant<std::monostate, bool Options::*, Given<bool> Options::*,
                          std::string Options::*, Given<std::string> Options::*,
                          std::filesystem::path Options::*, Given<std::filesystem::path> Options::*,
                          float Options::*, Given<float> Options::*, std::int32_t Options::*,
                          Given<std::int32_t> Options::*, Given<std::uint32_t> Options::*,
                          Float3 Options::*, Given<Float3> Options::*, Given<Float2> Options::*,
                          std::vector<std::uint32_t> Options::*, std::vector<Float3> Options::*,
                          std::vector<Float2> Options::*, Given<PixelSize> Options::*,
                          Given<Region> Options::*, Given<SectionPlane> Options::*, ChoiceSlot>;

// Verbs for which an option reads differently from everywhere else.
enum class VerbScope : std::uint8_t {
    kAll,
    kRender,         // still, export-bmp, present, presentation, render, pathtrace
    kNodeTransform,  // groups, list-groups, instances, list-instances
    kAreaQuery,      // faces-by-area
    kMaterials,      // the materials and layers verbs
};

// One option name. Verbs in `scope` read it as the scoped kind instead (kNone there, or in
// the main reading, means the name is no option for those verbs).
struct OptionRow {
    std::string_view name;
    ValueKind kind = ValueKind::kNone;
    std::string_view message;  // refusal sentence without the line feed; empty if it cannot fail
    Slot slot;
    VerbScope scope = VerbScope::kAll;
    ValueKind scoped_kind = ValueKind::kNone;
    std::string_view scoped_message = {};
    Slot scoped_slot = {};
};

// How one verb reads one option row.
struct OptionReading {
    ValueKind kind = ValueKind::kNone;
    std::string_view message;
    const Slot* slot = nullptr;
};

// Every row in matching order; names are unique.
std::span<const OptionRow> option_table();

// The row named exactly `name` (case-sensitive), or nullptr.
const OptionRow* find_option(std::string_view name);

bool verb_in_scope(VerbScope scope, std::string_view verb);

// The row as `verb` reads it; kind kNone when the name is no option for that verb.
OptionReading reading_for(const OptionRow& row, std::string_view verb);

}  // namespace korvan::cli
