#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build for MINUTES each, one after the other, each from its
# seed corpus (fuzz/corpus/<name>/), and prints per target the inputs executed and the
# coverage: the counters the target carries, the edges covered once the seeds had run and
# at the end, and the features (ft) at the end.
#
#   fuzz/run.sh MINUTES [BUILD_DIR]     BUILD_DIR defaults to build/fuzz
#
# Each run keeps its log, grown corpus and any finding under BUILD_DIR/fuzz-run/<name>/.
# The exit status is 1 when any target found a failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] && [[ $1 =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 MINUTES [BUILD_DIR]" >&2; exit 2; }
seconds=$(($1 * 60))
build=$(cd "${2:-$top/build/fuzz}" && pwd)
out=$build/fuzz-run
mkdir -p "$out"

# The value after KEY: in the last line of LOG that has it.
last() { grep -oE "$2: *[0-9]+" "$1" | tail -n 1 | grep -oE '[0-9]+$' || echo -; }

printf '%-20s %12s %9s %10s %8s %8s  %s\n' target executions counters cov-seeds cov-end ft-end \
    outcome
failed=0
found=0
while IFS= read -r bin; do
    found=1
    name=$(basename "$bin"); name=${name#fuzz_}
    work=$out/$name
    rm -rf "$work"; mkdir -p "$work/corpus"
    seeds=()
    [ -d "$top/fuzz/corpus/$name" ] && seeds=("$top/fuzz/corpus/$name")
    status=0
    (cd "$work" && "$bin" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
        -print_final_stats=1 "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1) || status=$?
    log=$work/log
    counters=$(grep -oE '\([0-9]+ inline 8-bit counters' "$log" | tr -d '(' |
               awk '{ n += $1 } END { print NR ? n : "-" }')
    seeded=$(grep -E 'INITED' "$log" | grep -oE 'cov: [0-9]+' | grep -oE '[0-9]+' || echo -)
    outcome=ok
    if [ "$status" -ne 0 ]; then
        outcome="FAILED (see $log)"
        failed=1
    fi
    printf '%-20s %12s %9s %10s %8s %8s  %s\n' "$name" \
        "$(last "$log" stat::number_of_executed_units)" "$counters" "$seeded" \
        "$(last "$log" cov)" "$(last "$log" ft)" "$outcome"
done < <(find "$build" -maxdepth 4 -type f -name 'fuzz_*' -perm -u+x | sort)
[ "$found" -eq 1 ] || { echo "no fuzzers built in $build" >&2; exit 2; }
exit "$failed"
