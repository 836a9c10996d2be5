"""One copy at a time, also after a crash; no display, no start."""

import os
import signal
import subprocess
import unittest

from talvero_e2e import BINARY, App, popup, viewable, windows, xdotool


class Instance(unittest.TestCase):
    def test_second_start_is_refused_and_a_dead_ones_lock_taken_over(self):
        first = App(self).start()
        second = first.spawn()
        box = popup(second.pid, "^提示$")
        self.assertFalse(windows(second.pid, "^Talvero$"), "no main window for the second copy")
        xdotool("windowfocus", "--sync", box, "key", "Return")
        self.assertEqual(second.wait(10), 0)
        self.assertIsNone(first.proc.poll())
        self.assertFalse(os.path.exists(first.config), "a second start must not touch config.ini")

        first.proc.send_signal(signal.SIGKILL)
        first.proc.wait(10)
        again = App(self, first.folder).start()
        self.assertTrue(viewable(again.window))
        self.assertFalse(windows(again.proc.pid, "^提示$"))

    def test_without_a_display_one_plain_line(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        result = subprocess.run([BINARY], env=env, capture_output=True, text=True, timeout=20)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
        self.assertIn("graphical session", result.stderr)


if __name__ == "__main__":
    unittest.main()
