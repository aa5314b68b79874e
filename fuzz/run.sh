#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build (or the named ones) for MINUTES each, one after the other,
# each from its seed corpus (fuzz/corpus/<name>/), and prints per target the inputs executed
# and the coverage: the counters the target carries, the edges covered once the seeds had run
# and at the end, and the features (ft) at the end.
#
#   fuzz/run.sh MINUTES [BUILD_DIR [NAME...]]
#
# BUILD_DIR defaults to build/fuzz. With NAMEs (a target's name without fuzz_, e.g.
# window_properties) only those targets run, in the order given.
#
# Each run keeps its log, grown corpus and any finding under BUILD_DIR/fuzz-run/<name>/.
# The exit status is 1 when any target found a failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: $0 MINUTES [BUILD_DIR [NAME...]]"
[ $# -ge 1 ] && [[ $1 =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
seconds=$(($1 * 60))
build=$(cd "${2:-$top/build/fuzz}" && pwd)
names=("${@:3}")

# The fuzzers to run: every one built, or the named ones, each of which must be built.
bins=()
mapfile -t built < <(find "$build" -maxdepth 4 -type f -name 'fuzz_*' -perm -u+x | sort)
if [ ${#names[@]} -eq 0 ]; then
    bins=("${built[@]}")
else
    for name in "${names[@]}"; do
        match=
        for bin in "${built[@]}"; do
            [ "$(basename "$bin")" = "fuzz_$name" ] && match=$bin
        done
        [ -n "$match" ] || { echo "no fuzzer fuzz_$name built in $build" >&2; exit 2; }
        bins+=("$match")
    done
fi
[ ${#bins[@]} -gt 0 ] || { echo "no fuzzers built in $build" >&2; exit 2; }
out=$build/fuzz-run
mkdir -p "$out"

# The value after KEY: in the last line of LOG that has it.
last() { grep -oE "$2: *[0-9]+" "$1" | tail -n 1 | grep -oE '[0-9]+$' || echo -; }

printf '%-20s %12s %9s %10s %8s %8s  %s\n' target executions counters cov-seeds cov-end ft-end \
    outcome
failed=0
for bin in "${bins[@]}"; do
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
done
exit "$failed"
