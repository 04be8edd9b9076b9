#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace korvan::platform {

// Each captured stream keeps at most this many bytes; the rest is read and dropped so a
// chatty child never blocks on a full pipe.
constexpr std::size_t kChildOutputCap = 200000;

enum class ChildStart : std::uint8_t {
    kStarted,
    kNoPipes,  // the pipes for its output could not be made
    kNoStart,  // the program could not be started (see start_error)
};

struct ChildRun {
    ChildStart start = ChildStart::kStarted;
    int start_error = 0;     // the system's error number when start is kNoStart
    bool timed_out = false;  // the deadline passed first and the runner killed it
    int exit_code = -1;      // its exit status when it ended by itself
    int term_signal = 0;     // the signal that ended it, 0 when it exited
    std::string out, err;    // standard output and error, each cut at kChildOutputCap
    bool out_truncated = false, err_truncated = false;  // the stream reached the cap
};

// Runs `program` with `args` as argv[1..] (no shell: each string arrives as one argument)
// in `cwd` (the caller's directory when empty), standard input empty. Captures both
// streams; after `timeout_ms` the child's whole process group is killed. Never throws for
// a failing, crashing or hanging child: everything is reported in the record.
ChildRun run_child(const std::filesystem::path& program, std::span<const std::string> args,
                   const std::filesystem::path& cwd, std::uint32_t timeout_ms);

}  // namespace korvan::platform
