"""Hostile peers and faulty disks: a full file system, forged senders, long
continuation streams and floods cost the user neither files nor answers."""

import errno
import os
import re
import subprocess

import lan
from lan import LanTestCase

GROUPS = b"[Vertrieb]\r\nMembers=PC1,PC2,\r\n\r\n"


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


class FullDiskTest(LanTestCase):
    """The data directory is a small tmpfs that the test fills to the last block."""

    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.p = self.lan.add_host("PC-P")
        self.probe = self.lan.probe(self.p)
        self.xdg = self.lan.new_xdg()
        self.xdg.write_settings(SaveHistory="1", Sound="0", Music="0")
        self.data = self.xdg.data_dir
        os.makedirs(self.data)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=0700", "palavero-e2e", self.data],
                       check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", self.data], check=False)
        self.groups_path = os.path.join(self.data, "PalaveroGroups.ini")
        with open(self.groups_path, "wb") as f:
            f.write(GROUPS)
        self.inst = self.start_ready(self.a, self.probe, xdg=self.xdg)
        self.filler = os.path.join(self.data, "filler")

    def fill(self):
        """Takes every free block of the file system."""
        with open(self.filler, "wb", buffering=0) as f:
            try:
                while True:
                    f.write(b"\0" * 4096)
            except OSError as e:
                self.assertEqual(e.errno, errno.ENOSPC)

    def test_groups_datagram_on_a_full_disk_keeps_the_group_file(self):
        self.fill()
        self.probe.send(b"PC-P:KVPALAVEROGROUPS:[Neu]\nMembers=PC9,\n\n", self.a.addr)
        self.sync(self.inst, self.probe)
        self.assertEqual(read(self.groups_path), GROUPS)
        self.assertEqual(sorted(os.listdir(self.data)), ["PalaveroGroups.ini", "filler"])
        self.assertTrue(self.inst.running)

        # With room again, the next distribution is applied.
        os.remove(self.filler)
        self.probe.send(b"PC-P:KVPALAVEROGROUPS:[Neu]\nMembers=PC9,\n\n", self.a.addr)
        self.sync(self.inst, self.probe)
        self.assertEqual(read(self.groups_path), b"[Neu]\nMembers=PC9,\n\n")


if __name__ == "__main__":
    lan.main()
