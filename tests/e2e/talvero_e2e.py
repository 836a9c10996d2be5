"""Drives the real Talvero on the private desktop of desktop-session.sh."""

import contextlib
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import traceback

from Xlib import X, display as xdisplay, protocol

SESSION = os.environ.get("TALVERO_SESSION_DIR", "")
BINARY = os.environ["TALVERO_BIN"]


def wait_until(condition, timeout=10.0, what="condition", interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


def run(*args, check=True, **kwargs):
    return subprocess.run(args, check=check, capture_output=True, text=True, **kwargs)


def xdotool(*args, check=True):
    return run("xdotool", *map(str, args), check=check).stdout.strip()


def find_windows(name_regex, pid=None, visible=True):
    args = ["search", "--all"]
    if visible:
        args.append("--onlyvisible")
    if pid is not None:
        args += ["--pid", str(pid)]
    args += ["--name", name_regex]
    out = xdotool(*args, check=False)
    return [int(w) for w in out.split()] if out else []


def window_size(window):
    out = run("xwininfo", "-id", str(window), check=False).stdout
    m = re.search(r"Width:\s+(\d+)\s+Height:\s+(\d+)", out, re.S)
    return (int(m.group(1)), int(m.group(2))) if m else (0, 0)


def find_window(name_regex, pid=None, timeout=15.0):
    """A top-level window; xdotool matches names without case, so the tray
    icon (named after the program) is told apart by its size."""
    def found():
        for window in find_windows(name_regex, pid):
            if min(window_size(window)) > 64:
                return window
        return None
    return wait_until(found, timeout, f"window {name_regex!r}")


def is_viewable(window):
    out = run("xwininfo", "-id", str(window), check=False).stdout
    return "IsViewable" in out


def send_close(window):
    """The close box: WM_DELETE_WINDOW, as a window manager sends it."""
    d = xdisplay.Display()
    w = d.create_resource_object("window", window)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    d.close()


def close_until(window, condition, what, tries=3, wait=3.0):
    """Presses the close box until `condition` holds. Under load Xvfb now and
    then loses a close message sent right after start-up (no program sees
    it); a user would press again, and so does this."""
    for attempt in range(tries):
        send_close(window)
        try:
            return wait_until(condition, wait if attempt + 1 < tries else 10.0, what)
        except AssertionError:
            if attempt + 1 == tries:
                raise
    return None


def screenshot(window, path):
    run("import", "-window", str(window), path)
    return path


def painted(window):
    out = run("import", "-window", str(window), "-format", "%k", "info:", check=False).stdout
    return out.strip().isdigit() and int(out.strip()) > 8


def images_differ(a, b):
    out = run("compare", "-metric", "AE", a, b, "null:", check=False)
    return float((out.stderr or "0").split()[0]) > 0


def key(*keys, window=None):
    if window is not None:
        xdotool("windowfocus", "--sync", window)
    xdotool("key", "--delay", "30", *keys)


def click(x, y, button=1):
    # No --sync: it waits for motion, and there is none when the pointer
    # is already there. The server handles the warp before the click.
    xdotool("mousemove", x, y, "click", button)


def window_origin(window):
    out = run("xwininfo", "-id", str(window)).stdout
    x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", out).group(1))
    y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", out).group(1))
    return x, y


def tray_icon_center(timeout=15.0):
    """Centre of our icon in the notification area (a small window of our
    class embedded there)."""
    pattern = re.compile(r'^\s+0x[0-9a-f]+ .*\("talvero" "talvero"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)')

    def geometry():
        for line in run("xwininfo", "-root", "-tree").stdout.splitlines():
            m = pattern.match(line)
            if m and int(m.group(1)) <= 64 and int(m.group(2)) <= 64:
                w, h, x, y = map(int, m.groups())
                return x + w // 2, y + h // 2
        return None
    return wait_until(geometry, timeout, "tray icon")


def read_ini(path):
    values = {}
    with open(path, "rb") as f:
        text = f.read().decode("gb18030")
    for line in text.splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            values[k.strip()] = v.strip()
    return values, text


def rms(path, skip_bytes=0):
    """Loudness of a raw s16le recording."""
    with open(path, "rb") as f:
        f.seek(skip_bytes)
        data = f.read()
    n = len(data) // 2
    if n == 0:
        return 0.0
    samples = struct.unpack(f"<{n}h", data[: n * 2])
    return (sum(s * s for s in samples) / n) ** 0.5


class App:
    """A copy of the program in its own folder, so its config.ini is its own."""

    started = []   # every copy started, stopped after each test

    def __init__(self, folder=None):
        self.folder = folder or tempfile.mkdtemp(prefix="app-", dir=SESSION or None)
        self.binary = os.path.join(self.folder, "talvero")
        if not os.path.exists(self.binary):
            shutil.copy2(BINARY, self.binary)
        self.config = os.path.join(self.folder, "config.ini")
        self.proc = None
        self.window = None
        self.log = os.path.join(self.folder, "talvero.log")

    def start(self, wait_window=True):
        self.proc = self.spawn()
        try:
            self._wait_started(wait_window)
        except BaseException:
            self.stop()
            raise
        return self

    def _wait_started(self, wait_window):
        if wait_window:
            self.window = find_window("^Talvero$", pid=self.proc.pid)
            # Start-up is over once the icon sits in the tray: the event loop
            # runs and has handled the window's own mapping.
            if os.environ.get("TALVERO_TRAY") == "1":
                tray_icon_center()
            # A close request that arrives before Qt has seen the window
            # mapped is lost; a painted window has seen it.
            wait_until(lambda: painted(self.window), 15, "window painted")

    def spawn(self):
        with open(self.log, "ab") as log:
            proc = subprocess.Popen([self.binary], stdout=log, stderr=log, cwd=self.folder)
        App.started.append(proc)
        return proc

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        if self.alive():
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait(10)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def run_tests(tests):
    failures = 0
    for test in tests:
        started = time.monotonic()
        try:
            try:
                test()
            except BaseException:
                with contextlib.suppress(Exception):
                    print("windows at failure:",
                          [(w, xdotool("getwindowname", w), window_size(w)) for w in find_windows(".*")])
                raise
            finally:
                for proc in App.started:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait(10)
                App.started.clear()
            print(f"PASS {test.__name__} ({time.monotonic() - started:.1f}s)", flush=True)
        except Exception as error:  # report every test, then fail
            failures += 1
            print(f"FAIL {test.__name__}: {error!r}", flush=True)
            traceback.print_exc()
            with contextlib.suppress(Exception):
                print("visible windows:", [(w, xdotool("getwindowname", w)) for w in find_windows(".*")])
            with contextlib.suppress(Exception):
                for name in os.listdir(SESSION):
                    if name.startswith("app-"):
                        log = os.path.join(SESSION, name, "talvero.log")
                        if os.path.exists(log):
                            print(open(log, errors="replace").read()[-3000:])
    raise SystemExit(1 if failures else 0)


# --- Driving the window like a user -------------------------------------

# Centres of the toolbar buttons in the window (x, y), index 0..7.
BUTTON_LEFTS = [0, 30, 70, 102, 140, 168, 212, 246]


def button_center(window, index):
    x, y = window_origin(window)
    return x + BUTTON_LEFTS[index] + 12, y + 60 + 4 + 12


def click_button(window, index, button=1):
    click(*button_center(window, index), button=button)


def popup_windows(pid, exclude=()):
    """Visible small top-level windows of the process: menus and boxes."""
    found = []
    for window in find_windows(".*", pid):
        if window in exclude:
            continue
        w, h = window_size(window)
        if 20 < h < 900 and 40 < w < 700:
            found.append(window)
    return found


def wait_popup(pid, exclude=(), timeout=10.0):
    return wait_until(lambda: (popup_windows(pid, exclude) or [None])[0], timeout, "a pop-up menu")


def choose_menu_item(menu, position, count):
    """Clicks item `position` (1-based) of a menu of `count` equal items."""
    x, y = window_origin(menu)
    w, h = window_size(menu)
    margin = 4
    item = (h - 2 * margin) / count
    click(x + w // 2, int(y + margin + item * (position - 0.5)))
    wait_until(lambda: not is_viewable(menu), 10, "menu closed")


def answer_box(pid, ok=True, timeout=10.0):
    box = find_window("^提示$", pid=pid, timeout=timeout)
    key("Return" if ok else "Escape", window=box)
    return box


def tray_click(button):
    x, y = tray_icon_center()
    click(x, y, button=button)


def type_text(text):
    xdotool("type", "--delay", "5", text)


# --- Commands of the program ---------------------------------------------

def exit_through_tray(app):
    tray_click(3)
    menu = wait_popup(app.proc.pid, exclude=(app.window,))
    choose_menu_item(menu, 4, 4)            # 退出程序
    answer_box(app.proc.pid, ok=True)
    started = time.monotonic()   # OK is pressed: from here the program is on its own
    app.proc.wait(10)
    return time.monotonic() - started


def start_reading(app, speed=5):
    click_button(app.window, 6)
    menu = wait_popup(app.proc.pid, exclude=(app.window,))
    choose_menu_item(menu, speed, 10)


def open_file(app, path):
    click_button(app.window, 2)
    dialog = wait_until(lambda: [w for w in find_windows_all(app) if w != app.window] or None,
                        10, "the open dialog")[0]
    key("ctrl+a", window=dialog)
    type_text(path)
    key("Return")
    wait_until(lambda: not is_viewable(dialog), 10, "dialog closed")


def find_windows_all(app):
    return [w for w in find_windows(".*", app.proc.pid) if min(window_size(w)) > 100]
