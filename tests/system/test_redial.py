"""Clients on 127.0.0.1 order redials from the real program, which runs the recording cmd.exe
stand-in beside it; what it shows is read from its window."""

import re
import time
import unittest

from harness import SystemTestCase, TcpClient, send_tcp, wait_for

NAME, USER, PASSWORD, CLIENT, CONNECT_TIME, TASK, REDIAL_TIME = range(201, 208)
HANG_UP = b"cmd /c rasdial DialLine /disconnect"
DIAL = b"cmd /c rasdial DialLine MRTX4820 530942"


def local_time_text(seconds):
    """The program's time text for a clock reading: the date, then the time of day up to its
    last non-zero unit."""
    t = time.localtime(seconds)
    text = f"{t.tm_year}年{t.tm_mon}月{t.tm_mday}日"
    if t.tm_sec:
        return text + f"{t.tm_hour}时{t.tm_min}分{t.tm_sec}秒"
    if t.tm_min:
        return text + f"{t.tm_hour}时{t.tm_min}分"
    if t.tm_hour:
        return text + f"{t.tm_hour}时"
    return text


def time_texts_between(start, end):
    """Every time text that a clock reading from `start` to `end` (seconds) can give."""
    return {local_time_text(s) for s in range(int(start), int(end) + 1)}


class RemoteRedialTest(SystemTestCase):
    def start(self, **options):
        program = self.start_program(**options)
        program.wait_window()
        return program

    def test_a_client_is_shown_with_its_address_port_and_time(self):
        program = self.start()
        before = time.time()
        with TcpClient() as client:
            port = client.socket.getsockname()[1]
            program.wait_field(CLIENT, lambda text: text == f"127.0.0.1:{port}")
            after = time.time()
            self.assertIn(program.field(CONNECT_TIME), time_texts_between(before, after))
            self.assertEqual(program.field(TASK), "")
            self.assertEqual(client.read(0.2), b"")
        self.assertEqual(program.commands(), [])

    def test_the_command_hangs_up_then_dials_then_writes_the_time(self):
        program = self.start(delays={"cmd": 700})
        with TcpClient() as client:
            client.send(b"1")
            program.wait_field(REDIAL_TIME, lambda text: text != "", timeout=20)
            hang_up, dial = program.commands()
            self.assertEqual((hang_up.line, dial.line), (HANG_UP, DIAL))
            # Each ran to its end before the next step.
            self.assertGreaterEqual(hang_up.end_ms - hang_up.start_ms, 700)
            self.assertGreaterEqual(dial.start_ms, hang_up.end_ms)
            # The time is taken after the dial has ended.
            self.assertIn(program.field(REDIAL_TIME),
                          time_texts_between(dial.end_ms / 1000, time.time()))
            self.assertEqual(program.field(TASK), "1")
            self.assertEqual(client.read(0.2), b"", "nothing is ever sent back")
            self.assertFalse(client.peer_closed, "the connection stays open")

    def test_only_the_exact_command_orders_a_redial(self):
        program = self.start()
        cases = [
            (b"1\r\n", "1\r\n"),
            (b"11", "11"),
            (b"2", "2"),
            (b"01", "01"),
            (b"one", "one"),
            (b" 1", " 1"),
            (b"\x00" + b"1", ""),
            (b"1 & echo x", "1 & echo x"),
            ("任务".encode("gbk"), "任务"),
        ]
        with TcpClient() as client:
            for sent, shown in cases:
                # A marker first, so each case's text is seen to replace the one before.
                client.send(b"marker")
                program.wait_field(TASK, lambda text: text == "marker")
                client.send(sent)
                program.wait_field(TASK, lambda text, shown=shown: text == shown)
        self.assertEqual(program.commands(), [], "no command ran")
        self.assertEqual(program.field(REDIAL_TIME), "")

    def test_the_command_counts_up_to_a_zero_byte(self):
        program = self.start()
        send_tcp(b"1\x00tail")
        program.wait_field(REDIAL_TIME, lambda text: text != "", timeout=20)
        self.assertEqual([c.line for c in program.commands()], [HANG_UP, DIAL])
        self.assertEqual(program.field(TASK), "1")

    def test_a_command_sent_just_before_closing_is_carried_out(self):
        program = self.start()
        send_tcp(b"1")  # connect, send, close at once
        program.wait_commands(2, timeout=20)
        self.assertEqual([c.line for c in program.commands()], [HANG_UP, DIAL])

    def test_the_operators_name_is_used_by_the_next_remote_redial(self):
        program = self.start()
        program.wait_keyboard()
        program.wait_focus(301)
        # Tab order: 连接, 断开, client, connect time, then the name.
        program.keys("Tab", "Tab", "Tab", "Tab")
        program.wait_focus(NAME)
        program.keys("End", "shift+Home")
        program.type_text("My Line")
        program.wait_field(NAME, lambda text: text == "My Line")
        send_tcp(b"1")
        program.wait_commands(2, timeout=20)
        self.assertEqual([c.line for c in program.commands()],
                         [b"cmd /c rasdial My Line /disconnect",
                          b"cmd /c rasdial My Line MRTX4820 530942"])

    def test_commands_from_two_clients_during_a_redial_give_two_more(self):
        program = self.start(delays={"cmd": 1000})
        clients = [TcpClient() for _ in range(4)]
        try:
            first, second, third, fourth = clients
            first.send(b"1")
            program.wait_commands(1, timeout=20)  # the window is busy with the first redial
            second.send(b"1")
            third.send(b"1")
            fourth.send(b"1")
            fourth.send(b"1")  # one client's two commands come as one text, "11"
            records = program.wait_commands(6, timeout=30)
            program.wait_field(TASK, lambda text: text == "11", timeout=20)
            for client in clients:
                self.assertEqual(client.read(0.1), b"")
        finally:
            for client in clients:
                client.close()
        self.assertEqual([c.line for c in records], [HANG_UP, DIAL] * 3)
        for earlier, later in zip(records, records[1:]):
            self.assertGreaterEqual(later.start_ms, earlier.end_ms, "one command at a time")
        self.assertEqual(len(program.commands()), 6, "the text 11 ordered nothing")

    def test_closing_the_window_ends_every_connection(self):
        program = self.start()
        clients = [TcpClient(), TcpClient()]
        try:
            port = clients[1].socket.getsockname()[1]
            program.wait_field(CLIENT, lambda text: text == f"127.0.0.1:{port}")
            program.close_window()
            self.assertEqual(program.exit_code(timeout=20), 0)
            for client in clients:
                wait_for(lambda client=client: client.read(0.2) == b"" and client.peer_closed, 10,
                         "the connection was closed by the program")
                self.assertEqual(client.received, b"", "nothing is ever sent back")
        finally:
            for client in clients:
                client.close()


class CompanionClientTest(SystemTestCase):
    def test_dialclient_orders_a_redial(self):
        import os
        exe = os.environ.get("DIALSERVER_DIALCLIENT")
        if not exe:
            self.skipTest("DIALSERVER_DIALCLIENT is not set")
        program = self.start_program()
        program.wait_window()
        status, out, err = self.session.prefix.run(self.session.display, [exe], program.root, 60)
        self.assertEqual(status, 0, err)
        program.wait_commands(2, timeout=20)
        self.assertEqual([c.line for c in program.commands()], [HANG_UP, DIAL])
        # A connection that cannot be made is said in one line, with a failure status.
        status, out, err = self.session.prefix.run(self.session.display,
                                                   [exe, "--port", "1"], program.root, 60)
        self.assertNotEqual(status, 0)
        self.assertRegex(err.decode("utf-8", "replace"), re.compile(r"dialclient: cannot send"))


if __name__ == "__main__":
    unittest.main()
