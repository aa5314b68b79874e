#!/usr/bin/python3
"""Gives the headless GNOME Shell a keyboard, as a real desktop has one.

Mutter gives its seat a keyboard, and so focus and active windows, only while some input
device exists; headless, a RemoteDesktop session is one. This holds one open, without
sending anything, until it is ended.
"""
import signal
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
session = bus.call_sync("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                        "org.gnome.Mutter.RemoteDesktop", "CreateSession", None,
                        GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session",
              "Start", None, None, Gio.DBusCallFlags.NONE, 5000, None)
print("keyboard ready", flush=True)
loop = GLib.MainLoop()
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
loop.run()
sys.exit(0)
