// Child processes on POSIX: posix_spawn (no shell), two pipes drained by one poll loop,
// a deadline enforced by killing the child's own process group.
//
// The loop watches both pipes and, where the kernel offers one, a pidfd for the child, so
// a child that closes its streams but keeps running is still caught by the deadline.
// Without a pidfd the loop falls back to polling waitpid every few milliseconds.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <system_error>
#include <vector>

extern char** environ;

namespace korvan::platform {
namespace {

using Clock = std::chrono::steady_clock;

// After the kill, how long output may still trickle in from a process outside the group
// that inherited a pipe; past it the runner stops reading rather than wait on a stranger.
constexpr auto kDrainAfterKill = std::chrono::milliseconds(2000);
// How often the child's state is polled when no pidfd can tell us it ended.
constexpr int kNoPidfdPollMs = 10;
constexpr std::size_t kReadChunk = 65536;

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

struct Capture {
    int fd = -1;
    std::string* text = nullptr;
    bool* truncated = nullptr;
};

// Reads what is there; keeps at most the cap and drops the rest. Closes the end at EOF.
void read_some(Capture& stream) {
    char buf[kReadChunk];
    const ssize_t n = read(stream.fd, buf, sizeof buf);
    if (n > 0) {
        std::string& text = *stream.text;
        if (text.size() < kChildOutputCap) {
            text.append(buf, std::min(static_cast<std::size_t>(n), kChildOutputCap - text.size()));
        }
        if (text.size() >= kChildOutputCap) *stream.truncated = true;
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        close_fd(stream.fd);
    }
}

class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attr_);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Returns 0 or the error number of the first step that failed.
    int prepare(int out_fd, int err_fd, const std::string& cwd) {
        // Standard input is never ours: a server reading requests there must keep them.
        int rc = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions_, out_fd, 1);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions_, err_fd, 2);
        if (rc == 0 && !cwd.empty()) {
            rc = posix_spawn_file_actions_addchdir_np(&actions_, cwd.c_str());
        }
        // Its own process group, so a timeout can end everything it started; default
        // signal handling whatever the server inherited.
        const auto flags = static_cast<short>(POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
        if (rc == 0) rc = posix_spawnattr_setflags(&attr_, flags);
        if (rc == 0) rc = posix_spawnattr_setpgroup(&attr_, 0);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM}) sigaddset(&defaults, sig);
        if (rc == 0) rc = posix_spawnattr_setsigmask(&attr_, &none);
        if (rc == 0) rc = posix_spawnattr_setsigdefault(&attr_, &defaults);
        return rc;
    }

    int spawn(pid_t& pid, const std::string& program, char* const argv[]) {
        return posix_spawn(&pid, program.c_str(), &actions_, &attr_, argv, environ);
    }

  private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attr_;
};

int milliseconds_until(Clock::time_point limit, Clock::time_point now) {
    if (limit <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - now).count();
    return static_cast<int>(std::min<long long>(left, INT_MAX));
}

}  // namespace

ChildRun run_child(const std::filesystem::path& program, std::span<const std::string> args,
                   const std::filesystem::path& cwd, std::uint32_t timeout_ms) {
    ChildRun run;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);

    int out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        run.start = ChildStart::kNoPipes;
        return run;
    }
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close_fd(out_pipe[0]);
        close_fd(out_pipe[1]);
        run.start = ChildStart::kNoPipes;
        return run;
    }

    // The working directory changes before exec, so a relative program path would move.
    std::error_code ec;
    std::filesystem::path absolute_program = std::filesystem::absolute(program, ec);
    std::string program_text = ec ? program.string() : absolute_program.string();
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(program_text.data());
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    int rc = 0;
    {
        SpawnSetup setup;
        rc = setup.prepare(out_pipe[1], err_pipe[1], cwd.string());
        if (rc == 0) rc = setup.spawn(pid, program_text, argv.data());
    }
    close_fd(out_pipe[1]);
    close_fd(err_pipe[1]);
    if (rc != 0) {
        close_fd(out_pipe[0]);
        close_fd(err_pipe[0]);
        run.start = ChildStart::kNoStart;
        run.start_error = rc;
        return run;
    }

    Capture out{out_pipe[0], &run.out, &run.out_truncated};
    Capture err{err_pipe[0], &run.err, &run.err_truncated};
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    bool reaped = false, status_known = false, killed = false;
    int status = 0;
    Clock::time_point drain_until{};

    auto reap = [&](int flags) {
        pid_t r;
        do {
            r = waitpid(pid, &status, flags);
        } while (r < 0 && errno == EINTR);
        if (r == pid) {
            reaped = status_known = true;
        } else if (r < 0) {
            reaped = true;  // ECHILD: someone else reaped it (SIGCHLD ignored); status lost
        }
    };

    while (out.fd >= 0 || err.fd >= 0 || !reaped) {
        Clock::time_point now = Clock::now();
        if (!killed && now >= deadline) {
            if (!reaped) reap(WNOHANG);
            // The group goes too, so nothing the child started keeps the pipes open.
            kill(-pid, SIGKILL);
            if (!reaped) {
                kill(pid, SIGKILL);
                run.timed_out = true;
                reap(0);
            }
            killed = true;
            drain_until = now + kDrainAfterKill;
            continue;  // the pipes may already be closed: nothing left to wait for
        }
        if (killed && now >= drain_until) break;

        pollfd fds[3];
        nfds_t count = 0;
        int out_slot = -1, err_slot = -1, pid_slot = -1;
        if (out.fd >= 0) {
            out_slot = static_cast<int>(count);
            fds[count++] = {out.fd, POLLIN, 0};
        }
        if (err.fd >= 0) {
            err_slot = static_cast<int>(count);
            fds[count++] = {err.fd, POLLIN, 0};
        }
        if (!reaped && pidfd >= 0) {
            pid_slot = static_cast<int>(count);
            fds[count++] = {pidfd, POLLIN, 0};
        }
        int wait_ms = milliseconds_until(killed ? drain_until : deadline, now);
        if (!reaped && pidfd < 0) {
            reap(WNOHANG);
            if (reaped) continue;
            if (out.fd < 0 && err.fd < 0) wait_ms = std::min(wait_ms, kNoPidfdPollMs);
        }

        const int ready = poll(fds, count, wait_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;  // cannot wait any more: the clean-up below ends the child
        }
        if (out_slot >= 0 && fds[out_slot].revents != 0) read_some(out);
        if (err_slot >= 0 && fds[err_slot].revents != 0) read_some(err);
        if (pid_slot >= 0 && fds[pid_slot].revents != 0) reap(WNOHANG);
    }

    close_fd(out.fd);
    close_fd(err.fd);
    close_fd(pidfd);
    if (!reaped) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        reap(0);
    }
    if (status_known) {
        if (WIFEXITED(status)) {
            run.exit_code = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            run.term_signal = WTERMSIG(status);
        }
    }
    return run;
}

}  // namespace korvan::platform
