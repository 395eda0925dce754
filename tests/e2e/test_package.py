"""The Debian package: built with CPack from the build folder, checked by the
validators, installed with apt-get on this machine, and removed again.

Needs root and apt-get; skips when a package named palavero is installed
already (it is not ours to replace).
"""

import glob
import os
import shutil
import struct
import subprocess
import unittest

import lan

VERSION = "2.6.12.142"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def run(args, check=True, **kw):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)
    if check and r.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s" % (" ".join(args), r.returncode, r.stdout))
    return r


def installed(package):
    r = run(["dpkg-query", "-W", "-f=${Status}", package], check=False)
    return r.returncode == 0 and "install ok installed" in r.stdout


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("installing a package needs root")
        for tool in ("cpack", "apt-get", "dpkg-deb"):
            if shutil.which(tool) is None:
                raise unittest.SkipTest("the tool '%s' is missing" % tool)
        cls.build = os.environ.get("PALAVERO_BUILD_DIR", "")
        if not os.path.isfile(os.path.join(cls.build, "CPackConfig.cmake")):
            raise unittest.SkipTest("PALAVERO_BUILD_DIR does not name a configured build folder")
        if installed("palavero"):
            raise unittest.SkipTest("a palavero package is installed already")
        for old in glob.glob(os.path.join(cls.build, "palavero_*.deb")):
            os.remove(old)
        run(["cpack", "-G", "DEB"], cwd=cls.build)
        debs = glob.glob(os.path.join(cls.build, "palavero_%s_*.deb" % VERSION))
        assert len(debs) == 1, debs
        cls.deb = debs[0]

    def test_package_fields(self):
        fields = run(["dpkg-deb", "-f", self.deb]).stdout
        self.assertIn("Package: palavero\n", fields)
        self.assertIn("Version: %s\n" % VERSION, fields)
        self.assertIn("Section: net\n", fields)
        self.assertRegex(fields, r"Maintainer: .+ <.+@.+>")
        # Computed from the shared libraries of the executable.
        self.assertRegex(fields, r"Depends: .*libqt6widgets6 \(>= ")
        self.assertIn("qt6-qpa-plugins", fields)
        # xdg-screensaver starts the screen savers without a session-bus service.
        self.assertRegex(fields, r"Recommends: .*xdg-utils")

    def test_lintian_finds_no_errors_or_warnings(self):
        if shutil.which("lintian") is None:
            self.skipTest("lintian is missing")
        r = run(["lintian", "--fail-on", "error,warning", self.deb], check=False)
        self.assertEqual(r.returncode, 0, r.stdout)
        # The audio module's private folder needs no ldconfig: no maintainer scripts at all.
        control = run(["dpkg-deb", "-I", self.deb]).stdout
        self.assertNotIn("postinst", control)
        self.assertNotIn("postrm", control)

    def test_install_check_and_remove(self):
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        deb = "./" + os.path.relpath(self.deb, self.build)
        self.addCleanup(lambda: installed("palavero") and run(
            ["apt-get", "remove", "--purge", "-y", "-qq", "palavero"], env=env, check=False))
        run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", deb], cwd=self.build, env=env)
        self.assertTrue(installed("palavero"))

        # The program, without a display.
        env_nodisplay = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env_nodisplay["QT_QPA_PLATFORM"] = "xcb"
        r = run(["palavero", "--version"], env=env_nodisplay, check=False)
        self.assertEqual((r.returncode, r.stdout), (0, "Palavero Lite %s\n" % VERSION))
        self.assertEqual(shutil.which("palavero"), "/usr/bin/palavero")

        self.check_audio_module_loaded_on_first_arrival()

        # The menu entry and the AppStream metadata, valid by the system's validators.
        desktop = "/usr/share/applications/palavero.desktop"
        with open(desktop, encoding="utf-8") as f:
            entry = f.read()
        self.assertIn("\nExec=palavero\n", entry)
        self.assertIn("\nIcon=palavero\n", entry)
        if shutil.which("desktop-file-validate"):
            self.assertEqual(run(["desktop-file-validate", desktop], check=False).stdout, "")
        metainfo = glob.glob("/usr/share/metainfo/*.metainfo.xml")
        metainfo = [m for m in metainfo if "palavero" in m]
        self.assertEqual(len(metainfo), 1)
        if shutil.which("appstreamcli"):
            run(["appstreamcli", "validate", "--no-net", metainfo[0]])

        # The icon in every size the panels ask for.
        self.assertTrue(os.path.isfile("/usr/share/icons/hicolor/scalable/apps/palavero.svg"))
        for size in ICON_SIZES:
            path = "/usr/share/icons/hicolor/%dx%d/apps/palavero.png" % (size, size)
            self.assertEqual(png_size(path), (size, size), path)

        # The manual page, German and English.
        self.assertTrue(os.path.isfile("/usr/share/man/man1/palavero.1.gz"))
        self.assertTrue(os.path.isfile("/usr/share/man/de/man1/palavero.1.gz"))
        if shutil.which("man"):
            page = run(["man", "-P", "cat", "palavero"], env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8",
                                                              MANWIDTH="80")).stdout
            self.assertIn("--send", page)
            self.assertIn("F10", page)
            page_de = run(["man", "-L", "de", "-P", "cat", "palavero"],
                          env=dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")).stdout
            self.assertIn("BESCHREIBUNG", page_de)
            self.assertIn("F10", page_de)

        # Removal takes every file along.
        run(["apt-get", "remove", "--purge", "-y", "-qq", "palavero"], env=env)
        self.assertFalse(installed("palavero"))
        for path in ("/usr/bin/palavero", desktop, metainfo[0], "/usr/share/man/man1/palavero.1.gz",
                     "/usr/share/icons/hicolor/48x48/apps/palavero.png"):
            self.assertFalse(os.path.exists(path), path)

    def check_audio_module_loaded_on_first_arrival(self):
        """The installed program, in a host of the test LAN, finds its audio
        module beside it and loads it when the first message arrives ("Ton bei
        Nachrichteneingang ausgeben" is on by default)."""
        saved = os.environ.get("PALAVERO_BIN")
        os.environ["PALAVERO_BIN"] = "/usr/bin/palavero"
        try:
            with lan.Lan() as net:
                a, p = net.add_host("PC-A"), net.add_host("PC-P")
                probe = net.probe(p)
                inst = net.start(a)
                # The second announcement: the program receives from here on.
                probe.wait(src=a.addr, data=b"PC-A:KVPALAVEROCONNECT:", count=2)
                self.assertEqual(inst.matching("audio module"), [], "loaded before any sound")
                probe.send(b"PC-P:KVPALAVERODATA:Hallo", a.addr)
                loaded = inst.wait_line("palavero.platform.sound: audio module loaded")
                self.assertIn("/usr/lib/palavero/palavero-sound.so", loaded[0])
                self.assertEqual(inst.matching("missing"), [])
                self.assertEqual(inst.matching("Kein Ton"), [])
        finally:
            if saved is None:
                os.environ.pop("PALAVERO_BIN", None)
            else:
                os.environ["PALAVERO_BIN"] = saved


if __name__ == "__main__":
    lan.main()
