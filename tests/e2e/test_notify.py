"""Arrivals on modern panels: desktop notifications and the StatusNotifierItem
tray, on a private session bus with a minimal notification server and a
minimal StatusNotifierWatcher (fake_desktop_bus.py, run by the system's
python3 with python3-dbus and python3-gi), on Xvfb with openbox."""

import json
import os
import queue
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lan  # noqa: E402
from desktop import SESSION_BUS_CONF, Desktop, free_port, wait_for  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SYSTEM_PYTHON = "/usr/bin/python3"


def require_bus_tools():
    if shutil.which("dbus-daemon") is None or shutil.which("dbus-send") is None:
        raise unittest.SkipTest("dbus-daemon is missing")
    r = subprocess.run([SYSTEM_PYTHON, "-c", "import dbus, gi"], capture_output=True)
    if r.returncode != 0:
        raise unittest.SkipTest("python3-dbus and python3-gi are missing")


class Lines:
    """JSON lines of a process's standard output, read on a thread."""

    def __init__(self, stream):
        self.items = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            try:
                self.items.put(json.loads(line))
            except ValueError:
                pass

    def next(self, key, timeout=10):
        while True:
            try:
                item = self.items.get(timeout=timeout)
            except queue.Empty:
                raise AssertionError("no %r within %d s; seen: %r" % (key, timeout, self.seen))
            self.seen.append(item)
            if key in item:
                return item[key]

    def none(self, key, timeout):
        try:
            while True:
                item = self.items.get(timeout=timeout)
                self.seen.append(item)
                if key in item:
                    return False
        except queue.Empty:
            return True


class NotifyTest(unittest.TestCase):
    def setUp(self):
        require_bus_tools()
        self.tmp = tempfile.TemporaryDirectory(prefix="palavero-notify-")
        self.addCleanup(self.tmp.cleanup)
        self.procs = []
        self.addCleanup(self._kill_all)
        conf = os.path.join(self.tmp.name, "bus.conf")
        with open(conf, "w") as f:
            f.write(SESSION_BUS_CONF)
        bus = self._spawn(["dbus-daemon", "--config-file=" + conf, "--nofork", "--print-address=1"],
                          stdout=subprocess.PIPE, text=True)
        self.bus = bus.stdout.readline().strip()
        self.assertTrue(self.bus.startswith("unix:"), self.bus)

    def _spawn(self, args, env=None, **kw):
        p = subprocess.Popen(args, env=env, **kw)
        self.procs.append(p)
        return p

    def _kill_all(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.kill()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                pass

    def services(self, *flags):
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus)
        p = self._spawn([SYSTEM_PYTHON, os.path.join(HERE, "fake_desktop_bus.py")] + list(flags), env=env,
                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        lines = Lines(p.stdout)
        lines.next("ready")
        return p, lines

    def start(self, desk):
        self.port = free_port()
        root = tempfile.mkdtemp(dir=self.tmp.name)
        env = dict(desk.env, QT_QPA_PLATFORM="xcb", DBUS_SESSION_BUS_ADDRESS=self.bus,
                   QT_LOGGING_RULES="palavero.*.debug=true", QT_MESSAGE_PATTERN="%{category}: %{message}")
        for key in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"):
            env[key] = os.path.join(root, key.lower())
            os.makedirs(env[key], mode=0o700)
        self.log = open(os.path.join(root, "palavero.log"), "w")
        self.addCleanup(self.log.close)
        return self._spawn([os.environ["PALAVERO_BIN"], "-p%d" % self.port], env=env, stdout=self.log,
                           stderr=subprocess.STDOUT)

    def send(self, data):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.sendto(data, ("127.0.0.1", self.port))

    def check_notification(self, lines):
        self.send(b"PC-T:KVPALAVERODATA:Gr\xfc\xdfe aus T\r\nzweite Zeile")
        note = lines.next("notify")
        self.assertEqual(note["summary"], "Palavero von PC-T")
        self.assertEqual(note["body"], "Grüße aus T")
        self.assertEqual(note["app_name"], "Palavero Lite")
        self.assertEqual(note["app_icon"], "palavero")
        self.assertEqual(note["hints"].get("desktop-entry"), "palavero")
        self.assertEqual(note["actions"][0], "default")
        return note

    def test_sni_tray_and_notifications(self):
        if not os.environ.get("PALAVERO_BIN"):
            raise unittest.SkipTest("PALAVERO_BIN is not set")
        with Desktop(tray=False) as desk:
            server, lines = self.services("--notifications", "--watcher")
            app = self.start(desk)
            item = lines.next("registered", timeout=15)
            note = self.check_notification(lines)
            # The window shows without the focus; a click on the notification activates it.
            wait_for(lambda: desk.visible_windows("^Palavero Lite$"), timeout=10)
            server.stdin.write("click %d\n" % note["id"])
            server.stdin.flush()
            self.assertTrue(wait_for(lambda: desk.visible_windows("^Palavero Lite$"), timeout=10))
            # "Schließen" (Alt+C) puts it into the tray; Activate of the tray item opens it.
            subprocess.run(["xdotool", "key", "--clearmodifiers", "alt+c"], env=desk.env)
            self.assertTrue(wait_for(lambda: not desk.visible_windows("^Palavero Lite$"), timeout=10))
            r = subprocess.run(["dbus-send", "--session", "--type=method_call", "--dest=" + item,
                                "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate",
                                "int32:0", "int32:0"],
                               env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus), capture_output=True,
                               text=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertTrue(wait_for(lambda: desk.visible_windows("^Palavero Lite$"), timeout=10))
            self.assertIsNone(app.poll())

    def test_xembed_tray_with_a_notification_server(self):
        if not os.environ.get("PALAVERO_BIN"):
            raise unittest.SkipTest("PALAVERO_BIN is not set")
        with Desktop(tray=True) as desk:
            _server, lines = self.services("--notifications")
            app = self.start(desk)
            self.assertTrue(wait_for(lambda: desk.tray_icons(), timeout=15), "no XEmbed tray icon")
            self.check_notification(lines)
            self.assertIsNone(app.poll())


if __name__ == "__main__":
    lan.main()
