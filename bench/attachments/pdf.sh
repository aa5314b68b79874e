#!/usr/bin/env bash
# Compares brevail's PDF path with the tools a user would otherwise reach for, on
# fixtures generated here: whole-process wall time (median of interleaved runs) and
# peak resident memory, printed as ratios.
#
#   bench/attachments/pdf.sh [BUILD_DIR] [RUNS]     (BUILD_DIR defaults to build/release)
#
# Work compared:
#   text:  ten pages of a 20-page text PDF rendered at 2000 px on the longer side;
#          brevail also extracts each page's text, writes JPEGs at quality 88.
#   image: one page holding a 24-megapixel photograph, same target size.
#   pdftoppm -jpeg -jpegopt quality=88 -scale-to 2000 renders only (no text).
#   mutool draw (MuPDF's own tool) cannot write JPEG: it renders to RGB PNM (no
#   compression at all) at -w/-h 2000 and then extracts the text with -F txt.
# The machine may be shared: CPU time (user + system) is printed beside wall time.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/release}
runs=${2:-7}
brevail=$build/attachments/brevail
[ -x "$brevail" ] || { echo "no brevail in $build: run tools/build.sh release first" >&2; exit 1; }
for tool in pdftoppm mutool convert python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run tools/install-deps.sh" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Fixtures: a 20-page text document and a page with one large photograph.
convert -size 6000x4000 plasma:fractal -blur 0x1 -quality 90 "$work/photo.jpg"
python3 - "$work" <<'PY'
import random, sys
work = sys.argv[1]
random.seed(7)
words = ("the of and to in is that for it as was with be by on not he this are or his from at "
         "which but have an they you were her she there been one all we their has would when "
         "document render page quality memory benchmark glyph kerning paragraph").split()

def write_pdf(path, objects):
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for i, body in enumerate(objects):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % (i + 1) + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<</Size %d/Root 1 0 R>>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    open(path, "wb").write(out)

def stream(data, extra=b""):
    return b"<</Length %d%s>>stream\n" % (len(data), extra) + data + b"\nendstream"

# Text: 20 pages of 60 lines in Times and Helvetica, like a report.
pages = 20
objects = [b"<</Type/Catalog/Pages 2 0 R>>", None,
           b"<</Type/Font/Subtype/Type1/BaseFont/Times-Roman/Encoding/WinAnsiEncoding>>",
           b"<</Type/Font/Subtype/Type1/BaseFont/Helvetica-Bold/Encoding/WinAnsiEncoding>>"]
kids = []
for p in range(pages):
    lines = [b"BT /F2 16 Tf 72 740 Td (Section %d) Tj ET" % (p + 1), b"BT /F1 10 Tf 12 TL 72 712 Td"]
    for _ in range(56):
        line = " ".join(random.choice(words) for _ in range(16))
        lines.append(b"(" + line.encode() + b") '")
    lines.append(b"ET")
    content = b"\n".join(lines)
    objects.append(stream(content))
    contents = len(objects)
    objects.append(b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents %d 0 R"
                   b"/Resources<</Font<</F1 3 0 R/F2 4 0 R>>>>>>" % contents)
    kids.append(b"%d 0 R" % len(objects))
objects[1] = b"<</Type/Pages/Kids[" + b" ".join(kids) + b"]/Count %d>>" % pages
write_pdf(work + "/text.pdf", objects)

# Image: one landscape page covered by the photograph, with a caption.
photo = open(work + "/photo.jpg", "rb").read()
objects = [b"<</Type/Catalog/Pages 2 0 R>>", b"<</Type/Pages/Kids[5 0 R]/Count 1>>",
           stream(photo, b"/Type/XObject/Subtype/Image/Width 6000/Height 4000"
                         b"/ColorSpace/DeviceRGB/BitsPerComponent 8/Filter/DCTDecode"),
           stream(b"q 792 0 0 528 0 42 cm /Im1 Do Q BT /F1 12 Tf 72 20 Td (A photograph) Tj ET"),
           b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 792 612]/Contents 4 0 R/Resources<</XObject"
           b"<</Im1 3 0 R>>/Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>>>>>"]
write_pdf(work + "/image.pdf", objects)
PY

python3 - "$work" "$brevail" "$runs" <<'PY'
import json, os, shutil, statistics, subprocess, sys, time
work, brevail, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def measure(command, stdin=b""):
    """Wall seconds, CPU seconds and peak resident MiB of one run of the command's
    process tree."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    process.stdin.write(stdin)
    process.stdin.close()
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit("failed: %s: %s" % (" ".join(command), process.stderr.read().decode()))
    process.stderr.close()
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024

def workloads(name, pdf, pages):
    out = os.path.join(work, "out")
    job = json.dumps({"input": pdf, "operation": "prepare", "kind": "pdf", "output": out,
                      "pages": list(range(1, pages + 1))}).encode()
    return name, {
        "brevail": (["brevail"], job, lambda: [brevail]),
        "pdftoppm": (None, b"", lambda: ["pdftoppm", "-jpeg", "-jpegopt", "quality=88",
                                         "-scale-to", "2000", "-f", "1", "-l", str(pages),
                                         pdf, out + "/page"]),
        "mutool": (None, b"", lambda: ["sh", "-c",
                   'mutool draw -q -c rgb -w 2000 -h 2000 -o "$2/page-%%d.pnm" "$1" 1-%d && '
                   'mutool draw -q -F txt -o "$2/text.txt" "$1" 1-%d' % (pages, pages),
                   "sh", pdf, out]),
    }

print("runs per tool: %d (interleaved), medians; peak RSS is the largest of the runs" % runs)
for name, tools in [workloads("ten text pages", work + "/text.pdf", 10),
                    workloads("one 24 MP photo page", work + "/image.pdf", 1)]:
    times = {tool: [] for tool in tools}
    cpu = {tool: [] for tool in tools}
    rss = {tool: 0.0 for tool in tools}
    for _ in range(runs):
        for tool, (_, stdin, command) in tools.items():
            out = os.path.join(work, "out")
            shutil.rmtree(out, ignore_errors=True)
            os.mkdir(out)
            elapsed, used, peak = measure(command(), stdin)
            times[tool].append(elapsed)
            cpu[tool].append(used)
            rss[tool] = max(rss[tool], peak)
    median = {tool: statistics.median(values) for tool, values in times.items()}
    median_cpu = {tool: statistics.median(values) for tool, values in cpu.items()}
    print("\n%s" % name)
    for tool in tools:
        print("  %-9s wall %7.1f ms  cpu %7.1f ms  peak %6.1f MiB" % (
            tool, median[tool] * 1000, median_cpu[tool] * 1000, rss[tool]))
    for other in ("pdftoppm", "mutool"):
        print("  brevail / %-9s wall %.2fx  cpu %.2fx  memory %.2fx" % (
            other, median["brevail"] / median[other], median_cpu["brevail"] / median_cpu[other],
            rss["brevail"] / rss[other]))
PY
