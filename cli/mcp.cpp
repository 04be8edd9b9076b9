#include "cli/mcp.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/exit_codes.h"
#include "cli/mcp_server.h"
#include "cli/report.h"
#include "platform/exe_path.h"
#include "platform/process.h"

namespace korvan::cli {

int run_mcp(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::error_code ec;
    const std::filesystem::path start_dir = std::filesystem::current_path(ec);
    // Every tool call runs this very program again, so a verb behaves as it does from a
    // shell and a crash or hang in it cannot take the server down.
    const std::filesystem::path self = platform::executable_path();
    McpServer server(start_dir, [self](const std::vector<std::string>& args,
                                       const std::filesystem::path& cwd, std::uint32_t timeout_ms) {
        return platform::run_child(self, args, cwd, timeout_ms);
    });

    // Standard output carries responses only; notes go to standard error.
    write_err("[korvan-mcp] ready; commands run in " + start_dir.string() + "\n");

    // Byte by byte through stdio: a block read would wait for more than one request and
    // leave the client waiting for its answer.
    std::string line;
    auto answer = [&] {
        std::string response = server.handle_line(line);
        line.clear();
        if (response.empty()) return;
        response.push_back('\n');
        write_out(response);
    };
    for (int c = std::getc(stdin); c != EOF; c = std::getc(stdin)) {
        if (c == '\n') {
            answer();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!line.empty()) answer();  // a last line without its line feed
    return kExitOk;
}

}  // namespace korvan::cli
