#include "cli/verb_table.h"

#include <algorithm>

#include "cli/mcp.h"

namespace korvan::cli {
namespace {

// Rows in usage order. A divider is a row with only help text.
constexpr VerbSpec kVerbs[] = {
    {"mcp", kOwnArgs, "", "MCP server over standard input and output", nullptr, run_mcp},
    {"new", kRequiresOut, "--out file.korv", "saves an empty model with the material library",
     run_not_built, nullptr, "new requires --out file.korv"},
    {"stats", kSampleModel | kBareFile, "[file.korv | --in file.korv]", "model statistics",
     run_not_built},
    {"face-pushpull", kRequiresOut | kSampleModel | kBareFile,
     "[--in file.korv] --face F --distance D --out file.korv", "push or pull one face",
     run_not_built},
    {"mesh-check", kReadOnly | kSampleModel | kBareFile, "[--in file.korv] [--ids]",
     "one row per defect class", run_not_built},
    {"load", kBareFile | kRequiresIn, "file.korv | --in file.korv", "loads and prints stats",
     run_not_built, nullptr, "--in or file.korv required"},
};

}  // namespace

std::span<const VerbSpec> verb_table() { return kVerbs; }

const VerbSpec* find_verb(std::string_view name) {
    if (name.empty()) return nullptr;
    auto it = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                           [&](const VerbSpec& v) { return v.name == name; });
    return it == std::end(kVerbs) ? nullptr : &*it;
}

void append_usage(std::string& out) {
    out += "Korvan CLI\n";
    for (const VerbSpec& v : kVerbs) {
        out.append("  korvan_cli ").append(v.name);
        if (!v.synopsis.empty()) out.append(" ").append(v.synopsis);
        out += "\n";
    }
}

}  // namespace korvan::cli
