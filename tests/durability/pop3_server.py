#!/usr/bin/env python3
"""A small POP3 server on loopback for the durability harness: one mailbox of MESSAGES messages,
every other one LARGE_BYTES long, so that the monitor appends large records to its message log while it is
killed. Any user name and password sign in; nothing is ever deleted. Prints its port and serves
until it is killed.
    pop3_server.py MESSAGES LARGE_BYTES"""
import socketserver
import sys


def make_message(number, large_bytes):
    lines = [
        f"From: sender{number}@example.org",
        "To: user@example.org",
        f"Subject: durability {number}",
        f"Date: Tue, 1 Dec 2026 10:{number % 60:02d}:00 +0000",
        f"Message-ID: <{number}@example.org>",
        "",
    ]
    size = large_bytes if number % 2 == 0 else 2000
    line = f"message {number} line " + "x" * 60
    lines += [f"{line} {i}" for i in range(size // (len(line) + 8))]
    return "\r\n".join(lines).encode("ascii") + b"\r\n"


class Session(socketserver.StreamRequestHandler):
    def reply(self, text):
        self.wfile.write(text.encode("ascii") + b"\r\n")

    def handle(self):
        messages = self.server.messages
        self.reply("+OK durability POP3 server ready")
        for raw in self.rfile:
            words = raw.decode("ascii", "replace").strip().split()
            command = words[0].upper() if words else ""
            if command in ("USER", "PASS", "NOOP"):
                self.reply("+OK")
            elif command == "STAT":
                self.reply(f"+OK {len(messages)} {sum(map(len, messages))}")
            elif command == "LIST" and len(words) == 2 and words[1].isdigit() and 1 <= int(words[1]) <= len(messages):
                self.reply(f"+OK {words[1]} {len(messages[int(words[1]) - 1])}")
            elif command in ("RETR", "TOP") and len(words) >= 2 and words[1].isdigit() \
                    and 1 <= int(words[1]) <= len(messages):
                message = messages[int(words[1]) - 1]
                if command == "TOP":
                    message = message[: message.index(b"\r\n\r\n") + 4]
                self.reply(f"+OK {len(message)} octets")
                self.wfile.write(message + b".\r\n")
            elif command == "QUIT":
                self.reply("+OK bye")
                return
            else:
                self.reply("-ERR not here")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # a monitor killed in the middle of a session resets its connection


def main():
    count, large_bytes = int(sys.argv[1]), int(sys.argv[2])
    server = Server(("127.0.0.1", 0), Session)
    server.messages = [make_message(n, large_bytes) for n in range(1, count + 1)]
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
