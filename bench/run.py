#!/usr/bin/env python3
"""Benchmarks of dialserver.exe against the bare baseline server, in the same run, under the same
Wine, on a private display. Prints the figures and writes docs/PERFORMANCE.md and
docs/redial-latency.png.

Each figure is measured on a fresh copy of each program, with the recording cmd.exe stand-in
beside it (no delay): a redial's latency is the time from the "1" leaving the client to the
start of the hang-up command, as the stand-in records it.
"""

import argparse
import contextlib
import datetime
import os
import platform
import resource
import socket
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPOSITORY / "tests" / "system"))

from harness import HOST, PORT, Program, Session, TcpClient, wait_for  # noqa: E402

BUILD = REPOSITORY / "build" / "windows"
ANALYSIS_HEADING = "## Why"
WARM_UP_REDIALS = 2
BYTE_ROUNDS = 3


def resident_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


class Bench:
    def __init__(self, session, name, exe, port=PORT, stand_in=None):
        self.session, self.name, self.exe, self.port = session, name, exe, port
        self.stand_in = stand_in
        self.program = None
        self.lost_starts = 0

    def __enter__(self):
        # dialserver listens on its own port; the baseline is told its port when it is not that.
        arguments = [self.port] if self.port != PORT else []
        stand_ins = {"cmd": self.stand_in} if self.stand_in else None
        self.program = Program(self.session, exe=self.exe, arguments=arguments,
                               stand_ins=stand_ins)
        self.program.start()
        self.program.wait_window()
        # The first commands of a fresh process (and of a fresh wineserver) start more slowly
        # than the rest; they are not measured.
        self.redial_latencies(WARM_UP_REDIALS)
        return self

    def __exit__(self, *exception):
        self.program.cleanup()

    def handles(self):
        return self.program.wait_window()["handles"]

    def memory(self):
        return resident_kib(self.program.pid)

    def redial_latencies(self, count):
        """Milliseconds from "1" sent to the hang-up's start, `count` times, one at a time, each
        from a client of its own that connects first (as dialclient does)."""
        latencies = []
        while len(latencies) < count:
            before = len(self.program.commands())
            with TcpClient(port=self.port) as client:
                sent = time.time() * 1000
                client.send(b"1")
                records = self.wait_served(before, 2, quiet=60)
            hang_ups = [r for r in records[before:] if r.line.endswith(b"/disconnect")]
            # Without the hang-up's record there is nothing to measure: asked again.
            if hang_ups:
                latencies.append(hang_ups[0].start_ms - sent)
        return latencies

    def redials(self, count, batch=25):
        """`count` redials as fast as the program serves them: `batch` clients at a time each
        send "1", and the next batch comes once all of theirs have run."""
        done = 0
        while done < count:
            clients = [TcpClient(port=self.port) for _ in range(min(batch, count - done))]
            try:
                before = len(self.program.commands())
                for client in clients:
                    client.send(b"1")
                self.wait_served(before, 2 * len(clients), quiet=10)
            finally:
                for client in clients:
                    client.close()
            done += len(clients)

    def wait_served(self, before, expected, quiet):
        """Waits until `expected` commands beyond the first `before` are recorded; the records.
        Now and then Wine loses a command's start (seen for both programs, with and without a
        console: the program goes on, the stand-in never runs). When no record has come for
        `quiet` seconds while the program is idle, the missing ones are counted as lost."""
        seen, since = before, time.monotonic()

        def served():
            nonlocal seen, since
            records = self.program.commands()
            if len(records) >= before + expected:
                return records
            if len(records) != seen:
                seen, since = len(records), time.monotonic()
            elif (time.monotonic() - since > quiet and len(records) > before and
                  self.program.wait_window()["responding"]):
                self.lost_starts += before + expected - len(records)
                return records
            return None

        return wait_for(served, quiet + 120, f"{expected} commands served", interval=0.05)


def flood(stop, counter):
    with socket.create_connection((HOST, PORT), timeout=30) as s:
        block = b"j" * 65536
        while not stop.is_set():
            try:
                s.sendall(block)
            except OSError:
                return
            counter[0] += len(block)


def connect_clients(count, port=PORT):
    clients = []
    for _ in range(count):
        clients.append(socket.create_connection((HOST, port), timeout=60))
    return clients


def in_turn(benches, repeats):
    """Redial latencies of programs that run at once, asked in turn (the order swapped every
    round), so that the slow drifts of Wine's process start-up fall on all alike."""
    latencies = {bench.name: [] for bench in benches}
    for repeat in range(repeats):
        for bench in benches if repeat % 2 == 0 else reversed(benches):
            latencies[bench.name] += bench.redial_latencies(1)
    return latencies


def side_by_side(session, programs, stack, stand_in=None):
    """A Bench of every program, all running at once, each on a port of its own."""
    return [stack.enter_context(Bench(session, name, exe, PORT + index, stand_in))
            for index, (name, exe) in enumerate(programs.items())]


def scenario_idle(session, programs, repeats):
    with contextlib.ExitStack() as stack:
        benches = side_by_side(session, programs, stack)
        latencies = in_turn(benches, repeats)
        return {bench.name: {"latency": latencies[bench.name], "lost_starts": bench.lost_starts}
                for bench in benches}


def scenario_loaded(bench, repeats, idle_clients):
    clients = connect_clients(idle_clients)
    memory_before = bench.memory()
    stop, counter = threading.Event(), [0]
    flooder = threading.Thread(target=flood, args=(stop, counter))
    flooder.start()
    try:
        wait_for(lambda: counter[0] > 16 * 1024 * 1024, 60, "the flood is flowing")
        peak = [bench.memory()]
        latencies = []
        for _ in range(repeats):
            latencies += bench.redial_latencies(1)
            peak.append(bench.memory())
    finally:
        stop.set()
        flooder.join()
        for c in clients:
            c.close()
    return {"latency": latencies, "memory_growth_kib": max(peak) - memory_before,
            "flooded_mib": counter[0] / 2**20}


def scenario_many(bench, repeats, point_repeats, steps):
    """Latency as clients accumulate (`point_repeats` each) and with all connected (`repeats`);
    then the cost of a byte from each. One program at a time: 10,000 clients of both at once
    would pass the open-file limit that this machine allows (20,000), in wineserver too."""
    clients = []
    memory_before = bench.memory()
    points = []
    started = time.monotonic()
    for target in steps:
        clients += connect_clients(target - len(clients), bench.port)
        points.append((target, statistics.median(bench.redial_latencies(point_repeats))))
    connect_seconds = time.monotonic() - started
    latency = bench.redial_latencies(repeats)
    # One byte from each, then a command: served once every byte before it was handled. The
    # median of a few rounds: one round depends much on what else the machine does.
    rounds = []
    for _ in range(BYTE_ROUNDS):
        byte_start = time.time() * 1000
        for c in clients:
            c.sendall(b"x")
        before = len(bench.program.commands())
        with TcpClient(port=bench.port) as client:
            client.send(b"1")
            records = bench.program.wait_commands(before + 2, timeout=300)
        rounds.append(records[before].start_ms - byte_start)
    per_client = (bench.memory() - memory_before) * 1024 / max(1, len(clients))
    for c in clients:
        c.close()
    return {"points": points, "latency": latency, "bytes_then_command_ms": statistics.median(rounds),
            "bytes_then_command_rounds_ms": rounds, "connect_and_measure_s": connect_seconds,
            "bytes_per_client": per_client}


def scenario_stream(bench, mebibytes):
    stream = b"s" * (1024 * 1024)
    started = time.time() * 1000
    with socket.create_connection((HOST, PORT), timeout=120) as s:
        for _ in range(mebibytes):
            s.sendall(stream)
        streamed = time.time() * 1000
        before = len(bench.program.commands())
        with TcpClient() as client:
            client.send(b"1")
            records = bench.program.wait_commands(before + 2, timeout=600)
    return {"stream_ms": streamed - started, "served_after_stream_ms": records[before].start_ms -
            streamed}


def scenario_churn(bench, redials, cycles):
    start = {"handles": bench.handles(), "memory_kib": bench.memory()}
    try:
        bench.redials(redials)
    except AssertionError as error:
        # Say where it stopped and what was running then.
        running = subprocess.run("ps -eo pid,etime,cmd | grep -i -E 'cmd|conhost|rasdial' | "
                                 "grep -v grep", shell=True, capture_output=True, text=True).stdout
        return {"start": start, "stalled": f"after {len(bench.program.commands()) // 2} redials "
                f"({error}); running then: {running.strip() or 'no cmd or console process'}"}
    for _ in range(cycles // 100):
        for c in connect_clients(100, bench.port):
            c.close()
    # The last closes are handled asynchronously: settle on a fresh command.
    bench.redial_latencies(1)
    end = {"handles": bench.handles(), "memory_kib": bench.memory()}
    return {"start": start, "end": end}


def run_side_by_side(session, programs, run, stand_in=None):
    """Runs `run` on every program at once, each in a thread of its own: for figures that do not
    depend on time (handles and memory). The results by name."""
    results, errors = {}, []

    def one(bench):
        try:
            results[bench.name] = run(bench)
            results[bench.name]["lost_starts"] = bench.lost_starts
        except BaseException as error:  # reported below, in the main thread
            errors.append(error)

    with contextlib.ExitStack() as stack:
        threads = [threading.Thread(target=one, args=(bench,))
                   for bench in side_by_side(session, programs, stack, stand_in)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    if errors:
        raise errors[0]
    return results


def summary(values):
    return statistics.median(values), percentile(values, 0.99)


def prepare():
    """Sets up this process for a benchmark of the built programs; the programs by name."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    os.environ.setdefault("DIALSERVER_PROBE", str(BUILD / "tools" / "window_probe.exe"))
    os.environ.setdefault("DIALSERVER_RECORDER", str(BUILD / "tools" / "recording_command.exe"))
    os.environ.setdefault("DIALSERVER_EXE", str(BUILD / "app" / "dialserver.exe"))
    os.environ.setdefault("DIALSERVER_WINEPREFIX", str(BUILD / "bench-wineprefix"))
    # dialserver first: where both run at once, the first has port 19730, the only one it knows.
    return {"dialserver": BUILD / "app" / "dialserver.exe",
            "baseline": BUILD / "bench" / "baseline_server.exe"}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--repeats", type=int, default=30)
    parser.add_argument("--idle-clients", type=int, default=1000)
    parser.add_argument("--many-clients", type=int, default=10000)
    parser.add_argument("--stream-mib", type=int, default=256)
    parser.add_argument("--redials", type=int, default=1000)
    parser.add_argument("--cycles", type=int, default=10000)
    parser.add_argument("--out", default=str(REPOSITORY / "docs"))
    args = parser.parse_args()

    programs = prepare()
    steps = sorted({0, args.many_clients // 10, args.many_clients // 4, args.many_clients // 2,
                    args.many_clients})

    session = Session().start()
    results = {name: {} for name in programs}
    try:
        started = time.monotonic()
        for name, result in scenario_idle(session, programs, args.repeats).items():
            results[name]["idle"] = result
            print(f"idle    {name:10} {time.monotonic() - started:6.1f} s {short(result)}",
                  flush=True)
        for label, run in [
            ("loaded", lambda b: scenario_loaded(b, args.repeats, args.idle_clients)),
            ("many", lambda b: scenario_many(b, args.repeats, max(3, args.repeats // 6), steps)),
            ("stream", lambda b: scenario_stream(b, args.stream_mib)),
        ]:
            for name, exe in programs.items():
                started = time.monotonic()
                with Bench(session, name, exe) as bench:
                    results[name][label] = run(bench)
                    results[name][label]["lost_starts"] = bench.lost_starts
                print(f"{label:7} {name:10} {time.monotonic() - started:6.1f} s "
                      f"{short(results[name][label])}", flush=True)
        # The windowless recorder: what 5 checks does not depend on the command's console, and
        # without one a command starts in about half the time.
        started = time.monotonic()
        churn = run_side_by_side(session, programs,
                                 lambda b: scenario_churn(b, args.redials, args.cycles),
                                 stand_in=BUILD / "bench" / "recording_command_windowless.exe")
        for name in programs:
            results[name]["churn"] = churn[name]
            print(f"churn   {name:10} {time.monotonic() - started:6.1f} s "
                  f"{short(churn[name])}", flush=True)
    finally:
        session.stop()
    write_report(args, results, Path(args.out))


def short(result):
    text = {k: (summary(v) if k == "latency" else v) for k, v in result.items() if k != "points"}
    return str(text)[:300]


def ratio(a, b):
    return a / b if b else float("inf")


def write_report(args, results, out):
    out.mkdir(parents=True, exist_ok=True)
    d, b = results["dialserver"], results["baseline"]
    rows = []

    def latency_row(number, what, scenario, target):
        dm, dp = summary(d[scenario]["latency"])
        bm, bp = summary(b[scenario]["latency"])
        r = ratio(dm, bm)
        rows.append(f"| {number} | {what} | {dm:.1f} / {dp:.1f} | {bm:.1f} / {bp:.1f} | {r:.2f} | "
                    f"{target} | {'met' if r <= target else 'missed'} |")

    latency_row(1, "redial latency, idle server (ms, median / p99)", "idle", 1.05)
    latency_row(2, f"redial latency, {args.idle_clients} idle clients and one flooding (ms)",
                "loaded", 1.5)
    latency_row(3, f"redial latency, {args.many_clients} clients connected (ms)", "many", 1.05)
    dm, bm = d["many"]["bytes_then_command_ms"], b["many"]["bytes_then_command_ms"]
    rows.append(f"| 3 | one byte from each of {args.many_clients} clients, then a command: until it "
                f"is served (ms, median of {BYTE_ROUNDS} rounds) | {dm:.0f} | {bm:.0f} | {ratio(dm, bm):.2f} | 1.05 | "
                f"{'met' if ratio(dm, bm) <= 1.05 else 'missed'} |")
    dm, bm = d["stream"]["served_after_stream_ms"], b["stream"]["served_after_stream_ms"]
    rows.append(f"| 4 | {args.stream_mib} MiB streamed by one client: a following command served "
                f"after (ms) | {dm:.0f} | {bm:.0f} | {ratio(dm, bm):.2f} | 1.5 | "
                f"{'met' if ratio(dm, bm) <= 1.5 else 'missed'} |")
    other = [
        f"- Memory growth of dialserver while flooded (2): {d['loaded']['memory_growth_kib'] / 1024:.1f} MiB "
        f"(baseline {b['loaded']['memory_growth_kib'] / 1024:.1f} MiB); target under 16 MiB.",
        f"- Memory per connected client (3): dialserver {d['many']['bytes_per_client']:.0f} bytes, "
        f"baseline {b['many']['bytes_per_client']:.0f} bytes (resident memory of the Wine process); "
        f"target under 2048.",
        f"- Time to connect {args.many_clients} clients while measuring the latencies of the "
        f"picture (3): dialserver {d['many']['connect_and_measure_s']:.1f} s, baseline "
        f"{b['many']['connect_and_measure_s']:.1f} s.",
    ]
    for name, r in results.items():
        c = r["churn"]
        if "stalled" in c:
            other.append(f"- {name}, {args.redials} redials (5): stalled {c['stalled']}")
            continue
        other.append(f"- {name}, {args.redials} redials and {args.cycles} connect/close cycles (5): "
                     f"handles {c['start']['handles']} → {c['end']['handles']}, resident memory "
                     f"{c['start']['memory_kib'] / 1024:.1f} → {c['end']['memory_kib'] / 1024:.1f} MiB.")

    lost = {name: sum(result.get("lost_starts", 0) for result in r.values())
            for name, r in results.items()}
    other.append(f"- Command starts that Wine lost (no record; the run went on): dialserver "
                 f"{lost['dialserver']}, baseline {lost['baseline']}.")

    data = out / "redial-latency.dat"
    with open(data, "w") as f:
        f.write("# clients dialserver_ms baseline_ms\n")
        for (clients, dl), (_, bl) in zip(d["many"]["points"], b["many"]["points"]):
            f.write(f"{clients} {dl:.2f} {bl:.2f}\n")
    picture = out / "redial-latency.png"
    subprocess.run(["gnuplot"], input=f"""
set terminal pngcairo size 800,450
set output '{picture}'
set title 'Redial latency against connected clients (median)'
set xlabel 'connected clients'
set ylabel 'ms from "1" sent to hang-up started'
set yrange [0:*]
set key top left
plot '{data}' using 1:2 with linespoints title 'dialserver', '' using 1:3 with linespoints title 'baseline'
""".encode(), check=True)
    data.unlink()

    machine = (f"{os.cpu_count()} cores, {os.sysconf('SC_PAGE_SIZE') * os.sysconf('SC_PHYS_PAGES') / 2**30:.0f} GiB, "
               f"{platform.platform()}, "
               f"{subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()}")
    command = ("bench/run" + "".join(f" --{k.replace('_', '-')} {v}" for k, v in vars(args).items()
                                     if k != "out"))
    text = f"""# Performance

Measured on {datetime.date.today().isoformat()} with `{command}`, on this machine: {machine}.
dialserver.exe and the baseline (`bench/baseline_win32.cpp`: a minimal Win32 server that only
accepts with WSAAsyncSelect, reads, and on "1" runs the same two command lines) were built by the
same `windows` preset and measured in the same run, each on a fresh copy with the recording cmd.exe
stand-in beside it. A latency is the time from the "1" leaving a client on 127.0.0.1 to the start of
the hang-up command as the stand-in records it; most of it is Wine starting a process. Each program
first serves {WARM_UP_REDIALS} redials that are not measured. For 1 both programs run at once (the
baseline on port {PORT + 1}) and are asked in turn. For 5 (handles and memory, not time) both run at
once and the stand-in is the same recorder built without a console, which halves a command's
start-up under Wine.

| # | figure | dialserver | baseline | ratio | target | |
|---|---|---|---|---|---|---|
{chr(10).join(rows)}

{chr(10).join(other)}

![Redial latency against connected clients](redial-latency.png)
"""
    print(text)
    # The explanations below the figures are written by hand; a new run keeps them.
    report = out / "PERFORMANCE.md"
    previous = report.read_text() if report.exists() else ""
    if ANALYSIS_HEADING in previous:
        text += "\n" + previous[previous.index(ANALYSIS_HEADING):]
    report.write_text(text)


if __name__ == "__main__":
    main()
