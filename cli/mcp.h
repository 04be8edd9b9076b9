#pragma once

namespace korvan::cli {

// `korvan_cli mcp`: the MCP server over standard input and output. Returns the exit code.
int run_mcp(int argc, char** argv);

}  // namespace korvan::cli
