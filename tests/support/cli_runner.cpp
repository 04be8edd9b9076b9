#include "tests/support/cli_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace korvan::test {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

std::filesystem::path cli_path() { return KORVAN_CLI_PATH; }

std::filesystem::path fresh_temp_dir() {
    static std::atomic<int> counter{0};
    auto dir = std::filesystem::path(testing::TempDir()) /
               ("korvan_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

CliRun run_cli(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
    return run_program(cli_path(), args, cwd);
}

CliRun run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::filesystem::path& cwd) {
    const auto dir = cwd.empty() ? fresh_temp_dir() : cwd;
    // Output goes to files rather than pipes so a chatty child can never block on us.
    const auto scratch = fresh_temp_dir();
    const auto out_path = scratch / "stdout", err_path = scratch / "stderr";
    const std::string exe = program.string();

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    CliRun run;
    const pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        run.exit_code = WEXITSTATUS(status);
    }
    run.out = slurp(out_path);
    run.err = slurp(err_path);
    std::filesystem::remove_all(scratch);
    return run;
}

}  // namespace korvan::test
