"""A real X desktop for end-to-end tests of palavero's windows.

Xvfb (-noreset), openbox as the window manager, trayer as the tray host; the
program runs inside dbus-run-session with a bus configuration that starts no
services. xdotool drives it; ImageMagick's `import` takes screenshots.

    with Desktop(tray=True) as desk:
        app = desk.start_palavero(["-p3131"])
        icon = desk.wait_tray_icon()
"""

import os
import shlex
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from waiting import poll

SESSION_BUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

TOOLS = ("Xvfb", "openbox", "trayer", "xdotool", "dbus-run-session", "import", "xwininfo")


def require_desktop_tools():
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if missing:
        raise unittest.SkipTest("desktop tools missing: " + ", ".join(missing))


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


wait_for = poll


def _display_taken(n):
    try:
        with open("/tmp/.X%d-lock" % n) as f:
            pid = int(f.read().strip() or 0)
    except (OSError, ValueError):
        return False
    if pid <= 0:
        return True
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


class Desktop:
    def __init__(self, tray=True, screenshot_dir=None):
        self.tray = tray
        self.procs = []
        self.tmp = tempfile.TemporaryDirectory(prefix="palavero-desk-")
        self.display = None
        self.screenshot_dir = screenshot_dir

    # -- set-up -------------------------------------------------------------
    def __enter__(self):
        require_desktop_tools()
        self.display = self._start_xvfb()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)
        self._spawn(["openbox", "--sm-disable"], log="openbox.log")
        wait_for(lambda: self._xprop_root("_NET_SUPPORTING_WM_CHECK"), timeout=10)
        if self.tray:
            self.start_tray()
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        self.tmp.cleanup()
        return False

    def _start_xvfb(self):
        for n in range(90, 140):
            # A server that was killed leaves its socket behind; only a lock
            # file of a running server marks a display as taken.
            if _display_taken(n):
                continue
            try:
                os.unlink("/tmp/.X11-unix/X%d" % n)
            except FileNotFoundError:
                pass
            display = ":%d" % n
            p = self._spawn(["Xvfb", display, "-screen", "0", "1280x800x24", "-noreset", "-nolisten", "tcp"],
                            env=os.environ, log="xvfb.log")
            if wait_for(lambda: os.path.exists("/tmp/.X11-unix/X%d" % n) or p.poll() is not None, timeout=10) \
                    and p.poll() is None:
                return display
        raise RuntimeError("no X display could be started")

    def _spawn(self, args, env=None, log=None, **kw):
        out = open(os.path.join(self.tmp.name, log), "w") if log else subprocess.DEVNULL
        p = subprocess.Popen(args, env=env if env is not None else self.env, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True, **kw)
        if log:
            out.close()
        self.procs.append(p)
        return p

    def start_tray(self):
        self._spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                     "--SetDockType", "true", "--expand", "true"], log="trayer.log")
        wait_for(lambda: self._tray_selection_owned(), timeout=10)

    def _tray_selection_owned(self):
        r = self.x(["xdotool", "search", "--name", "^panel$"], check=False)
        return r.returncode == 0 and r.stdout.strip()

    def _xprop_root(self, atom):
        r = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env, capture_output=True, text=True)
        return r.returncode == 0

    # -- the program --------------------------------------------------------
    def start_palavero(self, args, settings=None, session=(), extra_env=None):
        """Starts the program on a session bus of its own; `session` names
        further programs (argument lists) started on that bus before it, such
        as a screen saver; `extra_env` adds to its environment."""
        root = tempfile.mkdtemp(prefix="xdg-", dir=self.tmp.name)
        xdg = {k: os.path.join(root, k.lower()) for k in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR")}
        for d in xdg.values():
            os.makedirs(d, mode=0o700, exist_ok=True)
        if settings:
            os.makedirs(os.path.join(xdg["XDG_CONFIG_HOME"], "Korvel"), exist_ok=True)
            with open(os.path.join(xdg["XDG_CONFIG_HOME"], "Korvel", "Palavero.conf"), "w") as f:
                f.write("[Settings]\n")
                for k, v in settings.items():
                    f.write("%s=%s\n" % (k, v))
        conf = os.path.join(self.tmp.name, "session-bus.conf")
        with open(conf, "w") as f:
            f.write(SESSION_BUS_CONF)
        env = dict(self.env, QT_QPA_PLATFORM="xcb", QT_LOGGING_RULES="palavero.*.debug=true",
                   QT_MESSAGE_PATTERN="%{category}: %{message}", **xdg)
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.update(extra_env or {})
        binary = os.environ.get("PALAVERO_BIN")
        if not binary or not os.path.exists(binary):
            raise unittest.SkipTest("PALAVERO_BIN is not set to the built program")
        log = os.path.join(root, "palavero.log")
        bus_file = os.path.join(root, "session-bus")
        # The shell notes the bus address and starts the other programs first.
        script = 'printf %s "$DBUS_SESSION_BUS_ADDRESS" > "$0"; ' + "".join(
            " ".join(shlex.quote(a) for a in cmd) + " & " for cmd in session) + 'exec "$@"'
        out = open(log, "w")
        p = subprocess.Popen(["dbus-run-session", "--config-file=" + conf, "--", "sh", "-c", script, bus_file, binary]
                             + list(args), env=env, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        out.close()
        self.procs.append(p)
        return App(self, p, log, xdg, bus_file)

    # -- X helpers ----------------------------------------------------------
    def x(self, args, check=True):
        r = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=30)
        if check and r.returncode != 0:
            raise AssertionError("%s failed: %s" % (" ".join(args), r.stderr))
        return r

    def visible_windows(self, name):
        r = self.x(["xdotool", "search", "--onlyvisible", "--name", name], check=False)
        return [int(w) for w in r.stdout.split()] if r.returncode == 0 else []

    def window_geometry(self, wid):
        # A window may vanish between the listing and this look (an empty answer).
        r = self.x(["xwininfo", "-id", str(wid)], check=False)
        info = {}
        for line in r.stdout.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height", "Map State"):
                if line.startswith(key + ":"):
                    info[key] = line.split(":", 1)[1].strip()
        return info

    def tray_icons(self):
        """Mapped windows of 16 to 24 pixels inside trayer: the embedded tray icons."""
        r = self.x(["xwininfo", "-root", "-tree"], check=False)
        icons = []
        for line in r.stdout.splitlines():
            line = line.strip()
            if not line.startswith("0x"):
                continue
            parts = line.split()
            geo = [p for p in parts if "x" in p and "+" in p and p[0].isdigit()]
            if not geo:
                continue
            size = geo[0].split("+")[0]
            try:
                w, h = (int(v) for v in size.split("x"))
            except ValueError:
                continue
            if 16 <= w <= 24 and w == h and '"palavero"' in line.lower():
                wid = int(parts[0], 16)
                if self.window_geometry(wid).get("Map State") == "IsViewable":
                    icons.append(wid)
        return icons

    def screenshot(self, name):
        if not self.screenshot_dir:
            return None
        os.makedirs(self.screenshot_dir, exist_ok=True)
        path = os.path.join(self.screenshot_dir, name + ".png")
        self.x(["import", "-window", "root", path], check=False)
        return path


class App:
    def __init__(self, desk, proc, log, xdg, bus_file):
        self.desk = desk
        self.proc = proc
        self.log = log
        self.xdg = xdg
        self.bus_file = bus_file

    def session_env(self):
        """The desktop's environment on the program's session bus."""
        wait_for(lambda: os.path.exists(self.bus_file) and os.path.getsize(self.bus_file), timeout=10)
        with open(self.bus_file) as f:
            return dict(self.desk.env, DBUS_SESSION_BUS_ADDRESS=f.read())

    def lines(self):
        with open(self.log, errors="replace") as f:
            return f.read().splitlines()

    def has_line(self, text):
        return any(text in line for line in self.lines())

    def wait_line(self, text, timeout=10):
        return wait_for(lambda: self.has_line(text), timeout=timeout)

    def running(self):
        return self.proc.poll() is None

    def terminate(self, timeout=10):
        """SIGTERM to the program and its session bus; waits for the end."""
        try:
            os.killpg(self.proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, signal.SIGKILL)
            return self.proc.wait(timeout=5)

    def main_windows(self):
        return self.desk.visible_windows("^Palavero Lite$")

    def data_file(self, name):
        return os.path.join(self.xdg["XDG_DATA_HOME"], "Korvel", "Palavero", name)
