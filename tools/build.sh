#!/usr/bin/env bash
# Configures and builds one configuration, with the tests and warnings as errors:
#   tools/build.sh release|debug|fuzz [TARGET...]
# Without targets everything is built. Prints the build directory on standard output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-release}
shift || true
jobs=$(nproc)
case "$kind" in
release) dir=$top/build/release; args=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON) ;;
debug) dir=$top/build/debug; args=(-DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON) ;;
fuzz) dir=$top/build/fuzz
      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
*) echo "usage: $0 release|debug|fuzz" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$dir" -G Ninja -DTARNWICK_WERROR=ON "${args[@]}" >&2
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$dir" -j "$jobs" "${targets[@]}" >&2
echo "$dir"
