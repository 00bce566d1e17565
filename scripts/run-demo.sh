#!/usr/bin/env bash
# Installs what is missing, builds, and starts Plovex on the demo movie
# that the build writes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec "${PLOVEX_BUILD_DIR:-build}/plovex" "$PWD/${PLOVEX_BUILD_DIR:-build}/demo.swf"
