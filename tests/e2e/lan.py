"""A private test LAN of network namespaces for end-to-end tests of palavero.

Layout: one namespace holds a bridge (so nothing touches the machine's own
network); every test host is a namespace of its own with a veth pair into the
bridge, the address 10.77.0.<n>/24 and lo up. Every host gets a hosts file
(/etc/netns/<ns>/hosts, which `ip netns exec` mounts over /etc/hosts) that
names every test host.

    with Lan() as lan:
        a = lan.add_host("PC-A")            # 10.77.0.1
        p = lan.add_host("PC-P")            # 10.77.0.2
        probe = lan.probe(p)                 # UDP port 3030 in PC-P
        inst = lan.start(a)                  # palavero in PC-A
        probe.wait(src=a.addr, data=b"PC-A:KVPALAVEROCONNECT:", count=2)
        inst.wait_line("palavero.targets: target added: PC-P 10.77.0.2")

Everything is removed on close (processes killed, namespaces deleted); a run
also removes namespaces that an earlier, killed run of this harness left
behind. Only addresses of 10.77.0.0/24 are used, only inside the namespaces.
"""

import atexit
import ctypes
import collections
import os
import pwd
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SUBNET = "10.77.0."
BROADCAST = SUBNET + "255"
DEFAULT_PORT = 3030
NS_PREFIX = "pve2e"
# The user that ordinary_user() runs the program as.
ORDINARY_USER = "nobody"
DEFAULT_TIMEOUT = 10.0

_CLONE_NEWNET = 0x40000000
_IP_PKTINFO = 8
_libc = ctypes.CDLL(None, use_errno=True)


# --------------------------------------------------------------------------
# Environment checks


def _run(args, check=True, **kw):
    return subprocess.run(args, check=check, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, **kw)


_usable = None


def require_tools(*tools):
    """Raises unittest.SkipTest when one of the programs is not installed."""
    for tool in tools:
        if shutil.which(tool) is None:
            raise unittest.SkipTest("%s is missing" % tool)


def require_namespaces():
    """Raises unittest.SkipTest with the reason when namespaces cannot be used."""
    global _usable
    if _usable is None:
        _usable = _check_namespaces()
    if _usable is not True:
        raise unittest.SkipTest(_usable)


def _check_namespaces():
    if os.geteuid() != 0:
        return "end-to-end tests need root (network namespaces, unshare --uts)"
    for tool in ("ip", "unshare", "sh"):
        if shutil.which(tool) is None:
            return "the tool '%s' is missing" % tool
    name = "%s%dchk" % (NS_PREFIX, os.getpid())
    try:
        r = _run(["ip", "netns", "add", name], check=False)
        if r.returncode != 0:
            return "'ip netns add' is not usable: " + r.stderr.strip()
        r = _run(["ip", "netns", "exec", name, "unshare", "--uts", "sh", "-c",
                  "echo pvcheck > /proc/sys/kernel/hostname && hostname"], check=False)
        if r.returncode != 0 or r.stdout.strip() != "pvcheck":
            return "'unshare --uts' is not usable: " + r.stderr.strip()
        r = _run(["ip", "link", "add", "pvchk0", "type", "veth", "peer", "name",
                  "pvchk1", "netns", name], check=False)
        if r.returncode != 0:
            return "veth pairs are not usable: " + r.stderr.strip()
        _run(["ip", "link", "del", "pvchk0"], check=False)
    finally:
        _run(["ip", "netns", "del", name], check=False)
    return True


def palavero_bin():
    """Path of the program under test (PALAVERO_BIN); skips when it is not given."""
    path = os.environ.get("PALAVERO_BIN", "")
    if not path:
        raise unittest.SkipTest("PALAVERO_BIN is not set (run through ctest, or set it "
                                "to the built palavero executable)")
    if not os.access(path, os.X_OK):
        raise AssertionError("PALAVERO_BIN=%s is not an executable file" % path)
    return path


def sweep_stale():
    """Deletes namespaces of this harness whose creating process is gone."""
    r = _run(["ip", "netns", "list"], check=False)
    for line in r.stdout.splitlines():
        name = line.split()[0] if line.split() else ""
        m = re.match(NS_PREFIX + r"(\d+)", name)
        if not m:
            continue
        pid = int(m.group(1))
        if pid == os.getpid() or _pid_alive(pid):
            continue
        _delete_namespace(name)


def _pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def _delete_namespace(name):
    pids = _run(["ip", "netns", "pids", name], check=False).stdout.split()
    for pid in pids:
        try:
            os.kill(int(pid), signal.SIGKILL)
        except (ProcessLookupError, ValueError):
            pass
    _run(["ip", "netns", "del", name], check=False)
    shutil.rmtree("/etc/netns/" + name, ignore_errors=True)


def in_netns(ns, fn):
    """Runs fn() on a short-lived thread that has entered namespace ns.

    A socket created there stays in that namespace for its whole life, so the
    test process can hold sockets in any test host."""
    box = {}

    def run():
        try:
            fd = os.open("/run/netns/" + ns, os.O_RDONLY)
            try:
                if _libc.setns(fd, _CLONE_NEWNET) != 0:
                    err = ctypes.get_errno()
                    raise OSError(err, "setns(%s): %s" % (ns, os.strerror(err)))
            finally:
                os.close(fd)
            box["value"] = fn()
        except BaseException as e:  # handed to the caller
            box["error"] = e

    t = threading.Thread(target=run, name="netns-" + ns)
    t.start()
    t.join()
    if "error" in box:
        raise box["error"]
    return box["value"]


_open_lans = set()


def _close_all_lans(*_):
    for test_lan in list(_open_lans):
        test_lan.close()


def _on_ending_signal(signum, _frame):
    _close_all_lans()
    sys.stderr.write("end-to-end tests interrupted by signal %d\n" % signum)
    os._exit(128 + signum)


# --------------------------------------------------------------------------
# Hosts


class Host:
    def __init__(self, lan, index, name, ns):
        self.lan = lan
        self.index = index
        self.name = name
        self.ns = ns
        self.addr = SUBNET + str(index)

    def __repr__(self):
        return "Host(%s %s)" % (self.name, self.addr)

    def exec_prefix(self, hostname=None):
        """Command prefix running the rest in this host with its own UTS namespace."""
        return ["ip", "netns", "exec", self.ns, "unshare", "--uts", "sh", "-c",
                'printf %s "$1" > /proc/sys/kernel/hostname || exit 125; shift; exec "$@"',
                "sh", hostname if hostname is not None else self.name]

    def udp_socket(self, port=None, bind_addr="0.0.0.0"):
        """A UDP socket in this host with SO_BROADCAST, bound when port is given."""
        def make():
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
            if port is not None:
                s.bind((bind_addr, port))
            return s
        return in_netns(self.ns, make)


class Datagram(collections.namedtuple("Datagram", "src sport dst data t")):
    """One received datagram: source address and port, destination address
    of the IP header (e.g. 10.77.0.255 for a directed broadcast), bytes, time."""

    def __repr__(self):
        return "%s:%d->%s %r" % (self.src, self.sport, self.dst, self.data)


class Probe:
    """A UDP listener in a test host that records every datagram on its port."""

    def __init__(self, host, port=DEFAULT_PORT):
        self.host = host
        self.port = port
        self.sock = host.udp_socket(port)
        self.sock.setsockopt(socket.IPPROTO_IP, _IP_PKTINFO, 1)
        self.sock.settimeout(0.2)
        self._items = []
        self._cond = threading.Condition()
        self._stop = False
        self._thread = threading.Thread(target=self._read, daemon=True,
                                        name="probe-%s-%d" % (host.name, port))
        self._thread.start()

    def _read(self):
        while not self._stop:
            try:
                data, anc, _flags, src = self.sock.recvmsg(65535, socket.CMSG_SPACE(12))
            except socket.timeout:
                continue
            except OSError:
                return
            dst = ""
            for level, kind, payload in anc:
                if level == socket.IPPROTO_IP and kind == _IP_PKTINFO and len(payload) >= 12:
                    dst = socket.inet_ntoa(payload[8:12])
            with self._cond:
                self._items.append(Datagram(src[0], src[1], dst, data, time.monotonic()))
                self._cond.notify_all()

    def close(self):
        self._stop = True
        self._thread.join(2)
        self.sock.close()

    def mark(self):
        """Position to pass as `since` so that later queries see only newer datagrams."""
        with self._cond:
            return len(self._items)

    def datagrams(self, src=None, data=None, since=0, foreign=True):
        """Recorded datagrams, optionally only from src / with exactly these bytes.
        With foreign (default) the probe's own broadcasts are left out."""
        with self._cond:
            items = self._items[since:]
        return [d for d in items
                if (src is None or d.src == src)
                and (data is None or d.data == data)
                and (not foreign or d.src != self.host.addr)]

    def wait(self, src=None, data=None, count=1, since=0, timeout=DEFAULT_TIMEOUT):
        """Waits until at least count matching datagrams have arrived; returns them."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                found = self.datagrams(src, data, since)
                if len(found) >= count:
                    return found
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError(
                        "probe on %s:%d: expected %d datagram(s) src=%s data=%r within %.0f s; "
                        "got:\n  %s" % (self.host.addr, self.port, count, src, data, timeout,
                                        "\n  ".join(map(repr, self.datagrams(since=since)))
                                        or "(nothing)"))
                self._cond.wait(min(left, 0.5))

    def send(self, data, dst, port=None):
        """Sends one datagram from the probe's port to dst (unicast or broadcast)."""
        self.sock.sendto(data, (dst, port or self.port))

    def broadcast(self, data, port=None):
        self.send(data, BROADCAST, port)


# --------------------------------------------------------------------------
# Program instances


class Xdg:
    """Own XDG folders (config, data, runtime) and HOME for one instance."""

    def __init__(self, root):
        self.root = tempfile.mkdtemp(prefix="xdg-", dir=root)
        self.config = os.path.join(self.root, "config")
        self.data = os.path.join(self.root, "data")
        self.runtime = os.path.join(self.root, "runtime")
        self.tmp = os.path.join(self.root, "tmp")
        for d in (self.config, self.data, self.runtime, self.tmp):
            os.makedirs(d, mode=0o700)

    def env(self):
        return {"XDG_CONFIG_HOME": self.config, "XDG_DATA_HOME": self.data,
                "XDG_RUNTIME_DIR": self.runtime, "HOME": self.root, "TMPDIR": self.tmp}

    def write_settings(self, **values):
        """Writes the [Settings] group of the program's settings file."""
        folder = os.path.join(self.config, "Korvel")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "Palavero.conf"), "w") as f:
            f.write("[Settings]\n")
            for key, value in values.items():
                f.write("%s=%s\n" % (key, value))

    @property
    def data_dir(self):
        return os.path.join(self.data, "Korvel", "Palavero")


class Instance:
    """One palavero process in a test host; stderr is collected line by line."""

    def __init__(self, host, args, xdg, env, hostname, stdout=False, wrapper=(),
                 stdin=subprocess.DEVNULL, binary=None):
        self.host = host
        self.args = list(args)
        self.xdg = xdg
        self.hostname = hostname
        self.lines = []
        self.out_lines = []  # standard output, when asked for (bytes, one per line)
        self._cond = threading.Condition()
        cmd = host.exec_prefix(hostname) + list(wrapper) + [binary or palavero_bin()] + self.args
        self.proc = subprocess.Popen(cmd, env=env, stdin=stdin,
                                     stdout=subprocess.PIPE if stdout else subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
        self._reader = threading.Thread(target=self._read, daemon=True,
                                        name="stderr-%s" % hostname)
        self._reader.start()
        if stdout is True:
            threading.Thread(target=self._read_stdout, daemon=True,
                             name="stdout-%s" % hostname).start()

    def _read_stdout(self):
        with self.proc.stdout:
            for raw in self.proc.stdout:
                with self._cond:
                    self.out_lines.append(raw.rstrip(b"\n"))
                    self._cond.notify_all()

    def wait_output(self, count=1, timeout=DEFAULT_TIMEOUT):
        """Waits until standard output holds count lines; returns them."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while len(self.out_lines) < count:
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None:
                    raise AssertionError("%r: expected %d line(s) on standard output within %.0f s "
                                         "(exit code %s); got %r; stderr:\n%s"
                                         % (self, count, timeout, self.proc.poll(), self.out_lines,
                                            self.log_tail()))
                self._cond.wait(min(left, 0.5))
            return list(self.out_lines)

    def __repr__(self):
        return "Instance(%s in %s, pid %d)" % (self.hostname, self.host.ns, self.proc.pid)

    def _read(self):
        with self.proc.stderr:
            for raw in self.proc.stderr:
                line = raw.decode("utf-8", "replace").rstrip("\r\n")
                with self._cond:
                    self.lines.append(line)
                    self._cond.notify_all()
        with self._cond:
            self._cond.notify_all()

    # -- output

    def matching(self, pattern):
        """Lines that contain the text (str) or match the compiled regex."""
        with self._cond:
            lines = list(self.lines)
        if isinstance(pattern, str):
            return [l for l in lines if pattern in l]
        return [l for l in lines if pattern.search(l)]

    def count(self, pattern):
        return len(self.matching(pattern))

    def wait_line(self, pattern, count=1, timeout=DEFAULT_TIMEOUT):
        """Waits until count lines contain the text / match the regex; returns them."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                found = self.matching(pattern)
                if len(found) >= count:
                    return found
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not self._reader.is_alive()):
                    raise AssertionError(
                        "%r: expected %d line(s) with %r within %.0f s (exit code %s); stderr:\n%s"
                        % (self, count, pattern, timeout, self.proc.poll(), self.log_tail()))
                self._cond.wait(min(left, 0.5))

    def log_tail(self, n=60):
        with self._cond:
            return "\n".join("    " + l for l in self.lines[-n:]) or "    (empty)"

    # -- process

    @property
    def running(self):
        return self.proc.poll() is None

    def resident_kib(self):
        """The process's resident memory (VmRSS) in KiB."""
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def signal(self, sig):
        if self.running:
            self.proc.send_signal(sig)

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the process to end and returns its exit code."""
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("%r did not end within %.0f s; stderr:\n%s"
                                 % (self, timeout, self.log_tail()))
        self._reader.join(2)
        return rc

    def kill(self):
        if self.running:
            self.proc.kill()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            pass
        self._reader.join(2)


# --------------------------------------------------------------------------
# The LAN


class Lan:
    def __init__(self):
        require_namespaces()
        sweep_stale()
        self.tag = "%s%d" % (NS_PREFIX, os.getpid())
        Lan._serial = getattr(Lan, "_serial", 0) + 1
        self.tag += "n%d" % Lan._serial
        self.bridge_ns = self.tag + "br"
        self.hosts = []
        self.instances = []
        self.probes = []
        self.extra_procs = []
        self.sockets = []
        self.tmp = tempfile.mkdtemp(prefix="palavero-e2e-")
        self._namespaces = []
        self._closed = False
        _open_lans.add(self)
        try:
            self._add_ns(self.bridge_ns)
            self._ip(self.bridge_ns, "link", "add", "br0", "type", "bridge")
            self._ip(self.bridge_ns, "link", "set", "br0", "up")
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _add_ns(self, name):
        _run(["ip", "netns", "add", name])
        self._namespaces.append(name)
        self._ip(name, "link", "set", "lo", "up")

    @staticmethod
    def _ip(ns, *args):
        r = _run(["ip", "-n", ns] + list(args), check=False)
        if r.returncode != 0:
            raise RuntimeError("ip -n %s %s: %s" % (ns, " ".join(args), r.stderr.strip()))

    def add_host(self, name):
        """Adds a host with the next address 10.77.0.<n> and returns it."""
        index = len(self.hosts) + 1
        ns = "%sh%d" % (self.tag, index)
        self._add_ns(ns)
        port = "v%d" % index
        self._ip(self.bridge_ns, "link", "add", port, "type", "veth", "peer", "name", "eth0",
                 "netns", ns)
        self._ip(self.bridge_ns, "link", "set", port, "master", "br0")
        self._ip(self.bridge_ns, "link", "set", port, "up")
        host = Host(self, index, name, ns)
        self._ip(ns, "addr", "add", host.addr + "/24", "brd", "+", "dev", "eth0")
        self._ip(ns, "link", "set", "eth0", "up")
        self.hosts.append(host)
        self._write_hosts_files()
        self._wait_link(host)
        return host

    def set_link(self, host, up):
        """Takes the host's network interface down (only loopback left) or up again."""
        self._ip(host.ns, "link", "set", "eth0", "up" if up else "down")
        if up:
            self._wait_link(host)

    def _wait_link(self, host):
        # A fresh veth may need a moment before it passes traffic (no DAD for IPv4,
        # but the bridge port starts in a forwarding delay of 0 only when STP is off).
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            out = _run(["ip", "-n", host.ns, "-o", "link", "show", "eth0"], check=False).stdout
            if "LOWER_UP" in out:
                return
            time.sleep(0.05)

    def _write_hosts_files(self):
        text = "127.0.0.1\tlocalhost\n" + "".join(
            "%s\t%s\n" % (h.addr, h.name) for h in self.hosts)
        for h in self.hosts:
            folder = "/etc/netns/" + h.ns
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "hosts"), "w", encoding="utf-8") as f:
                f.write(text)

    def probe(self, host, port=DEFAULT_PORT):
        p = Probe(host, port)
        self.probes.append(p)
        return p

    def bind(self, host, port=DEFAULT_PORT):
        """A plain UDP socket bound to port in host (to occupy the port)."""
        s = host.udp_socket(port)
        self.sockets.append(s)
        return s

    def new_xdg(self):
        return Xdg(self.tmp)

    def ordinary_user(self, xdg):
        """Gives the folders of xdg (and what they hold) to an ordinary user
        (ORDINARY_USER, not root) and returns the wrapper for start() and run()
        that runs the program as that user."""
        pw = pwd.getpwnam(ORDINARY_USER)
        os.chmod(self.tmp, 0o711)  # the user passes through to its folders
        for top, dirs, files in os.walk(xdg.root):
            for path in [top] + [os.path.join(top, n) for n in dirs + files]:
                os.lchown(path, pw.pw_uid, pw.pw_gid)
        return ["setpriv", "--reuid=%d" % pw.pw_uid, "--regid=%d" % pw.pw_gid, "--clear-groups", "--"]

    def base_env(self, xdg):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "DBUS_", "QT_", "DISPLAY", "WAYLAND_"))}
        env.update(xdg.env())
        env.update({
            "QT_QPA_PLATFORM": "offscreen",
            "QT_LOGGING_RULES": "palavero.*.debug=true",
            "QT_MESSAGE_PATTERN": "%{category}: %{message}",
            "LC_ALL": "C.UTF-8",
            # No real buses: a system bus that does not exist means "no logind".
            "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(self.tmp, "no-system-bus"),
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.tmp, "no-session-bus"),
        })
        return env

    def start(self, host, args=(), xdg=None, env=None, hostname=None, stdout=False, wrapper=(),
              stdin=subprocess.DEVNULL, binary=None):
        """Starts palavero in host; returns the Instance. xdg=None gives fresh folders;
        stdout=True collects its standard output (Instance.out_lines), "unread" gives
        it a pipe nobody reads (Instance.proc.stdout); wrapper is a command that runs
        the program (e.g. ordinary_user(xdg), to run it as another user); binary is
        another program than PALAVERO_BIN (e.g. the Windows build, with Wine as wrapper)."""
        xdg = xdg or self.new_xdg()
        full_env = self.base_env(xdg)
        if env:
            full_env.update(env)
        inst = Instance(host, args, xdg, full_env, hostname or host.name, stdout, wrapper, stdin, binary)
        self.instances.append(inst)
        return inst

    def run(self, host, args, input=b"", xdg=None, env=None, hostname=None,
            timeout=DEFAULT_TIMEOUT, wrapper=(), binary=None):
        """Runs palavero in host to its end with input on standard input; returns
        the CompletedProcess (stdout as bytes, stderr as text)."""
        xdg = xdg or self.new_xdg()
        full_env = self.base_env(xdg)
        if env:
            full_env.update(env)
        cmd = host.exec_prefix(hostname or host.name) + list(wrapper) + [binary or palavero_bin()] + list(args)
        r = subprocess.run(cmd, env=full_env, input=input, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=timeout)
        r.stderr = r.stderr.decode("utf-8", "replace")
        return r

    def spawn(self, host, cmd, env=None, **kw):
        """Starts another process in host (killed on close); returns the Popen."""
        p = subprocess.Popen(["ip", "netns", "exec", host.ns] + list(cmd),
                             env=env, **kw)
        self.extra_procs.append(p)
        return p

    def xvfb(self, host):
        """Starts an X server (Xvfb) in host; returns its DISPLAY, e.g. ":5".
        Skips when Xvfb is missing."""
        if shutil.which("Xvfb") is None:
            raise unittest.SkipTest("Xvfb is missing")
        r, w = os.pipe()
        try:
            self.spawn(host, ["Xvfb", "-displayfd", str(w), "-nolisten", "tcp",
                              "-screen", "0", "1024x768x24"],
                       pass_fds=(w,), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(w)
            w = -1
            number = b""
            while not number.endswith(b"\n"):
                chunk = os.read(r, 16)
                if not chunk:
                    raise AssertionError("Xvfb did not start")
                number += chunk
        finally:
            os.close(r)
            if w >= 0:
                os.close(w)
        return ":" + number.decode().strip()

    def visible_windows(self, host, display, title):
        """Ids of the visible windows named exactly title (xdotool)."""
        r = _run(["ip", "netns", "exec", host.ns, "env", "DISPLAY=" + display, "xdotool",
                  "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)], check=False)
        return r.stdout.split()

    def wait_windows(self, host, display, title, visible=True, timeout=DEFAULT_TIMEOUT):
        """Waits until a window named title is visible (or none is); returns the ids."""
        deadline = time.monotonic() + timeout
        while True:
            ids = self.visible_windows(host, display, title)
            if bool(ids) == visible:
                return ids
            if time.monotonic() > deadline:
                raise AssertionError("window %r %s visible within %.0f s"
                                     % (title, "not" if visible else "still", timeout))
            time.sleep(0.1)

    def close(self):
        if self._closed:
            return
        self._closed = True
        _open_lans.discard(self)
        for inst in self.instances:
            try:
                inst.kill()
            except Exception:
                pass
        for p in self.extra_procs:
            if p.poll() is None:
                p.kill()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                pass
        for p in self.probes:
            p.close()
        for s in self.sockets:
            s.close()
        for ns in reversed(self._namespaces):
            _delete_namespace(ns)
        shutil.rmtree(self.tmp, ignore_errors=True)


# --------------------------------------------------------------------------
# Test case base and runner


class LanTestCase(unittest.TestCase):
    """Gives every test its own LAN (self.lan), closed after the test."""

    def setUp(self):
        require_namespaces()
        palavero_bin()
        self.lan = Lan()
        self.addCleanup(self.lan.close)

    _sync_len = [200]

    def sync(self, inst, probe, port=None):
        """Barrier: sends a datagram of a length not used before from the probe to
        inst and waits until inst reports having received it. Everything inst
        received from the probe earlier has then been handled."""
        self._sync_len[0] += 1
        n = self._sync_len[0]
        data = b"PC-P:SYNC"
        data += b"." * (n - len(data))
        probe.send(data, inst.host.addr, port)
        inst.wait_line(re.compile(r"palavero\.status: %d Bytes empfangen " % n))

    def start_ready(self, host, probe, args=(), **kw):
        """Starts an instance and waits until its second connect datagram has arrived."""
        since = probe.mark()
        inst = self.lan.start(host, args, **kw)
        name = (kw.get("hostname") or host.name).encode("ascii", "replace")
        probe.wait(src=host.addr, data=name + b":KVPALAVEROCONNECT:", count=2, since=since)
        return inst


def _close_lans_at_end():
    atexit.register(_close_all_lans)
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, _on_ending_signal)


def main():
    """Runs the tests of the calling module. All skipped (no root, no namespaces,
    no program) exits with 77, which CTest reports as skipped (SKIP_RETURN_CODE)."""
    _close_lans_at_end()
    prog = unittest.main(exit=False, verbosity=2)
    result = prog.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        print("all end-to-end tests skipped: " + result.skipped[0][1])
        sys.exit(77)
    sys.exit(0)


def run_smoke(check):
    """The smoke mode of a benchmark script: tiny sizes, one round, the results
    checked and never the time. check() returns what is wrong (texts; empty when
    every result is right). Prints "smoke: ok" or those texts and exits with 0,
    with 1 on a wrong result, or with 77 (skipped) when this machine cannot run
    it (unittest.SkipTest: no root, no namespaces, no program, no desktop)."""
    _close_lans_at_end()
    try:
        wrong = check()
    except unittest.SkipTest as reason:
        print("smoke: skipped: %s" % reason)
        sys.exit(77)
    print("smoke: " + ("; ".join(wrong) if wrong else "ok"))
    sys.exit(1 if wrong else 0)
