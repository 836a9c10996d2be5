"""A desktop that lacks parts: no tray at first, one that comes late and
goes; no sound server, one that comes back and goes away while reading; the
X server gone while reading."""

import os
import subprocess
import time
import unittest

from talvero_e2e import SESSION, App, click, close_until, novel, read_ini, rms, tray_icon, viewable, wait_until, windows

TEXT = "　　天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n" * 200


def start(test, *command, env=None, stdout=subprocess.DEVNULL):
    proc = subprocess.Popen(command, env=env, stdout=stdout, stderr=subprocess.DEVNULL)
    test.addCleanup(proc.kill)
    return proc


class Degraded(unittest.TestCase):
    def test_no_tray_then_a_late_one_then_none(self):
        app = App(self).start()
        # No tray: the close box asks, as the window could not come back.
        close_until(app.window, lambda: windows(app.proc.pid, "^提示$"), "the exit question")
        app.answer(ok=False)
        self.assertTrue(viewable(app.window) and not os.path.exists(app.config))
        tray = start(self, "trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120")
        icon = tray_icon()
        close_until(app.window, lambda: not viewable(app.window), "hidden by the close box")
        click(*icon)
        wait_until(lambda: viewable(app.window), 10, "shown by a click on the icon")
        click(*icon)
        wait_until(lambda: not viewable(app.window), 10, "hidden by a click on the icon")
        tray.terminate()
        wait_until(lambda: viewable(app.window), 10, "the window back when the tray went")

    def test_reading_survives_the_sound_server(self):
        app = App(self).start()
        app.open_file(novel("novel.txt", TEXT))
        app.read_aloud(speed=10)   # no server yet: the silent clock
        time.sleep(1)
        socket = os.environ["PULSE_SERVER"][len("unix:"):]
        os.makedirs(os.path.dirname(socket), exist_ok=True)
        env = dict(os.environ, PULSE_RUNTIME_PATH=os.path.join(SESSION, "late-pulse"))
        server = start(self, "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--disable-shm=yes", "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1",
                       "-L", "module-null-sink sink_name=late", "-L", "module-always-sink", env=env)
        wait_until(lambda: subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0, 10, "the server")
        recording = os.path.join(SESSION, "late.raw")
        with open(recording, "wb") as out:
            start(self, "parec", "-d", "late.monitor", "--format=s16le", "--rate=22050", "--channels=1", "--raw",
                  env=env, stdout=out)
        app.button(6)
        app.read_aloud(speed=10)   # read again: through the server now
        wait_until(lambda: os.path.getsize(recording) > 22050 * 4, 20, "two seconds recorded")
        wait_until(lambda: rms(recording) > 200, 20, "sound from the returned server")
        server.kill()   # gone in the middle of reading: nothing hangs
        server.wait(10)
        time.sleep(3)
        self.assertEqual(app.terminate(), 0)
        pos = int(read_ini(app.config)[0]["PlayPos"])
        self.assertTrue(pos > 40 and not TEXT[pos].isspace(), pos)

    def test_display_lost_while_reading_keeps_the_place(self):
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"], pass_fds=(write,),
                                stderr=subprocess.DEVNULL)
        self.addCleanup(xvfb.kill)
        self.addCleanup(os.environ.__setitem__, "DISPLAY", os.environ["DISPLAY"])
        os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
        app = App(self)
        with open(app.config, "wb") as f:
            f.write(f"[system]\nReadFileName={novel('lost.txt', TEXT)}\nPlayPos=100\n".encode("gb18030"))
        app.start().read_aloud(speed=10)
        time.sleep(2)
        xvfb.kill()
        self.assertEqual(app.proc.wait(10), 1)
        pos = int(read_ini(app.config)[0]["PlayPos"])
        self.assertTrue(pos > 110 and not TEXT[pos].isspace(), pos)


if __name__ == "__main__":
    unittest.main()
