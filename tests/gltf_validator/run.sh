#!/bin/sh
# ctest entry of the glTF validator test. Exits 77 (skipped) when node or the validator is
# missing, so machines without them still pass the rest of the suite.
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null 2>&1; then
    echo "skipped: node is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
if [ ! -d "$here/node_modules/gltf-validator" ]; then
    echo "skipped: the glTF validator is missing; scripts/install-deps.sh runs npm ci in tests/gltf_validator"
    exit 77
fi
exec node "$here/validate.mjs" "$@"
