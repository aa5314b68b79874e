#!/usr/bin/env bash
# Prepares a set of TIFFs with two brevail binaries and says which outputs differ:
#   bench/attachments/tiff_identity.sh OLD_BREVAIL NEW_BREVAIL [BUILD_DIR]
# The set covers what the TIFF reader decodes itself and what it leaves to libtiff: one
# strip and strips of 16 rows; no compression, LZW, Deflate ("Zip"), PackBits ("RLE") and
# JPEG; both predictors; 1, 4, 8 and 16 bits; grey, RGB and RGBA; both byte orders;
# separate planes; odd widths. Written with ImageMagick from make_image's scenes. Exits
# non-zero when any output differs.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
old=$1
new=$2
build=${3:-$top/build/release}
make_image=$build/bench/attachments/image/make_image
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

prepare() { # binary input outdir
    mkdir -p "$3"
    printf '{"input":"%s","operation":"prepare","output":"%s"}' "$2" "$3" >"$3.job"
    "$1" <"$3.job" >"$3.out" 2>/dev/null || true
}

differ=0
total=0
failed=0
for shape in 333x211 2501x7 3x1201 4100x2600; do
    "$make_image" png "${shape%x*}" "${shape#*x}" "$work/scene.png"
    for compression in None LZW Zip RLE JPEG; do
        for predictor in 1 2; do
            [ "$predictor" = 2 ] && [ "$compression" != LZW ] && [ "$compression" != Zip ] && continue
            for kind in rgb grey rgba grey16 rgb16 rgba16 bilevel grey4 rgb-msb rgb16-msb planes; do
                [ "$compression" = JPEG ] && [ "$kind" != rgb ] && [ "$kind" != grey ] && continue
                args=(-compress "$compression")
                # ImageMagick fails when asked for a predictor the compression does not use.
                [ "$predictor" = 2 ] && args+=(-define tiff:predictor=2)
                case $kind in
                rgb) args+=(-type TrueColor -depth 8) ;;
                grey) args+=(-colorspace Gray -depth 8) ;;
                rgba) args+=(-alpha set -channel A -fx 'i/w' +channel -depth 8) ;;
                grey16) args+=(-colorspace Gray -depth 16) ;;
                rgb16) args+=(-type TrueColor -depth 16) ;;
                rgba16) args+=(-alpha set -channel A -fx 'j/h' +channel -depth 16) ;;
                bilevel) args+=(-monochrome) ;;
                grey4) args+=(-colorspace Gray -depth 4) ;;
                rgb-msb) args+=(-type TrueColor -depth 8 -endian MSB) ;;
                rgb16-msb) args+=(-type TrueColor -depth 16 -endian MSB) ;;
                planes) args+=(-type TrueColor -depth 8 -interlace Plane) ;;
                esac
                for strips in one 16; do
                    rows=${shape#*x}
                    [ "$strips" = 16 ] && rows=16
                    name=$shape-$compression-p$predictor-$kind-$strips
                    file=$work/$name.tif
                    convert "$work/scene.png" "${args[@]}" -define "tiff:rows-per-strip=$rows" \
                        "$file" 2>/dev/null || continue
                    prepare "$old" "$file" "$work/old-$name"
                    prepare "$new" "$file" "$work/new-$name"
                    total=$((total + 1))
                    grep -q '"items"' "$work/new-$name.out" || failed=$((failed + 1))
                    if ! diff -r "$work/old-$name" "$work/new-$name" >/dev/null ||
                        ! cmp -s "$work/old-$name.out" "$work/new-$name.out"; then
                        echo "differs: $name"
                        differ=$((differ + 1))
                    fi
                done
            done
        done
    done
done
echo "$total files, $differ differ, $failed refused by both"
[ "$differ" = 0 ]
