#!/usr/bin/env bash
# Puts the displays of the virtual desktop to sleep (on) or wakes them (off): the X
# server's screen saver on X11 (which blanks the screen, as DPMS would), Mutter's power-save
# mode on GNOME (what the Shell's power plugin sets).
set -euo pipefail
case "${1:-}" in
on | off) ;;
*) echo "usage: $0 on|off" >&2; exit 2 ;;
esac
if [ "${TARNWICK_DESKTOP:-}" = gnome-wayland ]; then
    mode=$([ "$1" = on ] && echo 3 || echo 0) # 3: off, 0: on
    gdbus call --session --dest org.gnome.Mutter.DisplayConfig \
        --object-path /org/gnome/Mutter/DisplayConfig \
        --method org.freedesktop.DBus.Properties.Set org.gnome.Mutter.DisplayConfig \
        PowerSaveMode "<$mode>" >/dev/null
else
    xset s "$([ "$1" = on ] && echo activate || echo reset)"
fi
