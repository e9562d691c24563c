#!/usr/bin/python3
"""Types keys into a running mutter through its remote-desktop D-Bus
interface, as a remote desktop client would. Its session keeps a keyboard in
the seat until the keys are typed: each SIGUSR1 types them once more, and
SIGTERM ends it.

    mutter-keys.py PIDFILE KEY...    KEY: +CODE (down) or -CODE (up), evdev codes
"""
import os
import signal
import sys
import time

from gi.repository import Gio, GLib

BUS_NAME = "org.gnome.Mutter.RemoteDesktop"


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def call(path, interface, method, args=None, reply="()"):
        return bus.call_sync(BUS_NAME, path, interface, method, args,
                             GLib.VariantType(reply), Gio.DBusCallFlags.NONE, 5000, None)

    # The session lives as long as this connection: one process does it all.
    (session,) = call("/org/gnome/Mutter/RemoteDesktop", BUS_NAME, "CreateSession",
                      reply="(o)").unpack()
    interface = BUS_NAME + ".Session"
    call(session, interface, "Start")
    # The first key of a new session is lost (seen with mutter 43): a Shift
    # tap, before any window of the test has the focus, takes its place.
    for pressed in (True, False):
        call(session, interface, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (42, pressed)))

    def type_keys():
        for key in sys.argv[2:]:
            call(session, interface, "NotifyKeyboardKeycode",
                 GLib.Variant("(ub)", (int(key[1:]), key[0] == "+")))
            time.sleep(0.05)
        return GLib.SOURCE_CONTINUE

    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, type_keys)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    with open(sys.argv[1], "w") as pidfile:
        pidfile.write(f"{os.getpid()}\n")
    loop.run()
    call(session, interface, "Stop")


if __name__ == "__main__":
    main()
