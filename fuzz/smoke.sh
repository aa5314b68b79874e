#!/usr/bin/env bash
# A short run of every fuzzer in a fuzz build: fuzz/smoke.sh BUILD_DIR [SECONDS]
# Each fuzzer starts from its seed corpus (fuzz/corpus/<name>/) and runs for SECONDS.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
seconds=${2:-20}
found=0
while IFS= read -r bin; do
    found=1
    name=$(basename "$bin"); name=${name#fuzz_}
    work=$(mktemp -d); mkdir "$work/corpus"
    seeds=()
    [ -d "$top/fuzz/corpus/$name" ] && seeds=("$top/fuzz/corpus/$name")
    echo "== fuzz $name (${seconds}s)"
    status=0
    (cd "$work" && "$bin" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
        "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1) || status=$?
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|SUMMARY|==[0-9]+==ERROR)' "$work/log" || true
    [ "$status" -eq 0 ] || tail -n 40 "$work/log" >&2
    rm -rf "$work"
    [ "$status" -eq 0 ] || { echo "fuzz $name found a failure" >&2; exit 1; }
done < <(find "$build" -maxdepth 4 -type f -name 'fuzz_*' -perm -u+x | sort)
[ "$found" -eq 1 ] || echo "no fuzzers built"
