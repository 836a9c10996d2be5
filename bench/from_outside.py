#!/usr/bin/python3
"""The program as a user starts it, timed from outside against iconv.

    xvfb-run -a bench/from_outside.py build/talvero NOVEL.txt [ENCODING] [RUNS]

Each run copies the program into a folder of its own whose config.ini names
the novel with the caret 90 % deep, starts it, and watches the screen until
text shows in the lower half of the window: that is the first page. Peak
resident memory is read 10 s later, less that of the program started without
a document. Runs alternate with `iconv -f ENCODING -t UTF-16LE` on the same
file (the floor: decoding alone)."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay

BINARY, NOVEL = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
ENCODING = sys.argv[3] if len(sys.argv) > 3 else "GB18030"
RUNS = int(sys.argv[4]) if len(sys.argv) > 4 else 5


def window_of(d, pid):
    """The program's main window, by its title and process."""
    pid_atom = d.intern_atom("_NET_WM_PID")
    stack = [d.screen().root]
    while stack:
        w = stack.pop()
        try:
            prop = w.get_full_property(pid_atom, X.AnyPropertyType)
            if prop and prop.value[0] == pid and w.get_wm_name() == "Talvero" \
                    and w.get_geometry().width > 64:
                return w
            stack.extend(w.query_tree().children)
        except Exception:  # a window that went away meanwhile
            pass
    return None


def text_shows(window):
    try:
        g = window.get_geometry()
        image = window.get_image(40, g.height // 2, g.width // 2 - 40, g.height // 2 - 30,
                                 X.ZPixmap, 0xFFFFFFFF)
    except Exception:  # not mapped yet
        return False
    # Text is a few dark pixels on a light ground; a window not painted yet
    # is all black, an empty view all light.
    blue = bytes(image.data[::4])
    dark = len(blue) - len(blue.translate(None, bytes(range(0x60))))
    return 0.01 < dark / max(1, len(blue)) < 0.5


def peak_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM")) / 1024


def chars_of(path):
    out = subprocess.run(["iconv", "-f", ENCODING, "-t", "UTF-16LE", path], capture_output=True).stdout
    return len(out) // 2


def run_program(caret):
    """(first page in s, or None without a document; peak MB 10 s later)"""
    folder = tempfile.mkdtemp(prefix="talvero-outside-")
    shutil.copy2(BINARY, folder)
    config = "[system]\n" + (f"ReadFileName={NOVEL}\nPlayPos={caret}\n" if caret is not None else "")
    with open(os.path.join(folder, "config.ini"), "wb") as f:
        f.write(config.encode("gb18030"))
    d = xdisplay.Display()
    start = time.monotonic()
    proc = subprocess.Popen([os.path.join(folder, os.path.basename(BINARY))], cwd=folder,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    first = None
    try:
        window = None
        while caret is not None and first is None:
            window = window or window_of(d, proc.pid)
            if window is not None and text_shows(window):
                first = time.monotonic() - start
            if time.monotonic() - start > 60:
                raise RuntimeError("no page within 60 s")
            time.sleep(0.004)  # the watching must not take the cores it watches
        time.sleep(10)
        return first, peak_mb(proc.pid)
    finally:
        proc.kill()
        proc.wait()
        d.close()
        shutil.rmtree(folder, ignore_errors=True)


def iconv_s():
    start = time.monotonic()
    subprocess.run(["iconv", "-f", ENCODING, "-t", "UTF-16LE", NOVEL], stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def main():
    size_mb = os.path.getsize(NOVEL) / 2**20
    caret = chars_of(NOVEL) * 9 // 10
    _, empty = run_program(None)
    print(f"{os.path.basename(NOVEL)}: {size_mb:.0f} MB; the program without a document: {empty:.0f} MB")
    iconv_s()  # the page cache
    ratios, added = [], []
    for i in range(RUNS):
        floor = iconv_s()
        first, peak = run_program(caret)
        ratios.append(first / floor)
        added.append(peak - empty)
        print(f"run {i + 1}: iconv {floor * 1000:.0f} ms, first page {first * 1000:.0f} ms "
              f"({ratios[-1]:.2f}x), +{added[-1]:.0f} MB ({added[-1] / size_mb:.2f}x the file)")
    print(f"median {statistics.median(ratios):.2f}x iconv, worst {max(ratios):.2f}x; "
          f"memory at most {max(added) / size_mb:.2f}x the file")


if __name__ == "__main__":
    main()
