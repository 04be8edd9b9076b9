#pragma once

#include <atomic>
#include <exception>

// Background jobs: a thread marked as one runs the kernel's chunked scans in order on itself
// and checks its cancellation flag before each chunk. Cancellation is the one exception the
// kernel throws on purpose.

namespace korvan::background {

class Cancelled : public std::exception {
public:
    const char* what() const noexcept override;
};

// Marks the calling thread as a background job watching `cancel` while the scope lives.
// Scopes nest; the flag must outlive the scope.
class JobScope {
public:
    explicit JobScope(const std::atomic<bool>& cancel) noexcept;
    ~JobScope();
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

private:
    const std::atomic<bool>* previous_;
};

// True on a thread inside a JobScope.
bool in_job() noexcept;
// Throws Cancelled when the calling thread's job has been cancelled; nothing outside a job.
void check_cancelled();

}  // namespace korvan::background
