"""A voice installed for the desktop's speech service (Festival, through
Speech Dispatcher) is listed after eSpeak NG's, reads aloud with the caret
on the words, and stays chosen across a restart."""

import os
import socket
import subprocess
import time
import unittest

from talvero_e2e import RECORDING, App, novel, read_ini, rms, wait_until

TEXT = "Once upon a time there was a reader. It read every novel aloud, word by word.\n" * 30
ESPEAK_VOICES = len(subprocess.run(["espeak-ng", "--voices"], capture_output=True, text=True).stdout.splitlines()) - 1


def festival_answers():
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", 1314)) == 0


class Voices(unittest.TestCase):
    def test_festival_voice_reads_and_stays_chosen(self):
        festival = subprocess.Popen(["festival", "--server"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(festival.kill)
        wait_until(festival_answers, 20, "the Festival server")
        app = App(self)
        with open(app.config, "wb") as f:   # the first voice after eSpeak's
            f.write(f"[system]\nReadFileName={novel('tale.txt', TEXT)}\nPlayPos=0\n"
                    f"curLanguage={ESPEAK_VOICES}\n".encode())
        app.start()
        time.sleep(3)   # the service lists its voices in the background
        heard_from = os.path.getsize(RECORDING)
        app.read_aloud(speed=5)
        wait_until(lambda: rms(RECORDING, heard_from) > 200, 30, "sound from Festival")
        time.sleep(3)
        self.assertEqual(app.terminate(), 0)
        values, _ = read_ini(app.config)
        self.assertEqual(values["curLanguage"], str(ESPEAK_VOICES))
        self.assertGreater(int(values["PlayPos"]), 0, "the caret follows Festival's words")
        again = App(self, app.folder).start()
        time.sleep(3)
        self.assertEqual(again.terminate(), 0)
        self.assertEqual(read_ini(again.config)[0]["curLanguage"], str(ESPEAK_VOICES))


if __name__ == "__main__":
    unittest.main()
