#!/usr/bin/env python3
"""Times whole checks side by side: quillmere-check, one command at a time, and pipelined.

In one run, on one private Dovecot with generated mailboxes (bench_mailbox_server) and, for the
delayed cases, behind latency_proxy.py, every case is timed for quillmere-check (a settings folder
written by bench_check_settings), the sequential reference client and the pipelined reference
client (pop3_ref_client.py), each as whole processes, the median of --runs runs. The cases: the
small and the large mailbox with no added delay and with --delay-ms each way, the large one
fetched whole (RETR, notice conditions on) with the delay, and --accounts large mailboxes
checked in parallel (one quillmere-check for all of them against as many clients started
together). Prints one Markdown table with the ratios, quillmere-check's CPU time and peak
resident memory (measured with GNU time), and, when strace is installed, the futex calls of one large check.

A table of its own times the second check of the unchanged large mailbox, with no added delay
and with --delay-ms each way: quillmere-check's first check (no state file), its second (the
state file the first left: verdicts reused, nothing fetched), and the reference client that sends
CAPA, USER, PASS, STAT, UIDL and QUIT one at a time; beside them the commands each check sent and
the bytes it got from the server, counted by a latency proxy with --tally.

With --imap (or --imap-only, which leaves the POP3 cases out) it also times an IMAP account on a
mailbox of --large unseen messages in INBOX, with no added delay and with --delay-ms each way:
quillmere-check beside the reference client that fetches every header with one UID FETCH and the
one that fetches one message per round trip (imap_ref_client.py), in a table of its own.

Nothing here asserts anything: the numbers depend on the machine and on what else runs on it.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
CLIENT = HERE / "pop3_ref_client.py"
IMAP_CLIENT = HERE / "imap_ref_client.py"
PROXY = HERE / "latency_proxy.py"
HOST = "127.0.0.1"
TIME = "/usr/bin/time"  # GNU time (Debian package time)


class Failure(Exception):
    pass


def start_helper(argv, first_word):
    """Starts a helper that announces itself on stdout; returns it and its announcement lines."""
    helper = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    lines = []
    for line in helper.stdout:
        lines.append(line.split())
        if lines[-1] and lines[-1][0] == first_word:
            return helper, lines
    raise Failure("%s ended before it was ready" % argv[0])


def stop_helper(helper):
    if helper is None or helper.poll() is not None:
        return
    helper.stdin.close()  # the mailbox server stops at the end of its input
    helper.terminate()
    try:
        helper.wait(30)
    except subprocess.TimeoutExpired:
        helper.kill()
        helper.wait()


class Timing:
    def __init__(self, seconds, cpu=0.0, max_rss_kb=0):
        self.seconds = seconds
        self.cpu = cpu
        self.max_rss_kb = max_rss_kb


def run_together(commands, scratch):
    """Starts every command at once and waits for all; their wall time, summed CPU time and
    largest peak resident size, and each one's exit status, output and error output."""
    outputs = []
    pids = []
    began = time.perf_counter()
    for i, argv in enumerate(commands):
        out, err, usage = (scratch / ("%s%d" % (name, i)) for name in ("out", "err", "usage"))
        # Measured by GNU time, a small process of its own: a child spawned from here would count
        # this interpreter's resident memory in its peak.
        argv = [TIME, "-f", "%U %S %M", "-o", str(usage)] + argv
        actions = [
            (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
            (os.POSIX_SPAWN_OPEN, 1, str(out), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600),
            (os.POSIX_SPAWN_OPEN, 2, str(err), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600),
        ]
        pids.append(os.posix_spawn(argv[0], argv, os.environ, file_actions=actions))
        outputs.append((out, err, usage))
    statuses = [os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) for pid in pids]
    timing = Timing(time.perf_counter() - began)
    results = []
    for status, (out, err, usage) in zip(statuses, outputs):
        user, system, max_rss_kb = usage.read_text().split()[-3:]
        timing.cpu += float(user) + float(system)
        timing.max_rss_kb = max(timing.max_rss_kb, int(max_rss_kb))
        results.append((status, out.read_text(errors="replace"), err.read_text(errors="replace")))
    return timing, results


# The reference clients of each protocol, (key, column title), the slower one first.
POP3_CLIENTS = (("sequential", "one at a time"), ("pipelined", "pipelined"))
IMAP_CLIENTS = (("per-message", "one per message"), ("one-fetch", "one fetch"))


class Case:
    def __init__(self, label, mailboxes, port, retr=False, imap=False):
        self.label = label
        self.mailboxes = mailboxes  # [(user, password, messages)]
        self.port = port
        self.retr = retr
        self.imap = imap
        self.clients = IMAP_CLIENTS if imap else POP3_CLIENTS
        self.times = {key: [] for key in ["check"] + [key for key, _ in self.clients]}
        self.check_cpu = []
        self.check_rss = 0
        self.settings = None

    def client_commands(self, tool):
        if self.imap:
            script, mode = IMAP_CLIENT, ["--per-message"] if tool == "per-message" else []
        else:
            script = CLIENT
            mode = (["--retr"] if self.retr else []) + (["--sequential"] if tool == "sequential" else [])
        return [
            # -I -S: no site packages to import; the clients need the standard library only.
            [sys.executable, "-I", "-S", str(script), HOST, str(self.port), user, password] + mode
            for user, password, _ in self.mailboxes
        ]


def check_client_results(case, results):
    for (status, out, err), (user, _, messages) in zip(results, case.mailboxes):
        if status != 0 or not out.startswith("%d messages" % messages):
            raise Failure("reference client on %s (%s): %s%s" % (user, case.label, out, err))


def check_checker_results(case, results):
    (status, out, err), = results
    total = sum(messages for _, _, messages in case.mailboxes)
    # Exit status 0: news found; every message counts as news with empty lists.
    if status != 0 or err.strip() or not re.search(r"\b%d\b" % total, out):
        raise Failure("quillmere-check (%s) exited %d:\n%s%s" % (case.label, status, out, err))


def forget(case):
    """A first check: no state file left by an earlier one."""
    (case.settings / "mailstate.txt").unlink(missing_ok=True)


def measure(case, tool, checker, scratch):
    if tool == "check":
        forget(case)
        timing, results = run_together([[checker, "--dir", str(case.settings)]], scratch)
        check_checker_results(case, results)
        case.check_cpu.append(timing.cpu)
        case.check_rss = max(case.check_rss, timing.max_rss_kb)
    else:
        timing, results = run_together(case.client_commands(tool), scratch)
        check_client_results(case, results)
    case.times[tool].append(timing.seconds)


def verify_check(case, checker, log, scratch):
    """Runs quillmere-check once and makes sure from the server's log that each of its sessions
    fetched every message, so no time in the table comes from a check that skipped work."""
    offset = log.stat().st_size
    forget(case)
    check_checker_results(case, run_together([[checker, "--dir", str(case.settings)]], scratch)[1])
    if case.imap:
        # Dovecot counts the messages whose header alone it sent.
        pattern = rb"imap\(([^)]+)\).*Disconnected.* hdr_count=(\d+)"
    else:
        pattern = rb"pop3\(([^)]+)\).*Disconnected.* %s=(\d+)/" % (b"retr" if case.retr else b"top")
    expected = sorted((user, messages) for user, _, messages in case.mailboxes)
    # The server logs a session when it has closed it, which may be just after the check ended.
    for _ in range(200):
        with log.open("rb") as text:
            text.seek(offset)
            sessions = re.findall(pattern, text.read())
        fetched = sorted((user.decode(), int(count)) for user, count in sessions)
        if len(fetched) >= len(expected):
            break
        time.sleep(0.05)
    if fetched != expected:
        raise Failure("quillmere-check (%s) did not fetch every message: %s" % (case.label, fetched))


def wait_logged(log, offset, sessions):
    """Waits until the server has logged the end of this many sessions after offset (it does so
    just after closing them), so that none of them is taken for a later check's."""
    for _ in range(200):
        with log.open("rb") as text:
            text.seek(offset)
            if len(re.findall(rb": Disconnected", text.read())) >= sessions:
                return
        time.sleep(0.05)
    raise Failure("the server did not log the end of %d warm-up sessions" % sessions)


def write_settings(case, settings_tool, folder):
    folder.mkdir()
    argv = [settings_tool, str(folder), str(case.port)] + (["--retr"] if case.retr else [])
    argv += ["--imap"] if case.imap else []
    argv += ["%s:%s" % (user, password) for user, password, _ in case.mailboxes]
    subprocess.run(argv, check=True)
    case.settings = folder


def futex_calls(checker, case, scratch):
    """The futex calls of one check under strace, or a note why there is no count."""
    strace = shutil.which("strace")
    if strace is None:
        return "not counted (optional: install strace)"
    summary = scratch / "strace.txt"
    subprocess.run(
        [strace, "-f", "-c", "-e", "trace=futex", "-o", str(summary), checker, "--dir", str(case.settings)],
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
        check=False,
    )
    for line in summary.read_text().splitlines():
        fields = line.split()
        if fields and fields[-1] == "futex":
            return "%s (%s)" % (fields[3], case.label)
    return "no futex calls (%s)" % case.label


def describe_binary(checker):
    folder = Path(checker).resolve().parent
    commit = subprocess.run(
        ["git", "-C", str(folder), "log", "-1", "--format=%h %s"], capture_output=True, text=True, check=False
    ).stdout.strip()
    built = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime(os.path.getmtime(checker)))
    return "%s (built %s%s)" % (checker, built, ", tree at " + commit if commit else "")


def seconds(values):
    return "%.3f s" % statistics.median(values) if values else "-"


def ratios(case):
    """check / the faster client, and the slower client / check."""
    (slow, _), (fast, _) = case.clients
    check = statistics.median(case.times["check"])
    return check / statistics.median(case.times[fast]), statistics.median(case.times[slow]) / check


def table(cases, runs):
    (slow, slow_title), (fast, fast_title) = cases[0].clients
    rows = [
        "| case | quillmere-check | %s | %s | check / %s | %s / check | check CPU | check peak RSS |"
        % (slow_title, fast_title, fast_title, slow_title),
        "|---|---|---|---|---|---|---|---|",
    ]
    for case in cases:
        rows.append(
            "| %s | %s | %s | %s | %.2fx | %.1fx | %s | %.1f MB |"
            % (
                case.label,
                seconds(case.times["check"]),
                seconds(case.times[slow]),
                seconds(case.times[fast]),
                *ratios(case),
                seconds(case.check_cpu),
                case.check_rss / 1024.0,
            )
        )
    rows.append("")
    rows.append("Whole processes, median of %d; CPU is user + system time of quillmere-check." % runs)
    return "\n".join(rows)


class Recheck(Case):
    """The second check of an unchanged mailbox beside its first and the UIDL reference client."""

    def __init__(self, label, mailbox, port, tally_port):
        super().__init__(label, [mailbox], port)
        self.times = {"first": [], "second": [], "uidl": []}
        self.tallied = Case(label, [mailbox], tally_port)
        self.wire = {}  # "first", "second": (commands sent, bytes from the server)


def measure_recheck(case, checker, scratch):
    forget(case)
    for key in ("first", "second"):
        timing, results = run_together([[checker, "--dir", str(case.settings)]], scratch)
        check_checker_results(case, results)
        case.times[key].append(timing.seconds)
    user, password, _ = case.mailboxes[0]
    argv = [sys.executable, "-I", "-S", str(CLIENT), HOST, str(case.port), user, password, "--uidl"]
    timing, results = run_together([argv], scratch)
    check_client_results(case, results)
    case.times["uidl"].append(timing.seconds)


def tally_recheck(case, checker, tally, scratch):
    """The commands and the server's bytes of a first and a second check, through the tally proxy."""
    forget(case.tallied)
    for key in ("first", "second"):
        before = len(tally.read_text().splitlines()) if tally.exists() else 0
        check_checker_results(case, run_together([[checker, "--dir", str(case.tallied.settings)]], scratch)[1])
        for _ in range(200):  # the proxy writes its line once both ends have closed
            lines = tally.read_text().splitlines() if tally.exists() else []
            if len(lines) > before:
                break
            time.sleep(0.05)
        else:
            raise Failure("the tally proxy did not count the %s check (%s)" % (key, case.label))
        _, commands, received = (int(word) for word in lines[before].split())
        case.wire[key] = (commands, received)


def recheck_table(cases, runs):
    rows = [
        "| case | first check | second check | CAPA..QUIT one at a time | second / first | second / reference "
        "| commands first / second | bytes from the server first / second |",
        "|---|---|---|---|---|---|---|---|",
    ]
    for case in cases:
        first, second, uidl = (statistics.median(case.times[k]) for k in ("first", "second", "uidl"))
        rows.append("| %s | %.3f s | %.3f s | %.3f s | %.2fx | %.2fx | %d / %d | %s / %s (%.1f%%) |" % (
            case.label, first, second, uidl, second / first, second / uidl, case.wire["first"][0],
            case.wire["second"][0], "{:,}".format(case.wire["first"][1]), "{:,}".format(case.wire["second"][1]),
            100.0 * case.wire["second"][1] / case.wire["first"][1]))
    rows.append("")
    rows.append("Whole processes, median of %d; the second check starts from the state file the first left." % runs)
    delayed = cases[-1]
    first, second, uidl = (statistics.median(delayed.times[k]) for k in ("first", "second", "uidl"))
    goals = [("commands at most 8", delayed.wire["second"][0] <= 8, "%d" % delayed.wire["second"][0]),
             ("second / first at most 0.75x", second / first <= 0.75, "%.2fx" % (second / first)),
             ("second / reference at most 1.5x", second / uidl <= 1.5, "%.2fx" % (second / uidl))]
    rows.append("Goals at %s: %s." % (delayed.label.rsplit(", ", 1)[1], "; ".join(
        "%s: %s, %s" % (name, value, "met" if met else "NOT met") for name, met, value in goals)))
    return "\n".join(rows)


def imap_goals(delayed):
    """Whether the delayed IMAP case is within 1.5x of one fetch and 20x faster than one per message."""
    to_fast, from_slow = ratios(delayed)
    return "Goals at %s: check / one fetch at most 1.5x: %.2fx, %s; one per message / check at least 20x: %.1fx, " \
        "%s." % (
        delayed.label.rsplit(", ", 1)[1],
        to_fast,
        "met" if to_fast <= 1.5 else "NOT met",
        from_slow,
        "met" if from_slow >= 20 else "NOT met",
    )


def count_label(n):
    return "{:,}".format(n)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(HERE.parent / "build"), help="build folder (default: ../build)")
    parser.add_argument("--check", help="the quillmere-check to time (default: BUILD/quillmere-check)")
    parser.add_argument("--runs", type=int, default=3, help="runs per tool and case; the median is shown")
    parser.add_argument("--delay-ms", type=float, default=5.0, help="added one-way delay of the delayed cases")
    parser.add_argument("--small", type=int, default=500, help="messages of the small mailbox")
    parser.add_argument("--large", type=int, default=2000, help="messages of each large mailbox")
    parser.add_argument("--accounts", type=int, default=20, help="large mailboxes checked in parallel")
    parser.add_argument("--imap", action="store_true", help="also time the IMAP cases (--large unseen messages)")
    parser.add_argument("--imap-only", action="store_true", help="time the IMAP cases only")
    args = parser.parse_args()
    pop3, imap = not args.imap_only, args.imap or args.imap_only
    build = Path(args.build).resolve()
    checker = str(Path(args.check).resolve() if args.check else build / "quillmere-check")
    server_tool, settings_tool = str(build / "bench_mailbox_server"), str(build / "bench_check_settings")
    if not os.access(TIME, os.X_OK):
        parser.error("%s is missing: install the Debian package time" % TIME)
    for tool in (checker, server_tool, settings_tool):
        if not os.access(tool, os.X_OK):
            parser.error("%s is missing: build quillmere-check, bench_mailbox_server and bench_check_settings "
                         "(-DQM_BENCHMARKS=ON -DQM_BUILD_TESTS=ON)" % tool)
    if args.runs < 1 or args.small < 1 or args.large < 1 or args.accounts < 1:
        parser.error("--runs, --small, --large and --accounts must be at least 1")

    server = None
    proxies = []
    scratch = Path(tempfile.mkdtemp(prefix="qm-pipeline-report-"))
    try:
        # One more large mailbox for IMAP: the POP3 sessions mark what they fetch as seen.
        shapes = [str(args.large)]
        if pop3:
            shapes = [str(args.small), "%dx%d" % (args.large, args.accounts + (1 if imap else 0))]
        print("starting Dovecot with %s messages ..." % " + ".join(shapes), file=sys.stderr)
        server, lines = start_helper([server_tool] + shapes, "ready")
        log = Path(next(words[1] for words in lines if words[0] == "log"))
        mailboxes = [(w[1], w[2], int(w[3])) for w in lines if w[0] == "mailbox"]
        delay = "%g ms each way" % args.delay_ms
        cases, imap_cases = [], []
        if pop3:
            port = int(next(words[1] for words in lines if words[0] == "port"))
            cases = pop3_cases(args, mailboxes, port, start_proxy(port, args.delay_ms, proxies), delay)
        if imap:
            port = int(next(words[1] for words in lines if words[0] == "imap"))
            delayed = start_proxy(port, args.delay_ms, proxies)
            label = "%s unseen messages in INBOX, " % count_label(args.large)
            imap_cases = [Case(label + "0 ms", mailboxes[-1:], port, imap=True),
                          Case(label + delay, mailboxes[-1:], delayed, imap=True)]
        rechecks = []
        tally = scratch / "tally.txt"
        if pop3:
            plain, delayed = cases[2], cases[3]
            rechecks = [
                Recheck("%s messages, second check, 0 ms" % count_label(args.large), plain.mailboxes[0], plain.port,
                        start_proxy(plain.port, 0, proxies, tally)),
                Recheck("%s messages, second check, %s" % (count_label(args.large), delay), plain.mailboxes[0],
                        delayed.port, start_proxy(plain.port, args.delay_ms, proxies, tally)),
            ]
        every = cases + imap_cases
        for i, case in enumerate(every + rechecks):
            write_settings(case, settings_tool, scratch / ("settings%d" % i))
        for i, case in enumerate(rechecks):
            write_settings(case.tallied, settings_tool, scratch / ("tallied%d" % i))
        # Dovecot indexes a mailbox in its first session: not part of any timing.
        print("warming up, and a first check of each case ...", file=sys.stderr)
        offset = log.stat().st_size
        warm = [(case, "sequential") for case in ((cases[0], cases[2], cases[4], cases[5]) if pop3 else ())]
        warm += [(case, "one-fetch") for case in imap_cases[:1]]
        for case, tool in warm:
            check_client_results(case, run_together(case.client_commands(tool), scratch)[1])
        wait_logged(log, offset, sum(len(case.mailboxes) for case, _ in warm))
        for case in every:
            verify_check(case, checker, log, scratch)
        load_before = os.getloadavg()[0]
        for run in range(args.runs):
            for case in every:
                print("run %d/%d: %s" % (run + 1, args.runs, case.label), file=sys.stderr)
                for tool in case.times:
                    measure(case, tool, checker, scratch)
            for case in rechecks:
                print("run %d/%d: %s" % (run + 1, args.runs, case.label), file=sys.stderr)
                measure_recheck(case, checker, scratch)
        for case in rechecks:
            tally_recheck(case, checker, tally, scratch)
        futex = futex_calls(checker, cases[2], scratch) if pop3 else None
        print("\nquillmere-check: %s" % describe_binary(checker))
        print("Dovecot %s on loopback; load average %.1f before, %.1f after; %d cores\n"
              % (dovecot_version(), load_before, os.getloadavg()[0], os.cpu_count()))
        if pop3:
            print(table(cases, args.runs))
            print("futex calls of one check: %s" % futex)
            print("\nSecond check of an unchanged mailbox:\n")
            print(recheck_table(rechecks, args.runs))
        if imap:
            print("%sIMAP:\n" % ("\n" if pop3 else ""))
            print(table(imap_cases, args.runs))
            print(imap_goals(imap_cases[1]))
    except Failure as failure:
        print("pipeline_report: %s" % failure, file=sys.stderr)
        return 1
    finally:
        for proxy in proxies:
            stop_helper(proxy)
        stop_helper(server)
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


def start_proxy(port, delay_ms, proxies, tally=None):
    """Starts a latency proxy in front of the port (kept in proxies, to be stopped); its port."""
    argv = [sys.executable, str(PROXY), HOST, str(port), "--delay-ms", str(delay_ms)]
    proxy, lines = start_helper(argv + (["--tally", str(tally)] if tally else []), "listening")
    proxies.append(proxy)
    return int(lines[-1][1])


def pop3_cases(args, mailboxes, port, delayed, delay):
    small, large = mailboxes[0], mailboxes[1 : 1 + args.accounts]
    return [
        Case("%s messages, 0 ms" % count_label(args.small), [small], port),
        Case("%s messages, %s" % (count_label(args.small), delay), [small], delayed),
        Case("%s messages, 0 ms" % count_label(args.large), large[:1], port),
        Case("%s messages, %s" % (count_label(args.large), delay), large[:1], delayed),
        Case("%s messages, RETR (notice conditions on), %s" % (count_label(args.large), delay), large[:1],
             delayed, retr=True),
        Case("%d accounts x %s messages in parallel, 0 ms" % (args.accounts, count_label(args.large)), large, port),
    ]


def dovecot_version():
    result = subprocess.run(["/usr/sbin/dovecot", "--version"], capture_output=True, text=True, check=False)
    return result.stdout.split(" ")[0].strip() or "(version unknown)"


if __name__ == "__main__":
    sys.exit(main())
