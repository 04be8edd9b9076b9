#pragma once

#include <vector>

#include "tools/nesting.h"

// What the first-fit layout and the layout search share: the screened instances and the
// accounting that turns placed strips into the report's areas and cuts.

namespace korvan::nesting_detail {

// Every comparison of lengths in a layout allows this much, so a part exactly the size of
// the usable sheet fits after float rounding.
inline constexpr double kFitTolerance = 1e-6;

// Screens the sheet and the rows into `result` (usable size, refused rows, counters) and
// returns the instances in first-fit order. On a whole-run refusal result.ok is false.
std::vector<PartInstance> screen(const std::vector<PartRow>& rows, const SheetSpec& sheet,
                                 NestResult& result);

// Fills the per-sheet and total figures from result.sheets (strips with y, height, right
// end and part count) and result.placements, then sorts the placements into cut order.
void account(NestResult& result, const SheetSpec& sheet);

}  // namespace korvan::nesting_detail
