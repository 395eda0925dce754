"""The command line for scripts: --help, --version, wrong options, --send and
--listen, on the namespaced LAN, without a display (QT_QPA_PLATFORM=xcb and no
DISPLAY: a window's application object would end the program at once)."""

import json
import os
import re
import signal
import socket
import subprocess
import time
from datetime import datetime

import lan
from lan import LanTestCase

NO_DISPLAY = {"QT_QPA_PLATFORM": "xcb"}
GROUPS = b"[Team]\r\nMembers=PC-B,PC-C,\r\n\r\n"
SENT_SEP = b"*" * 37


class CommandLineTest(LanTestCase):
    def setUp(self):
        super().setUp()
        self.a = self.lan.add_host("PC-A")
        self.b = self.lan.add_host("PC-B")
        self.c = self.lan.add_host("PC-C")
        self.probe_b = self.lan.probe(self.b)
        self.probe_c = self.lan.probe(self.c)

    def send(self, *args, input=b"", xdg=None, port_args=()):
        return self.lan.run(self.a, list(port_args) + ["--send"] + list(args), input=input, xdg=xdg,
                            env=NO_DISPLAY)

    def assert_no_presence(self, probe, since=0):
        """The script never announced nor withdrew PC-A."""
        for d in probe.datagrams(src=self.a.addr, since=since):
            self.assertNotIn(b":KVPALAVEROCONNECT:", d.data)
            self.assertNotIn(b":KVPALAVERODISCONNECT:", d.data)

    def test_help_version_and_wrong_command_lines(self):
        r = self.lan.run(self.a, ["--help"], env=NO_DISPLAY)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("Aufruf: palavero".encode(), r.stdout)
        self.assertIn("--send EMPFÄNGER".encode(), r.stdout)
        r = self.lan.run(self.a, ["--version"], env=NO_DISPLAY)
        self.assertEqual((r.returncode, r.stdout), (0, b"Palavero Lite 2.6.12.142\n"), r.stderr)
        for args, text in ((["--bunt"], "Unbekannte Option: --bunt"),
                           (["--send"], "Bei --send fehlt der Empfänger."),
                           (["--send", "PC-B", "Hallo", "Welt"], "Zu viele Argumente"),
                           (["--listen", "PC-B"], "Zu viele Argumente")):
            with self.subTest(args=args):
                r = self.lan.run(self.a, args, env=NO_DISPLAY)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                self.assertIn(text, r.stderr)
                self.assertEqual(r.stdout, b"")

    def test_send_directly_to_a_name_an_address_everyone_and_a_group(self):
        xdg = self.lan.new_xdg()
        os.makedirs(xdg.data_dir)
        with open(os.path.join(xdg.data_dir, "PalaveroGroups.ini"), "wb") as f:
            f.write(GROUPS)
        cases = (
            (["PC-B", "Grüße aus A"], [self.probe_b], b"PC-A:KVPALAVERODATA:Gr\xfc\xdfe aus A", "10.77.0.2"),
            (["10.77.0.2", "an die Adresse"], [self.probe_b], b"PC-A:KVPALAVERODATA:an die Adresse",
             "10.77.0.2"),
            # By broadcast too, the text travels as Windows-1252.
            (["*", "an alle: Grüße, 2 €"], [self.probe_b, self.probe_c], b"PC-A:KVPALAVERODATA:an alle: Gr\xfc\xdfe, 2 \x80",
             "10.77.0.255"),
            (["<Team>", "an das Team"], [self.probe_b, self.probe_c], b"PC-A:KVPALAVERODATA:an das Team", None),
            (["PC-B,PC-C", "an zwei"], [self.probe_b, self.probe_c], b"PC-A:KVPALAVERODATA:an zwei", None),
        )
        for args, probes, data, dst in cases:
            with self.subTest(args=args):
                marks = [p.mark() for p in probes]
                r = self.send(*args, xdg=xdg)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stderr, "")
                for probe, mark in zip(probes, marks):
                    got = probe.wait(src=self.a.addr, since=mark)
                    self.assertEqual([d.data for d in got], [data])
                    if dst:
                        self.assertEqual(got[0].dst, dst)
                    # From a port of the system's choosing: 3030 stays free for an instance.
                    self.assertNotEqual(got[0].sport, 3030)
        self.assert_no_presence(self.probe_b)
        self.assert_no_presence(self.probe_c)

    def test_send_text_from_standard_input_and_another_port(self):
        probe_3031 = self.lan.probe(self.b, 3031)
        r = self.send("PC-B", input="Zeile 1\nZeile 2 mit Ä\n".encode(), port_args=["-p3031"])
        self.assertEqual(r.returncode, 0, r.stderr)
        got = probe_3031.wait(src=self.a.addr)
        self.assertEqual(got[0].data, b"PC-A:KVPALAVERODATA:Zeile 1\r\nZeile 2 mit \xc4")
        self.assertEqual(self.probe_b.datagrams(src=self.a.addr), [])

    def test_send_errors_exit_1_with_a_german_message(self):
        too_long = "x" * (8092 - len("PC-A:KVPALAVERODATA:") + 1)
        cases = (
            (["PC-X", "Hallo"], b"", "Nachricht an PC-X nicht gesendet: unbekannter Empfänger."),
            (["<Team>", "Hallo"], b"", "Nachricht an <Team> nicht gesendet: unbekannter Empfänger."),
            (["PC-B", too_long], b"", "Text der Nachricht ist zu lang, bitte kürzen!"),
            (["PC-B"], b"", "Die Nachricht ist leer."),
            ([",", "Hallo"], b"", "Kein Empfänger ausgewählt."),
        )
        for args, stdin, text in cases:
            with self.subTest(args=args[:1]):
                r = self.send(*args, input=stdin)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(text, r.stderr)
        self.assertEqual(self.probe_b.datagrams(src=self.a.addr), [])
        # No network: the only interface is down.
        lan.Lan._ip(self.a.ns, "link", "set", "eth0", "down")
        r = self.send("10.77.0.2", "Hallo")
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("Nachricht an 10.77.0.2 nicht gesendet: kein Netz erreichbar.", r.stderr)

    def test_send_hands_the_message_to_the_running_instance(self):
        xdg = self.lan.new_xdg()
        xdg.write_settings(SaveHistory="1")
        inst = self.start_ready(self.a, self.probe_b, xdg=xdg)
        # The instance knows PC-B (by its refresh) and sends to its listed address.
        self.probe_b.send(b"PC-B:KVPALAVEROREFRESH:", self.a.addr)
        inst.wait_line("palavero.targets: target added: PC-B 10.77.0.2")
        mark = self.probe_b.mark()
        r = self.send("PC-B", "über die Instanz", xdg=inst.xdg)
        self.assertEqual(r.returncode, 0, r.stderr)
        got = self.probe_b.wait(src=self.a.addr, since=mark)
        self.assertEqual(got[0].data, b"PC-A:KVPALAVERODATA:\xfcber die Instanz")
        self.assertEqual(got[0].sport, 3030)  # through the instance's own port
        log = open(os.path.join(inst.xdg.data_dir, "Palavero.Log"), "rb").read()
        self.assertRegex(log, re.escape(SENT_SEP + b"\r\nNachricht an PC-B (") + rb"[^)\r\n]+"
                         + re.escape(b")\r\n\xfcber die Instanz\r\n"))
        # A failure is the instance's answer.
        r = self.send("<Nix>", "Hallo", xdg=inst.xdg)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("Nachricht an <Nix> nicht gesendet: unbekannter Empfänger.", r.stderr)
        self.assertTrue(inst.running)
        self.assertEqual(inst.count("palavero.boxes"), 0, inst.log_tail())

    def link_local(self, host):
        """The host's IPv6 link-local address on eth0, once it is usable."""
        deadline = time.monotonic() + lan.DEFAULT_TIMEOUT
        while True:
            out = subprocess.run(["ip", "-n", host.ns, "-6", "-o", "addr", "show", "dev", "eth0",
                                  "scope", "link"], capture_output=True, text=True).stdout
            if out and "tentative" not in out:
                return out.split()[3].split("/")[0]
            self.assertLess(time.monotonic(), deadline, "no link-local address on %s" % host)
            time.sleep(0.1)

    def test_send_reaches_an_ipv6_link_local_peer_through_its_zone(self):
        inst = self.start_ready(self.a, self.probe_b)
        a6 = self.link_local(self.a)
        self.link_local(self.b)

        def ipv6_socket():
            s = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
            s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
            s.bind(("::", 3030))
            s.settimeout(lan.DEFAULT_TIMEOUT)
            return s, socket.if_nametoindex("eth0")
        b6_socket, b_eth0 = lan.in_netns(self.b.ns, ipv6_socket)
        self.lan.sockets.append(b6_socket)
        # PC-B makes itself known over IPv6 only: it is listed with the zone
        # its address belongs to.
        b6_socket.sendto(b"PC-B:KVPALAVEROREFRESH:", (a6, 3030, 0, b_eth0))
        inst.wait_line(re.compile(r"palavero\.targets: target added: PC-B fe80::[0-9a-f:]+%eth0$"))
        r = self.send("PC-B", "Hallo \u00fcber IPv6", xdg=inst.xdg)
        self.assertEqual(r.returncode, 0, r.stderr)
        data, source = b6_socket.recvfrom(9000)
        self.assertEqual(data, b"PC-A:KVPALAVERODATA:Hallo \xfcber IPv6")
        self.assertEqual(source[0].split("%")[0], a6)
        self.assertEqual(source[1], 3030)
        self.assertEqual(inst.count("palavero.boxes"), 0, inst.log_tail())

    def test_listen_prints_messages_answers_connects_and_disconnects_at_the_end(self):
        mark = self.probe_b.mark()
        listener = self.lan.start(self.a, ["--listen"], env=NO_DISPLAY, stdout=True)
        got = self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROCONNECT:", since=mark)
        self.assertEqual((got[0].dst, got[0].sport), ("10.77.0.255", 3030))

        mark = self.probe_b.mark()
        self.probe_b.broadcast(b"PC-B:KVPALAVEROCONNECT:")
        self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVEROREFRESH:", since=mark)

        self.probe_b.send(b"PC-B:KVPALAVERODATA:Gr\xfc\xdfe\r\n\"zwei\" Zeilen \x96 5 \x80", self.a.addr)
        line = listener.wait_output(1)[0]
        message = json.loads(line)
        self.assertEqual(list(message), ["from", "address", "time", "text"])
        self.assertEqual(message["from"], "PC-B")
        self.assertEqual(message["address"], "10.77.0.2")
        self.assertEqual(message["text"], "Grüße\r\n\"zwei\" Zeilen – 5 €")
        self.assertIsNotNone(datetime.fromisoformat(message["time"]).tzinfo)

        mark = self.probe_b.mark()
        listener.signal(signal.SIGTERM)
        self.assertEqual(listener.wait_exit(), 0, listener.log_tail())
        self.probe_b.wait(src=self.a.addr, data=b"PC-A:KVPALAVERODISCONNECT:", since=mark)

    def test_listen_refuses_to_start_beside_an_instance(self):
        inst = self.start_ready(self.a, self.probe_b)
        r = self.lan.run(self.a, ["--listen"], xdg=inst.xdg, env=NO_DISPLAY)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("Palavero läuft bereits", r.stderr)
        self.assertTrue(inst.running)


if __name__ == "__main__":
    lan.main()
