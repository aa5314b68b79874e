#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer (Debug + ASan/UBSan) and the release
# configuration, and runs every test in both, then a short smoke run of each fuzzer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"
for kind in debug release; do
    dir=$("$top/tools/build.sh" "$kind")
    echo "== tests ($kind)"
    # The GNOME desktop tests are run on their own (ctest -L gnome) until they are steady.
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600 -LE gnome
done
if [ -d "$top/fuzz" ]; then
    dir=$("$top/tools/build.sh" fuzz)
    "$top/fuzz/smoke.sh" "$dir"
fi
echo "All tests passed."
