"""Reading aloud as a user does: a GB18030 novel through the open dialog, the
real voice and sound server, the tray's exit and the next start; a Festival
voice through Speech Dispatcher, chosen at start-up once listed, heard again
when the service is killed and after a new start, kept at the next start. One
copy at a time, also after a crash; no start without a display."""

import os
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from talvero_e2e import BINARY, KEYS, RECORDING, App, novel, popup, read_ini, rms, viewable, wait_until, windows, xdotool

TEXT = ("第一回　宴桃园豪杰三结义　斩黄巾英雄首立功\n"
        "　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。及秦灭之后，楚、汉分争，"
        "又并入于汉。汉朝自高祖斩白蛇而起义，一统天下，后来光武中兴，传至献帝，遂分为三国。\n") * 40

ENGLISH = "Once upon a time there was a reader. It read every novel aloud, word by word.\n" * 30
ESPEAK_VOICES = len(subprocess.run(["espeak-ng", "--voices"], capture_output=True, text=True).stdout.splitlines()) - 1


def on_a_word(pos):
    return 0 < pos < len(TEXT) and not TEXT[pos].isspace() and TEXT[pos] not in "，。、"


def festival_answers():
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", 1314)) == 0


def own_service():
    """An environment whose first copy starts a speech service of its own."""
    return dict(os.environ, XDG_RUNTIME_DIR=tempfile.mkdtemp(dir=os.environ["TALVERO_SESSION_DIR"]))


def service_logs(env):
    logs = [os.path.join(os.environ["TALVERO_SESSION_DIR"], "festival.log"),
            os.path.join(env["XDG_RUNTIME_DIR"], "speech-dispatcher", "log", "speech-dispatcher.log")]
    return "\n".join(open(p, errors="replace").read()[-3000:] for p in logs if os.path.exists(p))


def heard(what, timeout=10, sound=True):
    """Half a second of sound (or of silence), the last one recorded."""
    wait_until(lambda: (rms(RECORDING, os.path.getsize(RECORDING) - 22050) > 200) == sound, timeout, what)


def start_festival(test):
    """Festival for one test's own speech service, which looks for it at its start."""
    log = open(os.path.join(os.environ["TALVERO_SESSION_DIR"], "festival.log"), "w")
    # In a group of its own: each client is served by a child of its own.
    festival = subprocess.Popen(["festival", "--server"], stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    test.addCleanup(log.close)
    test.addCleanup(subprocess.run, ["pkill", "-KILL", "-g", str(festival.pid)])   # whatever is left of it
    wait_until(festival_answers, 20, "the Festival server")
    test.assertIsNone(festival.poll(), "Festival's port was taken")


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

        self.assertEqual(app.exit_through_tray(), 0)
        values, order = read_ini(app.config)
        self.assertEqual(order, KEYS)
        self.assertEqual(values["ReadFileName"], path)
        self.assertEqual(values["PlayRate"], "5")
        pos = int(values["PlayPos"])
        self.assertTrue(on_a_word(pos), f"PlayPos {pos} is not on a word")

        # The next start resumes at that word; the system's end keeps the place.
        again = App(self, app.folder).start()
        heard_from = os.path.getsize(RECORDING)
        again.read_aloud(speed=10)
        wait_until(lambda: rms(RECORDING, heard_from) > 200, 20, "reading on")
        time.sleep(1)
        self.assertEqual(again.terminate(), 0)
        values, _ = read_ini(again.config)
        self.assertGreater(int(values["PlayPos"]), pos)
        self.assertTrue(on_a_word(int(values["PlayPos"])))
        self.assertEqual(values["PlayRate"], "10")

    def test_service_voice_chosen_at_start_reads_outlives_its_service_and_stays_chosen(self):
        start_festival(self)
        env = own_service()
        app = App(self, env=env)
        with open(app.config, "wb") as f:   # the first voice after eSpeak's
            f.write(f"[system]\nReadFileName={novel('tale.txt', ENGLISH)}\nPlayPos=0\n"
                    f"curLanguage={ESPEAK_VOICES}\n".encode())
        app.start()
        time.sleep(3)   # the service lists its voices in the background
        heard_from = os.path.getsize(RECORDING)
        app.read_aloud(speed=5)
        try:
            wait_until(lambda: rms(RECORDING, heard_from) > 200, 30, "sound from Festival")
        except AssertionError as e:
            raise AssertionError(f"{e}\n{service_logs(env)}") from None
        time.sleep(3)
        for _ in range(2):   # the second time one that the reader started
            pid = open(os.path.join(env["XDG_RUNTIME_DIR"], "speech-dispatcher", "pid", "speech-dispatcher.pid")).read()
            os.kill(int(pid), signal.SIGKILL)
            time.sleep(2)   # what the service had sent is over
            heard("sound again after the service was killed", 8)
            app.button(6)
            heard("the stop", 5, sound=False)   # else the sound from before it would pass for the new start's
            app.read_aloud(speed=5)
            heard("sound after a stop and a new start")
        self.assertEqual(app.terminate(), 0)
        values, _ = read_ini(app.config)
        self.assertEqual(values["curLanguage"], str(ESPEAK_VOICES))
        self.assertGreater(int(values["PlayPos"]), 0, "the caret follows Festival's words")
        again = App(self, app.folder, env=own_service()).start()
        time.sleep(3)
        self.assertEqual(again.terminate(), 0)
        self.assertEqual(read_ini(again.config)[0]["curLanguage"], str(ESPEAK_VOICES))

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
        self.assertTrue(viewable(again.window) and not windows(again.proc.pid, "^提示$"))

    def test_without_a_display_one_plain_line(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        result = subprocess.run([BINARY], env=env, capture_output=True, text=True, timeout=20)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.strip().splitlines(), ["Talvero needs a graphical session: no display could be opened."])


if __name__ == "__main__":
    unittest.main()
