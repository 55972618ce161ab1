#!/usr/bin/env bash
# Installs what is needed, builds, and starts the configuration tool.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
prog="$top/build/tool/config/orv-config"
if [ -x "$prog" ]; then
  cd "$top" && exec "$prog"
fi
