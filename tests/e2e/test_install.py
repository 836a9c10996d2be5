"""Installing like a desktop application: a staged install validated and
run from a read-only prefix."""

import os
import subprocess
import tempfile
import unittest

from talvero_e2e import SESSION, run, wait_until, windows

BUILD = os.environ["TALVERO_BUILD_DIR"]
APP_ID = os.environ["TALVERO_APP_ID"]


class Install(unittest.TestCase):
    def test_staged_install_validates_and_runs_read_only(self):
        stage = tempfile.mkdtemp(prefix="stage-", dir=SESSION)
        root = stage + "/opt/talvero test/usr"   # a prefix with a space
        run("cmake", "--install", BUILD, "--prefix", "/opt/talvero test/usr",
            env=dict(os.environ, DESTDIR=stage))
        desktop = f"{root}/share/applications/{APP_ID}.desktop"
        run("desktop-file-validate", desktop)
        result = run("appstreamcli", "validate", "--no-net", "--pedantic",
                     f"{root}/share/metainfo/{APP_ID}.metainfo.xml", check=False)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        entry = open(desktop, encoding="utf-8").read()
        self.assertRegex(entry, r"(?m)^Exec=talvero$")
        # It takes no file, so it must not offer to open one.
        self.assertNotIn("MimeType", entry)
        for size in [16, 32, 48, 256]:
            png = f"{root}/share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png"
            self.assertIn(f"{size} x {size}", run("file", png).stdout)

        subprocess.run(["chmod", "-R", "a-w", root], check=True)
        self.addCleanup(subprocess.run, ["chmod", "-R", "u+w", stage])
        proc = subprocess.Popen([f"{root}/bin/talvero"], stderr=subprocess.DEVNULL)
        self.addCleanup(proc.kill)
        wait_until(lambda: windows(proc.pid, "^Talvero$"), 15, "the window")
        proc.terminate()
        self.assertEqual(proc.wait(10), 0)
        user_config = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvero", "config.ini")
        self.assertIn("[system]", open(user_config, encoding="gb18030").read())
        self.assertFalse(os.path.exists(f"{root}/bin/config.ini"))


if __name__ == "__main__":
    unittest.main()
