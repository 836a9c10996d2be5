"""The tray on today's desktops: a StatusNotifierWatcher with its host, as
panels run it, driving our item and its menu over D-Bus as hosts do; the
watcher coming late, going away and coming back."""

import os
import subprocess
import time
import unittest

import dbus

from talvero_e2e import SESSION, App, close_until, read_ini, viewable, wait_until, windows

HERE = os.path.dirname(os.path.abspath(__file__))
ITEM, MENU = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
LABELS = ["显示窗口", "隐藏窗口", "语音阅读", "退出程序"]


class Watcher:
    """The bare watcher, in a process of its own so it can go away."""

    def __init__(self, test):
        self.log = os.path.join(SESSION, f"watcher-{time.monotonic_ns()}.log")
        open(self.log, "w").close()
        self.proc = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "sni_watcher.py"), self.log])
        test.addCleanup(self.stop)

    def item(self):
        """The bus name of the item that registered with it."""
        return wait_until(lambda: open(self.log).read().split(), 10, "an item to register")[-1]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)


def call(service, path, interface, method, *args, **kwargs):
    proxy = dbus.SessionBus().get_object(service, path)
    return proxy.get_dbus_method(method, interface)(*args, **kwargs)


def menu(service):
    """Labels and check marks, as a host draws the menu after AboutToShow."""
    call(service, "/MenuBar", MENU, "AboutToShow", 0)
    revision, (_, _, children) = call(service, "/MenuBar", MENU, "GetLayout", 0, -1, [])
    return [(str(c[1]["label"]), int(c[1].get("toggle-state", 0))) for c in children], revision


def click(service, item):
    call(service, "/MenuBar", MENU, "Event", item, "clicked", dbus.String("", variant_level=1), 0)


class StatusNotifierTray(unittest.TestCase):
    def test_item_and_its_menu_do_what_the_tray_menu_does(self):
        watcher = Watcher(self)
        app = App(self).start()
        service = watcher.item()
        self.assertEqual(service, f"org.kde.StatusNotifierItem-{app.proc.pid}-1")
        props = call(service, "/StatusNotifierItem", dbus.PROPERTIES_IFACE, "GetAll", ITEM)
        self.assertEqual(props["Title"], "Talvero")
        self.assertEqual(props["Id"], os.environ["TALVERO_APP_ID"])
        self.assertEqual(props["ToolTip"][2], "Talvero")
        self.assertEqual(props["Menu"], "/MenuBar")
        self.assertFalse(props["ItemIsMenu"])
        self.assertGreater(len(props["IconPixmap"]), 0)

        self.assertEqual(menu(service)[0], [(label, 0) for label in LABELS])
        call(service, "/StatusNotifierItem", ITEM, "Activate", 0, 0)   # a left click
        wait_until(lambda: not viewable(app.window), 5, "hidden by a left click")
        for item, shown in [(1, True), (2, False), (1, True)]:
            click(service, item)
            wait_until(lambda: viewable(app.window) == shown, 5, f"item {item}")
        _, before = menu(service)
        click(service, 3)
        wait_until(lambda: menu(service)[0][2] == ("语音阅读", 1), 5, "the check mark while reading")
        self.assertGreater(menu(service)[1], before, "hosts are told the layout changed")
        click(service, 3)
        wait_until(lambda: menu(service)[0][2] == ("语音阅读", 0), 5, "no mark once stopped")

        # Stale or unknown ids change nothing; an unknown parent is an error.
        click(service, 99)
        with self.assertRaises(dbus.DBusException):
            call(service, "/MenuBar", MENU, "GetLayout", 7, -1, [])
        # The host's call returns at once, while the question waits.
        click(service, 4)
        app.answer(ok=False)
        self.assertIsNone(app.proc.poll())
        click(service, 4)
        click(service, 4)   # a second exit while the question is open: ignored
        app.answer(ok=True)
        self.assertEqual(app.proc.wait(10), 0)
        self.assertEqual(len(windows(app.proc.pid, "^提示$")), 0)
        self.assertIn("PlayPos", read_ini(app.config)[0])

    def test_watcher_late_gone_and_back(self):
        app = App(self).start()
        watcher = Watcher(self)   # a panel that starts after the program
        service = watcher.item()
        close_until(app.window, lambda: not viewable(app.window), "hidden by the close box")
        watcher.stop()
        gone = time.monotonic()
        wait_until(lambda: viewable(app.window), 3, "the window back when the tray goes")
        self.assertLess(time.monotonic() - gone, 2.5)
        # No tray: the close box asks instead of stranding the window.
        close_until(app.window, lambda: windows(app.proc.pid, "^提示$"), "the exit question")
        app.answer(ok=False)
        self.assertTrue(viewable(app.window))

        watcher = Watcher(self)
        self.assertEqual(watcher.item(), service)
        close_until(app.window, lambda: not viewable(app.window), "hidden again")
        # A panel restarting twice in a row keeps a hidden window hidden.
        for _ in range(2):
            watcher.stop()
            watcher = Watcher(self)
        watcher.item()
        time.sleep(1.5)
        self.assertFalse(viewable(app.window))
        call(service, "/StatusNotifierItem", ITEM, "Activate", 0, 0)
        wait_until(lambda: viewable(app.window), 5, "shown by the new tray")

    def test_context_menu_is_ours_at_the_pointer_on_x11(self):
        watcher = Watcher(self)
        app = App(self).start()
        service = watcher.item()
        start = time.monotonic()
        call(service, "/StatusNotifierItem", ITEM, "ContextMenu", 600, 10, timeout=5)
        self.assertLess(time.monotonic() - start, 2, "answered before the menu closes")
        app.choose(2, 4)   # 隐藏窗口
        wait_until(lambda: not viewable(app.window), 5, "hidden from the menu")


if __name__ == "__main__":
    unittest.main()
