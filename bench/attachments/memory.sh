#!/usr/bin/env bash
# Peak resident memory of the image path by format, layout and shape, at the pixel cap:
#   bench/attachments/memory.sh [BUILD_DIR] [CASES]
# BUILD_DIR is a Release build (default build/release; brevail and make_image are built
# there if missing). BREVAIL=/path/to/brevail measures another binary (an older build, to
# compare). Fixtures are generated once into $BENCH_CACHE (default /tmp/brevail-memory-bench).
# CASES picks rows of the table by a grep pattern (default: every row).
# Each row is one "prepare" of the fixture: peak RSS (MiB) and wall time (s), or the
# message when the run failed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/release}
pattern=${2:-.}
cache=${BENCH_CACHE:-/tmp/brevail-memory-bench}

if [ ! -x "$build/attachments/brevail" ] || [ ! -x "$build/bench/attachments/image/make_image" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
    cmake --build "$build" --target brevail make_image -j2 >&2
fi
brevail=${BREVAIL:-$build/attachments/brevail}
make_image=$build/bench/attachments/image/make_image

# kind width height: every row-delivered layout at its extreme shapes, and the
# whole-picture decoders at 8000 x 5000.
cases="png 40000000 1
png 1 40000000
png 200000 200
png 200 200000
png 8000 5000
png-rgba 8000 5000
jpeg 65500 610
jpeg 610 65500
jpeg 8000 5000
tiff-one-strip 8000 5000
tiff-strips 8000 5000
tiff-tiled 8000 5000
tiff-one-strip 40000000 1
tiff-strips 1 40000000
tiff-tiled 200000 200
tiff-tiled 200 200000
webp 16383 2441
webp 2441 16383
webp 8000 5000
webp-lossless 8000 5000
png-interlaced 8000 5000
gif 8000 5000
gif-interlaced 8000 5000
avif 8000 5000"

mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-16s %-18s %10s %8s  %s\n' layout shape peak_MiB wall_s outcome
echo "$cases" | grep -E -- "$pattern" | while read -r kind width height; do
    file=$cache/$kind-${width}x$height
    if [ ! -s "$file" ]; then
        echo "generating $kind ${width}x$height" >&2
        "$make_image" "$kind" "$width" "$height" "$file"
    fi
    printf '{"input":"%s","operation":"prepare","output":"%s"}' "$file" "$work" >"$work/job"
    outcome=ok
    /usr/bin/time -f "%e %M" -o "$work/time" "$brevail" <"$work/job" >/dev/null 2>"$work/err" ||
        outcome="failed: $(head -c 200 "$work/err")"
    read -r wall rss <"$work/time"
    printf '%-16s %-18s %10.1f %8.2f  %s\n' "$kind" "${width}x$height" \
        "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" "$wall" "$outcome"
done
