#include "core/background.h"

namespace korvan::background {
namespace {

thread_local const std::atomic<bool>* t_cancel_flag = nullptr;

}  // namespace

const char* Cancelled::what() const noexcept { return "background job cancelled"; }

JobScope::JobScope(const std::atomic<bool>& cancel) noexcept : previous_(t_cancel_flag) {
    t_cancel_flag = &cancel;
}

JobScope::~JobScope() { t_cancel_flag = previous_; }

bool in_job() noexcept { return t_cancel_flag != nullptr; }

void check_cancelled() {
    if (t_cancel_flag && t_cancel_flag->load(std::memory_order_acquire)) throw Cancelled();
}

}  // namespace korvan::background
