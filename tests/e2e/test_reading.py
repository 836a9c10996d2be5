"""Reading a GB18030 novel aloud as a user does: through the open dialog,
the real voice and sound server, the tray's exit, and the next start."""

import os
import time
import unittest

from talvero_e2e import KEYS, RECORDING, App, novel, rms, wait_until, wakeups

TEXT = ("第一回　宴桃园豪杰三结义　斩黄巾英雄首立功\n"
        "　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。及秦灭之后，楚、汉分争，"
        "又并入于汉。汉朝自高祖斩白蛇而起义，一统天下，后来光武中兴，传至献帝，遂分为三国。\n") * 40


def on_a_word(pos):
    return 0 < pos < len(TEXT) and not TEXT[pos].isspace() and TEXT[pos] not in "，。、"


class Reading(unittest.TestCase):
    def test_read_leave_resume(self):
        path = novel("sanguo.txt", TEXT)
        app = App(self).start()
        app.open_file(path)
        heard_from = os.path.getsize(RECORDING)
        app.read_aloud(speed=5)
        wait_until(lambda: os.path.getsize(RECORDING) > heard_from + 22050 * 2 * 3, 20,
                   "three seconds recorded")
        self.assertGreater(rms(RECORDING, heard_from), 200, "the recording is silent")

        # Stopped, the program sleeps: no thread keeps waking up.
        app.button(6)
        time.sleep(2)
        before = wakeups(app.proc.pid)
        time.sleep(10)
        rate = (wakeups(app.proc.pid) - before) / 10
        self.assertLess(rate, 5, f"{rate:.1f} wake-ups a second while idle")

        self.assertEqual(app.exit_through_tray(), 0)
        values, order = app.settings()
        self.assertEqual(order, KEYS)
        self.assertEqual(values["ReadFileName"], path)
        self.assertEqual(values["PlayRate"], "5")
        pos = int(values["PlayPos"])
        self.assertTrue(on_a_word(pos), f"PlayPos {pos} is not on a word")

        # The next start resumes at that word; the system's end keeps the place.
        again = App(self, app.folder).start()
        again.read_aloud(speed=10)
        time.sleep(1.5)
        self.assertEqual(again.terminate(), 0)
        values, _ = again.settings()
        self.assertGreater(int(values["PlayPos"]), pos)
        self.assertTrue(on_a_word(int(values["PlayPos"])))
        self.assertEqual(values["PlayRate"], "10")


if __name__ == "__main__":
    unittest.main()
