#!/usr/bin/env bash
# The README's first command: installs what is missing, builds the release configuration
# and runs the main job of each program. Idempotent: every run starts its output afresh.
# Each program's part of the demo is one section below.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/tools/install-deps.sh"
# Only what the demo runs: the two programs, the seal tool and the test application.
build=$("$top/tools/build.sh" release brevail skelmor bundle-seal testapp)
demo=$top/out/demo

# --- brevail: prepare the bundled sample image and sample PDF --------------------------
demo_brevail() {
    local brevail=$build/attachments/brevail out=$demo/brevail
    rm -rf "$out"
    mkdir -p "$out/image" "$out/pdf"
    run_job() { # prints the job, then the report or the message
        echo "job:    $1"
        local status=0
        printf '%s' "$1" | "$brevail" || status=$?
        echo
        [ "$status" -eq 0 ] || { echo "brevail failed (exit status $status)" >&2; return 1; }
    }
    echo "== brevail: the sample image"
    run_job '{"input":"samples/sample.jpg","operation":"inspect"}'
    run_job "{\"input\":\"samples/sample.jpg\",\"operation\":\"prepare\",\"output\":\"$out/image\"}"
    echo "== brevail: the sample PDF"
    run_job '{"input":"samples/sample.pdf","operation":"inspect","kind":"pdf"}'
    run_job "{\"input\":\"samples/sample.pdf\",\"operation\":\"prepare\",\"kind\":\"pdf\",\"output\":\"$out/pdf\",\"pages\":[1,2,3]}"
    echo "== brevail wrote these JPEG files:"
    find "$out" -name '*.jpg' | sort | sed 's/^/   /'
}
demo_brevail

# --- skelmor: one assistant turn on a virtual desktop ----------------------------------
# A private X display with a window manager, the accessibility bus and a session bus come
# up, the GTK3 test application runs from a sealed bundle, and skelmor is driven through
# status, identity, windows, observe, click, type_text, scroll and press_key. Everything
# started is torn down again; the observed frame stays in out/demo/skelmor/frame.jpg.
demo_skelmor() {
    local out=$demo/skelmor
    rm -rf "$out"
    mkdir -p "$out"
    echo "== skelmor: one assistant turn on a virtual desktop"
    "$top/tools/desktop/run.sh" /usr/bin/python3 "$top/tools/desktop/demo_turn.py" "$build" "$out"
    echo "== skelmor's observed frame: $out/frame.jpg"
}
demo_skelmor
