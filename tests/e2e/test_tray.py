"""The tray on today's desktops: Xfce's panel, which draws our item and its
menu as StatusNotifier hosts do, clicked for real and driven over D-Bus; the
panel coming late, going away and coming back."""

import os
import subprocess
import time
import unittest

import dbus

from talvero_e2e import App, click as mouse, close_until, geometry, read_ini, viewable, wait_until, windows, xdotool

ITEM, MENU = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
LABELS = ["显示窗口", "隐藏窗口", "语音阅读", "退出程序"]
# The panel with its status tray alone, along the top of the screen.
XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property>
</channel>
"""
ICON = (11, 12)   # the tray's only icon, first on the panel


def panel(test):
    """Xfce's panel, from the configuration above."""
    folder = os.path.join(os.environ["XDG_CONFIG_HOME"], "xfce4/xfconf/xfce-perchannel-xml")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
        f.write(XFCE_PANEL)
    proc = subprocess.Popen(["xfce4-panel", "--disable-wm-check"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    test.addCleanup(proc.kill)
    return proc


def call(service, path, interface, method, *args, **kwargs):
    proxy = dbus.SessionBus().get_object(service, path)
    return proxy.get_dbus_method(method, interface)(*args, **kwargs)


def registered():
    """The items the session's watcher holds; none while there is none."""
    try:
        return [str(i) for i in call("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", dbus.PROPERTIES_IFACE,
                                     "Get", "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems")]
    except dbus.DBusException:
        return []


def item_of(app):
    service = f"org.kde.StatusNotifierItem-{app.proc.pid}-1"
    wait_until(lambda: f"{service}/StatusNotifierItem" in registered(), 10, "the item in the tray")
    return service


def menu(service):
    """Labels and check marks, as a host draws the menu after AboutToShow."""
    call(service, "/MenuBar", MENU, "AboutToShow", 0)
    revision, (_, _, children) = call(service, "/MenuBar", MENU, "GetLayout", 0, -1, [])
    return [(str(c[1]["label"]), int(c[1].get("toggle-state", 0))) for c in children], revision


def click(service, item):
    call(service, "/MenuBar", MENU, "Event", item, "clicked", dbus.String("", variant_level=1), 0)


class StatusNotifierTray(unittest.TestCase):
    def test_xfce_panel_draws_our_menu_and_runs_it(self):
        panel(self)
        app = App(self).start()
        service = item_of(app)
        props = call(service, "/StatusNotifierItem", dbus.PROPERTIES_IFACE, "GetAll", ITEM)
        self.assertEqual(props["Title"], "Talvero")
        self.assertEqual(props["Id"], os.environ["TALVERO_APP_ID"])
        self.assertEqual(props["ToolTip"][2], "Talvero")
        self.assertFalse(props["ItemIsMenu"])
        self.assertGreater(len(props["IconPixmap"]), 0)
        self.assertEqual(menu(service)[0], [(label, 0) for label in LABELS])
        xdotool("windowmove", app.window, 300, 300)   # no window manager: off the panel
        time.sleep(0.5)

        def choose(position):
            mouse(*ICON, 3)
            drawn = wait_until(lambda: next((w for w in map(int, xdotool("search", "--onlyvisible", "--name", ".*"))
                                             if w != app.window and geometry(w)[1] > 20
                                             and 60 < geometry(w)[2] < 400 and 60 < geometry(w)[3] < 400), None),
                               10, "the panel's menu")
            x, y, w, h = geometry(drawn)
            mouse(x + w // 2, int(y + 4 + (h - 8) / 4 * (position - 0.5)))

        mouse(*ICON)
        wait_until(lambda: not viewable(app.window), 5, "hidden by a left click")
        choose(1)
        wait_until(lambda: viewable(app.window), 5, "shown by 显示窗口")
        _, before = menu(service)
        choose(3)
        wait_until(lambda: menu(service)[0][2] == ("语音阅读", 1), 5, "reading, with its check mark")
        self.assertGreater(menu(service)[1], before, "hosts are told the layout changed")
        # Unknown ids change nothing; an unknown parent is an error.
        click(service, 99)
        with self.assertRaises(dbus.DBusException):
            call(service, "/MenuBar", MENU, "GetLayout", 7, -1, [])
        choose(4)
        app.answer(ok=False)
        self.assertIsNone(app.proc.poll())
        choose(4)
        app.answer(ok=True)
        self.assertEqual(app.proc.wait(10), 0)
        self.assertIn("PlayPos", read_ini(app.config)[0])

    def test_tray_late_gone_and_back(self):
        app = App(self).start()
        tray = panel(self)   # a panel that starts after the program
        service = item_of(app)
        close_until(app.window, lambda: not viewable(app.window), "hidden by the close box")
        tray.kill()
        gone = time.monotonic()
        wait_until(lambda: viewable(app.window), 3, "the window back when the tray goes")
        self.assertLess(time.monotonic() - gone, 2.5)
        # No tray: the close box asks instead of stranding the window.
        close_until(app.window, lambda: windows(app.proc.pid, "^提示$"), "the exit question")
        app.answer(ok=False)
        self.assertTrue(viewable(app.window))
        panel(self)
        self.assertEqual(item_of(app), service)
        close_until(app.window, lambda: not viewable(app.window), "hidden again")
        call(service, "/StatusNotifierItem", ITEM, "Activate", 0, 0)
        wait_until(lambda: viewable(app.window), 5, "shown by the new tray")

    def test_context_menu_is_ours_at_the_pointer_on_x11(self):
        panel(self)
        app = App(self).start()
        service = item_of(app)
        start = time.monotonic()
        call(service, "/StatusNotifierItem", ITEM, "ContextMenu", 600, 10, timeout=5)
        self.assertLess(time.monotonic() - start, 2, "answered before the menu closes")
        app.choose(2, 4)   # 隐藏窗口
        wait_until(lambda: not viewable(app.window), 5, "hidden from the menu")


if __name__ == "__main__":
    unittest.main()
