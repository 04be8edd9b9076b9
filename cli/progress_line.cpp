#include "cli/progress_line.h"

#include "cli/report.h"
#include "platform/terminal.h"

namespace korvan::cli {
namespace {

constexpr auto kQuietPeriod = std::chrono::milliseconds(1000);
constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(std::string_view label, std::string_view unit)
    : label_(label),
      unit_(unit),
      enabled_(platform::stderr_is_terminal()),
      start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { finish(); }

void ProgressLine::update(std::int64_t done, std::int64_t total) {
    if (!enabled_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietPeriod) return;
    if (shown_ && now - last_draw_ < kRedrawPeriod && done < total) return;
    last_draw_ = now;
    shown_ = true;
    std::string line = "\r";
    line += label_;
    line += ": ";
    line += unit_;
    line += ' ';
    append_int(line, done);
    line += '/';
    append_int(line, total);
    line += " (";
    append_int(line, done * 100 / total);
    line += "%)\x1b[K";
    write_err(line);
}

void ProgressLine::finish() {
    if (!shown_) return;
    shown_ = false;
    write_err("\r\x1b[K");
}

}  // namespace korvan::cli
