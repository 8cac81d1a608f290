#!/usr/bin/env python3
"""Whole runs of the tool, Verrick included, as a user runs them.

    scripts/measure_whole_runs.py BUILD_DIR [--starter STARTER] SIZE...

For each SIZE, an organisation of SIZE mailboxes from
scripts/generate-organisation (1,000 groups, access lists of 500 entries)
and two runs of BUILD_DIR/caldrose on it: one picking every mailbox, one
picking only the first. What the first costs beyond the second is the
mailboxes' own: wall time, CPU time (the tool's and its Verrick
processes') and peak memory are printed per mailbox, with the ratio of
the per-mailbox times at the largest size to those at the smallest. The
smallest size is measured again after the largest, and its figures are the
mean of both, so that a drift of the machine's speed over the run is not
taken for the tool's.

Then one Verrick process (BUILD_DIR/Verrick) for a mailbox in the middle of
a 100-mailbox organisation and of one of the largest size, alternately, in
the same run: its wall and CPU time per process, and their ratio; started
as the tool's platform starts it, with the organisation's index shared
(STARTER, bench/verrick_runs.cpp), and on its own.
"""

import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VERRICK_RUNS = int(os.environ.get("CALDROSE_VERRICK_RUNS", "200"))


def generate(directory, mailboxes):
    path = os.path.join(directory, f"{mailboxes}.json")
    if not os.path.exists(path):
        with open(path, "w") as out:
            subprocess.run([os.path.join(ROOT, "scripts", "generate-organisation"), "--mailboxes", str(mailboxes),
                            "--groups", "1000", "--aces", "500"], stdout=out, check=True)
    return path


def run(command, organisation, stdin=b""):
    """Wall seconds, CPU seconds (with the processes it waited for) and
    peak resident KiB of one process."""
    environment = dict(os.environ, CALDROSE_ORGANISATION=organisation)
    start = time.perf_counter()
    child = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, env=environment)
    child.stdin.write(stdin)
    child.stdin.close()
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"{' '.join(command)} exited with {child.returncode}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def whole_runs(build, directory, sizes):
    caldrose = os.path.join(build, "caldrose")
    per_mailbox = {size: [] for size in sizes}
    # The smallest size once more after the largest, and its figures the mean
    # of both: the machine's speed drifts over a run of several minutes, and
    # the ratio should not take the drift for the tool's.
    order = sorted(sizes) + ([min(sizes)] if len(sizes) > 1 else [])
    for turn, size in enumerate(order):
        organisation = generate(directory, size)
        megabytes = os.path.getsize(organisation) / 1e6
        one = run([caldrose], organisation, b"\n1\n")
        picks = ",".join(str(index) for index in range(1, size + 1))
        every = run([caldrose], organisation, f"\n{picks}\n".encode())
        wall = (every[0] - one[0]) / (size - 1)
        cpu = (every[1] - one[1]) / (size - 1)
        per_mailbox[size].append((wall, cpu))
        again = " (again, after the largest)" if turn == len(order) - 1 and len(order) > len(sizes) else ""
        print(f"{size} mailboxes{again} ({megabytes:.1f} MB): whole run {every[0]:.1f} s wall, {every[1]:.1f} s CPU, "
              f"peak memory {every[2] / 1024:.1f} MiB (one mailbox picked: {one[0]:.2f} s, {one[2] / 1024:.1f} MiB); "
              f"per further mailbox {wall * 1000:.2f} ms wall, {cpu * 1000:.2f} ms CPU", flush=True)
    if len(sizes) > 1:
        small, large = min(sizes), max(sizes)
        mean = [sum(figures[way] for figures in per_mailbox[small]) / len(per_mailbox[small]) for way in (0, 1)]
        print(f"per-mailbox time at {small}, mean of both runs: {mean[0] * 1000:.2f} ms wall, {mean[1] * 1000:.2f} ms CPU")
        print(f"per-mailbox time at {large} against {small}: wall {per_mailbox[large][0][0] / mean[0]:.2f}, "
              f"CPU {per_mailbox[large][0][1] / mean[1]:.2f}")


def verrick_processes(build, starter, directory, large):
    verrick = os.path.join(build, "Verrick")
    files = {size: generate(directory, size) for size in (100, large)}
    report = os.path.join(directory, "report.txt")
    addresses = {size: f"user{size // 2:05d}@scale.example" for size in files}
    ways = {"on its own": {size: [0.0, 0.0] for size in files}}
    if starter:
        ways = {"as the tool starts it": {size: [0.0, 0.0] for size in files}, **ways}
    # Alternately, a few processes of each at a time, so that the machine's
    # other work weighs on both sizes alike.
    chunk = 10
    for _ in range(max(1, VERRICK_RUNS // chunk)):
        for size, organisation in files.items():
            if starter:
                output = subprocess.run([starter, verrick, organisation, addresses[size], str(chunk)],
                                        capture_output=True, text=True, check=True).stdout.split()
                ways["as the tool starts it"][size][0] += float(output[0]) * chunk
                ways["as the tool starts it"][size][1] += float(output[1]) * chunk
            for _ in range(chunk):
                open(report, "w").close()
                wall, cpu, _ = run([verrick, addresses[size], f"User {size // 2:05d}", report], organisation)
                ways["on its own"][size][0] += wall
                ways["on its own"][size][1] += cpu
    runs = max(1, VERRICK_RUNS // chunk) * chunk
    for way, totals in ways.items():
        for size in files:
            wall, cpu = (total / runs * 1000 for total in totals[size])
            print(f"one Verrick process {way}, {size}-mailbox organisation: {wall:.2f} ms wall, {cpu:.2f} ms CPU")
        print(f"Verrick {way} at {large} against 100 mailboxes: wall {totals[large][0] / totals[100][0]:.2f}, "
              f"CPU {totals[large][1] / totals[100][1]:.2f}")


def main():
    arguments = sys.argv[1:]
    starter = None
    if len(arguments) > 2 and arguments[1] == "--starter":
        starter = arguments[2]
        del arguments[1:3]
    if len(arguments) < 2:
        sys.exit(__doc__.strip().splitlines()[2].strip())
    build, sizes = arguments[0], [int(size) for size in arguments[1:]]
    with tempfile.TemporaryDirectory() as directory:
        whole_runs(build, directory, sizes)
        verrick_processes(build, starter, directory, max(sizes))


if __name__ == "__main__":
    main()
