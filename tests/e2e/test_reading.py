"""Reading a Chinese novel aloud as a user does, with the tray and sound."""

import os
import signal
import time

from talvero_e2e import (SESSION, App, answer_box, choose_menu_item, click_button, close_until,
                         exit_through_tray, images_differ, is_viewable, open_file, read_ini, rms,
                         run_tests, screenshot, start_reading, tray_click, wait_popup,
                         wait_until)

RECORDING = os.environ["TALVERO_RECORDING"]
NOVEL = os.path.join(SESSION, "sanguo.txt")
TEXT = ("第一回　宴桃园豪杰三结义　斩黄巾英雄首立功\n"
        "　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。及秦灭之后，楚、汉分争，又并入于汉。"
        "汉朝自高祖斩白蛇而起义，一统天下，后来光武中兴，传至献帝，遂分为三国。\n") * 40
KEYS = ["ReadFileName", "PlayPos", "PlayRate", "AutoRate", "FontSizes", "curLanguage"]

with open(NOVEL, "wb") as f:
    f.write(TEXT.encode("gb18030"))


def recording_size():
    return os.path.getsize(RECORDING)


def test_first_start_read_exit_and_resume():
    app = App().start()
    assert not os.path.exists(app.config)
    open_file(app, NOVEL)
    heard_from = recording_size()
    start_reading(app, speed=5)
    # Reading for a few seconds puts sound into the null sink.
    wait_until(lambda: recording_size() > heard_from + 22050 * 2 * 3, 20, "three seconds recorded")
    loudness = rms(RECORDING, heard_from)
    assert loudness > 200, f"the recording is silent (rms {loudness:.0f})"
    took = exit_through_tray(app)
    assert app.proc.returncode == 0
    assert took < 1.0, f"exit while reading took {took:.2f}s"

    values, text = read_ini(app.config)
    assert [line.split("=")[0] for line in text.splitlines()[1:]] == KEYS, text
    assert values["ReadFileName"] == NOVEL
    assert values["PlayRate"] == "5"
    assert values["curLanguage"] == "0"
    pos = int(values["PlayPos"])
    assert 0 < pos < len(TEXT), pos
    assert not TEXT[pos].isspace() and TEXT[pos] not in "，。、", f"PlayPos {pos} is not a word"

    # The next start: same document, same caret; reading resumes there.
    again = App(app.folder).start()
    start_reading(again, speed=10)
    time.sleep(1.5)
    again.proc.send_signal(signal.SIGTERM)   # the system's end also keeps the place
    assert again.proc.wait(5) == 0
    values2, _ = read_ini(again.config)
    assert int(values2["PlayPos"]) >= pos, (values2["PlayPos"], pos)
    assert values2["PlayRate"] == "10"


def test_tray_shows_hides_and_menus():
    app = App().start()
    close_until(app.window, lambda: not is_viewable(app.window), "hidden by the close box")
    tray_click(1)
    wait_until(lambda: is_viewable(app.window), 10, "shown by a left click")
    tray_click(1)
    wait_until(lambda: not is_viewable(app.window), 10, "hidden by a left click")
    tray_click(3)
    menu = wait_popup(app.proc.pid, exclude=(app.window,))
    choose_menu_item(menu, 1, 4)            # 显示窗口
    wait_until(lambda: is_viewable(app.window), 10, "shown from the menu")
    # Cancel on the exit question leaves everything as it was.
    tray_click(3)
    choose_menu_item(wait_popup(app.proc.pid, exclude=(app.window,)), 4, 4)
    answer_box(app.proc.pid, ok=False)
    time.sleep(0.3)
    assert app.alive() and not os.path.exists(app.config)
    exit_through_tray(app)
    assert os.path.exists(app.config)


def test_automatic_page_turning_scrolls_but_keeps_the_caret():
    app = App().start()
    open_file(app, NOVEL)
    before = screenshot(app.window, os.path.join(app.folder, "before.png"))
    click_button(app.window, 4)
    choose_menu_item(wait_popup(app.proc.pid, exclude=(app.window,)), 1, 10)   # 1 s a line
    after = os.path.join(app.folder, "after.png")
    wait_until(lambda: images_differ(before, screenshot(app.window, after)), 10, "the view scrolled")
    app.proc.send_signal(signal.SIGTERM)
    assert app.proc.wait(5) == 0
    values, _ = read_ini(app.config)
    assert values["PlayPos"] == "0"
    assert values["AutoRate"] == "1"


def test_caret_reaches_the_last_word_when_the_audio_ends():
    short = os.path.join(SESSION, "short.txt")
    text = "Hello world, this is a short test.\n"
    with open(short, "w", encoding="utf-8") as f:
        f.write(text)
    app = App().start()
    open_file(app, short)
    # The English voice: the last entry of the list is not Chinese.
    heard_from = recording_size()
    start_reading(app, speed=10)
    wait_until(lambda: rms(RECORDING, heard_from) > 200, 20, "sound")

    def ended():
        size = recording_size()
        tail = max(heard_from, size - 22050)   # the last half second
        return size - heard_from > 22050 and rms(RECORDING, tail - tail % 2) < 30
    wait_until(ended, 30, "the audio to end")
    app.proc.send_signal(signal.SIGTERM)
    assert app.proc.wait(5) == 0
    values, _ = read_ini(app.config)
    assert int(values["PlayPos"]) == text.index("test"), values["PlayPos"]


if __name__ == "__main__":
    run_tests([test_first_start_read_exit_and_resume, test_tray_shows_hides_and_menus,
               test_automatic_page_turning_scrolls_but_keeps_the_caret,
               test_caret_reaches_the_last_word_when_the_audio_ends])
