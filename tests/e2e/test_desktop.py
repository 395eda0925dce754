"""Everyday desktop behaviour on a real X desktop (Xvfb, openbox, trayer): an
arriving message never takes the focus, Enter does what the focused control
means, dialogs and boxes stay above the always-on-top window, and the pane
shows the newest message. Datagrams come from a UDP socket on loopback."""

import os
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, free_port, wait_for  # noqa: E402

SHOTS = os.environ.get("PALAVERO_SCREENSHOTS")
TITLE = "Palavero Lite"


def send_udp(port, data):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(data, ("127.0.0.1", port))


class DesktopCase(unittest.TestCase):
    """One desktop with a tray host for the class; one program per test, and
    another program (xmessage) that the user works in."""

    @classmethod
    def setUpClass(cls):
        cls.desk = Desktop(tray=True, screenshot_dir=SHOTS)
        cls.desk.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desk.__exit__(None, None, None)

    def start(self, *args, settings=None):
        self.port = free_port()
        app = self.desk.start_palavero(["-p%d" % self.port] + list(args),
                                       settings=settings if settings is not None else {"Sound": "0"})
        self.addCleanup(self._stop, app)
        self.app = app
        icons = wait_for(self.desk.tray_icons, timeout=12)
        self.assertTrue(icons, "no tray icon appeared:\n" + "\n".join(app.lines()[-20:]))
        self.icon = icons[-1]
        return app

    def _stop(self, app):
        if app.running():
            app.terminate()
        wait_for(lambda: not self.desk.tray_icons(), timeout=5)

    # -- X helpers ----------------------------------------------------------
    def xdotool(self, *args, check=True):
        return self.desk.x(["xdotool"] + list(args), check=check).stdout.strip()

    def active(self):
        """The window that _NET_ACTIVE_WINDOW names."""
        out = self.xdotool("getactivewindow", check=False)
        return int(out) if out else None

    def main_window(self):
        wins = wait_for(self.app.main_windows, timeout=5)
        self.assertTrue(wins, "the main window is not shown")
        return wins[0]

    def wait_active(self, wid, what):
        self.assertTrue(wait_for(lambda: self.active() == wid, timeout=5),
                        "%s is not the active window (active: %s)" % (what, self.active()))

    def click_icon(self, button=1):
        self.xdotool("mousemove", "--window", str(self.icon), "10", "10", "click", str(button))

    def open_compose(self):
        """A tray click: the compose view, active, the focus in the editor."""
        self.click_icon()
        wid = self.main_window()
        self.wait_active(wid, "the main window after a tray click")
        return wid

    def other_program(self):
        """Another program's window, made the active one."""
        p = self.desk._spawn(["xmessage", "-geometry", "+40+500", "-name", "anderes",
                              "Ein anderes Programm"], log="xmessage-%d.log" % time.monotonic_ns())
        self.addCleanup(p.kill)
        wids = wait_for(lambda: self.desk.visible_windows("^anderes$|^xmessage$"), timeout=5)
        self.assertTrue(wids, "xmessage did not come up")
        return wids[0]

    def activate(self, wid):
        self.xdotool("windowactivate", str(wid))
        self.wait_active(wid, "window %d" % wid)

    def stacking(self):
        """Client windows bottom to top (_NET_CLIENT_LIST_STACKING)."""
        out = self.desk.x(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"]).stdout
        return [int(w, 16) for w in out.split("#", 1)[1].replace(",", " ").split()]

    def map_state(self, wid):
        return self.desk.window_geometry(wid).get("Map State")

    def shot(self, name):
        time.sleep(0.3)
        self.desk.screenshot(name)

    def status_lines(self, text):
        return [line for line in self.app.lines() if line.startswith("palavero.status: " + text)]

    def message(self, sender, text):
        before = len(self.status_lines(""))
        send_udp(self.port, sender + b":KVPALAVERODATA:" + text)
        self.assertTrue(wait_for(lambda: len(self.status_lines("")) > before, timeout=5),
                        "the message was not handled")


class FocusTest(DesktopCase):
    """A received message shows the window without taking the focus from the
    program the user works in, in every state of the window."""

    def setUp(self):
        self.start()
        self.other = self.other_program()

    def assert_message_keeps_focus(self, state):
        self.activate(self.other)
        self.message(b"PC-X", b"Hallo im Zustand " + state.encode())
        wid = self.main_window()
        self.assertTrue(wait_for(lambda: self.map_state(wid) == "IsViewable", timeout=5),
                        "%s: the window is not shown" % state)
        time.sleep(0.7)
        self.assertEqual(self.active(), self.other, "%s: the message took the focus" % state)

    def test_hidden(self):
        self.assert_message_keeps_focus("versteckt")

    def test_shown_inactive_after_tray_click(self):
        self.open_compose()
        self.assert_message_keeps_focus("nach Tray-Klick")

    def test_tray_click_on_shown_window(self):
        # The second click finds the window shown: no show consumes the flag.
        self.open_compose()
        self.click_icon()
        time.sleep(0.5)
        self.assert_message_keeps_focus("nach zweitem Tray-Klick")
        # The next message too.
        self.assert_message_keeps_focus("zweite Nachricht")

    def test_further_message_keeps_the_window_mapped(self):
        # A shown window is only raised and repainted: no unmap and new map
        # (a window manager builds a new frame for each, the window flickers).
        self.activate(self.other)
        self.message(b"PC-X", b"Erste")
        wid = self.main_window()
        self.assertTrue(wait_for(lambda: self.map_state(wid) == "IsViewable", timeout=5))
        log = os.path.join(self.desk.tmp.name, "xev-%d.log" % time.monotonic_ns())
        xev = self.desk._spawn(["xev", "-id", str(wid), "-event", "structure"], log=os.path.basename(log))
        self.addCleanup(xev.kill)
        time.sleep(0.5)
        for i in range(3):
            self.message(b"PC-X", b"Weitere %d" % i)
        time.sleep(0.7)
        with open(log, errors="replace") as f:
            events = f.read()
        self.assertNotIn("UnmapNotify", events)
        self.assertEqual(self.map_state(wid), "IsViewable")
        self.assertEqual(self.active(), self.other, "a further message took the focus")

    def test_minimized(self):
        wid = self.open_compose()
        self.xdotool("windowminimize", str(wid))
        self.assertTrue(wait_for(lambda: self.map_state(wid) != "IsViewable", timeout=5))
        self.assert_message_keeps_focus("minimiert")
        self.shot("focus-minimized-message")


class EnterTest(DesktopCase):
    """Enter goes to the focused control; elsewhere it presses "Senden"."""

    def setUp(self):
        self.start(settings={"Sound": "0", "SaveHistory": "1"})

    def test_enter_on_close_closes(self):
        self.open_compose()
        self.xdotool("type", "--delay", "20", "Entwurf")
        self.xdotool("key", "Tab")          # from the editor to "S&chließen"
        self.shot("enter-focus-on-close")
        self.xdotool("key", "Return")
        self.assertTrue(wait_for(lambda: not self.app.main_windows(), timeout=5), "Enter on S&chließen closes")
        time.sleep(0.3)
        self.assertEqual(self.status_lines("Kein Empfänger"), [], "Enter on S&chließen must not send")
        self.assertEqual(self.status_lines("Nachricht"), [])

    def test_enter_in_the_pane_sends_nothing(self):
        self.message(b"PC-X", b"Lies mich")
        wid = self.main_window()
        self.activate(wid)
        self.xdotool("type", "--delay", "20", "Antwort")
        # Click into the message pane (its upper part), then Enter.
        self.xdotool("mousemove", "--window", str(wid), "60", "40", "click", "1")
        self.xdotool("key", "Return", "KP_Enter")
        time.sleep(0.7)
        self.assertEqual(self.status_lines("Nachricht"), [], "Enter in the message pane must not send")
        self.assertTrue(self.app.main_windows())

    def test_enter_in_the_recipient_box_sends(self):
        self.open_compose()
        self.xdotool("type", "--delay", "20", "Entwurf")
        self.xdotool("key", "shift+Tab", "KP_Enter")   # the recipient box, empty; the keypad's Enter
        self.assertTrue(self.app.wait_line("palavero.status: Kein Empfänger ausgewählt.", timeout=5),
                        "Enter in the recipient box presses Senden")


class DialogTest(DesktopCase):
    """Dialogs and boxes stay above the always-on-top window when a message
    arrives, and datagrams are handled while a box is open."""

    def test_options_dialog_stays_above_an_arriving_message(self):
        self.start()
        self.click_icon(button=3)
        time.sleep(0.5)
        self.xdotool("key", "Up", "Up", "Up", "Up", "Return")   # Beenden, Info, Anmelden, Einstellungen
        dialogs = wait_for(lambda: self.desk.visible_windows("^Einstellungen$"), timeout=5)
        self.assertTrue(dialogs, "Einstellungen did not open")
        dialog = dialogs[0]
        self.wait_active(dialog, "the options dialog")
        self.message(b"PC-X", b"Nachricht bei offenem Dialog")
        wid = self.main_window()
        time.sleep(0.7)
        self.shot("dialog-above-message")
        order = self.stacking()
        self.assertIn(wid, order)
        self.assertIn(dialog, order)
        self.assertGreater(order.index(dialog), order.index(wid), "the dialog lies under the main window")
        self.assertEqual(self.active(), dialog, "the dialog keeps the focus")
        self.xdotool("key", "Escape")
        self.assertTrue(wait_for(lambda: not self.desk.visible_windows("^Einstellungen$"), timeout=5))

    def test_box_raised_by_a_datagram_keeps_datagrams_flowing(self):
        app = self.start(settings={"Sound": "0", "SaveHistory": "1"})
        # The log cannot be opened: a folder stands where the file should be.
        os.makedirs(app.data_file("Palavero.Log"), exist_ok=True)
        send_udp(self.port, b"PC-X:KVPALAVERODATA:Erste")
        self.assertTrue(app.wait_line("palavero.boxes: box: Fehler beim", timeout=5))
        boxes = wait_for(lambda: self.desk.visible_windows("^Palavero$"), timeout=5)
        self.assertTrue(boxes, "the error box is not shown")
        # While the box waits for the user, further datagrams are handled.
        send_udp(self.port, b"PC-Y:KVPALAVERODATA:Zweite")
        self.assertTrue(wait_for(lambda: len(self.status_lines("")) >= 2 and app.has_line("Zweite"), timeout=5)
                        or len([l for l in app.lines() if "Bytes empfangen" in l]) >= 2,
                        "a datagram was not handled while the box is open")
        wid = self.main_window()
        time.sleep(0.7)
        self.shot("box-above-message")
        order = self.stacking()
        self.assertGreater(order.index(boxes[0]), order.index(wid), "the box lies under the main window")


class PaneTest(DesktopCase):
    def test_pane_scrolls_to_the_new_message(self):
        self.start()
        long_text = b"\r\n".join(b"Zeile %d ." % i for i in range(60))
        self.message(b"PC-X", long_text)
        wid = self.main_window()
        time.sleep(0.7)
        pane = lambda: self.ink(wid, 12, 12, 400, 120)
        first = pane()
        self.message(b"PC-Y", b"\r\n".join([b"#" * 50] * 4))
        time.sleep(0.7)
        self.shot("pane-new-message")
        self.assertLess(pane(), first - 0.03, "the new message is not in view")

    def ink(self, wid, x, y, w, h):
        """Mean brightness (0..1) of a part of the window."""
        out = os.path.join(self.desk.tmp.name, "pane.png")
        self.desk.x(["import", "-window", str(wid), out])
        r = self.desk.x(["convert", out, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", "-colorspace", "Gray",
                         "-format", "%[fx:mean]", "info:"])
        return float(r.stdout.strip())


if __name__ == "__main__":
    unittest.main(verbosity=2)
