"""Presence on a real LAN: instances find each other, answer connects, leave."""

import signal

import lan
from lan import LanTestCase

CONNECT = b":KVPALAVEROCONNECT:"
REFRESH = b":KVPALAVEROREFRESH:"
DISCONNECT = b":KVPALAVERODISCONNECT:"


class PresenceTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.b = self.lan.add_host("PC-B")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)

    def start_pair(self):
        """A runs, then B starts; returns (A, B, probe mark taken before B started)."""
        inst_a = self.start_ready(self.a, self.probe)
        mark = self.probe.mark()
        inst_b = self.lan.start(self.b)
        self.probe.wait(src=self.b.addr, data=b"PC-B" + CONNECT, count=2, since=mark)
        self.probe.wait(src=self.a.addr, data=b"PC-A" + REFRESH, count=2, since=mark)
        inst_a.wait_line("palavero.targets: target added: PC-B 10.77.0.2")
        inst_b.wait_line("palavero.targets: target added: PC-A 10.77.0.1")
        # Both have handled everything sent so far once they answer the probe.
        self.sync(inst_a, self.probe)
        self.sync(inst_b, self.probe)
        return inst_a, inst_b, mark

    def test_start_broadcasts_two_connects_to_the_directed_broadcast_address(self):
        mark = self.probe.mark()
        inst = self.lan.start(self.a)
        got = self.probe.wait(src=self.a.addr, count=2, since=mark)
        for d in got[:2]:
            self.assertEqual(d.data, b"PC-A:KVPALAVEROCONNECT:")
            self.assertEqual(d.dst, "10.77.0.255")
            self.assertEqual(d.sport, 3030)
        self.assertTrue(inst.running)
        # Its own broadcasts come back to it and are dropped unseen.
        self.sync(inst, self.probe)
        self.assertEqual(inst.count("palavero.status: 23 Bytes empfangen"), 0, inst.log_tail())
        self.assertEqual(inst.count("target added"), 0, inst.log_tail())

    def test_two_instances_find_each_other(self):
        inst_a, inst_b, mark = self.start_pair()
        seq = [(d.src, d.data) for d in self.probe.datagrams(since=mark)
               if d.src in (self.a.addr, self.b.addr)]
        from_b = [data for src, data in seq if src == self.b.addr]
        from_a = [data for src, data in seq if src == self.a.addr]
        self.assertEqual(from_b, [b"PC-B:KVPALAVEROCONNECT:"] * 2, seq)
        self.assertEqual(from_a, [b"PC-A:KVPALAVEROREFRESH:"] * 2, seq)
        # A answers only after B has announced itself.
        self.assertEqual(seq[0], (self.b.addr, b"PC-B:KVPALAVEROCONNECT:"), seq)
        for d in self.probe.datagrams(since=mark):
            if d.src in (self.a.addr, self.b.addr):
                self.assertEqual(d.dst, "10.77.0.255", d)
                self.assertEqual(d.sport, 3030, d)
        # Each lists the other exactly once, with its address.
        self.assertEqual(inst_a.count("target added: PC-B 10.77.0.2"), 1, inst_a.log_tail())
        self.assertEqual(inst_b.count("target added: PC-A 10.77.0.1"), 1, inst_b.log_tail())
        self.assertEqual(inst_a.count("target added:"), 1, inst_a.log_tail())
        self.assertEqual(inst_b.count("target added:"), 1, inst_b.log_tail())
        self.assertEqual(inst_a.count("palavero.net: Remote IP: 10.77.0.2"), 1, inst_a.log_tail())

    def test_sigterm_broadcasts_disconnect_and_the_peer_removes_it(self):
        inst_a, inst_b, _ = self.start_pair()
        mark = self.probe.mark()
        inst_b.signal(signal.SIGTERM)
        self.assertEqual(inst_b.wait_exit(), 0)
        got = self.probe.wait(src=self.b.addr, since=mark)
        self.assertEqual(got[0].data, b"PC-B:KVPALAVERODISCONNECT:")
        self.assertEqual(got[0].dst, "10.77.0.255")
        inst_a.wait_line("palavero.targets: target removed: PC-B")
        self.sync(inst_a, self.probe)
        self.assertEqual(self.probe.datagrams(src=self.b.addr, since=mark), got[:1])
        self.assertEqual(inst_a.count("target removed:"), 1, inst_a.log_tail())

    def test_third_instance_is_listed_by_all(self):
        inst_a, inst_b, _ = self.start_pair()
        c = self.lan.add_host("PC-C")
        mark = self.probe.mark()
        inst_c = self.lan.start(c)
        self.probe.wait(src=c.addr, data=b"PC-C" + CONNECT, count=2, since=mark)
        inst_a.wait_line("palavero.targets: target added: PC-C 10.77.0.4")
        inst_b.wait_line("palavero.targets: target added: PC-C 10.77.0.4")
        inst_c.wait_line("palavero.targets: target added: PC-A 10.77.0.1")
        inst_c.wait_line("palavero.targets: target added: PC-B 10.77.0.2")
        for inst in (inst_a, inst_b, inst_c):
            self.sync(inst, self.probe)
        self.assertEqual(inst_c.count("target added:"), 2, inst_c.log_tail())
        self.assertEqual(inst_a.count("target added:"), 2, inst_a.log_tail())
        self.assertEqual(inst_b.count("target added:"), 2, inst_b.log_tail())

    def test_killed_peer_is_kept(self):
        inst_a, inst_b, _ = self.start_pair()
        mark = self.probe.mark()
        inst_b.signal(signal.SIGKILL)
        self.assertEqual(inst_b.wait_exit(), -signal.SIGKILL)
        self.sync(inst_a, self.probe)
        self.assertEqual(self.probe.datagrams(src=self.b.addr, since=mark), [])
        self.assertEqual(inst_a.count("target removed"), 0, inst_a.log_tail())
        self.assertTrue(inst_a.running)

    def test_restart_after_kill_with_new_address_keeps_the_old_address(self):
        inst_a, inst_b, _ = self.start_pair()
        inst_b.signal(signal.SIGKILL)
        inst_b.wait_exit()
        c = self.lan.add_host("PC-C")
        mark = self.probe.mark()
        self.lan.start(c, hostname="PC-B")
        self.probe.wait(src=c.addr, data=b"PC-B" + CONNECT, count=2, since=mark)
        self.probe.wait(src=self.a.addr, data=b"PC-A" + REFRESH, count=2, since=mark)
        self.sync(inst_a, self.probe)
        self.assertEqual(inst_a.count("target added: PC-B"), 1, inst_a.log_tail())
        self.assertEqual(inst_a.count("target added: PC-B 10.77.0.2"), 1, inst_a.log_tail())

    def test_probe_datagrams(self):
        """Connects from the probe are answered once by broadcast, refreshes never."""
        cases = [
            # (datagram, answered with a refresh, target added)
            (b"PC-P:KVPALAVEROCONNECT:", True, "PC-P"),
            (b"PC-Q:KVPALAVEROREFRESH:", False, "PC-Q"),
            (b"pc-p:KVPALAVEROREFRESH:", False, "pc-p"),
            (b"PC-R:kvpalaveroconnect:", False, None),
            (b"PC-R:KVPALAVEROCONNECT", False, None),
            (b":KVPALAVEROCONNECT:", False, None),
            (b"PC-A:KVPALAVEROCONNECT:", True, None),  # own name: answered, not added
        ]
        inst = self.start_ready(self.a, self.probe)
        for data, answered, added in cases:
            with self.subTest(datagram=data):
                before = inst.count("target added:")
                mark = self.probe.mark()
                self.probe.send(data, self.a.addr)
                if answered:
                    self.probe.wait(src=self.a.addr, data=b"PC-A" + REFRESH, since=mark)
                self.sync(inst, self.probe)
                self.assertEqual(len(self.probe.datagrams(src=self.a.addr, since=mark)),
                                 1 if answered else 0,
                                 self.probe.datagrams(src=self.a.addr, since=mark))
                if added:
                    self.assertEqual(inst.count("target added: %s 10.77.0.3" % added), 1,
                                     inst.log_tail())
                self.assertEqual(inst.count("target added:") - before, 1 if added else 0,
                                 inst.log_tail())

    def test_lonely_instance_announces_again_until_answered(self):
        mark = self.probe.mark()
        inst = self.lan.start(self.a)
        self.probe.wait(src=self.a.addr, data=b"PC-A" + CONNECT, count=3, since=mark,
                        timeout=15)
        # An answer ends the loneliness: A lists the probe's computer.
        self.probe.send(b"PC-P:KVPALAVEROREFRESH:", self.a.addr)
        inst.wait_line("palavero.targets: target added: PC-P 10.77.0.3")


if __name__ == "__main__":
    lan.main()
