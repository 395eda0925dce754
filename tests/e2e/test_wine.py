"""The Windows build under Wine on the namespaced LAN: a Windows instance
announces itself, answers a connect, and exchanges messages with a Linux
instance both ways. Each Windows host runs Wine in a prefix of its own, whose
first process starts inside the host's namespace (Wine makes its sockets in the
wineserver). Needs root, Wine, Xvfb and the cross build (PALAVERO_WINDOWS_EXE,
PALAVERO_WINDOWS_CLI)."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

import lan
from lan import LanTestCase
from waiting import poll

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "windows", "wine-run")


def require_windows_build():
    for name in ("PALAVERO_WINDOWS_EXE", "PALAVERO_WINDOWS_CLI"):
        if not os.path.isfile(os.environ.get(name, "")):
            raise unittest.SkipTest("%s is not set to the cross build" % name)
    if shutil.which("wine") is None:
        raise unittest.SkipTest("wine is missing")


class WineTest(LanTestCase):
    def setUp(self):
        require_windows_build()
        lan.require_tools("Xvfb")
        super().setUp()
        self.w = self.lan.add_host("PC-W")   # 10.77.0.1, Windows under Wine
        self.l = self.lan.add_host("PC-L")   # 10.77.0.2, Linux
        self.p = self.lan.add_host("PC-P")   # 10.77.0.3
        self.probe = self.lan.probe(self.p)
        self.prefix = tempfile.mkdtemp(prefix="palavero-wine-")
        self.addCleanup(shutil.rmtree, self.prefix, ignore_errors=True)

    def start_windows(self, args=()):
        """Starts the Windows program; answers the box of the firewall step,
        which Wine's firewall (no list of allowed programs) makes it show."""
        self.display = self.lan.xvfb(self.w)
        env = {"DISPLAY": self.display, "QT_QPA_PLATFORM": "windows", "WINE_RUN_PREFIX": self.prefix}
        # Its settings in the registry: the history on, no tone.
        for name, value in (("SaveHistory", "1"), ("Sound", "0")):
            r = self.lan.run(self.w, ["add", r"HKCU\Software\Korvel\Palavero\Settings", "/v", name,
                                      "/t", "REG_SZ", "/d", value, "/f"],
                             env=env, wrapper=[WINE_RUN], binary="reg", timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)
        inst = self.lan.start(self.w, list(args), env=env, wrapper=[WINE_RUN],
                              binary=os.environ["PALAVERO_WINDOWS_EXE"])
        self.assertTrue(poll(self.boxes, 60), "the firewall step showed no box")
        self.assertTrue(poll(self.answer_boxes, 30), "the firewall box did not go")
        return inst

    def xdotool(self, *args):
        r = subprocess.run(["ip", "netns", "exec", self.w.ns, "env", "DISPLAY=" + self.display, "xdotool"]
                           + list(args), capture_output=True, text=True, timeout=30)
        return r.stdout.split() if r.returncode == 0 else []

    def boxes(self):
        """The message boxes of the program (captioned with its name)."""
        return self.xdotool("search", "--onlyvisible", "--name", "^Palavero(-cli)?$")

    def answer_boxes(self):
        """Presses OK on each box; true once no box is left."""
        boxes = self.boxes()
        for box in boxes:
            self.xdotool("windowactivate", "--sync", box)
            self.xdotool("key", "--window", box, "Return")
        return not boxes

    def log_of_windows(self):
        path = os.path.join(self.prefix, "drive_c", "ProgramData", "Korvel", "Palavero", "Palavero.Log")
        try:
            with open(path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def test_announces_itself_and_answers_a_connect(self):
        mark = self.probe.mark()
        inst = self.start_windows()
        got = self.probe.wait(src=self.w.addr, data=b"PC-W:KVPALAVEROCONNECT:", count=2, since=mark,
                              timeout=60)
        self.assertEqual([(d.dst, d.sport) for d in got], [(lan.BROADCAST, 3030)] * 2)
        mark = self.probe.mark()
        self.probe.broadcast(b"PC-P:KVPALAVEROCONNECT:")
        got = self.probe.wait(src=self.w.addr, since=mark)
        self.assertEqual([d.data for d in got], [b"PC-W:KVPALAVEROREFRESH:"])
        self.assertTrue(inst.running)

    def test_messages_between_windows_and_linux(self):
        mark = self.probe.mark()
        self.start_windows()
        self.probe.wait(src=self.w.addr, data=b"PC-W:KVPALAVEROCONNECT:", count=2, since=mark, timeout=60)
        listener = self.lan.start(self.l, ["--listen"], stdout=True)
        self.probe.wait(src=self.l.addr, data=b"PC-L:KVPALAVEROCONNECT:", since=mark)

        # Linux -> Windows: the message lands in the Windows log as sent.
        r = self.lan.run(self.l, ["--send", "PC-W", "Grüße aus Linux, 5 €"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(poll(lambda: b"Gr\xfc\xdfe aus Linux, 5 \x80" in self.log_of_windows(), 30),
                        self.log_of_windows())

        # Windows -> Linux, from the console program of the Windows build.
        r = self.lan.run(self.w, ["--send", "PC-L", "Grüße aus Windows – 7 €"],
                         env={"WINE_RUN_PREFIX": self.prefix + "-cli"}, wrapper=[WINE_RUN],
                         binary=os.environ["PALAVERO_WINDOWS_CLI"], timeout=120)
        self.addCleanup(shutil.rmtree, self.prefix + "-cli", ignore_errors=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        message = json.loads(listener.wait_output(1, timeout=30)[0])
        self.assertEqual((message["from"], message["text"]), ("PC-W", "Grüße aus Windows – 7 €"))


    def test_installer_installs_and_uninstalls_silently(self):
        setup = os.environ.get("PALAVERO_WINDOWS_SETUP", "")
        if not os.path.isfile(setup):
            self.skipTest("PALAVERO_WINDOWS_SETUP is not set to the installer")
        env = {"WINE_RUN_PREFIX": self.prefix}
        folder = os.path.join(self.prefix, "drive_c", "Program Files", "Korvel", "Palavero")
        r = self.lan.run(self.w, ["/S"], env=env, wrapper=[WINE_RUN], binary=setup, timeout=180)
        self.assertEqual(r.returncode, 0, r.stderr)
        for name in ("palavero.exe", "palavero-cli.exe", "Qt6Widgets.dll", "Uninstall.exe",
                     os.path.join("plugins", "platforms", "qwindows.dll")):
            self.assertTrue(os.path.isfile(os.path.join(folder, name)), name)
        self.assertTrue(os.path.isdir(os.path.join(self.prefix, "drive_c", "ProgramData", "Korvel", "Palavero")))
        # The installed console program runs from its folder, with the DLLs beside it.
        r = self.lan.run(self.w, ["--version"], env=dict(env, WINE_RUN_ISOLATED="1"), wrapper=[WINE_RUN],
                         binary=os.path.join(folder, "palavero-cli.exe"), timeout=120)
        self.assertEqual((r.returncode, r.stdout.strip()), (0, b"Palavero Lite 2.6.12.142"), r.stderr)
        r = self.lan.run(self.w, ["/S"], env=env, wrapper=[WINE_RUN],
                         binary=os.path.join(folder, "Uninstall.exe"), timeout=180)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(poll(lambda: not os.path.exists(os.path.join(folder, "palavero.exe")), 30))


if __name__ == "__main__":
    lan.main()
