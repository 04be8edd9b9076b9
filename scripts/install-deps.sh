#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages that are missing. One dpkg-query call
# keeps the everything-present case well under a second.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev libstb-dev libtbb-dev python3-ezdxf
          libssl-dev openssl libcgal-dev ccache python3 nodejs npm zsh fish
          librsvg2-bin libembree-dev libassimp-dev assimp-utils)

missing=()
while read -r name status; do
    [[ "$status" == "installed" ]] || missing+=("$name")
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)
# dpkg-query prints nothing for packages it has never heard of.
for p in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Status}' "$p" >/dev/null 2>&1 || missing+=("$p")
done

if ((${#missing[@]})); then
    # nodejs and npm are only wanted when neither is already on PATH (the machine may carry its own).
    if command -v node >/dev/null && command -v npm >/dev/null; then
        filtered=()
        for p in "${missing[@]}"; do [[ "$p" == nodejs || "$p" == npm ]] || filtered+=("$p"); done
        missing=("${filtered[@]+"${filtered[@]}"}")
    fi
fi

if ((${#missing[@]})); then
    mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
    echo "install-deps: installing ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "install-deps: run as root (or install: ${missing[*]})" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The end-to-end MCP test drives the server with a real client from the npm registry.
if [[ -f tests/mcp_client/package.json && ! -d tests/mcp_client/node_modules ]] && command -v npm >/dev/null; then
    (cd tests/mcp_client && npm ci --no-audit --no-fund --silent) || echo "install-deps: npm ci failed; the MCP client test will be skipped" >&2
fi

# The glTF export test has the Khronos validator judge the files, also from the npm registry.
if [[ -f tests/gltf_validator/package.json && ! -d tests/gltf_validator/node_modules ]] && command -v npm >/dev/null; then
    (cd tests/gltf_validator && npm ci --no-audit --no-fund --silent) || echo "install-deps: npm ci failed; the glTF validator test will be skipped" >&2
fi
