#!/usr/bin/env bash
# Benchmark of the image path against the tools a user would otherwise reach for:
#   bench/attachments/image.sh [BUILD_DIR] [RUNS]
# BUILD_DIR is a Release build (default build/release; brevail and image_psnr are built
# there if missing). Fixtures are generated once into $BENCH_CACHE (default
# /tmp/brevail-image-bench). For every fixture, brevail's "prepare", `vipsthumbnail -s 2000`
# and ImageMagick's `convert -thumbnail 2000x2000` run RUNS times each, interleaved; the
# script prints median wall time, median CPU time and peak RSS, and brevail's ratios.
# BENCH_FIXTURES picks fixtures (default: all four).
# Then an inspection of a small image against /bin/true, and the resampling quality
# (luma PSNR against a Lanczos3 resize of the full decode, by ImageMagick).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/release}
runs=${2:-5}
cache=${BENCH_CACHE:-/tmp/brevail-image-bench}
magick=/usr/bin/convert # ImageMagick itself, whatever else is first on PATH

if [ ! -x "$build/attachments/brevail" ] || [ ! -x "$build/bench/attachments/image/image_psnr" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
    cmake --build "$build" --target brevail image_psnr >&2
fi
brevail=$build/attachments/brevail
psnr=$build/bench/attachments/image/image_psnr

mkdir -p "$cache"
fixture() { # name, then the command that writes "$cache/name"
    local name=$1
    shift
    [ -s "$cache/$name" ] || { echo "generating $name" >&2; "$@"; }
}
photo() { # WIDTHxHEIGHT GRAIN ...: a smooth fractal scene with some grain, like a camera picture
    "$magick" -seed 7 -size 1200x800 plasma:fractal -blur 0x2 -resize "$1!" \
        -attenuate "$2" +noise Gaussian "${@:3}"
}
# An EXIF block holding orientation 6 (turn 90° clockwise), put right after SOI.
with_orientation6() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
tiff = b"II*\0" + struct.pack("<IHHHIHHI", 8, 1, 0x0112, 3, 1, 6, 0, 0)
app1 = b"Exif\0\0" + tiff
open(sys.argv[2], "wb").write(data[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + data[2:])
PY
}
fixture photo24.jpg photo 6000x4000 0.25 -quality 90 "$cache/photo24.jpg"
photo40_turned() {
    photo 8000x5000 0.25 -quality 90 "$cache/photo40.jpg" &&
        with_orientation6 "$cache/photo40.jpg" "$cache/photo40-o6.jpg" && rm "$cache/photo40.jpg"
}
fixture photo40-o6.jpg photo40_turned
fixture rgba40.png photo 8000x5000 0.05 \( -size 8000x5000 gradient:white-black -sigmoidal-contrast 4x50% \) \
    -alpha off -compose CopyOpacity -composite -depth 8 "$cache/rgba40.png"
photo12_webp() {
    photo 4000x3000 0.25 "$cache/photo12.png" &&
        cwebp -quiet -q 85 "$cache/photo12.png" -o "$cache/photo12.webp" && rm "$cache/photo12.png"
}
fixture photo12.webp photo12_webp
fixture small.png "$magick" -size 64x48 gradient:red-blue "$cache/small.png"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/brevail"

# One timed run: appends "wall_ms cpu_ms rss_kb" to $work/$1.
timed() {
    local tag=$1
    shift
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" ||
        { echo "$tag failed: $(cat "$work/stderr")" >&2; exit 1; }
    end=$(date +%s%N)
    read -r user sys rss <"$work/time"
    echo "$(((end - start) / 1000000)) $(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }') $rss" >>"$work/$tag"
}
median() { # column of $work/$1
    sort -n -k"$2" "$work/$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
peak() { sort -n -k3 "$work/$1" | tail -n1 | awk '{ print $3 }'; }

printf '%-16s %-14s %9s %9s %9s\n' fixture tool wall_ms cpu_ms peak_MiB
for name in ${BENCH_FIXTURES:-photo24.jpg photo40-o6.jpg rgba40.png photo12.webp}; do
    input=$cache/$name
    printf '{"input":"%s","operation":"prepare","output":"%s"}' "$input" "$work/brevail" >"$work/job"
    rm -f "$work"/b "$work"/v "$work"/m
    for _ in $(seq "$runs"); do
        timed b sh -c "exec '$brevail' <'$work/job'"
        timed v vipsthumbnail "$input" -s 2000 -o "$work/vips.jpg[Q=88]"
        timed m "$magick" "$input" -auto-orient -thumbnail 2000x2000 -quality 88 "$work/magick.jpg"
    done
    for tool in b v m; do
        label=$([ $tool = b ] && echo brevail || { [ $tool = v ] && echo vipsthumbnail || echo convert; })
        printf '%-16s %-14s %9s %9s %9.1f\n' "$name" "$label" "$(median $tool 1)" "$(median $tool 2)" \
            "$(awk -v k="$(peak $tool)" 'BEGIN { print k / 1024 }')"
    done
    awk -v b="$(median b 1)" -v v="$(median v 1)" -v m="$(median m 1)" -v bc="$(median b 2)" \
        -v vc="$(median v 2)" 'BEGIN { printf "%-16s wall: %.2fx vipsthumbnail, %.2fx convert; cpu: %.2fx vipsthumbnail\n", "", b / v, b / m, bc / vc }'
    size=$(identify -format '%wx%h' "$work/brevail/image.jpg")
    # Laying over white commutes with resampling (both are linear in premultiplied values).
    "$magick" "$input" -auto-orient -background white -alpha remove -alpha off \
        -filter Lanczos -resize "$size!" -depth 8 "ppm:$work/reference.ppm"
    echo "                 output $size; resampling quality against Lanczos3 of the full decode: $("$psnr" "$input" "$work/reference.ppm" "$work/brevail/image.jpg")"
done

# Start-up: an inspection of a small image against /bin/true, 200 runs each, interleaved.
printf '{"input":"%s","operation":"inspect"}' "$cache/small.png" >"$work/inspect"
total() { # command... : milliseconds for 200 runs
    local start end
    start=$(date +%s%N)
    for _ in $(seq 200); do "$@" <"$work/inspect" >/dev/null; done
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
true_ms=0
inspect_ms=0
for _ in 1 2 3; do
    true_ms=$((true_ms + $(total /bin/true)))
    inspect_ms=$((inspect_ms + $(total "$brevail")))
done
awk -v t="$true_ms" -v i="$inspect_ms" 'BEGIN { printf "inspection of a small PNG: %.2f ms a run, /bin/true %.2f ms: %.2fx\n", i / 600, t / 600, i / t }'
