"""The program through the accessibility bus (AT-SPI), as a screen reader
sees and drives it."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

from talvero_e2e import BINARY, SESSION, read_ini, run_tests  # noqa: E402

TEXT = ("第一回　宴桃园豪杰三结义😀\n\n"
        + "　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n" * 60)
UNITS = len(TEXT.encode("utf-16-le")) // 2


def pump(seconds):
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def until(condition, timeout=15.0, what="condition"):
    deadline = time.monotonic() + timeout
    context = GLib.MainContext.default()
    while True:
        while context.iteration(False):
            pass
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


def descendants(acc, depth=0):
    """The tree under acc; objects that went away meanwhile (a closed menu)
    are left out."""
    if acc is None or depth > 12:
        return
    try:
        children = [acc.get_child_at_index(i) for i in range(acc.get_child_count())]
    except GLib.Error:
        return
    yield acc
    for child in children:
        try:
            skip = child is None or child.get_role() == Atspi.Role.LIST   # the 131 voices
        except GLib.Error:
            continue
        if not skip:
            yield from descendants(child, depth + 1)


def find(root, role, name=None):
    for acc in descendants(root):
        try:
            if (role is None or acc.get_role() == role) and (name is None or acc.get_name() == name):
                return acc
        except GLib.Error:
            continue
    return None


def press(acc):
    for i in range(Atspi.Action.get_n_actions(acc)):
        if Atspi.Action.get_action_name(acc, i) in ("press", "Press", "click"):
            return Atspi.Action.do_action(acc, i)
    return Atspi.Action.do_action(acc, 0)


class Program:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="app-", dir=SESSION)
        shutil.copy2(BINARY, os.path.join(self.folder, "talvero"))
        self.novel = os.path.join(self.folder, "novel.txt")
        with open(self.novel, "wb") as f:
            f.write(TEXT.encode("gb18030"))
        with open(os.path.join(self.folder, "config.ini"), "wb") as f:
            f.write(f"[system]\nReadFileName={self.novel}\nPlayPos=5\nPlayRate=10\n".encode("gb18030"))
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.proc = subprocess.Popen([os.path.join(self.folder, "talvero")], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = until(self._application, 20, "the program on the bus")
        self.window = until(lambda: find(self.app, Atspi.Role.FRAME, "Talvero")
                            or find(self.app, Atspi.Role.FILLER, "Talvero"), 10, "window Talvero")

    def _application(self):
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.proc.pid:
                return app
        return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            self.proc.wait(10)


class Popups:
    """Pop-up menus and boxes appear as windows of their own; a stand-alone
    menu is found through its "showing" event."""

    def __init__(self):
        self.shown = []
        self.listener = Atspi.EventListener.new(self._event)
        self.listener.register("object:state-changed:showing")
        self.carets = []
        self.caret_listener = Atspi.EventListener.new(self._caret)
        self.caret_listener.register("object:text-caret-moved")

    def _event(self, event):
        if event.detail1 == 1 and event.source is not None:
            self.shown.append(event.source)

    def _caret(self, event):
        self.carets.append(event.detail1)

    def menu(self, first_item):
        def found():
            for acc in reversed(self.shown):
                item = find(acc, Atspi.Role.MENU_ITEM, first_item)
                if item:
                    return item.get_parent()
            return None
        return until(found, 10, f"a menu with {first_item}")


def test_window_view_buttons_and_reading():
    popups = Popups()
    program = Program()
    try:
        window = program.window
        view = until(lambda: find(window, Atspi.Role.TEXT, "正文"), 10, "the view")
        until(lambda: Atspi.Text.get_character_count(view) == UNITS, 10, "the whole text")
        assert Atspi.Text.get_text(view, 0, UNITS) == TEXT
        assert Atspi.Text.get_caret_offset(view) == 5

        label = find(window, Atspi.Role.LABEL, program.novel)
        assert label is not None, "the file-name label"
        assert find(window, None, "广告") is not None, "the banner"
        buttons = {b.get_name(): b for b in descendants(window)
                   if b.get_role() in (Atspi.Role.PUSH_BUTTON, Atspi.Role.TOGGLE_BUTTON)}
        for name in ["上一页", "下一页", "打开文件", "关闭文件", "自动翻页", "字体大小", "语音阅读", "语音设置"]:
            assert name in buttons, (name, sorted(buttons))

        # Next page through its action: the caret stays where it is.
        press(buttons["下一页"])
        pump(0.3)
        assert Atspi.Text.get_caret_offset(view) == 5

        # Font size through its action and the menu that it opens.
        press(buttons["字体大小"])
        menu = popups.menu("字体大小10")
        items = [menu.get_child_at_index(i) for i in range(menu.get_child_count())]
        assert [i.get_name() for i in items][-1] == "字体大小30"
        press(items[4])   # 字体大小14
        pump(0.3)

        # Reading aloud: the caret moves word by word, forward, in the text.
        press(buttons["语音阅读"])
        menu = popups.menu("语音阅读速度1")
        press(menu.get_child_at_index(9))   # speed 10
        reading = buttons["语音阅读"].get_state_set()
        until(lambda: len([c for c in popups.carets if c > 5]) >= 3, 20, "caret moves while reading")
        moves = [c for c in popups.carets if c > 5]
        assert moves == sorted(moves), moves
        assert all(0 < c < UNITS for c in moves)
        assert reading.contains(Atspi.StateType.CHECKED) or \
            buttons["语音阅读"].get_state_set().contains(Atspi.StateType.CHECKED)

        # A question box is exposed too: page turning asks to stop reading.
        press(buttons["自动翻页"])
        question = "如果要自动翻页,将会停止语音阅读,您确定吗?"
        box = until(lambda: next((a for a in reversed(popups.shown)
                                  if find(a, Atspi.Role.LABEL, question)), None),
                    10, "the question box")
        # Qt's own buttons speak Chinese like the rest of the program.
        box_buttons = {b.get_name(): b for b in descendants(box)
                       if b.get_role() == Atspi.Role.PUSH_BUTTON}
        assert set(box_buttons) == {"确定", "取消"}, sorted(box_buttons)
        press(box_buttons["取消"])
        pump(0.3)
    finally:
        program.stop()
    values, _ = read_ini(os.path.join(program.folder, "config.ini"))
    assert values["FontSizes"] == "14"
    assert int(values["PlayPos"]) > 5


if __name__ == "__main__":
    run_tests([test_window_view_buttons_and_reading])
