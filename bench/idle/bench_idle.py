#!/usr/bin/env python3
"""Idle memory and start-up time of palavero against a bare Qt tray program.

Both run on the same virtual desktop (Xvfb, openbox, trayer), in turns:
  - start-up: palavero from exec to its first connect datagram on the wire
    (a socket on the program's port receives the broadcast), against the bare
    program from exec to the start of its event loop;
  - memory: resident set and anonymous memory (/proc/PID/status) after 6 s
    (and after 60 s with --long).
Prints min / median / max of each figure and the ratios of the medians.

    bench_idle.py [--rounds N] [--long] [--palavero PATH] [--bare PATH]
    bench_idle.py --smoke     one round, memory after 1 s; checks that palavero
                              sent its first connect and the bare program
                              reached its event loop
"""

import argparse
import os
import select
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from desktop import Desktop  # noqa: E402
import lan  # noqa: E402


class ProgramEnded(Exception):
    pass


def memory(proc):
    """(resident, anonymous) in KiB of a running program; ProgramEnded when it has ended."""
    if proc.poll() is not None:
        raise ProgramEnded("%s ended with exit status %d" % (proc.args[0], proc.returncode))
    values = {}
    with open("/proc/%d/status" % proc.pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "RssAnon"):
                values[key] = int(rest.split()[0])
    return values["VmRSS"], values["RssAnon"]


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("", 0))
        return s.getsockname()[1]


def run_palavero(desk, binary, settle):
    port = free_port()
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("", port))
    home = tempfile.mkdtemp(prefix="idle-", dir=desk.tmp.name)
    env = dict(desk.env, QT_QPA_PLATFORM="xcb")
    for key in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"):
        env[key] = os.path.join(home, key.lower())
        os.makedirs(env[key], mode=0o700)
    start = time.monotonic_ns()
    proc = subprocess.Popen([binary, "-p%d" % port], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    first = None
    deadline = time.monotonic() + 10
    while first is None and time.monotonic() < deadline:
        ready, _, _ = select.select([listener], [], [], 0.5)
        if ready:
            data, _ = listener.recvfrom(9000)
            if b":KVPALAVEROCONNECT:" in data:
                first = time.monotonic_ns()
    listener.close()
    time.sleep(settle)
    mem = memory(proc)
    proc.terminate()
    proc.wait(timeout=10)
    return (first - start) / 1e6 if first else None, mem


def run_bare(desk, binary, settle):
    start = time.monotonic_ns()
    proc = subprocess.Popen([binary], env=dict(desk.env, QT_QPA_PLATFORM="xcb"), stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline().split()
    loop = int(line[1]) if len(line) == 2 and line[0] == "loop" else None
    time.sleep(settle)
    mem = memory(proc)
    proc.terminate()
    proc.wait(timeout=10)
    return (loop - start) / 1e6 if loop else None, mem


def spread(values):
    values = [v for v in values if v is not None]
    if not values:
        return "no values", None
    return "min %8.1f  median %8.1f  max %8.1f" % (min(values), statistics.median(values), max(values)), \
        statistics.median(values)


def smoke(palavero, bare):
    try:
        with Desktop(tray=True) as desk:
            started, _ = run_palavero(desk, palavero, 1)
            looping, _ = run_bare(desk, bare, 1)
    except ProgramEnded as ended:
        return [str(ended)]
    wrong = []
    if started is None:
        wrong.append("palavero sent no connect within 10 s")
    if looping is None:
        wrong.append("the bare tray program did not reach its event loop")
    return wrong


def main():
    build = os.path.join(HERE, "..", "..", "build")
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--long", action="store_true", help="measure memory after 60 s instead of 6 s")
    parser.add_argument("--palavero", default=os.path.join(build, "palavero"))
    parser.add_argument("--bare", default=os.path.join(build, "bench", "idle", "bench_bare_tray"))
    parser.add_argument("--smoke", action="store_true", help="one round, checks the results only")
    args = parser.parse_args()
    if args.smoke:
        lan.run_smoke(lambda: smoke(args.palavero, args.bare))
    settle = 60 if args.long else 6
    results = {"palavero": [], "bare": []}
    with Desktop(tray=True) as desk:
        for _ in range(args.rounds):
            results["palavero"].append(run_palavero(desk, args.palavero, settle))
            results["bare"].append(run_bare(desk, args.bare, settle))
    print("%d rounds, in turns, memory after %d s" % (args.rounds, settle))
    medians = {}
    for what, index, scale, label in (("start", 0, 1, "ms"), ("rss", 1, 1 / 1024, "MB"), ("anon", 2, 1 / 1024, "MB")):
        for who in ("palavero", "bare"):
            if index == 0:
                values = [r[0] for r in results[who]]
            else:
                values = [r[1][index - 1] * scale for r in results[who]]
            text, medians[(what, who)] = spread(values)
            name = {"start": "exec -> first connect" if who == "palavero" else "exec -> event loop",
                    "rss": "resident memory", "anon": "anonymous memory"}[what]
            print("%-9s %-24s %s %s" % (who, name, text, label))
    ratio = lambda what: medians[(what, "palavero")] / medians[(what, "bare")]
    print("resident memory, palavero / bare:   %.2f  (target <= 1.3)" % ratio("rss"))
    print("anonymous memory, palavero / bare:  %.2f  (target <= 1.5)" % ratio("anon"))
    print("start-up, palavero - bare:          %+.0f ms  (target <= +60 ms)"
          % (medians[("start", "palavero")] - medians[("start", "bare")]))


if __name__ == "__main__":
    main()
