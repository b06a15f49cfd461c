#!/usr/bin/env python3
"""The user's path beside the benchmark's own, in one run.

Measures `tvx put` and `tvx get` of a 32 MiB file against a tavrix-sim
process (blocks of 992 bytes, a window of 100), each as a separate process,
beside what tavrix_bench measures in the same run: the raw windowed UDP
stream, the in-process download and upload, and the transaction rate of one
handle against the same tavrix-sim process (the ceiling of an upload: one
block per transaction). Everything runs once pinned to one CPU and once
unpinned, inside a network namespace of its own so that port 502 is free.

    scripts/bench-userpath.py [--build DIR] [--before DIR] [--rounds N]
                              [--modes pinned,unpinned]

Each piece runs once a round and the best of the rounds counts. The get is
also set against its own ceiling in each round: the transaction rate
measured against the same simulator process just before and just after it,
so that a change of load between the two cannot make the ratio; the range
of those ratios over the rounds is printed.

--before names a second build (tvx and tavrix-sim of it) measured in the
same run, beside the first, so that both columns share the machine's load.
tavrix_bench always comes from --build: its figures are the references.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

BULK_BYTES = 32 << 20
BLOCK_BYTES = 992
WINDOW = 100
MIB = 1024.0 * 1024.0
SIM_ADDRESS = "127.0.0.9"
CPU = "0"


def in_namespace():
    return os.environ.get("TVX_USERPATH_ISOLATED") == "1"


def reexec_isolated():
    """Runs this script again inside a user and network namespace."""
    env = dict(os.environ, TVX_USERPATH_ISOLATED="1")
    inner = "ip link set lo up && exec \"$@\""
    cmd = ["unshare", "-rn", "sh", "-c", inner, "sh", sys.executable] + sys.argv
    if subprocess.run(["unshare", "-rn", "true"], capture_output=True).returncode != 0:
        if os.getuid() != 0:
            sys.exit("this benchmark needs a network namespace (unshare -rn) or root to bind port 502")
        cmd = [sys.executable] + sys.argv
    sys.exit(subprocess.run(cmd, env=env).returncode)


def pin(pinned):
    return ["taskset", "-c", CPU] if pinned else []


class Simulator:
    """A tavrix-sim process serving SIM_ADDRESS for the life of the block."""

    def __init__(self, build, pinned):
        self.cmd = pin(pinned) + [os.path.join(build, "sim", "tavrix-sim"), "--address", SIM_ADDRESS,
                                  "--no-broadcast", "--block-size", str(BLOCK_BYTES), "--window", str(WINDOW)]

    def __enter__(self):
        self.process = subprocess.Popen(self.cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        time.sleep(0.3)
        if self.process.poll() is not None:
            sys.exit("tavrix-sim did not start: " + self.process.stderr.read().decode(errors="replace"))
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def timed_tvx(build, pinned, args, workdir):
    """Seconds the whole tvx command takes, as its user waits for it."""
    cmd = pin(pinned) + [os.path.join(build, "bin", "tvx")] + args
    start = time.perf_counter()
    done = subprocess.run(cmd, cwd=workdir, capture_output=True, text=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(args), done.returncode, done.stderr.strip()))
    return seconds


def user_path(build, bench, pinned, workdir):
    """MiB/s of one tvx put and one tvx get, the copy checked, and the
    transaction rate of a handle against the same simulator process, half
    measured just before the get and half just after it, so that the get
    and its ceiling share the machine's load."""
    source = os.path.join(workdir, "bulk.bin")
    back = os.path.join(workdir, "back.bin")
    with Simulator(build, pinned):
        put = timed_tvx(build, pinned, ["put", SIM_ADDRESS, source, "BULK.BIN"], workdir)
        before = transaction_rate(bench, pinned)
        get = timed_tvx(build, pinned, ["get", SIM_ADDRESS, "BULK.BIN", back], workdir)
        after = transaction_rate(bench, pinned)
    with open(source, "rb") as a, open(back, "rb") as b:
        if a.read() != b.read():
            sys.exit("the file came back different from %s" % build)
    os.remove(back)
    return BULK_BYTES / MIB / put, BULK_BYTES / MIB / get, (before + after) / 2


def transaction_rate(bench, pinned):
    """TVX_GetState per second of one handle against the running simulator."""
    env = dict(os.environ, TVX_BENCH_SIM_ADDRESS=SIM_ADDRESS)
    return next(iter(bench_figures(bench, pinned, "BM_TransactionsToSimProcess", env=env).values()))["tx/s"]


def bench_figures(bench, pinned, filter_text, env=None):
    """Counters of the tavrix_bench cases matching `filter_text`, by name."""
    cmd = pin(pinned) + [bench, "--benchmark_filter=" + filter_text, "--benchmark_format=json"]
    done = subprocess.run(cmd, capture_output=True, text=True, env=env or dict(os.environ))
    if done.returncode != 0:
        sys.exit("tavrix_bench failed: " + done.stderr.strip())
    figures = {}
    for b in json.loads(done.stdout)["benchmarks"]:
        if b.get("error_occurred"):
            sys.exit("%s: %s" % (b["name"], b.get("error_message", "failed")))
        figures[b["name"]] = b
    return figures


def one_mode(args, pinned, workdir):
    """The best figure of each piece over the rounds: other work on the
    machine only ever slows a run down, so the best is the least disturbed.
    The pieces alternate within a round, so a change of load reaches all."""
    bench = os.path.join(args.build, "bench", "tavrix_bench")
    builds = [("after", args.build)] + ([("before", args.before)] if args.before else [])
    column = {label: {"put": 0.0, "get": 0.0, "tx": 0.0, "ratios": []} for label, _ in builds}
    raw, down, up = 0.0, 0.0, {"MiB/s": 0.0}
    for _ in range(args.rounds):
        for label, build in builds:
            put, get, tx = user_path(build, bench, pinned, workdir)
            c = column[label]
            c["put"], c["get"], c["tx"] = max(c["put"], put), max(c["get"], get), max(c["tx"], tx)
            c["ratios"].append(get / (tx * BLOCK_BYTES / MIB))
        ref = bench_figures(bench, pinned, "BM_RawWindowedStream|BM_Download64MiB/loss:0|BM_Upload64MiB/loss:0")
        raw = max(raw, next(v for k, v in ref.items() if k.startswith("BM_RawWindowedStream"))["MiB/s"])
        down = max(down, next(v for k, v in ref.items() if k.startswith("BM_Download64MiB"))["MiB/s"])
        u = next(v for k, v in ref.items() if k.startswith("BM_Upload64MiB"))
        if u["MiB/s"] > up["MiB/s"]:
            up = u
    return column, raw, down, up


def print_mode(name, rounds, column, raw, down, up):
    labels = [l for l in ("before", "after") if l in column]
    print("\n%s (32 MiB, --block-size %d --window %d, best of %d rounds)" % (name, BLOCK_BYTES, WINDOW, rounds))
    head = "| | " + " | ".join("user path, %s" % l for l in labels) + " | in-process benchmark | raw stream |"
    print(head)
    print("|---" * (len(labels) + 3) + "|")
    cells = ["%.1f MiB/s = %.2f of raw" % (column[l]["put"], column[l]["put"] / raw) for l in labels]
    print("| download (put) | %s | %.1f MiB/s | %.1f MiB/s |" % (" | ".join(cells), down, raw))
    cells = []
    for l in labels:
        ratios = sorted(column[l]["ratios"])
        cells.append("%.1f MiB/s, %.0f tx/s x %d B; get / its ceiling by round %.2f-%.2f" %
                     (column[l]["get"], column[l]["tx"], BLOCK_BYTES, ratios[0], ratios[-1]))
    print("| upload (get) | %s | %.1f MiB/s, %.2f of its ceiling | - |" % (" | ".join(cells), up["MiB/s"],
                                                                            up.get("of_ceiling", 0)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--build", default=os.path.join(here, "..", "build"))
    p.add_argument("--before", help="a second build measured beside --build in the same run")
    p.add_argument("--rounds", type=int, default=3, help="rounds of every piece (the best of each counts)")
    p.add_argument("--modes", default="pinned,unpinned")
    args = p.parse_args()
    args.build = os.path.abspath(args.build)
    if args.before:
        args.before = os.path.abspath(args.before)
    modes = [m for m in args.modes.split(",") if m]
    if any(m not in ("pinned", "unpinned") for m in modes) or args.rounds < 1:
        p.error("--modes takes pinned and/or unpinned; --rounds at least 1")
    if not in_namespace():
        reexec_isolated()
    workdir = tempfile.mkdtemp(prefix="tvx-userpath-")
    try:
        with open(os.path.join(workdir, "bulk.bin"), "wb") as f:
            f.write(os.urandom(BULK_BYTES))
        for mode in modes:
            print_mode(mode + " to CPU " + CPU if mode == "pinned" else mode, args.rounds,
                       *one_mode(args, mode == "pinned", workdir))
            sys.stdout.flush()
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
