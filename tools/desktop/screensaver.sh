#!/usr/bin/env bash
# Locks (on) or unlocks (off) the fake screen saver of the virtual desktop.
set -euo pipefail
case "${1:-}" in
on) value=true ;;
off) value=false ;;
*) echo "usage: $0 on|off" >&2; exit 2 ;;
esac
gdbus call --session --dest org.freedesktop.ScreenSaver --object-path /org/freedesktop/ScreenSaver \
    --method org.freedesktop.ScreenSaver.SetActive "$value" >/dev/null
