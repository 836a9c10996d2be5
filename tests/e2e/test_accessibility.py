"""The program as a screen reader sees it, over AT-SPI: the window, the
document's text and caret, and a toolbar button pressed by its action."""

import os
import time
import unittest

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

from talvero_e2e import App, novel, read_ini, wait_until  # noqa: E402

TEXT = "第一回　宴桃园豪杰三结义😀\n\n" + "　　话说天下大势，分久必合，合久必分。\n" * 60
UNITS = len(TEXT.encode("utf-16-le")) // 2


def until(condition, what="the accessibility bus"):
    """wait_until, with the bus's events delivered meanwhile."""
    def pumped():
        GLib.MainContext.default().iteration(False)
        return condition()
    return wait_until(pumped, 15, what)


def find(acc, role, name, depth=0):
    """The first accessible of that role and name below acc, not in a list (the voices)."""
    if acc is None or depth > 10 or acc.get_role() == Atspi.Role.LIST:
        return None
    if acc.get_role() == role and acc.get_name() == name:
        return acc
    children = (find(acc.get_child_at_index(i), role, name, depth + 1) for i in range(acc.get_child_count()))
    return next(filter(None, children), None)


class Accessibility(unittest.TestCase):
    def test_window_text_caret_and_a_button(self):
        app = App(self, env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
        path = novel("a11y.txt", TEXT)
        with open(app.config, "wb") as f:
            f.write(f"[system]\nReadFileName={path}\nPlayPos=5\n".encode("gb18030"))
        carets = []
        listener = Atspi.EventListener.new(lambda event: carets.append(event.detail1))
        listener.register("object:text-caret-moved")
        app.spawn()
        desktop = Atspi.get_desktop(0)
        me = until(lambda: next((a for a in (desktop.get_child_at_index(i)
                                             for i in range(desktop.get_child_count()))
                                 if a is not None and a.get_process_id() == app.proc.pid), None))
        view = until(lambda: find(me, Atspi.Role.TEXT, "正文"))
        until(lambda: Atspi.Text.get_character_count(view) == UNITS)
        self.assertEqual(Atspi.Text.get_text(view, 0, UNITS), TEXT)
        self.assertEqual(Atspi.Text.get_caret_offset(view), 5)
        Atspi.Text.set_caret_offset(view, 9)
        until(lambda: 9 in carets)
        time.sleep(0.3)
        GLib.MainContext.default().iteration(False)
        self.assertEqual(carets.count(9), 1, "one event per caret move")
        button = find(me, Atspi.Role.PUSH_BUTTON, "下一页")
        self.assertIsNotNone(button, "the toolbar's buttons by their names")
        def first_line():
            return Atspi.Text.get_character_extents(view, 0, Atspi.CoordType.SCREEN).y
        top = first_line()
        Atspi.Action.do_action(button, 0)
        until(lambda: first_line() < top, "a page on")
        self.assertEqual(Atspi.Text.get_caret_offset(view), 9, "paging leaves the caret")
        self.assertEqual(app.terminate(), 0)
        self.assertEqual(read_ini(app.config)[0]["PlayPos"], "9")


if __name__ == "__main__":
    unittest.main()
