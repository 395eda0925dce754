"""The group editor on a real desktop (Xvfb, openbox, trayer), with its
computer on the namespaced LAN: opened from the tray menu, a group made and
distributed to the peers."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lan  # noqa: E402
from desktop import wait_for  # noqa: E402
from traydesk import TrayDesktopTestCase  # noqa: E402


class GroupEditorTest(TrayDesktopTestCase):
    def open_editor(self):
        self.tray_menu("Gruppen")
        return self.window("Gruppen")

    def test_make_and_distribute_a_group(self):
        editor = self.open_editor()
        geo = self.desk.window_geometry(editor)
        width, height = int(geo["Width"]), int(geo["Height"])
        self.assertEqual((width, height), (484, 293))
        active = wait_for(lambda: self.active_window() == editor, timeout=5)
        self.assertTrue(active, "the editor is not the active window")
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

        self.message_shows_main_window_below(editor)

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
