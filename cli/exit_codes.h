#pragma once

namespace korvan::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;      // usage, bad values, load/save failures, edit refusals
constexpr int kExitNothingToDo = 2;  // ran, but nothing to do or input outside the domain

}  // namespace korvan::cli
