#!/usr/bin/env python3
"""What each program asks of the system per event, counted with strace: for N connections, then
one byte from each, the system calls of the program's process (all its threads) per connection
and per one-byte batch. Under Wine nearly every Winsock and window call is a request to
wineserver (a write and a read on its pipe), so these counts show where dialserver's extra time
per event goes. Run after building (bench/run does): python3 bench/syscalls.py [--clients N]."""

import argparse
import os
import re
import select
import signal
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from run import Bench, Session, connect_clients, prepare, wait_for  # noqa: E402


def counted(pid, action):
    """Runs `action` while strace counts the system calls of process `pid`; {name: calls}."""
    output = Path(f"/tmp/dialserver-syscalls-{os.getpid()}.txt")
    tracer = subprocess.Popen(["strace", "-f", "-c", "-o", str(output), "-p", str(pid)],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
    try:
        # strace says so on standard error once it has attached to the threads.
        wait_for(lambda: select.select([tracer.stderr], [], [], 0.1)[0] and
                 b"attached" in tracer.stderr.read1(4096), 30, "strace attached")
        action()
    finally:
        tracer.send_signal(signal.SIGINT)
        tracer.wait(30)
    counts = {}
    for line in output.read_text().splitlines():
        fields = line.split()
        if len(fields) >= 5 and re.fullmatch(r"\d+", fields[3]) and fields[-1] != "total":
            counts[fields[-1]] = int(fields[3])
    output.unlink()
    return counts


def measure(bench, clients):
    connections = []

    def connect_and_settle():
        connections.extend(connect_clients(clients, bench.port))
        bench.redial_latencies(1)  # served once every connection before it was handled

    def one_byte_each():
        for connection in connections:
            connection.sendall(b"x")
        bench.redial_latencies(1)

    per_connection = counted(bench.program.pid, connect_and_settle)
    per_byte = counted(bench.program.pid, one_byte_each)
    for connection in connections:
        connection.close()
    return per_connection, per_byte


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--clients", type=int, default=2000)
    args = parser.parse_args()
    programs = prepare()
    session = Session().start()
    try:
        print(f"system calls per event, {args.clients} clients (the one redial of each phase "
              f"included)")
        print(f"{'program':10} {'event':10} {'all':>7} {'writes':>7} {'reads':>7}  most")
        for name, exe in programs.items():
            with Bench(session, name, exe) as bench:
                for event, counts in zip(("connection", "byte"), measure(bench, args.clients)):
                    total = sum(counts.values()) / args.clients
                    writes = (counts.get("write", 0) + counts.get("writev", 0)) / args.clients
                    reads = counts.get("read", 0) / args.clients
                    most = ", ".join(f"{k} {v / args.clients:.1f}" for k, v in
                                     sorted(counts.items(), key=lambda kv: -kv[1])[:4])
                    print(f"{name:10} {event:10} {total:7.1f} {writes:7.1f} {reads:7.1f}  {most}",
                          flush=True)
    finally:
        session.stop()


if __name__ == "__main__":
    main()
