"""The desktop session's manager, spoken to over XSMP as a real one does
(libSM and libICE through ctypes): a checkpoint saves and the program goes
on; the session's end saves and ends it."""

import ctypes as C
import os
import select
import time
import unittest

from talvero_e2e import App, wait_until

ICE = C.CDLL("libICE.so.6")
SM = C.CDLL("libSM.so.6")
P = C.c_void_p
SAVE_BOTH, INTERACT_NONE = 2, 0
Register = C.CFUNCTYPE(C.c_int, P, P, C.c_char_p)
Done = C.CFUNCTYPE(None, P, P, C.c_int)
Close = C.CFUNCTYPE(None, P, P, C.c_int, P)
Ignore = C.CFUNCTYPE(None, P, P, C.c_int, P)   # properties and the like: the manager keeps none


class Callbacks(C.Structure):
    _fields_ = [(f"{name}{part}", kind) for name in
                ["register", "interact", "interact_done", "save_request", "phase2", "save_done",
                 "close", "set", "delete", "get"]
                for part, kind in (("", P), ("_data", P))]


NewClient = C.CFUNCTYPE(C.c_int, P, P, C.POINTER(C.c_ulong), C.POINTER(Callbacks), P)
HostAuth = C.CFUNCTYPE(C.c_int, C.c_char_p)
IoError = C.CFUNCTYPE(None, P)
for name, result in [("IceComposeNetworkIdList", C.c_char_p), ("IceAcceptConnection", P),
                     ("SmsGenerateClientID", P)]:
    getattr(ICE if name.startswith("Ice") else SM, name).restype = result


class Manager:
    """A session manager with one client at a time."""

    def __init__(self):
        self.client = None
        self.registered = False
        self.saves_done = 0
        self.closed = False
        self.keep = [NewClient(self._new_client), HostAuth(lambda host: 1), Register(self._register),
                     Done(self._save_done), Close(self._close), Ignore(lambda *a: None),
                     IoError(lambda conn: None)]
        ICE.IceSetIOErrorHandler(self.keep[6])   # the default one exits
        error = C.create_string_buffer(256)
        assert SM.SmsInitialize(b"talvero-test", b"1", self.keep[0], None, self.keep[1], 256, error)
        count, listeners = C.c_int(), P()
        assert ICE.IceListenForConnections(C.byref(count), C.byref(listeners), 256, error), error.value
        self.listeners = C.cast(listeners, C.POINTER(P))[: count.value]
        for listener in self.listeners:
            ICE.IceSetHostBasedAuthProc(P(listener), self.keep[1])
        self.address = ICE.IceComposeNetworkIdList(count, listeners).decode()
        self.connections = {}

    def _new_client(self, sms, data, mask, callbacks, failure):
        self.client = sms
        cb = callbacks.contents
        cb.register, cb.save_done, cb.close = [C.cast(f, P).value for f in self.keep[2:5]]
        cb.set = cb.delete = cb.get = cb.interact = cb.interact_done = cb.save_request = \
            cb.phase2 = C.cast(self.keep[5], P).value
        mask[0] = (1 << 10) - 1
        return 1

    def _register(self, sms, data, previous):
        SM.SmsRegisterClientReply(P(sms), P(SM.SmsGenerateClientID(P(sms))))
        SM.SmsSaveYourself(P(sms), 1, 0, INTERACT_NONE, 0)   # the first, local save
        self.registered = True
        return 1

    def _save_done(self, sms, data, success):
        self.saves_done += 1
        SM.SmsSaveComplete(P(sms))

    def _close(self, sms, data, count, reasons):
        self.closed = True

    def pump(self, seconds=0.05):
        fds = {ICE.IceGetListenConnectionNumber(P(l)): l for l in self.listeners}
        ready, _, _ = select.select(list(fds) + list(self.connections), [], [], seconds)
        for fd in ready:
            if fd in fds:
                status = C.c_int()
                conn = ICE.IceAcceptConnection(P(fds[fd]), C.byref(status))
                if conn:
                    self.connections[ICE.IceConnectionNumber(P(conn))] = conn
            elif ICE.IceProcessMessages(P(self.connections[fd]), None, None) != 0:
                del self.connections[fd]

    def until(self, condition, what, timeout=15):
        return wait_until(lambda: self.pump() or condition(), timeout, what)

    def save_yourself(self, shutdown):
        SM.SmsSaveYourself(P(self.client), SAVE_BOTH, int(shutdown), INTERACT_NONE, 0)


class Session(unittest.TestCase):
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
