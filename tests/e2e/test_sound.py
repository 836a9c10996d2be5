"""The sound server missing, coming back and going away while reading: the
caret goes on throughout, and the sound returns when the server does."""

import os
import subprocess
import time
import unittest

from talvero_e2e import SESSION, App, novel, read_ini, rms, wait_until

TEXT = "　　天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n" * 200


def sound_server(test, socket):
    """A PulseAudio server on the address the program was given, with a
    recorder on its null sink."""
    env = dict(os.environ, PULSE_RUNTIME_PATH=os.path.join(SESSION, "late-pulse"))
    os.makedirs(os.path.dirname(socket), exist_ok=True)
    server = subprocess.Popen(
        ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
         "--disable-shm=yes", "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1",
         "-L", "module-null-sink sink_name=late", "-L", "module-always-sink"],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    test.addCleanup(server.kill)
    wait_until(lambda: subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0,
               10, "the sound server")
    recording = os.path.join(SESSION, "late.raw")
    recorder = subprocess.Popen(["parec", "-d", "late.monitor", "--format=s16le", "--rate=22050",
                                 "--channels=1", "--raw"], env=env, stdout=open(recording, "wb"))
    test.addCleanup(recorder.kill)
    return server, recording


class Sound(unittest.TestCase):
    def test_reading_survives_the_sound_server(self):
        app = App(self).start()
        app.open_file(novel("novel.txt", TEXT))
        app.read_aloud(speed=10)   # no server yet: the silent clock
        time.sleep(1)
        server, recording = sound_server(self, os.environ["PULSE_SERVER"][len("unix:"):])
        app.button(6)
        app.read_aloud(speed=10)   # read again: through the server now
        wait_until(lambda: os.path.getsize(recording) > 22050 * 4, 20, "two seconds recorded")
        wait_until(lambda: rms(recording) > 200, 20, "sound from the returned server")
        server.kill()   # gone in the middle of reading: nothing hangs
        server.wait(10)
        time.sleep(2)
        self.assertEqual(app.terminate(), 0)
        pos = int(read_ini(app.config)[0]["PlayPos"])
        self.assertGreater(pos, 40)
        self.assertFalse(TEXT[pos].isspace())


if __name__ == "__main__":
    unittest.main()
