#!/usr/bin/env python3
"""Every one-byte edit of a gridded file's header, through the tool as a user runs it.

The sample maker writes the bundled sample (stack.nc, run1.nc, run2.nc); each byte of run2.nc's
classic header is set in turn to 00, ff, 7f, 80 and its own value plus one (a value the byte
already holds, or one tried already at that byte, is skipped). The inner bytes of long text
values (all but the first and last 16 of FILEDESC's and HISTORY's 4800 characters) are four
fifths of the header and only characters of a description: they are edited with --all-text.
brindlewick compares run1.nc with the edited file as INFILE2, under a 2 GiB address-space limit
(ulimit -v) and a time limit.
Each run ends in one of:

  refusal     exit 2 with a cause line on standard error ("brindlewick: ...")
  comparison  exit 0 or 1: the files were compared
  crash       ended by a signal
  memory      peak resident memory past the memory bound (200 MiB), however it ended
  time        still running at the time limit (killed)
  other       any other ending (an exit status the tool does not give, exit 2 without a cause)

Prints the edits tried and the count of each class, the largest peak memory and the longest run,
and every edit of the last four classes (offset, value, class, the last line on standard error).
Exits 0 when every edit ends in a refusal or a comparison, 1 otherwise.

    scripts/header_edits.py --tool build/driver/brindlewick --maker build/driver/make_sample
    scripts/header_edits.py ... --every 40      # a sampled subset: every 40th edit
"""

import argparse
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

CLASSES = ("refusal", "comparison", "crash", "memory", "time", "other")
ADDRESS_LIMIT = 2 << 30
MEMORY_BOUND = 200 << 20


def header_layout(data):
    """Bytes of the classic header of DATA (CDF-1 or CDF-2), magic to the end of the variable
    list, and the (begin, end) offsets of the inner bytes of its long text attributes: all but
    the first and last 16 bytes of a value longer than 32."""
    if data[:3] != b"CDF" or data[3] not in (1, 2):
        raise ValueError("not a CDF-1 or CDF-2 file")
    offset_bytes = 4 if data[3] == 1 else 8
    pos = 8  # magic and record count
    inner = []

    def u32():
        nonlocal pos
        (v,) = struct.unpack_from(">I", data, pos)
        pos += 4
        return v

    def name():
        nonlocal pos
        n = u32()
        pos += (n + 3) & ~3

    def attributes():
        nonlocal pos
        u32()
        for _ in range(u32()):
            name()
            kind = u32()
            size = {1: 1, 2: 1, 3: 2, 4: 4, 5: 4, 6: 8}[kind]
            values = u32() * size
            if kind == 2 and values > 32:
                inner.append((pos + 16, pos + values - 16))
            pos += (values + 3) & ~3

    u32()
    for _ in range(u32()):  # dimensions
        name()
        u32()
    attributes()
    u32()
    for _ in range(u32()):  # variables
        name()
        rank = u32()
        pos += 4 * rank  # dimension ids
        attributes()
        pos += 8 + offset_bytes  # type, size, data offset
    return pos, inner


def edits(data, length, skipped):
    """(offset, value) of every edit, in order, but at the offsets of the SKIPPED ranges."""
    out = []
    for offset in range(length):
        if any(begin <= offset < end for begin, end in skipped):
            continue
        old = data[offset]
        tried = set()
        for value in (0x00, 0xFF, 0x7F, 0x80, (old + 1) & 0xFF):
            if value != old and value not in tried:
                tried.add(value)
                out.append((offset, value))
    return out


def run_one(args, sample, data, slot, edit):
    """The class of one edit, with its peak memory in bytes, its seconds and its last line on
    standard error."""
    offset, value = edit
    work = os.path.join(args.workdir, "run%d" % slot)
    os.makedirs(work, exist_ok=True)
    edited = os.path.join(work, "edited.nc")
    log = os.path.join(work, "run.log")
    err = os.path.join(work, "stderr")
    changed = bytearray(data)
    changed[offset] = value
    with open(edited, "wb") as f:
        f.write(changed)
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ)
    for name in list(env):
        if name.startswith(("BRINDLEWICK_", "KAVRO_")):
            del env[name]
    env.update(STACK1=os.path.join(sample, "stack.nc"), INFILE1=os.path.join(sample, "run1.nc"),
               INFILE2=edited, LOGFILE=log)
    start = time.monotonic()
    with open(err, "wb") as errf, open(os.devnull, "wb") as out:
        # The shell sets the limit and becomes the tool: the process waited for is the tool.
        proc = subprocess.Popen(
            ["/bin/sh", "-c", 'ulimit -v %d && exec "$0"' % (ADDRESS_LIMIT >> 10), args.tool],
            env=env, stdout=out, stderr=errf, cwd=work)
        timed_out = threading.Event()

        def kill():
            timed_out.set()
            proc.kill()

        timer = threading.Timer(args.timeout, kill)
        timer.start()
        _, status, usage = os.wait4(proc.pid, 0)
        timer.cancel()
        proc.returncode = 0  # reaped here, not by Popen
    seconds = time.monotonic() - start
    peak = usage.ru_maxrss * 1024
    with open(err, "rb") as f:
        lines = f.read().decode("utf-8", "replace").splitlines()
    last = lines[-1] if lines else ""
    if timed_out.is_set():
        kind = "time"
    elif peak > MEMORY_BOUND:
        kind = "memory"
    elif os.WIFSIGNALED(status):
        kind = "crash"
        last = "signal %s; %s" % (signal.Signals(os.WTERMSIG(status)).name, last)
    elif os.WEXITSTATUS(status) in (0, 1):
        kind = "comparison"
    elif os.WEXITSTATUS(status) == 2 and any(l.startswith("brindlewick: ") for l in lines):
        kind = "refusal"
    else:
        kind = "other"
        last = "exit %d; %s" % (os.WEXITSTATUS(status), last)
    return kind, peak, seconds, last


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tool", required=True, help="the brindlewick program")
    parser.add_argument("--maker", required=True, help="the make_sample program")
    parser.add_argument("--jobs", type=int, default=2, help="runs at once (default 2)")
    parser.add_argument("--all-text", action="store_true",
                        help="edit the inner bytes of long text values too (five times the runs)")
    parser.add_argument("--every", type=int, default=1, help="try every Nth edit (default 1)")
    parser.add_argument("--timeout", type=float, default=60, help="seconds per run (default 60)")
    parser.add_argument("--workdir", help="scratch folder (default: a temporary one)")
    parser.add_argument("--progress", type=int, default=0,
                        help="a line on standard error every N edits (default: none)")
    args = parser.parse_args()
    args.tool = os.path.abspath(args.tool)
    own_workdir = args.workdir is None
    args.workdir = tempfile.mkdtemp(prefix="header-edits-") if own_workdir else args.workdir
    try:
        sample = os.path.join(args.workdir, "sample")
        subprocess.run([os.path.abspath(args.maker), sample], check=True,
                       stdout=subprocess.DEVNULL)
        with open(os.path.join(sample, "run2.nc"), "rb") as f:
            data = f.read()
        length, inner = header_layout(data)
        skipped = [] if args.all_text else inner
        todo = edits(data, length, skipped)[:: args.every]
        counts = dict.fromkeys(CLASSES, 0)
        findings = []
        peak = (0, None)
        slowest = (0.0, None)
        lock = threading.Lock()
        pending = iter(todo)
        started = time.monotonic()
        done = 0

        # Each worker takes the next edit when it is free: no edit waits in memory as a task,
        # so the sweep's own memory stays small (a run's peak counts the memory of the process
        # that started it: see the note at the end).
        def worker(slot):
            nonlocal peak, slowest, done
            while True:
                with lock:
                    edit = next(pending, None)
                if edit is None:
                    return
                kind, rss, seconds, last = run_one(args, sample, data, slot, edit)
                with lock:
                    counts[kind] += 1
                    done += 1
                    peak = max(peak, (rss, edit), key=lambda p: p[0])
                    slowest = max(slowest, (seconds, edit), key=lambda p: p[0])
                    if kind not in ("refusal", "comparison"):
                        findings.append((edit, "offset %d set to %02x: %s: %s"
                                         % (edit[0], edit[1], kind, last)))
                    if args.progress and done % args.progress == 0:
                        print("%d of %d edits, %.0f s: %s" % (
                            done, len(todo), time.monotonic() - started,
                            ", ".join("%s %d" % (k, counts[k]) for k in CLASSES if counts[k])),
                            file=sys.stderr, flush=True)

        workers = [threading.Thread(target=worker, args=(slot,)) for slot in range(args.jobs)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        findings = [line for _, line in sorted(findings)]
        print("header of %d bytes, %d of them the inner bytes of long text values%s; %d edits tried"
              % (length, sum(e - b for b, e in inner),
                 " (edited too)" if args.all_text else " (not edited)", len(todo)))
        for kind in CLASSES:
            print("%-10s %d" % (kind, counts[kind]))
        if peak[1] is not None:
            print("largest peak memory %.1f MiB (offset %d set to %02x)"
                  % (peak[0] / 2**20, peak[1][0], peak[1][1]))
            print("longest run %.2f s (offset %d set to %02x)"
                  % (slowest[0], slowest[1][0], slowest[1][1]))
            # Linux keeps a process's peak across exec, and a spawned process starts from its
            # parent's: no run's peak reads below the sweep's own.
            print("the sweep's own peak memory %.1f MiB (no run reads below it)"
                  % (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024))
        for line in findings:
            print(line)
        return 0 if counts["refusal"] + counts["comparison"] == len(todo) else 1
    finally:
        if own_workdir:
            shutil.rmtree(args.workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
