"""Session events from a fake logind on a private system bus."""

import os
import socket
import subprocess
import threading
import time
import unittest

import lan
from lan import LanTestCase

SYSTEM_BUS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                               "..", "platform", "system-bus.conf")


class FakeLogind:
    """A private system bus (dbus-daemon) with fakelogind on it; commands go to
    fakelogind's standard input, which confirms each with "done <command>"."""

    def __init__(self, test_lan, host):
        binary = os.environ.get("FAKELOGIND", "")
        if not binary or not os.access(binary, os.X_OK):
            raise unittest.SkipTest("FAKELOGIND is not set to the built fakelogind")
        if not os.path.exists(SYSTEM_BUS_CONF):
            raise unittest.SkipTest("system-bus.conf is missing")
        socket_path = os.path.join(test_lan.tmp, "system_bus_socket")
        bus = test_lan.spawn(host, ["dbus-daemon", "--config-file=" + SYSTEM_BUS_CONF,
                                    "--address=unix:path=" + socket_path,
                                    "--print-address", "--nofork"],
                             stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        self.address = bus.stdout.readline().decode().strip()
        if not self.address:
            raise AssertionError("dbus-daemon did not start")
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        self.proc = test_lan.spawn(host, [binary], env=env, stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE)
        self._lines = []
        self._cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        self._wait("ready")

    def _read(self):
        for raw in self.proc.stdout:
            with self._cond:
                self._lines.append(raw.decode().strip())
                self._cond.notify_all()
        with self._cond:
            self._cond.notify_all()

    def _wait(self, line, timeout=10):
        deadline = time.monotonic() + timeout
        with self._cond:
            while line not in self._lines:
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None:
                    raise AssertionError("fakelogind: no %r; output: %r" % (line, self._lines))
                self._cond.wait(min(left, 0.5))

    def run(self, command):
        self.proc.stdin.write((command + "\n").encode())
        self.proc.stdin.flush()
        self._wait("done " + command)


class SessionTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        self.logind = FakeLogind(self.lan, self.a)
        self.inst = self.start_ready(self.a, self.probe,
                                     env={"DBUS_SYSTEM_BUS_ADDRESS": self.logind.address})
        # A known peer ends the repeated announcement, which would reopen the
        # endpoint while the session is locked.
        self.probe.send(b"PC-P:KVPALAVEROREFRESH:", self.a.addr)
        self.inst.wait_line("palavero.targets: target added: PC-P 10.77.0.2")
        self.sync(self.inst, self.probe)

    def port_closed(self, timeout=5):
        """True once a datagram to A's port is refused (ICMP port unreachable)."""
        s = self.p.udp_socket()
        s.settimeout(0.3)
        s.connect((self.a.addr, 3030))
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline:
                try:
                    s.send(b"PC-P:PORTCHECK")
                    s.recv(100)
                except ConnectionRefusedError:
                    return True
                except socket.timeout:
                    pass
            return False
        finally:
            s.close()

    def answers_connect(self):
        mark = self.probe.mark()
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        self.probe.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROREFRESH:", since=mark)
        return True

    def test_session_events(self):
        rows = [
            # (command, datagram broadcast, endpoint open afterwards)
            ("lock", b"PC-A:KVPALAVERODISCONNECT:", False),
            ("unlock", b"PC-A:KVPALAVEROCONNECT:", True),
            ("active 0", b"PC-A:KVPALAVERODISCONNECT:", False),
            ("active 1", b"PC-A:KVPALAVEROCONNECT:", True),
            ("sleep 1", b"PC-A:KVPALAVERODISCONNECT:", True),
            ("sleep 0", b"PC-A:KVPALAVEROCONNECT:", True),
        ]
        for command, datagram, open_after in rows:
            with self.subTest(command=command):
                mark = self.probe.mark()
                self.logind.run(command)
                got = self.probe.wait(src=self.a.addr, since=mark)
                self.assertEqual(got[0].data, datagram)
                self.assertEqual(got[0].dst, "10.77.0.255")
                if open_after:
                    self.assertTrue(self.answers_connect())
                    self.sync(self.inst, self.probe)
                else:
                    self.assertTrue(self.port_closed(), "endpoint still open after " + command)
                    self.assertEqual(
                        [d.data for d in self.probe.datagrams(src=self.a.addr, since=mark)],
                        [datagram])
        # The target list is the same as before.
        self.assertEqual(self.inst.count("target removed"), 0, self.inst.log_tail())
        self.assertEqual(self.inst.count("target added:"), 1, self.inst.log_tail())

    def test_end_of_session(self):
        mark = self.probe.mark()
        self.logind.run("shutdown")
        got = self.probe.wait(src=self.a.addr, since=mark)
        self.assertEqual(got[0].data, b"PC-A:KVPALAVERODISCONNECT:")
        self.inst.wait_line("palavero.status: Sending Logout Message")


if __name__ == "__main__":
    lan.main()
