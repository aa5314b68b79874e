#!/usr/bin/env python3
"""Answers per second of skelmor for a burst of `clear` requests, next to `cat` over the
same bytes: bench/host/core/request_throughput.py [SKELMOR] [COUNT]

The input stays open until the last answer has arrived (end of input would end the host
before it has answered everything), then closes; the time runs from the first byte written
to the last answer read.
"""
import os
import resource
import subprocess
import sys
import threading
import time

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
skelmor = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "build/release/host/skelmor")
count = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
burst = b"".join(b'{"id":"%d","method":"clear"}\n' % i for i in range(count))
env = {"PATH": "/usr/bin:/bin", "HOME": "/tmp"}  # no display: the session-less desktop


def run(argv, expected_lines):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env,
                               bufsize=0)
    start = time.perf_counter()
    writer = threading.Thread(target=lambda: process.stdin.write(burst))
    writer.start()
    lines = 0
    tail = b""
    while lines < expected_lines:
        chunk = os.read(process.stdout.fileno(), 1 << 20)
        if not chunk:
            break
        lines += chunk.count(b"\n")
        tail = (tail + chunk)[-200:]
    elapsed = time.perf_counter() - start
    writer.join()
    process.stdin.close()
    process.wait()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return lines, elapsed, tail, cpu


def best(argv, rounds=3):
    results = [run(argv, count) for _ in range(rounds)]
    return min(results, key=lambda r: r[1])


lines, host_time, tail, host_cpu = best([skelmor])
if lines != count or not tail.endswith(b'{"id":"%d","result":{"cleared":true}}\n' % (count - 1)):
    sys.exit(f"skelmor answered {lines} of {count} requests")
cat_lines, cat_time, _, cat_cpu = best(["cat"])
print(f"requests:      {count} ({len(burst)} bytes)")
print(f"skelmor:       {host_time:.3f} s, {count / host_time:,.0f} answers/s "
      f"(CPU {host_cpu:.3f} s: {count / host_cpu:,.0f} answers per CPU second)")
print(f"cat:           {cat_time:.3f} s, {cat_lines / cat_time:,.0f} lines/s (CPU {cat_cpu:.3f} s)")
print(f"skelmor / cat: {host_time / cat_time:.1f}x the time")
