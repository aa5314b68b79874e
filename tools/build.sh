#!/usr/bin/env bash
# Configures and builds one configuration: tools/build.sh release|debug|fuzz
# Prints the build directory on standard output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-release}
jobs=$(nproc)
case "$kind" in
release) dir=$top/build/release; args=(-DCMAKE_BUILD_TYPE=Release) ;;
debug) dir=$top/build/debug; args=(-DCMAKE_BUILD_TYPE=Debug) ;;
fuzz) dir=$top/build/fuzz
      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
*) echo "usage: $0 release|debug|fuzz" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$dir" -G Ninja "${args[@]}" >&2
cmake --build "$dir" -j "$jobs" >&2
echo "$dir"
