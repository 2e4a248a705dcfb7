"""Clients that misbehave: bursts, resets, half-closes, floods, tricky texts. After each the
program still serves a fresh client's command, and its handles and memory come back."""

import random
import socket
import struct
import threading
import time
import unittest
from pathlib import Path

from harness import HOST, PORT, SystemTestCase, TcpClient, send_tcp, wait_for

TASK, REDIAL_TIME = 206, 207
HANG_UP = b"cmd /c rasdial DialLine /disconnect"
DIAL = b"cmd /c rasdial DialLine MRTX4820 530942"


def resident_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise AssertionError("no VmRSS")


def reset(sock):
    """Closes with a reset (linger 0), as a crashed or killed client does."""
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


class HostileClientsTest(SystemTestCase):
    def setUp(self):
        self.program = self.start_program()
        window = self.program.wait_window()
        # The first client warms up the listener and the field writes.
        self.served = 0
        self.serve_fresh_command()
        window = self.program.wait_window()
        self.handles = window["handles"]
        self.assertGreater(self.handles, 0, "the probe can count the program's handles")
        self.memory = resident_kib(self.program.pid)

    def serve_fresh_command(self):
        """A fresh client's "1" runs exactly the two default lines and writes the time."""
        self.program.wait_field(TASK, lambda text: True)
        before = len(self.program.commands())
        with TcpClient() as client:
            client.send(b"1")
            records = self.program.wait_commands(before + 2, timeout=30)
            self.assertEqual(client.read(0.1), b"")
        self.assertEqual([r.line for r in records[before:]], [HANG_UP, DIAL])
        self.assertEqual(len(self.program.commands()), before + 2)
        self.served += 1

    def assert_recovered(self):
        self.serve_fresh_command()
        # Closes are handled asynchronously: wait for the handles to come back.
        handles = wait_for(lambda: (lambda n: n if n <= self.handles + 8 else None)(
            self.program.wait_window()["handles"]), 30, f"handles back near {self.handles}")
        grown = resident_kib(self.program.pid) - self.memory
        print(f"\n  handles {self.handles} -> {handles}, resident memory grew {grown} KiB",
              end=" ", flush=True)
        self.assertLess(grown, 16 * 1024, f"resident memory grew by {grown} KiB")
        self.assertEqual(len(self.program.commands()), 2 * self.served,
                         "no command but the fresh clients' redials")

    def test_a_burst_of_a_thousand_clients_connecting_and_closing(self):
        for _ in range(10):
            sockets = [socket.create_connection((HOST, PORT), timeout=10) for _ in range(100)]
            for s in sockets:
                s.close()
        self.assert_recovered()

    def test_a_thousand_clients_resetting_at_random_points(self):
        chooser = random.Random(19730)
        for _ in range(10):
            sockets = [socket.create_connection((HOST, PORT), timeout=10) for _ in range(100)]
            for s in sockets:
                point = chooser.randrange(3)
                if point >= 1:
                    s.sendall(b"junk" * chooser.randrange(1, 2000))
                if point == 2:
                    s.sendall(b"1")
                reset(s)
        self.assert_recovered()

    def test_half_closed_clients(self):
        # One sends the command and closes its sending side: the command still counts.
        with socket.create_connection((HOST, PORT), timeout=10) as s:
            s.sendall(b"1")
            s.shutdown(socket.SHUT_WR)
            self.program.wait_commands(4, timeout=30)
            s.settimeout(10)
            self.assertEqual(s.recv(1), b"", "its connection is closed, with nothing sent")
        self.served += 1
        # Others only close their sending side.
        quiet = [socket.create_connection((HOST, PORT), timeout=10) for _ in range(20)]
        for s in quiet:
            s.shutdown(socket.SHUT_WR)
        for s in quiet:
            s.settimeout(10)
            self.assertEqual(s.recv(1), b"")
            s.close()
        self.assert_recovered()

    def test_a_client_closing_in_the_middle_of_a_large_gathering(self):
        with socket.create_connection((HOST, PORT), timeout=10) as s:
            s.sendall(b"x" * (200 * 1024) + b"1")
        # Everything it sent is still delivered, the last batch ends with its last byte.
        self.program.wait_field(TASK, lambda text: text.endswith("x1"), timeout=30)
        self.assertEqual(len(self.program.commands()), 2)
        self.assert_recovered()

    def test_a_slow_trickle_does_not_delay_other_clients(self):
        stop = threading.Event()

        def trickle():
            with socket.create_connection((HOST, PORT), timeout=10) as s:
                while not stop.is_set():
                    s.sendall(b"t")
                    stop.wait(0.1)

        sender = threading.Thread(target=trickle)
        sender.start()
        try:
            self.program.wait_field(TASK, lambda text: text == "t", timeout=10)
            for _ in range(3):
                started = time.monotonic()
                self.serve_fresh_command()
                self.assertLess(time.monotonic() - started, 10)
        finally:
            stop.set()
            sender.join()
        self.assert_recovered()

    def test_floods_and_tricky_texts_never_reach_a_command_line(self):
        megabyte = 1024 * 1024
        cases = [
            ("zero bytes", b"\x00" * megabyte, lambda text: text == ""),
            ("0xFF bytes", b"\xff" * megabyte, lambda text: text != ""),
            ("invalid GBK", b"\x81\x20\xfe\x7f" * (megabyte // 4), lambda text: text != ""),
            ("ampersand", b"1 & echo x", lambda text: text == "1 & echo x"),
            ("quote", b'1"', lambda text: text == '1"'),
            ("variable", b"%PATH%", lambda text: text == "%PATH%"),
            ("long line", b"y" * 100000, lambda text: text and set(text) == {"y"}),
        ]
        for what, data, shown in cases:
            with self.subTest(what):
                with TcpClient() as client:
                    client.send(b"marker")
                    self.program.wait_field(TASK, lambda text: text == "marker")
                    client.send(data)
                    self.program.wait_field(TASK, lambda text, shown=shown: text != "marker"
                                            and shown(text), timeout=60)
                    # The program closes its end only once it has read everything: then no
                    # later batch of this case can overwrite the next case's marker.
                    client.socket.shutdown(socket.SHUT_WR)
                    wait_for(lambda: client.read(0.2) == b"" and client.peer_closed, 120,
                             "the program read everything and closed")
        self.assertEqual(len(self.program.commands()), 2, "only the warm-up redial ran")
        self.assert_recovered()


class FailingCommandsTest(SystemTestCase):
    def redial_and_wait_for_the_time(self, program):
        program.wait_window()
        send_tcp(b"1")
        return program.wait_field(REDIAL_TIME, lambda text: text != "", timeout=60)

    def test_a_failing_command_still_writes_the_redial_time(self):
        program = self.start_program(exits={"cmd": 1})
        self.redial_and_wait_for_the_time(program)
        self.assertEqual([r.line for r in program.commands()], [HANG_UP, DIAL])
        self.assertTrue(program.running(), "nothing is reported, the program goes on")

    def test_a_missing_rasdial_still_writes_the_redial_time(self):
        # Wine's own cmd, with no rasdial anywhere.
        program = self.start_program(stand_ins={})
        self.redial_and_wait_for_the_time(program)
        self.assertTrue(program.running())


class PortTakenTest(SystemTestCase):
    def test_with_the_port_taken_the_window_still_works(self):
        blocker = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            blocker.bind(("0.0.0.0", PORT))
            blocker.listen(16)
            program = self.start_program()
            program.wait_window()
            program.click_control(301)
            program.wait_commands(1, timeout=30)
            program.click_control(302)
            records = program.wait_commands(2, timeout=30)
            self.assertEqual([r.line for r in records], [DIAL, HANG_UP])
            self.assertEqual(program.field(204), "", "no client reached the program")
            self.assertTrue(program.running())
        finally:
            blocker.close()


if __name__ == "__main__":
    unittest.main()
