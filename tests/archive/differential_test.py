#!/usr/bin/env python3
"""Extracts the same packages with zipx, bsdtar and unzip and checks that all
three produce the source tree exactly (file list, folders, contents).

Packages come from two independent writers, Info-ZIP zip and 7z, each
stored and deflated, and live in a folder whose name has blanks.
Usage: differential_test.py <path to zipx>
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile


def make_tree(root):
    rng = random.Random(20261209)
    words = [b"printer ", b"driver ", b"color ", b"queue ", b"port\n", b"0x%04X "]
    os.makedirs(os.path.join(root, "empty folder", "nested empty"))
    for i in range(60):
        folder = os.path.join(root, "drv", "arch %d" % (i % 3), "sub%d" % (i % 4))
        os.makedirs(folder, exist_ok=True)
        name = os.path.join(folder, "file %02d.%s" % (i, "inf" if i % 2 else "bin"))
        size = rng.choice([0, 1, 100, 4096, 65536, 300000])
        if i % 2:
            data = b"".join(rng.choice(words) for _ in range(size // 6 + 1))[:size]
        else:
            data = rng.randbytes(size)
        with open(name, "wb") as f:
            f.write(data)
    # Big enough to take the two-worker path and span several buffers.
    with open(os.path.join(root, "big.cab"), "wb") as f:
        f.write(rng.randbytes(3 << 20))
        f.write(b"".join(rng.choice(words) for _ in range(400000)))
    open(os.path.join(root, "zero length.txt"), "wb").close()


def snapshot(root):
    result = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        for d in dirnames:
            result[os.path.normpath(os.path.join(rel, d))] = "dir"
        for f in filenames:
            with open(os.path.join(dirpath, f), "rb") as fh:
                digest = hashlib.sha256(fh.read()).hexdigest()
            result[os.path.normpath(os.path.join(rel, f))] = digest
    return result


def run(cmd):
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if proc.returncode != 0:
        raise SystemExit("FAILED (%d): %s\n%s" % (proc.returncode, cmd, proc.stdout.decode()))
    return proc.stdout.decode()


def main():
    zipx = os.path.abspath(sys.argv[1])
    # A missing extractor fails the test by name (scripts/setup.sh installs them).
    for tool in ("bsdtar", "unzip"):
        if shutil.which(tool) is None:
            print("FAIL: cannot run: %s is missing" % tool)
            return 1
    work = tempfile.mkdtemp(prefix="archive-diff-")
    try:
        src = os.path.join(work, "src")
        make_tree(src)
        expected = snapshot(src)
        pkgdir = os.path.join(work, "pkg dir")
        os.makedirs(pkgdir)
        writers = {
            "zip-stored": ["zip", "-q", "-r", "-0"],
            "zip-deflate": ["zip", "-q", "-r", "-9"],
            "7z-stored": ["7z", "a", "-tzip", "-bd", "-mx=0"],
            "7z-deflate": ["7z", "a", "-tzip", "-bd", "-mm=Deflate"],
        }
        failures = 0
        for label, cmd in writers.items():
            archive = os.path.join(pkgdir, label + " DriverData.Drv")
            subprocess.run(cmd + [archive, "."], cwd=src, check=True, stdout=subprocess.DEVNULL)
            extractors = {
                "zipx": [zipx, "x", "-y", archive, "-o" + os.path.join(work, "out", label, "zipx"),
                         "-hide"],
                "bsdtar": ["bsdtar", "-xf", archive, "-C"],
                "unzip": ["unzip", "-o", "-q", archive, "-d"],
            }
            trees = {}
            for name, ecmd in extractors.items():
                dest = os.path.join(work, "out", label, name)
                os.makedirs(dest, exist_ok=True)
                run(ecmd if name == "zipx" else ecmd + [dest])
                trees[name] = snapshot(dest)
            for name, tree in trees.items():
                if tree != expected:
                    failures += 1
                    missing = sorted(set(expected) - set(tree))[:5]
                    extra = sorted(set(tree) - set(expected))[:5]
                    changed = sorted(k for k in expected if k in tree and tree[k] != expected[k])[:5]
                    print("MISMATCH %s/%s missing=%s extra=%s changed=%s"
                          % (label, name, missing, extra, changed))
            # Overwriting the same tree again must succeed and change nothing.
            run(extractors["zipx"])
            if snapshot(os.path.join(work, "out", label, "zipx")) != expected:
                failures += 1
                print("MISMATCH %s: second extraction over existing files" % label)
            print("%-12s %d entries: zipx, bsdtar, unzip %s"
                  % (label, len(expected), "agree" if not failures else "DIFFER"))
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
