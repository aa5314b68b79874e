#!/usr/bin/env bash
# Runs the observe benchmark on a virtual desktop large enough for 1920 × 1080 windows:
#   bench/host/desktop/run.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$top/build/release}
cmake --build "$build" --target observe_bench >&2
DESKTOP_SCREEN=2560x1600 exec "$top/tools/desktop/run.sh" "$build/bench/host/desktop/observe_bench"
