"""Text snippets in the message editor, driven through the window.

PC-A runs on its own X server and types like a user: a key, F3, the recipient
PC-B, Alt+S. PC-B receives and logs what came over the wire; the probe PC-P
keeps the barrier.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lan  # noqa: E402
from desktop import wait_for  # noqa: E402
from lan import LanTestCase  # noqa: E402
from test_send import Screen, TITLE, read_bytes, received_entry  # noqa: E402
from traydesk import TrayDesktopTestCase  # noqa: E402

EDITOR_TITLE = "Textbausteine"
SNIPPETS = b"MFG=Mit freundlichen Gr\xfc\xdfen\r\nsg=Sehr geehrte Damen und Herren\r\n"


class SnippetTest(LanTestCase):
    def setUp(self):
        super().setUp()
        lan.require_tools("xdotool", "Xvfb")
        self.a = self.lan.add_host("PC-A")   # 10.77.0.1
        self.b = self.lan.add_host("PC-B")   # 10.77.0.2
        self.p = self.lan.add_host("PC-P")   # 10.77.0.3
        self.probe = self.lan.probe(self.p)

        xdg_a = self.lan.new_xdg()
        xdg_a.write_settings(Sound="0")
        os.makedirs(xdg_a.data_dir, exist_ok=True)
        self.snippet_file = os.path.join(xdg_a.data_dir, "PalaveroTB.ini")
        with open(self.snippet_file, "wb") as f:
            f.write(SNIPPETS)
        self.screen_a = Screen(self, self.a, xdg_a, self.lan.xvfb(self.a))
        self.inst_a = self.start_ready(self.a, self.probe, xdg=xdg_a, env=self.screen_a.env)

        xdg_b = self.lan.new_xdg()
        xdg_b.write_settings(SaveHistory="1", Sound="0")
        self.log_b = os.path.join(xdg_b.data_dir, "Palavero.Log")
        self.inst_b = self.start_ready(self.b, self.probe, xdg=xdg_b)
        self.inst_a.wait_line("palavero.targets: target added: PC-B 10.77.0.2")
        self.lan.wait_windows(self.a, self.screen_a.display, TITLE, visible=False)

    def send_to_b(self, payload):
        """Sends what the editor holds to PC-B; B must log exactly payload."""
        log_b = read_bytes(self.log_b)
        sent = "palavero.status: Nachricht gesendet: %d Bytes" % len(b"PC-A:KVPALAVERODATA:" + payload)
        seen = self.inst_a.count(sent)
        self.screen_a.key("shift+Tab", "ctrl+a")
        self.screen_a.type("PC-B")
        self.screen_a.key("alt+s")
        self.inst_a.wait_line(sent, count=seen + 1)
        self.sync(self.inst_b, self.probe)
        after = read_bytes(self.log_b)
        self.assertTrue(after.startswith(log_b))
        self.assertRegex(after[len(log_b):], b"\\A" + received_entry(b"PC-A", payload) + b"\\Z")
        self.lan.wait_windows(self.a, self.screen_a.display, TITLE, visible=False)

    def test_f3_expands_before_sending(self):
        # The key after a blank, in any letter case, and the key at the start of
        # the second line; an unknown key stays as typed.
        self.screen_a.open_window()
        self.screen_a.type("Gruss mfg")
        self.screen_a.key("F3")
        self.screen_a.key("Return")
        self.screen_a.type("SG")
        self.screen_a.key("F3")
        self.screen_a.type(" xyz")
        self.screen_a.key("F3")
        self.send_to_b(b"Gruss Mit freundlichen Gr\xfc\xdfen\r\nSehr geehrte Damen und Herren xyz")

    def test_row_added_in_the_editor_expands_at_once(self):
        window = self.screen_a.open_window()
        # "&Textbausteine": the main window goes, the editor comes.
        self.screen_a.key("alt+t")
        editor = self.lan.wait_windows(self.a, self.screen_a.display, EDITOR_TITLE)
        self.assertEqual(len(editor), 1)
        self.lan.wait_windows(self.a, self.screen_a.display, TITLE, visible=False)
        self.screen_a.wait_focus(editor[0])
        # The empty row after the last snippet takes a new one: key, Tab, text.
        self.screen_a.key("ctrl+End", "Home")
        self.screen_a.type("gm")
        self.screen_a.key("Tab")
        self.screen_a.type("Guten Morgen")
        # "S&chliessen" while the text is still being edited: it counts all the same.
        self.screen_a.key("alt+c")
        self.lan.wait_windows(self.a, self.screen_a.display, EDITOR_TITLE, visible=False)
        self.assertEqual(self.lan.wait_windows(self.a, self.screen_a.display, TITLE), [window])
        self.screen_a.xdotool("windowfocus", "--sync", window)

        self.screen_a.type("gm")
        self.screen_a.key("F3")
        self.send_to_b(b"Guten Morgen")
        # Not saved: the snippet file is as it was.
        self.assertEqual(read_bytes(self.snippet_file), SNIPPETS)


class SnippetEditorDesktopTest(TrayDesktopTestCase):
    """The editor on a desktop with a window manager: from the tray menu, above
    the main window, a row added and saved in the encoding the file had."""

    UTF8 = b"\xef\xbb\xbfMFG=Mit freundlichen Gr\xc3\xbc\xc3\x9fen\r\n"

    def prepare_data(self):
        os.makedirs(self.xdg.data_dir, exist_ok=True)
        self.snippet_file = os.path.join(self.xdg.data_dir, "PalaveroTB.ini")
        with open(self.snippet_file, "wb") as f:
            f.write(self.UTF8)

    def test_editor_from_the_tray(self):
        self.tray_menu("Textbausteine")
        editor = self.window(EDITOR_TITLE)
        geo = self.desk.window_geometry(editor)
        width, height = int(geo["Width"]), int(geo["Height"])
        self.assertEqual((width, height), (576, 342))
        # Centred on the 1280 x 800 screen (the title bar pushes it down a little).
        self.assertLessEqual(abs(int(geo["Absolute upper-left X"]) + width // 2 - 640), 8)
        self.assertLessEqual(abs(int(geo["Absolute upper-left Y"]) + height // 2 - 400), 30)
        self.assertTrue(wait_for(lambda: self.active_window() == editor, timeout=5),
                        "the editor is not the active window")
        time.sleep(0.3)
        self.desk.screenshot("snippet-editor")

        self.message_shows_main_window_below(editor)

        # The editor keeps the keyboard focus: a new row in the empty row at
        # the end, then "Speichern".
        self.assertEqual(self.active_window(), editor)
        self.key("ctrl+End", "Home")
        self.desk.x(["xdotool", "type", "--delay", "30", "gm"])
        self.key("Tab")
        self.desk.x(["xdotool", "type", "--delay", "30", "Guten Morgen"])
        self.click(editor, width - 160, height - 44)
        saved = self.UTF8 + b"gm=Guten Morgen\r\n"
        self.assertTrue(wait_for(lambda: read_bytes(self.snippet_file) == saved, timeout=5),
                        read_bytes(self.snippet_file))
        time.sleep(0.3)
        self.desk.screenshot("snippet-editor-saved")

        # The context menu's "Import" opens a file dialog above the editor; Escape cancels it.
        self.click(editor, width // 2, 200, button=3)
        time.sleep(0.5)
        self.key("Down", "Return")
        dialog = self.window("Textbausteine importieren")
        time.sleep(0.5)
        self.desk.screenshot("snippet-import-dialog")
        self.assertEqual(self.stacking()[-1], dialog, "the file dialog is on top")
        self.key("Escape")
        wait_for(lambda: not self.desk.visible_windows("^Textbausteine importieren$"), timeout=5)

        # "S&chliessen": the editor goes, nothing more is written.
        self.key("alt+c")
        wait_for(lambda: not self.desk.visible_windows("^%s$" % EDITOR_TITLE), timeout=5)
        self.assertFalse(self.desk.visible_windows("^%s$" % EDITOR_TITLE))
        self.assertEqual(read_bytes(self.snippet_file), saved)
        self.assertEqual(self.inst.count("palavero.boxes:"), 0, self.inst.log_tail())


if __name__ == "__main__":
    lan.main()
