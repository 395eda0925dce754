#!/usr/bin/env python3
"""Send -> message visible: palavero against a bare Qt program doing the same job.

Both run side by side on one virtual desktop (Xvfb, openbox, trayer), each
listening on its own UDP port on loopback; the bare program (bare_messenger.cpp)
appends each datagram's text to a read-only pane of an always-on-top window,
shows the window without taking the focus when it is hidden, raises it, and
shows the tray balloon, as palavero does. An X client with the DAMAGE
extension times each datagram from the send to the first change of the
program's window on the screen, in two cases, in turns:
  - hidden: the window is put away ("S&chließen") before the datagram;
  - shown: the window shows the previous message already.
Prints min / median / max per program and case and the ratios of the medians.

    bench_visible.py [--rounds N] [--palavero PATH] [--bare PATH]
    bench_visible.py --smoke    two rounds; checks that every datagram showed
"""

import argparse
import os
import select
import socket
import statistics
import sys
import time

try:
    from Xlib import X, display as xdisplay
    from Xlib.ext import damage
except ImportError:
    # python3-xlib belongs to the system's Python.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    print("skipped: python3-xlib is missing")
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from desktop import Desktop, free_port, wait_for  # noqa: E402
import lan  # noqa: E402


class DamageClock:
    """Times from a send to the first damage of one window."""

    def __init__(self, display_name, wid):
        self.d = xdisplay.Display(display_name)
        if not self.d.has_extension("DAMAGE"):
            raise RuntimeError("the X server has no DAMAGE extension")
        self.d.damage_query_version()
        self.wid = wid
        self.win = self.d.create_resource_object("window", wid)
        self.damage = self.win.damage_create(damage.DamageReportNonEmpty)
        self.d.sync()

    def arm(self):
        """Forgets what was damaged so far: the next change reports anew."""
        self.d.damage_subtract(self.damage)
        self.d.sync()
        while self.d.pending_events():
            self.d.next_event()

    def wait(self, started, timeout=5.0):
        """Seconds from `started` to the window's next damage; None on time-out."""
        deadline = started + timeout
        while True:
            while self.d.pending_events():
                ev = self.d.next_event()
                # The extension registers its own class for the event.
                if type(ev).__name__ == "DamageNotify" and ev.drawable.id == self.wid:
                    return time.monotonic() - started
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.d.fileno()], [], [], left)

    def close(self):
        self.d.damage_destroy(self.damage)
        self.d.close()


class Program:
    def __init__(self, desk, name, title, port, proc):
        self.desk, self.name, self.title, self.port, self.proc = desk, name, title, port, proc
        self.clock = None
        self.wid = None
        self.count = 0

    def send(self, text):
        self.count += 1
        data = b"PC-B:KVPALAVERODATA:" + text + b" %d" % self.count
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            started = time.monotonic()
            s.sendto(data, ("127.0.0.1", self.port))
        return started

    def shown(self):
        return self.desk.visible_windows("^%s$" % self.title)

    def first_show(self):
        """The first message builds and shows the window; the clock watches it from then on."""
        self.send(b"Erste")
        wids = wait_for(self.shown, timeout=15)
        if not wids:
            raise RuntimeError("%s showed no window" % self.name)
        self.wid = wids[0]
        self.clock = DamageClock(self.desk.display, self.wid)

    def hide(self):
        self.desk.x(["xdotool", "windowactivate", "--sync", str(self.wid)], check=False)
        self.desk.x(["xdotool", "key", "--window", str(self.wid), "--clearmodifiers", "alt+c"])
        if not wait_for(lambda: not self.shown(), timeout=5):
            raise RuntimeError("%s did not hide its window" % self.name)
        time.sleep(0.2)

    def time_message(self, text):
        self.clock.arm()
        started = self.send(text)
        return self.clock.wait(started)


def start_programs(desk, palavero, bare):
    os.environ["PALAVERO_BIN"] = palavero
    port = free_port()
    app = desk.start_palavero(["-p%d" % port], settings={"Sound": "0"})
    time.sleep(2)  # past its start steps
    if not app.running():
        raise RuntimeError("palavero ended:\n" + "\n".join(app.lines()[-20:]))
    bare_port = free_port()
    bare_proc = desk._spawn([bare, str(bare_port)], log="bare.log")
    time.sleep(1.0)
    return [Program(desk, "palavero", "Palavero Lite", port, app.proc),
            Program(desk, "bare Qt window", "Bare Messenger", bare_port, bare_proc)]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--smoke", action="store_true", help="two rounds, checks the results only")
    parser.add_argument("--palavero", default=os.environ.get("PALAVERO_BIN",
                                                             os.path.join(HERE, "..", "..", "build", "palavero")))
    parser.add_argument("--bare", default=os.path.join(HERE, "..", "..", "build", "bench", "visible",
                                                       "bench_bare_messenger"))
    args = parser.parse_args()
    rounds = 2 if args.smoke else args.rounds
    try:
        lan.require_tools("Xvfb", "openbox", "trayer", "xdotool")
    except Exception as e:  # noqa: BLE001
        print("skipped: %s" % e)
        return 77
    times = {}
    with Desktop(tray=True) as desk:
        programs = start_programs(desk, args.palavero, args.bare)
        for p in programs:
            p.first_show()
            time.sleep(0.5)
        for _ in range(rounds):
            for p in programs:
                for case in ("hidden", "shown"):
                    if case == "hidden":
                        p.hide()
                    else:
                        time.sleep(0.3)  # the balloon and the pane of the last one have settled
                    t = p.time_message(b"Nachricht")
                    times.setdefault((p.name, case), []).append(t)
        for p in programs:
            p.clock.close()
    missing = [key for key, values in times.items() if None in values]
    if args.smoke:
        if missing:
            print("smoke: no change on the screen for %s" % ", ".join("%s (%s)" % k for k in missing))
            return 1
        print("smoke: ok")
        return 0
    print("send -> message visible on the screen (DAMAGE), %d rounds, Xvfb with openbox and trayer" % rounds)
    medians = {}
    for (name, case), values in sorted(times.items()):
        got = [v * 1000 for v in values if v is not None]
        medians[(name, case)] = statistics.median(got)
        print("%-16s %-7s min %7.2f  median %7.2f  max %7.2f ms%s" % (
            name, case, min(got), medians[(name, case)], max(got),
            "" if len(got) == len(values) else "  (%d not seen)" % (len(values) - len(got))))
    for case in ("hidden", "shown"):
        print("palavero / bare, %s: %.2f (target <= 1.3)" % (
            case, medians[("palavero", case)] / medians[("bare Qt window", case)]))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
