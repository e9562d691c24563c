#!/usr/bin/python3
"""mutter-keys.py PIDFILE KEY...: a remote-desktop session of mutter's that keeps a
keyboard in the seat and types KEY... (+CODE down, -CODE up; evdev) at SIGUSR1,
up to the next "/" at each."""
import os, signal, sys, time
from gi.repository import Gio, GLib

NAME = "org.gnome.Mutter.RemoteDesktop"
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
call = lambda path, interface, method, args=None, reply="()": bus.call_sync(
    NAME, path, interface, method, args, GLib.VariantType(reply), Gio.DBusCallFlags.NONE, 5000)


def press(batches):
    for key in batches.pop(0).split() if batches else []:
        call(session, NAME + ".Session", "NotifyKeyboardKeycode",
             GLib.Variant("(ub)", (int(key[1:]), key[0] == "+")))
        time.sleep(0.05)
    return GLib.SOURCE_CONTINUE


# The session lasts as long as this connection.
(session,) = call("/org/gnome/Mutter/RemoteDesktop", NAME, "CreateSession", reply="(o)").unpack()
call(session, NAME + ".Session", "Start")
press(["+42 -42"])  # mutter 43 loses a new session's first key: a Shift tap takes it
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, press, " ".join(sys.argv[2:]).split("/"))
with open(sys.argv[1], "w") as pidfile:
    print(os.getpid(), file=pidfile)
GLib.MainLoop().run()
