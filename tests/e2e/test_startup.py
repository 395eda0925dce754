"""Start-up and shutdown of real processes: single instance, port, computer name,
signals, a port that is taken."""

import os
import signal
import socket
import subprocess
import time

import lan
from lan import LanTestCase

PORT_BOX = "palavero.boxes: box: UDP-Verbindung auf Port 3030 kann nicht eingerichtet werden."


class StartupTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)

    def test_ending_signals_broadcast_disconnect_and_exit_0(self):
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=sig.name):
                inst = self.start_ready(self.a, self.probe)
                self.sync(inst, self.probe)
                mark = self.probe.mark()
                inst.signal(sig)
                self.assertEqual(inst.wait_exit(), 0, inst.log_tail())
                got = self.probe.wait(src=self.a.addr, since=mark)
                self.assertEqual(got[0].data, b"PC-A:KVPALAVERODISCONNECT:")
                self.assertEqual(got[0].dst, "10.77.0.255")
                self.assertEqual(got[0].sport, 3030)

    def test_second_start_on_the_same_host_ends_and_the_first_runs_on(self):
        first = self.start_ready(self.a, self.probe)
        mark = self.probe.mark()
        second = self.lan.start(self.a, xdg=first.xdg)
        self.assertEqual(second.wait_exit(), 0, second.log_tail())
        self.assertTrue(first.running)
        # The first still answers; the second never announced itself.
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        self.probe.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROREFRESH:", since=mark)
        self.sync(first, self.probe)
        self.assertEqual(self.probe.datagrams(src=self.a.addr, since=mark,
                                              data=b"PC-A:KVPALAVEROCONNECT:"), [])
        self.assertEqual(second.count("palavero.boxes"), 0, second.log_tail())

    def test_instances_with_own_runtime_folders_run_side_by_side(self):
        # The single-instance socket lives in XDG_RUNTIME_DIR: another folder
        # on another host is another computer.
        b = self.lan.add_host("PC-B")
        first = self.start_ready(self.a, self.probe)
        second = self.start_ready(b, self.probe)
        self.assertTrue(first.running and second.running)

    def test_port_option(self):
        probe_3031 = self.lan.probe(self.p, 3031)
        mark = probe_3031.mark()
        mark_3030 = self.probe.mark()
        inst = self.lan.start(self.a, ["-p3031"])
        got = probe_3031.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROCONNECT:", count=2,
                              since=mark)
        # Every datagram goes to the port given: the first connect leaves from
        # the endpoint still on its default port 3030, the second from 3031.
        self.assertEqual([d.sport for d in got[:2]], [3030, 3031])
        # It listens on 3031: a connect there is answered there.
        mark = probe_3031.mark()
        probe_3031.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        got = probe_3031.wait(src=self.a.addr, since=mark)
        self.assertEqual(got[0].data, b"PC-A:KVPALAVEROREFRESH:")
        self.assertEqual((got[0].sport, got[0].dst), (3031, "10.77.0.255"))
        inst.wait_line("palavero.targets: target added: PC-P 10.77.0.2")
        self.sync(inst, probe_3031)
        # Nothing goes to 3030, and 3030 is not answered.
        self.probe.send(b"PC-Q:KVPALAVEROCONNECT:", self.a.addr)
        self.sync(inst, probe_3031)
        self.assertEqual(self.probe.datagrams(src=self.a.addr, since=mark_3030), [])
        self.assertEqual(inst.count("target added: PC-Q"), 0, inst.log_tail())

    def test_umlaut_computer_name_travels_as_typed(self):
        mark = self.probe.mark()
        inst = self.lan.start(self.a, hostname="Büro")
        got = self.probe.wait(src=self.a.addr, data=b"B\xfcro:KVPALAVEROCONNECT:", count=2,
                              since=mark)
        self.assertTrue(inst.running)
        mark = self.probe.mark()
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        got = self.probe.wait(src=self.a.addr, since=mark)
        self.assertEqual(got[0].data, b"B\xfcro:KVPALAVEROREFRESH:")
        inst.signal(signal.SIGTERM)
        self.assertEqual(inst.wait_exit(), 0)
        self.probe.wait(src=self.a.addr, data=b"B\xfcro:KVPALAVERODISCONNECT:", since=mark)

    def test_port_in_use_shows_the_box_once_and_recovers(self):
        holder = self.lan.bind(self.a, 3030)
        mark = self.probe.mark()
        inst = self.lan.start(self.a)
        inst.wait_line(PORT_BOX)
        self.assertTrue(inst.running)
        self.assertEqual(self.probe.datagrams(src=self.a.addr, since=mark), [])
        holder.close()
        # The repeated announcement (every 10 s while nobody is known) opens
        # the endpoint once the port is free.
        got = self.probe.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROCONNECT:", since=mark,
                              timeout=13)
        self.assertEqual(got[0].sport, 3030)
        self.sync(inst, self.probe)
        self.assertEqual(inst.count("palavero.boxes"), 1, inst.log_tail())
        self.assertTrue(inst.running)

    def test_port_taken_on_ipv6_only_shows_the_box(self):
        def bind_ipv6_only():
            s = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
            s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
            s.bind(("::", 3030))
            return s
        holder = lan.in_netns(self.a.ns, bind_ipv6_only)
        self.lan.sockets.append(holder)
        mark = self.probe.mark()
        inst = self.lan.start(self.a)
        inst.wait_line(PORT_BOX)
        self.assertTrue(inst.running)
        self.assertEqual(self.probe.datagrams(src=self.a.addr, since=mark), [])

    def listening_ports(self, host):
        out = subprocess.run(["ip", "netns", "exec", host.ns, "ss", "-Hlun"],
                             capture_output=True, text=True, check=True).stdout
        return [line.split()[3] for line in out.splitlines() if line.strip()]

    def test_start_without_network_listens_and_announces_when_one_appears(self):
        # Only loopback is up: a broadcast finds no network.
        self.lan.set_link(self.a, up=False)
        mark = self.probe.mark()
        inst = self.lan.start(self.a)
        deadline = time.monotonic() + lan.DEFAULT_TIMEOUT
        while "0.0.0.0:3030" not in self.listening_ports(self.a):
            self.assertLess(time.monotonic(), deadline, self.listening_ports(self.a))
            time.sleep(0.1)
        time.sleep(1)
        self.assertEqual(inst.count("palavero.boxes"), 0, inst.log_tail())
        self.assertTrue(inst.running)

        self.lan.set_link(self.a, up=True)
        self.probe.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROCONNECT:", since=mark, timeout=6)
        # It answers a peer, and messages arrive.
        since = self.probe.mark()
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        self.probe.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROREFRESH:", since=since)
        self.sync(inst, self.probe)
        self.assertEqual(inst.count("palavero.boxes"), 0, inst.log_tail())


if __name__ == "__main__":
    lan.main()
