"""Sending and receiving between two real instances, driven through the window.

PC-A runs on its own X server (Xvfb, no window manager); a second start of the
program opens its window in the compose view with the focus in the editor, and
xdotool types the message and the recipient like a user. PC-B receives; the
probe PC-P watches the wire.
"""

import os
import re
import subprocess
import time

import lan
from lan import LanTestCase
from waiting import poll

TITLE = "Palavero Lite"
BOX_TITLE = "Palavero"
RECEIVED_SEP = b"_" * 39
SENT_SEP = b"*" * 37
GROUPS = b"[Team]\r\nMembers=PC-B,PC-C,\r\n\r\n[Fern]\r\nMembers=PC-X,PC-Y,\r\n\r\n"


def received_entry(sender, text):
    """Pattern of a received log entry (the timestamp is any text in brackets)."""
    return (re.escape(RECEIVED_SEP + b"\r\nNachricht von " + sender + b" (") + rb"[^)\r\n]+"
            + re.escape(b")\r\n" + text + b"\r\n"))


def sent_entry(recipient, text):
    """Pattern of a sent log entry: the recipient as typed, any timestamp."""
    return (re.escape(SENT_SEP + b"\r\nNachricht an " + recipient + b" (") + rb"[^)\r\n]+"
            + re.escape(b")\r\n" + text + b"\r\n"))


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


class Screen:
    """One instance's X display, driven by xdotool inside the instance's host."""

    def __init__(self, test, host, xdg, display):
        self.test = test
        self.host = host
        self.xdg = xdg
        self.display = display
        self.env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": display}

    def xdotool(self, *args):
        r = subprocess.run(["ip", "netns", "exec", self.host.ns, "env",
                            "DISPLAY=" + self.display, "xdotool"] + list(args),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                           timeout=30)
        if r.returncode != 0:
            raise AssertionError("xdotool %s: %s" % (" ".join(args), r.stderr.strip()))
        return r.stdout

    def type(self, text):
        """Types text; text beyond ASCII goes through the clipboard and Ctrl+V,
        since xdotool's typing of such characters remaps keys and may lose one."""
        if text.isascii():
            self.xdotool("type", "--delay", "30", text)
            return
        subprocess.run(["ip", "netns", "exec", self.host.ns, "env", "DISPLAY=" + self.display,
                        "xclip", "-selection", "clipboard", "-i"],
                       input=text.encode("utf-8"), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30, check=True)
        self.key("ctrl+v")

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def open_window(self):
        """Second start of the program on this host: shows the running instance's
        window in the compose view with the focus in the editor."""
        second = self.test.lan.start(self.host, xdg=self.xdg, env=self.env)
        self.test.assertEqual(second.wait_exit(), 0, second.log_tail())
        ids = self.test.lan.wait_windows(self.host, self.display, TITLE)
        self.test.assertEqual(len(ids), 1)
        self.wait_focus(ids[0])
        return ids[0]

    def wait_focus(self, window, timeout=lan.DEFAULT_TIMEOUT):
        """Waits until the keyboard focus is in window."""
        def focus():
            return self.xdotool("getwindowfocus", "-f").strip()

        if not poll(lambda: focus() == window, timeout, step=0.05):
            raise AssertionError("focus is in %s, not in the window %s" % (focus(), window))

    def window_size(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def capture(self, window, width, height):
        """Raw RGB bytes of the window's upper width x height pixels."""
        r = subprocess.run(["ip", "netns", "exec", self.host.ns, "env",
                            "DISPLAY=" + self.display, "import", "-silent", "-window", window,
                            "-crop", "%dx%d+0+0" % (width, height), "-depth", "8", "rgb:-"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if r.returncode != 0:
            raise AssertionError("import: %s" % r.stderr.decode(errors="replace").strip())
        return r.stdout

    def visible(self):
        return self.test.lan.visible_windows(self.host, self.display, TITLE)

    def compose(self, text, recipient):
        """Types text into the editor, goes back to the recipient box with
        Shift+Tab, replaces its text with recipient and presses Alt+S. A line
        break in text is typed as the Return key."""
        for i, line in enumerate(text.split("\n")):
            if i:
                self.key("Return")
            if line:
                self.type(line)
        self.key("shift+Tab", "ctrl+a")
        self.type(recipient)
        self.key("alt+s")


class SendTest(LanTestCase):
    """PC-A (on Xvfb) sends to PC-B (offscreen) through its window. A's group
    file has the group Team with the members PC-B and PC-C; PC-C is a host with
    a probe on it but no program, so it is not in A's target list. The group
    Fern has two members of which none is reachable."""

    def setUp(self):
        super().setUp()
        lan.require_tools("xdotool", "Xvfb")
        self.a = self.lan.add_host("PC-A")   # 10.77.0.1
        self.b = self.lan.add_host("PC-B")   # 10.77.0.2
        self.p = self.lan.add_host("PC-P")   # 10.77.0.3
        self.c = self.lan.add_host("PC-C")   # 10.77.0.4, no program runs here
        self.probe = self.lan.probe(self.p)
        self.probe_c = self.lan.probe(self.c)

        xdg_a = self.lan.new_xdg()
        xdg_a.write_settings(SaveHistory="1", Sound="0")
        os.makedirs(xdg_a.data_dir, exist_ok=True)
        with open(os.path.join(xdg_a.data_dir, "PalaveroGroups.ini"), "wb") as f:
            f.write(GROUPS)
        self.screen_a = Screen(self, self.a, xdg_a, self.lan.xvfb(self.a))
        self.inst_a = self.start_ready(self.a, self.probe, xdg=xdg_a, env=self.screen_a.env)

        xdg_b = self.lan.new_xdg()
        xdg_b.write_settings(SaveHistory="1", Sound="0")
        self.inst_b = self.start_ready(self.b, self.probe, xdg=xdg_b)
        self.inst_a.wait_line("palavero.targets: target added: PC-B 10.77.0.2")
        self.inst_b.wait_line("palavero.targets: target added: PC-A 10.77.0.1")
        self.log_a = os.path.join(xdg_a.data_dir, "Palavero.Log")
        self.log_b = os.path.join(xdg_b.data_dir, "Palavero.Log")
        self.lan.wait_windows(self.a, self.screen_a.display, TITLE, visible=False)

    def test_send_through_the_window(self):
        rows = [
            # (name, recipient as typed, message as typed, datagram payload on the wire,
            #  broadcast)
            ("by name", "PC-B", "Hallo PC-B", b"Hallo PC-B", False),
            ("by address", "10.77.0.2", "Hallo Adresse", b"Hallo Adresse", False),
            ("to all", "*", "Hallo alle", b"Hallo alle", True),
            ("to a group", "<Team>", "Hallo Team", b"Hallo Team", False),
            ("umlauts by name", "PC-B", "Gr\u00fc\u00dfe", b"Gr\xfc\xdfe", False),
            ("umlauts to all", "*", "Gr\u00fc\u00dfe alle", b"Gr\xfc\xdfe alle", True),
            ("euro and dash by name", "PC-B", "5 \u20ac \u2013 \u201eja\u201c", b"5 \x80 \x96 \x84ja\x93", False),
            ("two lines", "PC-B", "Zeile 1\nZeile 2", b"Zeile 1\r\nZeile 2", False),
        ]
        for name, recipient, text, payload, to_all in rows:
            with self.subTest(name):
                datagram = b"PC-A:KVPALAVERODATA:" + payload
                mark = self.probe.mark()
                mark_c = self.probe_c.mark()
                log_a = read_bytes(self.log_a)
                log_b = read_bytes(self.log_b)
                received = re.compile(r"palavero\.status: %d Bytes empfangen \S" % len(datagram))
                seen_b = self.inst_b.count(received)
                sent_status = "palavero.status: Nachricht gesendet: %d Bytes" % len(datagram)
                seen_a = self.inst_a.count(sent_status)

                self.screen_a.open_window()
                self.screen_a.compose(text, recipient)

                self.inst_a.wait_line(sent_status, count=seen_a + 1)
                self.inst_b.wait_line(received, count=seen_b + 1)
                self.lan.wait_windows(self.a, self.screen_a.display, TITLE, visible=False)
                self.sync(self.inst_b, self.probe)
                self.sync(self.inst_a, self.probe)
                self.assertEqual(self.inst_a.count("Nachricht nicht gesendet"), 0,
                                 self.inst_a.log_tail())
                # A's log: the sent entry, the recipient as typed, the text in
                # Windows-1252 (umlauts stay in the log also for a broadcast).
                after = read_bytes(self.log_a)
                self.assertTrue(after.startswith(log_a))
                self.assertRegex(after[len(log_a):], b"\\A" + sent_entry(
                    recipient.encode("cp1252"),
                    text.replace("\n", "\r\n").encode("cp1252")) + b"\\Z")
                # B's log: exactly one received entry, as it came over the wire.
                after = read_bytes(self.log_b)
                self.assertTrue(after.startswith(log_b))
                self.assertRegex(after[len(log_b):],
                                 b"\\A" + received_entry(b"PC-A", payload) + b"\\Z")
                # The probe sees a broadcast with the exact bytes; a unicast, also
                # to a group, reaches neither it nor PC-C, the member not running.
                from_a = [(d.dst, d.data)
                          for probe, since in ((self.probe, mark), (self.probe_c, mark_c))
                          for d in probe.datagrams(src=self.a.addr, since=since)
                          if b":KVPALAVERODATA:" in d.data]
                expected = [(lan.BROADCAST, datagram)] * 2 if to_all else []
                self.assertEqual(from_a, expected)

    def test_down_after_completion_moves_on_from_the_completed_entry(self):
        # A's list in order: <Fern>, <Team>, PC-B. "<f" completes to <Fern>;
        # Down moves on to its neighbour <Team>, whose member PC-B then gets
        # the message.
        text = b"Hallo nach Down"
        datagram = b"PC-A:KVPALAVERODATA:" + text
        self.screen_a.open_window()
        self.screen_a.type(text.decode())
        self.screen_a.key("shift+Tab", "ctrl+a")
        self.screen_a.type("<f")
        self.screen_a.key("Down")
        self.screen_a.key("alt+s")
        self.inst_a.wait_line("palavero.status: Nachricht gesendet: %d Bytes" % len(datagram))
        self.inst_b.wait_line("palavero.status: %d Bytes empfangen " % len(datagram))
        self.sync(self.inst_a, self.probe)
        self.assertRegex(read_bytes(self.log_a), b"\\A" + sent_entry(b"<Team>", text) + b"\\Z")

    def test_failed_sends_keep_the_window_and_the_text(self):
        text = b"Hallo Fern"
        datagram = b"PC-A:KVPALAVERODATA:" + text
        window = self.screen_a.open_window()

        # A group none of whose members is reachable: a message box, nothing sent.
        self.screen_a.compose(text.decode(), "<Fern>")
        self.inst_a.wait_line("palavero.boxes: box: Alle Computer der ausgew\u00e4hlten Gruppe "
                              "sind derzeit nicht erreichbar.")
        # The box has the program's name as its caption.
        box = self.lan.wait_windows(self.a, self.screen_a.display, BOX_TITLE)
        self.assertEqual(len(box), 1)
        self.screen_a.wait_focus(box[0])
        self.screen_a.key("Return")
        self.lan.wait_windows(self.a, self.screen_a.display, BOX_TITLE, visible=False)
        self.assertEqual(self.screen_a.visible(), [window])
        # Without a window manager nobody gives the focus back to the window
        # when the box goes, so the test does it, as a window manager would.
        self.screen_a.xdotool("windowfocus", "--sync", window)

        # A name that cannot be resolved: the send fails, the window stays.
        self.screen_a.key("shift+Tab", "ctrl+a")
        self.screen_a.type("PC-Z")
        self.screen_a.key("alt+s")
        self.inst_a.wait_line("palavero.status: Nachricht nicht gesendet! %d Bytes" % len(datagram))
        self.assertEqual(self.screen_a.visible(), [window])

        # The editor kept the text: sending it again to PC-B delivers it.
        self.screen_a.key("shift+Tab", "ctrl+a")
        self.screen_a.type("PC-B")
        self.screen_a.key("alt+s")
        self.inst_a.wait_line("palavero.status: Nachricht gesendet: %d Bytes" % len(datagram))
        self.inst_b.wait_line("palavero.status: %d Bytes empfangen " % len(datagram))
        self.lan.wait_windows(self.a, self.screen_a.display, TITLE, visible=False)
        self.sync(self.inst_b, self.probe)
        self.sync(self.inst_a, self.probe)
        self.assertRegex(read_bytes(self.log_b),
                         b"\\A" + received_entry(b"PC-A", text) + b"\\Z")
        # Every press of the button was logged, each with the recipient as typed.
        entries = b"".join(sent_entry(r, text) for r in (b"<Fern>", b"PC-Z", b"PC-B"))
        self.assertRegex(read_bytes(self.log_a), b"\\A" + entries + b"\\Z")
        # Neither the probe nor PC-C got the message.
        self.assertEqual([d for probe in (self.probe, self.probe_c)
                          for d in probe.datagrams(src=self.a.addr)
                          if b":KVPALAVERODATA:" in d.data], [])


class ReceiveWhileTypingTest(LanTestCase):
    """PC-B on its own X server, its user writing; the probe PC-P sends it a message."""

    def setUp(self):
        super().setUp()
        lan.require_tools("xdotool", "Xvfb", "import")
        self.b = self.lan.add_host("PC-B")   # 10.77.0.1
        self.p = self.lan.add_host("PC-P")   # 10.77.0.2
        self.probe = self.lan.probe(self.p)
        xdg = self.lan.new_xdg()
        xdg.write_settings(SaveHistory="1", Sound="0")
        self.screen = Screen(self, self.b, xdg, self.lan.xvfb(self.b))
        self.inst = self.start_ready(self.b, self.probe, xdg=xdg, env=self.screen.env)
        self.log = os.path.join(xdg.data_dir, "Palavero.Log")
        self.lan.wait_windows(self.b, self.screen.display, TITLE, visible=False)

    def test_arrival_keeps_the_focus_the_draft_and_its_recipient(self):
        window = self.screen.open_window()
        # A draft to everyone: the text, then the recipient "*", back to the editor.
        self.screen.type("abc")
        self.screen.key("shift+Tab", "ctrl+a")
        self.screen.type("*")
        self.screen.key("Tab")
        # The top strip of the window: the recipient box and its buttons in the
        # compose view, the message pane in the message view. (It stays clear of
        # the editor, whose blinking cursor would change the picture.)
        width, _ = self.screen.window_size(window)
        top = lambda: self.screen.capture(window, width, 30)
        compose_top = wait_equal(top, top(), "the compose view to settle")

        self.probe.send(b"PC-P:KVPALAVERODATA:Hallo B", self.b.addr)
        self.inst.wait_line("palavero.status: 27 Bytes empfangen ")
        # The message view: the pane appears above the compose area, in the same
        # window, which stays shown and keeps the keyboard focus.
        wait_true(lambda: top() != compose_top, "the message pane to show")
        self.assertEqual(self.screen.visible(), [window])
        self.screen.wait_focus(window)

        # Further keys land in the editor behind the text typed before; the
        # draft kept its recipient, so Alt+S sends it to everyone, not to PC-P.
        mark = self.probe.mark()
        self.screen.type("def")
        self.screen.key("alt+s")
        got = self.probe.wait(src=self.b.addr, since=mark)
        self.assertEqual([(d.dst, d.data) for d in got],
                         [(lan.BROADCAST, b"PC-B:KVPALAVERODATA:abcdef")])
        self.inst.wait_line("palavero.status: Nachricht gesendet: 26 Bytes")
        self.lan.wait_windows(self.b, self.screen.display, TITLE, visible=False)

        # With an empty editor the sender of the next message is preset: the reply.
        self.probe.send(b"PC-P:KVPALAVERODATA:Noch was", self.b.addr)
        self.inst.wait_line("palavero.status: 28 Bytes empfangen ")
        self.screen.open_window()
        mark = self.probe.mark()
        self.screen.type("ghi")
        self.screen.key("alt+s")
        got = self.probe.wait(src=self.b.addr, since=mark)
        self.assertEqual([(d.dst, d.data) for d in got],
                         [(self.p.addr, b"PC-B:KVPALAVERODATA:ghi")])
        log = read_bytes(self.log)
        self.assertRegex(log, b"\\A" + received_entry(b"PC-P", b"Hallo B")
                         + sent_entry(b"*", b"abcdef") + received_entry(b"PC-P", b"Noch was")
                         + sent_entry(b"PC-P", b"ghi") + b"\\Z")


class GroupDistributionTest(LanTestCase):
    """A GROUPS datagram replaces PC-B's group file byte for byte."""

    def setUp(self):
        super().setUp()
        self.b = self.lan.add_host("PC-B")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        self.xdg = self.lan.new_xdg()
        self.xdg.write_settings(Sound="0")
        os.makedirs(self.xdg.data_dir, exist_ok=True)
        self.groups = os.path.join(self.xdg.data_dir, "PalaveroGroups.ini")
        with open(self.groups, "wb") as f:
            f.write(b"[Einkauf]\r\nMembers=PC-X,\r\n\r\n")
        self.inst = self.start_ready(self.b, self.probe, xdg=self.xdg)
        self.inst.wait_line("palavero.targets: target added: <Einkauf> ")

    def test_received_groups_replace_the_file(self):
        payload = b"[Vertrieb]\nMembers=PC1,PC2,\n\n"
        self.probe.broadcast(b"PC-P:KVPALAVEROGROUPS:" + payload)
        self.inst.wait_line("palavero.targets: target added: <Vertrieb> ")
        self.sync(self.inst, self.probe)
        self.assertEqual(read_bytes(self.groups), payload)
        self.assertIn("palavero.targets: target added: <Vertrieb> ", self.inst.lines)
        # The group entries are those of the new file: the group it no longer has goes.
        self.assertEqual(self.inst.count("target removed"), 1, self.inst.log_tail())
        self.assertEqual(self.inst.count("palavero.targets: target removed: <Einkauf>"), 1, self.inst.log_tail())
        # A group name beyond ASCII arrives as it was sent.
        payload = b"[B\xfcro]\nMembers=PC1,\n\n"
        self.probe.broadcast(b"PC-P:KVPALAVEROGROUPS:" + payload)
        self.inst.wait_line("palavero.targets: target added: <Büro> ")
        self.sync(self.inst, self.probe)
        self.assertEqual(read_bytes(self.groups), payload)


def wait_true(predicate, what, timeout=lan.DEFAULT_TIMEOUT):
    """Waits until predicate() gives a true value; returns it."""
    value = poll(predicate, timeout)
    if not value:
        raise AssertionError("waited %.0f s for %s" % (timeout, what))
    return value


def wait_equal(fetch, first, what, timeout=lan.DEFAULT_TIMEOUT):
    """Waits until two fetches in a row give the same value."""
    previous = first
    deadline = time.monotonic() + timeout
    while True:
        time.sleep(0.2)
        current = fetch()
        if current == previous:
            return current
        if time.monotonic() > deadline:
            raise AssertionError("waited %.0f s for %s" % (timeout, what))
        previous = current


if __name__ == "__main__":
    lan.main()
