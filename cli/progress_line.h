#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// A progress line for long work (renders, big imports) on standard error: "<label>: rows
// 120/450 (26%)", redrawn in place. It appears only when standard error is a terminal and
// the work has already taken about a second, so quick runs and pipes see nothing; finish()
// (or the destructor) clears it.

namespace korvan::cli {

class ProgressLine {
  public:
    // unit names what is counted ("rows").
    ProgressLine(std::string_view label, std::string_view unit);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(std::int64_t done, std::int64_t total);
    void finish();

  private:
    std::string label_, unit_;
    bool enabled_ = false;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace korvan::cli
