#!/usr/bin/env python3
"""A stand-in desktop service for tests, on the bus that DBUS_SESSION_BUS_ADDRESS names.

Owns org.freedesktop.ScreenSaver (GetActive, SetActive; SetActive emits ActiveChanged when
the state changes) and org.a11y.Bus (GetAddress answers this same bus; the writable
org.a11y.Status.IsEnabled property). Prints "ready" once both names are owned, and exits
when its standard input closes.
"""
import sys

from gi.repository import Gio, GLib

SCREEN_SAVER = """
<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="GetActive"><arg type="b" direction="out"/></method>
    <method name="SetActive"><arg type="b" direction="in"/><arg type="b" direction="out"/></method>
    <signal name="ActiveChanged"><arg type="b"/></signal>
  </interface>
</node>"""

ACCESSIBILITY = """
<node>
  <interface name="org.a11y.Bus">
    <method name="GetAddress"><arg type="s" direction="out"/></method>
  </interface>
  <interface name="org.a11y.Status">
    <property name="IsEnabled" type="b" access="readwrite"/>
  </interface>
</node>"""

state = {"active": False, "enabled": False, "owned": 0}
loop = GLib.MainLoop()
address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None)
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def screen_saver_call(connection, sender, path, interface, method, params, invocation):
    if method == "GetActive":
        invocation.return_value(GLib.Variant("(b)", (state["active"],)))
    elif method == "SetActive":
        (active,) = params.unpack()
        changed = active != state["active"]
        state["active"] = active
        invocation.return_value(GLib.Variant("(b)", (True,)))
        if changed:
            connection.emit_signal(None, path, interface, "ActiveChanged",
                                   GLib.Variant("(b)", (active,)))


def accessibility_call(connection, sender, path, interface, method, params, invocation):
    invocation.return_value(GLib.Variant("(s)", (address,)))


def get_property(connection, sender, path, interface, name):
    return GLib.Variant("b", state["enabled"])


def set_property(connection, sender, path, interface, name, value):
    state["enabled"] = value.unpack()
    return True


saver_info = Gio.DBusNodeInfo.new_for_xml(SCREEN_SAVER)
bus.register_object("/org/freedesktop/ScreenSaver", saver_info.interfaces[0],
                    screen_saver_call, None, None)
a11y_info = Gio.DBusNodeInfo.new_for_xml(ACCESSIBILITY)
bus.register_object("/org/a11y/bus", a11y_info.interfaces[0], accessibility_call, None, None)
bus.register_object("/org/a11y/bus", a11y_info.interfaces[1], None, get_property, set_property)


def owned(*_):
    state["owned"] += 1
    if state["owned"] == 2:
        print("ready", flush=True)


def lost(*_):
    loop.quit()


for name in ("org.freedesktop.ScreenSaver", "org.a11y.Bus"):
    Gio.bus_own_name_on_connection(bus, name, Gio.BusNameOwnerFlags.NONE, owned, lost)


def input_closed(*_):
    loop.quit()
    return False


GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_HUP | GLib.IO_IN | GLib.IO_ERR, input_closed)
loop.run()
