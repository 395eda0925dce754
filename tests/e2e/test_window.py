"""The main window on a real X server (Xvfb): it hides to the tray at start and
comes up for a second start and for a received message."""

import shutil
import unittest

import lan
from lan import LanTestCase

TITLE = "Palavero Lite"


class WindowTest(LanTestCase):
    def setUp(self):
        super().setUp()
        if shutil.which("xdotool") is None:
            raise unittest.SkipTest("xdotool is missing")
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        self.display = self.lan.xvfb(self.a)
        self.xdg = self.lan.new_xdg()
        self.xdg.write_settings(Sound="0")
        self.env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": self.display}
        self.inst = self.start_ready(self.a, self.probe, xdg=self.xdg, env=self.env)
        self.lan.wait_windows(self.a, self.display, TITLE, visible=False)

    def test_second_start_shows_the_first(self):
        second = self.lan.start(self.a, xdg=self.xdg, env=self.env)
        self.assertEqual(second.wait_exit(), 0, second.log_tail())
        ids = self.lan.wait_windows(self.a, self.display, TITLE)
        self.assertEqual(len(ids), 1)
        self.assertTrue(self.inst.running)

    def test_received_message_shows_the_window(self):
        self.probe.send(b"PC-P:KVPALAVERODATA:Hallo", self.a.addr)
        ids = self.lan.wait_windows(self.a, self.display, TITLE)
        self.assertEqual(len(ids), 1)

    def test_connect_does_not_show_the_window(self):
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        self.sync(self.inst, self.probe)
        self.assertEqual(self.lan.visible_windows(self.a, self.display, TITLE), [])


if __name__ == "__main__":
    lan.main()
