"""A desktop without a notification area and without a sound server."""

import os
import signal
import subprocess
import time

from talvero_e2e import (SESSION, App, answer_box, click_button, close_until, find_windows,
                         is_viewable, open_file, read_ini, rms, run_tests, send_close,
                         start_reading, tray_icon_center, wait_until)

NOVEL = os.path.join(SESSION, "novel.txt")
TEXT = "　　天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n" * 200
with open(NOVEL, "wb") as f:
    f.write(TEXT.encode("gb18030"))


def test_close_asks_to_leave_without_a_tray():
    app = App().start()
    close_until(app.window, lambda: find_windows("^提示$", pid=app.proc.pid), "the exit question")
    box = answer_box(app.proc.pid, ok=False)
    wait_until(lambda: not is_viewable(box), 10, "question closed")
    assert is_viewable(app.window) and app.alive()
    assert not os.path.exists(app.config)
    send_close(app.window)
    answer_box(app.proc.pid, ok=True)
    assert app.proc.wait(10) == 0
    values, _ = read_ini(app.config)
    assert values["PlayRate"] == "7"


def test_reading_goes_on_without_sound():
    app = App().start()
    open_file(app, NOVEL)
    start_reading(app, speed=10)
    time.sleep(3)   # reading time: the caret moves on the silent clock meanwhile
    app.proc.send_signal(signal.SIGTERM)
    assert app.proc.wait(5) == 0
    values, _ = read_ini(app.config)
    pos = int(values["PlayPos"])
    assert pos > 5, f"the caret did not follow the words without sound ({pos})"
    assert not TEXT[pos].isspace()


def start_sound_server(socket):
    """A PulseAudio server on the address the program was given, with a
    null sink and a recorder on its monitor."""
    runtime = os.path.join(SESSION, "late-pulse")
    os.makedirs(runtime, exist_ok=True)
    env = dict(os.environ, PULSE_RUNTIME_PATH=runtime, PULSE_SERVER=f"unix:{socket}")
    server = subprocess.Popen(
        ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
         "--disable-shm=yes", "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1",
         "-L", "module-null-sink sink_name=late_null", "-L", "module-always-sink"],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until(lambda: subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0,
               10, "the sound server")
    recording = os.path.join(SESSION, "late.raw")
    recorder = subprocess.Popen(["parec", "-d", "late_null.monitor", "--format=s16le", "--rate=22050",
                                 "--channels=1", "--raw"], env=env, stdout=open(recording, "wb"),
                                stderr=subprocess.DEVNULL)
    return server, recorder, recording


def test_sound_comes_back_at_the_next_start_of_reading():
    app = App().start()
    open_file(app, NOVEL)
    start_reading(app, speed=10)      # no server: the silent clock
    time.sleep(1)
    socket = os.environ["PULSE_SERVER"][len("unix:"):]
    server, recorder, recording = start_sound_server(socket)
    try:
        click_button(app.window, 6)   # stop
        start_reading(app, speed=10)  # and read again: through the server now
        wait_until(lambda: os.path.getsize(recording) > 22050 * 2 * 2, 20, "two seconds recorded")
        wait_until(lambda: rms(recording) > 200, 20, "sound from the returned server")
        # The server goes away in the middle of reading: nothing hangs, and
        # the caret goes on.
        server.kill()
        server.wait(10)
        time.sleep(2)
        app.proc.send_signal(signal.SIGTERM)
        assert app.proc.wait(5) == 0
        assert int(read_ini(app.config)[0]["PlayPos"]) > 20
    finally:
        for proc in (recorder, server):
            if proc.poll() is None:
                proc.terminate()
                proc.wait(10)


def test_tray_that_appears_late_is_used():
    app = App().start()
    tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                             "--width", "120", "--height", "24", "--SetDockType", "true"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        tray_icon_center(timeout=15)
        # Now the close box hides without asking.
        close_until(app.window, lambda: not is_viewable(app.window), "hidden")
        assert app.alive()
        # The tray goes away: the hidden window comes back rather than be lost.
        tray.terminate()
        tray.wait(10)
        wait_until(lambda: is_viewable(app.window), 10, "window back when the tray left")
    finally:
        if tray.poll() is None:
            tray.kill()
            tray.wait(10)


if __name__ == "__main__":
    run_tests([test_close_asks_to_leave_without_a_tray, test_reading_goes_on_without_sound,
               test_sound_comes_back_at_the_next_start_of_reading,
               test_tray_that_appears_late_is_used])
