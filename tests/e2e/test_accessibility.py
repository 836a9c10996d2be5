"""The program as a screen reader sees it, over AT-SPI: the window, the
document's text and caret, and a toolbar button pressed by its action."""

import time
import unittest

from talvero_e2e import App, Atspi, GLib, find, novel, pumped as until, read_ini

TEXT = "第一回　宴桃园豪杰三结义😀\n\n" + "　　话说天下大势，分久必合，合久必分。\n" * 60
UNITS = len(TEXT.encode("utf-16-le")) // 2


class Accessibility(unittest.TestCase):
    def test_window_text_caret_and_a_button(self):
        app = App(self)
        path = novel("a11y.txt", TEXT)
        with open(app.config, "wb") as f:
            f.write(f"[system]\nReadFileName={path}\nPlayPos=5\n".encode("gb18030"))
        carets = []
        listener = Atspi.EventListener.new(lambda event: carets.append(event.detail1))
        listener.register("object:text-caret-moved")
        app.spawn()
        view = until(lambda: find(app.accessible(), Atspi.Role.TEXT, "正文"))
        until(lambda: Atspi.Text.get_character_count(view) == UNITS)
        self.assertEqual(Atspi.Text.get_text(view, 0, UNITS), TEXT)
        self.assertEqual(Atspi.Text.get_caret_offset(view), 5)
        Atspi.Text.set_caret_offset(view, 9)
        until(lambda: 9 in carets)
        time.sleep(0.3)
        GLib.MainContext.default().iteration(False)
        self.assertEqual(carets.count(9), 1, "one event per caret move")
        def first_line():
            return Atspi.Text.get_character_extents(view, 0, Atspi.CoordType.SCREEN).y
        top = first_line()
        app.button(1)   # 下一页, found by its name
        until(lambda: first_line() < top, "a page on")
        self.assertEqual(Atspi.Text.get_caret_offset(view), 9, "paging leaves the caret")
        self.assertEqual(app.terminate(), 0)
        self.assertEqual(read_ini(app.config)[0]["PlayPos"], "9")


if __name__ == "__main__":
    unittest.main()
