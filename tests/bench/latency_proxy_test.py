#!/usr/bin/env python3
"""The added-latency proxy of the benchmarks delivers every byte, in order, both ways."""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

PROXY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "latency_proxy.py")


class EchoServer(threading.Thread):
    """Echoes everything of one connection back, then closes once the client has ended its side."""

    def __init__(self):
        super().__init__(daemon=True)
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]

    def run(self):
        with self.listener:
            connection, _ = self.listener.accept()
        with connection:
            while True:
                data = connection.recv(65536)
                if not data:
                    break
                connection.sendall(data)


class LatencyProxyTest(unittest.TestCase):
    def start_proxy(self, upstream_port, delay_ms, tally=None):
        proxy = subprocess.Popen(
            [sys.executable, PROXY, "127.0.0.1", str(upstream_port), "--delay-ms", str(delay_ms)]
            + (["--tally", tally] if tally else []),
            stdout=subprocess.PIPE,
            text=True,
        )
        self.addCleanup(proxy.stdout.close)
        self.addCleanup(proxy.wait)
        self.addCleanup(proxy.terminate)
        words = proxy.stdout.readline().split()
        self.assertEqual(words[0], "listening")
        return int(words[1])

    def test_bytes_arrive_intact_and_in_order_both_ways(self):
        for delay_ms in (0, 3):
            with self.subTest(delay_ms=delay_ms):
                echo = EchoServer()
                echo.start()
                tally = os.path.join(tempfile.mkdtemp(prefix="qm-tally-"), "tally.txt")
                port = self.start_proxy(echo.port, delay_ms, tally)
                # Counting bytes in many small writes, so reordered or lost chunks show.
                payload = b"".join(b"%08d\n" % i for i in range(200000))
                received = bytearray()
                with socket.create_connection(("127.0.0.1", port)) as client:

                    def send():
                        for at in range(0, len(payload), 1000):
                            client.sendall(payload[at : at + 1000])
                        client.shutdown(socket.SHUT_WR)  # the end of the data crosses too

                    sender = threading.Thread(target=send)
                    sender.start()
                    while True:
                        data = client.recv(65536)
                        if not data:
                            break
                        received += data
                    sender.join()
                self.assertEqual(len(received), len(payload))
                self.assertTrue(received == payload, "the echoed bytes differ from the sent ones")
                # The connection's line: bytes and lines sent, bytes received.
                for _ in range(200):
                    if os.path.exists(tally) and open(tally).read():
                        break
                    time.sleep(0.05)
                self.assertEqual(open(tally).read(), "%d 200000 %d\n" % (len(payload), len(payload)))

    def test_refuses_a_server_off_loopback(self):
        result = subprocess.run(
            [sys.executable, PROXY, "192.0.2.1", "110"], capture_output=True, text=True, timeout=60
        )
        self.assertEqual(result.returncode, 2)
        self.assertIn("loopback", result.stderr)


if __name__ == "__main__":
    unittest.main()
