"""The notification area coming and going: no tray at first, one that
appears late, and one that goes away while the window is hidden."""

import os
import subprocess
import unittest

from talvero_e2e import App, click, close_until, tray_icon, viewable, wait_until, windows


class Tray(unittest.TestCase):
    def test_no_tray_then_a_late_one_then_none(self):
        app = App(self).start()
        # No tray: the close box asks, as the window could not come back.
        close_until(app.window, lambda: windows(app.proc.pid, "^提示$"), "the exit question")
        app.answer(ok=False)
        self.assertTrue(viewable(app.window))
        self.assertFalse(os.path.exists(app.config))

        tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                                 "pixel", "--width", "120", "--height", "24"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(tray.kill)
        icon = tray_icon()
        close_until(app.window, lambda: not viewable(app.window), "hidden by the close box")
        click(*icon)
        wait_until(lambda: viewable(app.window), 10, "shown by a click on the icon")
        click(*icon)
        wait_until(lambda: not viewable(app.window), 10, "hidden by a click on the icon")

        tray.terminate()
        tray.wait(10)
        wait_until(lambda: viewable(app.window), 10, "the window back when the tray went")
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()
