"""Installing like a desktop application: a staged install, validated, run
from a read-only prefix, and the Debian package."""

import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile

from talvero_e2e import SESSION, find_window, run, run_tests, wait_until

BUILD = os.environ["TALVERO_BUILD_DIR"]
APP_ID = os.environ["TALVERO_APP_ID"]
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]


def staged_install():
    stage = tempfile.mkdtemp(prefix="stage-", dir=SESSION)
    prefix = "/opt/talvero test/usr"   # a prefix with a space in it
    env = dict(os.environ, DESTDIR=stage)
    run("cmake", "--install", BUILD, "--prefix", prefix, env=env)
    return stage + prefix


def test_staged_install_is_complete_and_valid():
    root = staged_install()
    desktop = f"{root}/share/applications/{APP_ID}.desktop"
    metainfo = f"{root}/share/metainfo/{APP_ID}.metainfo.xml"
    assert os.access(f"{root}/bin/talvero", os.X_OK)
    run("desktop-file-validate", desktop)
    result = run("appstreamcli", "validate", "--no-net", "--pedantic", metainfo, check=False)
    assert result.returncode == 0, result.stdout + result.stderr
    entry = open(desktop, encoding="utf-8").read()
    assert re.search(r"^Exec=talvero$", entry, re.M)
    assert re.search(r"^Icon=" + re.escape(APP_ID) + "$", entry, re.M)
    assert "MimeType=text/plain;" in entry and "Categories=Office;Viewer;" in entry
    assert re.search(r"^GenericName=\S*[\u4e00-\u9fff]", entry, re.M)
    assert os.path.exists(f"{root}/share/icons/hicolor/scalable/apps/{APP_ID}.svg")
    for size in SIZES:
        png = f"{root}/share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png"
        assert f"{size} x {size}" in run("file", png).stdout, png
    xml = open(metainfo, encoding="utf-8").read()
    assert f"<id>{APP_ID}</id>" in xml and "<screenshot" in xml and "<release " in xml


def test_installed_program_keeps_settings_in_the_users_folder():
    root = staged_install()
    subprocess.run(["chmod", "-R", "a-w", root], check=True)
    try:
        proc = subprocess.Popen([f"{root}/bin/talvero"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            find_window("^Talvero$", pid=proc.pid)
            proc.send_signal(signal.SIGTERM)
            assert proc.wait(10) == 0
        finally:
            if proc.poll() is None:
                proc.kill()
        user_config = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvero", "config.ini")
        assert os.path.exists(user_config)
        assert "[system]" in open(user_config, encoding="gb18030").read()
        assert not os.path.exists(f"{root}/bin/config.ini")
    finally:
        subprocess.run(["chmod", "-R", "u+w", root], check=True)


def test_debian_package():
    out = tempfile.mkdtemp(prefix="deb-", dir=SESSION)
    run("cpack", "-G", "DEB", "-B", out, "--config", f"{BUILD}/CPackConfig.cmake")
    debs = glob.glob(f"{out}/*.deb")
    assert len(debs) == 1, debs
    deb = debs[0]
    fields = {name: run("dpkg-deb", "-f", deb, name).stdout.strip()
              for name in ["Package", "Version", "Architecture", "Depends", "Section", "Maintainer"]}
    assert fields["Package"] == "talvero"
    assert fields["Architecture"] == run("dpkg", "--print-architecture").stdout.strip()
    for needed in ["libqt6widgets6", "libqt6svg6", "libespeak-ng1", "espeak-ng-data",
                   "libuchardet0", "libpulse0", "qt6-qpa-plugins", "qt6-translations-l10n",
                   "fonts-wqy-microhei"]:
        assert needed in fields["Depends"], (needed, fields["Depends"])
    files = run("dpkg-deb", "-c", deb).stdout
    for path in ["./usr/bin/talvero", f"./usr/share/applications/{APP_ID}.desktop",
                 f"./usr/share/metainfo/{APP_ID}.metainfo.xml",
                 f"./usr/share/icons/hicolor/256x256/apps/{APP_ID}.png",
                 "./usr/share/doc/talvero/copyright"]:
        assert path in files, path
    if shutil.which("lintian"):
        report = run("lintian", "--no-tag-display-limit", deb, check=False)
        errors = [line for line in report.stdout.splitlines() if line.startswith("E:")]
        assert not errors, "\n".join(errors)


if __name__ == "__main__":
    run_tests([test_staged_install_is_complete_and_valid,
               test_installed_program_keeps_settings_in_the_users_folder, test_debian_package])
