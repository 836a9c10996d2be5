"""The media controls through MPRIS, driven by the real playerctl, and no idle
suspend while the voice sounds, as a stand-in desktop portal sees it."""

import itertools
import os
import subprocess
import threading
import time
import unittest

from gi.repository import Gio, GLib

from talvero_e2e import RECORDING, App, novel, rms, run, viewable, wait_until, xdotool

SENTENCE = "Once upon a time there was a reader. It read every novel aloud, word by word.\n"
TEXT = SENTENCE * 20


class FakePortal:
    """The portal's Inhibit: `held` maps each live request to its sender and
    flags; as the portal does, a client's requests end when it leaves the bus."""
    XML = ("<node><interface name='org.freedesktop.portal.Inhibit'><method name='Inhibit'><arg type='s'/>"
           "<arg type='u'/><arg type='a{sv}'/><arg type='o' direction='out'/></method></interface>"
           "<interface name='org.freedesktop.portal.Request'><method name='Close'/></interface></node>")

    def __init__(self):
        self.held, self.ids, ready = {}, itertools.count(1), threading.Event()
        threading.Thread(target=self.serve, args=(ready,), daemon=True).start()
        ready.wait(10)

    def serve(self, ready):
        GLib.MainContext().push_thread_default()
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.interfaces = Gio.DBusNodeInfo.new_for_xml(self.XML).interfaces
        self.bus.register_object("/org/freedesktop/portal/desktop", self.interfaces[0], self.call)
        self.bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                                  None, None, 0, self.left)
        Gio.bus_own_name_on_connection(self.bus, "org.freedesktop.portal.Desktop", 0, lambda *_: ready.set())
        while True:
            GLib.MainContext.get_thread_default().iteration(True)

    def call(self, bus, sender, path, interface, method, args, invocation):
        if method == "Inhibit":
            path = f"/org/freedesktop/portal/desktop/request/{next(self.ids)}"
            bus.register_object(path, self.interfaces[1], self.call)
            self.held[path] = (sender, args[1])
        invocation.return_value(GLib.Variant("(o)", (path,)) if method == "Inhibit" else None)
        if method == "Close":
            self.held.pop(path, None)

    def left(self, bus, sender, path, interface, signal, args):
        if not args[2]:
            self.held = {h: v for h, v in self.held.items() if v[0] != args[0]}


def playerctl(*args):
    return run("playerctl", "-p", "talvero", *args, check=False).stdout.strip()


def recorded():
    return os.path.getsize(RECORDING)


class Media(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.portal = FakePortal()

    def start(self, text, pos):
        app = App(self)
        with open(app.config, "w") as f:
            f.write(f"[system]\nReadFileName={novel('tale.txt', text)}\nPlayPos={pos}\n")
        return app.start()

    def play(self, command):
        heard_from = recorded()
        playerctl(command)
        wait_until(lambda: playerctl("status") == "Playing", 10, "Playing")
        wait_until(lambda: rms(RECORDING, heard_from) > 200, 20, "the voice")
        self.assertEqual([flags for _, flags in self.portal.held.values()], [4], "one inhibitor, of suspend")

    def released(self, what, timeout=1.0):
        wait_until(lambda: not self.portal.held, timeout, f"the inhibitor released {what}")

    def test_play_pause_from_outside(self):
        app = self.start(TEXT, 0)
        app.button(6)   # with the speed menu open a call is ignored, as a tray click would be
        menu = app.popup()
        playerctl("play")
        time.sleep(0.5)
        xdotool("key", "Escape")
        wait_until(lambda: not viewable(menu), 10, "the menu to close")
        self.assertEqual(playerctl("status"), "Stopped")
        path = os.path.join(os.environ["TALVERO_SESSION_DIR"], "tale.txt")
        self.assertEqual(playerctl("metadata", "--format", "{{xesam:title}} {{xesam:url}}"),
                         f"tale.txt file://{path}")
        self.assertFalse(self.portal.held, "no inhibitor while idle")
        log = os.path.join(os.environ["TALVERO_SESSION_DIR"], "status.log")
        with open(log, "w") as out:
            follow = subprocess.Popen(["playerctl", "-p", "talvero", "-F", "status"], stdout=out)
        self.addCleanup(follow.kill)
        wait_until(lambda: open(log).read().split() == ["Stopped"], 5, "the follower to start")
        self.play("play-pause")
        app.button(6)   # stopped from the toolbar, the clients hear of it
        self.released("after the stop")
        wait_until(lambda: open(log).read().split() == ["Stopped", "Playing", "Stopped"], 5, "the changes")
        time.sleep(0.5)
        heard_from = recorded()
        time.sleep(1)
        self.assertLess(rms(RECORDING, heard_from), 50, "silent after the stop")

    def test_a_burst_of_calls_and_the_exit(self):
        app = self.start(TEXT, 0)
        bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        for _ in range(100):   # a hundred a second: nothing piles up
            bus.call("org.mpris.MediaPlayer2.talvero", "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player",
                     "PlayPause", None, None, 0, -1, None, None, None)
            time.sleep(0.01)
        playerctl("pause")
        wait_until(lambda: playerctl("status") == "Stopped" and not self.portal.held, 10, "the stop")
        self.play("play")
        self.assertEqual(app.terminate(), 0)
        self.released("at the exit")

    def test_end_of_the_text(self):
        self.start(TEXT, len(TEXT) - len(SENTENCE))
        self.play("play")
        self.released("at the end of the text", 20)
        self.assertEqual(playerctl("status"), "Playing", "reading stays on after the end")
        playerctl("pause")
        wait_until(lambda: playerctl("status") == "Stopped", 10, "Stopped")


if __name__ == "__main__":
    unittest.main()
