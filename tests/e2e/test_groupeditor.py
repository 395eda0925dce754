"""The group editor on a real desktop (Xvfb, openbox, trayer), with its
computer on the namespaced LAN: opened from the tray menu, a group made and
distributed to the peers."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lan  # noqa: E402
from desktop import Desktop, wait_for  # noqa: E402
from lan import LanTestCase  # noqa: E402

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")


class GroupEditorTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.desk = Desktop(tray=True, screenshot_dir=SHOTS)
        self.desk.__enter__()
        self.addCleanup(self.desk.__exit__, None, None, None)
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        self.xdg = self.lan.new_xdg()
        self.xdg.write_settings(Sound="0")
        # The X server listens on its socket file, which reaches into the namespace.
        env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": self.desk.display}
        self.inst = self.start_ready(self.a, self.probe, xdg=self.xdg, env=env)
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        self.inst.wait_line("palavero.targets: target added: PC-P 10.77.0.2")
        self.icon = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(self.icon, "no tray icon:\n" + self.inst.log_tail())
        self.icon = self.icon[-1]

    def window(self, title, timeout=10):
        ids = wait_for(lambda: self.desk.visible_windows("^%s$" % title), timeout=timeout)
        self.assertTrue(ids, "no window %r:\n%s" % (title, self.inst.log_tail()))
        return ids[-1]

    def click(self, wid, x, y):
        self.desk.x(["xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1"])

    def key(self, *keys):
        self.desk.x(["xdotool", "key", "--delay", "50"] + list(keys))

    def open_editor(self):
        self.desk.x(["xdotool", "mousemove", "--window", str(self.icon), "10", "10", "click", "3"])
        time.sleep(0.5)
        # "Gruppen" is the seventh item of the tray menu.
        self.key(*(["Down"] * 7), "Return")
        return self.window("Gruppen")

    def stacking(self):
        """Client windows from the bottom to the top."""
        r = self.desk.x(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"])
        return [int(w, 16) for w in r.stdout.split("#", 1)[1].replace(",", " ").split()]

    def test_make_and_distribute_a_group(self):
        editor = self.open_editor()
        geo = self.desk.window_geometry(editor)
        width, height = int(geo["Width"]), int(geo["Height"])
        self.assertEqual((width, height), (484, 293))
        buttons_y = height - 51 + 25
        time.sleep(0.3)
        self.desk.screenshot("group-editor")

        # "Neue Gruppe": the name is typed; a blank and an underscore are not taken.
        self.click(editor, 8 + 50, buttons_y)
        prompt = self.window("Neue Gruppe")
        self.desk.x(["xdotool", "type", "--delay", "30", "Ver trieb_1"])
        time.sleep(0.3)
        self.desk.screenshot("group-name-prompt")
        # Enter in the field does nothing; on the focused "Ok" it confirms.
        self.key("Return")
        time.sleep(0.3)
        self.assertIn(prompt, self.desk.visible_windows("^Neue Gruppe$"))
        self.key("Tab", "Return")
        wait_for(lambda: not self.desk.visible_windows("^Neue Gruppe$"), timeout=5)

        # Tick the peer: the second computer, after this one.
        self.click(editor, (width - 24) // 2 + 24 + 3 + 11, 45)

        # A message arriving while the editor is open is handled, and the main
        # window that comes up for it, always on top, stays below the editor.
        self.probe.send(b"PC-P:KVPALAVERODATA:Hallo", self.a.addr)
        main = self.window("Palavero Lite")
        self.inst.wait_line("palavero.status: 25 Bytes empfangen")
        time.sleep(0.5)
        order = self.stacking()
        self.assertGreater(order.index(editor), order.index(main), "the editor lies under the main window")

        # "Speichern", then Yes to the distribution question.
        self.click(editor, width - 8 - 90 - 8 - 45, buttons_y)
        self.window("Gruppen einrichten")
        time.sleep(0.3)
        self.desk.screenshot("group-distribution-question")
        order = self.stacking()
        self.assertEqual(order[-1], self.window("Gruppen einrichten"), "the question is on top")
        since = self.probe.mark()
        self.key("alt+j")
        wait_for(lambda: not self.desk.visible_windows("^Gruppen einrichten$"), timeout=5)
        written = b"[Vertrieb1]\r\nMembers=PC-P,\r\n\r\n"
        with open(os.path.join(self.xdg.data_dir, "PalaveroGroups.ini"), "rb") as f:
            self.assertEqual(f.read(), written)
        # Nothing goes out before the editor has closed.
        time.sleep(0.3)
        self.assertEqual(self.probe.datagrams(src=self.a.addr, since=since), [])

        # "Schließen": no question (saved), the editor closes, the file goes out.
        self.click(editor, width - 8 - 45, buttons_y)
        got = self.probe.wait(src=self.a.addr, since=since)
        self.assertEqual(got[0].data, b"PC-A:KVPALAVEROGROUPS:[Vertrieb1]\nMembers=PC-P,\n\n")
        self.assertEqual(got[0].dst, lan.BROADCAST)
        self.inst.wait_line("palavero.targets: target added: <Vertrieb1> ")
        self.assertFalse(self.desk.visible_windows("^Gruppen$"))
        self.assertEqual(self.inst.count("palavero.boxes: question: Sollen die \u00c4nderungen"), 0)
        self.assertTrue(self.inst.running)


if __name__ == "__main__":
    lan.main()
