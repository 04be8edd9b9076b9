#include "cli/mcp.h"

#include "cli/verb_table.h"

namespace korvan::cli {

int run_mcp(int argc, char** argv) { return run_argv_not_built(argc, argv); }

}  // namespace korvan::cli
