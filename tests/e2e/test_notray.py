"""A desktop without any tray (openbox alone, as stock GNOME or weston give
none to the program): the window shows by itself in the compose view with its
taskbar entry, F10 opens the tray menu at its top left, and "Beenden" from
there ends the program with its disconnect datagram. A tray that comes later
gets the icon, and "Schließen" puts the window into it."""

import os
import time

import lan
from desktop import Desktop, wait_for
from lan import LanTestCase

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")
TITLE = "^Palavero Lite$"


class NoTrayTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.desk = Desktop(tray=False, screenshot_dir=SHOTS)
        self.desk.__enter__()
        self.addCleanup(self.desk.__exit__, None, None, None)
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        xdg = self.lan.new_xdg()
        xdg.write_settings(Sound="0")
        env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": self.desk.display}
        self.inst = self.start_ready(self.a, self.probe, xdg=xdg, env=env)

    def main_window(self):
        ids = wait_for(lambda: self.desk.visible_windows(TITLE), timeout=10)
        self.assertTrue(ids, "the window did not show without a tray:\n" + self.inst.log_tail())
        return ids[-1]

    def key(self, *keys):
        self.desk.x(["xdotool", "key", "--delay", "80"] + list(keys))

    def test_window_shows_and_f10_reaches_beenden(self):
        wid = self.main_window()
        state = self.desk.x(["xprop", "-id", str(wid), "_NET_WM_STATE"], check=False).stdout
        self.assertNotIn("SKIP_TASKBAR", state)
        self.assertEqual(self.desk.tray_icons(), [])
        active = self.desk.x(["xdotool", "getactivewindow"], check=False).stdout.strip()
        self.assertEqual(active, str(wid), "the window is not active")
        self.desk.screenshot("notray-compose")

        # F10: the tray menu at the top left of the window, which stays.
        self.key("F10")
        menu = wait_for(self.popup_menu, timeout=5)
        self.assertTrue(menu, "F10 opened no menu")
        geo = self.desk.window_geometry(wid)
        self.assertEqual((menu["x"], menu["y"]),
                         (int(geo["Absolute upper-left X"]), int(geo["Absolute upper-left Y"])))
        self.assertTrue(self.desk.visible_windows(TITLE))
        self.desk.screenshot("notray-menu")

        # Up from the top wraps to "Beenden".
        since = self.probe.mark()
        self.key("Up", "Return")
        self.probe.wait(src=self.a.addr, data=b"PC-A:KVPALAVERODISCONNECT:", since=since)
        self.assertEqual(self.inst.wait_exit(), 0)

    def popup_menu(self):
        """The position of the program's open pop-up menu: a mapped
        override-redirect window of palavero."""
        r = self.desk.x(["xdotool", "search", "--onlyvisible", "--class", "palavero"], check=False)
        for wid in r.stdout.split():
            info = self.desk.x(["xwininfo", "-id", wid], check=False).stdout
            if "Override Redirect State: yes" in info and "Map State: IsViewable" in info:
                geo = self.desk.window_geometry(int(wid))
                return {"x": int(geo["Absolute upper-left X"]), "y": int(geo["Absolute upper-left Y"])}
        return None

    def test_tray_that_comes_later_gets_the_icon(self):
        wid = self.main_window()
        self.desk.start_tray()
        icons = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(icons, "no tray icon after the tray came:\n" + self.inst.log_tail())
        # "Schließen" (Alt+C) puts the window into the tray; a click brings it back.
        self.desk.x(["xdotool", "windowactivate", "--sync", str(wid)])
        self.key("alt+c")
        self.assertTrue(wait_for(lambda: not self.desk.visible_windows(TITLE), timeout=5))
        time.sleep(5)  # longer than the tray's waiting time: the window stays hidden
        self.assertEqual(self.desk.visible_windows(TITLE), [])
        self.desk.x(["xdotool", "mousemove", "--window", str(icons[-1]), "10", "10", "click", "1"])
        self.assertTrue(wait_for(lambda: self.desk.visible_windows(TITLE), timeout=5))
        self.assertTrue(self.inst.running)


if __name__ == "__main__":
    lan.main()
