#!/usr/bin/python3
"""A stand-in login manager for the virtual GNOME desktop, on a private system bus.

GNOME Shell asks the system bus for its login session (org.freedesktop.login1) and, before
it offers a lock screen, for a display manager (org.gnome.DisplayManager). This owns both
with the little the shell and the host use: one session, "1", that is Active, whose
LockedHint the shell sets when it locks and clears when it unlocks, and that answers
GetSession and GetSessionByPID for every process. Inhibitor locks are handed out as the
read end of a pipe that nobody writes.
"""
import os
import signal
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

SESSION = "/org/freedesktop/login1/session/_31"
XML = """
<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="GetSession"><arg type="s" direction="in"/><arg type="o" direction="out"/></method>
    <method name="GetSessionByPID"><arg type="u" direction="in"/><arg type="o" direction="out"/></method>
    <method name="ListSessions"><arg type="a(susso)" direction="out"/></method>
    <method name="CanSuspend"><arg type="s" direction="out"/></method>
    <method name="CanRebootToBootLoaderMenu"><arg type="s" direction="out"/></method>
    <method name="Inhibit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="h" direction="out"/>
    </method>
    <signal name="PrepareForSleep"><arg type="b"/></signal>
  </interface>
  <interface name="org.freedesktop.login1.Session">
    <property name="Id" type="s" access="read"/>
    <property name="Active" type="b" access="read"/>
    <property name="LockedHint" type="b" access="read"/>
    <property name="Class" type="s" access="read"/>
    <property name="Type" type="s" access="read"/>
    <property name="Remote" type="b" access="read"/>
    <method name="SetLockedHint"><arg type="b" direction="in"/></method>
    <method name="Lock"/>
    <method name="Unlock"/>
    <signal name="Lock"/>
    <signal name="Unlock"/>
  </interface>
  <interface name="org.freedesktop.login1.User">
    <property name="Display" type="(so)" access="read"/>
    <property name="Sessions" type="a(so)" access="read"/>
  </interface>
  <interface name="org.gnome.DisplayManager.Manager">
    <property name="Version" type="s" access="read"/>
    <method name="RegisterSession"><arg type="a{sv}" direction="in"/></method>
  </interface>
</node>
"""

node = Gio.DBusNodeInfo.new_for_xml(XML)
state = {"LockedHint": False}
loop = GLib.MainLoop()


def session_property(name):
    values = {
        "Id": GLib.Variant("s", "1"),
        "Active": GLib.Variant("b", True),
        "LockedHint": GLib.Variant("b", state["LockedHint"]),
        "Class": GLib.Variant("s", "user"),
        "Type": GLib.Variant("s", "wayland"),
        "Remote": GLib.Variant("b", False),
    }
    return values.get(name)


def set_locked_hint(connection, locked):
    if state["LockedHint"] == locked:
        return
    state["LockedHint"] = locked
    changed = GLib.Variant("(sa{sv}as)", ("org.freedesktop.login1.Session",
                                          {"LockedHint": GLib.Variant("b", locked)}, []))
    connection.emit_signal(None, SESSION, "org.freedesktop.DBus.Properties",
                           "PropertiesChanged", changed)


def manager_call(connection, _sender, _path, _interface, method, params, invocation):
    if method in ("GetSession", "GetSessionByPID"):
        invocation.return_value(GLib.Variant("(o)", (SESSION,)))
    elif method == "ListSessions":
        invocation.return_value(
            GLib.Variant("(a(susso))", ([("1", os.getuid(), "user", "seat0", SESSION)],)))
    elif method in ("CanSuspend", "CanRebootToBootLoaderMenu"):
        invocation.return_value(GLib.Variant("(s)", ("na",)))
    elif method == "Inhibit":
        read_end, write_end = os.pipe()
        inhibitors.append(write_end)
        fds = Gio.UnixFDList.new_from_array([read_end])
        invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
    else:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)


def session_call(connection, _sender, _path, _interface, method, params, invocation):
    if method == "SetLockedHint":
        set_locked_hint(connection, params.unpack()[0])
        invocation.return_value(None)
    elif method in ("Lock", "Unlock"):
        connection.emit_signal(None, SESSION, "org.freedesktop.login1.Session", method, None)
        invocation.return_value(None)
    else:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)


def no_call(_connection, _sender, _path, _interface, method, _params, invocation):
    if method == "RegisterSession":
        invocation.return_value(None)
    else:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)


def user_property(_connection, _sender, _path, _interface, name):
    if name == "Display":
        return GLib.Variant("(so)", ("1", SESSION))
    if name == "Sessions":
        return GLib.Variant("a(so)", [("1", SESSION)])
    return None


inhibitors = []


def on_bus(connection, _name):
    interfaces = {i.name: i for i in node.interfaces}
    connection.register_object("/org/freedesktop/login1",
                               interfaces["org.freedesktop.login1.Manager"], manager_call, None,
                               None)
    connection.register_object(SESSION, interfaces["org.freedesktop.login1.Session"],
                               session_call, lambda *a: session_property(a[4]), None)
    for path in ("/org/freedesktop/login1/user/self", "/org/freedesktop/login1/user/_0"):
        connection.register_object(path, interfaces["org.freedesktop.login1.User"], no_call,
                                   user_property, None)
    connection.register_object("/org/gnome/DisplayManager/Manager",
                               interfaces["org.gnome.DisplayManager.Manager"], no_call,
                               lambda *a: GLib.Variant("s", "43.0"), None)


def on_lost(_connection, name):
    print(f"logind stand-in: lost {name}", file=sys.stderr)
    sys.exit(1)


Gio.bus_own_name(Gio.BusType.SYSTEM, "org.freedesktop.login1",
                 Gio.BusNameOwnerFlags.DO_NOT_QUEUE, on_bus, None, on_lost)
Gio.bus_own_name(Gio.BusType.SYSTEM, "org.gnome.DisplayManager",
                 Gio.BusNameOwnerFlags.DO_NOT_QUEUE, None, None, on_lost)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
loop.run()
