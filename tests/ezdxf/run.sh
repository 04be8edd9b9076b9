#!/bin/sh
# ctest entry of the ezdxf peer test. Exits 77 (skipped) when no Python with ezdxf is found
# (Debian's python3-ezdxf lives in the system interpreter's packages).
here=$(cd "$(dirname "$0")" && pwd)
for python in /usr/bin/python3 python3; do
    if "$python" -c "import ezdxf" >/dev/null 2>&1; then
        exec "$python" "$here/ezdxf_peer.py" "$@"
    fi
done
echo "skipped: ezdxf is not installed (scripts/install-deps.sh installs python3-ezdxf)"
exit 77
