"""The program on a real X desktop: hidden start, tray icon, views, menus, fonts."""

import os
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, free_port, wait_for  # noqa: E402

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")


def send_udp(port, data):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(data, ("127.0.0.1", port))


class TrayDesktopTest(unittest.TestCase):
    """One desktop with a tray host for the whole class; one program per test."""

    @classmethod
    def setUpClass(cls):
        cls.desk = Desktop(tray=True, screenshot_dir=SHOTS)
        cls.desk.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desk.__exit__(None, None, None)

    def start(self, *args, settings=None):
        self.port = free_port()
        app = self.desk.start_palavero(["-p%d" % self.port] + list(args), settings=settings)
        self.addCleanup(self._stop, app)
        return app

    def _stop(self, app):
        if app.running():
            app.terminate()
        wait_for(lambda: not self.desk.tray_icons(), timeout=5)

    def icon(self, app):
        icons = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(icons, "no tray icon appeared:\n" + "\n".join(app.lines()[-20:]))
        return icons[-1]

    def click_icon(self, icon, button=1):
        self.desk.x(["xdotool", "mousemove", "--window", str(icon), "10", "10", "click", str(button)])

    def active_name(self):
        r = self.desk.x(["xdotool", "getactivewindow", "getwindowname"], check=False)
        return r.stdout.strip()

    def test_hidden_start_tray_click_and_compose(self):
        app = self.start(settings={"SaveHistory": "1", "Sound": "0"})
        started = time.monotonic()
        time.sleep(1.5)
        self.assertEqual(app.main_windows(), [], "the window must not show itself at start")
        icon = self.icon(app)
        self.assertGreaterEqual(time.monotonic() - started, 3.5, "the tray icon comes about 4 s after the first hide")
        geo = self.desk.window_geometry(icon)
        self.assertLessEqual(int(geo["Width"]), 24)

        self.click_icon(icon)
        self.assertTrue(wait_for(app.main_windows, timeout=5), "a click on the icon shows the window")
        self.assertTrue(wait_for(lambda: self.active_name() == "Palavero Lite", timeout=5))
        # The focus is in the editor: typed text is what gets sent (and logged).
        self.desk.x(["xdotool", "type", "--delay", "20", "Hallo Fokus"])
        self.desk.x(["xdotool", "key", "alt+s"])
        self.assertTrue(app.wait_line("palavero.status: Kein Empfänger ausgewählt."))
        log = app.data_file("Palavero.Log")
        self.assertTrue(wait_for(lambda: os.path.exists(log), timeout=5))
        with open(log, "rb") as f:
            self.assertIn(b"Nachricht an  (", f.read())
        with open(log, "rb") as f:
            self.assertIn(b"Hallo Fokus\r\n", f.read())
        self.desk.screenshot("compose-view")

        # "S&chließen" hides the window again.
        self.desk.x(["xdotool", "key", "alt+c"])
        self.assertTrue(wait_for(lambda: not app.main_windows(), timeout=5), "S&chließen hides the window")
        self.assertTrue(app.running())

    def test_right_click_menu_hides_window_and_info(self):
        app = self.start()
        icon = self.icon(app)
        self.click_icon(icon)
        self.assertTrue(wait_for(app.main_windows, timeout=5))
        self.click_icon(icon, button=3)
        self.assertTrue(wait_for(lambda: not app.main_windows(), timeout=5), "opening the tray menu hides the window")
        time.sleep(0.5)
        self.desk.screenshot("tray-menu")
        # Up from the top wraps to "Beenden"; two more reach "Info".
        self.desk.x(["xdotool", "key", "Up", "Up", "Return"])
        about = wait_for(lambda: self.desk.visible_windows("^Info$"), timeout=5)
        self.assertTrue(about, "Info opens the about box")
        time.sleep(0.3)
        self.desk.screenshot("about-box")
        self.assertTrue(app.running())

    def test_received_message_shows_message_view(self):
        app = self.start(settings={"Sound": "0"})
        self.icon(app)
        send_udp(self.port, b"PC-X:KVPALAVERODATA:Hallo Welt, siehe http://www.example.org/info")
        self.assertTrue(wait_for(app.main_windows, timeout=5), "a message brings the window up")
        self.assertTrue(app.wait_line("Bytes empfangen"))
        time.sleep(0.5)
        self.desk.screenshot("message-view")
        send_udp(self.port, b"PC-Y:KVPALAVERODATA:Zweite Nachricht")
        time.sleep(0.5)
        self.desk.screenshot("message-view-two")

    def test_larger_font(self):
        def ink(app):
            icon = self.icon(app)
            self.click_icon(icon)
            wins = wait_for(app.main_windows, timeout=5)
            self.assertTrue(wins)
            self.desk.x(["xdotool", "type", "--delay", "10", "MMMMMMMMMMMMMMMMMMMM"])
            time.sleep(0.5)
            out = os.path.join(SHOTS or self.desk.tmp.name, "font-%d.png" % self.port)
            self.desk.x(["import", "-window", str(wins[0]), out])
            r = self.desk.x(["convert", out, "-crop", "540x140+12+52", "+repage", "-colorspace", "Gray",
                             "-format", "%[fx:mean]", "info:"])
            app.terminate()
            return float(r.stdout.strip())

        normal = ink(self.start())
        wait_for(lambda: not self.desk.tray_icons(), timeout=5)
        large = ink(self.start("-f12"))
        self.assertLess(large, normal, "text written with -f12 covers more of the editor")


class NoTrayTest(unittest.TestCase):
    def test_runs_on_without_tray_host(self):
        with Desktop(tray=False) as desk:
            port = free_port()
            app = desk.start_palavero(["-p%d" % port])
            time.sleep(7)
            self.assertTrue(app.running(), "the program keeps running without a tray host")
            self.assertFalse(app.has_line("palavero.boxes"), "retrying the tray icon is silent")
            send_udp(port, b"PC-X:KVPALAVERODATA:ohne Tray")
            self.assertTrue(wait_for(app.main_windows, timeout=5), "messages are still shown")
            app.terminate()
            self.assertFalse(app.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
