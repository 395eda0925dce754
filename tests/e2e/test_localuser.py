"""Hostile local users and careless scripts, with the program run as an
ordinary user (not root): endless and silent standard input, a squatter in a
shared runtime folder, files that only look like the program's own, a pipe and
/dev/zero as stores, many connections to the local socket, and --listen with an
output nobody reads."""

import os
import signal
import socket
import subprocess
import sys
import threading
import time

import lan
from lan import LanTestCase

NO_DISPLAY = {"QT_QPA_PLATFORM": "xcb"}
MIB = 1024  # in KiB, as resident_kib() counts


class LocalUserTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.b = self.lan.add_host("PC-B")
        self.probe_b = self.lan.probe(self.b)

    def start_user(self, args=(), xdg=None, **kw):
        """Starts the program in PC-A as the ordinary user."""
        xdg = xdg or self.lan.new_xdg()
        return self.lan.start(self.a, args, xdg=xdg, wrapper=self.lan.ordinary_user(xdg), **kw)

    def assert_ends_on(self, inst, sig, status):
        """The signal ends the program within a second, with the exit status."""
        started = time.monotonic()
        inst.signal(sig)
        self.assertEqual(inst.wait_exit(), status, inst.log_tail())
        self.assertLess(time.monotonic() - started, 1.0)

    def test_send_reads_a_bounded_input_and_hears_signals(self):
        yes = subprocess.Popen(["yes", "endlos"], stdout=subprocess.PIPE)
        self.addCleanup(yes.kill)
        inst = self.start_user(["--send", "10.77.0.2"], env=NO_DISPLAY, stdin=yes.stdout)
        yes.stdout.close()
        self.assertEqual(inst.wait_exit(), 1, inst.log_tail())
        self.assertEqual(inst.matching("palavero:"), ["palavero: Text der Nachricht ist zu lang, bitte kürzen!"])
        # Input that never comes: SIGTERM and Ctrl+C end it at once.
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                inst = self.start_user(["--send", "10.77.0.2"], env=NO_DISPLAY, stdin=subprocess.PIPE)
                time.sleep(0.5)
                self.assertTrue(inst.running)
                self.assert_ends_on(inst, sig, 1)
                inst.proc.stdin.close()
        self.assertEqual(self.probe_b.datagrams(src=self.a.addr), [])

    def test_a_runtime_folder_others_can_write_is_not_used(self):
        # Another user (root here) listens on the name in a folder of mode 1777.
        shared = os.path.join(self.lan.tmp, "shared-runtime")
        os.mkdir(shared)
        os.chmod(shared, 0o1777)
        os.chmod(self.lan.tmp, 0o711)
        squatter = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        squatter.bind(os.path.join(shared, "PALAVERO.MUTEX"))
        os.chmod(os.path.join(shared, "PALAVERO.MUTEX"), 0o777)
        squatter.listen(16)
        heard = []

        def listen():
            while True:
                try:
                    conn, _ = squatter.accept()
                except OSError:
                    return
                heard.append(conn.recv(65536))
                conn.close()
        threading.Thread(target=listen, daemon=True).start()
        self.addCleanup(squatter.close)

        xdg = self.lan.new_xdg()
        wrapper = self.lan.ordinary_user(xdg)
        env = {"XDG_RUNTIME_DIR": shared}
        inst = self.start_ready(self.a, self.probe_b, xdg=xdg, env=env, wrapper=wrapper)
        r = self.lan.run(self.a, ["--send", "10.77.0.2", "GEHEIM passwort 1234"], xdg=xdg,
                         env=dict(env, **NO_DISPLAY), wrapper=wrapper)
        self.assertEqual(r.returncode, 0, r.stderr)
        got = self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVERODATA:GEHEIM passwort 1234")
        self.assertEqual(got[0].sport, 3030)  # handed to the user's own instance
        # A second start finds that instance too, and nothing reached the squatter.
        r = self.lan.run(self.a, [], xdg=xdg, env=env, wrapper=wrapper)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(inst.running)
        self.assertEqual(heard, [])

    def test_a_start_removes_only_its_own_leftovers(self):
        xdg = self.lan.new_xdg()
        config = os.path.join(xdg.config, "Korvel")
        xdg.write_settings(Sound="0")
        os.makedirs(xdg.data_dir)
        users = [os.path.join(xdg.data_dir, "PalaveroTB.ini.backup"),
                 os.path.join(xdg.data_dir, "PalaveroGroups.ini.sicher"),
                 os.path.join(config, "Palavero.conf.backup")]
        leftovers = [os.path.join(xdg.data_dir, "PalaveroGroups.ini.Ab12Cd.palavero-neu"),
                     os.path.join(config, "Palavero.conf.x1Y2z3.palavero-neu")]
        an_hour_ago = time.time() - 3600
        for path in users + leftovers:
            with open(path, "wb") as f:
                f.write(b"[Sicher]\r\nMembers=PC1,\r\n")
            os.utime(path, (an_hour_ago, an_hour_ago))
        inst = self.start_ready(self.a, self.probe_b, xdg=xdg, wrapper=self.lan.ordinary_user(xdg))
        self.sync(inst, self.probe_b)
        for path in users:
            with open(path, "rb") as f:
                self.assertEqual(f.read(), b"[Sicher]\r\nMembers=PC1,\r\n")
        for path in leftovers:
            self.assertFalse(os.path.exists(path), path)

    def test_a_pipe_or_dev_zero_as_stores_neither_hangs_nor_grows_the_start(self):
        for kind in ("fifo", "zero"):
            with self.subTest(kind=kind):
                xdg = self.lan.new_xdg()
                config = os.path.join(xdg.config, "Korvel")
                os.makedirs(config)
                os.makedirs(xdg.data_dir)
                stores = [os.path.join(config, "Palavero.conf"), os.path.join(xdg.data_dir, "PalaveroGroups.ini")]
                for path in stores:
                    if kind == "fifo":
                        os.mkfifo(path)
                    else:
                        os.symlink("/dev/zero", path)
                mark = self.probe_b.mark()
                inst = self.start_user(xdg=xdg)
                # The settings did not hold up the first connect, the group file
                # is said to be unreadable, with the reason.
                self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROCONNECT:", since=mark)
                inst.wait_line("box: Die Gruppendatei kann nicht gelesen werden: " + stores[1])
                inst.wait_line("Unter diesem Namen besteht keine gewöhnliche Datei.")
                self.assertLess(inst.resident_kib(), 200 * MIB)
                self.assert_ends_on(inst, signal.SIGTERM, 0)

    def test_many_connections_to_the_local_socket_keep_memory_flat(self):
        xdg = self.lan.new_xdg()
        inst = self.start_ready(self.a, self.probe_b, xdg=xdg, wrapper=self.lan.ordinary_user(xdg))
        self.sync(inst, self.probe_b)
        before = inst.resident_kib()
        # 3 000 connections of the same user, each sending 128 KiB and holding on.
        flood = (
            "import os, resource, socket, sys, time\n"
            "resource.setrlimit(resource.RLIMIT_NOFILE, (8192, 8192))\n"
            "path, conns, taken = sys.argv[1], [], 0\n"
            "for i in range(3000):\n"
            "    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
            "    s.setblocking(False)\n"
            "    try:\n"
            "        s.connect(path)\n"
            "        taken += s.send(b'SEND\\n' + b'\\0\\0\\0\\1\\0\\1\\0\\0' + b'x' * (128 * 1024))\n"
            "    except OSError:\n"
            "        pass\n"
            "    conns.append(s)\n"
            "print(taken, flush=True)\n"
            "time.sleep(3)\n")
        helper = subprocess.run(self.lan.ordinary_user(xdg) + [sys.executable, "-c", flood,
                                os.path.join(xdg.runtime, "PALAVERO.MUTEX")],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(helper.returncode, 0, helper.stderr)
        after = inst.resident_kib()
        print("\nresident memory of the instance: %.1f MB before, %.1f MB after 3 000 connections "
              "(%.1f MB sent to it)" % (before / MIB, after / MIB, int(helper.stdout) / MIB / 1024),
              file=sys.stderr)
        self.assertLess(after - before, 20 * MIB)
        # Still the instance: a second start asks it to show itself.
        r = self.lan.run(self.a, [], xdg=xdg, wrapper=self.lan.ordinary_user(xdg))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(inst.running)
        self.assert_ends_on(inst, signal.SIGTERM, 0)

    def test_listen_goes_on_when_its_output_is_not_read(self):
        listener = self.start_user(["--listen"], env=NO_DISPLAY, stdout="unread")
        self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROCONNECT:")
        # Far more than the pipe and the listener's queue take.
        for i in range(80):
            self.probe_b.send(b"PC-B:KVPALAVERODATA:" + (b"%02d" % i) * 4000, self.a.addr)
            time.sleep(0.005)
        listener.wait_line("palavero: Die Ausgabe wird nicht gelesen")
        # Presence goes on.
        mark = self.probe_b.mark()
        self.probe_b.broadcast(b"PC-B:KVPALAVEROCONNECT:")
        self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROREFRESH:", since=mark)
        self.assertLess(listener.resident_kib(), 100 * MIB)
        mark = self.probe_b.mark()
        self.assert_ends_on(listener, signal.SIGTERM, 0)
        self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVERODISCONNECT:", since=mark)
        self.assertEqual(listener.count("palavero: Die Ausgabe wird nicht gelesen"), 1)
        self.assertEqual(listener.count("Nachrichten nicht ausgegeben"), 1)


if __name__ == "__main__":
    lan.main()
