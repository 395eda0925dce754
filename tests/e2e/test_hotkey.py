"""The screen-saver hot key on a real X desktop: pressed while another program
has the focus it starts the screen saver that runs (xscreensaver,
mate-screensaver on the session bus), or else the X server's own; ticked off
in "Einstellungen" and confirmed, it is gone."""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, free_port, wait_for  # noqa: E402

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")
CTRL_ALT_S = "49235"


class HotKeyTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        missing = [t for t in ("xssstate", "xset", "xmessage") if shutil.which(t) is None]
        if missing:
            raise unittest.SkipTest("tools missing: " + ", ".join(missing))
        cls.desk = Desktop(tray=True, screenshot_dir=SHOTS)
        cls.desk.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desk.__exit__(None, None, None)

    def setUp(self):
        self.desk.x(["xset", "s", "reset"])

    def start(self, settings, session=()):
        app = self.desk.start_palavero(["-p%d" % free_port()], settings=settings, session=session)
        self.addCleanup(app.terminate)
        return app

    def start_with_hot_key(self, session=()):
        app = self.start({"UseScreenSaverShortcut": "1", "ScreenSaverShortcutKey": CTRL_ALT_S, "Sound": "0"},
                         session=session)
        self.assertTrue(app.wait_line("screen-saver hot key registered"), "\n".join(app.lines()[-20:]))
        return app

    def press_hot_key(self):
        self.other_program_has_focus()
        self.desk.x(["xdotool", "key", "ctrl+alt+s"])

    def test_hot_key_starts_xscreensaver(self):
        if shutil.which("xscreensaver") is None:
            self.skipTest("xscreensaver is not installed")
        home = os.path.join(self.desk.tmp.name, "xscreensaver-home")
        os.makedirs(home, exist_ok=True)
        env = dict(self.desk.env, HOME=home)
        daemon = self.desk._spawn(["xscreensaver", "-no-splash"], env=env, log="xscreensaver.log")
        self.addCleanup(self.desk.x, ["xset", "s", "default"])  # xscreensaver turns the X server's off
        self.addCleanup(daemon.kill)
        state = lambda: self.desk.x(["xscreensaver-command", "-time"], check=False).stdout
        self.assertTrue(wait_for(lambda: "non-blanked" in state(), timeout=10), state())
        self.addCleanup(lambda: self.desk.x(["xscreensaver-command", "-exit"], check=False))
        app = self.start_with_hot_key()
        self.press_hot_key()
        self.assertTrue(wait_for(lambda: " blanked since" in state(), timeout=10),
                        "xscreensaver did not start:\n%s\n%s" % (state(), "\n".join(app.lines()[-15:])))
        self.assertTrue(app.wait_line("xscreensaver-command started the screen saver"))
        # xscreensaver was asked, not the X server's own screen saver forced.
        self.assertNotEqual(self.screen_saver(), "on")
        self.desk.screenshot("hotkey-xscreensaver")

    def test_hot_key_starts_mate_screensaver(self):
        if shutil.which("mate-screensaver") is None:
            self.skipTest("mate-screensaver is not installed")
        app = self.start_with_hot_key(session=[["mate-screensaver", "--no-daemon"]])
        query = lambda: subprocess.run(["mate-screensaver-command", "-q"], env=app.session_env(),
                                       capture_output=True, text=True, timeout=10).stdout
        self.assertTrue(wait_for(lambda: "is inactive" in query(), timeout=10), query())
        self.press_hot_key()
        self.assertTrue(wait_for(lambda: "is active" in query(), timeout=10),
                        "mate-screensaver did not start:\n%s\n%s" % (query(), "\n".join(app.lines()[-15:])))
        self.assertTrue(app.has_line("org.mate.ScreenSaver started"), "\n".join(app.lines()[-15:]))
        self.assertEqual(self.screen_saver(), "off")
        self.desk.screenshot("hotkey-mate-screensaver")

    def screen_saver(self):
        return self.desk.x(["xssstate", "-s"]).stdout.strip()

    def other_program_has_focus(self):
        """A window of another program (one per test), made the active window."""
        if getattr(self, "other", None) is None:
            proc = self.desk._spawn(["xmessage", "-center", "Eine andere Anwendung"])
            self.addCleanup(proc.kill)
            wins = wait_for(lambda: self.desk.visible_windows("^xmessage$"), timeout=10)
            self.assertEqual(len(wins), 1, "xmessage did not show up")
            self.other = wins[0]
            self.addCleanup(setattr, self, "other", None)
        self.desk.x(["xdotool", "windowactivate", "--sync", str(self.other)])
        active = lambda: self.desk.x(["xdotool", "getactivewindow"], check=False).stdout.strip()
        self.assertTrue(wait_for(lambda: active() == str(self.other), timeout=5), "xmessage is not active")
        return self.other

    def open_options(self, app):
        icon = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(icon, "no tray icon")
        self.desk.x(["xdotool", "mousemove", "--window", str(icon[-1]), "10", "10", "click", "3"])
        time.sleep(0.5)
        # Up from the top wraps to "Beenden"; "Info", "Anmelden", then "Einstellungen".
        self.desk.x(["xdotool", "key", "Up", "Up", "Up", "Up", "Return"])
        dialog = wait_for(lambda: self.desk.visible_windows("^Einstellungen$"), timeout=5)
        self.assertTrue(dialog, '"Einstellungen" did not open')
        return dialog[0]

    def click(self, window, x, y):
        self.desk.x(["xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1"])

    def test_hot_key_starts_the_screen_saver_until_ticked_off(self):
        app = self.start({"UseScreenSaverShortcut": "1", "ScreenSaverShortcutKey": CTRL_ALT_S, "Sound": "0"})
        self.assertTrue(app.wait_line("screen-saver hot key registered: modifiers 3 key 0x53"),
                        "\n".join(app.lines()[-20:]))
        self.other_program_has_focus()
        self.assertEqual(self.screen_saver(), "off")
        self.desk.x(["xdotool", "key", "ctrl+alt+s"])
        self.assertTrue(wait_for(lambda: self.screen_saver() == "on", timeout=5),
                        "the hot key did not start the screen saver:\n" + "\n".join(app.lines()[-10:]))
        self.desk.screenshot("hotkey-screen-saver")
        self.desk.x(["xset", "s", "reset"])
        self.assertEqual(self.screen_saver(), "off")

        # Ticked off in "Einstellungen" and confirmed with OK.
        dialog = self.open_options(app)
        self.desk.screenshot("hotkey-options")
        self.click(dialog, 100, 160)  # "Shortcut für Bildschirmschoner verwenden"
        time.sleep(0.3)
        self.desk.screenshot("hotkey-options-off")
        self.click(dialog, 186, 235)  # "OK"
        self.assertTrue(wait_for(lambda: not self.desk.visible_windows("^Einstellungen$"), timeout=5))
        self.assertTrue(app.wait_line("screen-saver hot key removed"), "\n".join(app.lines()[-10:]))
        with open(os.path.join(app.xdg["XDG_CONFIG_HOME"], "Korvel", "Palavero.conf")) as f:
            self.assertIn("UseScreenSaverShortcut=0", f.read())

        self.other_program_has_focus()
        presses = sum("screen-saver hot key pressed" in line for line in app.lines())
        self.desk.x(["xdotool", "key", "ctrl+alt+s"])
        time.sleep(1.5)
        self.assertEqual(self.screen_saver(), "off", "the hot key still works after it was ticked off")
        self.assertEqual(sum("screen-saver hot key pressed" in line for line in app.lines()), presses)
        self.assertTrue(app.running())

    def test_combination_taken_by_another_program_shows_nothing(self):
        first = self.start({"UseScreenSaverShortcut": "1", "ScreenSaverShortcutKey": CTRL_ALT_S, "Sound": "0"})
        self.assertTrue(first.wait_line("screen-saver hot key registered"))
        # A second copy under another user's folders: the combination is taken.
        second = self.desk.start_palavero(["-p%d" % free_port()],
                                          settings={"UseScreenSaverShortcut": "1",
                                                    "ScreenSaverShortcutKey": CTRL_ALT_S, "Sound": "0"})
        self.addCleanup(second.terminate)
        self.assertTrue(second.wait_line("screen-saver hot key not registered"), "\n".join(second.lines()[-10:]))
        time.sleep(0.5)
        for title in ("Palavero Lite", "Palavero", "Einstellungen", "Fehler"):
            self.assertEqual(self.desk.visible_windows("^%s$" % title), [], "a window showed up: " + title)
        # The combination keeps serving the first program.
        self.other_program_has_focus()
        self.desk.x(["xdotool", "key", "ctrl+alt+s"])
        self.assertTrue(first.wait_line("screen-saver hot key pressed"))
        self.assertFalse(second.has_line("screen-saver hot key pressed"))
        self.assertTrue(wait_for(lambda: self.screen_saver() == "on", timeout=5))
        self.assertTrue(second.running())


if __name__ == "__main__":
    unittest.main()
