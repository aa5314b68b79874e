#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer (Debug + ASan/UBSan) and the release
# configuration, and runs every test in both, then a short smoke run of each fuzzer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"
for kind in debug release; do
    dir=$("$top/tools/build.sh" "$kind")
    echo "== tests ($kind)"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600 -LE gnome
    # The GNOME Wayland desktop is brought up on its own, one test program at a time: a
    # headless Shell starting beside another desktop can take longer than its tests allow.
    # A program that fails is run once more on a fresh desktop, and its failure shows.
    echo "== GNOME Wayland desktop tests ($kind)"
    ctest --test-dir "$dir" --output-on-failure -j 1 --timeout 600 -L gnome --repeat until-pass:2
done
if [ -d "$top/fuzz" ]; then
    dir=$("$top/tools/build.sh" fuzz)
    "$top/fuzz/smoke.sh" "$dir"
fi
echo "All tests passed."
