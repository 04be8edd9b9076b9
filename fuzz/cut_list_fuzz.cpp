// libFuzzer harness for cut lists typed on the command line. Whatever the text, parsing
// never crashes, a parsed list always has rows, and the nesting of those rows either refuses
// the whole run with a reason or lays every accepted copy inside its sheet and strip.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/nesting.h"

namespace {

// Small enough that the layout search stays quick on every input.
constexpr std::uint32_t kMaxSearchedInstances = 200;

void check_layout(const korvan::NestResult& r) {
    if (!r.ok) {
        if (r.message[0] == '\0') std::abort();
        return;
    }
    if (r.counts.placed != r.counts.instances) std::abort();
    for (const korvan::Placement& p : r.placements) {
        if (p.sheet >= r.sheets.size() || p.strip >= r.sheets[p.sheet].strips.size()) std::abort();
        const korvan::Strip& s = r.sheets[p.sheet].strips[p.strip];
        if (p.x < -1e-6 || p.x + p.w > r.usable_width + 1e-6 || p.h > s.height + 1e-6) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CutListParse parse = parse_cut_list(text, 0.018, "MDF");
    if (parse.ok == parse.rows.empty()) std::abort();
    if (!parse.ok) return 0;
    const BoardGroups groups = group_parts_by_board(parse.rows);
    std::size_t grouped = 0;
    for (const BoardPile& b : groups.boards) grouped += b.rows.size();
    if (grouped != parse.rows.size()) std::abort();
    SheetSpec sheet;
    sheet.material = "MDF";
    const NestResult first = nest_parts(parse.rows, sheet);
    check_layout(first);
    if (first.ok && first.counts.instances <= kMaxSearchedInstances) {
        const NestResult best = nest_parts_optimised(parse.rows, sheet, 0.0);
        check_layout(best);
        if (best.sheets.size() > first.sheets.size()) std::abort();
    }
    return 0;
}
