#!/usr/bin/env python3
"""A flood of connect and data datagrams from one computer of the LAN.

Three hosts in network namespaces: PC-A runs palavero with the log on, PC-P
sends DATA and CONNECT datagrams (nine to one) at a steady rate for a while
from a process of its own, PC-Q sends one connect during the flood and one
two seconds after it and times PC-A's answers. Prints the rate PC-P reached,
the DATA per second that PC-A showed and logged (log entries over the time
from the first datagram to the last entry), how many the kernel and the
program's queue dropped, the two answer times and PC-A's memory at idle, at
its peak and after. Needs root (namespaces).

    bench_flood.py [--rate N] [--seconds S] [--rounds N]
    bench_flood.py --smoke    2 000 datagrams/s for 1 s, one round; checks that
                              both connects were answered and, when the kernel
                              dropped none, that every DATA sent was logged
"""

import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
os.environ.setdefault("PALAVERO_BIN", os.path.join(HERE, "..", "..", "build", "palavero"))
import lan  # noqa: E402

# Runs in PC-P: sends at `rate` datagrams per second for `seconds`, in slices of
# 5 ms, and prints how many it sent, in how long and how many of them were DATA.
SENDER = r"""
import socket, sys, time
target, rate, seconds = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
data = [b"PC-P:KVPALAVERODATA:Flut %d " % i + b"f" * 80 for i in range(9)]
mixed = data + [b"PC-P:KVPALAVEROCONNECT:"]
slice_ = 0.005
per_slice = max(1, int(rate * slice_))
sent = data_sent = 0
started = time.monotonic()
end = started + seconds
next_slice = started
while time.monotonic() < end:
    for i in range(per_slice):
        try:
            s.sendto(mixed[i % 10], (target, 3030))
            sent += 1
            data_sent += i % 10 < 9
        except OSError:
            pass
    next_slice += slice_
    pause = next_slice - time.monotonic()
    if pause > 0:
        time.sleep(pause)
print(sent, time.monotonic() - started, data_sent, flush=True)
"""


def udp_counter(host, name):
    out = subprocess.run(["ip", "netns", "exec", host.ns, "cat", "/proc/net/snmp"], capture_output=True,
                         text=True, check=True).stdout.splitlines()
    udp = [line.split() for line in out if line.startswith("Udp:")]
    return int(udp[1][udp[0].index(name)])


def memory_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def log_entries(path):
    try:
        with open(path, "rb") as f:
            return f.read().count(b"Nachricht von PC-P")
    except OSError:
        return 0


def answer_time(asker, a, timeout):
    """Seconds to PC-A's answer to a connect; AssertionError without one within timeout."""
    since = asker.mark()
    sent = time.monotonic()
    asker.send(b"PC-Q:KVPALAVEROCONNECT:", a.addr)
    answer = asker.wait(src=a.addr, data=b"PC-A:KVPALAVEROREFRESH:", since=since, timeout=timeout)
    return answer[0].t - sent


def one_round(rate, seconds, answer_timeout=120):
    """The figures of one round, and the DATA datagrams sent."""
    with lan.Lan() as net:
        a = net.add_host("PC-A")
        p = net.add_host("PC-P")
        q = net.add_host("PC-Q")
        probe = net.probe(p)
        asker = net.probe(q)
        xdg = net.new_xdg()
        xdg.write_settings(SaveHistory="1", Sound="0", Music="0")
        log_path = os.path.join(xdg.data_dir, "Palavero.Log")
        inst = net.start(a, xdg=xdg, env={"QT_LOGGING_RULES": "palavero.net.warning=true"})
        probe.wait(src=a.addr, data=b"PC-A:KVPALAVEROCONNECT:", count=2)
        time.sleep(1)
        pid = inst.proc.pid
        idle = memory_kib(pid)
        drops_before = udp_counter(a, "RcvbufErrors")

        peak = [idle]
        sampling = [True]

        def sample():
            while sampling[0]:
                peak[0] = max(peak[0], memory_kib(pid))
                time.sleep(0.1)

        sampler = threading.Thread(target=sample)
        sampler.start()
        started = time.monotonic()
        sender = net.spawn(p, [sys.executable, "-c", SENDER, a.addr, str(rate), str(seconds)],
                           stdout=subprocess.PIPE, text=True)
        time.sleep(min(2.0, seconds / 2))
        during = answer_time(asker, a, answer_timeout)
        out, _ = sender.communicate(timeout=seconds + 60)
        sent, sending, data_sent = out.split()
        sent, sending, data_sent = int(sent), float(sending), int(data_sent)
        time.sleep(2)
        after = answer_time(asker, a, answer_timeout)

        last, still = -1, time.monotonic()
        while time.monotonic() - still < 3:
            now = log_entries(log_path)
            if now != last:
                last, still = now, time.monotonic()
            time.sleep(0.2)
        handled_in = still - started
        sampling[0] = False
        sampler.join()
        settled = memory_kib(pid)
        return {
            "sent per second": sent / sending,
            "DATA shown and logged": last,
            "DATA per second shown and logged": last / handled_in,
            "kernel drops": udp_counter(a, "RcvbufErrors") - drops_before,
            "queue-full reports": len(inst.matching("receive queue full")),
            "connect answered during (s)": during,
            "connect answered 2 s after (s)": after,
            "memory idle (MiB)": idle / 1024,
            "memory peak (MiB)": peak[0] / 1024,
            "memory after (MiB)": settled / 1024,
        }, data_sent


def smoke():
    lan.palavero_bin()
    lan.require_namespaces()
    try:
        figures, data_sent = one_round(2000, 1, answer_timeout=10)
    except AssertionError as missing:  # a connect not answered
        return [str(missing)]
    logged, drops = figures["DATA shown and logged"], figures["kernel drops"]
    if drops == 0 and logged != data_sent:
        return ["%d of %d DATA logged, none dropped by the kernel" % (logged, data_sent)]
    return []


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rate", type=float, default=100000)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--smoke", action="store_true", help="tiny and once, checks the results only")
    args = parser.parse_args()
    if args.smoke:
        lan.run_smoke(smoke)
    if os.geteuid() != 0:
        sys.exit("bench_flood.py needs root (network namespaces)")
    rounds = [one_round(args.rate, args.seconds)[0] for _ in range(args.rounds)]
    print("flood of %.0f datagrams/s (DATA and CONNECT, nine to one) for %.0f s, %d rounds"
          % (args.rate, args.seconds, args.rounds))
    for key in rounds[0]:
        values = [r[key] for r in rounds]
        print("%-34s min %10.2f  median %10.2f  max %10.2f" % (key, min(values), statistics.median(values),
                                                              max(values)))
    print("targets: >= 10000 DATA/s shown and logged, connect answered within 1 s, memory after < idle + 64 MiB")


if __name__ == "__main__":
    main()
