#!/usr/bin/env python3
"""5 000 peers answering one connect, with the program run as a normal user.

Two hosts in network namespaces: PC-A runs palavero as the user nobody (so
that SO_RCVBUFFORCE is refused and the kernel grants at most rmem_max, which
is set to the stock 212 992 bytes for the run), PC-P plays 5 000 computers: as
soon as PC-A's connect arrives (the second one, sent once it handles
datagrams) it answers with 5 000 refresh datagrams of
distinct names, as fast as it can send them. Counts the computers PC-A lists,
the datagrams the kernel dropped at PC-A (RcvbufErrors) and the program's own
queue drops. Needs root (namespaces, sysctl).

    bench_peers.py [--rounds N] [--peers N]
    bench_peers.py --smoke    200 peers, one round; checks that all are listed
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
os.environ.setdefault("PALAVERO_BIN", os.path.join(HERE, "..", "..", "build", "palavero"))
import lan  # noqa: E402

STOCK_RMEM_MAX = 212992
NOBODY_CMD = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def rcvbuf_errors(host):
    out = subprocess.run(["ip", "netns", "exec", host.ns, "cat", "/proc/net/snmp"], capture_output=True,
                         text=True, check=True).stdout.splitlines()
    udp = [line.split() for line in out if line.startswith("Udp:")]
    return int(udp[1][udp[0].index("RcvbufErrors")])


def one_round(peers):
    with lan.Lan() as net:
        a = net.add_host("PC-A")
        p = net.add_host("PC-P")
        sock = p.udp_socket(3030)
        sock.settimeout(10)
        os.chmod(net.tmp, 0o711)  # the user nobody passes through to its own folders
        xdg = net.new_xdg()
        for root, dirs, files in os.walk(xdg.root):
            for name in [root] + [os.path.join(root, d) for d in dirs] + [os.path.join(root, f) for f in files]:
                os.chown(name, 65534, 65534)
        inst = net.start(a, xdg=xdg, wrapper=NOBODY_CMD)
        # The first connect goes out before the program handles datagrams (it
        # starts on the endpoint's defaults); the second once it does.
        connects = 0
        while connects < 2:
            data, source = sock.recvfrom(9000)
            connects += data == b"PC-A:KVPALAVEROCONNECT:"
        answers = [b"PEER-%05d:KVPALAVEROREFRESH:" % i for i in range(peers)]
        started = time.monotonic()
        for datagram in answers:
            sock.sendto(datagram, (source[0], 3030))
        sent = time.monotonic() - started
        listed = lambda: inst.count("palavero.targets: target added: PEER-")
        last, still = -1, time.monotonic()
        while time.monotonic() - still < 2:
            now = listed()
            if now != last:
                last, still = now, time.monotonic()
            time.sleep(0.1)
        took = still - started
        queue_full = len(inst.matching("receive queue full"))
        return last, rcvbuf_errors(a), queue_full, sent, took


def rounds_at_stock_rmem_max(peers, count):
    """`count` rounds with rmem_max at its stock value, restored afterwards."""
    before = subprocess.run(["sysctl", "-n", "net.core.rmem_max"], capture_output=True, text=True).stdout.strip()
    subprocess.run(["sysctl", "-qw", "net.core.rmem_max=%d" % STOCK_RMEM_MAX], check=True)
    try:
        return [one_round(peers) for _ in range(count)]
    finally:
        subprocess.run(["sysctl", "-qw", "net.core.rmem_max=" + before], check=True)


def smoke():
    lan.palavero_bin()
    lan.require_namespaces()
    peers = 200
    listed = rounds_at_stock_rmem_max(peers, 1)[0][0]
    return [] if listed == peers else ["%d of %d peers listed" % (listed, peers)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--peers", type=int, default=5000)
    parser.add_argument("--smoke", action="store_true", help="tiny and once, checks the results only")
    args = parser.parse_args()
    if args.smoke:
        lan.run_smoke(smoke)
    if os.geteuid() != 0:
        sys.exit("bench_peers.py needs root (network namespaces, sysctl)")
    rounds = rounds_at_stock_rmem_max(args.peers, args.rounds)
    print("%d peers answering one connect; palavero as user nobody, rmem_max %d" % (args.peers, STOCK_RMEM_MAX))
    for index, label in ((0, "listed"), (1, "kernel drops (RcvbufErrors)"), (2, "queue-full reports"),
                         (4, "seconds to the last listed")):
        values = [r[index] for r in rounds]
        print("%-30s min %8.1f  median %8.1f  max %8.1f" % (label, min(values), statistics.median(values),
                                                            max(values)))
    short = [r[0] for r in rounds if r[0] < args.peers]
    print("rounds with peers missing: %d of %d%s" % (len(short), len(rounds),
                                                    " (listed %s)" % ", ".join(map(str, short)) if short else ""))
    print("answers sent in %.2f s (median); target: all %d listed" % (statistics.median(r[3] for r in rounds),
                                                                      args.peers))


if __name__ == "__main__":
    main()
