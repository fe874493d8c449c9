#!/usr/bin/env python3
"""Times ZIP extraction by zipx against bsdtar and unzip.

Builds a deterministic driver-package-like archive with Info-ZIP zip
(a few hundred files, nested folders, text-like and random data, tens of
MB), extracts it with each tool into fresh folders several times, and
prints the best and median times plus ours/reference ratios.
zipx runs twice: with its workers, and on one thread (zipx-1).
Usage: extract_bench.py <path to zipx> [repetitions]
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SEED = 7
FILES = 400
REPETITIONS = 9


def make_tree(root):
    rng = random.Random(SEED)
    vocab = [("%s%d" % (w, n)).encode() for w in
             ("Printer", "Driver", "ColorProfile", "Port", "Queue", "Tray", "Duplex", "=", ";")
             for n in range(40)]
    total = 0
    for i in range(FILES):
        folder = os.path.join(root, "Drivers", "arch%d" % (i % 4), "lang%02d" % (i % 13))
        os.makedirs(folder, exist_ok=True)
        kind = rng.random()
        if kind < 0.55:    # small/medium text: INF, INI, XML, PPD
            size = int(rng.lognormvariate(9.5, 1.3))
            data = b" ".join(rng.choice(vocab) for _ in range(size // 8 + 1))[:size]
            ext = "inf"
        elif kind < 0.85:  # binaries: partly compressible
            size = int(rng.lognormvariate(11.5, 1.0))
            half = size // 2
            pattern = bytes(rng.randrange(4) for _ in range(4096))
            data = rng.randbytes(half) + (pattern * ((size - half) // 4096 + 1))[:size - half]
            ext = "dll"
        else:              # already compressed payload (cab, png)
            size = int(rng.lognormvariate(12.5, 0.8))
            data = rng.randbytes(size)
            ext = "cab"
        with open(os.path.join(folder, "file%03d.%s" % (i, ext)), "wb") as f:
            f.write(data)
        total += len(data)
    return total


def time_run(cmd, dest, env=None):
    if os.path.exists(dest):
        shutil.rmtree(dest)
    os.makedirs(dest)
    subprocess.run(["sync"])
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, env=env)
    return time.perf_counter() - start


def main():
    zipx = os.path.abspath(sys.argv[1])
    reps = int(sys.argv[2]) if len(sys.argv) > 2 else REPETITIONS
    work = tempfile.mkdtemp(prefix="archive-bench-")
    try:
        src = os.path.join(work, "src")
        total = make_tree(src)
        archive = os.path.join(work, "DriverData.Drv")
        subprocess.run(["zip", "-q", "-r", archive, "."], cwd=src, check=True)
        print("package: %d files, %.1f MB unpacked, %.1f MB zipped"
              % (FILES, total / 1e6, os.path.getsize(archive) / 1e6))
        out = os.path.join(work, "out")
        tools = {
            "zipx": lambda d: [zipx, "x", "-y", archive, "-o" + d, "-hide"],
            "zipx-1": lambda d: [zipx, "x", "-y", archive, "-o" + d, "-hide"],
            "bsdtar": lambda d: ["bsdtar", "-xf", archive, "-C", d],
            "unzip": lambda d: ["unzip", "-o", "-q", archive, "-d", d],
        }
        times = {name: [] for name in tools}
        for rep in range(reps):  # interleaved so drift hits every tool alike
            for name, cmd in tools.items():
                dest = os.path.join(out, "%s-%d" % (name, rep))
                env = dict(os.environ, ZIPX_THREADS="1") if name == "zipx-1" else None
                times[name].append(time_run(cmd(dest), dest, env))
                shutil.rmtree(dest)
        best = {n: min(t) for n, t in times.items()}
        median = {n: statistics.median(t) for n, t in times.items()}
        for name in tools:
            print("%-7s best %7.1f ms  median %7.1f ms" % (name, best[name] * 1e3,
                                                          median[name] * 1e3))
        # zipx with its workers, zipx-1 on one thread.
        for ours in ("zipx", "zipx-1"):
            for ref in ("bsdtar", "unzip"):
                print("%s/%-7s best %.2f  median %.2f" % (ours, ref, best[ours] / best[ref],
                                                         median[ours] / median[ref]))
        fastest = min(("bsdtar", "unzip"), key=lambda r: median[r])
        ok = median["zipx"] <= median[fastest]
        print("zipx is %s the fastest reference (%s): %.1f ms vs %.1f ms median"
              % ("no slower than" if ok else "SLOWER than", fastest,
                 median["zipx"] * 1e3, median[fastest] * 1e3))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
