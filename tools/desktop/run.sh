#!/usr/bin/env bash
# Runs one command on a private virtual desktop and tears the desktop down afterwards:
#   tools/desktop/run.sh CMD [ARGS...]
# The desktop is an Xvfb display (with Composite) on a free display number, a private
# session bus, the openbox window manager, the accessibility bus and registry, and a fake
# org.freedesktop.ScreenSaver service for lock tests (tools/desktop/screensaver.py; lock
# and unlock with tools/desktop/screensaver.sh on|off). CMD inherits DISPLAY,
# DBUS_SESSION_BUS_ADDRESS, AT_SPI_BUS_ADDRESS, a temporary writable HOME and
# XDG_RUNTIME_DIR, and TARNWICK_DESKTOP=1. The exit status is CMD's.
#
# Only the processes started here are ended, by their ids, on every path (also when this
# script is interrupted). DESKTOP_SCREEN overrides the screen size (default 1280x1024).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ $# -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi

screen=${DESKTOP_SCREEN:-1280x1024}
pids=()        # started here, ended in reverse order
cmd_pid=""
state=$(mktemp -d "${TMPDIR:-/tmp}/desktop.XXXXXX")

fail() {
    echo "desktop: $*" >&2
    exit 3
}

# Polls CHECK (a shell command) every 20 ms for at most SECONDS; a readiness check, not a
# blind wait.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local tries=$((seconds * 50))
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || fail "$what did not come up"
        sleep 0.02
    done
}

teardown() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$cmd_pid" ] && kill -0 "$cmd_pid" 2>/dev/null; then
        kill -TERM "$cmd_pid" 2>/dev/null
        wait "$cmd_pid" 2>/dev/null
    fi
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null
    done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        # Give each a moment to go, then insist.
        local n=50
        while kill -0 "${pids[i]}" 2>/dev/null && [ $n -gt 0 ]; do
            sleep 0.02
            n=$((n - 1))
        done
        kill -KILL "${pids[i]}" 2>/dev/null
        wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$state"
    exit "$status"
}
trap teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

for tool in Xvfb dbus-daemon openbox gdbus xprop /usr/bin/python3; do
    command -v "$tool" >/dev/null || fail "missing $tool (run tools/install-deps.sh)"
done
launcher=/usr/libexec/at-spi-bus-launcher
registryd=/usr/libexec/at-spi2-registryd
[ -x "$launcher" ] && [ -x "$registryd" ] || fail "missing at-spi2-core"

export HOME=$state/home XDG_RUNTIME_DIR=$state/runtime
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export GSETTINGS_BACKEND=memory GDK_BACKEND=x11 NO_AT_BRIDGE=
unset NO_AT_BRIDGE WAYLAND_DISPLAY SESSION_MANAGER

# 1. The X server picks a free display and writes its number when it accepts clients.
mkfifo "$state/displayfd"
exec {displayfd}<>"$state/displayfd"
Xvfb -displayfd "$displayfd" -screen 0 "${screen}x24" -nolisten tcp +extension COMPOSITE \
    -noreset >"$state/xvfb.log" 2>&1 &
pids+=($!)
number=""
read -r -t 10 -u "$displayfd" number || fail "Xvfb did not start: $(tail -3 "$state/xvfb.log")"
exec {displayfd}<&-
export DISPLAY=:$number

# 2. The session bus; it forks once it listens.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$XDG_RUNTIME_DIR/bus") || fail "dbus-daemon did not start"
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
pids+=("$(sed -n 2p <<<"$bus")")

has_owner() { # BUS-ARGS... NAME
    local name=${*: -1}
    gdbus call "${@:1:$#-1}" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$name" | grep -q true
}

# 3. The window manager: ready once it announces itself on the root window.
openbox --sm-disable >"$state/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 openbox sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

# 4. The accessibility bus and its registry.
"$launcher" --launch-immediately >"$state/atspi.log" 2>&1 &
pids+=($!)
launcher_pid=$!
wait_for 10 "the accessibility bus" has_owner --session org.a11y.Bus
a11y=""
get_a11y() {
    a11y=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress | sed -n "s/^('\(.*\)',)$/\1/p")
    [ -n "$a11y" ]
}
wait_for 10 "the accessibility bus address" get_a11y
get_a11y
export AT_SPI_BUS_ADDRESS=$a11y
# The launcher's own bus daemon is ours too: end it with the launcher.
for child in $(cat /proc/"$launcher_pid"/task/*/children 2>/dev/null); do
    pids+=("$child")
done
"$registryd" >"$state/registryd.log" 2>&1 &
pids+=($!)
wait_for 10 "the accessibility registry" has_owner --address "$a11y" org.a11y.atspi.Registry

# 5. The fake screen saver for lock tests.
/usr/bin/python3 "$here/screensaver.py" >"$state/screensaver.log" 2>&1 &
pids+=($!)
wait_for 10 "the screen saver service" has_owner --session org.freedesktop.ScreenSaver

export TARNWICK_DESKTOP=1
"$@" &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
