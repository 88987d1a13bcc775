#!/usr/bin/env python3
"""Checks a message log after a kill: its old content, then whole records only, each exactly as a
complete check wrote it. At most one record cut short may follow, and only where the note beside
the log ("<log>.pending": sizes before and after the record) says the next append will cut it.
    check_log.py OLD COMPLETE CURRENT
prints "whole N" (exit 0) or "pending N" (exit 3) with N the whole records after the old content,
or why the log is damaged (exit 1)."""
import os
import sys

HEADER = b"-------------- "


def main():
    old, complete, current = (open(path, "rb").read() for path in sys.argv[1:4])
    note_path = sys.argv[3] + ".pending"
    if not current.startswith(old):
        sys.exit("the old content is not kept")
    appended = complete[len(old):]
    starts = [0] if appended.startswith(HEADER) else []
    at = appended.find(b"\r\n" + HEADER)
    while at >= 0:
        starts.append(at + 2)
        at = appended.find(b"\r\n" + HEADER, at + 2)
    records = [appended[a:b] for a, b in zip(starts, starts[1:] + [len(appended)])]
    by_header = {record[: record.index(b"\r\n") + 2]: record for record in records}

    at, whole = len(old), 0
    while at < len(current):
        rest = current[at:]
        line_end = rest.find(b"\r\n")
        record = by_header.get(rest[: line_end + 2]) if line_end >= 0 else None
        if record is not None and rest.startswith(record):
            at += len(record)
            whole += 1
            continue
        if not any(r.startswith(rest) for r in records):
            sys.exit(f"{len(rest)} bytes after {whole} whole records are no record")
        try:
            before, after = map(int, open(note_path).read().split())
        except (OSError, ValueError):
            sys.exit(f"a record cut short after {whole} whole records, and no note of it")
        if before != at or not before < len(current) < after:
            sys.exit(f"a record cut short at {at}, but the note says {before} {after}")
        print(f"pending {whole}")
        sys.exit(3)
    print(f"whole {whole}")


if __name__ == "__main__":
    main()
