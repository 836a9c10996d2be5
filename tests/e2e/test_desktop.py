"""The desktop around the program: a staged install validated and run from
a read-only prefix; the session's manager, spoken to over XSMP as a real one
does (libSM and libICE through ctypes): a checkpoint saves and the program
goes on, the session's end saves and ends it."""

import ctypes as C
import os
import select
import subprocess
import tempfile
import time
import unittest

from talvero_e2e import SESSION, App, run, wait_until, windows

BUILD = os.environ["TALVERO_BUILD_DIR"]
APP_ID = os.environ["TALVERO_APP_ID"]
ICE, SM, P = C.CDLL("libICE.so.6"), C.CDLL("libSM.so.6"), C.c_void_p
SAVE_LOCAL, SAVE_BOTH, INTERACT_NONE = 1, 2, 0
ICE.IceComposeNetworkIdList.restype, ICE.IceAcceptConnection.restype, SM.SmsGenerateClientID.restype = C.c_char_p, P, P
CALLBACKS = ["register", "interact", "interact_done", "save_request", "phase2", "save_done", "close", "set", "delete", "get"]


class Callbacks(C.Structure):
    _fields_ = [(f"{name}{part}", P) for name in CALLBACKS for part in ("", "_data")]


class Manager:
    """A session manager with one client."""

    def __init__(self):
        self.client, self.registered, self.saves_done, self.connections = None, False, 0, {}
        self.keep = [C.CFUNCTYPE(C.c_int, P, P, C.POINTER(C.c_ulong), C.POINTER(Callbacks), P)(self._new_client),
                     C.CFUNCTYPE(C.c_int, C.c_char_p)(lambda host: 1),
                     C.CFUNCTYPE(C.c_int, P, P, C.c_char_p)(self._register),
                     C.CFUNCTYPE(None, P, P, C.c_int)(self._save_done),
                     C.CFUNCTYPE(None, P, P, C.c_int, P)(lambda *a: None),   # everything else
                     C.CFUNCTYPE(None, P)(lambda conn: None)]                 # I/O errors: the default exits
        ICE.IceSetIOErrorHandler(self.keep[5])
        error, count, listeners = C.create_string_buffer(256), C.c_int(), P()
        assert SM.SmsInitialize(b"talvero-test", b"1", self.keep[0], None, self.keep[1], 256, error)
        assert ICE.IceListenForConnections(C.byref(count), C.byref(listeners), 256, error), error.value
        self.listeners = C.cast(listeners, C.POINTER(P))[: count.value]
        for listener in self.listeners:
            ICE.IceSetHostBasedAuthProc(P(listener), self.keep[1])
        self.address = ICE.IceComposeNetworkIdList(count, listeners).decode()

    def _new_client(self, sms, data, mask, callbacks, failure):
        self.client, cb = sms, callbacks.contents
        for name in CALLBACKS:
            keep = {"register": 2, "save_done": 3}.get(name, 4)
            setattr(cb, name, C.cast(self.keep[keep], P).value)
        mask[0] = (1 << 10) - 1
        return 1

    def _register(self, sms, data, previous):
        SM.SmsRegisterClientReply(P(sms), P(SM.SmsGenerateClientID(P(sms))))
        SM.SmsSaveYourself(P(sms), SAVE_LOCAL, 0, INTERACT_NONE, 0)   # the first save a client gets
        self.registered = True
        return 1

    def _save_done(self, sms, data, success):
        self.saves_done += 1
        SM.SmsSaveComplete(P(sms))

    def until(self, condition, what):
        def pump():
            fds = {ICE.IceGetListenConnectionNumber(P(listener)): listener for listener in self.listeners}
            for fd in select.select(list(fds) + list(self.connections), [], [], 0.05)[0]:
                if fd in fds:
                    conn = ICE.IceAcceptConnection(P(fds[fd]), C.byref(C.c_int()))
                    self.connections[ICE.IceConnectionNumber(P(conn))] = conn
                elif ICE.IceProcessMessages(P(self.connections[fd]), None, None) != 0:
                    del self.connections[fd]
            return condition()
        return wait_until(pump, 15, what)

    def save_yourself(self, shutdown):
        SM.SmsSaveYourself(P(self.client), SAVE_BOTH, int(shutdown), INTERACT_NONE, 0)


class Desktop(unittest.TestCase):
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

    def test_checkpoint_saves_and_the_end_ends(self):
        manager = Manager()
        app = App(self, env=dict(os.environ, SESSION_MANAGER=manager.address))
        app.spawn()
        manager.until(lambda: manager.registered and manager.saves_done == 1, "registration")
        self.assertFalse(os.path.exists(app.config), "a local save writes no settings")
        manager.save_yourself(shutdown=False)
        manager.until(lambda: manager.saves_done == 2, "the checkpoint")
        self.assertTrue(os.path.exists(app.config), "a checkpoint saves the settings")
        time.sleep(0.5)
        self.assertIsNone(app.proc.poll(), "and the program goes on")
        os.remove(app.config)
        manager.save_yourself(shutdown=True)
        manager.until(lambda: manager.saves_done == 3, "the save before the end")
        SM.SmsDie(P(manager.client))
        manager.until(lambda: app.proc.poll() is not None, "the program to end")
        self.assertEqual(app.proc.returncode, 0)
        self.assertIn(b"[system]", open(app.config, "rb").read())


if __name__ == "__main__":
    unittest.main()
