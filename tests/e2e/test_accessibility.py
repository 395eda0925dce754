"""The program as a screen reader sees it: the tree read through AT-SPI
(at-spi2-core's bus and registry, pyatspi), not through Qt's own interfaces.
The main window is a frame, the dialogs are dialogs, and every control that
shows has a German name."""

import json
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, free_port, wait_for  # noqa: E402

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
PYTHON = "/usr/bin/python3"  # Debian's, with pyatspi
DUMP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_dump.py")
# The controls a user works with; panels, frames, labels and scroll bars (read
# by their role and orientation) need no name of their own.
CONTROLS = {"push button", "text", "combo box", "list", "check box", "table", "page tab", "menu item",
            "check menu item", "radio button", "spin button", "slider"}


class AccessibilityTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(BUS_LAUNCHER):
            raise unittest.SkipTest("at-spi2-core is not installed")
        if subprocess.run([PYTHON, "-c", "import pyatspi"], capture_output=True).returncode != 0:
            raise unittest.SkipTest("python3-pyatspi is not installed")
        cls.desk = Desktop(tray=True, screenshot_dir=SHOTS)
        cls.desk.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desk.__exit__(None, None, None)

    def tree(self):
        r = subprocess.run([PYTHON, DUMP], env=self.app.session_env(), capture_output=True, text=True, timeout=60)
        if r.returncode != 0:
            return None
        return [json.loads(line) for line in r.stdout.splitlines()]

    def window(self, title):
        ids = wait_for(lambda: self.desk.visible_windows("^%s$" % title), timeout=10)
        self.assertTrue(ids, "no window %r:\n%s" % (title, "\n".join(self.app.lines()[-20:])))
        return ids[-1]

    def windows_in_tree(self, title):
        """The nodes of the top-level window `title` and its showing descendants."""
        tree = wait_for(lambda: (lambda t: t if t and any(n["name"] == title for n in t) else None)(self.tree()),
                        timeout=15)
        self.assertTrue(tree, "no window %r in the AT-SPI tree" % title)
        start = next(i for i, n in enumerate(tree) if n["depth"] == 1 and n["name"] == title)
        nodes = [tree[start]]
        for n in tree[start + 1:]:
            if n["depth"] <= 1:
                break
            nodes.append(n)
        return nodes

    def assert_named(self, title, role):
        nodes = self.windows_in_tree(title)
        self.assertEqual(nodes[0]["role"], role, title)
        unnamed = [n for n in nodes if n["showing"] and n["role"] in CONTROLS and not n["name"].strip()]
        self.assertEqual(unnamed, [], "controls without a name in %r" % title)
        return nodes

    def test_every_window_and_control_has_a_name(self):
        self.app = self.desk.start_palavero(["-p%d" % free_port()], settings={"Sound": "0"},
                                            session=[[BUS_LAUNCHER, "--launch-immediately"]],
                                            extra_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        self.addCleanup(self.app.terminate)
        icons = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(icons, "no tray icon")
        # The main window in the message view (the pane shows, the editor below).
        self.desk.x(["xdotool", "mousemove", "--window", str(icons[-1]), "10", "10", "click", "1"])
        main = self.window("Palavero Lite")
        self.desk.x(["xdotool", "windowactivate", "--sync", str(main)])
        self.desk.x(["xdotool", "key", "--delay", "80", "F10", "Down", "Down", "Down", "Return"])
        nodes = self.assert_named("Palavero Lite", "frame")
        names = {n["name"] for n in nodes}
        for name in ("Empfänger", "Nachricht", "Senden", "Empfangene Nachrichten"):
            self.assertIn(name, names)

        # "Einstellungen" and "Gruppen" from the menu, by keyboard (Up from the top wraps to "Beenden").
        self.open_by_menu_key(main, 4, "Einstellungen")
        self.assert_named("Einstellungen", "dialog")
        self.desk.x(["xdotool", "key", "Escape"])
        self.assertTrue(wait_for(lambda: not self.desk.visible_windows("^Einstellungen$"), timeout=5))
        self.open_by_menu_key(main, 5, "Gruppen")
        self.assert_named("Gruppen", "dialog")

    def open_by_menu_key(self, main, ups, title):
        self.desk.x(["xdotool", "windowactivate", "--sync", str(main)])
        self.desk.x(["xdotool", "key", "--delay", "80", "F10"] + ["Up"] * ups + ["Return"])
        dialog = self.window(title)
        self.desk.x(["xdotool", "windowactivate", "--sync", str(dialog)])
        self.desk.screenshot("accessibility-" + title.lower())


if __name__ == "__main__":
    unittest.main()
