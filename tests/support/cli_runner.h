#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvan::test {

struct CliRun {
    std::string out, err;
    int exit_code = -1;
};

// A fresh, empty directory under the test temp dir, unique per call.
std::filesystem::path fresh_temp_dir();

// Runs the built korvan_cli with `args` (no shell: each string is one argument) in `cwd`,
// or in a fresh temporary directory when `cwd` is empty. Standard input is empty.
CliRun run_cli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {});

// As run_cli for any program: args[0] of the child is `program`.
CliRun run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::filesystem::path& cwd = {});

// Path of the built executable.
std::filesystem::path cli_path();

}  // namespace korvan::test
