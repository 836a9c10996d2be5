"""Start-up as a user sees it: one instance, the window, the close box."""

import os
import signal

from talvero_e2e import App, close_until, find_window, find_windows, is_viewable, key, run_tests


def test_second_start_shows_notice_and_ends():
    with App() as first:
        assert is_viewable(first.window)
        second = first.spawn()
        box = find_window("^提示$", pid=second.pid)
        # Only the notice: the second copy shows no main window.
        assert not find_windows("^Talvero$", pid=second.pid)
        key("Return", window=box)
        assert second.wait(10) == 0
        assert first.alive()
        assert not os.path.exists(first.config), "a second start must not touch config.ini"


def test_close_box_hides_and_process_lives_on():
    with App() as app:
        close_until(app.window, lambda: not is_viewable(app.window), "window hidden")
        assert app.alive()
        assert not os.path.exists(app.config)


def test_crashed_instance_leaves_no_lock_behind():
    app = App().start()
    app.proc.send_signal(signal.SIGKILL)
    app.proc.wait(10)
    # The lock of the dead copy does not stop the next start.
    with App(app.folder) as again:
        assert is_viewable(again.window)
        assert not find_windows("^提示$", pid=again.proc.pid)


if __name__ == "__main__":
    run_tests([test_second_start_shows_notice_and_ends, test_close_box_hides_and_process_lives_on,
               test_crashed_instance_leaves_no_lock_behind])
