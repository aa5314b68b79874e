#!/usr/bin/env bash
# Installs the Debian package on a clean Debian 12 root and runs each program there once,
# as on a fresh machine without a display: brevail on a PNG, a TIFF, an AVIF (libtiff and
# libheif are loaded at run time) and a PDF, a skelmor status request, skelmor-doctor.
# Every command and its output go to standard output, for the issue; the run fails when
# a result is not the one expected. A few minutes: CI does not run it.
#   tools/package-check.sh [tarnwick_VERSION_amd64.deb]
# Without a package, the release build is made and packed. Needs root and debootstrap
# (tools/packages/packaging.list). The root (PACKAGE_ROOT, by default
# /var/tmp/tarnwick-package-root) is made anew each run and removed after it, unless
# KEEP_ROOT=1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${PACKAGE_ROOT:-/var/tmp/tarnwick-package-root}
marker=.tarnwick-package-root

fail() {
    echo "package-check: $*" >&2
    exit 1
}
# Notes an `output` that does not match the extended regular expression; the run then
# ends with status 1, after every step has been shown.
faults=0
expect() {
    if ! grep -Eq -- "$1" <<<"$output"; then
        echo "!! expected: $1"
        faults=$((faults + 1))
    fi
}
[ "$(id -u)" -eq 0 ] || fail "run as root (debootstrap and chroot need it)"
command -v debootstrap >/dev/null || fail "debootstrap is not installed"

# Prints a command, runs it, prints what it wrote (its last `last` lines when that is set)
# and its exit status when not 0. What it wrote stays in `output` for `expect`.
output=""
show() {
    echo "\$ $*"
    local status=0
    output=$("$@" 2>&1) || status=$?
    if [ -n "${last:-}" ]; then
        printf '%s\n' "$output" | tail -n "$last"
    else
        printf '%s\n' "$output"
    fi
    [ "$status" -eq 0 ] || echo "(exit status $status)"
    return "$status"
}

# The machine's own Debian mirrors, as apt is set up with them (one-line or deb822).
mirrors() {
    {
        cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true
    } | sed -n 's/^URIs: *//p' | tr ' ' '\n'
    {
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true
    } | sed -n -E 's/^deb +(\[[^]]*\] +)?([^ ]+).*/\2/p'
}
debianMirrors() {
    mirrors | awk '/\/debian/ && !seen[$0]++'
}
mirror=$(debianMirrors | awk '!/-security/' | head -n 1)
security=$(debianMirrors | awk '/-security/' | head -n 1)
[ -n "$mirror" ] || fail "no Debian mirror in apt's sources"

deb=${1:-}
if [ -z "$deb" ]; then
    build=$("$top/tools/build.sh" release)
    (cd "$build" && cpack -G DEB >&2)
    deb=$(find "$build" -maxdepth 1 -name 'tarnwick_*.deb' -printf '%T@ %p\n' | sort -n |
        tail -n 1 | cut -d ' ' -f 2-)
fi
[ -f "$deb" ] || fail "$deb: no such package"

unmount() { if mountpoint -q "$root/proc"; then umount "$root/proc"; fi; }
cleanup() {
    unmount
    if [ "${KEEP_ROOT:-0}" != 1 ] && [ -f "$root/$marker" ]; then
        rm -rf --one-file-system "$root"
    fi
}
if [ -e "$root" ]; then
    [ -f "$root/$marker" ] || fail "$root exists and is not a root this script made"
    unmount
    rm -rf --one-file-system "$root"
fi
trap cleanup EXIT

echo "== A clean Debian 12 root (minbase) from $mirror"
last=3 show debootstrap --variant=minbase bookworm "$root" "$mirror"
touch "$root/$marker"
{
    echo "deb $mirror bookworm main"
    echo "deb $mirror bookworm-updates main"
    [ -z "$security" ] || echo "deb $security bookworm-security main"
} >"$root/etc/apt/sources.list"
mount -t proc proc "$root/proc"

# In the root, with nothing of this shell's environment (no display, no session bus).
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
        HOME=/root LANG=C.UTF-8 "$@"
}
last=2 show in_root apt-get update -q
last=1 show in_root apt-get -y -q upgrade

echo "== The package"
cp "$deb" "$root/root/"
last=6 show in_root sh -c 'cd /root && apt-get install -y -q ./tarnwick_*.deb'
# shellcheck disable=SC2016 # dpkg-query's own ${fields}
show in_root dpkg-query -W -f='${Package} ${Version}\nDepends: ${Depends}\nRecommends: ${Recommends}\n' tarnwick

echo "== brevail"
# A 5 × 3 PNG and a 4 × 2 TIFF, written here: the root has no tools to make them.
python3 - "$root/root" <<'EOF'
import struct, sys, zlib

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

rows = b"".join(b"\0" + bytes([200, 40, 40]) * 5 for _ in range(3))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 5, 3, 8, 2, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
open(sys.argv[1] + "/small.png", "wb").write(png)

# Baseline TIFF: little-endian, one strip of uncompressed 8-bit RGB.
pixels = bytes([40, 40, 200]) * 4 * 2
entries = [(256, 3, 1, 4), (257, 3, 1, 2), (258, 3, 3, None), (259, 3, 1, 1), (262, 3, 1, 2),
           (273, 4, 1, None), (277, 3, 1, 3), (278, 3, 1, 2), (279, 4, 1, len(pixels))]
ifd_size = 2 + 12 * len(entries) + 4
bits_at = 8 + ifd_size
pixels_at = bits_at + 6
ifd = struct.pack("<H", len(entries))
for tag, kind, count, value in entries:
    value = {258: bits_at, 273: pixels_at}.get(tag, value)
    field = struct.pack("<HH", value, 0) if kind == 3 and count == 1 else struct.pack("<I", value)
    ifd += struct.pack("<HHI", tag, kind, count) + field
tiff = b"II*\0" + struct.pack("<I", 8) + ifd + struct.pack("<I", 0)
tiff += struct.pack("<HHH", 8, 8, 8) + pixels
open(sys.argv[1] + "/small.tif", "wb").write(tiff)
EOF
cp "$top/samples/sample.pdf" "$root/root/"
# An AVIF (libheif is loaded at run time too, with its AV1 decoder) from the benchmarks'
# picture maker, when the release build has it.
make_image=$top/build/release/bench/attachments/image/make_image
[ ! -x "$make_image" ] || "$make_image" avif 64 48 "$root/root/small.avif"
mkdir -p "$root/root/out"
job() { show in_root sh -c "cd /root && printf '%s' '$1' | brevail" || true; }
job '{"input":"small.png","operation":"inspect"}'
expect '^\{"height":3,"kind":"image","width":5\}$'
job '{"input":"small.png","operation":"prepare","output":"out"}'
expect '^\{"height":3,"items":\[\{"file":"image.jpg","page":0,"text":""\}\],"kind":"image","width":5\}$'
job '{"input":"small.tif","operation":"inspect"}'
expect '^\{"height":2,"kind":"image","width":4\}$'
if [ -f "$root/root/small.avif" ]; then
    job '{"input":"small.avif","operation":"prepare","output":"out"}'
    expect '^\{"height":48,"items":\[\{"file":"image.jpg","page":0,"text":""\}\],"kind":"image","width":64\}$'
else
    echo "(no AVIF: $make_image is not built)"
fi
job '{"input":"sample.pdf","operation":"prepare","kind":"pdf","output":"out","pages":[1]}'
expect '^\{"items":\[\{"file":"page-1.jpg","page":1,"text":"Quarterly field notes'
show in_root ls -l /root/out

echo "== skelmor"
# The id is a string: a request with any other id gets no answer.
show in_root sh -c '{ printf '"'"'{"id":"1","method":"status"}\n'"'"'; sleep 1; } | skelmor' || true
expect '^\{"id":"1","result":\{.*"available":true'

echo "== skelmor-doctor"
# Without a display it says why the host would refuse, and exits 1.
show in_root skelmor-doctor || true
expect '^verdict: +mac_locked'
show in_root bundle-seal --version
expect '^bundle-seal [0-9]'

[ "$faults" -eq 0 ] || fail "$faults of the results above were not as expected"
echo "== The package installs and its programs run on a clean Debian 12"
