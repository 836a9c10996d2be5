"""Native Wayland: sway, headless, with waybar as the tray, as a user runs
them; the program started as a Wayland session starts it. Its item and menu
are driven over D-Bus as waybar drives them; windows are seen in sway's tree."""

import glob
import json
import os
import pwd
import shutil
import subprocess
import tempfile
import time
import unittest

from talvero_e2e import SESSION, wait_until
from test_tray import ITEM, LABELS, call, click, menu, registered

BINARY = os.environ["TALVERO_BIN"]


class Sway:
    """A headless compositor; as root it runs as nobody, as sway refuses root."""

    def __init__(self, test):
        # Outside the session's folder, which only its owner may enter.
        self.dir = tempfile.mkdtemp(prefix="talvero-sway-")
        with open(os.path.join(self.dir, "config"), "w") as f:
            f.write("output HEADLESS-1 resolution 1280x800\nxwayland disable\n")
        command = ["sway", "-c", os.path.join(self.dir, "config")]
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.dir, nobody.pw_uid, nobody.pw_gid)
            command = ["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups"] + command
        env = {"PATH": os.environ["PATH"], "HOME": self.dir, "XDG_RUNTIME_DIR": self.dir,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}
        self.log = open(os.path.join(SESSION, "sway.log"), "w")
        self.proc = subprocess.Popen(command, env=env, stdout=self.log, stderr=self.log)
        test.addCleanup(self.stop)
        self.display = os.path.join(self.dir, "wayland-1")
        self.ipc = wait_until(lambda: glob.glob(os.path.join(self.dir, "sway-ipc.*")), 10, "sway")[0]
        wait_until(lambda: os.path.exists(self.display), 10, "sway's display")
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
        self.env.update(WAYLAND_DISPLAY=self.display, XDG_SESSION_TYPE="wayland")

    def windows(self, pid):
        """Names of the process's windows that sway shows."""
        tree = json.loads(subprocess.run(["swaymsg", "-s", self.ipc, "-t", "get_tree"], capture_output=True).stdout)

        def walk(node):
            if node.get("pid") == pid:
                yield node["name"]
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from walk(child)
        return list(walk(tree))

    def close(self, pid):
        """The close request a user's key binding sends."""
        subprocess.run(["swaymsg", "-s", self.ipc, f"[pid={pid}]", "kill"], capture_output=True)

    def stop(self):
        self.proc.kill()
        self.proc.wait(10)
        shutil.rmtree(self.dir, ignore_errors=True)


def waybar(test, sway):
    """waybar with its tray alone; its log, which names failed menu layouts."""
    config, log = os.path.join(SESSION, "waybar.json"), os.path.join(SESSION, f"waybar-{time.monotonic_ns()}.log")
    with open(config, "w") as f:
        json.dump({"layer": "top", "height": 24, "modules-right": ["tray"]}, f)
    with open(log, "w") as out:
        proc = subprocess.Popen(["waybar", "-c", config], env=sway.env, stdout=out, stderr=out)
    test.addCleanup(proc.kill)
    return proc, log


class Wayland(unittest.TestCase):
    def test_waybar_late_draws_our_menu_goes_and_comes_back(self):
        sway = Sway(self)
        folder = tempfile.mkdtemp(prefix="app-", dir=SESSION)
        proc = subprocess.Popen([BINARY], cwd=folder, env=sway.env, stderr=subprocess.DEVNULL)
        self.addCleanup(proc.kill)
        wait_until(lambda: sway.windows(proc.pid) == ["Talvero"], 15, "the window")
        service = f"org.kde.StatusNotifierItem-{proc.pid}-1"
        bar, log = waybar(self, sway)   # a panel that comes up after the program
        wait_until(lambda: f"{service}/StatusNotifierItem" in registered(), 10, "the item in waybar")
        self.assertEqual(menu(service)[0], [(label, 0) for label in LABELS])
        call(service, "/StatusNotifierItem", ITEM, "ContextMenu", 100, 10, timeout=5)
        time.sleep(1)
        self.assertEqual(sway.windows(proc.pid), ["Talvero"], "no menu of ours as a window")
        for item, shown in [(2, []), (1, ["Talvero"])]:
            click(service, item)
            wait_until(lambda: sway.windows(proc.pid) == shown, 5, f"item {item}")
        self.assertNotIn("Getting layout failed", open(log).read())

        sway.close(proc.pid)
        wait_until(lambda: sway.windows(proc.pid) == [], 5, "hidden by the close request")
        bar.kill()
        wait_until(lambda: sway.windows(proc.pid) == ["Talvero"], 3, "the window back")
        sway.close(proc.pid)   # no tray: asks instead of hiding
        wait_until(lambda: "提示" in sway.windows(proc.pid), 5, "the exit question")
        sway.close(proc.pid)   # the box closed: no exit
        wait_until(lambda: sway.windows(proc.pid) == ["Talvero"], 5, "the question gone")
        self.assertIsNone(proc.poll())
        waybar(self, sway)
        wait_until(lambda: f"{service}/StatusNotifierItem" in registered(), 10, "the item again")
        sway.close(proc.pid)
        wait_until(lambda: sway.windows(proc.pid) == [], 5, "hidden again")


if __name__ == "__main__":
    unittest.main()
