#!/usr/bin/env python3
"""Whole-program fuzzing of pagesim.

Runs a (sanitizer, debug) pagesim on generated and mutated traces with
generated arguments, each in a fresh folder with standard input from
/dev/null, and fails on a crash, a timeout, a sanitizer report, a broken
table check, or an exit status other than 0 or 1. After a run that ended
with status 0 it checks what any correct run satisfies: out.txt has one line
per TLB miss and per page fault; page faults never exceed TLB misses; TLB
misses never exceed twice the records; dirty pages written never exceed page
faults.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

TOTALS = re.compile(
    rb"(\d+) steps were executed\nThere were (\d+) TLB misses\n"
    rb"There were (\d+) page faults\nThere were (\d+) dirty pages written to disk\n$")
SANITIZER = re.compile(rb"Sanitizer|runtime error|broken invariant")

SPECIAL_NUMBERS = [b"0", b"-0", b"+0", b"-1", b"1", b"1023", b"1024", b"-1023", b"-1024",
                   b"-2047", b"65535", b"65536", b"2147483647", b"-2147483648", b"2147483648",
                   b"-2147483649", b"4294967297", b"99999999999999999999", b"0000000001",
                   b"+7", b"-", b"+", b"x", b"\x00", b"1e3"]
SPACES = [b" ", b"\n", b"\t", b"\r\n", b"\v", b"\f", b"  "]


def random_number(rng):
    roll = rng.random()
    if roll < 0.15:
        return rng.choice(SPECIAL_NUMBERS)
    if roll < 0.6:
        return str(rng.randrange(1, 64 * 1024)).encode()
    if roll < 0.8:
        return str(rng.randrange(-3, 12)).encode()
    return str(rng.randrange(-2**31, 2**31)).encode()


def structured_trace(rng):
    processes = rng.choice([1, 2, 3, 8, 30])
    records = rng.choice([1, 5, 30, 200, 2000])
    out = []
    for _ in range(records):
        proc = rng.randrange(-1, processes) if rng.random() < 0.05 else rng.randrange(processes)
        if rng.random() < 0.05:
            out.append(b"%d 0 %d" % (proc, rng.randrange(0, 70000)))
            continue
        pages = rng.randrange(1, 70)
        first = rng.randrange(pages) * 1024 + rng.randrange(1, 1024)
        second = rng.randrange(pages) * 1024 + rng.randrange(1024)
        if rng.random() < 0.02:
            first = -first
        out.append(b"%d %d %d" % (proc, first, second))
    return b"\n".join(out) + rng.choice([b"\n", b""])


def random_bytes(rng):
    alphabet = b"0123456789    \n\t-+x\x00\r\v\f"
    return bytes(rng.choice(alphabet) for _ in range(rng.randrange(0, 600)))


def mutate(data, rng):
    data = bytearray(data)
    for _ in range(rng.randrange(1, 6)):
        kind = rng.randrange(6)
        at = rng.randrange(len(data) + 1)
        if kind == 0 and data:
            data[rng.randrange(len(data))] = rng.randrange(256)
        elif kind == 1:
            data[at:at] = rng.choice(SPACES) + random_number(rng) + rng.choice(SPACES)
        elif kind == 2 and data:
            end = min(len(data), at + rng.randrange(1, 40))
            del data[at:end]
        elif kind == 3 and data:
            end = min(len(data), at + rng.randrange(1, 200))
            data[at:at] = data[at:end]
        elif kind == 4:
            data = data[:at]
        else:
            data[at:at] = b" -1 " if rng.random() < 0.5 else b" 65536 "
    return bytes(data)


def random_arguments(rng):
    roll = rng.random()
    if roll < 0.3:
        return []
    if roll < 0.6:
        return [rng.choice(["0", "1"])]
    if roll < 0.9:
        return [rng.choice(["0", "1"]), str(rng.choice([0, 1, 3, 10, -5, -999, 2147483647]))]
    return rng.choice([["2"], ["-1"], ["1", "2", "3"], ["abc"], ["1x", "5"], ["4294967297"]])


def check_run(binary, trace, arguments, folder, timeout):
    """Returns None when the run is sound, else a description of the fault."""
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    with open(os.path.join(folder, "data.txt"), "wb") as f:
        f.write(trace)
    env = dict(os.environ,
               ASAN_OPTIONS="exitcode=86:detect_leaks=1:abort_on_error=0",
               UBSAN_OPTIONS="halt_on_error=1:exitcode=87:print_stacktrace=1")
    try:
        run = subprocess.run([binary] + arguments, cwd=folder, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        return "timeout after %ss" % timeout
    if run.returncode not in (0, 1):
        return "exit status %d: %s" % (run.returncode, run.stderr[-2000:].decode(errors="replace"))
    if SANITIZER.search(run.stderr):
        return "report: " + run.stderr[-2000:].decode(errors="replace")
    if run.returncode != 0:
        return None
    totals = TOTALS.search(run.stdout)
    if not totals:
        return "status 0 without the four totals at the end of standard output"
    records, misses, faults, dirty = (int(x) for x in totals.groups())
    with open(os.path.join(folder, "out.txt"), "rb") as f:
        lines = f.read().count(b"\n")
    if lines != misses + faults:
        return "out.txt has %d lines, TLB misses + page faults = %d" % (lines, misses + faults)
    if faults > misses:
        return "%d page faults exceed %d TLB misses" % (faults, misses)
    if misses > 2 * records:
        return "%d TLB misses exceed twice the %d records" % (misses, records)
    if dirty > faults:
        return "%d dirty pages written exceed %d page faults" % (dirty, faults)
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--findings", required=True)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--timeout", type=float, default=20)
    options = parser.parse_args()

    seed = options.seed if options.seed is not None else random.randrange(2**32)
    rng = random.Random(seed)
    corpus = []
    for name in sorted(os.listdir(options.corpus)):
        with open(os.path.join(options.corpus, name), "rb") as f:
            corpus.append(f.read())
    os.makedirs(options.findings, exist_ok=True)
    folder = tempfile.mkdtemp(prefix="pagesim_fuzz_")
    executions = failures = 0
    deadline = time.monotonic() + options.seconds
    try:
        while time.monotonic() < deadline:
            roll = rng.random()
            if roll < 0.4 and corpus:
                trace = mutate(rng.choice(corpus), rng)
            elif roll < 0.8:
                trace = structured_trace(rng)
                if rng.random() < 0.3:
                    trace = mutate(trace, rng)
            else:
                trace = random_bytes(rng)
            arguments = random_arguments(rng)
            fault = check_run(options.binary, trace, arguments, folder, options.timeout)
            executions += 1
            if fault:
                failures += 1
                path = os.path.join(options.findings, "pagesim-%d-%d.txt" % (seed, executions))
                with open(path, "wb") as f:
                    f.write(trace)
                print("FAULT with arguments %s, input kept in %s:\n%s" % (arguments, path, fault))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("fuzz_pagesim: seed %d, %d executions, %d faults" % (seed, executions, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
