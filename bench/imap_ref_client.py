#!/usr/bin/env python3
"""Reference IMAP4rev1 clients (RFC 3501) for the pipelining report.

One session: LOGIN, EXAMINE INBOX, UID SEARCH UNSEEN, the headers of the unseen messages, LOGOUT.
By default the headers come with one command, UID FETCH <set> (BODY.PEEK[HEADER]), the set being
the unseen UIDs as ranges (1:2000 when every message of a 2,000-message folder is unseen, the
same as 1:*). --per-message sends UID FETCH <uid> (BODY.PEEK[HEADER]) for each unseen message and
waits for its reply before the next, one round trip per message. Literals are read by their {n}
counts; nothing is changed on the server.

Prints "<messages> messages, <bytes> bytes" (the FETCH replies with a header, and the header
bytes; with --digest also a SHA-256 over every header in order); exits 1 with the reason on
stderr when the session fails, 2 on bad arguments.

usage: imap_ref_client.py HOST PORT USER PASSWORD [--per-message] [--timeout SECONDS] [--digest]
  --per-message  one UID FETCH per message, each waited for
  --timeout S    seconds to wait for any reply (default 60)
  --digest       also print a SHA-256 over every header
"""
import socket
import sys


class SessionError(Exception):
    pass


def literal_at(line):
    """Where a line's closing literal announcement "{n}" begins and n, or None without one."""
    if not line.endswith(b"}\r\n"):
        return None
    at = line.rfind(b"{")
    digits = line[at + 1 : -3]
    return (at, int(digits)) if at >= 0 and digits.isdigit() else None


class Session:
    """A blocking IMAP connection: one command out, then its untagged replies and its completion."""

    def __init__(self, host, port, timeout):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.reader = self.sock.makefile("rb", buffering=1 << 18)
        self.tag = 0

    def response(self):
        """One response: its text lines joined, and the literals it carries, in order, each with
        the text of its line before the announcement."""
        parts = []
        literals = []
        while True:
            line = self.reader.readline()
            if not line.endswith(b"\r\n"):
                raise SessionError("the server closed the connection")
            parts.append(line)
            found = literal_at(line)
            if found is None:
                return b"".join(parts), literals
            literal = self.reader.read(found[1])
            if len(literal) < found[1]:
                raise SessionError("the server closed the connection within a literal")
            literals.append((line[: found[0]], literal))

    def command(self, text, untagged=None):
        """Sends `TAG text`, hands every untagged response to `untagged`, and returns the
        completion; raises unless it is OK."""
        self.tag += 1
        tag = b"a%d" % self.tag
        self.sock.sendall(tag + b" " + text.encode("utf-8") + b"\r\n")
        while True:
            text_lines, literals = self.response()
            if text_lines.startswith(tag + b" "):
                if not text_lines[len(tag) + 1 :].upper().startswith(b"OK"):
                    raise SessionError(text_lines.decode("latin-1").strip())
                return text_lines
            if untagged is not None and text_lines.startswith(b"* "):
                untagged(text_lines, literals)

    def close(self):
        self.reader.close()
        self.sock.close()


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def uid_set(uids):
    """Ascending UIDs as IMAP ranges: 1:3,7,9:10."""
    ranges = []
    for uid in uids:
        if ranges and ranges[-1][1] + 1 == uid:
            ranges[-1][1] = uid
        else:
            ranges.append([uid, uid])
    return ",".join(str(a) if a == b else "%d:%d" % (a, b) for a, b in ranges)


class Headers:
    """Counts the headers of FETCH replies (and digests them)."""

    def __init__(self, digest):
        self.messages = 0
        self.bytes = 0
        self.digest = digest

    def __call__(self, text, literals):
        words = text.split(b" ", 3)
        if len(words) < 3 or words[2].upper() != b"FETCH":
            return
        for before, literal in literals:
            if before.upper().endswith(b"BODY[HEADER] "):
                self.messages += 1
                self.bytes += len(literal)
                if self.digest is not None:
                    self.digest.update(literal)


def run(args):
    session = Session(args.host, args.port, args.timeout)
    try:
        greeting, _ = session.response()
        if not greeting.upper().startswith(b"* OK"):
            raise SessionError(greeting.decode("latin-1").strip())
        session.command("LOGIN %s %s" % (quoted(args.user), quoted(args.password)))
        session.command("EXAMINE INBOX")
        unseen = []

        def searched(text, _):
            if text.upper().startswith(b"* SEARCH"):
                unseen.extend(int(uid) for uid in text.split()[2:])

        session.command("UID SEARCH UNSEEN", searched)
        unseen.sort()
        digest = None
        if args.digest:
            import hashlib  # only here: its import is a noticeable part of a short run

            digest = hashlib.sha256()
        headers = Headers(digest)
        if args.per_message:
            for uid in unseen:
                session.command("UID FETCH %d (BODY.PEEK[HEADER])" % uid, headers)
        elif unseen:
            session.command("UID FETCH %s (BODY.PEEK[HEADER])" % uid_set(unseen), headers)
        session.command("LOGOUT")
    finally:
        session.close()
    if headers.messages != len(unseen):
        raise SessionError("%d unseen messages, but %d headers came" % (len(unseen), headers.messages))
    print("%d messages, %d bytes" % (headers.messages, headers.bytes)
          + (" sha256 %s" % digest.hexdigest() if digest else ""))


class Options:
    per_message = digest = False
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
            if arg in ("--per-message", "--digest"):
                setattr(args, arg[2:].replace("-", "_"), True)
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
    return args if args.timeout > 0 else None


def main():
    args = parse(sys.argv[1:])
    if args is None:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        run(args)
    except (OSError, SessionError, ValueError) as error:
        print("imap_ref_client: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
