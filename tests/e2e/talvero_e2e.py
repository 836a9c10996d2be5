"""Drives the real Talvero as a user does, on the private desktop that
desktop-session.sh provides (Xvfb, a tray, a sound server recorded)."""

import array
import contextlib
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import gi
from Xlib import X, display as xdisplay, protocol

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

SESSION = os.environ["TALVERO_SESSION_DIR"]
BINARY = os.environ["TALVERO_BIN"]
RECORDING = os.environ["TALVERO_RECORDING"]
TRAY = os.environ.get("TALVERO_TRAY") == "1"
KEYS = ["ReadFileName", "PlayPos", "PlayRate", "AutoRate", "FontSizes", "curLanguage"]
BUTTONS = ["上一页", "下一页", "打开文件", "关闭文件", "自动翻页", "字体大小", "语音阅读", "语音设置"]
MENUS = []   # the pop-up menus shown since the last choice, where there is a session bus


def shown(event):
    """Keeps the pop-up menus as they show; a short-lived widget may be gone when asked."""
    with contextlib.suppress(GLib.Error):
        if event.detail1 and event.source.get_role() == Atspi.Role.POPUP_MENU:
            MENUS.append(event.source)


if "DBUS_SESSION_BUS_ADDRESS" in os.environ:
    (LISTENER := Atspi.EventListener.new(shown)).register("object:state-changed:showing")


def wait_until(condition, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(0.05)
    return value


def pumped(condition, what="the accessibility bus", timeout=15):
    """wait_until, with the accessibility bus's events delivered meanwhile."""
    return wait_until(lambda: (GLib.MainContext.default().iteration(False), condition())[1], timeout, what)


def find(acc, role, name, depth=0):
    """The first accessible of that role and name below acc, not in a list (the voices)."""
    if acc is None or depth > 10 or acc.get_role() == Atspi.Role.LIST:
        return None
    if acc.get_role() == role and acc.get_name() == name:
        return acc
    children = (find(acc.get_child_at_index(i), role, name, depth + 1) for i in range(acc.get_child_count()))
    return next(filter(None, children), None)


def run(*args, check=True, **kwargs):
    return subprocess.run(args, check=check, capture_output=True, text=True, **kwargs)


def xdotool(*args):
    return run("xdotool", *map(str, args), check=False).stdout.split()


def geometry(window):
    """x, y, width, height of a window; zeros once it is gone."""
    out = run("xwininfo", "-id", str(window), check=False).stdout
    return tuple(int(re.search(rf"{key}:\s+(-?\d+)", out).group(1)) if key in out else 0
                 for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


def viewable(window):
    return "IsViewable" in run("xwininfo", "-id", str(window), check=False).stdout


def windows(pid, name=".*"):
    return [int(w) for w in xdotool("search", "--all", "--onlyvisible", "--pid", pid, "--name", name)]


def popup(pid, name=".*", exclude=()):
    """A menu or a box of the process, once it shows."""
    def find():
        return next((w for w in windows(pid, name)   # not the 24-pixel tray icon
                     if w not in exclude and 30 < min(geometry(w)[2:]) and geometry(w)[3] < 900), None)
    return wait_until(find, 10, f"a pop-up {name!r}")


def close_box(window):
    """WM_DELETE_WINDOW, as a window manager sends it for the close box."""
    d = xdisplay.Display()
    w = d.create_resource_object("window", window)
    event = protocol.event.ClientMessage(
        window=w, client_type=d.intern_atom("WM_PROTOCOLS"),
        data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.close()


def close_until(window, condition, what):
    """The close box, pressed again if need be: under load a close message
    sent right after start-up is now and then lost, and a user presses again."""
    for attempt in range(3):
        close_box(window)
        try:
            return wait_until(condition, 3 if attempt < 2 else 10, what)
        except AssertionError:
            if attempt == 2:
                raise


def click(x, y, button=1):
    xdotool("mousemove", x, y, "click", button)


def tray_icon():
    """Centre of our icon in the notification area."""
    pattern = re.compile(r'"talvero" "talvero"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)')

    def find():
        for m in pattern.finditer(run("xwininfo", "-root", "-tree").stdout):
            w, h, x, y = map(int, m.groups())
            if w <= 64 and h <= 64:
                return x + w // 2, y + h // 2
        return None

    def settled():   # the tray lays a new icon out in steps
        first = find()
        time.sleep(0.3)
        return first if first and find() == first else None
    return wait_until(settled, 15, "the tray icon")


def read_ini(path):
    """The values and the order of the keys of config.ini."""
    with open(path, "rb") as f:
        lines = f.read().decode("gb18030").splitlines()
    pairs = [line.split("=", 1) for line in lines if "=" in line]
    return {k: v for k, v in pairs}, [k for k, _ in pairs]


def rms(path, skip=0):
    with open(path, "rb") as f:
        f.seek(skip - skip % 2)
        samples = array.array("h", f.read()[: (os.path.getsize(path) - skip) // 2 * 2])
    return (sum(s * s for s in samples) / len(samples)) ** 0.5 if samples else 0.0


def novel(name, text, encoding="gb18030"):
    path = os.path.join(SESSION, name)
    with open(path, "wb") as f:
        f.write(text.encode(encoding))
    return path


class App:
    """A copy of the program in a folder of its own, so config.ini is its own."""

    def __init__(self, test, folder=None, env=None):
        self.folder = folder or tempfile.mkdtemp(prefix="app-", dir=SESSION)
        self.binary = os.path.join(self.folder, "talvero")
        if not os.path.exists(self.binary):
            shutil.copy2(BINARY, self.binary)
        self.config = os.path.join(self.folder, "config.ini")
        self.env = dict(env or os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.proc = self.window = None
        test.addCleanup(self.kill)

    def spawn(self):
        proc = subprocess.Popen([self.binary], cwd=self.folder, env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.proc = self.proc or proc
        return proc

    def start(self):
        self.spawn()
        self.window = wait_until(lambda: next((w for w in windows(self.proc.pid, "^Talvero$")
                                               if min(geometry(w)[2:]) > 64), None), 15, "the window")
        if TRAY:
            tray_icon()
        # A close request that comes before the window is painted is lost.
        wait_until(lambda: int(run("import", "-window", str(self.window), "-format", "%k", "info:",
                                   check=False).stdout.strip() or 0) > 8, 10, "a painted window")
        return self

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)

    def terminate(self):
        self.proc.send_signal(signal.SIGTERM)
        return self.proc.wait(10)

    def accessible(self):
        desktop = Atspi.get_desktop(0)
        return pumped(lambda: next((a for a in map(desktop.get_child_at_index, range(desktop.get_child_count()))
                                    if a is not None and a.get_process_id() == self.proc.pid), None))

    def button(self, index):
        Atspi.Action.do_action(pumped(lambda: find(self.accessible(), Atspi.Role.PUSH_BUTTON, BUTTONS[index])), 0)

    def popup(self, name=".*"):
        return popup(self.proc.pid, name, exclude=(self.window,))

    def choose(self, position, count):
        """Item `position` (1-based) of the menu now open, of `count` items."""
        menu = pumped(lambda: MENUS and MENUS[-1].get_child_count() == count and MENUS[-1], "the menu")
        MENUS.clear()
        Atspi.Action.do_action(menu.get_child_at_index(position - 1), 0)
        pumped(lambda: not menu.get_state_set().contains(Atspi.StateType.SHOWING), "the menu to close")

    def answer(self, ok=True):
        box = self.popup("^提示$")
        xdotool("windowfocus", "--sync", box, "key", "Return" if ok else "Escape")
        wait_until(lambda: not viewable(box), 10, "the box to close")

    def open_file(self, path):
        self.button(2)
        dialog = wait_until(lambda: next((w for w in windows(self.proc.pid)
                                          if w != self.window and min(geometry(w)[2:]) > 100), None),
                            10, "the open dialog")
        xdotool("windowfocus", "--sync", dialog, "key", "ctrl+a", "type", "--delay", "5", path)
        xdotool("key", "Return")
        wait_until(lambda: not viewable(dialog), 10, "the dialog to close")

    def read_aloud(self, speed=5):
        self.button(6)
        self.choose(speed, 10)

    def exit_through_tray(self):
        click(*tray_icon(), 3)
        self.choose(4, 4)
        self.answer(ok=True)
        return self.proc.wait(10)
