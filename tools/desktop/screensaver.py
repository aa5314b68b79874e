#!/usr/bin/python3
"""A stand-in screen saver for tests: owns org.freedesktop.ScreenSaver on the session bus.

GetActive answers the current state; SetActive(b) (or Lock) changes it and emits
ActiveChanged(b) from /org/freedesktop/ScreenSaver when it really changes. Tests lock and
unlock the "screen" with tools/desktop/screensaver.sh on|off.
"""
import signal
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

NAME = "org.freedesktop.ScreenSaver"
INTERFACE = "org.freedesktop.ScreenSaver"
PATHS = ("/org/freedesktop/ScreenSaver", "/ScreenSaver")
XML = """
<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="GetActive"><arg type="b" direction="out"/></method>
    <method name="SetActive"><arg type="b" direction="in"/><arg type="b" direction="out"/></method>
    <method name="GetActiveTime"><arg type="u" direction="out"/></method>
    <method name="Lock"/>
    <signal name="ActiveChanged"><arg type="b"/></signal>
  </interface>
</node>
"""

active = False
loop = GLib.MainLoop()


def set_active(connection, value):
    global active
    if value == active:
        return
    active = value
    connection.emit_signal(None, PATHS[0], INTERFACE, "ActiveChanged",
                           GLib.Variant("(b)", (value,)))


def on_call(connection, _sender, _path, _interface, method, params, invocation):
    if method == "GetActive":
        invocation.return_value(GLib.Variant("(b)", (active,)))
    elif method == "SetActive":
        set_active(connection, params.unpack()[0])
        invocation.return_value(GLib.Variant("(b)", (True,)))
    elif method == "GetActiveTime":
        invocation.return_value(GLib.Variant("(u)", (0,)))
    elif method == "Lock":
        set_active(connection, True)
        invocation.return_value(None)
    else:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)


def on_bus(connection, _name):
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    for path in PATHS:
        connection.register_object(path, info, on_call, None, None)


def on_lost(_connection, _name):
    sys.exit(1)


Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.DO_NOT_QUEUE, on_bus,
                 None, on_lost)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
loop.run()
