"""A test case with a real desktop (Xvfb, openbox, trayer) whose program runs
in a host of the namespaced LAN: the tray menu, clicks and keys by xdotool,
the window stacking as the window manager has it."""

import os
import time

import lan
from desktop import Desktop, wait_for
from lan import LanTestCase

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")

# The items of the tray menu, separators left out, from the top.
TRAY_ITEMS = ("Nachricht schreiben", "Nachricht erneut senden", "Eingegangene Nachrichten", "History",
              "History l\u00f6schen", "Textbausteine", "Gruppen")


class TrayDesktopTestCase(LanTestCase):
    """PC-A runs the program on the desktop; the probe PC-P is a peer in its
    target list."""

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
        self.prepare_data()
        # The X server listens on its socket file, which reaches into the namespace.
        env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": self.desk.display}
        self.inst = self.start_ready(self.a, self.probe, xdg=self.xdg, env=env)
        self.probe.send(b"PC-P:KVPALAVEROCONNECT:", self.a.addr)
        self.inst.wait_line("palavero.targets: target added: PC-P 10.77.0.2")
        self.icon = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(self.icon, "no tray icon:\n" + self.inst.log_tail())
        self.icon = self.icon[-1]

    def prepare_data(self):
        """Files for the program's data folder, before it starts."""

    def window(self, title, timeout=10):
        ids = wait_for(lambda: self.desk.visible_windows("^%s$" % title), timeout=timeout)
        self.assertTrue(ids, "no window %r:\n%s" % (title, self.inst.log_tail()))
        return ids[-1]

    def click(self, wid, x, y, button=1):
        self.desk.x(["xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", str(button)])

    def key(self, *keys):
        self.desk.x(["xdotool", "key", "--delay", "50"] + list(keys))

    def tray_menu(self, item):
        """Chooses an item of the tray icon's menu."""
        self.click(self.icon, 10, 10, button=3)
        time.sleep(0.5)
        self.key(*(["Down"] * (TRAY_ITEMS.index(item) + 1)), "Return")

    def active_window(self):
        r = self.desk.x(["xdotool", "getactivewindow"], check=False)
        return int(r.stdout) if r.returncode == 0 and r.stdout.strip() else None

    def stacking(self):
        """Client windows from the bottom to the top."""
        r = self.desk.x(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"])
        return [int(w, 16) for w in r.stdout.split("#", 1)[1].replace(",", " ").split()]

    def message_shows_main_window_below(self, dialog):
        """A message arriving while the modal dialog is open is handled, and the
        main window that comes up for it, always on top, stays below the dialog."""
        self.probe.send(b"PC-P:KVPALAVERODATA:Hallo", self.a.addr)
        main = self.window("Palavero Lite")
        self.inst.wait_line("palavero.status: 25 Bytes empfangen")
        time.sleep(0.5)
        order = self.stacking()
        self.assertGreater(order.index(dialog), order.index(main), "the dialog lies under the main window")
        return main
