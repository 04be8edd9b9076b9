#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace korvan::io {
class JsonValue;
}

namespace korvan::cli {

// Runs the program itself with `args` as argv[1..] in `cwd`, killing it after `timeout_ms`.
using McpChildRunner =
    std::function<platform::ChildRun(const std::vector<std::string>& args,
                                     const std::filesystem::path& cwd, std::uint32_t timeout_ms)>;

// The message handling of `korvan_cli mcp`: JSON-RPC 2.0 requests in, one response line
// out. Tool calls go through the runner, so tests can answer them without processes.
class McpServer {
  public:
    // `start_dir` is where commands run unless a call names another directory.
    McpServer(std::filesystem::path start_dir, McpChildRunner runner);

    // The response to one input line, without its line feed; empty when none is due
    // (a blank line or a notification).
    std::string handle_line(std::string_view line);

  private:
    // The text of a tools/call result; sets `is_error` for the result's isError flag and
    // adds the base64 PNG of each picture the command wrote to `pictures`.
    std::string call_tool(std::string_view name, const io::JsonValue* arguments, bool& is_error,
                          std::vector<std::string>& pictures);
    std::string run_verb(const io::JsonValue* arguments, bool& is_error,
                         std::vector<std::string>& pictures);

    std::filesystem::path start_dir_;
    McpChildRunner runner_;
};

}  // namespace korvan::cli
