#!/usr/bin/env bash
# Runs one command on a private virtual desktop and tears the desktop down afterwards:
#   tools/desktop/run.sh CMD [ARGS...]
# DESKTOP chooses the desktop:
# - x11 (the default): an Xvfb display (with Composite) on a free display number, the
#   openbox window manager, and a fake org.freedesktop.ScreenSaver service for lock tests
#   (tools/desktop/screensaver.py).
# - gnome-wayland: GNOME Shell headless on Wayland with a virtual monitor, a private system
#   bus with a stand-in login manager (tools/desktop/logind.py), PipeWire, and the host's
#   Shell extension installed and enabled. Its screen shield locks for real.
# Both have a private session bus and the accessibility bus and registry. Lock and unlock
# with tools/desktop/screensaver.sh on|off. CMD inherits DISPLAY or WAYLAND_DISPLAY,
# DBUS_SESSION_BUS_ADDRESS, AT_SPI_BUS_ADDRESS, a temporary writable HOME and
# XDG_RUNTIME_DIR, and TARNWICK_DESKTOP (x11 or gnome-wayland). The exit status is CMD's.
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
desktop=${DESKTOP:-x11}
case "$desktop" in
x11 | gnome-wayland) ;;
*) echo "desktop: DESKTOP must be x11 or gnome-wayland, not $desktop" >&2; exit 2 ;;
esac
pids=()        # started here, ended in reverse order
cmd_pid=""
state=$(mktemp -d "${TMPDIR:-/tmp}/desktop.XXXXXX")

# Says what did not come up, with the end of each log of this desktop.
fail() {
    echo "desktop: $*" >&2
    local log
    for log in "$state"/*.log; do
        [ -s "$log" ] && { echo "--- ${log##*/}:"; tail -n 15 "$log"; } >&2
    done
    exit 3
}

# Polls CMD until it succeeds or SECONDS pass; its status says which.
try_for() {
    local deadline=$((SECONDS + $1))
    shift
    while ! "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.02
    done
}

wait_for() {
    local seconds=$1 what=$2
    shift 2
    try_for "$seconds" "$@" || fail "$what did not come up"
}

# The processes started by PID, and theirs, recursively (services a bus started on demand).
descendants() {
    local child
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
        echo "$child"
        descendants "$child"
    done
}

# Ends PID and what it started, at once.
end_with_descendants() {
    local pid
    for pid in $(descendants "$1") "$1"; do
        kill -KILL "$pid" 2>/dev/null
    done
    wait "$1" 2>/dev/null
}

teardown() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$cmd_pid" ] && kill -0 "$cmd_pid" 2>/dev/null; then
        kill -TERM "$cmd_pid" 2>/dev/null
        wait "$cmd_pid" 2>/dev/null
    fi
    local i pid
    # What the desktop's own processes started goes with them.
    for pid in "${pids[@]}"; do
        for child in $(descendants "$pid"); do
            pids+=("$child")
        done
    done
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

launcher=/usr/libexec/at-spi-bus-launcher
registryd=/usr/libexec/at-spi2-registryd
[ -x "$launcher" ] && [ -x "$registryd" ] || fail "missing at-spi2-core"
needs() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || fail "missing $tool (run tools/install-deps.sh)"
    done
}
needs dbus-daemon gdbus /usr/bin/python3
export HOME=$state/home XDG_RUNTIME_DIR=$state/runtime
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export GSETTINGS_BACKEND=memory
unset NO_AT_BRIDGE WAYLAND_DISPLAY DISPLAY SESSION_MANAGER

# The session bus; it forks once it listens.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$XDG_RUNTIME_DIR/bus") || fail "dbus-daemon did not start"
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
pids+=("$(sed -n 2p <<<"$bus")")

has_owner() { # BUS-ARGS... NAME
    local name=${*: -1}
    gdbus call --timeout 2 "${@:1:$#-1}" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$name" | grep -q true
}

# The accessibility bus and its registry.
start_accessibility() {
    "$launcher" --launch-immediately >"$state/atspi.log" 2>&1 &
    pids+=($!)
    launcher_pid=$!
    wait_for 10 "the accessibility bus" has_owner --session org.a11y.Bus
    local a11y=""
    get_a11y() {
        a11y=$(gdbus call --timeout 2 --session --dest org.a11y.Bus --object-path /org/a11y/bus \
            --method org.a11y.Bus.GetAddress | sed -n "s/^('\(.*\)',)$/\1/p")
        [ -n "$a11y" ]
    }
    wait_for 10 "the accessibility bus address" get_a11y
    get_a11y
    export AT_SPI_BUS_ADDRESS=$a11y
    "$registryd" >"$state/registryd.log" 2>&1 &
    pids+=($!)
    wait_for 10 "the accessibility registry" has_owner --address "$a11y" org.a11y.atspi.Registry
}

start_x11() {
    needs Xvfb openbox xprop
    export GDK_BACKEND=x11
    # The X server picks a free display and writes its number when it accepts clients.
    mkfifo "$state/displayfd"
    exec {displayfd}<>"$state/displayfd"
    Xvfb -displayfd "$displayfd" -screen 0 "${screen}x24" -nolisten tcp +extension COMPOSITE \
        -noreset >"$state/xvfb.log" 2>&1 &
    pids+=($!)
    number=""
    read -r -t 10 -u "$displayfd" number || fail "Xvfb did not start: $(tail -3 "$state/xvfb.log")"
    exec {displayfd}<&-
    export DISPLAY=:$number

    # The window manager: ready once it announces itself on the root window.
    openbox --sm-disable >"$state/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 10 openbox sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

    start_accessibility

    # The fake screen saver for lock tests.
    /usr/bin/python3 "$here/screensaver.py" >"$state/screensaver.log" 2>&1 &
    pids+=($!)
    wait_for 10 "the screen saver service" has_owner --session org.freedesktop.ScreenSaver
}

start_gnome_wayland() {
    needs gnome-shell pipewire wireplumber
    export GDK_BACKEND=wayland XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_ID=1
    # GNOME Shell asks the system bus for its login session: a private one, with a stand-in.
    local system
    system=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
        --address="unix:path=$state/system_bus") || fail "the system bus did not start"
    export DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p <<<"$system")
    pids+=("$(sed -n 2p <<<"$system")")
    /usr/bin/python3 "$here/logind.py" >"$state/logind.log" 2>&1 &
    pids+=($!)
    wait_for 10 "the login manager" has_owner --system org.freedesktop.login1

    pipewire >"$state/pipewire.log" 2>&1 &
    pids+=($!)
    wait_for 10 pipewire test -S "$XDG_RUNTIME_DIR/pipewire-0"
    wireplumber >"$state/wireplumber.log" 2>&1 &
    pids+=($!)

    start_accessibility

    # The Shell finds extensions when it starts; enabling one takes effect at once.
    local uuid=skelmor@tarnwick
    mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
    cp -r "$here/../../host/platform/linux/gnome/extension" \
        "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
    # Asked of the Shell itself: gnome-extensions goes through a bus-activated relay which,
    # started before the Shell answers, never reaches it.
    extension_answers() {
        gdbus call --timeout 2 --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
            --method org.gnome.Shell.Extensions.EnableExtension "$uuid" | grep -q true &&
            gdbus call --timeout 2 --session --dest org.gnome.Shell --object-path /org/tarnwick/Skelmor \
                --method org.tarnwick.Skelmor.Windows.List
    }
    # Should the headless Shell stall while it starts, it is ended and started again.
    local attempt shell
    for attempt in 1 2 3; do
        gnome-shell --headless --wayland --no-x11 --virtual-monitor "$screen" \
            >"$state/gnome-shell.log" 2>&1 &
        shell=$!
        pids+=("$shell")
        if try_for 20 extension_answers; then
            # The Shell names the socket it made (the first free wayland-N).
            WAYLAND_DISPLAY=$(sed -n "s/.*Using Wayland display name '\(.*\)'.*/\1/p" \
                "$state/gnome-shell.log" | tail -n 1)
            [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || fail "the Wayland socket is missing"
            export WAYLAND_DISPLAY
            return
        fi
        echo "desktop: GNOME Shell did not answer in 20 s (attempt $attempt): starting it again" >&2
        end_with_descendants "$shell"
    done
    fail "GNOME Shell with the extension"
}

start_$(tr - _ <<<"$desktop")

export TARNWICK_DESKTOP=$desktop
"$@" &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
