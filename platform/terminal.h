#pragma once

// Whether standard error is an interactive terminal. Progress lines are drawn only there:
// pipes, files, the MCP server's children and test runs get no extra output.

namespace korvan::platform {

bool stderr_is_terminal();

}  // namespace korvan::platform
