#!/usr/bin/env bash
# Locks (on) or unlocks (off) the screen of the virtual desktop: the fake screen saver on
# X11, the Shell's own screen shield on GNOME (which then sets the login session's
# LockedHint, as on a real GNOME desktop).
set -euo pipefail
case "${1:-}" in
on | off) ;;
*) echo "usage: $0 on|off" >&2; exit 2 ;;
esac
if [ "${TARNWICK_DESKTOP:-}" = gnome-wayland ]; then
    call=(--dest org.gnome.Shell.ScreenShield --object-path /org/gnome/ScreenSaver)
    if [ "$1" = on ]; then
        call+=(--method org.gnome.ScreenSaver.Lock)
    else
        call+=(--method org.gnome.ScreenSaver.SetActive false)
    fi
else
    value=$([ "$1" = on ] && echo true || echo false)
    call=(--dest org.freedesktop.ScreenSaver --object-path /org/freedesktop/ScreenSaver
        --method org.freedesktop.ScreenSaver.SetActive "$value")
fi
gdbus call --session "${call[@]}" >/dev/null
