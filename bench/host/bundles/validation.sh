#!/usr/bin/env bash
# Strict validation of a 200 MB sealed bundle (`bundle-seal verify`) next to sha256sum over
# the same files, warm cache, median of interleaved runs.
#   bench/host/bundles/validation.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to build/release (configured and built here when bundle-seal is
# missing). Prints both medians and their ratio; the target is a ratio of at most 0.6.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$top/build/release}
runs=${2:-7}
tool=$build/tools/seal/bundle-seal
if [ ! -x "$tool" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
    cmake --build "$build" -j 2 --target bundle-seal >&2
fi
tool=$(cd "$build" && pwd)/tools/seal/bundle-seal

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app=$work/Bench.app
mkdir -p "$app/Contents/MacOS" "$app/Contents/Resources"
cat > "$app/Contents/Info.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.Bench</string>
<key>CFBundleExecutable</key><string>Bench</string>
</dict></plist>
PLIST
cp /bin/true "$app/Contents/MacOS/Bench"
# A few big files (4 × 35 MB) and many small ones (3 × 1000 × 20 KB).
for i in 1 2 3 4; do head -c 35M /dev/urandom > "$app/Contents/Resources/big-$i.bin"; done
for d in 1 2 3; do
    mkdir -p "$app/Contents/Resources/small-$d"
    head -c 20000K /dev/urandom > "$work/blob"
    (cd "$app/Contents/Resources/small-$d" && split -b 20K -a 4 "$work/blob" part-)
done
rm -f "$work/blob"
"$tool" seal "$app" > /dev/null
(cd "$work" && find Bench.app -type f ! -path '*/_CodeSignature/*' -print0) > "$work/files"
echo "bundle: $(du -sm "$app" | cut -f1) MB in $(tr -cd '\0' < "$work/files" | wc -c) files"

cd "$work"
verify() { "$tool" verify "$app" > /dev/null; }
checksum() { xargs -0 sha256sum < "$work/files" > /dev/null; }
now() { date +%s%N; }
verify; checksum # warm the cache

# CPU seconds (user + system) of one run, for a machine too busy for wall time to tell.
TIMEFORMAT='%U %S'
cpu() { { time "$@"; } 2>&1 | awk '{ printf "%d", ($1 + $2) * 1000 }'; }

seal_times=(); sum_times=(); seal_cpu=(); sum_cpu=()
for ((i = 0; i < runs; i++)); do
    t0=$(now); verify; t1=$(now); checksum; t2=$(now)
    seal_times+=($(( (t1 - t0) / 1000000 ))); sum_times+=($(( (t2 - t1) / 1000000 )))
    seal_cpu+=($(cpu verify)); sum_cpu+=($(cpu checksum))
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
seal_ms=$(median "${seal_times[@]}")
sum_ms=$(median "${sum_times[@]}")
echo "bundle-seal verify: ${seal_ms} ms (runs: ${seal_times[*]})"
echo "sha256sum:          ${sum_ms} ms (runs: ${sum_times[*]})"
echo "cpu time: verify $(median "${seal_cpu[@]}") ms, sha256sum $(median "${sum_cpu[@]}") ms"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
awk -v a="$seal_ms" -v b="$sum_ms" 'BEGIN { printf "ratio: %.2f (target <= 0.60)\n", a / b }'
