// The runner is exercised with /bin/sh scripts: they can be slow, crash, fork, close their
// streams or flood them, which no verb of ours does on demand.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace korvan::platform {
namespace {

constexpr std::uint32_t kGenerous = 120000;  // only a hang would reach it

ChildRun sh(const std::string& script, std::uint32_t timeout_ms = kGenerous,
            const std::filesystem::path& cwd = {}, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-c", script, "sh"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_child("/bin/sh", args, cwd, timeout_ms);
}

// Waits until the process ends (a zombie counts as ended); false if it is still alive after
// a minute. SIGKILL is delivered asynchronously, so a check right after kill() could race.
bool process_ends(const std::string& pid_text) {
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, std::stoi(pid_text), 0));
    if (fd < 0) return errno == ESRCH;  // already gone and reaped
    pollfd wait = {fd, POLLIN, 0};
    const bool ended = poll(&wait, 1, 60000) == 1;
    close(fd);
    return ended;
}

TEST(ProcessRunner, ArgumentsArriveUnchangedAndStreamsStaySeparate) {
    const std::vector<std::string> args = {"a b", "", "q\"u'o\\te", "$HOME", "\xC3\xBCn", "*"};
    const ChildRun run = sh("printf '%s|' \"$@\"; printf 'to err' >&2", kGenerous, {}, args);
    ASSERT_EQ(run.start, ChildStart::kStarted);
    EXPECT_EQ(run.out, "a b||q\"u'o\\te|$HOME|\xC3\xBCn|*|");
    EXPECT_EQ(run.err, "to err");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.term_signal, 0);
    EXPECT_FALSE(run.timed_out);
    EXPECT_FALSE(run.out_truncated || run.err_truncated);
}

TEST(ProcessRunner, ReportsTheExitCodeOrTheSignal) {
    struct Case {
        const char* script;
        int exit_code, signal;
    };
    const Case cases[] = {
        {"exit 0", 0, 0},
        {"exit 3", 3, 0},
        {"echo partial; kill -SEGV $$", -1, SIGSEGV},
        {"kill -ABRT $$", -1, SIGABRT},
        {"kill -TERM $$", -1, SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const ChildRun run = sh(c.script);
        ASSERT_EQ(run.start, ChildStart::kStarted);
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(run.term_signal, c.signal);
        EXPECT_FALSE(run.timed_out);
    }
    EXPECT_EQ(sh("echo partial; kill -SEGV $$").out, "partial\n");
}

TEST(ProcessRunner, RunsInTheChosenDirectoryWithEmptyInput) {
    const auto dir = test::fresh_temp_dir() / "with space";
    std::filesystem::create_directories(dir);
    const ChildRun run = sh("pwd; cat; echo end", kGenerous, dir);
    EXPECT_EQ(run.out, std::filesystem::canonical(dir).string() + "\nend\n");
    EXPECT_FALSE(run.timed_out);

    const ChildRun here = sh("pwd");
    EXPECT_EQ(here.out, std::filesystem::current_path().string() + "\n");
}

TEST(ProcessRunner, StartFailuresCarryTheSystemError) {
    const auto dir = test::fresh_temp_dir();
    const auto not_executable = dir / "plain.txt";
    std::ofstream(not_executable) << "#!/bin/sh\n";
    chmod(not_executable.c_str(), 0644);
    struct Case {
        std::filesystem::path program, cwd;
        int error;
    };
    const Case cases[] = {
        {dir / "missing", {}, ENOENT},
        {"/bin/sh", dir / "missing", ENOENT},
        {not_executable, {}, EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program.string() + " in " + c.cwd.string());
        const std::vector<std::string> args = {"-c", "true"};
        const ChildRun run = run_child(c.program, args, c.cwd, kGenerous);
        EXPECT_EQ(run.start, ChildStart::kNoStart);
        EXPECT_EQ(run.start_error, c.error);
        EXPECT_EQ(run.out, "");
    }
}

TEST(ProcessRunner, CapsEachStreamButDrainsItToTheEnd) {
    struct Case {
        const char* script;
        std::size_t out_size, err_size;
        bool out_cut, err_cut;
    };
    const Case cases[] = {
        {"head -c 199999 /dev/zero", 199999, 0, false, false},
        {"head -c 200000 /dev/zero >&2", 0, 200000, false, true},
        {"head -c 200001 /dev/zero", 200000, 0, true, false},
        // Megabytes on both streams in turn: a runner that drained only one would stall
        // the child on the other, and the run would end in a timeout.
        {"i=0; while [ $i -lt 40 ]; do head -c 100000 /dev/zero; head -c 100000 /dev/zero >&2;"
         " i=$((i+1)); done; echo done >&2",
         200000, 200000, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const ChildRun run = sh(c.script);
        EXPECT_EQ(run.out.size(), c.out_size);
        EXPECT_EQ(run.err.size(), c.err_size);
        EXPECT_EQ(run.out_truncated, c.out_cut);
        EXPECT_EQ(run.err_truncated, c.err_cut);
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.exit_code, 0);
    }
}

TEST(ProcessRunner, DeadlineKillsTheChildAndEverythingItStarted) {
    // The background sleep holds the output pipe: unless its group is killed too, the
    // runner would wait for its end of the pipe instead of returning.
    const ChildRun run = sh("sleep 1000 & echo $!; wait", 200);
    EXPECT_TRUE(run.timed_out);
    EXPECT_EQ(run.term_signal, SIGKILL);
    ASSERT_FALSE(run.out.empty());
    const std::string grandchild = run.out.substr(0, run.out.find('\n'));
    EXPECT_TRUE(process_ends(grandchild)) << "background process " << grandchild;

    struct Case {
        const char* script;
        std::uint32_t timeout_ms;
    };
    const Case cases[] = {
        {"exec sleep 1000", 0},
        {"exec sleep 1000", 1},
        {"exec >&- 2>&-; sleep 1000", 100},  // streams closed but still running
        {"trap '' TERM INT HUP; sleep 1000", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const ChildRun slow = sh(c.script, c.timeout_ms);
        EXPECT_EQ(slow.start, ChildStart::kStarted);
        EXPECT_TRUE(slow.timed_out);
        EXPECT_EQ(slow.exit_code, -1);
    }
}

}  // namespace
}  // namespace korvan::platform
