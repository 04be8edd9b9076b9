#!/bin/sh
# ctest entry of the MCP client test. Exits 77 (skipped) when node or the client library
# is missing, so machines without them still pass the rest of the suite.
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null 2>&1; then
    echo "skipped: node is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
if [ ! -d "$here/node_modules/@modelcontextprotocol/sdk" ]; then
    echo "skipped: the MCP client library is missing; scripts/install-deps.sh runs npm ci in tests/mcp_client"
    exit 77
fi
exec node "$here/client.mjs" "$@"
