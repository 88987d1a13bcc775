#!/usr/bin/env python3
"""Reference POP3 clients (RFC 1939, pipelining as in RFC 2449) for the pipelining report.

One session: USER, PASS, STAT, then TOP k 0 (or RETR k with --retr) for every message from the
highest number down to 1, then QUIT. --sequential sends one command and waits for its reply
before the next, as a simple client such as Python's poplib does. Without it the client asks
CAPA and, when the server announces PIPELINING, keeps up to --window fetches in flight, reading
the replies in order; the socket never blocks, so neither side can stall on a full buffer.

Prints "<messages> messages, <bytes> bytes" (and with --digest a SHA-256 over every reply in
order); exits 1 with the reason on stderr when the session fails, 2 on bad arguments.

With --uidl the session is what a client that remembers its messages sends to an unchanged
mailbox: CAPA, USER, PASS, STAT, UIDL and QUIT, one at a time; the bytes are the UIDL answer's.

usage: pop3_ref_client.py HOST PORT USER PASSWORD [--retr] [--sequential] [--uidl] [--window N]
                          [--timeout SECONDS] [--digest]
  --retr        fetch whole messages (RETR k) instead of TOP k 0
  --sequential  one command at a time
  --uidl        CAPA, USER, PASS, STAT, UIDL, QUIT one at a time, no fetch
  --window N    fetches in flight when pipelining (default 1000)
  --timeout S   seconds to wait for any reply (default 60)
  --digest      also print a SHA-256 over every reply
"""
import selectors
import socket
import sys

TERMINATOR = b"\r\n.\r\n"


class SessionError(Exception):
    pass


class Session:
    """A non-blocking POP3 connection that sends queued commands and parses replies in order."""

    def __init__(self, host, port, timeout):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.sock.setblocking(False)
        self.timeout = timeout
        self.selector = selectors.DefaultSelector()
        self.selector.register(self.sock, selectors.EVENT_READ)
        self.inbuf = bytearray()
        self.start = 0  # where the next unread reply begins in inbuf
        self.line_end = None  # where the current reply's status line ends, once found
        self.scan = 0  # where the search for the current reply's end goes on
        self.outbuf = bytearray()

    def queue(self, command):
        self.outbuf += command.encode("ascii") + b"\r\n"

    def reply(self, multiline):
        """The next reply in full (status line and, after +OK, the body up to its "." line)."""
        while True:
            found = self._parse(multiline)
            if found is not None:
                return found
            self._pump()

    def _parse(self, multiline):
        if self.line_end is None:
            at = self.inbuf.find(b"\r\n", max(self.start, self.scan))
            if at < 0:
                self.scan = max(self.start, len(self.inbuf) - 1)
                return None
            self.line_end = self.scan = at
        ok = self.inbuf.startswith(b"+OK", self.start)
        end = self.line_end + 2
        if ok and multiline:
            # The body ends at the first CR LF "." CR LF from the status line's own CR LF on.
            body_end = self.inbuf.find(TERMINATOR, self.scan)
            if body_end < 0:
                self.scan = max(self.line_end, len(self.inbuf) - len(TERMINATOR) + 1)
                return None
            end = body_end + len(TERMINATOR)
        found = bytes(self.inbuf[self.start : end])
        self.start = self.scan = end
        self.line_end = None
        if self.start > 1 << 20:
            del self.inbuf[: self.start]
            self.start = self.scan = 0
        if not ok:
            raise SessionError(found.decode("latin-1").strip())
        return found

    def _pump(self):
        """Sends what it can of the queued commands and reads what has arrived."""
        events = selectors.EVENT_READ | (selectors.EVENT_WRITE if self.outbuf else 0)
        self.selector.modify(self.sock, events)
        ready = self.selector.select(self.timeout)
        if not ready:
            raise SessionError("no reply within %s s" % self.timeout)
        for _, mask in ready:
            if mask & selectors.EVENT_WRITE:
                sent = self.sock.send(self.outbuf)
                del self.outbuf[:sent]
            if mask & selectors.EVENT_READ:
                data = self.sock.recv(1 << 18)
                if not data:
                    raise SessionError("the server closed the connection")
                self.inbuf += data

    def command(self, text, multiline=False):
        self.queue(text)
        return self.reply(multiline)

    def close(self):
        self.selector.close()
        self.sock.close()


def fetch_all(session, count, verb, window, digest):
    """Fetches messages count..1 with up to `window` commands in flight; returns the bytes read."""
    total = 0
    sent = 0
    for done in range(count):
        # Top up the window, then take the oldest reply.
        while sent < count and sent - done < window:
            number = count - sent
            session.queue("TOP %d 0" % number if verb == "TOP" else "RETR %d" % number)
            sent += 1
        reply = session.reply(multiline=True)
        total += len(reply)
        if digest is not None:
            digest.update(reply)
    return total


def run(args):
    session = Session(args.host, args.port, args.timeout)
    try:
        session.reply(multiline=False)  # greeting
        window = 1
        if args.uidl:
            session.command("CAPA", multiline=True)
            session.command("USER " + args.user)
            session.command("PASS " + args.password)
            count = int(session.command("STAT").split()[1])
            total = len(session.command("UIDL", multiline=True))
            session.command("QUIT")
            print("%d messages, %d bytes" % (count, total))
            return
        if not args.sequential:
            try:
                capabilities = session.command("CAPA", multiline=True).split(b"\r\n")
                if any(c.split(b" ")[0].upper() == b"PIPELINING" for c in capabilities[1:]):
                    window = args.window
            except SessionError:
                pass  # no capabilities: one command at a time
            if window == 1:
                print("the server does not announce PIPELINING: one command at a time", file=sys.stderr)
        session.command("USER " + args.user)
        session.command("PASS " + args.password)
        count = int(session.command("STAT").split()[1])
        digest = None
        if args.digest:
            import hashlib  # only here: its import is a noticeable part of a short run

            digest = hashlib.sha256()
        total = fetch_all(session, count, "RETR" if args.retr else "TOP", window, digest)
        session.command("QUIT")
    finally:
        session.close()
    print("%d messages, %d bytes" % (count, total) + (" sha256 %s" % digest.hexdigest() if digest else ""))


class Options:
    retr = sequential = digest = uidl = False
    window = 1000
    timeout = 60.0


def parse(argv):
    """The options of a command line, or None when it is not understood. Parsed by hand: the
    client is timed as a whole process, and argparse alone costs more to import than a small
    check takes."""
    args = Options()
    positional = []
    rest = iter(argv)
    try:
        for arg in rest:
            if arg in ("--retr", "--sequential", "--digest", "--uidl"):
                setattr(args, arg[2:], True)
            elif arg == "--window":
                args.window = int(next(rest))
            elif arg == "--timeout":
                args.timeout = float(next(rest))
            elif arg.startswith("-"):
                return None
            else:
                positional.append(arg)
        args.host, port, args.user, args.password = positional
        args.port = int(port)
    except (StopIteration, ValueError):
        return None
    return args if args.window >= 1 and args.timeout > 0 else None


def main():
    args = parse(sys.argv[1:])
    if args is None:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        run(args)
    except (OSError, SessionError, ValueError, IndexError) as error:
        print("pop3_ref_client: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
