#!/usr/bin/env bash
# Configures and builds Plovex into build/ (or $PLOVEX_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PLOVEX_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
