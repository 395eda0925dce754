"""Receiving messages over the wire: status text and the log file, byte for byte."""

import os
import re

import lan
from lan import LanTestCase

SEP = b"_" * 39


def received_entry(sender, text):
    """Pattern of a received log entry (the timestamp is any text in brackets)."""
    return (re.escape(SEP + b"\r\nNachricht von " + sender + b" (") + rb"[^)\r\n]+"
            + re.escape(b")\r\n" + text + b"\r\n"))


class MessagesTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        xdg = self.lan.new_xdg()
        # History on, no tone (a test machine may have no audio device).
        xdg.write_settings(SaveHistory="1", Sound="0", Music="0")
        self.inst = self.start_ready(self.a, self.probe, xdg=xdg)
        self.log_path = os.path.join(xdg.data_dir, "Palavero.Log")

    def log_bytes(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def test_received_datagrams_in_the_log(self):
        rows = [
            # (name, datagram, broadcast, pattern of the bytes appended to the log)
            ("plain", b"PC-P:KVPALAVERODATA:Hallo", False,
             received_entry(b"PC-P", b"Hallo")),
            ("umlauts unicast", b"PC-P:KVPALAVERODATA:Gr\xfc\xdfe \xe4\xf6\xfc \xc4\xd6\xdc", False,
             received_entry(b"PC-P", b"Gr\xfc\xdfe \xe4\xf6\xfc \xc4\xd6\xdc")),
            ("umlaut sender", b"B\xfcro:KVPALAVERODATA:Hi", False,
             received_entry(b"B\xfcro", b"Hi")),
            ("to all", b"PC-P:KVPALAVERODATA:Hallo an alle", True,
             received_entry(b"PC-P", b"Hallo an alle")),
            # Windows-1252 both ways: euro sign, dash and German quotes arrive as sent.
            ("euro and dash unicast", b"PC-P:KVPALAVERODATA:Kostet 5 \x80 \x96 \x84gut\x93", False,
             received_entry(b"PC-P", b"Kostet 5 \x80 \x96 \x84gut\x93")),
            ("umlauts and euro to all", b"PC-P:KVPALAVERODATA:Gr\xfc\xdfe, K\xfcche, 2 \x80", True,
             received_entry(b"PC-P", b"Gr\xfc\xdfe, K\xfcche, 2 \x80")),
            ("line breaks stay CR LF", b"PC-P:KVPALAVERODATA:Zeile 1\r\nZeile 2", False,
             received_entry(b"PC-P", b"Zeile 1\r\nZeile 2")),
            ("continuation is cut at 300", b"PC-P:KVPALAVERODATA:KVPALAVEROPART" + b"x" * 500,
             False, re.escape(b"x" * 300)),
            ("empty payload", b"PC-P:KVPALAVERODATA:", False, b""),
            ("lower-case keyword", b"PC-P:kvpalaverodata:Hallo", False, b""),
            ("no sender", b":KVPALAVERODATA:Hallo", False, b""),
        ]
        for name, datagram, to_all, pattern in rows:
            with self.subTest(name):
                before = self.log_bytes()
                status = re.compile(r"palavero\.status: %d Bytes empfangen \S" % len(datagram))
                seen = self.inst.count(status)
                if to_all:
                    self.probe.broadcast(datagram)
                else:
                    self.probe.send(datagram, self.a.addr)
                self.inst.wait_line(status, count=seen + 1)
                self.sync(self.inst, self.probe)
                after = self.log_bytes()
                self.assertTrue(after.startswith(before))
                self.assertRegex(after[len(before):], b"\\A" + pattern + b"\\Z")
        self.assertTrue(self.inst.running)

    def test_largest_datagram_is_received(self):
        head = b"PC-P:KVPALAVERODATA:"
        text = b"y" * (8192 - len(head))
        before = self.log_bytes()
        self.probe.send(head + text, self.a.addr)
        self.inst.wait_line("palavero.status: 8192 Bytes empfangen")
        self.sync(self.inst, self.probe)
        self.assertRegex(self.log_bytes()[len(before):],
                         b"\\A" + received_entry(b"PC-P", text) + b"\\Z")

    def test_oversized_datagram_is_not_delivered(self):
        head = b"PC-P:KVPALAVERODATA:"
        before = self.log_bytes()
        self.probe.send(head + b"z" * (8193 - len(head)), self.a.addr)
        self.sync(self.inst, self.probe)
        self.assertEqual(self.inst.count("palavero.status: 8193 Bytes"), 0, self.inst.log_tail())
        self.assertEqual(self.log_bytes(), before)
        self.assertTrue(self.inst.running)


if __name__ == "__main__":
    lan.main()
