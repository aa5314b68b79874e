"""A GTK3 window full of random pixels, so that a capture of it makes the largest JPEGs the
host answers with. Run by a copy of the Python interpreter sealed into a bundle:

    X.app/Contents/MacOS/python3 noise_window.py WIDTH HEIGHT

It prints "ready pid=P window=W" once its window is on screen and quits when its input ends.
"""
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkPixbuf", "2.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkPixbuf, GdkX11, GLib, Gtk  # noqa: E402,F401  (GdkX11: get_xid)


def main():
    width, height = int(sys.argv[1]), int(sys.argv[2])
    pixels = GLib.Bytes.new(os.urandom(width * height * 3))
    picture = GdkPixbuf.Pixbuf.new_from_bytes(pixels, GdkPixbuf.Colorspace.RGB, False, 8,
                                              width, height, width * 3)
    window = Gtk.Window(title="Noise")
    window.add(Gtk.Image.new_from_pixbuf(picture))
    window.move(0, 0)

    def shown(*_):
        print("ready pid=%d window=%d" % (os.getpid(), window.get_window().get_xid()), flush=True)

    window.connect("map-event", shown)
    window.show_all()
    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, lambda *_: Gtk.main_quit())
    Gtk.main()


main()
