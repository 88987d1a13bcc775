#!/usr/bin/env python3
"""The reference POP3 client against scripted servers: it falls back to one command at a time
without PIPELINING, and a session cut short or refused is a failure, never a result."""
import os
import socket
import subprocess
import sys
import threading
import unittest

CLIENT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "pop3_ref_client.py")
MESSAGE = b"Subject: hello\r\n\r\n..stuffed line\r\n.\r\n"


class ScriptedServer(threading.Thread):
    """Answers each command line with `answer(command)`, closing the connection after a reply
    that does not end its line. Records
    whether a command ever arrived while an earlier one was still unanswered."""

    def __init__(self, answer):
        super().__init__(daemon=True)
        self.answer = answer
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.commands = []
        self.pipelined = False

    def run(self):
        with self.listener:
            connection, _ = self.listener.accept()
        with connection:
            connection.sendall(b"+OK ready\r\n")
            pending = b""
            while True:
                while b"\r\n" not in pending:
                    data = connection.recv(4096)
                    if not data:
                        return
                    pending += data
                line, pending = pending.split(b"\r\n", 1)
                self.pipelined = self.pipelined or bool(pending)
                self.commands.append(line.decode())
                reply = self.answer(line.decode())
                connection.sendall(reply)
                if not reply.endswith(b"\r\n"):
                    return


def mailbox(capabilities, cut_after_top=None, refuse=None):
    """The answers of a three-message mailbox."""

    def answer(command):
        verb = command.split(" ")[0]
        if verb == "CAPA":
            return b"+OK\r\n" + b"".join(c + b"\r\n" for c in capabilities) + b".\r\n"
        if verb == "STAT":
            return b"+OK 3 120\r\n"
        if verb == "UIDL":
            return b"+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n"
        if verb == "TOP":
            number = int(command.split(" ")[1])
            if number == refuse:
                return b"-ERR no such message\r\n"
            if number == cut_after_top:
                return b"+OK\r\nSubject: cut"
            return b"+OK\r\n" + MESSAGE
        return b"+OK\r\n"

    return answer


class ReferenceClientTest(unittest.TestCase):
    def run_client(self, server, *options):
        server.start()
        result = subprocess.run(
            [sys.executable, CLIENT, "127.0.0.1", str(server.port), "ann", "secret", "--timeout", "600", *options],
            capture_output=True,
            text=True,
            timeout=120,
        )
        server.join(30)
        return result

    def test_pipelines_only_when_the_server_announces_it(self):
        for capabilities, pipelined in (([b"TOP", b"PIPELINING"], True), ([b"TOP", b"UIDL"], False)):
            with self.subTest(capabilities=capabilities):
                server = ScriptedServer(mailbox(capabilities))
                result = self.run_client(server)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue(result.stdout.startswith("3 messages, "), result.stdout)
                self.assertEqual(server.commands[-4:], ["TOP 3 0", "TOP 2 0", "TOP 1 0", "QUIT"])
                self.assertEqual(server.pipelined, pipelined)

    def test_uidl_mode_asks_one_command_at_a_time_and_fetches_nothing(self):
        server = ScriptedServer(mailbox([b"PIPELINING", b"UIDL"]))
        result = self.run_client(server, "--uidl")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(server.commands, ["CAPA", "USER ann", "PASS secret", "STAT", "UIDL", "QUIT"])
        self.assertFalse(server.pipelined)
        self.assertEqual(result.stdout, "3 messages, 23 bytes\n")

    def test_a_session_cut_short_or_refused_fails(self):
        # A client that waited for the rest would fail only at its time-out; the test's bound is shorter.
        for script in (mailbox([b"PIPELINING"], cut_after_top=2), mailbox([b"PIPELINING"], refuse=1)):
            server = ScriptedServer(script)
            result = self.run_client(server)
            self.assertEqual(result.returncode, 1, result.stdout)
            self.assertEqual(result.stdout, "")
            self.assertIn("pop3_ref_client:", result.stderr)


if __name__ == "__main__":
    unittest.main()
