#!/usr/bin/env bash
# Peak resident memory of the image path by format, layout and shape, at the pixel cap:
#   bench/attachments/memory.sh [BUILD_DIR] [CASES]
# BUILD_DIR is a Release build (default build/release; brevail and make_image are built
# there if missing). BREVAIL=/path/to/brevail measures another binary (an older build, to
# compare). Fixtures are generated once into $BENCH_CACHE (default /tmp/brevail-memory-bench).
# CASES picks rows of the table by a grep pattern (default: every row).
# Each row is one "prepare" of the fixture: peak RSS (MiB) and wall time (s), or the
# message when the run failed. The last rows are PDF pages holding a JBIG2 image of the
# given size whose few bytes expand to all of it (a "bomb").
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
png 20000000 2
png 4000000 10
png-rgba 40000000 1
png-16 40000000 1
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
tiff-one-strip-differenced 8000 5000
tiff-one-strip-deflate 8000 5000
tiff-one-strip-deflate 40000000 1
tiff-one-strip-packbits 8000 5000
tiff-one-strip-packbits 40000000 1
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
avif 8000 5000
heic 8000 5000
pdf-jbig2 40000 40000
pdf-jbig2 65535 65535"

# One page whose lower half is a JBIG2 image of WIDTH x HEIGHT: a page information segment
# and an immediate generic region over all of it, from 16 bytes of coded data.
jbig2_bomb() {
    python3 - "$@" <<'PY'
import struct, sys
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
def seg(number, kind, data):
    return struct.pack(">IBBBI", number, kind, 0, 1, len(data)) + data
page = struct.pack(">IIIIBH", w, h, 0, 0, 0, 0)
region = struct.pack(">IIIIB", w, h, 0, 0, 0) + bytes([0, 3, 0xFF, 0xFD, 0xFF, 2, 0xFE, 0xFE, 0xFE]) + bytes(16)
data = seg(0, 48, page) + seg(1, 38, region) + seg(2, 49, b"")
def stream(body, extra=b""):
    return b"<<%s/Length %d>>stream\n" % (extra, len(body)) + body + b"\nendstream"
objects = [b"<</Type/Catalog/Pages 2 0 R>>", b"<</Type/Pages/Kids[5 0 R]/Count 1>>",
           stream(data, b"/Type/XObject/Subtype/Image/Width %d/Height %d/ColorSpace/DeviceGray"
                        b"/BitsPerComponent 1/Filter/JBIG2Decode" % (w, h)),
           stream(b"q 612 0 0 396 0 0 cm /Im1 Do Q BT /F1 24 Tf 72 700 Td (Bomb) Tj ET"),
           b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents 4 0 R/Resources<</XObject"
           b"<</Im1 3 0 R>>/Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>>>>>"]
out = bytearray(b"%PDF-1.4\n")
offsets = []
for i, body in enumerate(objects):
    offsets.append(len(out))
    out += b"%d 0 obj\n" % (i + 1) + body + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
out += b"trailer\n<</Size %d/Root 1 0 R>>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
open(path, "wb").write(out)
PY
}

mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-26s %-18s %10s %8s  %s\n' layout shape peak_MiB wall_s outcome
echo "$cases" | grep -E -- "$pattern" | while read -r kind width height; do
    file=$cache/$kind-${width}x$height
    if [ ! -s "$file" ]; then
        echo "generating $kind ${width}x$height" >&2
        if [ "$kind" = pdf-jbig2 ]; then
            jbig2_bomb "$width" "$height" "$file"
        else
            "$make_image" "$kind" "$width" "$height" "$file"
        fi
    fi
    if [ "$kind" = pdf-jbig2 ]; then
        printf '{"input":"%s","operation":"prepare","kind":"pdf","pages":[1],"output":"%s"}' \
            "$file" "$work" >"$work/job"
    else
        printf '{"input":"%s","operation":"prepare","output":"%s"}' "$file" "$work" >"$work/job"
    fi
    outcome=ok
    /usr/bin/time -f "%e %M" -o "$work/time" "$brevail" <"$work/job" >/dev/null 2>"$work/err" ||
        outcome="failed: $(head -c 200 "$work/err")"
    read -r wall rss <"$work/time"
    printf '%-26s %-18s %10.1f %8.2f  %s\n' "$kind" "${width}x$height" \
        "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" "$wall" "$outcome"
done
